// A tool whose end cannot be learnt (the host ignores SIGCHLD, so waitpid
// fails) has an unknown outcome: never reported as "exited 0".
#include <gtest/gtest.h>
#include <signal.h>

#include "udev_rule.h"

namespace kitplanter {
namespace {

TEST(RunToolWait, AnUnlearntEndIsAFailure) {
  struct sigaction ignore{}, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
  const int failing = RunTool({"false"}, std::chrono::milliseconds(5000));
  const int succeeding = RunTool({"true"}, std::chrono::milliseconds(5000));
  sigaction(SIGCHLD, &previous, nullptr);
  EXPECT_EQ(failing, -1);
  EXPECT_EQ(succeeding, -1);
  EXPECT_EQ(RunTool({"true"}, std::chrono::milliseconds(5000)), 0);
}

}  // namespace
}  // namespace kitplanter
