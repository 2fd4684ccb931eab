// Dispatch replies, the cache file format and the server table, over the
// pure code.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "dispatch_protocol.h"
#include "server_table.h"

namespace relaylink {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DispatchProtocolTest, Requests) {
  EXPECT_EQ((Bytes{0x02, 0x00}), ServerListRequest());
  EXPECT_EQ((Bytes{0x04, 0x00, 0x07}), ServerAddrRequest(7));
}

TEST(DispatchProtocolTest, ServerListReplies) {
  Bytes two = EncodeServerList({{1, 8000, 8001, 0, "10.0.0.1"}, {2, 9000, 0, 0, "search"}});
  Bytes trailing = two;
  trailing.push_back(0xEE);
  Bytes cutHost = two;
  cutHost.pop_back();
  struct Case {
    const char* name;
    Bytes reply;
    bool ok;
    size_t entries;
  } cases[] = {
      {"count 0 in exactly 4 bytes", {0, 0, 0, 0}, true, 0},
      {"three bytes", {0, 0, 0}, false, 0},
      {"two entries", two, true, 2},
      {"bytes after the last entry", trailing, true, 2},
      {"host length past the end", cutHost, false, 0},
      {"count larger than the entries", {0, 0, 1, 0, 1, 0x40}, false, 0},
  };
  for (const Case& c : cases) {
    ServerListResult r = ParseServerList(c.reply.data(), c.reply.size());
    EXPECT_EQ(c.ok, r.ok) << c.name;
    EXPECT_EQ(c.entries, r.entries.size()) << c.name;
  }
  ServerListResult r = ParseServerList(two.data(), two.size());
  EXPECT_EQ("search", r.entries[1].host);
  EXPECT_EQ(8001, r.entries[0].port1);
}

TEST(DispatchProtocolTest, ServerAddrReplies) {
  Bytes good = EncodeServerAddrReply({5, 7000, 7001, 7002, "127.0.0.1"});
  Bytes cut = good;
  cut.pop_back();
  Bytes emptyHost = EncodeServerAddrReply({5, 7000, 0, 0, ""});
  struct Case {
    const char* name;
    Bytes reply;
    bool ok;
  } cases[] = {
      {"whole", good, true},
      {"host length past the end", cut, false},
      {"ten bytes", Bytes(good.begin(), good.begin() + 10), false},
      {"nine bytes with a length field of zero", {0, 0, 5, 1, 0, 0, 0, 0, 0}, false},
      {"empty host", emptyHost, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.ok, ParseServerAddrReply(c.reply.data(), c.reply.size()).ok) << c.name;
  ServerAddrResult r = ParseServerAddrReply(good.data(), good.size());
  EXPECT_EQ(5, r.entry.type);
  EXPECT_EQ(7002, r.entry.port2);
  EXPECT_EQ("127.0.0.1", r.entry.host);
}

ServerEntry Entry(uint8_t type, const std::string& host, uint16_t p0, uint16_t p1 = 0, uint16_t p2 = 0) {
  ServerEntry e;
  e.type = type;
  e.host = host;
  e.addrKind = AddrKindOf(host);
  e.port0 = p0;
  e.port1 = p1;
  e.port2 = p2;
  return e;
}

TEST(CacheFileTest, BytesOfTheFile) {
  ServerEntry ipv4 = Entry(1, "10.1.2.3", 0x1234, 2, 3);
  ipv4.portIndex = 2;
  Bytes bytes = EncodeCache({Entry(0, "127.0.0.1", 3000), ipv4, Entry(2, "srv", 80)}, 0x0102030405060708);
  Bytes expected = {'R', 'L', 'K', '1', '.', '0', 0, 0, 8, 7, 6, 5, 4, 3, 2, 1,
                    1, 4, 10, 1, 2, 3, 0x34, 0x12, 2, 0, 3, 0, 2,
                    2, 3, 3, 's', 'r', 'v', 80, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(expected, bytes);
  CacheContents back = DecodeCache(bytes.data(), bytes.size());
  ASSERT_TRUE(back.ok);
  ASSERT_EQ(2u, back.entries.size());
  EXPECT_EQ("10.1.2.3", back.entries[0].host);
  EXPECT_EQ(2, back.entries[0].portIndex);
  EXPECT_EQ("srv", back.entries[1].host);
  EXPECT_EQ(0x0102030405060708, back.writtenAt);
}

TEST(CacheFileTest, DamagedAndUnusualFiles) {
  Bytes good = EncodeCache({Entry(1, "abcdefghijkl", 1), Entry(2, "vwxyz", 2)}, 0);
  Bytes badMagic = good;
  badMagic[3] = '2';
  Bytes cutLast = good;
  cutLast.resize(good.size() - 3);
  Bytes unknownKind = good;
  unknownKind.insert(unknownKind.end(), {9, 9, 0, 0});
  Bytes ipv6 = EncodeCache({}, 0);
  ipv6.insert(ipv6.end(), {3, 6});
  ipv6.insert(ipv6.end(), 16, 0);
  ipv6.insert(ipv6.end(), {1, 0, 0, 0, 0, 0, 0});
  struct Case {
    const char* name;
    Bytes file;
    bool ok;
    std::vector<std::string> hosts;
  } cases[] = {
      {"two names", good, true, {"abcdefghijkl", "vwxyz"}},
      {"wrong magic", badMagic, false, {}},
      {"truncated last entry", cutLast, true, {"abcdefghijkl"}},
      {"unknown address kind", unknownKind, false, {"abcdefghijkl", "vwxyz"}},
      {"fifteen bytes", Bytes(good.begin(), good.begin() + 15), false, {}},
      {"header only", Bytes(good.begin(), good.begin() + 16), true, {}},
      {"ipv6 entry", ipv6, true, {""}},
  };
  for (const Case& c : cases) {
    CacheContents r = DecodeCache(c.file.data(), c.file.size());
    EXPECT_EQ(c.ok, r.ok) << c.name;
    std::vector<std::string> hosts;
    for (const auto& e : r.entries) hosts.push_back(e.host);
    EXPECT_EQ(c.hosts, hosts) << c.name;
  }
}

TEST(CacheFileTest, LongNamesAndEmptyEntriesAreLeftOut) {
  Bytes bytes = EncodeCache({Entry(1, std::string(256, 'a'), 1), Entry(2, std::string(255, 'b'), 2),
                             Entry(3, "", 3), Entry(4, "1.2.3.4", 0), Entry(5, "1.2.3.999", 5)},
                            0);
  CacheContents r = DecodeCache(bytes.data(), bytes.size());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(1u, r.entries.size());
  EXPECT_EQ(2, r.entries[0].type);
  EXPECT_EQ(255u, r.entries[0].host.size());
}

TEST(ServerTableTest, PortsByIndex) {
  ServerEntry e = Entry(1, "1.2.3.4", 10, 11, 0);
  EXPECT_EQ(10, e.PortFor(0));
  EXPECT_EQ(11, e.PortFor(1));
  EXPECT_EQ(10, e.PortFor(2));  // port2 is 0: port0 stands in
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/pd-relaylink-XXXXXX";
    path_ = mkdtemp(pattern);
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~TempFolder() { (void)!std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(ServerTableTest, SaveAndLoadKeepTheTableEntriesFirst) {
  TempFolder folder;
  ServerTable table;
  EXPECT_FALSE(table.LoadCache());  // no file yet
  ASSERT_TRUE(table.AddOrUpdate("127.0.0.1", 0, 3000, 0, 0));
  ASSERT_TRUE(table.AddOrUpdate("10.0.0.1", 1, 100, 101, 102));
  ASSERT_TRUE(table.AddOrUpdate("10.0.0.2", 2, 200, 0, 0));
  EXPECT_FALSE(table.AddOrUpdate("10.0.0.3", 3, 0, 1, 1));
  EXPECT_FALSE(table.AddOrUpdate("", 3, 1, 1, 1));
  table.SetPortIndex(1, 2);
  ASSERT_TRUE(table.SaveCache());

  ServerTable other;
  ASSERT_TRUE(other.AddOrUpdate("10.9.9.9", 2, 999, 0, 0));
  ASSERT_TRUE(other.LoadCache());
  ServerEntry e;
  EXPECT_FALSE(other.Find(0, &e));  // the dispatch server is never cached
  ASSERT_TRUE(other.Find(1, &e));
  EXPECT_EQ("10.0.0.1", e.host);
  EXPECT_EQ(2, e.portIndex);
  ASSERT_TRUE(other.Find(2, &e));
  EXPECT_EQ("10.9.9.9", e.host);  // the table's own entry stays
}

TEST(ServerTableTest, ConcurrentSavesLeaveOneWholeFile) {
  TempFolder folder;
  ServerTable a, b;
  for (int t = 1; t < 60; ++t) {
    a.AddOrUpdate("10.0.0." + std::to_string(t), uint8_t(t), 1000, 0, 0);
    b.AddOrUpdate("name" + std::to_string(t), uint8_t(t), 2000, 0, 0);
  }
  std::thread ta([&] {
    for (int i = 0; i < 50; ++i) a.SaveCache();
  });
  std::thread tb([&] {
    for (int i = 0; i < 50; ++i) b.SaveCache();
  });
  ta.join();
  tb.join();
  ServerTable loaded;
  ASSERT_TRUE(loaded.LoadCache());
  EXPECT_EQ(59u, loaded.Size());
  ServerEntry one, last;
  ASSERT_TRUE(loaded.Find(1, &one));
  ASSERT_TRUE(loaded.Find(59, &last));
  EXPECT_EQ(one.port0, last.port0);  // every entry from the same save
}

}  // namespace
}  // namespace relaylink
