// The resume record "<name>.td.cfg" beside a partial download: three lines,
//   url=<the task URL>
//   total=<total size in decimal, 0 while unknown>
//   validator=<the server's ETag, else its Last-Modified, else empty>
// Pure functions over the text; the file is written to a temporary name
// and renamed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xldl {

struct ResumeRecord {
  std::string url;
  uint64_t total = 0;
  std::string validator;
};

std::string FormatResumeRecord(const ResumeRecord& record);
// Nothing when a line is missing, malformed or holds a line break.
std::optional<ResumeRecord> ParseResumeRecord(const std::string& text);

// Whole-file helpers: read (nothing when missing or malformed) and write
// (temporary name, then rename; false on any failure).
std::optional<ResumeRecord> ReadResumeFile(const std::string& path);
bool WriteResumeFile(const std::string& path, const ResumeRecord& record);

}  // namespace xldl
