// The text forms inside the driver records: hardware-ID lists, device-ID
// text, the device-ID prefix of a multi-device answer's setup parameters,
// and the matched-IDs buffer built from it. Pure functions over buffers.
#ifndef KITFINDER_SRC_ID_TEXT_H_
#define KITFINDER_SRC_ID_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kitfinder {

// The strings of a hardware-ID list (each NUL-terminated, closed by an empty
// string), read within `capacity` characters; at most 255.
std::vector<std::u16string> HardwareIdStrings(const char16_t* list, size_t capacity);
// The number of those strings.
int CountHardwareIds(const char16_t* list, size_t capacity);
// The characters of a list including its closing empty string (at least 1),
// read within `capacity` characters.
size_t HardwareIdListLength(const char16_t* list, size_t capacity);

// Reads one integer as the standard wide string-to-integer conversion does
// with the base detected from the text (leading blanks, a sign, "0x" for
// hexadecimal, a leading 0 for octal). Returns the characters consumed, 0
// when no number starts there.
size_t ReadInteger(const char16_t* text, size_t length, int32_t* value);

// Device-ID text: decimal numbers separated by commas. Stores up to
// `capacity` IDs into `ids` (when given) and returns how many the text holds
// (at most 255). Every item counts, a non-numeric one as 0.
int AnalyzeIds(const char16_t* text, size_t length, int32_t* ids, int capacity);
// The IDs as device-ID text, at most 259 characters, cut at a whole ID.
std::u16string DeviceIdText(const int32_t* ids, int count);

// A setup text that begins with "<id,id,...>": the IDs and the text after
// the '>'. `present` is false when the text does not begin with '<' or no
// '>' closes the prefix; then the text stays as it is.
struct SetupPrefix {
  bool present = false;
  std::vector<int32_t> ids;
  std::u16string rest;
};
SetupPrefix ParseSetupPrefix(const char16_t* text, size_t capacity);

// Fills the matched-IDs buffer: one group of NUL-terminated IDs per driver,
// each group closed by an empty string, one more empty string at the end.
// Nothing is written past `capacity` characters: an ID that would not leave
// room for the closing strings of its group, of the groups still to come
// and of the buffer is left out with every ID after it.
class MatchedIdsWriter {
 public:
  MatchedIdsWriter(char16_t* buffer, size_t capacity, size_t groups)
      : buffer_(buffer), capacity_(capacity), groups_left_(groups) {}
  void AddId(const std::u16string& id);
  void CloseGroup();
  void Finish();
  bool cut() const { return cut_; }

 private:
  char16_t* buffer_;
  size_t capacity_;
  size_t groups_left_;  // groups not closed yet
  size_t used_ = 0;
  bool cut_ = false;
};

}  // namespace kitfinder

#endif  // KITFINDER_SRC_ID_TEXT_H_
