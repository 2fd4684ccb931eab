// CMessageWnd and ShowMessageBox: the program's own modal message box, used
// for every question and notice of the main window and the pages. It may
// carry a "下次不再提示" tick bound to one of seven reminder settings.
//
// Kind flags: the low four bits choose the buttons (0 OK only, else OK and
// cancel); bits 4-7 an icon (shown only when the layout has "iconlab").
// Results: 1 OK; 2 cancel, close or Escape.
// Reminder ids: 0 none, 1 sms_tips, 2 contact_tips, 3 music_tips,
// 4 video_tips, 5 picture_tips, 6 auto_install_tips, 7 delofftask_tips. On
// OK the setting becomes the opposite of the tick; on cancel with id 6 and
// the tick set, automatic installing is switched off.
//
// Threading: UI thread only; the box runs a nested message loop.
#pragma once

#include <string>

#include "qenui/UIlib.h"

class CMessageWnd : public DuiLib::WindowImplBaseNew {
 public:
  CMessageWnd(const std::u16string& text, const std::u16string& caption, const std::u16string& ok_text,
              const std::u16string& cancel_text, int kind, int countdown, int reminder_id);

  bool IsTicked() const;
  int ReminderId() const { return reminder_id_; }

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"QENMsgBox"; }
  void InitAfterCreate() override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT ResponseDefaultKeyEvent(DuiLib::WPARAM wParam) override;
  DuiLib::LRESULT OnDestroy(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;

 private:
  void SetIcon();

  DuiLib::CCheckBoxUI* check_ = nullptr;
  int kind_;
  std::u16string text_;
  std::u16string caption_;
  std::u16string ok_text_;
  std::u16string cancel_text_;
  int reminder_id_;
  int countdown_;
  bool ticked_ = false;
};

// Missing texts (null) take " 提示", "确定" and "取消".
int ShowMessageBoxEx(DuiLib::HWND parent, const char16_t* text, const char16_t* caption, const char16_t* ok_text,
                     const char16_t* cancel_text, int kind, int countdown, int reminder_id);
int ShowMessageBox(DuiLib::HWND parent, const char16_t* text, const char16_t* caption, int kind, int countdown,
                   int reminder_id);

// The reminder rule on its own: the settings written when a box with
// `reminder_id` and tick state `ticked` ends with `result`.
void ApplyReminderChoice(int result, int reminder_id, bool ticked);
