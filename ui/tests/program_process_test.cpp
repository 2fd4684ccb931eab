// The real program as processes (headless back end): a second start wakes
// the first and ends with 0; the quit request ends the first; "-close" ends
// what runs from the program's folder.
#include <gtest/gtest.h>

#include "app/startup/single_instance.h"
#include "ui/tests/program_test_util.h"

namespace ui_test {
namespace {

const std::string kProgram = std::string(PD_BIN_DIR) + "/Phonedeck";

// Asks the first instance to quit (1295) through its socket. A first
// instance still busy with an earlier probe (one that was stopped and
// resumed, or one on a loaded machine) may let an answer time pass: ask
// again, as a user starting the program again would. The quit request is
// sent only after an answer, so it never goes twice.
bool AskFirstToQuit(ProgramSandbox& box) {
  setenv("XDG_RUNTIME_DIR", box.Runtime().c_str(), 1);
  bool sent = false;
  for (int attempt = 0; attempt < 5 && !sent; ++attempt)
    sent = CSingleInstance::SendToRunningInstance(u"Shelfhub", "post 1295 0 0\n");
  unsetenv("XDG_RUNTIME_DIR");
  return sent;
}

TEST(ProgramProcess, SecondStartWakesTheFirstAndEnds) {
  ProgramSandbox box;
  Child first = Spawn(kProgram, {"-hide"}, box.Env(true));
  ASSERT_GT(first.pid, 0);
  std::string socket = box.Runtime() + "/Shelfhub-" + std::to_string(getuid()) + ".sock";
  ASSERT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("tray") != std::string::npos || Exists(socket); }, 20000));
  ASSERT_TRUE(WaitFor([&] { return Exists(socket); }, 20000));
  // The main window exists once the log says where posts go.
  ASSERT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("main window created") != std::string::npos; }, 20000));

  Child second = Spawn(kProgram, {}, box.Env(true));
  EXPECT_EQ(WaitExit(second, 20000), 0);
  EXPECT_TRUE(WaitFor(
      [&] {
        std::string log = ReadText(box.Log());
        size_t restore = log.find("restore (lParam 0)");
        size_t wake = log.find("bring to front (wParam 100)");
        return restore != std::string::npos && wake != std::string::npos && restore < wake;
      },
      10000))
      << ReadText(box.Log());
  EXPECT_NE(ReadText(box.Log()).find("another instance runs"), std::string::npos);

  // The quit request (1295) from another program ends the first for good.
  EXPECT_TRUE(AskFirstToQuit(box));
  EXPECT_EQ(WaitExit(first, 20000), 0);
  EXPECT_NE(ReadText(box.Log()).find("MainFrame::~MainFrame"), std::string::npos);
  EXPECT_FALSE(Exists(socket));
}

TEST(ProgramProcess, HungFirstInstanceIsLeftAlone) {
  ProgramSandbox box;
  Child first = Spawn(kProgram, {"-hide"}, box.Env(true));
  ASSERT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("main window created") != std::string::npos; }, 20000));
  kill(first.pid, SIGSTOP);
  Child second = Spawn(kProgram, {}, box.Env(true));
  EXPECT_EQ(WaitExit(second, 20000), 0);
  kill(first.pid, SIGCONT);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(ReadText(box.Log()).find("bring to front (wParam 100)"), std::string::npos);
  EXPECT_TRUE(AskFirstToQuit(box));
  EXPECT_EQ(WaitExit(first, 20000), 0);
}

// "-close" (with "-hide" too) ends the programs that run from the program's
// folder and nothing else: copies of `sleep` inside and outside it.
TEST(ProgramProcess, CloseEndsTheProgramFolderProcesses) {
  ProgramSandbox box;
  std::string folder = box.Program();
  ASSERT_EQ(std::system(("cp '" + kProgram + "' '" + folder + "/' && cp '" + std::string(PD_BIN_DIR) +
                         "/libsetupaide.so' '" + folder + "/' && cp /bin/sleep '" + folder + "/helper_a' && cp /bin/sleep '" +
                         folder + "/helper_b' && cp /bin/sleep '" + box.Root() + "/outside'")
                            .c_str()),
            0);
  Child a = Spawn(folder + "/helper_a", {"60"}, {});
  Child b = Spawn(folder + "/helper_b", {"60"}, {});
  Child outside = Spawn(box.Root() + "/outside", {"60"}, {});
  std::vector<std::string> env = box.Env(true);
  env.erase(std::remove_if(env.begin(), env.end(),
                           [](const std::string& e) { return e.rfind("PHONEDECK_PROGRAM_DIR=", 0) == 0; }),
            env.end());
  Child closer = Spawn(folder + "/Phonedeck", {"-Close", "-hide"}, env);
  EXPECT_EQ(WaitExit(closer, 20000), 0);
  EXPECT_NE(WaitExit(a, 10000), -1);
  EXPECT_NE(WaitExit(b, 10000), -1);
  // The one outside the folder still runs (it is killed when the wait times out).
  EXPECT_EQ(WaitExit(outside, 300), -1);
}

}  // namespace
}  // namespace ui_test
