#include "resume_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace xldl {

namespace {

bool TakeLine(const std::string& text, size_t* pos, const std::string& key, std::string* value) {
  const size_t end = text.find('\n', *pos);
  if (end == std::string::npos) return false;
  const std::string line = text.substr(*pos, end - *pos);
  if (line.compare(0, key.size(), key) != 0 || line.find('\r') != std::string::npos) return false;
  *value = line.substr(key.size());
  *pos = end + 1;
  return true;
}

}  // namespace

std::string FormatResumeRecord(const ResumeRecord& record) {
  return "url=" + record.url + "\ntotal=" + std::to_string(record.total) + "\nvalidator=" + record.validator + "\n";
}

std::optional<ResumeRecord> ParseResumeRecord(const std::string& text) {
  ResumeRecord record;
  std::string total;
  size_t pos = 0;
  if (!TakeLine(text, &pos, "url=", &record.url) || !TakeLine(text, &pos, "total=", &total) ||
      !TakeLine(text, &pos, "validator=", &record.validator) || pos != text.size() || record.url.empty()) {
    return std::nullopt;
  }
  if (total.empty() || total.find_first_not_of("0123456789") != std::string::npos || total.size() > 19) {
    return std::nullopt;
  }
  record.total = std::strtoull(total.c_str(), nullptr, 10);
  return record;
}

std::optional<ResumeRecord> ReadResumeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || text.size() > 65536) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return ParseResumeRecord(text);
}

bool WriteResumeFile(const std::string& path, const ResumeRecord& record) {
  if (record.url.find('\n') != std::string::npos || record.validator.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  const std::string temp = path + ".new";
  ::unlink(temp.c_str());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = FormatResumeRecord(record);
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace xldl
