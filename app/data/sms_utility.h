// Small helpers named with the SMS manager and used elsewhere: the text key
// of the picture records, printf-style wide formatting for the command
// packages, and the end of the app job queue's running adb child.
//
// Threading: all are pure or act on the given control only; any thread.
#pragma once

#include <cstdarg>
#include <string>

#include "app/adb/child_process.h"

// The CRC-32 of the text's UTF-16LE bytes as an unsigned decimal ("0" for
// the empty text).
std::u16string MakeTextKey(const std::u16string& text);

// printf-style formatting of wide text, as the system's wide formatter does
// it: %d %i %u %x %X %c %s (wide) %S (narrow UTF-8) %%, with flags "-", "0",
// "#", a width, a precision, and the size prefixes h, l, ll and I64. At most
// 1024 characters of output; a bad conversion ends the output there.
std::u16string FormatWideString(const char16_t* format, ...);
std::u16string FormatWideStringV(const char16_t* format, va_list args);

// Ends the adb child process that a run under `control` started and that
// still runs (the run ends it and reports the run cancelled), and keeps
// later runs under `control` from starting. Nothing else is touched: no adb
// server, no adb of another program or of another user.
void KillAdbProcesses(adb::ChildControl& control);
