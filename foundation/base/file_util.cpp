#include "foundation/base/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/base/code_page.h"

namespace {

std::string Utf8(const std::u16string& path) { return WStringToMultiByte(path, CP_UTF8); }

// Empties the folder open as `dirFd` (which it closes), depth first.
bool EmptyFolder(int dirFd) {
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return false;
  }
  bool ok = true;
  while (ok) {
    struct dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = false;
      break;
    }
    if (S_ISDIR(st.st_mode)) {
      int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ok = child >= 0 && EmptyFolder(child) && ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0;
    } else {
      ok = ::unlinkat(dirFd, name.c_str(), 0) == 0;
    }
  }
  ::closedir(dir);
  return ok;
}

}  // namespace

bool FileExists(const std::u16string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(Utf8(path).c_str(), &st) == 0;
}

bool DeleteDirectoryTree(const std::u16string& path) {
  std::string folder = Utf8(path);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  if (!EmptyFolder(fd)) return false;
  return ::rmdir(folder.c_str()) == 0;
}

bool PrepareDirectory(const std::u16string& path, bool recreate) {
  if (path.empty()) return false;
  std::string folder = Utf8(path);
  if (FileExists(path)) {
    if (!recreate) return true;
    if (!DeleteDirectoryTree(path)) return false;
  }
  return ::mkdir(folder.c_str(), 0755) == 0;
}
