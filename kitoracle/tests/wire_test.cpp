// The packets and replies of the search service as pure functions over
// buffers: request bytes, reply fields, and the replies that must fail
// without reading past their end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kitoracle.h"
#include "pack.h"
#include "wire/items.h"
#include "wire/replies.h"
#include "wire/requests.h"
#include "wire/text.h"

namespace kitoracle {
namespace {

using Bytes = std::vector<uint8_t>;

// The tests' packet builder, with driver and software items.
struct Pack : kitoracle_test::BasicPack<Pack> {
  Pack() = default;
  explicit Pack(Bytes bytes) { b = std::move(bytes); }
  // A driver item with the given id and one software item when soft.
  Pack& Driver(uint32_t id, bool soft) {
    U32(id).Fill(16, 0xAB).U64(1234).U64(0x0002000100000023ull).U32(20140712);
    U8(1).U8(1).U8(2).U8(1).U8(3);
    for (const char* t : {"/S", "HUAWEI", "华为技术有限公司", "zip", "2.1", "Driver", "Class"}) Str(t);
    U8(soft ? 1 : 0);
    if (soft) Soft();
    return *this;
  }
  Pack& Soft() {
    U32(1).U32(2).U32(3).U32(4).Fill(16, 0xCD).U32(7).U32(5).U8(8).U8(9);
    for (int i = 0; i < 7; ++i) Str("文本" + std::to_string(i));
    return *this;
  }
};

Bytes Make(const Request& request) {
  Bytes out(kPacketSize + 16, 0xEE);
  int n = request.MakeBuffer(out.data(), kPacketSize);
  out.resize(n > 0 ? size_t(n) : 0);
  return out;
}

using kitoracle_test::DeviceRecord;

TEST(KitoracleWire, RequestsAreWrittenFieldForField) {
  std::vector<int32_t> ids = {0, 7, 0, 9};
  SDevInfo dev = DeviceRecord(&ids);
  std::vector<int32_t> three[3] = {{11, 12}, {}, {13}};
  SDevInfo devices[3] = {DeviceRecord(&three[0]), DeviceRecord(&three[1]), DeviceRecord(&three[2])};

  CommonNewestRequest common;
  common.device = &dev;
  common.deviceIds = {7, 9};
  common.pairs = {{"a", "bc"}};
  SpecialCommonNewestRequest special;
  special.first = &dev;
  special.second = &devices[2];
  special.flag = 1;
  MultiDeviceRequest multi(true);
  multi.devices = devices;
  multi.count = 3;
  BrandProductDriverRequest brandDrivers;
  brandDrivers.device = &dev;
  MobileProductRequest mobile(kServiceMobile);
  mobile.firstId = 0x12D1;
  mobile.secondId = 0x0A0B;
  mobile.texts[0] = "adb";
  InstResultRequest inst;
  inst.deviceId = 1;
  inst.osId = 2;
  inst.fileId = 3;
  inst.result = 1;
  DeviceDescRequest desc(true);
  desc.hardwareIds = {"USB\\VID_1", "中"};

  struct Case {
    const char* name;
    const Request* request;
    Bytes expected;
  } cases[] = {
      {"0x18 sends only the nonzero device IDs", &common,
       Pack()
           .U8(0x18)
           .U8(0)
           .U32(1001)
           .U32(2002)
           .U32(6)
           .U8(1)
           .U32(20140101)
           .U16(2052)
           .U8(10)
           .U8(2)
           .U32(7)
           .U32(9)
           .U8(1)
           .Str("a")
           .Str("bc")
           .U8(3)
           .U8(2)
           .b},
      {"0x20 sends every device ID of both records", &special,
       Pack()
           .U8(0x20)
           .U8(0)
           .U32(1001)
           .U32(2002)
           .U32(6)
           .U16(2052)
           .U8(1)
           .U8(10)
           .U8(1)
           .U32(20140101)
           .U8(4)
           .U32(0)
           .U32(7)
           .U32(0)
           .U32(9)
           .U8(1)
           .U32(20140101)
           .U8(1)
           .U32(13)
           .U8(3)
           .b},
      {"0x26 kind 1: sub-command 0xF0 and per-device ID lists 2, 0, 1", &multi,
       Pack()
           .U8(0x26)
           .U8(0xF0)
           .U32(1001)
           .U32(2002)
           .U32(6)
           .U16(2052)
           .U8(10)
           .U8(3)
           .U8(2)
           .U32(11)
           .U32(12)
           .U8(0)
           .U8(1)
           .U32(13)
           .U8(3)
           .b},
      {"0x24 is 23 bytes", &brandDrivers,
       Pack().U8(0x24).U8(0).U32(1001).U32(2002).U32(6).U8(1).U32(20140101).U16(2052).U8(3).U8(2).b},
      {"0x22 IDs as four lower-case hexadecimal digits", &mobile,
       Pack().U8(0x22).U8(0).Str("12d1").Str("0a0b").U8(3).Str("adb").Str("").Str("").b},
      {"0x14 is 15 bytes", &inst, Pack().U8(0x14).U8(1).U32(1).U32(2).U32(3).U8(1).b},
      {"0x16 kind 1", &desc, Pack().U8(0x16).U8(0xF0).U8(2).Str("USB\\VID_1").Str("中").b},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Make(*c.request)) << c.name;
  EXPECT_EQ(23u, Make(brandDrivers).size());
  EXPECT_EQ(15u, Make(inst).size());
}

TEST(KitoracleWire, StatisticsTextIsLeftOutWhenItDoesNotFitThePacket) {
  StatRequest stat;
  stat.unionId = 1110;
  stat.kind = 10;
  for (int i = 0; i < 16; ++i) stat.machine[i] = uint8_t(i);
  stat.text = "统计";
  Bytes packet = Make(stat);
  Bytes expected = Pack().U8(0x41).U8(0).U16(0).U32(1110).b;
  for (int i = 0; i < 16; ++i) expected.push_back(uint8_t(i));
  expected = Pack(expected).U64(0).U16(0).U16(10).U8(0).Str("统计").b;
  EXPECT_EQ(expected, packet);

  // 37 bytes of head, 2 of length: 4057 text bytes fill the packet exactly;
  // one more would run past it, so the packet ends at offset 37.
  stat.text.assign(kPacketSize - 39, 'x');
  EXPECT_EQ(kPacketSize, Make(stat).size());
  stat.text.push_back('y');
  EXPECT_EQ(37u, Make(stat).size());
  stat.text.assign(70000, 'z');
  EXPECT_EQ(37u, Make(stat).size());
}

TEST(KitoracleWire, RequestsThatDoNotFitFail) {
  BrandProductRequest brand;
  brand.brand.assign(4092, 'b');  // 2 + 2 + 4092 = 4096: fits, nothing after it does
  EXPECT_EQ(0u, Make(brand).size());
  brand.brand.assign(4000, 'b');
  EXPECT_EQ(size_t(2 + 4002 + 2 + 2 + 1), Make(brand).size());
  DeviceDescRequest many(false);
  many.hardwareIds.assign(256, "x");
  EXPECT_EQ(0u, Make(many).size());
  uint8_t tiny[1];
  DriverDescRequest desc;
  EXPECT_EQ(0, desc.MakeBuffer(tiny, sizeof tiny));
}

TEST(KitoracleWire, DriverRepliesParseIntoItemsAndRecords) {
  Bytes bytes = Pack().U8(0x19).U8(0).U8(1).U8(1).U8(5).Driver(9001, true).Driver(9002, false).b;
  CommonNewestReply reply(0x19);
  ASSERT_EQ(int(bytes.size()), reply.ParseBuffer(bytes.data(), bytes.size()));
  ASSERT_EQ(1u, reply.recommended.size());
  ASSERT_EQ(1u, reply.further.size());
  EXPECT_EQ(5, reply.recommended[0].updateValue);
  EXPECT_EQ(0, reply.further[0].updateValue);

  SDrvInfo* records = MakeDriverRecords({reply.recommended[0], reply.further[0]});
  ASSERT_NE(nullptr, records);
  EXPECT_EQ(5, records[0].cUpdateValue);
  EXPECT_EQ(9001, records[0].iDriverID);
  EXPECT_EQ(0xAB, records[0].byPackageKey[15]);
  EXPECT_EQ(1234, records[0].i64DrvFileSize);
  EXPECT_EQ(0x0002000100000023ll, records[0].i64DrvFileVersion);
  EXPECT_EQ(20140712, records[0].iDrvPublishDate);
  EXPECT_EQ(2, records[0].cPackgeType);
  EXPECT_EQ(u"华为技术有限公司", std::u16string(records[0].szVendorStr));
  EXPECT_EQ(u"Class", std::u16string(records[0].szDrvClassName));
  ASSERT_EQ(1, records[0].cSoftCount);
  const SSoftInfo& soft = records[0].pSoftInfo[0];
  EXPECT_EQ(4u, soft.dwValue4);
  EXPECT_EQ(0xCD, soft.byKey[0]);
  EXPECT_EQ((5ll << 32) | 7, soft.i64Value);
  EXPECT_EQ(9, soft.cValue2);
  EXPECT_EQ(u"文本6", std::u16string(soft.szText7));
  EXPECT_EQ(0, records[1].cSoftCount);
  EXPECT_EQ(nullptr, records[1].pSoftInfo);
  FreeDriverRecords(records, 2);
}

TEST(KitoracleWire, MalformedRepliesFailWithoutReadingPastThem) {
  Bytes good = Pack().U8(0x19).U8(0).U8(1).U8(0).U8(0).Driver(1, true).b;
  struct Case {
    const char* name;
    Bytes bytes;
    uint8_t command;
  } cases[] = {
      {"wrong command", Pack().U8(0x1A).U8(0).U8(0).U8(0).b, 0x19},
      {"right command, wrong sub-command", Pack().U8(0x19).U8(1).U8(0).U8(0).b, 0x19},
      {"one byte", Pack().U8(0x19).b, 0x19},
      {"counts missing", Pack().U8(0x19).U8(0).b, 0x19},
      {"255 further drivers cannot be counted with the recommended one", Pack().U8(0x19).U8(0).U8(1).U8(255).b, 0x19},
      {"a driver short of its last byte", Bytes(good.begin(), good.end() - 1), 0x19},
      {"a count of 2 with one driver", Pack().U8(0x19).U8(0).U8(2).U8(0).U8(0).Driver(1, false).b, 0x19},
      {"a software text that claims more than remains", Pack().U8(0x19).U8(0).U8(1).U8(0).U8(0).Driver(1, true).b,
       0x19},
  };
  // The last case: the final software text's length claims one byte more.
  Bytes& last = cases[7].bytes;
  size_t lengthAt = last.size() - std::string("文本6").size() - 2;
  last[lengthAt] = uint8_t(last[lengthAt] + 1);
  for (const Case& c : cases) {
    // The bytes lie at the end of their own allocation, so ASan catches any
    // read beyond them.
    std::vector<uint8_t> exact(c.bytes);
    CommonNewestReply reply(c.command);
    EXPECT_EQ(0, reply.ParseBuffer(exact.data(), exact.size())) << c.name;
  }
  CommonNewestReply whole(0x19);
  EXPECT_EQ(int(good.size()), whole.ParseBuffer(good.data(), good.size()));
}

TEST(KitoracleWire, SmallRepliesParse) {
  Bytes desc = Pack().U8(0x17).U8(0xF0).U8(2).U32(4101).U32(0).Str("描述").Str("Class").b;
  DeviceDescReply d(true);
  EXPECT_GT(d.ParseBuffer(desc.data(), desc.size()), 0);
  EXPECT_EQ((std::vector<int32_t>{4101, 0}), d.deviceIds);
  EXPECT_EQ("描述", d.description);
  DeviceDescReply d0(false);
  EXPECT_EQ(0, d0.ParseBuffer(desc.data(), desc.size())) << "a kind-0 reply carries sub-command 0";
  Bytes none = Pack().U8(0x17).U8(0).U8(0).b;
  EXPECT_EQ(3, d0.ParseBuffer(none.data(), none.size())) << "a zero count ends the reply";

  Bytes res = Pack().U8(0x55).U8(0).U16(2).Str("http://127.0.0.1/a.apk").Str("").Str("u2").Str("").b;
  ServerResReply r;
  EXPECT_EQ(int(res.size()), r.ParseBuffer(res.data(), res.size()));
  ASSERT_EQ(2u, r.resources.size());
  EXPECT_EQ("http://127.0.0.1/a.apk", r.resources[0].first);
  Bytes resShort = Pack().U8(0x55).U8(0).U16(3).Str("u").Str("").b;
  EXPECT_EQ(0, r.ParseBuffer(resShort.data(), resShort.size()));

  Bytes plugins = Pack().U8(0x40).U8(0).U8(1).Fill(16, 0xC0).Str("a").Str("b").Str("c").b;
  PluginListReply p;
  EXPECT_EQ(int(plugins.size()), p.ParseBuffer(plugins.data(), plugins.size()));
  EXPECT_EQ("c", p.plugins.at(0).texts[2]);

  Bytes text = Pack().U8(0x0B).U8(1).U16(5).Str("").b;
  TextReply t(0x0B, 1);
  EXPECT_EQ(0, t.ParseBuffer(text.data(), 4)) << "a length of 5 with no bytes after it";
}

TEST(KitoracleWire, TextConversionsSizeFromTheRealUtf8Length) {
  // Three bytes a character: a buffer sized from the character count (plus
  // 2) would be too small for these.
  std::u16string chinese(300, u'华');
  EXPECT_EQ(900u, ToUtf8(chinese.c_str()).size());
  EXPECT_EQ(258u, ToUtf8(chinese.c_str(), 260).size()) << "cut on a character boundary";
  char16_t out[4];
  EXPECT_EQ(3u, CopyToWide("华为技术", out, 4));
  EXPECT_EQ(u"华为技", std::u16string(out));
  EXPECT_EQ(0u, CopyToWide("x", out, 0));
  char16_t pair[2];
  EXPECT_EQ(0u, CopyToWide("\xF0\x9F\x98\x80", pair, 2)) << "a surrogate pair is never split";
}

}  // namespace
}  // namespace kitoracle
