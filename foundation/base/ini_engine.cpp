#include "foundation/base/ini_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "foundation/base/unicode.h"
#include "platform/text_case.h"

namespace base {
namespace ini {

namespace {

std::mutex g_file_lock;

struct Line {
  size_t begin;  // offset of the line in the text
  size_t end;    // offset past its content (before CR LF / LF)
  size_t next;   // offset of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t at = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    size_t next = nl == std::string::npos ? text.size() : nl + 1;
    size_t end = nl == std::string::npos ? text.size() : nl;
    if (end > at && text[end - 1] == '\r') --end;
    lines.push_back({at, end, next});
    at = next;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text, size_t begin, size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

enum class Kind { kOther, kSection, kKey };

struct Parsed {
  Kind kind = Kind::kOther;
  std::string name;   // section or key name
  std::string value;  // key value, unquoted
};

Parsed ParseLine(const std::string& text, const Line& line) {
  Parsed parsed;
  std::string content = Trim(text, line.begin, line.end);
  if (content.empty() || content[0] == ';') return parsed;
  if (content[0] == '[') {
    size_t close = content.find(']');
    if (close != std::string::npos) {
      parsed.kind = Kind::kSection;
      parsed.name = Trim(content, 1, close);
    }
    return parsed;
  }
  size_t eq = content.find('=');
  if (eq == std::string::npos) return parsed;
  parsed.kind = Kind::kKey;
  parsed.name = Trim(content, 0, eq);
  parsed.value = Trim(content, eq + 1, content.size());
  const std::string& v = parsed.value;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    parsed.value = v.substr(1, v.size() - 2);
  return parsed;
}

// Range of the first section named `section`: index of its header line and
// the index past its last line. False when there is no such section.
bool FindSection(const std::string& text, const std::vector<Line>& lines, const std::string& section,
                 size_t* header, size_t* past) {
  for (size_t i = 0; i < lines.size(); ++i) {
    Parsed p = ParseLine(text, lines[i]);
    if (p.kind != Kind::kSection || !platform::EqualNoCase(p.name, section)) continue;
    size_t j = i + 1;
    while (j < lines.size() && ParseLine(text, lines[j]).kind != Kind::kSection) ++j;
    *header = i;
    *past = j;
    return true;
  }
  return false;
}

std::string LineEndOf(const std::string& text) {
  size_t nl = text.find('\n');
  return nl != std::string::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool FindValue(const std::string& text, const std::string& section, const std::string& key, std::string* value) {
  std::vector<Line> lines = SplitLines(text);
  size_t header, past;
  if (!FindSection(text, lines, section, &header, &past)) return false;
  for (size_t i = header + 1; i < past; ++i) {
    Parsed p = ParseLine(text, lines[i]);
    if (p.kind == Kind::kKey && platform::EqualNoCase(p.name, key)) {
      *value = p.value;
      return true;
    }
  }
  return false;
}

Entries SectionEntries(const std::string& text, const std::string& section) {
  Entries entries;
  std::vector<Line> lines = SplitLines(text);
  size_t header, past;
  if (!FindSection(text, lines, section, &header, &past)) return entries;
  for (size_t i = header + 1; i < past; ++i) {
    Parsed p = ParseLine(text, lines[i]);
    if (p.kind == Kind::kKey) entries.emplace_back(p.name, p.value);
  }
  return entries;
}

std::string SetValue(const std::string& text, const std::string& section, const std::string& key,
                     const std::string* value, bool* changed) {
  *changed = false;
  const std::string eol = LineEndOf(text);
  std::vector<Line> lines = SplitLines(text);
  size_t header, past;
  if (!FindSection(text, lines, section, &header, &past)) {
    if (value == nullptr) return text;
    std::string out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + section + "]" + eol + key + "=" + *value + eol;
    *changed = true;
    return out;
  }
  for (size_t i = header + 1; i < past; ++i) {
    Parsed p = ParseLine(text, lines[i]);
    if (p.kind != Kind::kKey || !platform::EqualNoCase(p.name, key)) continue;
    std::string out = text.substr(0, lines[i].begin);
    if (value != nullptr) {
      // Keep the key as the file spells it.
      out += p.name + "=" + *value + text.substr(lines[i].end, lines[i].next - lines[i].end);
    }
    out += text.substr(lines[i].next);
    *changed = true;
    return out;
  }
  if (value == nullptr) return text;
  // Append after the section's last non-blank line.
  size_t last = header;
  for (size_t i = header + 1; i < past; ++i) {
    if (!Trim(text, lines[i].begin, lines[i].end).empty()) last = i;
  }
  std::string out = text.substr(0, lines[last].next);
  if (out.empty() || out.back() != '\n') out += eol;
  out += key + "=" + *value + eol;
  out += text.substr(lines[last].next);
  *changed = true;
  return out;
}

int32_t ParseProfileInt(const std::string& value) {
  size_t i = 0;
  while (i < value.size() && (IsBlank(value[i]) || value[i] == '\n')) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  uint32_t result = 0;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    result = result * 10u + static_cast<uint32_t>(value[i++] - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<int32_t>(result);
}

bool IsDamagedText(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < text.size()) {
    const unsigned char c = bytes[at];
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f') return true;
      if (c == 0x7F) return true;
      ++at;
      continue;
    }
    const unicode::Utf8Sequence sequence = unicode::ReadUtf8Sequence(bytes, text.size(), at);
    if (sequence.length == 0) return true;
    at += static_cast<size_t>(sequence.length);
  }
  bool content = false;
  for (const Line& line : SplitLines(text)) {
    const std::string trimmed = Trim(text, line.begin, line.end);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (ParseLine(text, line).kind == Kind::kSection) return false;
    content = true;
  }
  return content;
}

bool ReadTextFile(const std::string& path, std::string* text) {
  text->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok;
}

bool WriteTextFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(&temp[0]);
  if (fd < 0) return false;
  struct stat st {};
  ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  bool ok = true;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool HasProfileValue(const std::string& path, const std::string& section, const std::string& key,
                     std::string* value) {
  std::lock_guard<std::mutex> hold(g_file_lock);
  std::string text;
  ReadTextFile(path, &text);
  return FindValue(text, section, key, value);
}

std::string GetProfileString(const std::string& path, const std::string& section, const std::string& key,
                             const std::string& defaultValue) {
  std::string value;
  return HasProfileValue(path, section, key, &value) ? value : defaultValue;
}

Entries GetProfileSection(const std::string& path, const std::string& section) {
  std::lock_guard<std::mutex> hold(g_file_lock);
  std::string text;
  ReadTextFile(path, &text);
  return SectionEntries(text, section);
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string* value) {
  // Names that would break the file's structure are refused.
  if (section.empty() || key.empty() || section.find_first_of("]\r\n") != std::string::npos ||
      key.find_first_of("=\r\n") != std::string::npos || key[0] == '[' || key[0] == ';')
    return false;
  if (value != nullptr && (value->find('\n') != std::string::npos || value->find('\r') != std::string::npos))
    return false;  // a value holds one line
  std::lock_guard<std::mutex> hold(g_file_lock);
  std::string text;
  if (!ReadTextFile(path, &text) && errno != ENOENT) return false;
  bool changed = false;
  std::string updated = SetValue(text, section, key, value, &changed);
  if (!changed) return true;
  return WriteTextFileAtomically(path, updated);
}

}  // namespace ini
}  // namespace base
