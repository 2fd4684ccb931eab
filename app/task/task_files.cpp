#include "app/task/task_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/task/task_records.h"
#include "foundation/base/code_page.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The download folder, opened, when `file` names an entry in it; -1
// otherwise. `name` receives the entry's name.
int OpenFolderOf(const std::u16string& download_folder, const std::u16string& file, std::string* name) {
  const std::string folder = WStringToAnsi(download_folder);
  const std::string path = WStringToAnsi(file);
  const size_t slash = path.rfind('/');
  if (folder.empty() || slash == std::string::npos) return -1;
  *name = path.substr(slash + 1);
  if (name->empty() || *name == "." || *name == "..") return -1;
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat own {}, named {};
  if (::fstat(fd, &own) != 0 || ::stat(parent.c_str(), &named) != 0 || own.st_dev != named.st_dev ||
      own.st_ino != named.st_ino) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool IsRegularIn(int folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

bool RemoveRegularIn(int folder, const std::string& name) {
  return IsRegularIn(folder, name) && ::unlinkat(folder, name.c_str(), 0) == 0;
}

std::string ApkTail(uint32_t id) { return "_" + WStringToAnsi(TaskIdText(id)) + ".apk"; }

}  // namespace

bool RemoveOwnDownload(const std::u16string& download_folder, const std::u16string& file, uint32_t id) {
  std::string name;
  const int folder = OpenFolderOf(download_folder, file, &name);
  if (folder < 0) return false;
  const bool removed = EndsWith(name, ApkTail(id)) && RemoveRegularIn(folder, name);
  ::close(folder);
  return removed;
}

int RemovePartFiles(const std::u16string& download_folder, const std::u16string& apk, uint32_t id) {
  std::string name;
  const int folder = OpenFolderOf(download_folder, apk, &name);
  if (folder < 0) return 0;
  int removed = 0;
  if (EndsWith(name, ApkTail(id))) {
    for (const char* tail : {".td", ".td.cfg"}) removed += RemoveRegularIn(folder, name + tail) ? 1 : 0;
  }
  ::close(folder);
  return removed;
}
