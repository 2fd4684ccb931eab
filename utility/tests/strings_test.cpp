// Code-page conversions, hexadecimal text, case, trimming, searching, GUID
// texts and the string classes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "utility/base_string.h"

namespace {

TEST(Conversions, Utf16ToAnsiCountsTerminatorAndReportsNeededSize) {
  const char16_t* text = u"h\u00e9\u4e2d";  // 1 + 2 + 3 UTF-8 bytes
  EXPECT_EQ(UnicodeToAnsi(text, -1, nullptr, 0), 7);
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(UnicodeToAnsi(text, -1, small, sizeof(small)), 7);
  EXPECT_EQ(std::string(small, 4), "xxxx") << "a too-small buffer stays as it was";
  char out[16];
  EXPECT_EQ(BaseUnicodeToAnsi(text, -1, out, sizeof(out)), 7);
  EXPECT_STREQ(out, "h\xc3\xa9\xe4\xb8\xad");
}

TEST(Conversions, AnsiToUtf16AndBack) {
  char16_t wide[8];
  EXPECT_EQ(AnsiToUnicode("a\xe4\xb8\xad", -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide), u"a\u4e2d");
  EXPECT_EQ(BaseAnsiToUnicode("abc", 2, wide, 8), 2) << "an explicit length has no terminator";
  char back[8];
  EXPECT_EQ(AnsiToUtf8("ok", -1, back, 8), 3);
  EXPECT_EQ(Utf8ToAnsi("ok", -1, nullptr, 0), 3);
}

TEST(Conversions, SystemRuleForUtf8) {
  const char16_t* text = u"\u4e2d\u6587";
  EXPECT_EQ(UnicodeToUtf8(text, -1, nullptr, 0), 7) << "size 0 asks for the size";
  char small[3];
  EXPECT_EQ(UnicodeToUtf8(text, -1, small, sizeof(small)), 0) << "too small fails";
  char out[8];
  EXPECT_EQ(BaseUnicodeToUtf8(text, -1, out, sizeof(out)), 7);
  char16_t wide[4];
  EXPECT_EQ(Utf8ToUnicode(out, -1, wide, 4), 3);
  EXPECT_EQ(BaseUtf8ToUnicode(out, -1, wide, 2), 0);
}

TEST(Conversions, InvalidSequencesBecomeReplacementCharacters) {
  char16_t wide[8];
  EXPECT_EQ(Utf8ToUnicode("a\xff" "b", 3, wide, 8), 3);
  EXPECT_EQ(wide[1], 0xFFFD);
  const char16_t lone[] = {0xD800, u'x'};
  char out[8];
  EXPECT_EQ(UnicodeToUtf8(lone, 2, out, 8), 4);  // EF BF BD + x
  const char16_t pair[] = {0xD83D, 0xDE00};      // U+1F600
  EXPECT_EQ(UnicodeToUtf8(pair, 2, out, 8), 4);
  EXPECT_EQ(std::string(out, 4), "\xf0\x9f\x98\x80");
}

struct HexCase {
  const char* text;
  unsigned bufSize;
  unsigned result;
  std::vector<unsigned char> bytes;  // the whole buffer afterwards
};

TEST(HexStringToBytes, Table) {
  const HexCase cases[] = {
      {"0a0b", 2, 2, {0x0A, 0x0B}},
      {"0a0B", 2, 0, {0x00, 0x00}},        // upper case is no digit here
      {"abc", 2, 2, {0xAB, 0xC0}},         // odd length: last digit is a high nibble
      {"abc", 1, 0, {0xEE}},               // odd length needs (len + 1) / 2 bytes: untouched
      {"ab", 4, 4, {0xAB, 0, 0, 0}},       // the rest is zero-filled
      {"zz", 1, 0, {0x00}},                // bad character
      {"0g", 1, 0, {0x00}},
      {"", 2, 2, {0x00, 0x00}},
  };
  for (const HexCase& c : cases) {
    std::vector<unsigned char> buf(c.bufSize, 0xEE);
    EXPECT_EQ(HexStringToBytes(c.text, std::strlen(c.text), buf.data(), c.bufSize), c.result) << c.text;
    EXPECT_EQ(buf, c.bytes) << c.text << " into " << c.bufSize;
  }
  unsigned char b[2];
  EXPECT_EQ(HexStringToBytes(nullptr, 2, b, 2), 0u);
  EXPECT_EQ(HexStringToBytes("ab", 2, nullptr, 2), 0u);
}

TEST(HexStringToBytes, OddLengthNeverWritesPastTheBuffer) {
  // The buffer is the last byte of a guarded region: a write past it would
  // change the guard.
  unsigned char region[3] = {0x11, 0x22, 0x33};
  EXPECT_EQ(HexStringToBytes("abc", 3, region, 1), 0u);
  EXPECT_EQ(region[1], 0x22);
  EXPECT_EQ(HexStringToBytes("abcde", 5, region, 3), 3u);
  EXPECT_EQ(region[0], 0xAB);
  EXPECT_EQ(region[2], 0xE0);
}

TEST(BytesToHexString, NeedsRoomForTerminator) {
  const unsigned char bytes[] = {0x00, 0xA5, 0xFF};
  char out[7];
  EXPECT_EQ(BytesToHexString(bytes, 3, out, 6), 0u);
  EXPECT_EQ(BytesToHexString(bytes, 3, out, 7), 6u);
  EXPECT_STREQ(out, "00a5ff");
  EXPECT_EQ(BytesToHexString(bytes, 0, out, 1), 0u);
  EXPECT_STREQ(out, "");
}

TEST(CaseAndMemory, OnlyAsciiLettersChange) {
  std::string s = "Ab\xc3\x89z1";
  MakeUpper(s);
  EXPECT_EQ(s, "AB\xc3\x89Z1");
  MakeLower(s);
  EXPECT_EQ(s, "ab\xc3\x89z1");
  char text[] = "AbC";
  BaseMakeLowerA(text);  // exported without effect
  BaseMakeUpperA(text);
  EXPECT_STREQ(text, "AbC");
  unsigned char mem[3] = {1, 2, 3};
  BaseZeroMemory(mem, 3);
  EXPECT_EQ(mem[0], 1);
  zero_memory(mem, 3);
  EXPECT_EQ(mem[0] | mem[1] | mem[2], 0);
}

TEST(TrimAndFind, Table) {
  char a[] = "  x y  ";
  _base_trim_left(a);
  EXPECT_STREQ(a, "x y  ");
  _base_trim_right(a);
  EXPECT_STREQ(a, "x y");
  char spaces[] = "   ";
  _base_trim_right(spaces);
  EXPECT_STREQ(spaces, "");
  char tabs[] = "\tx\t";
  _base_trim_left(tabs);
  _base_trim_right(tabs);
  EXPECT_STREQ(tabs, "\tx\t");
  _base_trim_left(nullptr);

  EXPECT_EQ(_base_find_str("hello world", "world", true), 6) << "ends at the text's end";
  EXPECT_EQ(_base_find_str("hello World", "world", true), -1);
  EXPECT_EQ(_base_find_str("hello World", "world", false), 6);
  EXPECT_EQ(_base_find_str("", "a", true), -1);
  EXPECT_EQ(_base_find_str("ab", "abc", true), -1);
}

TEST(Guid, RoundTripAndRejects) {
  base_guid g{};
  ASSERT_TRUE(StringToGUID("{22A22BE6-EAFF-4ffe-A5D0-C359383E1047}", &g));
  EXPECT_EQ(g.Data1, 0x22A22BE6u);
  EXPECT_EQ(g.Data2, 0xEAFF);
  EXPECT_EQ(g.Data3, 0x4FFE);
  EXPECT_EQ(g.Data4[0], 0xA5);
  EXPECT_EQ(g.Data4[7], 0x47);
  std::string text;
  ASSERT_TRUE(GUIDToString(g, text));
  EXPECT_EQ(text, "{22A22BE6-EAFF-4FFE-A5D0-C359383E1047}");
  for (const char* bad : {"22A22BE6-EAFF-4ffe-A5D0-C359383E1047", "{22A22BE6-EAFF-4ffe-A5D0-C359383E104}",
                          "{22A22BE6-EAFF-4ffe-A5D0-C359383E104G}", ""}) {
    EXPECT_FALSE(StringToGUID(bad, &g)) << bad;
  }
  std::string huge(300, 'a');
  EXPECT_FALSE(StringToGUID(huge.c_str(), &g));
}

TEST(System, FreeSpaceAndEmptyHostName) {
  uint64_t free = 0;
  EXPECT_TRUE(GetDiskFreeSpaceA("/tmp", &free));
  EXPECT_GT(free, 0u);
  uint64_t untouched = 7;
  EXPECT_FALSE(GetDiskFreeSpaceA("/no/such/folder/here", &untouched));
  EXPECT_EQ(untouched, 7u);
  EXPECT_EQ(Domain2Ip(""), "");
  EXPECT_EQ(Domain2Ip(nullptr), "");
}

TEST(StringClasses, FindTrimCompare) {
  CBaseStringA s("  abcabc  ");
  s.Trim();
  EXPECT_TRUE(s == "abcabc");
  EXPECT_EQ(s.Find("bc", 0), 1);
  EXPECT_EQ(s.Find("bc", 2), 4);
  EXPECT_EQ(s.Find(std::string("x"), 0), -1);
  EXPECT_EQ(s.Find('c', 3), 5);
  std::string plain = s;
  EXPECT_TRUE(s == plain);
  CBaseStringA spaces("   ");
  spaces.TrimRight();
  EXPECT_TRUE(spaces.empty());

  CBaseStringW w(u" \u4e2d ");
  w.TrimLeft();
  EXPECT_TRUE(w == u"\u4e2d ");
  w = std::u16string(u"xyx");
  EXPECT_EQ(w.Find(u'x', 1), 2);
  EXPECT_EQ(w.Find(u"yx", 0), 1);
}

}  // namespace
