// A temporary program folder for binding tests: PHONEDECK_PROGRAM_DIR points
// at it while it lives, and the tests copy the libraries they want into it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace bindings_test {

class ProgramFolder {
 public:
  ProgramFolder() {
    char pattern[] = "/tmp/bindings_test_XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
    setenv("PHONEDECK_PROGRAM_DIR", path_.c_str(), 1);
  }
  ~ProgramFolder() {
    unsetenv("PHONEDECK_PROGRAM_DIR");
    if (path_.rfind("/tmp/bindings_test_", 0) == 0) {
      std::string command = "rm -rf '" + path_ + "'";
      int rc = std::system(command.c_str());
      (void)rc;
    }
  }
  // Copies lib<name>.so from `from` (the bin folder or a variant's folder).
  bool AddLibrary(const std::string& from, const std::string& name) {
    return Copy(from + "/lib" + name + ".so", path_ + "/lib" + name + ".so");
  }
  static bool Copy(const std::string& from, const std::string& to) {
    // Write a new file (never through an old one that a process may have mapped).
    unlink(to.c_str());
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    if (!in || !out) return false;
    out << in.rdbuf();
    out.close();
    return chmod(to.c_str(), 0755) == 0;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bindings_test
