#include "foundation/base/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>  // renameat2 (_GNU_SOURCE)
#include <ctime>

#include "foundation/base/code_page.h"

namespace {

std::string Utf8(const std::u16string& path) { return WStringToMultiByte(path, CP_UTF8); }

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

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

// Renames without ever replacing a file: false (EEXIST) when `to` exists.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A filesystem without the flag: a second name, then the first one goes.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
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

bool CopyFileReplacing(const std::u16string& from_path, const std::u16string& to_path) {
  const std::string from = Utf8(from_path);
  const std::string to = Utf8(to_path);
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  std::string temp = to + ".XXXXXX";
  const int out = ::mkstemp(&temp[0]);  // O_EXCL, mode 0600
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char block[65536];
  for (;;) {
    const ssize_t n = ::read(in, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, block, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  // rename replaces `to` itself, never a file a link there points to.
  if (ok && ::rename(temp.c_str(), to.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::u16string MoveAsideDated(const std::u16string& path, std::initializer_list<const char16_t*> companions) {
  if (path.empty()) return std::u16string();
  const std::string from = Utf8(path);
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  char stamp[32] = {0};
  if (::localtime_r(&now, &local) == nullptr || std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) {
    return std::u16string();
  }
  const std::string dated = from + ".damaged-" + stamp;
  for (int n = 1; n <= 100; ++n) {
    const std::string to = n == 1 ? dated : dated + "-" + std::to_string(n);
    if (!RenameNoReplace(from, to)) {
      if (errno == EEXIST) continue;
      return std::u16string();
    }
    for (const char16_t* suffix : companions) {
      const std::string tail = Utf8(suffix);
      RenameNoReplace(from + tail, to + tail);  // a missing companion is no failure
    }
    return MultiByteToWString(to, CP_UTF8);
  }
  return std::u16string();
}
