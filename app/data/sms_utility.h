// Small helpers named with the SMS manager and used elsewhere: the text key
// of the picture records, printf-style wide formatting for the command
// packages, and the end of stray adb processes for the app job queue.
//
// Threading: all are pure or act on the process table only; any thread.
#pragma once

#include <cstdarg>
#include <string>

// The CRC-32 of the text's UTF-16LE bytes as an unsigned decimal ("0" for
// the empty text).
std::u16string MakeTextKey(const std::u16string& text);

// printf-style formatting of wide text, as the system's wide formatter does
// it: %d %i %u %x %X %c %s (wide) %S (narrow UTF-8) %%, with flags "-", "0",
// "#", a width, a precision, and the size prefixes h, l, ll and I64. At most
// 1024 characters of output; a bad conversion ends the output there.
std::u16string FormatWideString(const char16_t* format, ...);
std::u16string FormatWideStringV(const char16_t* format, va_list args);

// Ends (SIGKILL) every process of the current user whose name (as the
// kernel keeps it, /proc/<pid>/comm) equals `name` ignoring ASCII case,
// never this process. Returns how many it signalled.
int KillProcessesNamed(const std::string& name);
// KillProcessesNamed("adb"): the adb processes of the current user only.
int KillAdbProcesses();
