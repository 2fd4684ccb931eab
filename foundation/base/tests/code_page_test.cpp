#include <gtest/gtest.h>

#include <random>

#include "foundation/base/code_page.h"
#include "foundation/base/unicode.h"

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
      {"latin-1", "caf\xE9", 28591, u"café"},
      {"koi8-r", "\xF0\xD2\xC9", 20866, u"При"},
      {"mac roman", "\x8E", 10000, u"é"},
      {"utf-16le stops at a zero unit", std::string("a\0\x2D\x4E\0\0z\0", 8), 1200, u"a中"},
      {"utf-16be", std::string("\0a\x4E\x2D", 4), 1201, u"a中"},
      {"utf-16le cut unit", std::string("a\0b", 3), 1200, u"a"},
      {"utf-32le astral", std::string("\x00\xF6\x01\x00", 4), 12000, u"\U0001F600"},
      {"utf-32be", std::string("\0\0\0a", 4), 12001, u"a"},
      {"utf-32le no code point", std::string("\0\0\x11\0", 4), 12000, u"\uFFFD"},
      {"gb18030", "\x81\x30\x81\x30", 54936, u"\u0080"},
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
      {"latin-1 lost", u"café中", 28591, "caf\xE9?"},
      {"koi8-r", u"При", 20866, "\xF0\xD2\xC9"},
      {"mac roman", u"é", 10000, "\x8E"},
      {"utf-16le", u"a中", 1200, std::string("a\0\x2D\x4E", 4)},
      {"utf-16be", u"a中", 1201, std::string("\0a\x4E\x2D", 4)},
      {"utf-32le astral", u"\U0001F600", 12000, std::string("\x00\xF6\x01\x00", 4)},
      {"utf-32be lone surrogate", std::u16string(1, char16_t(0xD800)), 12001, std::string("\0\0\0?", 4)},
  };
  for (const Case& c : cases) EXPECT_EQ(WStringToMultiByte(c.wide, c.page), c.text) << c.name;
}

TEST(CodePageTest, WholeBuffersReportLoss) {
  std::u16string wide;
  ASSERT_TRUE(CodePageToUtf16(std::string("a\0b", 3).data(), 3, 28591, &wide));
  EXPECT_EQ(wide, std::u16string(u"a\0b", 3)) << "zero bytes are converted too";
  EXPECT_FALSE(CodePageToUtf16("abc", 3, 4242, &wide));
  EXPECT_EQ(wide, u"");

  std::string narrow;
  bool lost = true;
  ASSERT_TRUE(Utf16ToCodePage(u"caf\u00E9", 4, 28591, &narrow, &lost));
  EXPECT_EQ(narrow, "caf\xE9");
  EXPECT_FALSE(lost);
  ASSERT_TRUE(Utf16ToCodePage(u"\u4E2D", 1, 20866, &narrow, &lost));
  EXPECT_EQ(narrow, "?");
  EXPECT_TRUE(lost);
  EXPECT_FALSE(Utf16ToCodePage(u"a", 1, 4242, &narrow, &lost));
  EXPECT_FALSE(lost);
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

TEST(Utf8Decoding, RunsOfAsciiAndSequencesAlike) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"", u""},
      {"plain ascii text", u"plain ascii text"},
      {"a\xE4\xB8\xAD" "b", u"a中b"},
      {"\xF0\x9F\x98\x80!", u"\U0001F600!"},              // a surrogate pair
      {"x\xC0\xAFy", u"x\xFFFD\xFFFDy"},                   // C0 is never a lead
      {"\xED\xA0\x80z", u"\xFFFD\xFFFD\xFFFDz"},           // an encoded surrogate
      {"ab\xE4\xB8", u"ab\xFFFD"},                         // cut at the end
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},  // a zero unit stays
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unicode::Utf8ToUtf16(c.bytes.data(), c.bytes.size()), c.text) << c.bytes;
  }
}

// The whole-text decoder reads runs of ASCII and the common forms by fast
// paths and works a piece at a time; whatever the mix, and wherever a
// sequence falls against a piece boundary, it must give what reading one
// sequence after another with the strict reader gives.
TEST(Utf8Decoding, FastPathsDecodeLikeTheSequenceReader) {
  const auto reference = [](const std::string& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    std::u16string out;
    for (size_t i = 0; i < bytes.size();) {
      const unicode::Utf8Sequence seq = unicode::ReadUtf8Sequence(s, bytes.size(), i);
      unicode::AppendUtf16(out, seq.length ? seq.value : unicode::kReplacement);
      i += static_cast<size_t>(seq.length ? seq.length : seq.prefix);
    }
    return out;
  };
  const char* const pieces[] = {
      "plain ascii run of text ", "<a b=\"c\">", "\xC3\xA9", "\xE4\xB8\xAD\xE6\x96\x87",
      "\xF0\x9F\x98\x80", "\xE0\xA4\x85", "\xED\x9F\xBF", "\xED\xA0\x80", "\xEF\xBF\xBD",
      "\xC0\xAF", "\x80", "\xE4\xB8", "\xF4\x90\x80\x80", "\xFF", ""};  // "": a zero byte
  std::mt19937 random(33);
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const size_t target = round < 100 ? random() % 64 : 4000 + random() % 9000;
    while (bytes.size() < target) {
      const size_t k = random() % (sizeof(pieces) / sizeof(pieces[0]));
      bytes += k + 1 == sizeof(pieces) / sizeof(pieces[0]) ? std::string(1, '\0') : pieces[k];
    }
    // Cut anywhere, so a sequence may be broken by the end too.
    bytes.resize(target);
    ASSERT_EQ(unicode::Utf8ToUtf16(bytes.data(), bytes.size()), reference(bytes)) << round;
  }
}
