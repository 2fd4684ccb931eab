#include <gtest/gtest.h>

#include "foundation/base/code_page.h"

namespace {

TEST(CodePageTest, ToWideTable) {
  struct Case {
    const char* name;
    std::string text;
    unsigned int page;
    std::u16string wide;
  } cases[] = {
      {"ansi is utf-8", "Zelvik手游助手", CP_ACP, u"Zelvik手游助手"},
      {"utf-8 astral", "a\xF0\x9F\x98\x80", CP_UTF8, u"a\U0001F600"},
      {"gbk", "\xD6\xD0\xCE\xC4", 936, u"中文"},
      {"stops at nul", std::string("ab\0cd", 5), CP_UTF8, u"ab"},
      {"utf-8 invalid byte", "a\xFF" "b", CP_UTF8, u"a\uFFFDb"},
      {"utf-8 truncated sequence", "a\xE4\xB8", CP_UTF8, u"a\uFFFD"},
      {"utf-8 surrogate encoded", "\xED\xA0\x80", CP_UTF8, u"\uFFFD\uFFFD\uFFFD"},
      {"gbk invalid lead", "A\xFF" "B", 936, u"A\uFFFDB"},
      {"gbk truncated pair", "A\xD6", 936, u"A\uFFFD"},
      {"unknown page", "abc", 4242, u""},
      {"cp1252", "caf\xE9", 1252, u"café"},
  };
  for (const Case& c : cases) EXPECT_EQ(MultiByteToWString(c.text, c.page), c.wide) << c.name;
}

TEST(CodePageTest, FromWideTable) {
  struct Case {
    const char* name;
    std::u16string wide;
    unsigned int page;
    std::string text;
  } cases[] = {
      {"ansi is utf-8", u"手游", CP_ACP, "手游"},
      {"gbk", u"中文abc", 936, "\xD6\xD0\xCE\xC4" "abc"},
      {"gbk lost astral", u"a\U0001F600b", 936, "a?b"},
      {"gbk lost hangul", u"x한y", 936, "x?y"},
      {"gbk lone surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", 936, "a?b"},
      {"utf-8 lone surrogate", std::u16string(u"a") + char16_t(0xDC00), CP_UTF8, "a\xEF\xBF\xBD"},
      {"cp1252 lost", u"é中", 1252, "\xE9?"},
      {"unknown page", u"abc", 4242, ""},
      {"stops at nul", std::u16string(u"ab\0cd", 5), CP_UTF8, "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(WStringToMultiByte(c.wide, c.page), c.text) << c.name;
}

TEST(CodePageTest, ConvertCodePage) {
  EXPECT_EQ(ConvertCodePage("中文", CP_ACP, 936), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(ConvertCodePage("\xD6\xD0\xCE\xC4", 936, CP_UTF8), "中文");
  EXPECT_EQ(ConvertCodePage("abc", 4242, CP_UTF8), "");
  EXPECT_EQ(AnsiToWString("手"), u"手");
  EXPECT_EQ(WStringToAnsi(u"手"), "手");
}

TEST(CodePageTest, OutVariantsKeepOrEmpty) {
  std::string narrow = "old";
  EXPECT_TRUE(WStringToAnsiOut(u"", narrow));
  EXPECT_EQ(narrow, "");
  EXPECT_TRUE(WStringToAnsiOut(u"新", narrow));
  EXPECT_EQ(narrow, "新");
  std::u16string wide = u"old";
  EXPECT_TRUE(AnsiToWStringOut("新", wide));
  EXPECT_EQ(wide, u"新");
  EXPECT_TRUE(AnsiToWStringOut(std::string("\0x", 2), wide));
  EXPECT_EQ(wide, u"");
}

TEST(CodePageTest, BufferVariantsReportNeededSize) {
  char16_t wide[8] = {};
  EXPECT_EQ(AnsiToWideBuffer("中文", -1, wide, 2), 3);  // too small: needed size, nothing written
  EXPECT_EQ(wide[0], 0);
  EXPECT_EQ(AnsiToWideBuffer("中文", -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide), u"中文");
  EXPECT_EQ(AnsiToWideBuffer("中文", 3, wide, 8), 1);  // one character, no terminator

  char narrow[8] = {};
  EXPECT_EQ(WideToAnsiBuffer(u"中文", -1, narrow, 4), 7);
  EXPECT_EQ(narrow[0], 0);
  EXPECT_EQ(WideToAnsiBuffer(u"中文", -1, narrow, 8), 7);
  EXPECT_STREQ(narrow, "中文");
}

}  // namespace
