// The datagram checksum and cipher; buffer_t and CCommunicationAddr.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "utility/base_buffer.h"
#include "utility/base_crc.h"

namespace {

TEST(Crc32, CheckValues) {
  EXPECT_EQ(GetCrc32("abc", 3), 0x74FDAC3Du);
  EXPECT_EQ(GetCrc32("123456789", 9), 0x64B221C3u);
  EXPECT_EQ(GetCrc32("", 0), 0x000000FFu);
  EXPECT_EQ(GetCrc32("abc", -1), 0x000000FFu);
}

TEST(DatagramCipher, KeyStreamRepeatsEvery1024Bytes) {
  std::vector<char> zeros(2048, 0);
  EncryptData(zeros.data(), 2048);
  EXPECT_EQ(std::memcmp(zeros.data(), zeros.data() + 1024, 1024), 0);
  EXPECT_NE(std::count(zeros.begin(), zeros.end(), 0), 2048) << "the key stream is not empty";
}

TEST(DatagramCipher, RoundTripAndNoOpForEmpty) {
  std::vector<char> data(1500);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  std::vector<char> copy = data;
  EncryptData(copy.data(), static_cast<int>(copy.size()));
  EXPECT_NE(copy, data);
  DecryptData(copy.data(), static_cast<int>(copy.size()));
  EXPECT_EQ(copy, data);
  GetKeyTable();  // regenerates the same stream
  EncryptData(copy.data(), 0);
  EncryptData(copy.data(), -5);
  EXPECT_EQ(copy, data);
}

TEST(Buffer, GrowsByStepPlusWrite) {
  buffer_t b(16384u);
  b.write("0123456789", 10);
  EXPECT_EQ(b.size(), 16394u);
  EXPECT_EQ(b.length(), 10u);
  EXPECT_EQ(std::memcmp(b.buffer(), "0123456789", 10), 0);
}

TEST(Buffer, DiscardReserveReset) {
  buffer_t b("abcdef", 6);
  EXPECT_EQ(b.size(), 6u);
  b.descard(2);
  EXPECT_EQ(b.length(), 4u);
  EXPECT_EQ(std::memcmp(b.buffer(), "cdef", 4), 0);
  b.descard(0);
  EXPECT_EQ(b.length(), 4u);
  b.descard(5);
  EXPECT_EQ(b.length(), 0u);

  buffer_t empty;
  empty.reserve(8);
  EXPECT_EQ(empty.size(), 8u);
  EXPECT_EQ(empty.length(), 8u);
  EXPECT_TRUE(empty.reset(32, 64));
  EXPECT_EQ(empty.size(), 32u);
  EXPECT_EQ(empty.length(), 0u);
}

TEST(Buffer, CopiesOwnTheirStorage) {
  buffer_t a("xyz", 3);
  buffer_t b(a);
  buffer_t c;
  c = a;
  b.descard(1);
  EXPECT_EQ(a.length(), 3u);
  EXPECT_NE(a.buffer(), b.buffer());
  EXPECT_NE(a.buffer(), c.buffer());
  EXPECT_EQ(std::memcmp(c.buffer(), "xyz", 3), 0);
}

TEST(CommunicationAddr, ComparesIpAndPortOnly) {
  CCommunicationAddr a("10.0.0.1", 6011, 4);
  CCommunicationAddr b("10.0.0.1", 6011, 4);
  b.SetDomain("example");
  b.SetNetType(2);
  EXPECT_TRUE(a == b);
  b.SetPortA(6012);
  EXPECT_FALSE(a == b);
  CCommunicationAddr c;
  c = b;
  EXPECT_STREQ(c.GetIp(), "10.0.0.1");
  EXPECT_STREQ(c.GetDomain(), "example");
  EXPECT_EQ(c.GetPort(), 6012);
  EXPECT_EQ(c.GetIpType(), 4);
  EXPECT_EQ(c.GetNetType(), 2);
}

}  // namespace
