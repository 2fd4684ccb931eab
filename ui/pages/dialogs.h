// Windows that the main window's menu and buttons open: the settings
// window, the About window and the feedback window (all modal).
#pragma once

#include "qenui/UIlib.h"

namespace dialogs {
void ShowSettings(DuiLib::HWND owner);
void ShowAbout(DuiLib::HWND owner);
void ShowFeedback(DuiLib::HWND owner);
int OpenedCount();  // how many were asked for (tests)
}  // namespace dialogs
