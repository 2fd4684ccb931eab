#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "hostmark.h"
#include "machine_identifier.h"

namespace {

TEST(Hostmark, IdentifierIsStablePerMachineAndDiffersBetweenMachines) {
  const hostmark::Identifier a = hostmark::DeriveIdentifier("0123456789abcdef0123456789abcdef\n");
  EXPECT_EQ(a, hostmark::DeriveIdentifier(" 0123456789abcdef0123456789abcdef"));
  EXPECT_NE(a, hostmark::DeriveIdentifier("0123456789abcdef0123456789abcdee"));
  EXPECT_NE(a, hostmark::Identifier{});
}

TEST(Hostmark, MachineIdFallsBackThroughItsSources) {
  char pattern[] = "/tmp/hostmark_test_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::ofstream(dir + "/empty").close();
  std::ofstream(dir + "/dbus") << "  fedcba9876543210fedcba9876543210\n";
  EXPECT_EQ(hostmark::ReadMachineIdText({dir + "/missing", dir + "/empty", dir + "/dbus"}),
            "fedcba9876543210fedcba9876543210");
  // No id file at all: the host name and host id, still a stable text.
  const std::string fallback = hostmark::ReadMachineIdText({dir + "/missing"});
  EXPECT_NE(fallback.find('/'), std::string::npos);
  EXPECT_EQ(fallback, hostmark::ReadMachineIdText({dir + "/missing"}));
  std::remove((dir + "/empty").c_str());
  std::remove((dir + "/dbus").c_str());
  rmdir(dir.c_str());
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
