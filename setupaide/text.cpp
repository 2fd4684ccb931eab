// UTF-16 <-> UTF-8 at the edges of the exports, and the trace line.
#include <cstdio>

#include "foundation/base/unicode.h"
#include "setupaide/setupaide_internal.h"

namespace setupaide {

std::string ToUtf8(const std::u16string& text) { return unicode::Utf16ToUtf8(text.data(), text.size()); }

std::string ToUtf8(const char16_t* text) {
  return text == nullptr ? std::string() : ToUtf8(std::u16string(text));
}

void DebugOutput(const std::string& line) { std::fprintf(stderr, "setupaide: %s\n", line.c_str()); }

}  // namespace setupaide
