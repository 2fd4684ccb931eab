// Desktop and menu shortcuts as freedesktop desktop entries.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/text_case.h"
#include "platform/user_folders.h"
#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"

namespace setupaide {
namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         platform::EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// A value of the Exec key: one argument in double quotes with `"`, '`', '$'
// and '\' escaped, and '%' doubled (field codes).
std::string QuoteExecArgument(const std::string& arg) {
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  // The desktop entry format reads backslashes in string values once more.
  std::string escaped;
  for (char c : quoted) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// A string value of a desktop entry: newlines and backslashes escaped.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

bool MakeFolders(const std::string& folder) {
  std::string path;
  size_t pos = 0;
  while (pos <= folder.size()) {
    size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    path = folder.substr(0, next);
    if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    pos = next + 1;
  }
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int CreateShortcutIn(const char16_t* target, const char16_t* link_name, const std::string& folder) {
  if (target == nullptr || link_name == nullptr) return 0;
  return CreateShortcut(ToUtf8(target), folder, ToUtf8(link_name));
}

}  // namespace

std::optional<std::string> DesktopEntryFileName(const std::string& link_name) {
  if (link_name.empty() || link_name.find('/') != std::string::npos || link_name == "." ||
      link_name == "..") {
    return std::nullopt;
  }
  if (EndsWithNoCase(link_name, ".desktop")) return link_name;
  std::string base = link_name;
  if (EndsWithNoCase(base, ".lnk")) base.erase(base.size() - 4);
  if (base.empty()) return std::nullopt;
  return base + ".desktop";
}

std::string DesktopEntryText(const std::string& target, const std::string& name) {
  std::string folder = target;
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? std::string() : (slash == 0 ? "/" : folder.substr(0, slash));
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
  text += "Name=" + EscapeValue(name) + "\n";
  text += "Exec=" + QuoteExecArgument(target) + "\n";
  if (!folder.empty()) text += "Path=" + EscapeValue(folder) + "\n";
  text += "Terminal=false\n";
  return text;
}

int CreateShortcut(const std::string& target, const std::string& folder,
                   const std::string& link_name) {
  const std::optional<std::string> file_name = DesktopEntryFileName(link_name);
  if (target.empty() || folder.empty() || !file_name) return 0;
  if (!MakeFolders(folder)) return 0;
  const std::string final_path = folder + "/" + *file_name;
  std::string temp_path = folder + "/." + *file_name + ".XXXXXX";
  int fd = mkstemp(&temp_path[0]);
  if (fd < 0) return 0;
  const std::string shown_name = file_name->substr(0, file_name->size() - 8);
  bool ok = WriteAll(fd, DesktopEntryText(target, shown_name)) && fchmod(fd, 0755) == 0 &&
            fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp_path.c_str(), final_path.c_str()) == 0;
  if (!ok) unlink(temp_path.c_str());
  return ok ? 1 : 0;
}

}  // namespace setupaide

int CreateDestopShortcut(const char16_t* target, const char16_t* link_name) {
  return setupaide::CreateShortcutIn(target, link_name, platform::DesktopDir());
}

int CreateStartMenuShortCut(const char16_t* target, const char16_t* link_name) {
  return setupaide::CreateShortcutIn(target, link_name, platform::ApplicationsDir());
}
