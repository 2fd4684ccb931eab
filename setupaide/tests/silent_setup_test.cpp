// Restarting the installer silently from its command line.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "setupaide/setupaide_internal.h"
#include "setupaide/tests/test_support.h"

namespace {

struct CommandLineCase {
  const char* command_line;
  int result;
  const char* installer;
};

const CommandLineCase kCommandLines[] = {
    // The setup stage's parameter: its last field is the installer the user started.
    {"/opt/tmp/is-1/setup.tmp /SL5=\"$1A2B,123,456,/home/u/Setup_2057.exe\"", 1,
     "/home/u/Setup_2057.exe"},
    {"setup.tmp /SL5=\"$1,2,/home/u/My Setup.exe\" /LANG=en", 1, "/home/u/My Setup.exe"},
    {"setup.tmp /verysilent /SL5=\"$1,2,/x/Setup.exe\"", 0, ""},  // already silent, any case
    {"setup.tmp /SP- /VERYSILENT", 0, ""},
    {"", 0, ""},                                      // no command line
    {"/home/u/Setup.exe", 0, ""},                     // no quote
    {"\"/home/u/Setup.exe\"", 0, ""},                 // a quote but no comma
    {"setup.tmp /SL5=\"$1,2,\"", 0, ""},              // empty path
    {"setup.tmp /SL5=\"$1,2,\"/x/Setup.exe\"", 1, "/x/Setup.exe"},  // leading quote stripped
};

TEST(SetupaideSilentSetup, PlanFromCommandLineTable) {
  for (const CommandLineCase& c : kCommandLines) {
    SCOPED_TRACE(c.command_line);
    const setupaide::SilentRestartPlan plan = setupaide::PlanSilentRestart(c.command_line);
    EXPECT_EQ(plan.result, c.result);
    EXPECT_EQ(plan.installer, c.installer);
  }
}

TEST(SetupaideSilentSetup, RestartsTheInstallerWithSilentSwitches) {
  const std::string dir = setupaide_test::MakeTempDir();
  ASSERT_FALSE(dir.empty());
  const std::string marker = dir + "/started.txt";
  const std::string installer = dir + "/Setup_2057.sh";
  {
    std::ofstream script(installer);
    script << "#!/bin/sh\necho \"$@\" > '" << marker << ".part'\nmv '" << marker << ".part' '"
           << marker << "'\n";
  }
  ASSERT_EQ(chmod(installer.c_str(), 0755), 0);
  int code = -1;
  const std::string out = setupaide_test::RunAndRead(
      {SETUPAIDE_PROBE, SETUPAIDE_LIBRARY, "inno", "/SL5=\"$1A,2,3," + installer + "\""}, &code);
  EXPECT_EQ(out, "1\n");
  for (int i = 0; i < 500 && access(marker.c_str(), F_OK) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(setupaide_test::ReadFile(marker), "/SP- /VERYSILENT\n");

  // Already silent: nothing is started.
  EXPECT_EQ(setupaide_test::RunAndRead({SETUPAIDE_PROBE, SETUPAIDE_LIBRARY, "inno", "/verysilent",
                                        "/SL5=\"$1A,2,3," + installer + "\""},
                                       &code),
            "0\n");
  setupaide_test::RemoveTree(dir);
}

TEST(SetupaideSilentSetup, RunProgramReportsAStartThatFails) {
  EXPECT_FALSE(setupaide::RunProgram("/nonexistent/installer", {"/SP-"}));
}

}  // namespace
