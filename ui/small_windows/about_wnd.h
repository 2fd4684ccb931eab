// The about box: the program's version and ownership lines, opened modally
// from the main menu; one box at a time.
//
// Threading: UI thread only.
#pragma once

#include <string>

#include "qenui/UIlib.h"

class CAboutWnd : public DuiLib::WindowImplBaseNew {
 public:
  CAboutWnd() = default;

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"AboutWnd"; }
  void InitAfterCreate() override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
};

// Opens the about box modally over `parent` and returns when it is closed;
// does nothing while an about box is open.
void ShowAboutWindow(DuiLib::HWND parent);

// The product's ownership notice (first part of the about box's last line).
extern const char16_t kOwnershipNotice[];
