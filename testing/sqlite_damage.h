// Damaged SQLite database files for the tests of the databases the program
// keeps: each case turns the bytes of a sound file into damaged ones. And
// the files a damaged database was moved aside to.
#pragma once

#include <dirent.h>

#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

struct SqliteDamage {
  const char* label;
  std::string (*damage)(const std::string& bytes);
};

inline void PrintTo(const SqliteDamage& c, std::ostream* out) { *out << c.label; }

inline std::string NotADatabase(const std::string&) {
  std::string bytes(600, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
  return bytes;
}

// The first page (header and schema) intact, every page of the tables
// garbage: the tables are found, their rows cannot be read.
inline std::string TablePagesOverwritten(const std::string& bytes) {
  std::string out = bytes;
  if (out.size() < 18) return out;
  const size_t page = (static_cast<unsigned char>(out[16]) << 8) | static_cast<unsigned char>(out[17]);
  for (size_t i = page; i < out.size(); ++i) out[i] = static_cast<char>(0xA5 ^ (i & 0x3F));
  return out;
}

inline const SqliteDamage kSqliteDamages[] = {
    {"random bytes in place of the database", &NotADatabase},
    {"table pages overwritten behind an intact schema", &TablePagesOverwritten},
};

// The names of the files "<name>.damaged-..." in `folder`.
inline std::vector<std::string> DamagedAside(const std::string& folder, const std::string& name) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (std::string(entry->d_name).rfind(name + ".damaged-", 0) == 0) names.push_back(entry->d_name);
    }
    ::closedir(dir);
  }
  return names;
}

}  // namespace testing_support
