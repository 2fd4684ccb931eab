// Screenshots of library windows as PNG files: the pixels the X server shows
// for the window, or the window's control tree painted offscreen. Both paint
// through the same render target and font options, so for the same window
// they are identical pixel for pixel.
#pragma once

#include <string>

#include "qenui/core/UIDefine.h"

namespace DuiLib {

// Reads the mapped window back from the display. False (with a reason) when
// the window is unknown, not shown, or the file cannot be written.
bool SaveWindowScreenshot(HWND hWnd, const std::string& pngPath, std::string* error);
// Paints the window's controls into an image of its client size.
bool SaveWindowOffscreen(HWND hWnd, const std::string& pngPath, std::string* error);

}  // namespace DuiLib
