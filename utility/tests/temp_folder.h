// A private temporary folder for one test, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  // Under /tmp by default, or under parent (which must exist).
  explicit TempFolder(const std::string& parent = "/tmp") {
    std::string pattern = parent + "/utility_test_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& leaf) const { return m_path + "/" + leaf; }

  // Writes a file below the folder (creating its folders) and returns its path.
  std::string Write(const std::string& leaf, const std::string& content) const {
    const std::string p = *this / leaf;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

 private:
  std::string m_path;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
