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
#include "udev_event_sender.h"

namespace portsniffer {
namespace {

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
