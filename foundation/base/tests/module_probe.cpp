// A small shared library holding its own copy of the base library, so tests
// can see what the code answers from inside a library (module title,
// version record of the library itself).
#include <cstring>
#include <string>

#include "foundation/base/path_util.h"

extern "C" __attribute__((visibility("default"))) void ProbeModuleTitle(char* out, size_t size) {
  std::string title = GetCurrentModuleTitle();
  if (size == 0) return;
  std::strncpy(out, title.c_str(), size - 1);
  out[size - 1] = '\0';
}
