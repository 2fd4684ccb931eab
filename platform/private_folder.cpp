#include "platform/private_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

std::string Reason(const std::string& path, const std::string& what) { return path + ": " + what; }

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace

bool EnsurePrivateFolder(const std::string& path, std::string* error) {
  std::string ignored;
  std::string& why = error != nullptr ? *error : ignored;
  if (path.empty()) {
    why = "no folder given";
    return false;
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    why = Reason(path, ErrnoText(errno));
    return false;
  }
  // Opened without following a link, so what is checked is what is used.
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      why = Reason(path, "is a symbolic link");
    } else if (err == ENOTDIR) {
      why = Reason(path, "is not a folder");
    } else {
      why = Reason(path, ErrnoText(err));
    }
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) {
    why = Reason(path, ErrnoText(errno));
  } else if (st.st_uid != getuid()) {
    why = Reason(path, "owned by uid " + std::to_string(st.st_uid));
    ok = false;
  } else if ((st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0) {
    why = Reason(path, "open to other users and cannot be narrowed: " + ErrnoText(errno));
    ok = false;
  }
  close(fd);
  return ok;
}

bool CheckOwnDescriptor(int fd, mode_t forbidden_mode, std::string* error) {
  struct stat st;
  if (fstat(fd, &st) != 0) {
    if (error != nullptr) *error = ErrnoText(errno);
    return false;
  }
  if (st.st_uid != getuid()) {
    if (error != nullptr) *error = "owned by uid " + std::to_string(st.st_uid);
    return false;
  }
  if ((st.st_mode & forbidden_mode) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
    if (error != nullptr) *error = std::string("mode ") + mode + " is open to other users";
    return false;
  }
  return true;
}

bool ReadOwnFile(const std::string& path, size_t max_bytes, std::vector<uint8_t>* out, std::string* error) {
  std::string ignored;
  std::string& why = error != nullptr ? *error : ignored;
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = errno == ENOENT ? "missing" : Reason(path, errno == ELOOP ? "is a symbolic link" : ErrnoText(errno));
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) {
    why = Reason(path, ErrnoText(errno));
  } else if (!S_ISREG(st.st_mode)) {
    why = Reason(path, "is not a regular file");
    ok = false;
  } else if (st.st_uid != getuid()) {
    why = Reason(path, "owned by uid " + std::to_string(st.st_uid));
    ok = false;
  } else if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    why = Reason(path, "larger than " + std::to_string(max_bytes) + " bytes");
    ok = false;
  }
  out->clear();
  while (ok) {
    uint8_t chunk[4096];
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = Reason(path, ErrnoText(errno));
      ok = false;
    } else if (n == 0) {
      break;
    } else if (out->size() + static_cast<size_t>(n) > max_bytes) {
      why = Reason(path, "larger than " + std::to_string(max_bytes) + " bytes");
      ok = false;
    } else {
      out->insert(out->end(), chunk, chunk + n);
    }
  }
  close(fd);
  if (!ok) out->clear();
  return ok;
}

bool ReplaceOwnFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  static std::atomic<unsigned> serial{0};
  std::string ignored;
  std::string& why = error != nullptr ? *error : ignored;
  std::string temp;
  int fd = -1;
  // A name another process already took (or planted) is never opened: a
  // fresh one is tried instead.
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    why = Reason(temp, ErrnoText(errno));
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      why = Reason(temp, ErrnoText(errno));
      ok = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (close(fd) != 0 && ok) {
    why = Reason(temp, ErrnoText(errno));
    ok = false;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    why = Reason(path, ErrnoText(errno));
    ok = false;
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace platform
