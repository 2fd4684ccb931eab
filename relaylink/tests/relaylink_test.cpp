// relaylink end to end: the simulated dispatch server hands out the
// simulated search peer, directly and through the simulated SOCKS5 proxy.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "relaylink.h"
#include "server_table.h"
#include "udp_sim.h"
#include "udp_sim_test_support.h"

namespace {

using udpsim::Echo;
using udpsim::WaitFor;
using Bytes = std::vector<uint8_t>;
constexpr uint8_t kSearch = 7;
constexpr uint8_t kHidden = 8;

class RelaylinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pd-relaylink-e2e-XXXXXX";
    folder_ = mkdtemp(pattern);
    setenv("TMPDIR", folder_.c_str(), 1);
    shm_ = "/pd-relaylink-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm_.c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    setenv("PHONEDECK_RELAYLINK_STAT_INI", (folder_ + "/stat.ini").c_str(), 1);
    ASSERT_TRUE(peer_.Start(&Echo));
  }
  void StartDispatch(bool withSearch = true) {
    std::vector<relaylink::DispatchEntry> list;
    if (withSearch) list.push_back({kSearch, peer_.Port(), 0, 0, "127.0.0.1"});
    ASSERT_TRUE(dispatch_.Start(list, {{kHidden, peer_.Port(), 0, 0, "127.0.0.1"}}));
  }
  void TearDown() override {
    RELAYLINKFini();
    RELAYLINKFini();
    dispatch_.Stop();
    peer_.Stop();
    shm_unlink(shm_.c_str());
    (void)!std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  std::string CachePath() const { return folder_ + "/qentemp-" + std::to_string(getuid()) + "/relaylink.cache"; }
  bool CacheExists() const { return access(CachePath().c_str(), F_OK) == 0; }

  int Ask(uint8_t type, const std::string& request, std::string* reply, int timeoutMs = 1000) {
    char buf[1500];
    int got = RELAYLINKSendToSync(type, request.data(), int(request.size()), buf, sizeof buf, timeoutMs);
    if (got > 0) reply->assign(buf, size_t(got));
    return got;
  }

  std::string folder_, shm_;
  udpsim::UdpPeerSim peer_;
  udpsim::DispatchSim dispatch_;
};

TEST_F(RelaylinkTest, RequestReachesTheSearchPeerThroughTheDispatchServer) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  EXPECT_EQ(1u, dispatch_.ListRequests());
  EXPECT_TRUE(CacheExists());
  std::string reply;
  EXPECT_EQ(8, Ask(kSearch, "query!", &reply));
  EXPECT_EQ("e:query!", reply);

  unsigned char kind = 0, addr[16];
  unsigned short p0 = 0, p1 = 1, p2 = 1;
  ASSERT_TRUE(RELAYLINKGetServerAddr(kSearch, &kind, addr, &p0, &p1, &p2));
  EXPECT_EQ(4, kind);
  EXPECT_EQ((Bytes{127, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes(addr, addr + 16));
  EXPECT_EQ(peer_.Port(), p0);
  EXPECT_EQ(0, p1);
  EXPECT_EQ(0u, dispatch_.Malformed());
  EXPECT_EQ(0u, peer_.Malformed());

  // The asynchronous send goes out without a reply awaited.
  EXPECT_EQ(3, RELAYLINKSendToAsyn(kSearch, "abc", 3));
  char buf[64];
  EXPECT_EQ(5, RELAYLINKRecvFrom(0, buf, sizeof buf, 0));
  EXPECT_EQ(-1, RELAYLINKRecvFrom(0, nullptr, 5, 0));
}

TEST_F(RelaylinkTest, RequestReachesTheSearchPeerThroughSocks5) {
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start("user", "pass"));
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  RELAYLINKSetProxy("127.0.0.1", socks.Port(), "user", "pass", 5, true);
  std::string reply;
  EXPECT_EQ(5, Ask(kSearch, "via", &reply));
  EXPECT_EQ("e:via", reply);
  // An unknown type is looked up at the dispatch server through the proxy too.
  EXPECT_EQ(-1, Ask(kHidden, "x", &reply));
  ASSERT_TRUE(WaitFor([] { return RELAYLINKGetServerAddr(kHidden, nullptr, nullptr, nullptr, nullptr, nullptr); }));
  EXPECT_EQ(4, Ask(kHidden, "hi", &reply));
  EXPECT_EQ(1u, socks.Associations());
  // Request, address request (one more when the polling above queued a
  // second look-up while the first was under way), request.
  EXPECT_GE(socks.RelayedOut(), 3u);
  EXPECT_GE(dispatch_.AddrRequests(), 1u);
  EXPECT_EQ(socks.RelayedOut(), 2 + dispatch_.AddrRequests());
  EXPECT_EQ(0u, socks.Malformed());
  RELAYLINKSetProxy("", 0, "", "", 0, false);
  RELAYLINKFini();
  socks.Stop();
}

TEST_F(RelaylinkTest, OnlyTheDispatchEntryIsNoSuccess) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch(false));
  EXPECT_FALSE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  EXPECT_FALSE(CacheExists());
}

TEST_F(RelaylinkTest, ACachedTableCarriesASilentDispatchServer) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  dispatch_.SetSilent(true);
  relaylink::ServerTable table;
  table.AddOrUpdate("127.0.0.1", kSearch, peer_.Port(), 0, 0);
  ASSERT_TRUE(table.SaveCache());
  EXPECT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  EXPECT_EQ(2u, dispatch_.ListRequests());
  std::string reply;
  EXPECT_EQ(3, Ask(kSearch, "c", &reply));
}

TEST_F(RelaylinkTest, OneUsersFiniLeavesTheOthersRunning) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  EXPECT_FALSE(RELAYLINKInit("", 1));  // counted all the same
  RELAYLINKFini();
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  RELAYLINKFini();
  std::string reply;
  EXPECT_EQ(3, Ask(kSearch, "a", &reply));
  RELAYLINKFini();
  EXPECT_EQ(-3, Ask(kSearch, "a", &reply));
  // A later start binds udp again.
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  EXPECT_EQ(3, Ask(kSearch, "b", &reply));
}

TEST_F(RelaylinkTest, AsynchronousStartFetchesTheListInTheBackground) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  EXPECT_FALSE(RELAYLINKInitEx("", 1, 1));
  ASSERT_TRUE(RELAYLINKInitEx("127.0.0.1", dispatch_.Port(), 1));
  ASSERT_TRUE(WaitFor([] { return RELAYLINKGetServerAddr(kSearch, nullptr, nullptr, nullptr, nullptr, nullptr); }));
  std::string reply;
  EXPECT_EQ(3, Ask(kSearch, "z", &reply));
  ASSERT_TRUE(WaitFor([this] { return CacheExists(); }));
}

TEST_F(RelaylinkTest, FailedRequestsTurnToTheProxyOfTheIniFile) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start());
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  std::ofstream(folder_ + "/stat.ini") << "[PROXY]\nproxy_enable=1\nproxy_server=127.0.0.1\nproxy_port="
                                       << socks.Port() << "\nproxy_version=5\n";
  peer_.Stop();  // the search server is gone: every attempt times out
  std::string reply;
  EXPECT_EQ(-2, Ask(kSearch, "q", &reply));
  // The next request goes through the proxy (and fails again, which turns it off).
  EXPECT_EQ(-2, Ask(kSearch, "q", &reply));
  EXPECT_EQ(1u, socks.Associations());
  EXPECT_GE(socks.RelayedOut(), 1u);
  socks.Stop();
}

// The child is forked before any thread exists (a fork beside running
// threads may inherit a lock held by one of them), then runs everything.
TEST(RelaylinkExitTest, AProcessMayEndWithoutItsLastFini) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char pattern[] = "/tmp/pd-relaylink-exit-XXXXXX";
    std::string folder = mkdtemp(pattern);
    setenv("TMPDIR", folder.c_str(), 1);
    std::string shm = "/pd-relaylink-exit-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm.c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    udpsim::UdpPeerSim peer;
    udpsim::DispatchSim dispatch;
    bool ok = peer.Start(&Echo) && dispatch.Start({{kSearch, peer.Port(), 0, 0, "127.0.0.1"}});
    char reply[16];
    ok = ok && RELAYLINKInit("127.0.0.1", dispatch.Port()) &&
         RELAYLINKSendToSync(kSearch, "bye", 3, reply, sizeof reply, 1000) == 5;
    shm_unlink(shm.c_str());
    (void)!std::system(("rm -rf '" + folder + "'").c_str());
    std::exit(ok ? 0 : 3);  // no RELAYLINKFini: the library cleans up at exit
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(RelaylinkTest, ReceiveOnAThreadThatNeverSentTimesOut) {
  ASSERT_NO_FATAL_FAILURE(StartDispatch());
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch_.Port()));
  int got = 0;
  std::thread([&] {
    char buf[16];
    got = RELAYLINKRecvFrom(0, buf, sizeof buf, 0);
  }).join();
  EXPECT_EQ(-2, got);
}

}  // namespace
