#include "text_util.h"

#include "foundation/base/unicode.h"

namespace kitfinder {

void CopyText(char16_t* field, const char16_t* source, size_t capacity) {
  if (!field || capacity == 0) return;
  size_t i = 0;
  if (source) {
    for (; i + 1 < capacity && source[i]; ++i) field[i] = source[i];
  }
  for (; i < capacity; ++i) field[i] = 0;
}

std::u16string FieldText(const char16_t* field, size_t capacity) {
  if (!field) return std::u16string();
  size_t n = 0;
  while (n < capacity && field[n]) ++n;
  return std::u16string(field, n);
}

bool SameText(const char16_t* a, const char16_t* b, size_t capacity) {
  return FieldText(a, capacity) == FieldText(b, capacity);
}

std::string Utf8(const char16_t* field, size_t capacity) { return Utf8(FieldText(field, capacity)); }

std::string Utf8(const std::u16string& text) { return unicode::Utf16ToUtf8(text.data(), text.size()); }

const char* CodeName(int code) {
  static const struct Names {
    std::string utf8[9];
    Names() {
      for (int i = 0; i < 9; ++i) utf8[i] = Utf8(kDsErrorNames[i], 32);
    }
  } names;
  return code >= 0 && code < 9 ? names.utf8[code].c_str() : "DS_ERROR_UNKNOWN";
}

}  // namespace kitfinder
