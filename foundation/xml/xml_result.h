// Result records: what an operation of CXmlDocument leaves in the
// document's result text, one empty element per record, for example
// <read encoding="UTF-8" length="12"/>.
#pragma once

#include <string>

namespace xml {

// Which attribute carries the value and the first number.
enum : int {
  kRecordCount = 0x1,     // number1 as "count"
  kRecordType = 0x2,      // value as "type"
  kRecordN = 0x4,         // number1 as "n"
  kRecordEncoding = 0x8,  // value as "encoding"
  kRecordLength = 0x10,   // number1 as "length"
  kRecordUpdate = 0x20,   // update the first record of that name
  kRecordMsg = 0x40,      // value as "msg"
};

// Records stop being added once the result text is longer than this.
constexpr size_t kMaxResultLength = 999;

// Appends (or with kRecordUpdate updates) a record. The value goes to
// "type", "encoding", "msg" or else "tagname"; number1 to "n", "count",
// "length" or else "offset" (when not -1); number2 to "offset2" (when not -1).
void AddResultRecord(std::u16string& result, const char16_t* name, const std::u16string* value,
                     int flags, int number1 = -1, int number2 = -1);

}  // namespace xml
