// The main window's small side windows (stubs until each is built): the
// USB-debugging help, the connection-lost window, the driver progress window
// and the download animation. Each is created on first use with the main
// window as parent; the stubs only keep whether they are shown.
#pragma once

#include <memory>

#include "app/core/message_payloads.h"
#include "qenui/UIlib.h"

class CSideWindowStub {
 public:
  virtual ~CSideWindowStub() = default;
  void Create(DuiLib::HWND parent) { parent_ = parent; created_ = true; }
  bool IsCreated() const { return created_; }
  void Show() { visible_ = true; }
  void Hide() { visible_ = false; }
  bool IsVisible() const { return visible_; }

 protected:
  DuiLib::HWND parent_ = 0;
  bool created_ = false;
  bool visible_ = false;
};

class CAdbTipsWnd : public CSideWindowStub {};

// When the user closes it, the real window posts 1227 (0, 18) to the main window.
class COfflineTipsWnd : public CSideWindowStub {};

class CDrvProgressWnd : public CSideWindowStub {
 public:
  // Takes the record over and deletes it.
  void SetProgress(DriverDownloadProgress* progress) {
    std::unique_ptr<DriverDownloadProgress> owned(progress);
    ++progress_reports_;
  }
  void OnConnectState(int state) { last_state_ = state; }
  int ProgressReports() const { return progress_reports_; }
  int LastState() const { return last_state_; }

 private:
  int progress_reports_ = 0;
  int last_state_ = -1;
};

class CDownGifWnd : public CSideWindowStub {
 public:
  void Create(DuiLib::HWND parent) { CSideWindowStub::Create(parent); }
  // Flies from `from` to `target` (screen coordinates).
  void Fly(DuiLib::POINT target, DuiLib::POINT from) { target_ = target; from_ = from; ++flights_; }
  int Flights() const { return flights_; }
  DuiLib::POINT Target() const { return target_; }

 private:
  DuiLib::POINT target_, from_;
  int flights_ = 0;
};
