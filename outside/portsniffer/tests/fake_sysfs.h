// A throw-away sysfs tree for tests: devices with their attribute files and
// the bus/usb/devices links.
#ifndef PORTSNIFFER_TESTS_FAKE_SYSFS_H_
#define PORTSNIFFER_TESTS_FAKE_SYSFS_H_

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace portsniffer {

class FakeSysfs {
 public:
  FakeSysfs() {
    char tmpl[] = "/tmp/portsniffer-sysfs-XXXXXX";
    root_ = mkdtemp(tmpl);
    MakeDirs(root_ + "/bus/usb/devices");
  }
  ~FakeSysfs() { std::system(("rm -rf '" + root_ + "'").c_str()); }
  const std::string& root() const { return root_; }

  void Attr(const std::string& devpath, const std::string& name, const std::string& value) {
    MakeDirs(root_ + devpath);
    std::ofstream(root_ + devpath + "/" + name) << value << "\n";
  }
  void Dir(const std::string& path) { MakeDirs(root_ + path); }
  void Link(const std::string& devpath) {
    std::string name = devpath.substr(devpath.find_last_of('/') + 1);
    ::symlink((root_ + devpath).c_str(), (root_ + "/bus/usb/devices/" + name).c_str());
  }
  // A device with the given interfaces ("ff4201" = class ff, subclass 42, protocol 01).
  void Device(const std::string& devpath, const std::string& vid, const std::string& pid,
              const std::vector<std::string>& interfaces, bool link = true) {
    Attr(devpath, "idVendor", vid);
    Attr(devpath, "idProduct", pid);
    Attr(devpath, "bcdDevice", "0100");
    Attr(devpath, "product", "Pixel");
    Attr(devpath, "manufacturer", "Maker");
    Attr(devpath, "serial", "0123ABC");
    Attr(devpath, "busnum", "1");
    Attr(devpath, "devnum", "5");
    Attr(devpath, "bNumInterfaces", " " + std::to_string(interfaces.size()));
    std::string name = devpath.substr(devpath.find_last_of('/') + 1);
    for (size_t n = 0; n < interfaces.size(); ++n) {
      std::string ipath = devpath + "/" + name + ":1." + std::to_string(n);
      char num[24];
      std::snprintf(num, sizeof num, "%02zx", n);
      Attr(ipath, "bInterfaceNumber", num);
      Attr(ipath, "bInterfaceClass", interfaces[n].substr(0, 2));
      Attr(ipath, "bInterfaceSubClass", interfaces[n].substr(2, 2));
      Attr(ipath, "bInterfaceProtocol", interfaces[n].substr(4, 2));
    }
    if (link) Link(devpath);
  }

 private:
  static void MakeDirs(const std::string& path) {
    for (size_t p = 1; p <= path.size(); ++p) {
      if (p == path.size() || path[p] == '/') ::mkdir(path.substr(0, p).c_str(), 0755);
    }
  }
  std::string root_;
};

}  // namespace portsniffer

#endif  // PORTSNIFFER_TESTS_FAKE_SYSFS_H_
