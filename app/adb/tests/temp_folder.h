// A temporary folder for one test (mkdtemp), removed with its files at the end.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace testing_support {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/pd-adb-test-XXXXXX";
    path_ = mkdtemp(pattern) != nullptr ? pattern : "";
  }
  ~TempFolder() {
    if (!path_.empty()) (void)!system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes an executable shell script.
  std::string Script(const std::string& name, const std::string& body) const {
    const std::string file = File(name);
    std::ofstream(file) << "#!/bin/sh\n" << body;
    chmod(file.c_str(), 0755);
    return file;
  }
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string file = File(name);
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

}  // namespace testing_support
