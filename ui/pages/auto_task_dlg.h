// CAutoTaskDlg: the task list window (stub until the window is built). It
// owns the task messages 1254-1260 and is shown under the task button.
#pragma once

#include "ui/pages/page_stub.h"

class CAutoTaskDlg : public CPageStub {
 public:
  CAutoTaskDlg() : CPageStub(nullptr, {{1254, 1260}}) {}
  void Create(DuiLib::HWND parent) { parent_ = parent; }
  // The main window's task button and its "doing" animation.
  void SetTaskControls(DuiLib::CControlUI* button, DuiLib::CControlUI* animation) {
    button_ = button;
    animation_ = animation;
  }
  bool IsVisible() const { return visible_; }
  void ShowAt(DuiLib::POINT pt) {
    at_ = pt;
    visible_ = true;
  }
  void Hide() { visible_ = false; }
  DuiLib::POINT ShownAt() const { return at_; }

 private:
  DuiLib::HWND parent_ = 0;
  DuiLib::CControlUI* button_ = nullptr;
  DuiLib::CControlUI* animation_ = nullptr;
  bool visible_ = false;
  DuiLib::POINT at_;
};
