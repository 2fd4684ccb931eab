#include "ui/pages/dialogs.h"

#include "foundation/base/log.h"
#include "ui/pages/setting_dlg.h"
#include "ui/small_windows/about_wnd.h"
#include "ui/task_windows/feedback_wnd.h"

namespace {
int g_opened = 0;  // UI thread only
}

namespace dialogs {
void ShowSettings(DuiLib::HWND owner) { ++g_opened; CSettingDlg::ShowSettings(owner); }
void ShowAbout(DuiLib::HWND owner) { ++g_opened; ShowAboutWindow(owner); }
void ShowFeedback(DuiLib::HWND owner) { ++g_opened; ShowFeedbackWnd(owner); }
int OpenedCount() { return g_opened; }
}  // namespace dialogs
