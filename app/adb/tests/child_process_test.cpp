// The child-process runner against small shell scripts.
#include "app/adb/child_process.h"

#include <gtest/gtest.h>

#include <chrono>

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

TEST(ChildProcessTest, MissingProgram) {
  ChildResult a = RunChildProcess("/nonexistent/adb", {"devices"}, 1000);
  EXPECT_FALSE(a.started);
  EXPECT_FALSE(a.error.empty());
  ChildResult b = RunChildProcess("pd-no-such-tool-on-path", {}, 1000);
  EXPECT_FALSE(b.started);
}

}  // namespace
}  // namespace adb
