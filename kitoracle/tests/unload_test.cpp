// libkitoracle.so unloaded while its start-up probe still runs: the probe
// thread is joined (by DSClose, or by the library's own exit handler when
// the host unloads it without DSClose), so no thread is left running code
// that is gone. Run under ASan in CI.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kitfinder/driver_records.h"
#include "search_sim.h"

namespace {

class KitoracleUnload : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pd-kitoracle-unload-XXXXXX";
    folder_ = mkdtemp(pattern);
    mkdir((folder_ + "/log").c_str(), 0700);
    setenv("TMPDIR", folder_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", folder_.c_str(), 1);
    setenv("PHONEDECK_UDP_PROXY_SHM", ("/pd-kitoracle-unload-" + std::to_string(getpid())).c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    setenv("PHONEDECK_RELAYLINK_STAT_INI", (folder_ + "/stat.ini").c_str(), 1);
    ASSERT_TRUE(sim_.Start());
    sim_.ExportEnvironment(20);  // DSInit does not wait for the probe
  }
  void TearDown() override {
    sim_.Stop();
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  std::string folder_;
  searchsim::SearchServiceSim sim_;
};

const std::string kLibrary = std::string(PD_BIN_DIR) + "/libkitoracle.so";

TEST_F(KitoracleUnload, UnloadWhileTheProbeRuns) {
  for (bool withClose : {true, false}) {
    SCOPED_TRACE(withClose ? "after DSClose" : "without DSClose");
    sim_.SetDispatchSilent(true);
    void* library = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << dlerror();
    auto init = reinterpret_cast<int (*)()>(dlsym(library, "DSInit"));
    auto close = reinterpret_cast<void (*)()>(dlsym(library, "DSClose"));
    ASSERT_NE(nullptr, init);
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(0, init());
    // The probe's first request is lost; the second will be answered, after
    // the first one's time-out, when the library is gone or closing.
    sim_.SetDispatchSilent(false);
    if (withClose) close();
    EXPECT_EQ(0, dlclose(library));
    EXPECT_EQ(nullptr, dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD)) << "the library is gone";
  }
}

// A folder holding libkitoracle.so alone: relaylink cannot be bound, DSInit
// says so, reports still count as made and queries go by HTTP.
TEST_F(KitoracleUnload, WithoutRelaylinkQueriesGoByHttp) {
  std::string alone = folder_ + "/alone";
  ASSERT_EQ(0, mkdir(alone.c_str(), 0700));
  ASSERT_EQ(0, std::system(("cp '" + kLibrary + "' '" + alone + "/'").c_str()));
  sim_.SetDispatchSilent(false);
  void* library = dlopen((alone + "/libkitoracle.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, library) << dlerror();
  auto init = reinterpret_cast<int (*)()>(dlsym(library, "DSInit"));
  auto report = reinterpret_cast<int (*)(int32_t, int16_t, const char16_t*)>(dlsym(library, "DSStatInfoReport"));
  auto calendar =
      reinterpret_cast<int (*)(int32_t, int32_t, int16_t, int32_t, uint8_t*)>(dlsym(library, "DSGetCalendarStart"));
  ASSERT_TRUE(init && report && calendar);
  EXPECT_EQ(DS_ERROR_INTERFACE, init());
  EXPECT_EQ(0, report(1110, 12, u"text"));
  uint8_t start = 0;
  EXPECT_EQ(0, calendar(1, 2, 3, 4, &start));
  EXPECT_EQ(1, start);
  std::vector<searchsim::Received> got = sim_.Requests();
  ASSERT_EQ(1u, got.size()) << "the report went nowhere; the query went by HTTP";
  EXPECT_EQ("http", got[0].transport);
  EXPECT_EQ(0, dlclose(library));
}

}  // namespace
