// The setup library's exports: a device's setup as a udev rule for its
// vendor (see kitplanter.h).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "kitplanter.h"
#include "udev_rule.h"

namespace kitplanter {

namespace {

// The package of the next setup on this thread (set just before it).
thread_local std::u16string t_package_path;

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
              static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

bool AnyUsable(const std::vector<std::string>& nodes) {
  for (const std::string& node : nodes) {
    if (NodeUsable(node)) return true;
  }
  return false;
}

int Setup(const std::u16string& bus_id) {
  const std::optional<UsbId> id = ParseBusId(bus_id);
  if (!id) {
    std::fprintf(stderr, "Kitplanter: not a USB bus id: %s\n", ToUtf8(bus_id).c_str());
    return QEN_SETUP_ERROR_UNKNOWN;
  }
  if (!t_package_path.empty()) {
    struct stat st;
    if (::stat(ToUtf8(t_package_path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return QEN_SETUP_INVALID_PATH;
  }
  const std::string sysfs = Env("KITPLANTER_SYSFS_ROOT", "/sys");
  const std::string dev = Env("KITPLANTER_DEV_ROOT", "/dev");
  const std::vector<std::string> nodes = FindDeviceNodes(sysfs, dev, *id);
  if (AnyUsable(nodes)) return QEN_SETUP_SUCCESS;  // nothing to set up

  const std::string folder = Env("KITPLANTER_RULES_DIR", "/etc/udev/rules.d");
  const std::string name = RuleFileName(id->vendor_id);
  const std::string rule = RuleText(id->vendor_id);
  std::string error;
  if (WriteRuleFile(folder, name, rule, &error) == WriteResult::kFailed) {
    std::fprintf(stderr, "Kitplanter: cannot write %s/%s (%s); install this rule as root:\n%s", folder.c_str(),
                 name.c_str(), error.c_str(), rule.c_str());
    return QEN_SETUP_ERROR_UNKNOWN;
  }

  const std::string udevadm = Env("KITPLANTER_UDEVADM", "udevadm");
  const int timeout_ms = std::atoi(Env("KITPLANTER_TIMEOUT_MS", "10000").c_str());
  const std::chrono::milliseconds timeout(timeout_ms > 0 ? timeout_ms : 10000);
  char vendor_match[32];
  std::snprintf(vendor_match, sizeof vendor_match, "idVendor=%04x", id->vendor_id);
  if (RunTool({udevadm, "control", "--reload-rules"}, timeout) != 0 ||
      RunTool({udevadm, "trigger", "--action=add", "--subsystem-match=usb", std::string("--attr-match=") + vendor_match},
              timeout) != 0) {
    std::fprintf(stderr, "Kitplanter: %s/%s is in place, but udev did not take it; plug the device in again\n",
                 folder.c_str(), name.c_str());
    return QEN_SETUP_SUCCESS_REBOOT;
  }
  RunTool({udevadm, "settle", "--timeout=5"}, timeout);
  // Absent now: the rule serves it when it is plugged in. Present: it must
  // have become usable, or it needs plugging in again.
  return nodes.empty() || AnyUsable(nodes) ? QEN_SETUP_SUCCESS : QEN_SETUP_SUCCESS_REBOOT;
}

}  // namespace

}  // namespace kitplanter

KITPLANTER_API void QENSetDevType(int) {}

KITPLANTER_API void QENSetExeFirst(int) {}

KITPLANTER_API void QENSetDriverPackage(const char16_t* path, int) {
  kitplanter::t_package_path = path ? path : u"";
}

KITPLANTER_API int QENKitplanter(const char16_t* bus_id) {
  const int result = kitplanter::Setup(bus_id ? bus_id : u"");
  kitplanter::t_package_path.clear();  // one package, one setup
  return result;
}
