// A child process starts the reporter and crashes; the report must hold the
// signal and a backtrace, and the child must still die of its signal.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qencrashcatch.h"

namespace {

std::vector<std::string> CrashReports(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      if (std::string(entry->d_name).rfind("crash_", 0) == 0) names.push_back(entry->d_name);
    }
    closedir(dir);
  }
  return names;
}

// A real fault at address 0 (not reported by the sanitizers' checks first).
__attribute__((noinline, no_sanitize("undefined"))) void CrashHere(int signal_number) {
  if (signal_number == SIGSEGV) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  raise(signal_number);
}

class QenCrashCatch : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qencrashcatch_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  // Runs a child that starts the reporter and raises `signal_number`;
  // returns the signal that ended the child (0 when it exited).
  int CrashChild(int signal_number, int keep) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("PHONEDECK_PROGRAM_DIR", dir_.c_str(), 1);
      void* library = dlopen(PD_BIN_DIR "/libQenCrashCatch.so", RTLD_NOW);
      auto init = library ? reinterpret_cast<PfnCCInit>(dlsym(library, "CCInit")) : nullptr;
      if (init == nullptr || !init(keep, 0, false, 0)) _exit(3);
      CrashHere(signal_number);
      _exit(4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  std::string dir_;
};

TEST_F(QenCrashCatch, ASegfaultLeavesAReportWithABacktrace) {
  EXPECT_EQ(CrashChild(SIGSEGV, 10), SIGSEGV);
  const std::vector<std::string> reports = CrashReports(dir_ + "/log");
  ASSERT_EQ(reports.size(), 1u);
  std::ifstream in(dir_ + "/log/" + reports[0]);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("signal: SIGSEGV (11)"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("fault address: 0x0000000000000000"), std::string::npos);
  EXPECT_NE(text.str().find("backtrace:\n"), std::string::npos);
  EXPECT_NE(text.str().find("libQenCrashCatch.so"), std::string::npos) << "no frames written";
}

TEST_F(QenCrashCatch, AnAbortIsReportedAndOldReportsArePruned) {
  ASSERT_EQ(mkdir((dir_ + "/log").c_str(), 0755), 0);
  for (const char* old : {"crash_20200101_000000_1.txt", "crash_20200102_000000_2.txt"}) {
    std::ofstream(dir_ + "/log/" + old) << "old";
  }
  EXPECT_EQ(CrashChild(SIGABRT, 1), SIGABRT);
  std::vector<std::string> reports = CrashReports(dir_ + "/log");
  std::sort(reports.begin(), reports.end());
  ASSERT_EQ(reports.size(), 2u);  // the newest old one and the new one
  EXPECT_EQ(reports[0], "crash_20200102_000000_2.txt");
}

TEST_F(QenCrashCatch, RefusesWhenTheLogFolderCannotBeMade) {
  pid_t pid = fork();
  if (pid == 0) {
    std::ofstream(dir_ + "/log") << "a file where the folder should be";
    setenv("PHONEDECK_PROGRAM_DIR", dir_.c_str(), 1);
    void* library = dlopen(PD_BIN_DIR "/libQenCrashCatch.so", RTLD_NOW);
    auto init = library ? reinterpret_cast<PfnCCInit>(dlsym(library, "CCInit")) : nullptr;
    _exit(init != nullptr && !init(10, 0, false, 0) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
