// The base of the main window's page controllers (the phone home, apps,
// pictures, music and video pages) and of the task window: built with the
// window's paint manager; an initialisation once the window's controls
// exist; a show step; a click handler; a message handler that sets the
// handled flag for its own message numbers and clears it for all others; a
// clear step for when the phone is removed. The contacts and SMS pages keep
// the same shape on their own.
//
// CPageController claims each controller's message numbers (so the main
// window's dispatch reaches the right owner) and counts what reached it
// (the counts are for tests; nothing here grows with the run).
// UI thread only.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "qenui/UIlib.h"

class CPageController {
 public:
  using Range = std::pair<uint32_t, uint32_t>;  // first and last number, inclusive

  CPageController(DuiLib::CPaintManagerUI* pm, std::vector<Range> ranges) : pm_(pm), ranges_(std::move(ranges)) {}
  virtual ~CPageController() = default;

  virtual void Init() { ++inits_; }
  virtual void Show() { ++shows_; }
  virtual void OnClick(DuiLib::TNotifyUI&) {}
  virtual void Clear() { ++clears_; }
  virtual DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                        bool& bHandled) {
    ++offered_;
    bHandled = Owns(uMsg);
    if (bHandled) {
      ++received_;
      last_received_ = uMsg;
      Consume(uMsg, wParam, lParam);
    }
    return 0;
  }

  bool Owns(uint32_t message) const {
    for (const Range& r : ranges_)
      if (message >= r.first && message <= r.second) return true;
    return false;
  }

  // How many of its own messages reached this controller, and the last of
  // them (tests).
  int ReceivedCount() const { return received_; }
  uint32_t LastReceived() const { return last_received_; }
  // How many messages were offered, taken or not (tests).
  int Offered() const { return offered_; }
  int Inits() const { return inits_; }
  int Shows() const { return shows_; }
  int Clears() const { return clears_; }

 protected:
  // Frees what a handled message carries (the receiver owns it).
  virtual void Consume(uint32_t, DuiLib::WPARAM, DuiLib::LPARAM) {}

  DuiLib::CPaintManagerUI* pm_;

 private:
  std::vector<Range> ranges_;
  int received_ = 0;
  uint32_t last_received_ = 0;
  int offered_ = 0;
  int inits_ = 0;
  int shows_ = 0;
  int clears_ = 0;
};
