// Opens a folder in the desktop's file manager for the settings window and
// the task list window ("打开目录", "打开下载目录").
#pragma once

#include "qenui/UIlib.h"

// Hands `folder` to the desktop's default handler of folders. When nothing
// opens it (no handler, no such folder, an empty path) the error-level log
// line "try open down floder failed" is written and the program's message
// box over `parent` says which folder could not be opened. True when opened.
bool OpenFolderOrTell(DuiLib::HWND parent, const DuiLib::CDuiString& folder);
