// Windows that the main window's menu and buttons open (stubs until each is
// built): the settings window, the About window and the feedback window.
// Each stub logs that it is not there yet and returns; the About and the
// feedback windows are the real ones (modal).
#pragma once

#include "qenui/UIlib.h"

namespace dialogs {
void ShowSettings(DuiLib::HWND owner);
void ShowAbout(DuiLib::HWND owner);
void ShowFeedback(DuiLib::HWND owner);
int OpenedCount();  // how many were asked for (tests)
}  // namespace dialogs
