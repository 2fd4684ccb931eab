#include "id_text.h"

#include <cstdio>

namespace kitfinder {

namespace {
constexpr int kMaxCount = 255;
constexpr size_t kTextLength = 260;

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}
}  // namespace

std::vector<std::u16string> HardwareIdStrings(const char16_t* list, size_t capacity) {
  std::vector<std::u16string> out;
  if (!list) return out;
  size_t i = 0;
  while (i < capacity && list[i] && out.size() < static_cast<size_t>(kMaxCount)) {
    size_t end = i;
    while (end < capacity && list[end]) ++end;
    out.emplace_back(list + i, end - i);
    i = end + 1;
  }
  return out;
}

int CountHardwareIds(const char16_t* list, size_t capacity) {
  return static_cast<int>(HardwareIdStrings(list, capacity).size());
}

size_t HardwareIdListLength(const char16_t* list, size_t capacity) {
  size_t i = 0;
  while (i < capacity && list[i]) {
    while (i < capacity && list[i]) ++i;
    ++i;  // the string's terminator
  }
  return i < capacity ? i + 1 : capacity;
}

size_t ReadInteger(const char16_t* text, size_t length, int32_t* value) {
  size_t i = 0;
  while (i < length && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i + 1 < length && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') && i + 2 < length &&
      DigitValue(text[i + 2]) < 16) {
    base = 16;
    i += 2;
  } else if (i < length && text[i] == u'0') {
    base = 8;
  }
  const size_t digits = i;
  int64_t v = 0;
  while (i < length && DigitValue(text[i]) < base) {
    v = v * base + DigitValue(text[i++]);
    if (v > INT32_MAX) v = static_cast<int64_t>(INT32_MAX) + 1;  // clamped below
  }
  if (i == digits) return 0;
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  if (value) *value = static_cast<int32_t>(v);
  return i;
}

int AnalyzeIds(const char16_t* text, size_t length, int32_t* ids, int capacity) {
  if (!text) return 0;
  size_t end = 0;
  while (end < length && text[end]) ++end;
  int count = 0;
  size_t pos = 0;
  while (pos < end && count < kMaxCount) {
    int32_t value = 0;
    ReadInteger(text + pos, end - pos, &value);
    if (ids && count < capacity) ids[count] = value;
    ++count;
    size_t comma = pos;
    while (comma < end && text[comma] != u',') ++comma;
    pos = comma + 1;  // always moves on; past the end when no comma is left
  }
  return count;
}

std::u16string DeviceIdText(const int32_t* ids, int count) {
  std::u16string out;
  for (int i = 0; ids && i < count; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", ids[i]);
    std::u16string item = i ? u"," : u"";
    for (const char* p = number; *p; ++p) item.push_back(static_cast<char16_t>(*p));
    if (out.size() + item.size() > kTextLength - 1) break;
    out += item;
  }
  return out;
}

SetupPrefix ParseSetupPrefix(const char16_t* text, size_t capacity) {
  SetupPrefix prefix;
  if (!text || capacity == 0 || text[0] != u'<') return prefix;
  size_t end = 0;
  while (end < capacity && text[end]) ++end;
  size_t close = 1;
  while (close < end && text[close] != u'>') ++close;
  if (close >= end) return prefix;  // not closed: no prefix
  prefix.present = true;
  size_t pos = 1;
  while (pos < close) {
    int32_t value = 0;
    if (ReadInteger(text + pos, close - pos, &value) > 0) prefix.ids.push_back(value);
    size_t comma = pos;
    while (comma < close && text[comma] != u',') ++comma;
    pos = comma + 1;  // always moves on
  }
  prefix.rest.assign(text + close + 1, end - close - 1);
  return prefix;
}

void MatchedIdsWriter::AddId(const std::u16string& id) {
  if (id.empty() || cut_) return;
  // The ID, its terminator, and room for the open groups' and the buffer's end.
  if (used_ + id.size() + 1 + groups_left_ + 1 > capacity_) {
    cut_ = true;
    return;
  }
  id.copy(buffer_ + used_, id.size());
  used_ += id.size();
  buffer_[used_++] = 0;
}

void MatchedIdsWriter::CloseGroup() {
  if (groups_left_ > 0) --groups_left_;
  if (used_ + 2 > capacity_) {
    cut_ = true;
    return;
  }
  buffer_[used_++] = 0;
}

void MatchedIdsWriter::Finish() {
  if (used_ < capacity_) buffer_[used_] = 0;
}

}  // namespace kitfinder
