#include "base/blowfish.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace devwarden {
namespace {

uint32_t Be(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

std::string Hex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// Published test vectors (key, plaintext, ciphertext; bytes big-endian).
TEST(BlowfishTest, PublishedVectors) {
  struct Case {
    std::string key, plain, cipher;
  } cases[] = {
      {Hex("0000000000000000"), Hex("0000000000000000"), Hex("4EF997456198DD78")},
      {Hex("FFFFFFFFFFFFFFFF"), Hex("FFFFFFFFFFFFFFFF"), Hex("51866FD5B85ECB8A")},
      {Hex("3000000000000000"), Hex("1000000000000001"), Hex("7D856F9A613063F2")},
      {Hex("0123456789ABCDEF"), Hex("1111111111111111"), Hex("61F9C3802281B096")},
      {Hex("FEDCBA9876543210"), Hex("0123456789ABCDEF"), Hex("0ACEAB0FC6A0A28D")},
      {"abcdefghijklmnopqrstuvwxyz", "BLOWFISH", Hex("324ED0FEF413A203")},
  };
  for (const Case& c : cases) {
    Blowfish bf;
    ASSERT_TRUE(bf.SetKey(reinterpret_cast<const uint8_t*>(c.key.data()), c.key.size()));
    const auto* p = reinterpret_cast<const uint8_t*>(c.plain.data());
    const auto* x = reinterpret_cast<const uint8_t*>(c.cipher.data());
    uint32_t l = Be(p), r = Be(p + 4);
    bf.EncryptBlock(&l, &r);
    EXPECT_EQ(l, Be(x));
    EXPECT_EQ(r, Be(x + 4));
    bf.DecryptBlock(&l, &r);
    EXPECT_EQ(l, Be(p));
    EXPECT_EQ(r, Be(p + 4));
  }
}

TEST(BlowfishTest, BuffersAreReadAsLittleEndianHalvesAndRoundTrip) {
  Blowfish bf;
  const std::string key = Hex("0000000000000000");
  bf.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  uint8_t block[8] = {};
  bf.Encrypt(block, 8);
  // Halves 0x4EF99745 and 0x6198DD78, each stored least significant byte first.
  const uint8_t expected[8] = {0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61};
  EXPECT_EQ(std::memcmp(block, expected, 8), 0);

  uint8_t text[24] = "seventeen letters";  // 18 bytes used: three blocks
  uint8_t copy[24];
  std::memcpy(copy, text, sizeof text);
  bf.Encrypt(text, 18);
  EXPECT_NE(std::memcmp(text, copy, 18), 0);
  bf.Decrypt(text, 18);
  EXPECT_EQ(std::memcmp(text, copy, sizeof text), 0);
  EXPECT_EQ(Blowfish::PaddedLength(18), 24u);
  EXPECT_FALSE(bf.SetKey(nullptr, 0));
}

}  // namespace
}  // namespace devwarden
