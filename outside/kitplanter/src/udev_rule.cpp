#include "udev_rule.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kitplanter {

namespace {

std::optional<uint16_t> HexAfter(const std::u16string& text, const std::u16string& tag) {
  if (text.size() < tag.size() + 4) return std::nullopt;
  for (size_t i = 0; i < tag.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != tag[i]) return std::nullopt;
  }
  uint16_t value = 0;
  for (size_t i = tag.size(); i < tag.size() + 4; ++i) {
    const char16_t c = text[i];
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else return std::nullopt;
    value = static_cast<uint16_t>(value << 4 | digit);
  }
  return value;
}

std::string ReadAttr(const std::string& dir, const char* name) {
  std::ifstream f(dir + "/" + name);
  std::string value;
  if (f) std::getline(f, value);
  return value;
}

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::stringstream s;
  s << f.rdbuf();
  *text = s.str();
  return true;
}

}  // namespace

std::optional<UsbId> ParseBusId(const std::u16string& bus_id) {
  // USB\VID_xxxx&PID_xxxx
  auto vendor = HexAfter(bus_id, u"USB\\VID_");
  if (!vendor) return std::nullopt;
  auto product = HexAfter(bus_id.substr(12), u"&PID_");
  if (!product) return std::nullopt;
  return UsbId{*vendor, *product};
}

std::string RuleText(uint16_t vendor_id) {
  char text[256];
  std::snprintf(text, sizeof text,
                "# Phonedeck: access to the USB devices of vendor %04x (Android phones) for the user at the seat.\n"
                "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"\n",
                vendor_id, vendor_id);
  return text;
}

std::string RuleFileName(uint16_t vendor_id) {
  char name[64];
  std::snprintf(name, sizeof name, "51-phonedeck-%04x.rules", vendor_id);
  return name;
}

WriteResult WriteRuleFile(const std::string& folder, const std::string& name, const std::string& text,
                          std::string* error) {
  const std::string path = folder + "/" + name;
  std::string present;
  if (ReadWhole(path, &present) && present == text) return WriteResult::kUnchanged;
  std::string temp = folder + "/." + name + ".XXXXXX";
  int fd = ::mkstemp(&temp[0]);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return WriteResult::kFailed;
  }
  bool ok = ::fchmod(fd, 0644) == 0;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  int saved = errno;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    saved = errno ? errno : saved;
    ::unlink(temp.c_str());
    if (error) *error = std::strerror(saved);
    return WriteResult::kFailed;
  }
  return WriteResult::kWritten;
}

std::vector<std::string> FindDeviceNodes(const std::string& sysfs_root, const std::string& dev_root, UsbId id) {
  std::vector<std::string> nodes;
  const std::string devices = sysfs_root + "/bus/usb/devices";
  DIR* d = ::opendir(devices.c_str());
  if (!d) return nodes;
  char wanted_vendor[8], wanted_product[8];
  std::snprintf(wanted_vendor, sizeof wanted_vendor, "%04x", id.vendor_id);
  std::snprintf(wanted_product, sizeof wanted_product, "%04x", id.product_id);
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.' || std::strchr(e->d_name, ':')) continue;  // interfaces have a ':'
    const std::string dir = devices + "/" + e->d_name;
    if (ReadAttr(dir, "idVendor") != wanted_vendor || ReadAttr(dir, "idProduct") != wanted_product) continue;
    const int bus = std::atoi(ReadAttr(dir, "busnum").c_str());
    const int dev = std::atoi(ReadAttr(dir, "devnum").c_str());
    if (bus <= 0 || dev <= 0 || bus > 999 || dev > 999) continue;
    char node[64];
    std::snprintf(node, sizeof node, "/bus/usb/%03d/%03d", bus, dev);
    nodes.push_back(dev_root + node);
  }
  ::closedir(d);
  return nodes;
}

bool NodeUsable(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

int RunTool(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = argv[0].find('/') == std::string::npos
                          ? ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ)
                          : ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;

  // True once the child ended; *lost when its end can no longer be learnt
  // (waitpid failed, as when the host ignores SIGCHLD): its outcome is then
  // unknown, never "exited 0".
  auto wait_until = [pid](std::chrono::steady_clock::time_point end, int* status, bool* lost) {
    for (;;) {
      const pid_t r = ::waitpid(pid, status, WNOHANG);
      if (r == pid) return true;
      if (r < 0 && errno != EINTR) {
        *lost = true;
        return true;
      }
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  int status = 0;
  bool lost = false;
  if (wait_until(std::chrono::steady_clock::now() + timeout, &status, &lost)) {
    return !lost && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Too slow: asked to end, then ended.
  ::kill(pid, SIGTERM);
  if (!wait_until(std::chrono::steady_clock::now() + std::chrono::seconds(1), &status, &lost)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  return -1;
}

}  // namespace kitplanter
