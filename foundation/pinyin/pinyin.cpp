#include "foundation/pinyin/pinyin.h"

#include "foundation/pinyin/pinyin_tables.h"

namespace {

constexpr int kLevel1First = 1601;
constexpr int kLevel1Last = 5589;

const char* SyllableOf(int code) {
  const int row = code / 100;
  const int column = code % 100;
  if (column < 1 || column > 94) return nullptr;  // column 95 is no position
  if (code >= kLevel1First && code <= kLevel1Last) {
    // Binary search for the last range that starts at or before the code.
    int lo = 0, hi = pinyin::kLevel1RangeCount - 1, found = -1;
    while (lo <= hi) {
      const int mid = (lo + hi) / 2;
      if (pinyin::kLevel1Ranges[mid].first <= code) {
        found = mid;
        lo = mid + 1;
      } else {
        hi = mid - 1;
      }
    }
    if (found >= 0 && code <= pinyin::kLevel1Ranges[found].last) {
      return pinyin::kLevel1Ranges[found].syllable;
    }
    return nullptr;
  }
  if (row >= pinyin::kLevel2FirstRow && row <= pinyin::kLevel2LastRow) {
    return pinyin::kLevel2Syllables[(row - pinyin::kLevel2FirstRow) * 94 + column - 1];
  }
  return nullptr;
}

}  // namespace

std::string PinyinOfGbCode(int code) {
  const char* syllable = SyllableOf(code);
  return syllable ? syllable : "?";
}

std::string GbkToPinyin(const std::string& text) {
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b1 = s[i];
    if (b1 < 0x80) {
      out += static_cast<char>(b1);
      ++i;
      continue;
    }
    const unsigned char b2 = i + 1 < n ? s[i + 1] : 0;
    if (b1 >= 0xA1 && b2 >= 0xA1) {
      const int code = (b1 - 160) * 100 + (b2 - 160);
      // 'A'..'Z' become 'a'..'z'; the '?' of a code without syllable '_'.
      out += static_cast<char>(PinyinOfGbCode(code)[0] + 32);
      i += 2;
    } else {
      ++i;  // not GB2312: the next byte is read afresh
    }
  }
  return out;
}

std::string GetPinyinInitial(const std::string& text) {
  const std::string initials = GbkToPinyin(text);
  if (initials.empty()) return std::string();
  char c = initials[0];
  if (c >= 'a' && c <= 'z') c -= 32;
  return std::string(1, c);
}
