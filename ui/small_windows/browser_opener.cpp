#include "ui/small_windows/browser_opener.h"

#include "foundation/base/log.h"
#include "qenui/UIlib.h"

void OpenUrlInBrowser(const std::u16string& address, int /*show*/, bool /*newWindow*/) {
  if (address.empty()) return;
  if (!DuiLib::ShellOpen(address.c_str()))
    PD_LOG_WARNING("cannot open %s in the browser", DuiLib::Utf16ToUtf8(address).c_str());
}
