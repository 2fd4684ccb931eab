#include "app/bindings/crash_report.h"

#include <string>

#include "app/bindings/outside_library.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"

namespace {

using PfnCCInit = bool (*)(int, int, bool, int);

// The loaded reporter; main thread only.
void* g_crash_library = nullptr;

}  // namespace

bool InitCrashReport(const char16_t* path, int a, int b, bool flag, int c) {
  if (g_crash_library == nullptr) {
    std::string error;
    g_crash_library = (path != nullptr && path[0] != u'\0')
                          ? app::LoadLibraryAtPath(WStringToAnsi(path), &error)
                          : app::LoadOutsideLibrary("QenCrashCatch.dll", &error);
    if (g_crash_library == nullptr) {
      PD_LOG_TRACE("LoadLibrary QenCrashCatch.dll failed: %s", error.c_str());
      return false;
    }
  }
  auto init = reinterpret_cast<PfnCCInit>(platform::FindSymbol(g_crash_library, "CCInit"));
  const bool started = init != nullptr && init(a, b, flag, c);
  if (!started) {
    PD_LOG_TRACE("QenCrashCatch.dll: %s", init == nullptr ? "CCInit missing" : "CCInit refused");
    platform::FreeLibrary(g_crash_library);
    g_crash_library = nullptr;  // never keep a handle that was freed
  }
  return started;
}
