#include <gtest/gtest.h>

#include <string>

#include "foundation/base/crc32.h"
#include "foundation/base/url_encode.h"

namespace {

TEST(Crc32Test, CheckValuesAndChunking) {
  struct Case {
    std::string data;
    uint32_t crc;
  } cases[] = {{"123456789", 0xCBF43926u}, {"", 0x00000000u}, {"a", 0xE8B7BE43u},
               {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
  for (const Case& c : cases) {
    CCrc32 crc(0xFFFFFFFFu);
    crc.Update(c.data.data(), c.data.size());
    EXPECT_EQ(crc.Final(), c.crc) << c.data;
  }
  CCrc32 split(0xFFFFFFFFu);
  split.Update("1234", 4);
  split.Update("56789", 5);
  EXPECT_EQ(split.Final(), 0xCBF43926u);
}

TEST(Crc32Test, TaskKeyOverUtf16LeBytes) {
  // Task ids are the CRC-32 of a URL's UTF-16LE bytes without terminator.
  std::u16string url = u"ab";
  const unsigned char bytes[] = {'a', 0, 'b', 0};
  CCrc32 wide(0xFFFFFFFFu), raw(0xFFFFFFFFu);
  wide.Update(url.data(), url.size() * 2);
  raw.Update(bytes, sizeof bytes);
  EXPECT_EQ(wide.Final(), raw.Final());
  // The key helper: the same bytes, also for characters beyond ASCII.
  EXPECT_EQ(Utf16LeCrc32(url), raw.Final());
  EXPECT_EQ(Utf16LeCrc32(u"a.b"), 0x654CAC74u);
  EXPECT_EQ(Utf16LeCrc32(u"中文"), 0x4002936Eu);
}

TEST(UrlEncodeTest, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a b/c~", "a+b%2Fc~"},
      {"\xE4", "%E4"},
      {"AZaz09-_.~", "AZaz09-_.~"},
      {"中", "%E4%B8%AD"},
      {"a=1&b=2", "a%3D1%26b%3D2"},
      {"", ""},
      {std::string("\x00\x7F", 2), "%00%7F"},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.in), c.out) << c.in;
  EXPECT_EQ(HexDigit(9), '9');
  EXPECT_EQ(HexDigit(10), 'A');
  EXPECT_EQ(HexDigit(15), 'F');
}

}  // namespace
