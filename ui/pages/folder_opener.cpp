#include "ui/pages/folder_opener.h"

#include "foundation/base/log.h"
#include "ui/message_box/message_wnd.h"

using namespace DuiLib;

bool OpenFolderOrTell(HWND parent, const CDuiString& folder) {
  if (!folder.IsEmpty() && ShellOpen(folder)) return true;
  PD_LOG_ERROR("try open down floder failed");
  // The box shows markup: the path is shown as it is.
  const std::u16string text = u"无法打开目录：" + EscapeMarkup(folder).str();
  constexpr int kOkWithWarning = 0x30;
  ShowMessageBox(parent, text.c_str(), nullptr, kOkWithWarning, 0, 0);
  return false;
}
