// A temporary user for configuration tests: HOME, the XDG folders, TMPDIR
// and the program folder all point into one temporary folder.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace config_test {

class TempUser : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/config_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ + "/data").c_str(), 1);
    setenv("XDG_DOWNLOAD_DIR", (home_ + "/Downloads").c_str(), 1);
    setenv("TMPDIR", (home_ + "/tmp").c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", (home_ + "/program").c_str(), 1);
    mkdir((home_ + "/tmp").c_str(), 0755);
  }
  void TearDown() override {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOWNLOAD_DIR", "TMPDIR",
                             "PHONEDECK_PROGRAM_DIR"}) {
      unsetenv(name);
    }
    std::string command = "rm -rf '" + home_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  void WriteFile(const std::string& relative, const std::string& text) {
    const std::string path = home_ + "/" + relative;
    std::string command = "mkdir -p \"$(dirname '" + path + "')\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string ReadFile(const std::string& relative) const {
    std::ifstream in(home_ + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Names in the folder `relative` that begin with `prefix`, sorted.
  std::vector<std::string> Listing(const std::string& relative, const std::string& prefix) const {
    std::vector<std::string> names;
    if (DIR* dir = opendir((home_ + "/" + relative).c_str())) {
      while (const dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name).rfind(prefix, 0) == 0) names.push_back(entry->d_name);
      }
      closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }
  std::string home_;
};

}  // namespace config_test
