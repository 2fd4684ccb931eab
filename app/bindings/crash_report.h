// The crash reporter QenCrashCatch, started once after the single-instance check.
#pragma once

// Loads the reporter (from `path`, else "QenCrashCatch.dll" in the program
// folder) once and calls its CCInit(a, b, flag, c). When CCInit is missing or
// answers false, the library is freed again and forgotten, so a later call
// starts afresh. Returns CCInit's answer (false when it could not be called).
// Main thread only.
bool InitCrashReport(const char16_t* path, int a, int b, bool flag, int c);
