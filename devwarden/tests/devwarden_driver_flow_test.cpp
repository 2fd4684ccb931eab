// A phone's driver from arrival to installation, as the host sees it:
// libdevwarden.so loaded from a folder with the fake detection and driver
// information libraries and our real download (Webpuller) and setup
// (Kitplanter) libraries. The package comes from a loopback HTTP server; the
// setup writes its udev rule into a throw-away folder and calls a recording
// udevadm.
#include <dlfcn.h>
#include <httplib.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devwarden.h"

namespace {

const uint8_t kPackageKey[16] = {0x5e, 0x11, 0x0a, 0x7c, 0x00, 0x01, 0x02, 0x03,
                                 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b};
const char kPackageHex[] = "5e110a7c000102030405060708090a0b";
const uint8_t kAdbPhone[] = {0, 0x08, 0x06, 0x50, 1, 0xFF, 0x42, 0x01};
constexpr size_t kPackageSize = 512 * 1024;
constexpr size_t kPiece = 16 * 1024;

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Serves the package in pieces, slowly enough for a few progress reports.
class PackageServer {
 public:
  PackageServer() {
    server_.Get(std::string("/drivers/") + kPackageHex, [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(kPackageSize, "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (quit_.load()) return false;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(80));
                                 const std::string piece(std::min(kPiece, kPackageSize - offset), 'd');
                                 return sink.write(piece.data(), piece.size());
                               });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PackageServer() {
    quit_ = true;
    server_.stop();
    thread_.join();
  }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/drivers"; }

 private:
  httplib::Server server_;
  std::atomic<bool> quit_{false};
  int port_ = 0;
  std::thread thread_;
};

struct Progress {
  int device;
  int status;
  uint64_t total;
  uint64_t downloaded;
  int speed;
};

// The host: device events and download reports as they come.
struct Host {
  std::mutex mu;
  std::condition_variable changed;
  std::vector<std::pair<int, int>> events;  // {event, device}
  std::vector<Progress> progress;

  static int OnDevice(int event, int device, uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    std::lock_guard<std::mutex> lock(self->mu);
    self->events.emplace_back(event, device);
    self->changed.notify_all();
    return 0;
  }
  static int OnDownload(int device, int* status, uint64_t* total, uint64_t* downloaded, int* speed,
                        uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    std::lock_guard<std::mutex> lock(self->mu);
    self->progress.push_back({device, *status, *total, *downloaded, *speed});
    self->changed.notify_all();
    return 0;
  }
  template <typename Pred>
  bool Wait(Pred pred, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mu);
    return changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), pred);
  }
};

template <typename Fn>
void Bind(void* lib, Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(dlsym(lib, name));
  ASSERT_NE(slot, nullptr) << name;
}

TEST(DriverFlow, ArrivalQueryDownloadAndInstallThroughTheStandIns) {
  char tmpl[] = "/tmp/devwarden-flow-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  const std::string copies = std::string("cp '") + DEVWARDEN_LIBRARY + "' '" + FAKE_PORTSNIFFER + "' '" +
                             FAKE_KITFINDER + "' '" + WEBPULLER_LIBRARY + "' '" + KITPLANTER_LIBRARY + "' '" +
                             folder + "/' && mkdir -p '" + folder + "/log' '" + folder + "/rules' '" + folder +
                             "/sys/devices/1-2' '" + folder + "/sys/bus/usb/devices' '" + folder +
                             "/dev/bus/usb/001'";
  ASSERT_EQ(system(copies.c_str()), 0);
  // The phone as sysfs shows it; its node appears when udev applies the rule.
  std::ofstream(folder + "/sys/devices/1-2/idVendor") << "18d1\n";
  std::ofstream(folder + "/sys/devices/1-2/idProduct") << "4ee7\n";
  std::ofstream(folder + "/sys/devices/1-2/busnum") << "1\n";
  std::ofstream(folder + "/sys/devices/1-2/devnum") << "9\n";
  ASSERT_EQ(symlink((folder + "/sys/devices/1-2").c_str(), (folder + "/sys/bus/usb/devices/1-2").c_str()), 0);
  std::ofstream(folder + "/udevadm") << "#!/bin/sh\n"
                                        "echo \"$1\" >> '" << folder << "/udevadm.log'\n"
                                        "[ \"$1\" = trigger ] && : > '" << folder << "/dev/bus/usb/001/009'\n"
                                        "exit 0\n";
  ASSERT_EQ(chmod((folder + "/udevadm").c_str(), 0755), 0);

  PackageServer server;
  setenv("PHONEDECK_PROGRAM_DIR", folder.c_str(), 1);
  setenv("PHONEDECK_STRAY_ADB_NAMES", "", 1);
  setenv("WEBPULLER_BASE_URL", server.Base().c_str(), 1);
  setenv("KITPLANTER_RULES_DIR", (folder + "/rules").c_str(), 1);
  setenv("KITPLANTER_UDEVADM", (folder + "/udevadm").c_str(), 1);
  setenv("KITPLANTER_SYSFS_ROOT", (folder + "/sys").c_str(), 1);
  setenv("KITPLANTER_DEV_ROOT", (folder + "/dev").c_str(), 1);

  void* detection = dlopen((folder + "/libportsniffer.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  void* kitfinder = dlopen((folder + "/libkitfinder.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(detection, nullptr) << dlerror();
  ASSERT_NE(kitfinder, nullptr) << dlerror();
  void (*inject)(int, int32_t, uint16_t, uint16_t, const uint8_t*, int, const char16_t*, const char16_t*,
                 const char16_t*);
  int (*delivered)(int);
  void (*answer)(int, int, int, const uint8_t*, int64_t, int, const char16_t*);
  Bind(detection, inject, "FakeUd_InjectArrival");
  Bind(detection, delivered, "FakeUd_WaitDelivered");
  Bind(kitfinder, answer, "FakeKf_SetDriverAnswer");
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  answer(0, 1, 0, kPackageKey, kPackageSize, 1, u"AndroidUsbDeviceClass");

  void* devwarden = dlopen((folder + "/libdevwarden.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(devwarden, nullptr) << dlerror();
  decltype(&PNP_Init) init;
  decltype(&PNP_Start) start;
  decltype(&PNP_UnInit) uninit;
  decltype(&PNP_SetDetectClass) set_class;
  decltype(&PNP_SetDownLoadPath) set_path;
  decltype(&PNP_GetUpdateDriverCount) driver_count;
  decltype(&PNP_DownLoadDriver) download;
  decltype(&PNP_GetDownLoadInfo) download_info;
  decltype(&PNP_UpdateDrvier) update;
  Bind(devwarden, init, "PNP_Init");
  Bind(devwarden, start, "PNP_Start");
  Bind(devwarden, uninit, "PNP_UnInit");
  Bind(devwarden, set_class, "PNP_SetDetectClass");
  Bind(devwarden, set_path, "PNP_SetDownLoadPath");
  Bind(devwarden, driver_count, "PNP_GetUpdateDriverCount");
  Bind(devwarden, download, "PNP_DownLoadDriver");
  Bind(devwarden, download_info, "PNP_GetDownLoadInfo");
  Bind(devwarden, update, "PNP_UpdateDrvier");
  ASSERT_FALSE(::testing::Test::HasFatalFailure());

  // The host's start-up: init, Android only, start, the drivers folder.
  Host host;
  ASSERT_EQ(init(Host::OnDevice, reinterpret_cast<uintptr_t>(&host), Host::OnDownload,
                 reinterpret_cast<uintptr_t>(&host)),
            1);
  set_class(PNP_CLASS_ANDROID);
  ASSERT_EQ(start(), 1);
  const std::string drivers = folder + "/drivers";
  set_path(std::u16string(drivers.begin(), drivers.end()).c_str());

  // A phone arrives; its driver query finds the package.
  inject(0, 0x42, 0x18d1, 0x4ee7, kAdbPhone, 2, u"SER1", u"Google", u"Pixel");
  ASSERT_TRUE(delivered(5000));
  ASSERT_TRUE(host.Wait([&] { return std::count(host.events.begin(), host.events.end(), std::make_pair(4, 0x42)); },
                        5000));
  EXPECT_EQ(driver_count(0x42), 1);

  // Its download, reported once a second until it finished.
  ASSERT_EQ(download(0x42), 1);
  ASSERT_TRUE(host.Wait(
      [&] {
        return !host.progress.empty() && host.progress.back().status != 4;
      },
      20000));
  std::vector<Progress> reports;
  {
    std::lock_guard<std::mutex> lock(host.mu);
    reports = host.progress;
  }
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.back().status, 6);
  EXPECT_EQ(reports.back().downloaded, kPackageSize);
  bool saw_progress = false;
  for (size_t i = 0; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(reports[i].device, 0x42);
    EXPECT_EQ(reports[i].status, 4);
    EXPECT_EQ(reports[i].total, kPackageSize);
    if (reports[i].downloaded > 0 && reports[i].downloaded < kPackageSize && reports[i].speed > 0) saw_progress = true;
    if (i > 0) {
      EXPECT_GE(reports[i].downloaded, reports[i - 1].downloaded);
    }
  }
  EXPECT_TRUE(saw_progress);
  EXPECT_EQ(Read(drivers + "/" + kPackageHex).size(), kPackageSize);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  {
    std::lock_guard<std::mutex> lock(host.mu);
    EXPECT_EQ(host.progress.size(), reports.size()) << "no report after the final one";
  }
  uint64_t total = 1, done = 1;
  int speed = 1;
  EXPECT_EQ(download_info(0x42, &total, &done, &speed), 1);

  // Its installation: the udev rule for the phone's vendor, udev reloaded.
  EXPECT_EQ(update(0x42), 1);
  EXPECT_NE(Read(folder + "/rules/51-phonedeck-18d1.rules").find("ATTR{idVendor}==\"18d1\""), std::string::npos);
  EXPECT_EQ(Read(folder + "/udevadm.log"), "control\ntrigger\nsettle\n");
  // Installing again finds the node usable and changes nothing.
  EXPECT_EQ(update(0x42), 1);
  EXPECT_EQ(Read(folder + "/udevadm.log"), "control\ntrigger\nsettle\n");

  const std::string log = Read(folder + "/log/devwarden.log");
  for (const char* line : {"PackagePool: Add Package hash5e110a7c000102030405060708090a0b packagepool count=1",
                           "PackagePool: StartDownLoad Package id:66 hash5e110a7c000102030405060708090a0b",
                           "InstallDrv: [QEN_SETUP_SUCCESS]"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  uninit();
  dlclose(devwarden);
  dlclose(kitfinder);
  dlclose(detection);
  system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
