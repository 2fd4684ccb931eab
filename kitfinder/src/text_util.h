// Small text helpers of kitfinder: bounded copies into the records' UTF-16
// fields, UTF-8 for log lines, and the names of the result codes.
#ifndef KITFINDER_SRC_TEXT_UTIL_H_
#define KITFINDER_SRC_TEXT_UTIL_H_

#include <cstddef>
#include <string>

#include "kitoracle/driver_records.h"

namespace kitfinder {

// Copies `source` (up to its NUL, at most capacity - 1 characters) and
// fills the rest of the field with zeros; a null source empties the field.
void CopyText(char16_t* field, const char16_t* source, size_t capacity = kDriverTextLength);
// The text of a field, up to its NUL, read within `capacity` characters.
std::u16string FieldText(const char16_t* field, size_t capacity = kDriverTextLength);
// Exact comparison of two fields' texts.
bool SameText(const char16_t* a, const char16_t* b, size_t capacity = kDriverTextLength);
// UTF-8 of a field's text, for log lines.
std::string Utf8(const char16_t* field, size_t capacity = kDriverTextLength);
std::string Utf8(const std::u16string& text);
// "DS_ERROR_SUCCESS" ... "DS_ERROR_SQL"; "DS_ERROR_UNKNOWN" for other codes.
const char* CodeName(int code);

}  // namespace kitfinder

#endif  // KITFINDER_SRC_TEXT_UTIL_H_
