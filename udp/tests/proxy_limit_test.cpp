// Through the SOCKS5 relay a datagram carries the relay's header too: the
// whole relayed datagram stays within 1500 bytes, and a send that would
// exceed it fails instead of going out oversized.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "udp.h"
#include "udp_sim.h"
#include "udp_sim_test_support.h"

namespace {

class UdpProxyLimitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shm_ = "/pd-udp-limit-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm_.c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    ASSERT_TRUE(peer_.Start(&udpsim::Echo));
    ASSERT_TRUE(socks_.Start());
    UDPSetProxy("127.0.0.1", socks_.Port(), "", "", UDP_PROXY_SOCKS5, true);
    ASSERT_TRUE(UDPInit(0, nullptr));
  }
  void TearDown() override {
    while (UDPClose() > 0) {
    }
    socks_.Stop();
    peer_.Stop();
    shm_unlink(shm_.c_str());
  }
  int Send(size_t length) {
    UDPHANDLE h = UDPCreate();
    const std::string data(length, 'x');
    int sent = UDPSendTo(h, data.data(), int(data.size()), "127.0.0.1", peer_.Port());
    UDPFree(h);
    return sent;
  }

  std::string shm_;
  udpsim::UdpPeerSim peer_;
  udpsim::Socks5Sim socks_;
};

TEST_F(UdpProxyLimitTest, TheRelayHeaderCountsInTheDatagramLimit) {
  // 11 bytes of our header and 10 of the relay's (IPv4) around the payload.
  struct Case {
    size_t payload;
    bool sent;
  } cases[] = {{1479, true}, {1480, false}, {1489, false}};
  size_t relayed = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    EXPECT_EQ(Send(c.payload), c.sent ? int(c.payload) : -1);
    if (c.sent) ++relayed;
    EXPECT_TRUE(udpsim::WaitFor([&] { return socks_.RelayedOut() >= relayed; }, 3000));
    EXPECT_EQ(socks_.RelayedOut(), relayed);
  }
}

}  // namespace

namespace {

// A proxy given by name is looked up (outside the association's lock, with a
// bounded wait) and used like one given by address.
TEST_F(UdpProxyLimitTest, AProxyGivenByNameRelays) {
  UDPSetProxy("localhost", socks_.Port(), "", "", UDP_PROXY_SOCKS5, true);
  EXPECT_EQ(Send(5), 5);
  EXPECT_TRUE(udpsim::WaitFor([&] { return socks_.RelayedOut() >= 1; }, 3000));
}

}  // namespace
