// The host's view: libdevwarden.so loaded by file name from a folder that
// also holds fake kitfinder, webpuller, kitplanter and detection libraries.
// Devices are injected into the fake detection library and reach the host's
// callback through devwarden's own notification thread.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devwarden.h"

namespace {

#define DECLARE(name) decltype(&::name) name = nullptr
struct Api {
  DECLARE(PNP_Init);
  DECLARE(PNP_Start);
  DECLARE(PNP_UnInit);
  DECLARE(PNP_Refresh);
  DECLARE(PNP_SetWorkMode);
  DECLARE(PNP_SetDetectClass);
  DECLARE(PNP_GetDeviceClass);
  DECLARE(PNP_GetDeviceStatus);
  DECLARE(PNP_GetDeviceSerialNumber);
  DECLARE(PNP_GetDeviceManufName);
  DECLARE(PNP_GetDeviceProductName);
  DECLARE(PNP_Dump_DeviceHwIDs);
  DECLARE(PNP_GetAndroidCurrentMode);
  DECLARE(PNP_GetDevicePort);
  DECLARE(PNP_GetDeviceProperty);
  DECLARE(PNP_GetUpdateDriverCount);
  DECLARE(PNP_DownLoadDriver);
  DECLARE(PNP_UpdateDrvier);
  DECLARE(PNP_GetDownLoadInfo);
  DECLARE(PNP_GetDeviceAdvanceInfo);
  DECLARE(PNP_IsNeedUpdate);
  DECLARE(PNP_AndroidReport);
  DECLARE(PNP_QueryAndroidModel);
  DECLARE(PNP_QueryAndroidModelInfo);
  DECLARE(PNP_SetDownLoadPath);
  DECLARE(PNP_GetDeviceDriverDesc);
};
#undef DECLARE

struct Fakes {
  void (*inject_arrival)(int, int32_t, uint16_t, uint16_t, const uint8_t*, int, const char16_t*, const char16_t*,
                         const char16_t*);
  void (*inject_removal)(int32_t);
  void (*inject_change)(int32_t, const char16_t*);
  void (*inject_library_event)();
  int (*wait_delivered)(int);
  void (*set_status)(int, int, int);
  void (*set_init_result)(int);
  void (*set_report_monitor)(int);
  int (*has_callback)();
  void (*reset)();
  int (*kf_calls)(const char*);
  void (*kf_reset)();
  void (*kf_set_driver_answer)(int, int, int, const uint8_t*, int64_t, int, const char16_t*);
  void (*kf_set_model_answer)(int, const char16_t*);
  int (*kf_records_alive)();
  void (*dl_accept_starts)(int);
  void (*kp_set_code)(int);
  int (*kp_bus_id)(int, char16_t*);
  void (*kp_reset)();
};

struct Event {
  int event;
  int handle;
};

// What the host's callback saw, and how it answers.
struct Host {
  std::mutex mu;
  std::condition_variable changed;
  std::vector<Event> events;
  int removal_answer = 0;
  std::function<void(int, int)> on_event;

  static int Callback(int event, int handle, uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    if (self->on_event) self->on_event(event, handle);
    std::lock_guard<std::mutex> lock(self->mu);
    self->events.push_back({event, handle});
    self->changed.notify_all();
    return event == PNP_EVENT_REMOVAL ? self->removal_answer : 0;
  }
  static int Download(int device, int* status, uint64_t*, uint64_t*, int*, uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    if (!self) return 0;
    std::lock_guard<std::mutex> lock(self->mu);
    self->downloads.push_back({device, *status});
    self->changed.notify_all();
    return 0;
  }
  bool WaitForDownload(int device, int status, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mu);
    return changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const Event& e : downloads)
        if (e.event == device && e.handle == status) return true;
      return false;
    });
  }
  std::vector<Event> downloads;  // {device, status} of each download report

  bool WaitFor(int event, int handle, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mu);
    return changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const Event& e : events)
        if (e.event == event && e.handle == handle) return true;
      return false;
    });
  }
  std::vector<Event> Snapshot() {
    std::lock_guard<std::mutex> lock(mu);
    return events;
  }
  int Count(int event) {
    std::lock_guard<std::mutex> lock(mu);
    int n = 0;
    for (const Event& e : events) n += e.event == event;
    return n;
  }
};

const uint8_t kAdbPhone[] = {0, 0x08, 0x06, 0x50, 1, 0xFF, 0x42, 0x01};
const uint8_t kAppleIfs[] = {0, 0x06, 0x01, 0x01};
const uint8_t kVendorIfs[] = {0, 0xFF, 0xFF, 0xFF};

class HostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/devwarden-host-XXXXXX";
    folder_ = mkdtemp(tmpl);
    const std::string copies = std::string("cp '") + DEVWARDEN_LIBRARY + "' '" + FAKE_PORTSNIFFER + "' '" +
                               FAKE_KITFINDER + "' '" + FAKE_WEBPULLER + "' '" + FAKE_KITPLANTER + "' '" + folder_ +
                               "/' && mkdir '" + folder_ + "/log'";
    ASSERT_EQ(system(copies.c_str()), 0);
    setenv("PHONEDECK_PROGRAM_DIR", folder_.c_str(), 1);
    setenv("PHONEDECK_STRAY_ADB_NAMES", "", 1);  // model queries never stop a real adb here
  }
  static void TearDownTestSuite() { system(("rm -rf '" + folder_ + "'").c_str()); }

  void SetUp() override {
    detection_ = dlopen((folder_ + "/libportsniffer.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    kitfinder_ = dlopen((folder_ + "/libkitfinder.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(detection_, nullptr) << dlerror();
    ASSERT_NE(kitfinder_, nullptr) << dlerror();
    Bind(detection_, fakes_.inject_arrival, "FakeUd_InjectArrival");
    Bind(detection_, fakes_.inject_removal, "FakeUd_InjectRemoval");
    Bind(detection_, fakes_.inject_change, "FakeUd_InjectChange");
    Bind(detection_, fakes_.inject_library_event, "FakeUd_InjectLibraryEvent");
    Bind(detection_, fakes_.wait_delivered, "FakeUd_WaitDelivered");
    Bind(detection_, fakes_.set_status, "FakeUd_SetStatus");
    Bind(detection_, fakes_.set_init_result, "FakeUd_SetInitResult");
    Bind(detection_, fakes_.set_report_monitor, "FakeUd_SetReportMonitor");
    Bind(detection_, fakes_.has_callback, "FakeUd_HasCallback");
    Bind(detection_, fakes_.reset, "FakeUd_Reset");
    Bind(kitfinder_, fakes_.kf_calls, "FakeKf_Calls");
    Bind(kitfinder_, fakes_.kf_reset, "FakeKf_Reset");
    Bind(kitfinder_, fakes_.kf_set_driver_answer, "FakeKf_SetDriverAnswer");
    Bind(kitfinder_, fakes_.kf_set_model_answer, "FakeKf_SetModelAnswer");
    Bind(kitfinder_, fakes_.kf_records_alive, "FakeKf_RecordsAlive");
    download_ = dlopen((folder_ + "/libwebpuller.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    setup_ = dlopen((folder_ + "/libKitplanter.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(download_, nullptr) << dlerror();
    ASSERT_NE(setup_, nullptr) << dlerror();
    Bind(download_, fakes_.dl_accept_starts, "FakeDl_AcceptStarts");
    Bind(setup_, fakes_.kp_set_code, "FakeKp_SetCode");
    Bind(setup_, fakes_.kp_bus_id, "FakeKp_BusId");
    Bind(setup_, fakes_.kp_reset, "FakeKp_Reset");
    if (HasFatalFailure()) return;  // a missing entry point: nothing to call
    fakes_.reset();
    fakes_.kf_reset();
    fakes_.dl_accept_starts(0);
    fakes_.kp_reset();
    ASSERT_NO_FATAL_FAILURE(Load());
  }

  void TearDown() override {
    Unload();  // without PNP_UnInit: the library's unload shuts it down
    EXPECT_EQ(fakes_.has_callback(), 0) << "the detection library still calls an unloaded devwarden";
    dlclose(setup_);
    dlclose(download_);
    dlclose(kitfinder_);
    dlclose(detection_);
  }

  void Load() {
    devwarden_ = dlopen((folder_ + "/libdevwarden.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(devwarden_, nullptr) << dlerror();
#define BIND(name) Bind(devwarden_, api_.name, #name)
    BIND(PNP_Init); BIND(PNP_Start); BIND(PNP_UnInit); BIND(PNP_Refresh); BIND(PNP_SetWorkMode);
    BIND(PNP_SetDetectClass); BIND(PNP_GetDeviceClass); BIND(PNP_GetDeviceStatus); BIND(PNP_GetDeviceSerialNumber);
    BIND(PNP_GetDeviceManufName); BIND(PNP_GetDeviceProductName); BIND(PNP_Dump_DeviceHwIDs);
    BIND(PNP_GetAndroidCurrentMode); BIND(PNP_GetDevicePort); BIND(PNP_GetDeviceProperty);
    BIND(PNP_GetUpdateDriverCount); BIND(PNP_DownLoadDriver); BIND(PNP_UpdateDrvier); BIND(PNP_GetDownLoadInfo);
    BIND(PNP_GetDeviceAdvanceInfo); BIND(PNP_IsNeedUpdate); BIND(PNP_AndroidReport); BIND(PNP_QueryAndroidModel);
    BIND(PNP_QueryAndroidModelInfo); BIND(PNP_SetDownLoadPath); BIND(PNP_GetDeviceDriverDesc);
#undef BIND
  }

  void Unload() {
    if (!devwarden_) return;
    dlclose(devwarden_);
    devwarden_ = nullptr;
    void* still = dlopen((folder_ + "/libdevwarden.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr) << "libdevwarden.so stayed loaded";
    if (still) dlclose(still);
  }

  template <typename Fn>
  static void Bind(void* lib, Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(dlsym(lib, name));
    ASSERT_NE(slot, nullptr) << name;
  }

  int InitAndStart(int detect_class = PNP_CLASS_ANDROID) {
    if (!api_.PNP_Init(Host::Callback, reinterpret_cast<uintptr_t>(&host_), Host::Download,
                       reinterpret_cast<uintptr_t>(&host_)))
      return -1;
    api_.PNP_SetDetectClass(detect_class);
    return api_.PNP_Start();
  }

  void Arrive(int32_t handle, uint16_t vid, uint16_t pid, const uint8_t* ifs, int count,
              const char16_t* serial = u"SER123", int event = 0) {
    fakes_.inject_arrival(event, handle, vid, pid, ifs, count, serial, u"Maker", u"Phone");
    ASSERT_TRUE(fakes_.wait_delivered(5000));
  }

  std::string Log() {
    std::ifstream f(folder_ + "/log/devwarden.log");
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  static std::string folder_;
  void* devwarden_ = nullptr;
  void* detection_ = nullptr;
  void* kitfinder_ = nullptr;
  void* download_ = nullptr;
  void* setup_ = nullptr;
  Api api_;
  Fakes fakes_{};
  Host host_;
};
std::string HostTest::folder_;

TEST_F(HostTest, InjectedAndroidArrivalReachesTheHostAndTheExportsAnswer) {
  ASSERT_EQ(InitAndStart(), 1);
  EXPECT_EQ(fakes_.kf_calls("DGInit"), 1);
  EXPECT_EQ(fakes_.kf_calls("DGSetLocalSystemInfo"), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(0x77, 0x18d1, 0x4ee7, kAdbPhone, 2));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_ARRIVAL, 0x77));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_STARTED, 0x77));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 0x77));  // no package found: still raised
  auto events = host_.Snapshot();
  EXPECT_EQ(events[0].event, PNP_EVENT_ARRIVAL);

  int cls = 0;
  EXPECT_EQ(api_.PNP_GetDeviceClass(0x77, &cls), 1);
  EXPECT_EQ(cls, PNP_CLASS_ANDROID);
  char16_t text[64];
  EXPECT_EQ(api_.PNP_GetDeviceSerialNumber(0x77, text), 1);
  EXPECT_EQ(std::u16string(text), u"SER123");
  EXPECT_EQ(api_.PNP_GetDeviceManufName(0x77, text), 1);
  EXPECT_EQ(std::u16string(text), u"Maker");
  EXPECT_EQ(api_.PNP_GetDeviceProductName(0x77, text), 1);
  EXPECT_EQ(std::u16string(text), u"Phone");
  EXPECT_EQ(api_.PNP_GetAndroidCurrentMode(0x77), 0);
  EXPECT_EQ(api_.PNP_GetDevicePort(0x77), static_cast<int>((0x18d1u | 0x4ee7u << 16) ^ 0x77u));
  EXPECT_EQ(api_.PNP_GetDeviceStatus(0x77), PNP_STATUS_OK);
  fakes_.set_status(1, 0x400, 22);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(0x77), PNP_STATUS_DISABLED);
  fakes_.set_status(1, 0x400, 28);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(0x77), PNP_STATUS_PROBLEM);
  int count = 0;
  EXPECT_EQ(api_.PNP_Dump_DeviceHwIDs(0x77, nullptr, &count), 0);
  std::vector<char16_t> dump(count + 1);
  int capacity = count + 1;
  EXPECT_EQ(api_.PNP_Dump_DeviceHwIDs(0x77, dump.data(), &capacity), 1);
  EXPECT_EQ(std::u16string(dump.data()), u"USB\\VID_18d1&PID_4ee7");
  EXPECT_EQ(api_.PNP_GetUpdateDriverCount(0x77), 0);
  EXPECT_EQ(api_.PNP_IsNeedUpdate(0x77), 0);
  EXPECT_EQ(api_.PNP_DownLoadDriver(0x77), 1);
  EXPECT_EQ(api_.PNP_UpdateDrvier(0x77), 1);
  uint64_t total = 9, done = 9;
  int speed = 9;
  EXPECT_EQ(api_.PNP_GetDownLoadInfo(0x77, &total, &done, &speed), 1);
  EXPECT_EQ(total + done + speed, 0u);
  EXPECT_EQ(api_.PNP_Refresh(), 1);
  EXPECT_TRUE(host_.WaitFor(PNP_EVENT_LIBRARY, 0));
  EXPECT_EQ(api_.PNP_AndroidReport(7, 0), 1);
  EXPECT_EQ(api_.PNP_AndroidReport(1, 0), 0);

  const std::string log = Log();
  for (const char* line : {"===============devwarden.log Begin===============", "PNPDeviceMangement Init Success",
                           "PNPDeviceMangement: Start", "_USBCallBackFun: _AddDevice HANDLE 0x77",
                           "_USBCallBackFun: Start QueryDrivers HANDLE 0x77"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

TEST_F(HostTest, NullOutputsAndShortBuffersAreRefused) {
  ASSERT_EQ(InitAndStart(), 1);
  std::u16string long_serial(80, u'7');
  ASSERT_NO_FATAL_FAILURE(Arrive(5, 0x18d1, 0x4ee7, kAdbPhone, 2, long_serial.c_str()));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_ARRIVAL, 5));
  EXPECT_EQ(api_.PNP_GetDeviceClass(5, nullptr), 0);
  EXPECT_EQ(api_.PNP_GetDeviceSerialNumber(5, nullptr), 0);
  EXPECT_EQ(api_.PNP_Dump_DeviceHwIDs(5, nullptr, nullptr), 0);
  EXPECT_EQ(api_.PNP_GetDownLoadInfo(5, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(api_.PNP_GetDeviceAdvanceInfo(5, nullptr), 0);
  AndroidModelInfo wrong{};
  wrong.version = 2;
  wrong.size = 2184;
  EXPECT_EQ(api_.PNP_GetDeviceAdvanceInfo(5, &wrong), 0);
  char16_t text[70];
  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_EQ(api_.PNP_GetDeviceSerialNumber(5, text), 1);
  EXPECT_EQ(std::u16string(text), std::u16string(63, u'7'));
  EXPECT_EQ(text[64], u'#');
}

// The edge cases of the exported interface, each on a fresh library.
TEST_F(HostTest, WorkModeIsFrozenAfterInit) {
  ASSERT_TRUE(api_.PNP_Init(Host::Callback, reinterpret_cast<uintptr_t>(&host_), Host::Download, 0));
  api_.PNP_SetWorkMode(PNP_WORKMODE_DRVQUERY);
  EXPECT_EQ(api_.PNP_Start(), 1);  // detection still enabled
}

TEST_F(HostTest, StartWithoutDetectionModeFails) {
  api_.PNP_SetWorkMode(PNP_WORKMODE_DRVQUERY);
  ASSERT_TRUE(api_.PNP_Init(Host::Callback, reinterpret_cast<uintptr_t>(&host_), nullptr, 0));
  EXPECT_EQ(api_.PNP_Start(), 0);
  EXPECT_NE(Log().find("PNP_WORKMODE_DEVCHECK is not open."), std::string::npos);
}

TEST_F(HostTest, InitWithoutDownloadCallbackFailsAfterBindingDetection) {
  EXPECT_EQ(api_.PNP_Init(Host::Callback, 0, nullptr, 0), 0);
  EXPECT_NE(Log().find("Init down_func is null!"), std::string::npos);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(1), PNP_STATUS_NOT_READY);
  EXPECT_EQ(fakes_.kf_calls("DGInit"), 0);
}

TEST_F(HostTest, StartThatCannotArmDetectionReportsFailure) {
  fakes_.set_init_result(0);
  EXPECT_EQ(InitAndStart(), 0);
  fakes_.set_init_result(1);
  fakes_.set_report_monitor(0);  // armed, but nothing to watch
  EXPECT_EQ(api_.PNP_Start(), 0);
  EXPECT_EQ(fakes_.has_callback(), 0);
  fakes_.set_report_monitor(1);
  EXPECT_EQ(api_.PNP_Start(), 1);
}

TEST_F(HostTest, ExportsBeforeInitAreNotReady) {
  int cls = 0;
  char16_t text[64];
  int count = 0;
  EXPECT_EQ(api_.PNP_GetDeviceClass(1, &cls), 0);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(1), -1);
  EXPECT_EQ(api_.PNP_GetDeviceSerialNumber(1, text), 0);
  EXPECT_EQ(api_.PNP_Dump_DeviceHwIDs(1, nullptr, &count), 0);
  EXPECT_EQ(api_.PNP_GetAndroidCurrentMode(1), -1);
  EXPECT_EQ(api_.PNP_GetDevicePort(1), -1);
  EXPECT_EQ(api_.PNP_GetUpdateDriverCount(1), -1);
  EXPECT_EQ(api_.PNP_UpdateDrvier(1), 0);
  EXPECT_EQ(api_.PNP_Refresh(), 0);  // the detection library is not bound yet
  AndroidModelInfo info{};
  EXPECT_EQ(api_.PNP_QueryAndroidModel(u"Google", u"Pixel", &info), 0);
}

TEST_F(HostTest, ClassFilterAnnouncesOnlyWantedOrUnclassifiedDevices) {
  ASSERT_EQ(InitAndStart(PNP_CLASS_ANDROID), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(10, 0x05ac, 0x12a8, kAppleIfs, 1));  // Apple: filtered
  ASSERT_NO_FATAL_FAILURE(Arrive(11, 0xabcd, 0x0001, kVendorIfs, 1));  // class 0: announced
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_ARRIVAL, 11));
  for (const Event& e : host_.Snapshot()) EXPECT_NE(e.handle, 10);
  int cls = -1;
  EXPECT_EQ(api_.PNP_GetDeviceClass(10, &cls), 0);
  EXPECT_EQ(api_.PNP_GetDeviceClass(11, &cls), 1);
  EXPECT_EQ(cls, 0);
  api_.PNP_SetDetectClass(PNP_CLASS_APPLE);  // later arrivals only
  ASSERT_NO_FATAL_FAILURE(Arrive(12, 0x05ac, 0x12a8, kAppleIfs, 1, u"S", 1));
  ASSERT_TRUE(host_.WaitFor(1, 12));  // the library's own arrival number
  EXPECT_EQ(api_.PNP_GetDeviceClass(11, &cls), 1);
}

TEST_F(HostTest, RemovalsAndChanges) {
  ASSERT_EQ(InitAndStart(), 1);
  // An unknown handle: event 3 for it, nothing else.
  fakes_.inject_removal(40);
  ASSERT_TRUE(fakes_.wait_delivered(5000));
  EXPECT_TRUE(host_.WaitFor(PNP_EVENT_REMOVAL, 40));
  // -1 keeps the device, although the library dropped its interface table.
  ASSERT_NO_FATAL_FAILURE(Arrive(41, 0x18d1, 0x4ee7, kAdbPhone, 2));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 41));
  host_.removal_answer = PNP_RET_DISABLEREMOVE;
  fakes_.inject_removal(41);
  ASSERT_TRUE(fakes_.wait_delivered(5000));
  EXPECT_EQ(api_.PNP_GetAndroidCurrentMode(41), 0);
  int count = 0;
  EXPECT_EQ(api_.PNP_Dump_DeviceHwIDs(41, nullptr, &count), 0);
  EXPECT_GT(count, 0);
  // A second arrival for a listed handle raises nothing.
  const int arrivals = host_.Count(PNP_EVENT_ARRIVAL);
  ASSERT_NO_FATAL_FAILURE(Arrive(41, 0x18d1, 0x4ee7, kAdbPhone, 2));
  EXPECT_EQ(host_.Count(PNP_EVENT_ARRIVAL), arrivals);
  // A change replaces the record of a listed device; an unknown one is passed on.
  fakes_.inject_change(41, u"Renamed");
  fakes_.inject_change(99, u"Nobody");
  ASSERT_TRUE(fakes_.wait_delivered(5000));
  EXPECT_TRUE(host_.WaitFor(PNP_EVENT_CHANGED, 41));
  EXPECT_TRUE(host_.WaitFor(PNP_EVENT_CHANGED, 99));
  char16_t text[64];
  EXPECT_EQ(api_.PNP_GetDeviceProductName(41, text), 1);
  EXPECT_EQ(std::u16string(text), u"Renamed");
  // A plain removal drops it.
  host_.removal_answer = 0;
  fakes_.inject_removal(41);
  ASSERT_TRUE(fakes_.wait_delivered(5000));
  EXPECT_EQ(api_.PNP_GetDeviceStatus(41), -1);
  // The library's own event without a device.
  fakes_.inject_library_event();
  EXPECT_TRUE(host_.WaitFor(PNP_EVENT_LIBRARY, 0));
}

TEST_F(HostTest, RemovalWhileTheQueryCallbackCallsAnExportDoesNotDeadlock) {
  std::atomic<int> answers{0};
  host_.on_event = [&](int event, int handle) {
    if (event != PNP_EVENT_QUERY_FINISHED) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the removal arrives meanwhile
    int cls = 0;
    api_.PNP_GetDeviceClass(handle, &cls);
    char16_t text[64];
    api_.PNP_GetDeviceSerialNumber(handle, text);
    ++answers;
  };
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(60, 0x18d1, 0x4ee7, kAdbPhone, 2));
  fakes_.inject_removal(60);
  ASSERT_TRUE(fakes_.wait_delivered(10000)) << "the removal never finished";
  EXPECT_EQ(answers.load(), 1);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(60), -1);
  host_.on_event = nullptr;
}

TEST_F(HostTest, ExportsRacingRemovalsUseLiveDevices) {
  ASSERT_EQ(InitAndStart(), 1);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    char16_t text[64];
    std::vector<char16_t> dump(512);
    while (!done.load()) {
      api_.PNP_GetDeviceSerialNumber(90, text);
      int capacity = static_cast<int>(dump.size());
      api_.PNP_Dump_DeviceHwIDs(90, dump.data(), &capacity);
      api_.PNP_GetDeviceStatus(90);
    }
  });
  for (int round = 0; round < 50; ++round) {
    fakes_.inject_arrival(0, 90, 0x18d1, 0x4ee7, kAdbPhone, 2, u"S", u"M", u"P");
    fakes_.inject_removal(90);
  }
  EXPECT_TRUE(fakes_.wait_delivered(10000));
  done = true;
  reader.join();
  EXPECT_EQ(host_.Count(PNP_EVENT_REMOVAL), 50);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(90), -1);
}

TEST_F(HostTest, UnInitIsIdempotentAndUnloadAfterItIsQuiet) {
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(70, 0x18d1, 0x4ee7, kAdbPhone, 2));
  api_.PNP_UnInit();
  api_.PNP_UnInit();
  EXPECT_EQ(fakes_.has_callback(), 0);
  EXPECT_EQ(fakes_.kf_calls("DGClose"), 1);
  EXPECT_EQ(api_.PNP_GetDeviceStatus(70), -1);
  const std::string log = Log();
  EXPECT_NE(log.find("PNPDeviceMangement: UnInit End"), std::string::npos);
}

TEST_F(HostTest, UnloadWithoutUnInitStopsEveryThread) {
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(80, 0x18d1, 0x4ee7, kAdbPhone, 2));
  Unload();  // threads must be gone before the code is
  EXPECT_EQ(fakes_.has_callback(), 0);
  fakes_.inject_arrival(0, 81, 0x18d1, 0x4ee7, kAdbPhone, 2, u"S", u"M", u"P");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(fakes_.kf_calls("DGClose"), 1);
  EXPECT_NE(Log().find("===============devwarden.log End==============="), std::string::npos);
}

const uint8_t kPackageKey[16] = {0xa1, 0xb2, 0xc3, 0xd4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};

TEST_F(HostTest, APhoneRemovedDuringASlowQueryHearsEvent4AfterItsRemoval) {
  fakes_.kf_set_driver_answer(0, 1, 600, kPackageKey, 1000, 1, u"AndroidUsbDeviceClass");
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(30, 0x18d1, 0x4ee7, kAdbPhone, 2));
  fakes_.inject_removal(30);
  ASSERT_TRUE(fakes_.wait_delivered(10000));  // the removal waited for the query
  std::vector<int> order;
  for (const Event& e : host_.Snapshot())
    if (e.handle == 30) order.push_back(e.event);
  const auto removal = std::find(order.begin(), order.end(), PNP_EVENT_REMOVAL);
  ASSERT_NE(removal, order.end());
  EXPECT_NE(std::find(removal, order.end(), PNP_EVENT_QUERY_FINISHED), order.end())
      << "event 4 comes during the removal, after event 3";
  EXPECT_EQ(api_.PNP_GetDeviceStatus(30), -1);
  EXPECT_EQ(fakes_.kf_records_alive(), 0);
}

TEST_F(HostTest, OnlyTheFirstOfSeveralDriversBecomesAPackage) {
  fakes_.kf_set_driver_answer(0, 3, 0, kPackageKey, 1000, 1, u"AndroidUsbDeviceClass");
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(31, 0x18d1, 0x4ee7, kAdbPhone, 2));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 31));
  EXPECT_EQ(api_.PNP_GetUpdateDriverCount(31), 1);
  EXPECT_EQ(fakes_.kf_records_alive(), 0) << "every record handed out was freed";
  EXPECT_NE(Log().find("QueryDrivers: End QueryDrivers device0x1F drvcount=3"), std::string::npos);
  // A query that succeeds without records leaves the device without packages.
  fakes_.kf_set_driver_answer(0, 0, 0, kPackageKey, 1000, 1, u"");
  ASSERT_NO_FATAL_FAILURE(Arrive(32, 0x18d1, 0x4ee7, kAdbPhone, 2));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 32));
  EXPECT_EQ(api_.PNP_GetUpdateDriverCount(32), 0);
}

TEST_F(HostTest, ASharedPackageIsInstalledForTheCallingPhone) {
  fakes_.kf_set_driver_answer(0, 1, 0, kPackageKey, 1000, 1, u"AndroidUsbDeviceClass");
  fakes_.dl_accept_starts(6);  // every download finishes at once
  fakes_.kp_set_code(1);
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(33, 0x18d1, 0x4ee7, kAdbPhone, 2));
  ASSERT_NO_FATAL_FAILURE(Arrive(34, 0x18d1, 0x4ee2, kAdbPhone, 2));  // another model, the same package
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 33));
  ASSERT_TRUE(host_.WaitFor(PNP_EVENT_QUERY_FINISHED, 34));
  EXPECT_EQ(api_.PNP_UpdateDrvier(34), 0) << "nothing downloaded yet";
  ASSERT_EQ(api_.PNP_DownLoadDriver(33), 1);
  ASSERT_EQ(api_.PNP_DownLoadDriver(34), 1);
  EXPECT_TRUE(host_.WaitForDownload(33, 6));
  EXPECT_TRUE(host_.WaitForDownload(34, 6));
  EXPECT_EQ(api_.PNP_UpdateDrvier(34), 1);
  char16_t bus_id[64] = {};
  ASSERT_EQ(fakes_.kp_bus_id(0, bus_id), 1);
  EXPECT_EQ(std::u16string(bus_id), u"USB\\VID_18d1&PID_4ee2");
  // A failed install of an Android phone's driver is retried once with the
  // compatible package, which fails here as well.
  fakes_.kp_set_code(0);
  EXPECT_EQ(api_.PNP_UpdateDrvier(33), 0);
  EXPECT_EQ(fakes_.kp_bus_id(2, bus_id), 1);
  EXPECT_EQ(fakes_.kp_bus_id(3, bus_id), 0);
  EXPECT_NE(Log().find("first setup error,and try to download compatpackage"), std::string::npos);
}

TEST_F(HostTest, ModelInformationFromTheDriverService) {
  fakes_.kf_set_model_answer(0, u"<Infos><Info><BrandName>Google</BrandName><DeviceName1>Pixel 7</DeviceName1>"
                                u"</Info></Infos>");
  ASSERT_EQ(InitAndStart(), 1);
  ASSERT_NO_FATAL_FAILURE(Arrive(35, 0x18d1, 0x4ee7, kAdbPhone, 2));
  AndroidModelInfo info{};
  info.version = PNP_MODEL_INFO_VERSION;
  info.size = PNP_MODEL_INFO_SIZE;
  EXPECT_EQ(api_.PNP_GetDeviceAdvanceInfo(35, &info), 1);
  EXPECT_EQ(std::u16string(info.BrandName), u"Google");
  AndroidModelInfo own{};
  EXPECT_EQ(api_.PNP_QueryAndroidModelInfo(35, &own), 1);
  EXPECT_EQ(std::u16string(own.DeviceName1), u"Pixel 7");
  AndroidModelInfo named{};
  EXPECT_EQ(api_.PNP_QueryAndroidModel(u"google", u"Pixel 7", &named), 1);
  EXPECT_EQ(named.size, 2184);
  EXPECT_EQ(api_.PNP_QueryAndroidModel(u"google", u"", &named), 0);
  EXPECT_EQ(api_.PNP_QueryAndroidModel(u"google", nullptr, &named), 0);
  fakes_.kf_set_model_answer(6, u"");
  EXPECT_EQ(api_.PNP_GetDeviceAdvanceInfo(35, &info), 0);
  EXPECT_EQ(std::u16string(info.BrandName), u"Google") << "the caller's record is untouched";
}

}  // namespace
