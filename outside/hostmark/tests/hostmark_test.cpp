#include <gtest/gtest.h>

#include <cstring>

#include "hostmark.h"
#include "machine_identifier.h"

namespace {

TEST(Hostmark, IdentifierIsStablePerMachineAndDiffersBetweenMachines) {
  const hostmark::Identifier a = hostmark::DeriveIdentifier("0123456789abcdef0123456789abcdef\n");
  EXPECT_EQ(a, hostmark::DeriveIdentifier(" 0123456789abcdef0123456789abcdef"));
  EXPECT_NE(a, hostmark::DeriveIdentifier("0123456789abcdef0123456789abcdee"));
  EXPECT_NE(a, hostmark::Identifier{});
}

TEST(Hostmark, ExportFillsSixteenBytesOfThisMachine) {
  unsigned char buffer[17];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(HOSTMARKGetIdentify(buffer), 1);
  const hostmark::Identifier expected = hostmark::DeriveIdentifier(hostmark::ReadMachineIdText());
  EXPECT_EQ(0, std::memcmp(buffer, expected.data(), 16));
  EXPECT_EQ(buffer[16], 0xAA);  // nothing past the 16 bytes
  EXPECT_EQ(HOSTMARKGetIdentify(nullptr), 0);
}

}  // namespace
