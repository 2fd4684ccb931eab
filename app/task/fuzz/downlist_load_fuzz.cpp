// libFuzzer target: downlist.dat as the task manager loads it at start, from
// arbitrary bytes. The first byte chooses which apk files exist; the rest is
// the file. Checks: no crash, no leak; the ids given are distinct; a load
// that rewrote the file gives the same tasks again without a second write;
// a file moved aside keeps its bytes.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/task/task_list_file.h"
#include "foundation/base/code_page.h"

namespace {

std::string g_dir;

// Every file in the run's folder, then the folder (at exit).
void EmptyFolder() {
  if (DIR* dir = opendir(g_dir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") unlink((g_dir + "/" + name).c_str());
    }
    closedir(dir);
  }
}

void RemoveFolder() {
  EmptyFolder();
  rmdir(g_dir.c_str());
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Listing() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(g_dir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (g_dir.empty()) {
    char pattern[] = "/tmp/downlist_load_fuzz.XXXXXX";
    if (!mkdtemp(pattern)) return 0;
    g_dir = pattern;
    std::atexit(RemoveFolder);
  }
  EmptyFolder();
  const uint8_t choice = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = g_dir + "/downlist.dat";
  {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  // An apk "exists" by a bit of its path's length: some kept, some dropped.
  auto exists = [choice](const std::u16string& file) { return ((choice >> (file.size() % 8)) & 1) != 0; };
  const std::u16string list = AnsiToWString(path);

  const std::vector<SOfflineTask> first = LoadTaskList(list, exists);
  std::set<uint32_t> ids;
  for (const SOfflineTask& task : first) {
    if (!ids.insert(task.task_id).second) __builtin_trap();  // an id listed twice
  }
  for (const std::string& name : Listing()) {
    if (name.rfind("downlist.dat.damaged-", 0) == 0 && Bytes(g_dir + "/" + name) != bytes) __builtin_trap();
  }
  const std::string after_first = Bytes(path);
  const std::vector<SOfflineTask> second = LoadTaskList(list, exists);
  if (second.size() != first.size()) __builtin_trap();
  for (size_t i = 0; i < first.size(); ++i) {
    const SOfflineTask& a = first[i];
    const SOfflineTask& b = second[i];
    if (a.task_id != b.task_id || a.app_name != b.app_name || a.down_url != b.down_url ||
        a.file_path != b.file_path || a.icon_path != b.icon_path) {
      __builtin_trap();  // the rewrite changed a task
    }
  }
  // Once rewritten, the file is stable (unless it was the torn-but-readable
  // case, which is left as it is and so reads the same again).
  if (Bytes(path) != after_first) __builtin_trap();
  return 0;
}
