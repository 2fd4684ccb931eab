// The syllable tables behind PinyinOfGbCode.
#pragma once

namespace pinyin {

// Level 1: GB2312 rows 16 to 55, ordered by pinyin, as contiguous ranges.
struct SyllableRange {
  int first;  // GB2312 code (row * 100 + column)
  int last;
  const char* syllable;
};
extern const SyllableRange kLevel1Ranges[];
extern const int kLevel1RangeCount;

// Level 2: GB2312 rows 56 to 87, one entry per position (null = none).
constexpr int kLevel2FirstRow = 56;
constexpr int kLevel2LastRow = 87;
constexpr int kLevel2Count = (kLevel2LastRow - kLevel2FirstRow + 1) * 94;
extern const char* const kLevel2Syllables[kLevel2Count];

}  // namespace pinyin
