// The child-process runner against small shell scripts.
#include "app/adb/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/adb/tests/temp_folder.h"

namespace adb {
namespace {

using testing_support::TempFolder;

uint64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(ChildProcessTest, CollectsOutputAndErrorWithArgumentsVerbatim) {
  TempFolder dir;
  const std::string script = dir.Script("echo.sh", "printf '%s|' \"$@\"; echo oops >&2; exit 3\n");
  ChildResult r = RunChildProcess(script, {"a b", "$HOME", "\"q\"", ";ls"}, 10000);
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.output, "a b|$HOME|\"q\"|;ls|oops\n");
}

TEST(ChildProcessTest, OutputWrittenJustBeforeExitIsKept) {
  TempFolder dir;
  // A long quiet phase, then the output and an immediate exit.
  const std::string script = dir.Script("late.sh", "sleep 0.3; printf 'Success\\r\\n'\n");
  for (int i = 0; i < 5; ++i) {
    ChildResult r = RunChildProcess(script, {}, 10000);
    EXPECT_EQ(r.output, "Success\r\n");
  }
}

TEST(ChildProcessTest, LargeOutputBeyondThePipeBuffer) {
  TempFolder dir;
  const std::string script = dir.Script("big.sh", "head -c 1000000 /dev/zero | tr '\\0' 'x'\n");
  ChildResult r = RunChildProcess(script, {}, 20000);
  EXPECT_EQ(r.output.size(), 1000000u);
}

TEST(ChildProcessTest, DaemonHoldingThePipeDoesNotBlock) {
  TempFolder dir;
  // As adb does when it starts its server: a grandchild keeps the pipe.
  const std::string script = dir.Script("daemon.sh", "sleep 5 & echo started\n");
  auto start = std::chrono::steady_clock::now();
  ChildResult r = RunChildProcess(script, {}, 20000);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.output, "started\n");
  EXPECT_LT(ElapsedMs(start), 3000u);
}

TEST(ChildProcessTest, HungChildIsStoppedAtTheTimeOut) {
  TempFolder dir;
  const std::string script = dir.Script("hang.sh", "echo partial; exec sleep 60\n");
  auto start = std::chrono::steady_clock::now();
  ChildResult r = RunChildProcess(script, {}, 500);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.exited);
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.output, "partial\n");
  EXPECT_LT(ElapsedMs(start), 5000u);
}

// The pid a "held" script wrote into <dir>/pid.<name>; 0 until it is there.
pid_t HeldPid(const TempFolder& dir, const std::string& name) {
  std::ifstream in(dir.File("pid." + name));
  long pid = 0;
  return in >> pid ? static_cast<pid_t>(pid) : 0;
}

// A cancelled control ends the child of the run in progress (and nothing
// else, not even the same program started by someone else), and runs after
// it do not start until the control is reset.
TEST(ChildProcessTest, ACancelledRunEndsOnlyItsOwnChild) {
  TempFolder dir;
  const std::string held = dir.Script("held.sh", "echo $$ > '" + dir.path() + "/pid.'\"$1\"; exec sleep 60\n");
  // The same program, started by the test itself (ended by it at the end).
  struct Outsider {
    pid_t pid = -1;
    ~Outsider() {
      if (pid <= 0) return;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } outsider;
  outsider.pid = fork();
  ASSERT_GE(outsider.pid, 0);
  if (outsider.pid == 0) {
    execl(held.c_str(), held.c_str(), "outsider", static_cast<char*>(nullptr));
    _exit(127);
  }
  ChildControl control;
  ChildResult run;
  std::thread worker([&] {
    ChildControlScope scope(&control);
    run = RunChildProcess(held, {"run"}, 60000);
  });
  const auto start = std::chrono::steady_clock::now();
  while ((HeldPid(dir, "run") == 0 || HeldPid(dir, "outsider") == 0) && ElapsedMs(start) < 10000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const pid_t child = HeldPid(dir, "run");
  control.Cancel();
  worker.join();
  ASSERT_NE(child, 0) << "the run's child never started";
  EXPECT_TRUE(run.started);
  EXPECT_TRUE(run.cancelled);
  EXPECT_FALSE(run.exited);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(kill(child, 0), -1) << "the run's child still runs";
  int status = 0;
  EXPECT_EQ(waitpid(outsider.pid, &status, WNOHANG), 0) << "a process the run did not start was ended";

  ChildControlScope scope(&control);
  ChildResult refused = RunChildProcess(held, {"later"}, 1000);
  EXPECT_FALSE(refused.started);
  EXPECT_TRUE(refused.cancelled);
  control.Reset();
  ChildResult again = RunChildProcess("/bin/true", {}, 10000);
  EXPECT_TRUE(again.exited);
  EXPECT_FALSE(again.cancelled);
}

TEST(ChildProcessTest, MissingProgram) {
  ChildResult a = RunChildProcess("/nonexistent/adb", {"devices"}, 1000);
  EXPECT_FALSE(a.started);
  EXPECT_FALSE(a.error.empty());
  ChildResult b = RunChildProcess("pd-no-such-tool-on-path", {}, 1000);
  EXPECT_FALSE(b.started);
}

}  // namespace
}  // namespace adb
