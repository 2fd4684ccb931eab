// libkitoracle.so unloaded while its start-up probe still runs: the probe
// thread is joined (by DSClose, or by the library's own exit handler when
// the host unloads it without DSClose), so no thread is left running code
// that is gone. Run under ASan in CI.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

}  // namespace
