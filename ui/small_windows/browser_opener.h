// Opens a web address in the user's browser.
#pragma once

#include <string>

// Hands the address to the desktop's default handler of its scheme (GIO;
// the address is one argument whatever characters it holds). Nothing for an
// empty address. The show command and the new-window flag have no
// counterpart in the desktop's opener and are not used. A browser that
// cannot be started leaves nothing opened and reports nothing beyond a log
// line.
void OpenUrlInBrowser(const std::u16string& address, int show = 1, bool newWindow = false);
