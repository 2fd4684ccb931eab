// The DNS wire format as pure functions: encoding names and queries, and
// reading answers of every shape, hostile ones included. Each answer lives
// in a buffer of exactly its own size, so a read past it shows under ASan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "utility/internal/dns_message.h"

namespace {

using utility_internal::BuildDnsQuery;
using utility_internal::DnsParseStatus;
using utility_internal::EncodeDnsName;
using utility_internal::ParseDnsAnswer;
using Bytes = std::vector<uint8_t>;

TEST(DnsName, Encoding) {
  EXPECT_EQ(EncodeDnsName("a.b"), (Bytes{1, 'a', 1, 'b', 0}));
  EXPECT_EQ(EncodeDnsName("a.b."), (Bytes{1, 'a', 1, 'b', 0})) << "a final dot is the root";
  EXPECT_TRUE(EncodeDnsName("").empty());
  EXPECT_TRUE(EncodeDnsName("a..b").empty());
  EXPECT_TRUE(EncodeDnsName(".a").empty());
  EXPECT_TRUE(EncodeDnsName(std::string(64, 'x')).empty()) << "labels hold 63 characters";
  EXPECT_EQ(EncodeDnsName(std::string(63, 'x')).size(), 65u);
  // At most 255 characters of the name are taken.
  std::string longName;
  for (int i = 0; i < 40; ++i) longName += "abcdefg.";
  longName += "end";
  const Bytes encoded = EncodeDnsName(longName);
  ASSERT_FALSE(encoded.empty());
  EXPECT_EQ(encoded.size(), 257u);
}

TEST(DnsQuery, HeaderQuestionTypeAndClass) {
  const Bytes q = BuildDnsQuery("ab.c");
  const Bytes expected = {0x03, 0xE7, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 2, 'a', 'b', 1, 'c', 0, 0, 1, 0, 1};
  EXPECT_EQ(q, expected);
  EXPECT_TRUE(BuildDnsQuery("").empty());
}

// --- Answers ---------------------------------------------------------------

Bytes Head(uint16_t ancount, uint16_t id = 999) {
  Bytes b = {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0x81, 0x80, 0, 1,
             static_cast<uint8_t>(ancount >> 8), static_cast<uint8_t>(ancount), 0, 0, 0, 0,
             1, 'a', 1, 'b', 0, 0, 1, 0, 1};
  return b;
}

void Record(Bytes& b, uint16_t type, Bytes rdata, Bytes owner = {0xC0, 0x0C}) {
  b.insert(b.end(), owner.begin(), owner.end());
  const uint16_t len = static_cast<uint16_t>(rdata.size());
  const Bytes fixed = {static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type), 0, 1, 0, 0, 0, 60,
                       static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
  b.insert(b.end(), fixed.begin(), fixed.end());
  b.insert(b.end(), rdata.begin(), rdata.end());
}

std::vector<uint32_t> Addresses(std::initializer_list<Bytes> quads) {
  std::vector<uint32_t> out;
  for (const Bytes& q : quads) {
    uint32_t v;
    std::memcpy(&v, q.data(), 4);
    out.push_back(v);
  }
  return out;
}

// Parses a copy that sits in a heap block of exactly its size.
utility_internal::DnsAnswer ParseExact(const Bytes& packet) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[packet.size() ? packet.size() : 1]);
  std::copy(packet.begin(), packet.end(), exact.get());
  return ParseDnsAnswer(exact.get(), packet.size());
}

TEST(DnsAnswer, ReadsARecordsSkipsOthersStopsAtThree) {
  Bytes p = Head(6);
  Record(p, 5, {3, 'w', 'w', 'w', 0xC0, 0x0C});  // CNAME
  Record(p, 5, {1, 'x', 0xC0, 0x0C});             // CNAME of length 4: no address
  Record(p, 1, {10, 0, 0, 1}, {1, 'x', 1, 'a', 1, 'b', 0});  // full owner name
  Record(p, 28, Bytes(16, 0xAB));                 // AAAA
  Record(p, 1, {10, 0, 0, 2});
  Record(p, 1, {10, 0, 0, 3});
  const auto three = ParseExact(p);
  EXPECT_EQ(three.status, DnsParseStatus::kOk);
  EXPECT_EQ(three.addresses, Addresses({{10, 0, 0, 1}, {10, 0, 0, 2}, {10, 0, 0, 3}}));

  Record(p, 1, {10, 0, 0, 4});
  p[7] = 7;
  EXPECT_EQ(ParseExact(p).addresses.size(), 3u) << "the fourth is not taken";
}

TEST(DnsAnswer, HostilePacketsAreReadWithinTheirBytes) {
  Bytes good = Head(1);
  Record(good, 1, {10, 0, 0, 1});

  struct Case {
    const char* what;
    Bytes packet;
    DnsParseStatus status;
    size_t addresses;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, DnsParseStatus::kTooShort, 0});
  cases.push_back({"eleven bytes", Bytes(good.begin(), good.begin() + 11), DnsParseStatus::kTooShort, 0});
  cases.push_back({"header only", Bytes(good.begin(), good.begin() + 12), DnsParseStatus::kMalformed, 0});
  for (size_t cut = 13; cut < good.size(); ++cut) {
    cases.push_back({"cut", Bytes(good.begin(), good.begin() + static_cast<long>(cut)),
                     DnsParseStatus::kMalformed, 0});
  }
  Bytes wrongId = good;
  wrongId[1] = 0;
  cases.push_back({"another id", wrongId, DnsParseStatus::kNotAnAnswer, 0});
  Bytes query = good;
  query[2] = 0x01;
  cases.push_back({"a query, not an answer", query, DnsParseStatus::kNotAnAnswer, 0});
  Bytes longRd = Head(1);
  Record(longRd, 1, {10, 0, 0, 1});
  longRd[longRd.size() - 6] = 0xFF;
  cases.push_back({"record length past the end", longRd, DnsParseStatus::kMalformed, 0});
  Bytes manyAnswers = good;
  manyAnswers[6] = 0xFF;
  manyAnswers[7] = 0xFF;
  cases.push_back({"answer count past the records", manyAnswers, DnsParseStatus::kOk, 1});
  Bytes runaway = Head(1);
  runaway.push_back(0x3F);  // a label of 63 bytes that are not there
  cases.push_back({"label past the end", runaway, DnsParseStatus::kMalformed, 0});
  Bytes reserved = Head(1);
  Record(reserved, 1, {10, 0, 0, 1}, {0x80, 0x00});
  cases.push_back({"reserved label form", reserved, DnsParseStatus::kMalformed, 0});
  Bytes halfPointer = Head(1);
  halfPointer.push_back(0xC0);
  cases.push_back({"half a pointer", halfPointer, DnsParseStatus::kMalformed, 0});
  Bytes manyQuestions = good;
  manyQuestions[5] = 0x40;
  cases.push_back({"questions past the end", manyQuestions, DnsParseStatus::kMalformed, 0});

  for (const Case& c : cases) {
    const auto answer = ParseExact(c.packet);
    EXPECT_EQ(answer.status, c.status) << c.what << " (" << c.packet.size() << " bytes)";
    EXPECT_EQ(answer.addresses.size(), c.addresses) << c.what << " (" << c.packet.size() << " bytes)";
  }
}

TEST(DnsAnswer, EveryTruncationOfALongAnswerIsSafe) {
  Bytes p = Head(4);
  Record(p, 5, {3, 'w', 'w', 'w', 3, 'c', 'o', 'm', 0});
  Record(p, 1, {1, 2, 3, 4}, {3, 'w', 'w', 'w', 3, 'c', 'o', 'm', 0});
  Record(p, 1, {5, 6, 7, 8});
  Record(p, 1, {9, 10, 11, 12});
  for (size_t cut = 0; cut <= p.size(); ++cut) {
    const auto answer = ParseExact(Bytes(p.begin(), p.begin() + static_cast<long>(cut)));
    EXPECT_LE(answer.addresses.size(), 3u);
  }
  EXPECT_EQ(ParseExact(p).addresses.size(), 3u);
}

}  // namespace
