// Small helpers of the engine's tests: files read back, paths looked at,
// texts copied into the task block's UTF-16 fields.
#pragma once

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/base/unicode.h"

namespace xldl_test {

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The path exists (a link counts as itself).
inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

inline void CopyText(char16_t* field, const std::string& text) {
  const std::u16string wide = unicode::Utf8ToUtf16(text.data(), text.size());
  std::memcpy(field, wide.data(), wide.size() * sizeof(char16_t));
}

}  // namespace xldl_test
