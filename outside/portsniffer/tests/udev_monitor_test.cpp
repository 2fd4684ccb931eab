// The real libudev monitor, fed by a synthetic "add" event. The event is
// multicast on the netlink uevent socket of a private network namespace, so
// no other listener of the machine sees it.
#include <arpa/inet.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "detector.h"
#include "fake_sysfs.h"

namespace portsniffer {
namespace {

// The filter hash that libudev's monitor filter compares (MurmurHash2, seed 0).
uint32_t FilterHash(const std::string& s) {
  const uint32_t m = 0x5bd1e995;
  uint32_t h = static_cast<uint32_t>(s.size());
  const unsigned char* d = reinterpret_cast<const unsigned char*>(s.data());
  size_t len = s.size();
  while (len >= 4) {
    uint32_t k;
    std::memcpy(&k, d, 4);
    k *= m;
    k ^= k >> 24;
    k *= m;
    h *= m;
    h ^= k;
    d += 4;
    len -= 4;
  }
  switch (len) {
    case 3: h ^= d[2] << 16; [[fallthrough]];
    case 2: h ^= d[1] << 8; [[fallthrough]];
    case 1: h ^= d[0]; h *= m;
  }
  h ^= h >> 13;
  h *= m;
  h ^= h >> 15;
  return h;
}

// Sends one event in the udev daemon's own message format to group 2.
bool SendUdevEvent(const std::string& action, const std::string& devpath, const std::string& devtype) {
  struct Header {
    char prefix[8];
    uint32_t magic, header_size, properties_off, properties_len;
    uint32_t filter_subsystem_hash, filter_devtype_hash, filter_tag_bloom_hi, filter_tag_bloom_lo;
  } h{};
  std::string props;
  for (const std::string& p : {"ACTION=" + action, "DEVPATH=" + devpath, std::string("SUBSYSTEM=usb"),
                               "DEVTYPE=" + devtype, std::string("SEQNUM=7")}) {
    props += p;
    props.push_back('\0');
  }
  std::memcpy(h.prefix, "libudev", 8);
  h.magic = htonl(0xfeedcafe);
  h.header_size = sizeof h;
  h.properties_off = sizeof h;
  h.properties_len = static_cast<uint32_t>(props.size());
  h.filter_subsystem_hash = htonl(FilterHash("usb"));
  h.filter_devtype_hash = htonl(FilterHash(devtype));
  std::string msg(reinterpret_cast<const char*>(&h), sizeof h);
  msg += props;
  int s = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (s < 0) return false;
  sockaddr_nl dst{};
  dst.nl_family = AF_NETLINK;
  dst.nl_groups = 2;
  bool ok = sendto(s, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&dst), sizeof dst) ==
            static_cast<ssize_t>(msg.size());
  close(s);
  return ok;
}

struct Seen {
  int event;
  int32_t handle;
  uint16_t pid;
  int interfaces;
};
std::vector<Seen> g_seen;

int Record(int event, DetectedDeviceRecord* r, uintptr_t) {
  g_seen.push_back({event, r ? r->handle : 0, r ? r->product_id : uint16_t(0), r ? r->interface_count : 0});
  return 0;
}

TEST(UdevMonitorTest, SyntheticAddAndRemoveReachTheCallback) {
  if (unshare(CLONE_NEWNET) != 0) {
    GTEST_SKIP() << "cannot enter a private network namespace here (needs CAP_SYS_ADMIN or user namespaces): "
                 << std::strerror(errno);
  }
  FakeSysfs fs;
  fs.Device("/devices/fake/usb1/1-1", "046d", "c077", {"030102"});               // present at start
  fs.Device("/devices/fake/usb1/1-2", "18d1", "4ee7", {"ff4201", "080650"}, false);  // plugged later
  setenv("PORTSNIFFER_SYSFS_ROOT", fs.root().c_str(), 1);
  setenv("PORTSNIFFER_UEVENT_SOURCE", "udev", 1);

  Detector detector;
  ASSERT_TRUE(detector.Arm(Record, 0));
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].event, UD_EVENT_PRESENT);
  EXPECT_EQ(g_seen[0].pid, 0xc077);

  ASSERT_TRUE(SendUdevEvent("add", "/devices/fake/usb1/1-2", "usb_device"));
  pollfd p{detector.MonitorFd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1) << "the monitor did not receive the event";
  EXPECT_EQ(detector.DrainMonitor(), 1);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[1].event, UD_EVENT_PLUGGED);
  EXPECT_EQ(g_seen[1].pid, 0x4ee7);
  EXPECT_EQ(g_seen[1].interfaces, 2);
  EXPECT_NE(g_seen[1].handle, g_seen[0].handle);

  ASSERT_TRUE(SendUdevEvent("remove", "/devices/fake/usb1/1-2", "usb_device"));
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  detector.DrainMonitor();
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[2].event, UD_EVENT_REMOVED);
  EXPECT_EQ(g_seen[2].handle, g_seen[1].handle);
  EXPECT_EQ(g_seen[2].pid, 0x4ee7);  // from the table: the removal event has no attributes

  detector.Disarm();
  EXPECT_EQ(detector.MonitorFd(), -1);
}

}  // namespace
}  // namespace portsniffer
