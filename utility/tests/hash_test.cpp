// MD4 and MD5 against the RFC 1320 and RFC 1321 test suites; CBaseHash.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "utility/base_hash.h"

namespace {

struct DigestCase {
  const char* input;
  const char* md4;
  const char* md5;
};

// The test suites of RFC 1320 (MD4) and RFC 1321 (MD5).
const DigestCase kSuite[] = {
    {"", "31d6cfe0d16ae931b73c59d7e0c089c0", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "bde52cb31de33e46245e05fbdbd6fb24", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "a448017aaf21d8525fc10ae87aa6729d", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "d9130a8164549fe818874806e1c7014b", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "e33b4ddc9c38f2199c3e7b164fcc0536", "57edf4a22be3c955ac49da2e2107b67a"},
};

std::string Hex(const unsigned char* d) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 16; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

TEST(Md4, Rfc1320Suite) {
  for (const DigestCase& c : kSuite) {
    MD4_CTX ctx;
    MD4Init(&ctx);
    MD4Update(&ctx, reinterpret_cast<const unsigned char*>(c.input),
              static_cast<unsigned>(std::string(c.input).size()));
    unsigned char digest[16];
    MD4Final(digest, &ctx);
    EXPECT_EQ(Hex(digest), c.md4) << '"' << c.input << '"';
    EXPECT_EQ(ctx.state[0], 0u) << "the context is cleared";
  }
}

TEST(Md4, PiecewiseEqualsWhole) {
  const std::string text = kSuite[6].input;
  MD4_CTX ctx;
  MD4Init(&ctx);
  for (size_t i = 0; i < text.size(); i += 7) {
    const size_t n = std::min<size_t>(7, text.size() - i);
    MD4Update(&ctx, reinterpret_cast<const unsigned char*>(text.data() + i), static_cast<unsigned>(n));
  }
  unsigned char digest[16];
  MD4Final(digest, &ctx);
  EXPECT_EQ(Hex(digest), kSuite[6].md4);
}

TEST(Md5, Rfc1321SuiteThroughEveryInput) {
  for (const DigestCase& c : kSuite) {
    EXPECT_EQ(MD5(std::string(c.input)).toString(), c.md5);
    EXPECT_EQ(MD5(c.input, std::string(c.input).size()).toString(), c.md5);
    std::istringstream stream(c.input);
    EXPECT_EQ(MD5(stream).toString(), c.md5);
  }
}

TEST(Md5, DigestMayContinueAfterwards) {
  MD5 md5;
  md5.update(std::string("ab"));
  const std::string first = Hex(md5.digest());
  EXPECT_EQ(Hex(md5.digest()), first) << "a second digest without data is the same";
  md5.update(std::string("c"));
  EXPECT_EQ(md5.toString(), "900150983cd24fb0d6963f7d28e17f72");
  md5.reset();
  EXPECT_EQ(md5.toString(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, LongStreamCrossesBlocks) {
  // 25,000 bytes: three 10,240-byte reads, the last one short.
  const std::string data(25000, 'q');
  std::istringstream stream(data);
  EXPECT_EQ(MD5(stream).toString(), MD5(data).toString());
  std::istringstream failed;
  failed.setstate(std::ios::failbit);
  MD5 untouched;
  untouched.update(failed);
  EXPECT_EQ(untouched.toString(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, HexStringToBytesTakesNibbleValues) {
  const unsigned char src[] = {0x0A, 0x0B, 0x0C};
  unsigned char dst[4] = {0};
  EXPECT_EQ(MD5::HexStringToBytes(src, 3, dst, 4), 1u);
  EXPECT_EQ(dst[0], 0xAB);
  EXPECT_EQ(MD5::PADDING[0], 0x80);
  EXPECT_EQ(MD5::HEX[15], 'f');
}

TEST(BaseHash, TextAndCompare) {
  CBaseHash h("900150983CD24FB0d6963f7d28e17f72");
  EXPECT_FALSE(h.IsUndefinedHash());
  EXPECT_EQ(h.Len(), 16);
  MD5 md5(std::string("abc"));
  EXPECT_TRUE(h == md5.digest());
  EXPECT_TRUE(h == "900150983cd24fb0d6963f7d28e17f72");
  char small[32];
  EXPECT_STREQ(h.GetHexString(small, 32), "");
  char buf[33];
  EXPECT_STREQ(h.GetHexString(buf, 33), "900150983cd24fb0d6963f7d28e17f72");

  CBaseHash shortText("900150983cd24fb0d6963f7d28e17f7");  // 31 characters
  EXPECT_TRUE(shortText.IsUndefinedHash());
  CBaseHash copy(h);
  EXPECT_TRUE(copy == h);
  EXPECT_EQ(copy.ToBytes("zz0150983cd24fb0d6963f7d28e17f72"), 0u);
  EXPECT_TRUE(copy.IsUndefinedHash()) << "a bad first digit leaves nothing read";
}

}  // namespace
