// Pinyin initials over GBK bytes.
#include <gtest/gtest.h>

#include "foundation/base/code_page.h"
#include "foundation/pinyin/pinyin.h"
#include "foundation/base/tests/case_name.h"

namespace {

struct InitialCase {
  const char* label;
  std::string gbk;
  const char* initial;
};

class Initials : public ::testing::TestWithParam<InitialCase> {};

TEST_P(Initials, OfText) {
  EXPECT_EQ(GetPinyinInitial(GetParam().gbk), GetParam().initial) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Pinyin, Initials,
    ::testing::Values(
        InitialCase{"empty", "", ""},
        InitialCase{"code 1601", "\xB0\xA1", "A"},
        InitialCase{"code 1738", "\xB1\xC6z", "B"},
        InitialCase{"code 3593", "\xC3\xFD", "M"},
        InitialCase{"ascii letter", "zhang", "Z"},
        InitialCase{"digit", "9a", "9"},
        InitialCase{"blank", " a", " "},
        InitialCase{"full-width symbol", "\xA3\xC1", "_"},  // row 3: full-width A
        InitialCase{"code 2053", "\xB4\xD5", "_"},
        InitialCase{"code 2101", "\xB5\xA1", "_"},
        InitialCase{"code 4808", "\xD0\xA8", "_"},
        InitialCase{"column 95", "\xB0\xFF", "_"},
        InitialCase{"GBK outside GB2312, trail 0x40", "\x81\x40z", "@"},
        InitialCase{"GBK outside GB2312, trail >= 0x80 is read afresh", "\x81\xB0\xA1", "A"},
        InitialCase{"stray 0xA1", "\xA1", ""},
        InitialCase{"level 2 first", "\xD8\xA1", "C"},     // 5601
        InitialCase{"code 5602", "\xD8\xA2", "_"},
        InitialCase{"code 6328", "\xDF\xBC", "M"},
        InitialCase{"level 2 last", "\xF7\xFE", "Z"}),    // 8794
    testing_support::NamedBy(&InitialCase::label));

TEST(Pinyin, Syllables) {
  EXPECT_EQ(PinyinOfGbCode(1601), "A");
  EXPECT_EQ(PinyinOfGbCode(5589), "ZUO");
  EXPECT_EQ(PinyinOfGbCode(5601), "CHU");
  EXPECT_EQ(PinyinOfGbCode(5602), "?");
  EXPECT_EQ(PinyinOfGbCode(5603), "WU");
  EXPECT_EQ(PinyinOfGbCode(5701), "TONG");
  EXPECT_EQ(PinyinOfGbCode(6328), "M");
  EXPECT_EQ(PinyinOfGbCode(6437), "N");
  EXPECT_EQ(PinyinOfGbCode(6744), "L\xA8\xB9");
  EXPECT_EQ(PinyinOfGbCode(7704), "N\xA8\xB5");
  EXPECT_EQ(PinyinOfGbCode(8794), "ZHA");
  EXPECT_EQ(PinyinOfGbCode(2053), "?");
  EXPECT_EQ(PinyinOfGbCode(1500), "?");
  EXPECT_EQ(PinyinOfGbCode(8801), "?");
  EXPECT_EQ(PinyinOfGbCode(1695), "?");  // column 95
}

TEST(Pinyin, FiveLevel2CodesReadCi) {
  // These five level-2 codes carry the dictionary's syllable CI, so their
  // initial is a letter like every other reading's.
  for (const int code : {6075, 6358, 7684, 8043, 8457}) {
    EXPECT_EQ(PinyinOfGbCode(code), "CI") << code;
  }
}

TEST(Pinyin, InitialsOfAName) {
  // 张三丰 in GBK, then ASCII.
  const std::string name = WStringToMultiByte(u"张三丰 Li", 936);
  ASSERT_EQ(name.size(), 9u);
  EXPECT_EQ(GbkToPinyin(name), "zsf Li");
  EXPECT_EQ(GetPinyinInitial(name), "Z");
}

}  // namespace
