// The version record: our stand-in for a Windows version resource.
//
// The build compiles one record into every binary (a section named
// ".pd_version", generated from the project version by the CMake function
// pd_version_record_source). ReadVersionData() pulls that section out of an
// ELF64 file; QueryVersionValue() answers queries by path as VerQueryValue
// does:
//   "\\"                                   the 52-byte fixed record
//   "\\VarFileInfo\\Translation"          4 bytes: language id | code page << 16
//   "\\StringFileInfo\\080404B0\\<Name>"   a UTF-16LE value without terminator
// Paths compare without regard to case. An empty string value is absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Layout of the section, shared with the generated source (which repeats it
// field for field; keep both in step). Little-endian, no padding.
struct VersionSection {
  char magic[8];                 // kVersionMagic
  uint32_t fixed[13];            // VS_FIXEDFILEINFO, 52 bytes
  uint32_t translation;          // language id | code page << 16
  uint32_t value_count;          // kVersionValueCount
  char16_t values[12][128];      // NUL-terminated, in kVersionValueNames order
};
static_assert(sizeof(VersionSection) == 8 + 52 + 4 + 4 + 12 * 128 * 2, "version section layout");

constexpr char kVersionMagic[8] = {'P', 'D', 'V', 'E', 'R', 'S', '0', '1'};
constexpr size_t kVersionValueCount = 12;
constexpr size_t kFixedRecordSize = 52;
extern const char* const kVersionValueNames[kVersionValueCount];
constexpr char kVersionSectionName[] = ".pd_version";

// Reads the ".pd_version" section of the ELF64 file at `path` into *data.
// Every offset and size is checked against the file, so a truncated or
// malformed file fails cleanly with a reason in *error (when given).
bool ReadVersionData(const std::string& path, std::vector<uint8_t>* data, std::string* error = nullptr);

// Answers one query over data from ReadVersionData(). On success *value
// points into `data` and *size is its length in bytes.
bool QueryVersionValue(const std::vector<uint8_t>& data, const std::string& path, const uint8_t** value,
                       size_t* size);

}  // namespace platform
