// Watches, from a test with real windows, for the batch box
// (CMessageBoxDlg) that a click opens. Once its job has ended (the box shows
// its result and its OK button), the box's countdown is stopped, so that it
// cannot close on its own while a loaded machine is slow to photograph it;
// once the box shows as painted, the main window with the box over it is
// photographed, and the box is closed with its OK button, as a user does.
// The watch runs on a GLib timeout, so it also works inside the box's modal
// loop. UI thread only.
#pragma once

#include <glib.h>

#include <string>

#include "qenui/UIlib.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/task_windows/message_box_dlg.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace ui_xvfb {

class BatchBoxWatch {
 public:
  // `shot`: the screenshot's file name (empty: none).
  BatchBoxWatch(DuiLib::HWND main, std::string shot) : main_(main), shot_(std::move(shot)) {
    source_ = g_timeout_add(20, &BatchBoxWatch::Look, this);
  }
  ~BatchBoxWatch() {
    if (source_ != 0) g_source_remove(source_);
  }
  BatchBoxWatch(const BatchBoxWatch&) = delete;
  BatchBoxWatch& operator=(const BatchBoxWatch&) = delete;

  bool Photographed() const { return shot_.empty() || taken_; }
  bool Closed() const { return closed_; }

 private:
  static gboolean Look(gpointer data) {
    auto* watch = static_cast<BatchBoxWatch*>(data);
    const DuiLib::HWND box = DuiLib::FindWindow(u"MessageBoxDlg", nullptr);
    if (!box || !DuiLib::IsWindowVisible(box)) return G_SOURCE_CONTINUE;
    DuiLib::CPaintManagerUI* pm = DuiLib::CPaintManagerUI::GetManagerOf(box);
    DuiLib::CControlUI* ok = pm ? pm->FindControl(u"btn_ok") : nullptr;
    if (!ok || !ok->IsVisible()) return G_SOURCE_CONTINUE;
    DuiLib::KillTimer(box, CMessageBoxDlg::kCountdownTimer);
    if (!watch->Photographed()) {
      // The look pumps the loop: the next turn looks again.
      if (PixelsNotAsPainted(box) != 0) return G_SOURCE_CONTINUE;
      ScreenShotOver(watch->main_, watch->shot_);
      watch->taken_ = true;
    }
    watch->closed_ = DuiLib::ClickControl(ok);
    watch->source_ = 0;
    return G_SOURCE_REMOVE;
  }

  DuiLib::HWND main_;
  std::string shot_;
  guint source_ = 0;
  bool taken_ = false;
  bool closed_ = false;
};

}  // namespace ui_xvfb
