// The _base_ functions for files, folders, path pieces and well-known folders.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "utility/base_file.h"
#include "utility/os/os_env.h"

using utility_os::NativePath;

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Deletes the contents of the open folder dirFd, then closes it. Links are
// removed as entries, never followed.
bool DeleteContents(int dirFd) {
  DIR* dir = fdopendir(dirFd);
  if (dir == nullptr) {
    close(dirFd);
    return false;
  }
  bool ok = true;
  while (ok) {
    errno = 0;
    dirent* entry = readdir(dir);
    if (entry == nullptr) {
      ok = errno == 0;
      break;
    }
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    struct stat st;
    if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = false;
      break;
    }
    if (S_ISDIR(st.st_mode)) {
      const int child = openat(dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      ok = child >= 0 && DeleteContents(child) && unlinkat(dirfd(dir), name, AT_REMOVEDIR) == 0;
    } else {
      ok = unlinkat(dirfd(dir), name, 0) == 0;
    }
  }
  closedir(dir);
  return ok;
}

// A copy onto the source itself (the same name, a link to it, another name
// of the same file) is refused: opening the target would empty the source.
bool CopyFileBytes(const std::string& source, const std::string& target) {
  FILE* in = std::fopen(source.c_str(), "rb");
  if (in == nullptr) return false;
  struct stat from, to;
  if (fstat(fileno(in), &from) == 0 && stat(target.c_str(), &to) == 0 && from.st_dev == to.st_dev &&
      from.st_ino == to.st_ino) {
    std::fclose(in);
    return false;
  }
  FILE* out = std::fopen(target.c_str(), "wb");
  if (out == nullptr) {
    std::fclose(in);
    return false;
  }
  char block[64 * 1024];
  bool ok = true;
  size_t n;
  while ((n = std::fread(block, 1, sizeof(block), in)) > 0) {
    if (std::fwrite(block, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  if (std::fclose(out) != 0) ok = false;
  return ok;
}

int FindFiles(const std::string& folder, const char* prefix, std::list<std::string>& files) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  const size_t prefixLen = prefix ? std::strlen(prefix) : 0;
  int result = 1;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (*name == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (FindFiles(path, prefix, files) == 0) result = 0;
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      struct stat target;
      if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) continue;
    }
    if (prefixLen == 0 || strncasecmp(name, prefix, prefixLen) == 0) files.push_back(path);
  }
  closedir(dir);
  return result;
}

}  // namespace

int _base_create_file(const char* path, bool) {
  if (path == nullptr) return 0;
  FILE* f = std::fopen(NativePath(path).c_str(), "wb");
  if (f == nullptr) return 0;
  return std::fclose(f) == 0 ? 1 : 0;
}

int _base_copy_file(const char* source, const char* target, bool) {
  if (source == nullptr || target == nullptr) return 0;
  return CopyFileBytes(NativePath(source), NativePath(target)) ? 1 : 0;
}

int _base_delete_file(const char* path) {
  if (path == nullptr) return 0;
  return unlink(NativePath(path).c_str()) == 0 ? 1 : 0;
}

bool _base_is_file_exist(const char* path) {
  struct stat st;
  return path != nullptr && stat(NativePath(path).c_str(), &st) == 0;
}

bool _base_rename_file(const char* oldPath, const char* newPath) {
  if (oldPath == nullptr || newPath == nullptr) return false;
  return std::rename(NativePath(oldPath).c_str(), NativePath(newPath).c_str()) == 0;
}

std::string _base_get_ext_name(const char* path) {
  if (path == nullptr) return std::string();
  const std::string name = _base_get_name(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string _base_get_name(const char* path) {
  if (path == nullptr) return std::string();
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (IsSeparator(*p)) name = p + 1;
  }
  return name;
}

std::string _base_get_file_dir(const char* path) {
  if (path == nullptr) return std::string();
  const std::string text = path;
  const size_t cut = text.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

int _base_create_dir(const char* path, bool replace) {
  if (path == nullptr || *path == '\0') return 0;
  const std::string native = NativePath(path);
  if (_base_is_dir_exist(path)) {
    if (!replace) return 1;
    if (_base_delete_dir(path) == 0) return 0;
  }
  return mkdir(native.c_str(), 0777) == 0 ? 1 : 0;
}

int _base_copy_dir(const char*, const char*, bool) { return -1; }

int _base_delete_dir(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  const std::string native = NativePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return 0;
  if (!S_ISDIR(st.st_mode)) {
    // A link (or a file) in the folder's place: remove it, not its target.
    return S_ISLNK(st.st_mode) && unlink(native.c_str()) == 0 ? 1 : 0;
  }
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 || !DeleteContents(fd)) return 0;
  return rmdir(native.c_str()) == 0 ? 1 : 0;
}

bool _base_is_dir_exist(const char* path) { return _base_is_file_exist(path); }

bool _base_is_dir(const char* path) {
  struct stat st;
  return path != nullptr && stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int _base_find_file(const char* folder, std::list<std::string>& files) {
  return _base_find_file(folder, nullptr, files);
}

int _base_find_file(const char* folder, const char* prefix, std::list<std::string>& files) {
  if (folder == nullptr) return 0;
  return FindFiles(NativePath(folder), prefix, files);
}

int _base_copy_file_list(const char* targetFolder, const std::list<std::string>& files) {
  if (targetFolder == nullptr) return 0;
  const std::string folder = NativePath(targetFolder);
  int copied = 0;
  for (const std::string& path : files) {
    const std::string target = folder + "/" + _base_get_name(path.c_str());
    if (CopyFileBytes(NativePath(path.c_str()), target)) ++copied;
  }
  return copied;
}

int _base_get_file_stat(const char* path, struct stat* record) {
  if (path == nullptr || record == nullptr) return -1;
  return stat(NativePath(path).c_str(), record);
}

std::string _base_get_system_dir() { return std::string(); }
std::string _base_get_window_dir() { return std::string(); }

namespace {
std::string BelowWindowDir(const char* leaf) {
  const std::string windows = _base_get_window_dir();
  return windows.empty() ? std::string() : windows + leaf;
}
}  // namespace

std::string _base_get_inf_dir() { return BelowWindowDir("/inf"); }
std::string _base_get_driver_dir() { return BelowWindowDir("/driver"); }
std::string _base_get_help_dir() { return BelowWindowDir("/help"); }

std::string _base_get_app_path() {
  const std::string exe = utility_os::ExecutablePath();
  const size_t cut = exe.rfind('/');
  return cut == std::string::npos ? std::string() : exe.substr(0, cut);
}

std::string _base_get_current_dir() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof(buf)) != nullptr ? std::string(buf) : std::string();
}

bool _base_set_current_dir(const char* path) {
  return path != nullptr && chdir(NativePath(path).c_str()) == 0;
}

std::string _base_get_special_dir(int) {
  std::string documents;
  if (const char* xdg = std::getenv("XDG_DOCUMENTS_DIR"); xdg != nullptr && *xdg == '/') {
    documents = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    documents = std::string(home) + "/Documents";
  } else {
    return std::string();
  }
  if (!_base_is_dir(documents.c_str()) && mkdir(documents.c_str(), 0700) != 0) return std::string();
  return documents;
}

std::string _base_get_system_temp_path() {
  std::string temp = "/tmp";
  if (const char* env = std::getenv("TMPDIR"); env != nullptr && *env == '/') temp = env;
  if (temp.back() != '/') temp += '/';
  return temp;
}
