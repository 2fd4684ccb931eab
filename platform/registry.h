// The registry stand-in: one per-user text file,
//   ConfigHomeDir() + "/Zelvik/registry.ini"
// whose sections are key paths and whose entries are values:
//
//   [HKEY_CURRENT_USER\Software\ZelvikSoft\Zelvik]
//   UnionID=dword:00010457
//   Blob=hex:57,04,01,00
//   Name=sz:some text          (also a plain text without a prefix)
//
// Key paths and value names compare without regard to case, as the
// registry's do. Both roots live in the same per-user file; there is no
// machine-wide store on this platform. Read only: the program never writes
// registry values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class RegRoot { kLocalMachine, kCurrentUser };

// Value types, numbered as the registry numbers them.
enum RegType : uint32_t {
  kRegSz = 1,      // data: UTF-16LE text with its terminating NUL
  kRegBinary = 3,  // data: the bytes
  kRegDword = 4,   // data: 4 bytes, little-endian
  kRegQword = 11,  // data: 8 bytes, little-endian
};

struct RegValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// Where the stand-in lives (moves with XDG_CONFIG_HOME / HOME).
std::string RegistryFilePath();

// The value `name` under `root`\`key_path` (for example
// "Software\ZelvikSoft\Zelvik"); nothing when the file, the key or the value
// is missing or the value text is malformed.
std::optional<RegValue> RegQueryValue(RegRoot root, const std::string& key_path,
                                      const std::string& name);

// True when the key `root`\`key_path` exists (can be opened), whatever
// values it holds.
bool RegKeyExists(RegRoot root, const std::string& key_path);

// Pure parts, for tests and for the readers above.
// True when a registry file's text has the key `full_key` (root included).
bool HasRegKey(const std::string& file_text, const std::string& full_key);
// The value `name` of key `full_key` (root included) in a registry file's text.
std::optional<RegValue> FindRegValue(const std::string& file_text, const std::string& full_key,
                                     const std::string& name);
// One value text ("dword:...", "qword:...", "hex:..", "sz:..." or plain text).
std::optional<RegValue> ParseRegValueText(const std::string& text);

}  // namespace platform
