// UTF-8 <-> UTF-16 transcoding used by the code-page conversions. Internal to
// the library. Invalid sequences (stray bytes, lone surrogates) become U+FFFD.
#pragma once

#include <cstddef>
#include <string>

namespace utility_internal {

std::u16string Utf8ToUtf16(const char* src, size_t len);
std::string Utf16ToUtf8(const char16_t* src, size_t len);

}  // namespace utility_internal
