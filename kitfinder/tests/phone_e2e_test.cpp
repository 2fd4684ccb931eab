// devwarden over the real driver information libraries, with a phone that
// umockdev plugs in (run under umockdev-run with data/huawei_p7.umockdev):
// the driver query and the model query are answered by the search service
// simulator; whether the model query left the program's adb server running
// is checked last.
#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/adb/tests/temp_folder.h"
#include "devwarden.h"
#include "search_sim.h"

namespace {

struct Host {
  std::mutex mu;
  std::condition_variable changed;
  std::vector<std::pair<int, int>> events;  // event, device

  static int Callback(int event, int device, uintptr_t context) {
    Host* self = reinterpret_cast<Host*>(context);
    std::lock_guard<std::mutex> hold(self->mu);
    self->events.emplace_back(event, device);
    self->changed.notify_all();
    return 0;
  }
  static int Download(int, int*, uint64_t*, uint64_t*, int*, uintptr_t) { return 0; }
  // The device of the first `event` (0 when it does not come in 20 s).
  int Wait(int event) {
    std::unique_lock<std::mutex> hold(mu);
    int device = 0;
    changed.wait_for(hold, std::chrono::seconds(20), [&] {
      for (const auto& e : events) {
        if (e.first == event) device = e.second;
      }
      return device != 0;
    });
    return device;
  }
};

template <typename Fn>
Fn* Export(void* lib, const char* name) {
  return reinterpret_cast<Fn*>(dlsym(lib, name));
}

// True when something accepts connections on 127.0.0.1:port.
bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

// A port the system hands out, free again once returned.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(PhoneUnderUmockdevTest, DriverAndModelComeFromTheSearchServiceAndAdbKeepsRunning) {
  if (!getenv("UMOCKDEV_DIR")) GTEST_SKIP() << "run under umockdev-run (ctest does)";
  testing_support::TempFolder folder;
  searchsim::SearchServiceSim sim;
  ASSERT_TRUE(sim.Start());
  sim.ExportEnvironment();
  DIR* bin = opendir(PD_BIN_DIR);
  ASSERT_NE(bin, nullptr);
  while (dirent* e = readdir(bin)) {
    const std::string name = e->d_name;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) {
      ASSERT_EQ(symlink((std::string(PD_BIN_DIR) + "/" + name).c_str(), folder.File(name).c_str()), 0);
    }
  }
  closedir(bin);
  ASSERT_EQ(mkdir(folder.File("log").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(folder.File("home").c_str(), 0700), 0);
  setenv("PHONEDECK_PROGRAM_DIR", folder.path().c_str(), 1);
  setenv("HOME", folder.File("home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", folder.File("home/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", folder.File("home/.cache").c_str(), 1);

  // The program's own adb server, on a private port, from a copy of adb
  // under a name of this test's own: the names devwarden's model query ends
  // are set to it, so no other adb of the machine is touched.
  const std::string adb_port = std::to_string(FreePort());
  const std::string adb = folder.File("kfadb");
  ASSERT_EQ(system(("cp \"$(command -v adb)\" '" + adb + "'").c_str()), 0);
  setenv("PHONEDECK_STRAY_ADB_NAMES", "kfadb", 1);
  setenv("ANDROID_ADB_SERVER_PORT", adb_port.c_str(), 1);
  ASSERT_EQ(system(("'" + adb + "' start-server >/dev/null 2>&1").c_str()), 0);
  ASSERT_TRUE(Listening(std::stoi(adb_port)));

  void* lib = dlopen(folder.File("libdevwarden.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  Host host;
  ASSERT_EQ(Export<decltype(PNP_Init)>(lib, "PNP_Init")(Host::Callback, reinterpret_cast<uintptr_t>(&host),
                                                        Host::Download, 0),
            1);
  ASSERT_EQ(Export<decltype(PNP_Start)>(lib, "PNP_Start")(), 1);
  const int phone = host.Wait(PNP_EVENT_ARRIVAL_PRESENT);
  ASSERT_NE(phone, 0) << "the phone umockdev plugged in was not noticed";
  EXPECT_EQ(host.Wait(PNP_EVENT_QUERY_FINISHED), phone);
  EXPECT_EQ(Export<decltype(PNP_GetUpdateDriverCount)>(lib, "PNP_GetUpdateDriverCount")(phone), 1);

  AndroidModelInfo model{};
  model.version = PNP_MODEL_INFO_VERSION;
  model.size = PNP_MODEL_INFO_SIZE;
  ASSERT_EQ(Export<decltype(PNP_GetDeviceAdvanceInfo)>(lib, "PNP_GetDeviceAdvanceInfo")(phone, &model), 1);
  EXPECT_EQ(std::u16string(model.BrandName), u"HUAWEI");
  EXPECT_EQ(std::u16string(model.DeviceName1), u"P7-L09");
  const bool adb_kept = Listening(std::stoi(adb_port));

  Export<decltype(PNP_UnInit)>(lib, "PNP_UnInit")();
  dlclose(lib);
  int requests_26 = 0, requests_22 = 0;
  for (const auto& r : sim.Requests()) {
    requests_26 += !r.packet.empty() && r.packet[0] == 0x26;
    requests_22 += !r.packet.empty() && r.packet[0] == 0x22;
  }
  EXPECT_EQ(requests_26, 1);
  EXPECT_EQ(requests_22, 1);
  EXPECT_TRUE(sim.Errors().empty());
  if (adb_kept && system(("'" + adb + "' kill-server >/dev/null 2>&1").c_str()) != 0)
    ADD_FAILURE() << "adb kill-server failed";
  sim.Stop();
  // The model query ends stray adb copies, never the program's own server.
  EXPECT_TRUE(adb_kept) << "the model query ended the program's adb server";
}

}  // namespace
