// libkitoracle.so unloaded while its start-up probe still runs: the probe
// thread is joined (by DSClose, or by the library's own exit handler when
// the host unloads it without DSClose), so no thread is left running code
// that is gone. Run under ASan in CI. Also: without relaylink beside it, and
// two processes holding it at once.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"
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

// Two processes hold the library at once: each counts only its own users of
// the relaylink binding.
TEST(KitoracleLoadCounter, EachProcessCountsItsOwnUsers) {
  char pattern[] = "/tmp/pd-kitoracle-count-XXXXXX";
  std::string base = mkdtemp(pattern);
  struct Child {
    pid_t pid = -1;
    int in = -1;          // its standard input
    FILE* out = nullptr;  // its standard output
  } children[2];
  std::string lines[2];
  for (int i = 0; i < 2; ++i) {
    std::string folder = base + "/p" + std::to_string(i);
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    ASSERT_EQ(0, mkdir((folder + "/log").c_str(), 0700));
    int toChild[2], fromChild[2];
    // Close-on-exec: the second child must not hold the first one's input open.
    ASSERT_EQ(0, pipe2(toChild, O_CLOEXEC));
    ASSERT_EQ(0, pipe2(fromChild, O_CLOEXEC));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(toChild[0], STDIN_FILENO);
      dup2(fromChild[1], STDOUT_FILENO);
      execl(LOAD_COUNTER_CHILD, LOAD_COUNTER_CHILD, folder.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    children[i] = {pid, toChild[1], fdopen(fromChild[0], "r")};
    char line[32] = {};
    ASSERT_NE(nullptr, fgets(line, sizeof line, children[i].out)) << "child " << i << " ended early";
    lines[i] = line;  // the first child keeps the library while the second starts
  }
  for (Child& c : children) {
    close(c.in);
    fclose(c.out);
    int status = -1;
    waitpid(c.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ("1\n", lines[0]);
  EXPECT_EQ("1\n", lines[1]) << "the second process does not see the first one's user";
  std::system(("rm -rf '" + base + "'").c_str());
}

}  // namespace
