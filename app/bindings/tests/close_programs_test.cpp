// The "-close" start ends the processes that run from the program folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/bindings/close_programs.h"
#include "app/bindings/tests/test_folder.h"

extern char** environ;

namespace {

using bindings_test::ProgramFolder;

TEST(ClosePrograms, EndsWhatRunsFromTheProgramFolder) {
  ProgramFolder folder;
  ASSERT_TRUE(folder.AddLibrary(PD_BIN_DIR, "setupaide"));
  const std::string tool = folder.path() + "/adb";
  ASSERT_TRUE(ProgramFolder::Copy("/bin/sleep", tool));
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("60"), nullptr};
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ), 0);
  usleep(100000);

  EXPECT_TRUE(KillProgramFolderProcesses());
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

TEST(ClosePrograms, WithoutTheLibraryNothingHappens) {
  ProgramFolder folder;
  EXPECT_FALSE(KillProgramFolderProcesses());
}

}  // namespace
