// The user-interface part of the program's start: the UI library, the main
// window, the message loop, and the library's teardown after it.
//
// Threading: main thread only.
#pragma once

#include <string>

#include "app/startup/app_startup.h"

// Picks the back end: GTK on the display, or, when PHONEDECK_HEADLESS=1 is
// set or no display can be opened (with a message saying so on stderr), the
// headless back end on the real clock. False only when nothing can be used.
bool SelectUiBackEnd();

// Creates and shows the main window (hidden with `hide`), runs the message
// loop until the window is closed for good, then destroys it.
UiResult RunMainWindow(bool hide);

// Tells the user in the program's message box that the program cannot start
// (the reason itself goes to the log), when a display can be opened (and PHONEDECK_HEADLESS is not 1); returns
// once the box is closed. Without a display it does nothing: stderr tells.
void ShowStartRefusal(const std::string& refusal);
