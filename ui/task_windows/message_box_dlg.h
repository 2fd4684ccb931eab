// CMessageBoxDlg: the progress and result box of a batch job of a page
// (export, add or delete pictures, music, videos or contacts). The page's
// worker reports to the box's window by posted messages; when the job ends
// the box shows the result and closes itself three seconds later (its OK
// button counts 3, 2, 1). Cancel (or Escape) cancels the transfer that is
// current and closes the box.
//
// The worker belongs to the box: StartWorker runs it on a thread that the
// box stops (Stopped() turns true) and joins when its window is destroyed,
// so no worker outlives the box. The current transfer is kept as its id
// only; cancelling it asks the transfer table (which looks the id up under
// its lock) to flag that transfer, so an id that already ended cancels
// nothing.
//
// Threading: the box lives on the UI thread; its worker posts to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "qenui/UIlib.h"

// The kinds of batch job and their texts.
enum BatchJobKind : int32_t {
  kExportPictures = 0,
  kExportMusic = 1,
  kExportVideos = 2,
  kAddPictures = 3,
  kAddVideos = 4,
  kAddMusic = 5,
  kDeletePictures = 6,
  kDeleteMusic = 7,
  kDeleteVideos = 8,
  kDeleteContacts = 9,
};

struct BatchJobTexts {
  const char16_t* title;     // shown at creation
  const char16_t* result;    // with the count, when the job ends
  const char16_t* per_item;  // with the item number; null: the kind reports no single transfers
  const char16_t* failed;    // with the counts that succeeded and failed, when some failed
};
// Empty texts for an unknown kind.
BatchJobTexts BatchJobTextsOf(int32_t kind);

// What the box's worker may ask: the box's window, and whether it should
// stop; and what it tells: an item that failed. A failure counted before
// the worker posts its next message is known to the box when it handles
// that message.
class BatchJobControl {
 public:
  DuiLib::HWND Window() const { return window_; }
  bool Stopped() const { return stop_.load(); }
  void CountFailure() const { failed_.fetch_add(1); }
  int Failures() const { return failed_.load(); }

 private:
  friend class CMessageBoxDlg;
  DuiLib::HWND window_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::atomic<int> failed_{0};
};

class CMessageBoxDlg : public DuiLib::WindowImplBaseNew {
 public:
  static constexpr DuiLib::UINT kCountdownTimer = 100;
  static constexpr DuiLib::UINT kCountdownElapse = 1000;

  // Cancels the transfer with the given id; false when no such transfer runs.
  using TransferCanceller = std::function<bool(uintptr_t)>;

  CMessageBoxDlg();
  ~CMessageBoxDlg() override;

  void SetJobKind(int32_t kind) { kind_ = kind; }
  int32_t JobKind() const { return kind_; }
  // Called once the window exists (to start the page's worker).
  void SetInitCallback(void* data, void (*callback)(void*)) {
    init_data_ = data;
    init_callback_ = callback;
  }
  // Runs `worker` on the box's own thread; at most one per box.
  bool StartWorker(std::function<void(const BatchJobControl&)> worker);
  // The transfer cancel in use (the FTP channel's by default; tests give their own).
  void SetTransferCanceller(TransferCanceller canceller) { canceller_ = std::move(canceller); }
  uintptr_t CurrentTransfer() const { return current_transfer_; }
  int Countdown() const { return countdown_; }

  // Shows the result of `count` items handled: the ones that failed (as
  // the worker counted them) are not counted as done but named apart.
  void Finish(int count);

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"MessageBoxDlg"; }
  DuiLib::LRESULT HandleCustomMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                      bool& bHandled) override;
  void InitAfterCreate() override;
  DuiLib::LRESULT OnTimer(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;
  DuiLib::LRESULT OnDestroy(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;
  void WindowInitNotify(DuiLib::TNotifyUI& msg) override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT ResponseDefaultKeyEvent(DuiLib::WPARAM wParam) override;

 private:
  void OnProgress(int total, int done);
  void OnTransferProgress(uintptr_t transfer, int percent);
  void Cancel();
  void ShowCountdown();
  void StopWorker();

  DuiLib::CProgressUI* progress_ = nullptr;
  DuiLib::CControlUI* ok_ = nullptr;
  DuiLib::CControlUI* cancel_ = nullptr;
  DuiLib::CControlUI* num_ = nullptr;
  DuiLib::CControlUI* msg_ = nullptr;
  int32_t kind_ = 0;
  int countdown_ = 3;
  uintptr_t current_transfer_ = 0;
  void* init_data_ = nullptr;
  void (*init_callback_)(void*) = nullptr;
  TransferCanceller canceller_;
  BatchJobControl control_;
  std::thread worker_;
};

// Loads the layout, creates the box's window over `parent` and centres it;
// the caller then runs it modally (ShowModal). Returns the window, 0 on failure.
DuiLib::HWND ShowMessageBoxDlg(CMessageBoxDlg* dlg, DuiLib::HWND parent);
