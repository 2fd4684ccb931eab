// The desktop's application folders of one test run, so that the only
// handler of a type ("open" a folder) is one the test installs: XDG data
// and configuration folders of its own, where the system's data folders are
// mirrored by links except their applications (MIME database, icons and
// schemas stay). Call Make before GLib reads the folders (before GTK starts).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

namespace qenui_gtk_test {

class PrivateApplications {
 public:
  // False when the folders could not be made.
  bool Make() {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/private_apps_XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    root_ = tmpl;
    const std::string data = root_ + "/data", config = root_ + "/config", system = root_ + "/system";
    std::error_code ec;
    for (const std::string& d : {data, config, system}) fs::create_directories(d, ec);
    const char* dirs = getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(list, dir, ':');) {
      for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const fs::path name = e.path().filename();
        if (name == "applications" || fs::exists(system / name, ec)) continue;
        fs::create_directory_symlink(e.path(), system / name, ec);
      }
    }
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_DIRS", system.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", config.c_str(), 1);
    return true;
  }
  void Remove() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);  // links, not what they point at
  }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace qenui_gtk_test
