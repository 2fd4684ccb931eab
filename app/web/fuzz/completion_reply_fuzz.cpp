// Fuzz target: the completion service's reply. Whatever the bytes, the
// parser answers (no exception, no crash), and it gives names exactly when
// it answers true.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/web/completion_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> names{u"before"};
  const bool ok = ParseAppNames(reinterpret_cast<const char*>(data), size, &names);
  if (ok == names.empty()) __builtin_trap();
  return 0;
}
