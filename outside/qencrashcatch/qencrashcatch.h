// libQenCrashCatch.so: the crash reporter. Once started, a fatal signal
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) writes a report with the
// signal and a backtrace to <program folder>/log/crash_<date>_<time>_<pid>.txt,
// then lets the signal end the process as it would have.
#pragma once

#define QENCRASHCATCH_API extern "C" __attribute__((visibility("default")))

// `keep_reports`: how many older crash reports to keep in the log folder
// (older ones are removed now; 0 keeps all). `reserved`, `flag` and
// `reserved2` are unused. True when the handlers are in place (also on a
// second call); false when the log folder cannot be made or a handler
// cannot be set.
QENCRASHCATCH_API bool CCInit(int keep_reports, int reserved, bool flag, int reserved2);

using PfnCCInit = bool (*)(int keep_reports, int reserved, bool flag, int reserved2);
