// A detection library for tests: devices are injected through the FakeUd_
// hooks; each injection is queued and signalled on the monitor descriptor
// (an eventfd), and UD_OnDeviceChangeMessage delivers the queue to the
// callback on the thread that calls it, as the real library does.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

#pragma pack(push, 1)
struct Record {
  int32_t handle;
  char16_t serial[64], manufacturer[64], product[64], description[64];
  uint16_t vendor_id, product_id, release;
  uint8_t interface_count;
  uintptr_t interfaces;
  uint8_t reserved1[2];
  uint8_t property3;
  uint32_t property4;
  uint8_t reserved2[3];
};
#pragma pack(pop)

struct Status {
  int32_t confirmed, status, problem;
};

using Callback = int (*)(int, Record*, uintptr_t);

struct Device {
  Record record{};
  std::vector<uint32_t> interfaces;
};

struct Pending {
  int event;
  int32_t handle;
  Device device;  // arrival and change
};

std::recursive_mutex g_dispatch;       // held while delivering
std::mutex g_mu;                        // guards everything below
std::condition_variable g_idle;
Callback g_callback = nullptr;
uintptr_t g_context = 0;
int g_fd = -1;
int g_init_result = 1;
bool g_report_fd = true;
std::deque<Pending> g_queue;
std::map<int32_t, Device> g_devices;
Status g_status{1, 0x0A, 0};
long g_injected = 0, g_delivered = 0;

void Fill(char16_t (&dst)[64], const char16_t* src) {
  std::memset(dst, 0, sizeof dst);
  if (!src) return;
  size_t n = 0;
  while (src[n] && n < 64) ++n;  // may fill all 64 characters, without terminator
  std::memcpy(dst, src, n * sizeof(char16_t));
}

void Queue(Pending p) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_queue.push_back(std::move(p));
  ++g_injected;
  uint64_t one = 1;
  if (g_fd >= 0 && ::write(g_fd, &one, sizeof one) < 0) {
  }
}

}  // namespace

FAKE_API int UD_Init(Callback callback, uintptr_t context) {
  std::lock_guard<std::recursive_mutex> dispatch(g_dispatch);
  std::lock_guard<std::mutex> lock(g_mu);
  if (!g_init_result) return 0;
  g_callback = callback;
  g_context = context;
  if (g_fd < 0) g_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return 1;
}

FAKE_API int UD_UnInit() {
  std::lock_guard<std::recursive_mutex> dispatch(g_dispatch);
  std::lock_guard<std::mutex> lock(g_mu);
  g_callback = nullptr;
  g_context = 0;
  return 1;
}

FAKE_API int UD_Reset() {
  Queue(Pending{3, 0, {}});
  return 1;
}

FAKE_API int UD_GetMonitorDescriptor() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_report_fd ? g_fd : -1;
}

FAKE_API int UD_OnDeviceChangeMessage(uintptr_t, intptr_t) {
  std::lock_guard<std::recursive_mutex> dispatch(g_dispatch);
  uint64_t count;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    if (g_fd >= 0 && ::read(g_fd, &count, sizeof count) < 0) count = 0;
  }
  int delivered = 0;
  for (;;) {
    Pending p;
    Callback cb;
    uintptr_t ctx;
    Record record{};
    std::vector<uint32_t> keep;  // the table stays valid during the call only
    {
      std::lock_guard<std::mutex> lock(g_mu);
      if (g_queue.empty()) break;
      p = std::move(g_queue.front());
      g_queue.pop_front();
      cb = g_callback;
      ctx = g_context;
      if (p.event == 0 || p.event == 1 || p.event == 4) {
        Device& d = g_devices[p.handle] = p.device;
        d.record.interfaces = d.interfaces.empty() ? 0 : reinterpret_cast<uintptr_t>(d.interfaces.data());
        record = d.record;
      } else if (p.event == 2) {
        auto it = g_devices.find(p.handle);
        if (it != g_devices.end()) {
          keep = std::move(it->second.interfaces);
          record = it->second.record;
          record.interfaces = keep.empty() ? 0 : reinterpret_cast<uintptr_t>(keep.data());
          g_devices.erase(it);
        } else {
          record.handle = p.handle;
        }
      }
    }
    if (cb) cb(p.event, p.event == 3 ? nullptr : &record, ctx);
    ++delivered;
    {
      std::lock_guard<std::mutex> lock(g_mu);
      ++g_delivered;
    }
    g_idle.notify_all();
  }
  return delivered;
}

FAKE_API int UD_IsDeviceAdbInterfaceHasProplem(const char16_t*, Status* status) {
  std::lock_guard<std::mutex> lock(g_mu);
  *status = g_status;
  return 1;
}

FAKE_API int UD_IsDeviceHasProplem(const char16_t*, Status* status) {
  std::lock_guard<std::mutex> lock(g_mu);
  *status = g_status;
  if (status->problem == 28) status->problem = 0, status->status = 0x0A;  // only the adb node is closed
  return 1;
}

FAKE_API int UD_GetDeviceClassGUID(const char16_t*, uint8_t*) { return 0; }

// ---- test hooks ----

FAKE_API void FakeUd_SetInitResult(int result) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_init_result = result;
}

FAKE_API void FakeUd_SetReportMonitor(int report) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_report_fd = report != 0;
}

FAKE_API void FakeUd_SetStatus(int confirmed, int status, int problem) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_status = Status{confirmed, status, problem};
}

FAKE_API int FakeUd_HasCallback() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_callback != nullptr;
}

// interfaces: count entries of {number, class, subclass, protocol}.
FAKE_API void FakeUd_InjectArrival(int event, int32_t handle, uint16_t vid, uint16_t pid, const uint8_t* interfaces,
                                   int count, const char16_t* serial, const char16_t* manufacturer,
                                   const char16_t* product) {
  Pending p{event, handle, {}};
  p.device.record.handle = handle;
  p.device.record.vendor_id = vid;
  p.device.record.product_id = pid;
  p.device.record.release = 0x0100;
  p.device.record.property3 = 1;
  p.device.record.property4 = 7;
  Fill(p.device.record.serial, serial);
  Fill(p.device.record.manufacturer, manufacturer);
  Fill(p.device.record.product, product);
  for (int i = 0; i < count; ++i) {
    uint32_t e;
    std::memcpy(&e, interfaces + 4 * i, 4);
    p.device.interfaces.push_back(e);
  }
  p.device.record.interface_count = static_cast<uint8_t>(count);
  Queue(std::move(p));
}

FAKE_API void FakeUd_InjectRemoval(int32_t handle) { Queue(Pending{2, handle, {}}); }

FAKE_API void FakeUd_InjectChange(int32_t handle, const char16_t* product) {
  Pending p{4, handle, {}};
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_devices.find(handle);
    if (it != g_devices.end()) p.device = it->second;
  }
  p.device.record.handle = handle;
  Fill(p.device.record.product, product);
  Queue(std::move(p));
}

FAKE_API void FakeUd_InjectLibraryEvent() { Queue(Pending{3, 0, {}}); }

// Waits until every injected event was delivered (or the time-out passed).
FAKE_API int FakeUd_WaitDelivered(int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_mu);
  return g_idle.wait_for(lock, std::chrono::milliseconds(timeout_ms), [] { return g_delivered >= g_injected; });
}

FAKE_API void FakeUd_Reset() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_queue.clear();
  g_devices.clear();
  g_injected = g_delivered = 0;
  g_init_result = 1;
  g_report_fd = true;
  g_status = Status{1, 0x0A, 0};
}
