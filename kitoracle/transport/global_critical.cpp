#include "transport/global_critical.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/kit_log.h"
#include "platform/user_folders.h"
#include "wire/text.h"

namespace kitoracle {
namespace {

bool IsPrivateDir(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

bool StartsWithGlobal(const std::u16string& name) {
  static const char16_t kPrefix[] = u"global\\";
  for (size_t i = 0; i < 7; ++i) {
    char16_t c = name[i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    if (c != kPrefix[i]) return false;
  }
  return true;
}

}  // namespace

CGlobalCritical::~CGlobalCritical() {
  if (fd_ >= 0) close(fd_);
}

std::string CGlobalCritical::PrivateFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsPrivateDir(runtime)) return runtime;
  std::string dir = platform::TempDir() + "/phonedeck-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  return IsPrivateDir(dir) ? dir : std::string();
}

std::string CGlobalCritical::LockFilePath(const std::string& folder, const std::u16string& name) {
  std::string file;
  for (size_t i = 7; i < name.size(); ++i) {
    char16_t c = name[i];
    bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
                c == u'_' || c == u'.' || c == u'{' || c == u'}';
    file += keep ? char(c) : '_';
  }
  if (file.empty() || file[0] == '.') file.insert(file.begin(), '_');
  return folder + "/" + file + ".lock";
}

bool CGlobalCritical::SetName(const std::u16string& name) {
  if (name.empty()) {
    KIT_LOG("error 全局互斥的名称不能为空!");
    return false;
  }
  if (name.size() < 8 || !StartsWithGlobal(name)) {
    KIT_LOG("error 全局互斥的名称必须以Global\\开头[%s]!", ToUtf8(name.c_str()).c_str());
    return false;
  }
  if (fd_ >= 0 && name == name_) return true;
  std::string folder = PrivateFolder();
  int fd = -1;
  if (!folder.empty()) {
    std::string path = LockFilePath(folder, name);
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid())) {
      close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    KIT_LOG("error CGlobalCritical CreateSemaphore OpenSemaphore");
    KIT_LOG_ERRNO();
    return false;
  }
  std::lock_guard<std::mutex> hold(threads_);
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  name_ = name;
  return true;
}

void CGlobalCritical::Enter() {
  threads_.lock();
  while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void CGlobalCritical::Leave() {
  if (fd_ >= 0) flock(fd_, LOCK_UN);
  threads_.unlock();
}

}  // namespace kitoracle
