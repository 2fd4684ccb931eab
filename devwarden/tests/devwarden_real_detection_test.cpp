// libdevwarden.so over the real libportsniffer.so: devices come from a
// throw-away sysfs tree (present at start) and from synthetic udev events in
// a private network namespace, through devwarden's notification thread.
#include <dlfcn.h>
#include <sched.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "devwarden.h"
#include "fake_sysfs.h"
#include "udev_event_sender.h"

namespace {

struct Host {
  std::mutex mu;
  std::condition_variable changed;
  std::vector<std::pair<int, int>> events;  // event, handle

  static int Callback(int event, int handle, uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    std::lock_guard<std::mutex> lock(self->mu);
    self->events.emplace_back(event, handle);
    self->changed.notify_all();
    return 0;
  }
  static int Download(int, int*, uint64_t*, uint64_t*, int*, uintptr_t) { return 0; }
  // The handle of the n-th event `event` (0 when it does not come).
  int Wait(int event, size_t nth = 0) {
    std::unique_lock<std::mutex> lock(mu);
    int handle = 0;
    changed.wait_for(lock, std::chrono::seconds(5), [&] {
      size_t seen = 0;
      for (auto& e : events) {
        if (e.first == event && seen++ == nth) {
          handle = e.second;
          return true;
        }
      }
      return false;
    });
    return handle;
  }
};

template <typename Fn>
Fn Sym(void* lib, const char* name) {
  return reinterpret_cast<Fn>(dlsym(lib, name));
}

TEST(RealDetectionTest, DevicesFromSysfsAndUdevReachTheHost) {
  const bool private_net = unshare(CLONE_NEWNET) == 0;
  portsniffer::FakeSysfs fs;
  // Present at start: an authorised phone whose adb node cannot be opened,
  // and a phone that is not authorised.
  fs.Device("/devices/pci0000:00/usb1/1-1", "18d1", "4ee7", {"080650", "ff4201"});
  fs.Attr("/devices/pci0000:00/usb1/1-1", "uevent", "DEVNAME=bus/usb/nonexistent/001");
  fs.Device("/devices/pci0000:00/usb1/1-2", "04e8", "6860", {});
  fs.Attr("/devices/pci0000:00/usb1/1-2", "authorized", "0");
  fs.Attr("/devices/pci0000:00/usb1/1-2", "bNumInterfaces", "");
  fs.Device("/devices/pci0000:00/usb1/1-3", "2717", "ff48", {"ff4201"}, false);  // plugged later

  char tmpl[] = "/tmp/devwarden-real-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  ASSERT_EQ(system(("cp '" + std::string(DEVWARDEN_LIBRARY) + "' '" + PORTSNIFFER_LIBRARY + "' '" + FAKE_KITFINDER +
                    "' '" + folder + "/'")
                       .c_str()),
            0);
  setenv("PHONEDECK_PROGRAM_DIR", folder.c_str(), 1);
  setenv("PORTSNIFFER_SYSFS_ROOT", fs.root().c_str(), 1);
  void* lib = dlopen((folder + "/libdevwarden.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto init = Sym<decltype(&PNP_Init)>(lib, "PNP_Init");
  auto start = Sym<decltype(&PNP_Start)>(lib, "PNP_Start");
  auto status = Sym<decltype(&PNP_GetDeviceStatus)>(lib, "PNP_GetDeviceStatus");
  auto cls = Sym<decltype(&PNP_GetDeviceClass)>(lib, "PNP_GetDeviceClass");
  auto product = Sym<decltype(&PNP_GetDeviceProductName)>(lib, "PNP_GetDeviceProductName");
  auto uninit = Sym<decltype(&PNP_UnInit)>(lib, "PNP_UnInit");

  Host host;
  ASSERT_EQ(init(Host::Callback, reinterpret_cast<uintptr_t>(&host), Host::Download, 0), 1);
  ASSERT_EQ(start(), 1);
  const int first = host.Wait(PNP_EVENT_ARRIVAL_PRESENT, 0), second = host.Wait(PNP_EVENT_ARRIVAL_PRESENT, 1);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  int bits = 0;
  EXPECT_EQ(cls(first, &bits), 1);
  EXPECT_EQ(bits, PNP_CLASS_ANDROID);
  char16_t text[64];
  EXPECT_EQ(product(first, text), 1);
  EXPECT_EQ(std::u16string(text), u"Pixel");
  EXPECT_EQ(status(first), PNP_STATUS_PROBLEM);    // adb node closed: no usable driver (28)
  EXPECT_EQ(status(second), PNP_STATUS_DISABLED);  // not authorised (22)

  if (private_net) {
    ASSERT_TRUE(portsniffer::SendUdevEvent("add", "/devices/pci0000:00/usb1/1-3", "usb_device"));
    const int plugged = host.Wait(PNP_EVENT_ARRIVAL);
    ASSERT_NE(plugged, 0) << "the plugged phone was not announced";
    EXPECT_EQ(cls(plugged, &bits), 1);
    EXPECT_EQ(bits, PNP_CLASS_ANDROID);
    ASSERT_TRUE(portsniffer::SendUdevEvent("remove", "/devices/pci0000:00/usb1/1-3", "usb_device"));
    EXPECT_EQ(host.Wait(PNP_EVENT_REMOVAL), plugged);
  }
  uninit();
  dlclose(lib);
  system(("rm -rf '" + folder + "'").c_str());
  if (!private_net) GTEST_SKIP() << "hot-plug part skipped: cannot enter a private network namespace here";
}

}  // namespace
