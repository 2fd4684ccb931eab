// Replies of the search service as a broken or hostile server sends them:
// one table over every reply parser, then the parsed drivers and software
// made into the flat records as the exports hand them out. Each reply lies
// at the end of its own allocation, so a read past it shows under the
// sanitizers; a row is refused (0) or read whole, never more.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/base/tests/case_name.h"
#include "pack.h"
#include "transport/http_send.h"
#include "wire/items.h"
#include "wire/replies.h"

namespace kitoracle {
namespace {

using Bytes = std::vector<uint8_t>;
using kitoracle_test::Pack;

// A driver item whose texts are `text` (seven of them), with `softs`
// software items whose texts are `text` too.
Pack& Driver(Pack& p, const std::string& text, uint8_t softs) {
  p.U32(77).Fill(16, 0xAB).U64(1).U64(2).U32(20140712).U8(1).U8(1).U8(2).U8(1).U8(3);
  for (int i = 0; i < 7; ++i) p.Str(text);
  p.U8(softs);
  for (uint8_t s = 0; s < softs; ++s) {
    p.U32(1).U32(2).U32(3).U32(4).Fill(16, 0xCD).U32(7).U32(5).U8(8).U8(9);
    for (int i = 0; i < 7; ++i) p.Str(text);
  }
  return p;
}

Bytes Cut(Bytes b, size_t less) {
  b.resize(b.size() > less ? b.size() - less : 0);
  return b;
}

struct HostileReply {
  const char* label;
  std::function<std::unique_ptr<Reply>()> parser;
  Bytes bytes;
  bool whole;  // read whole; else refused
};

auto Make(std::function<std::unique_ptr<Reply>()> f) { return f; }
const auto kText = Make([] { return std::unique_ptr<Reply>(new TextReply(0x23, 0)); });
const auto kByte = Make([] { return std::unique_ptr<Reply>(new ByteReply(0x29, 0)); });
const auto kDesc = Make([] { return std::unique_ptr<Reply>(new DeviceDescReply(true)); });
const auto kBrand = Make([] { return std::unique_ptr<Reply>(new BrandProductReply()); });
const auto kDrivers = Make([] { return std::unique_ptr<Reply>(new DriverListReply(0x25, 0, true)); });
const auto kNewest = Make([] { return std::unique_ptr<Reply>(new CommonNewestReply(0x19)); });
const auto kResources = Make([] { return std::unique_ptr<Reply>(new ServerResReply()); });
const auto kSoftware = Make([] { return std::unique_ptr<Reply>(new SoftwareListReply()); });
const auto kPlugins = Make([] { return std::unique_ptr<Reply>(new PluginListReply()); });

const std::string kLong(60000, 'L');
const std::string kOdd = std::string("a\0b\xff\xfe\xed\xa0\x80", 8);  // a NUL, bytes that are no UTF-8, a lone surrogate

std::vector<HostileReply> Rows() {
  Bytes oneDriver = Driver(Pack().U8(0x25).U8(0).U8(1).U8(5), "t", 1).b;
  return {
      {"empty", kText, {}, false},
      {"leading bytes only", kText, Pack().U8(0x23).U8(0).b, false},
      {"another command", kText, Pack().U8(0x24).U8(0).Str("x").b, false},
      {"a text claiming 65535 bytes", kText, Pack().U8(0x23).U8(0).U16(65535).Fill(3, 'x').b, false},
      {"a text of NUL and broken UTF-8", kText, Pack().U8(0x23).U8(0).Str(kOdd).b, true},
      {"a byte reply with bytes after it", kByte, Pack().U8(0x29).U8(0).U8(1).Fill(100, 0).b, true},
      {"255 device ids with two there", kDesc, Pack().U8(0x17).U8(0xF0).U8(255).U32(1).U32(2).b, false},
      {"brand names cut short", kBrand, Cut(Pack().U8(0x03).U8(0x02).U32(1).U32(2).Str("b").Str("p").b, 1), false},
      {"255 drivers with one there", kDrivers, Driver(Pack().U8(0x25).U8(0).U8(255).U8(5), "t", 0).b, false},
      {"a driver one byte short", kDrivers, Cut(oneDriver, 1), false},
      {"a driver whose software count runs past the end", kDrivers, [] {
         Bytes b = Driver(Pack().U8(0x25).U8(0).U8(1).U8(5), "t", 0).b;
         b.back() = 3;  // three software items, none there
         return b;
       }(), false},
      {"a driver with texts of 60000 bytes", kDrivers, Driver(Pack().U8(0x25).U8(0).U8(1).U8(5), kLong, 1).b, true},
      {"a driver with texts of NUL and broken UTF-8", kDrivers,
       Driver(Pack().U8(0x25).U8(0).U8(1).U8(5), kOdd, 2).b, true},
      {"255 further drivers", kNewest, Pack().U8(0x19).U8(0).U8(0).U8(255).b, false},
      {"65535 resources with none there", kResources, Pack().U8(0x55).U8(0).U16(65535).b, false},
      {"65535 empty resources", kResources, [] {
         Pack p;
         p.U8(0x55).U8(0).U16(65535);
         for (int i = 0; i < 65535; ++i) p.Str("").Str("");
         return p.b;
       }(), true},
      {"software with texts of 60000 bytes", kSoftware, [] {
         Pack p;
         p.U8(0x09).U8(1).U8(1).U32(1).U32(2).U32(3).U32(4).Fill(16, 0xCD).U32(7).U32(5).U8(8).U8(9);
         for (int i = 0; i < 7; ++i) p.Str(kLong);
         return p.b;
       }(), true},
      {"a plug-in identity cut short", kPlugins, Pack().U8(0x40).U8(0).U8(1).Fill(15, 0xC0).b, false},
  };
}

class KitoracleHostileReply : public ::testing::TestWithParam<HostileReply> {};

TEST_P(KitoracleHostileReply, IsRefusedOrReadWholeAndItsRecordsFit) {
  const HostileReply& row = GetParam();
  std::unique_ptr<Reply> parser = row.parser();
  // An allocation of exactly the reply's size (one byte for an empty reply,
  // which is passed as length 0).
  std::unique_ptr<uint8_t[]> exact(new uint8_t[row.bytes.empty() ? 1 : row.bytes.size()]);
  std::copy(row.bytes.begin(), row.bytes.end(), exact.get());
  const int read = parser->ParseBuffer(exact.get(), row.bytes.size());
  EXPECT_EQ(read > 0, row.whole) << read;
  EXPECT_LE(read, static_cast<int>(row.bytes.size()));
  if (read <= 0) return;
  // The records the exports hand out: texts cut to their fields.
  if (auto* list = dynamic_cast<DriverListReply*>(parser.get())) {
    SDrvInfo* records = MakeDriverRecords(list->drivers);
    ASSERT_NE(records, nullptr);
    for (size_t i = 0; i < list->drivers.size(); ++i) {
      EXPECT_LT(std::char_traits<char16_t>::length(records[i].szVendorStr), size_t(kDriverTextLength));
      for (int s = 0; s < records[i].cSoftCount; ++s)
        EXPECT_LT(std::char_traits<char16_t>::length(records[i].pSoftInfo[s].szText7), size_t(kDriverTextLength));
    }
    FreeDriverRecords(records, uint8_t(list->drivers.size()));
  } else if (auto* soft = dynamic_cast<SoftwareListReply*>(parser.get())) {
    SSoftInfo* records = AllocRecords<SSoftInfo>(soft->software.size());
    ASSERT_NE(records, nullptr);
    for (size_t i = 0; i < soft->software.size(); ++i) {
      EXPECT_TRUE(GetSoftInfoFromSoftItem(&records[i], &soft->software[i]));
      EXPECT_LT(std::char_traits<char16_t>::length(records[i].szText1), size_t(kDriverTextLength));
    }
    FreeRecords(records);
  }
}

INSTANTIATE_TEST_SUITE_P(Kitoracle, KitoracleHostileReply, ::testing::ValuesIn(Rows()),
                         testing_support::NamedBy(&HostileReply::label));

// The HTTP reply of the service as it arrives: a body longer than the
// reply buffer ends the transfer, a header cut short stores nothing, and a
// file name from the headers never leaves the download folder.
TEST(KitoracleHostileHttp, BodiesAndNamesStayInBounds) {
  std::vector<uint8_t> out(64);
  ReceiveState state;
  state.buffer = out.data();
  state.capacity = out.size();
  const Bytes header = {0, 1, 2, 3, 4, 1, 0, 0, 0, 0};  // one byte short of the 11-byte header
  EXPECT_EQ(header.size(), state.Accept(header.data(), header.size()));
  EXPECT_EQ(0u, state.Stored());
  const Bytes flood(4096, 7);
  EXPECT_EQ(0u, state.Accept(flood.data(), flood.size())) << "more than the buffer holds ends the transfer";

  const std::string url = "http://127.0.0.1/files/c.apk";
  struct Name {
    const char* headers;
    const char* expected;
  } names[] = {
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"/etc/passwd\"\r\n\r\n", "passwd"},
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\".\"\r\n\r\n", "c.apk"},
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"a\\\\..\\\\b.apk\"\r\n\r\n", "b.apk"},
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"../../.bashrc\"\r\n\r\n", "c.apk"},
      {"HTTP/1.1 302 Found\r\nLocation: /dir/.profile\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", "c.apk"},
  };
  for (const Name& n : names) EXPECT_EQ(n.expected, ResourceFileName(n.headers, url)) << n.headers;
}

}  // namespace
}  // namespace kitoracle
