// Starting a program on its own: refused for what cannot run, and a real
// start that leaves its mark.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/start_program.h"

namespace {

class StartProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/start_program_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }
  std::string Write(const std::string& name, const std::string& text, mode_t mode) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
  }
  std::string dir_;
};

TEST_F(StartProgramTest, WhatCannotRunIsRefusedWithTheReason) {
  const std::string cases[] = {
      "",
      dir_ + "/missing",
      dir_,                                                // a folder
      Write("plain", "#!/bin/sh\n", 0600),                 // not executable
      Write("badinterp", "#!/nonexistent/shell\n", 0700),  // exec fails
  };
  for (const std::string& path : cases) {
    std::string why;
    EXPECT_FALSE(platform::StartDetachedProgram(path, &why)) << path;
    EXPECT_FALSE(why.empty()) << path;
  }
}

TEST_F(StartProgramTest, AProgramThatIsThereRunsOnItsOwn) {
  const std::string marker = dir_ + "/ran";
  const std::string program = Write("prog", "#!/bin/sh\necho ok > '" + marker + "'\n", 0700);
  std::string why;
  ASSERT_TRUE(platform::StartDetachedProgram(program, &why)) << why;
  struct stat st;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (stat(marker.c_str(), &st) != 0 && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // another program: no event to wait on
  EXPECT_EQ(stat(marker.c_str(), &st), 0);
}

}  // namespace
