// Ending processes by image name or by the folder their executable lies in.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/process_list.h"
#include "platform/text_case.h"
#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"

namespace setupaide {
namespace {

// How long the ended processes get, together, to go away after SIGTERM.
constexpr std::chrono::milliseconds kEndTimeout(5000);

void ListInto(const std::string& folder, std::vector<std::string>* files) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (struct dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // ".", ".." and hidden names
    const std::string path = folder + "/" + entry->d_name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISLNK(info.st_mode)) continue;  // never leave the folder through a link
    if (S_ISDIR(info.st_mode)) {
      ListInto(path, files);
    } else if (S_ISREG(info.st_mode)) {
      files->push_back(path);
    }
  }
  closedir(dir);
}

}  // namespace

std::vector<std::string> ListFolderFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  ListInto(root, &files);
  return files;
}

int EndTargets(const std::vector<KillTarget>& targets) {
  std::vector<pid_t> pids;
  std::vector<const KillTarget*> shown;
  const pid_t self = getpid();
  for (const KillTarget& target : targets) {
    if (target.pid == self) continue;  // ending ourselves would cut the scan short
    pids.push_back(target.pid);
    shown.push_back(&target);
  }
  const std::vector<platform::EndResult> results = platform::EndProcesses(pids, kEndTimeout);
  int ended = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i] == platform::EndResult::kEnded) {
      ++ended;
    } else {
      std::printf("Kill Faild %s \n", shown[i]->shown_path.c_str());
      std::fflush(stdout);
    }
  }
  return ended;
}

}  // namespace setupaide

void KillProcessA(const char* image_name) {
  if (image_name == nullptr) return;
  const std::string wanted = image_name;
  std::vector<setupaide::KillTarget> targets;
  for (const platform::ProcessEntry& process : platform::ListProcesses()) {
    size_t slash = process.image_path.rfind('/');
    std::string file_name =
        slash == std::string::npos ? process.image_path : process.image_path.substr(slash + 1);
    if (platform::EqualNoCase(file_name, wanted)) {
      targets.push_back({process.pid, process.image_path});
    }
  }
  setupaide::EndTargets(targets);
}

int KillProcessByFolder(const char16_t* folder) {
  if (folder == nullptr) return 0;
  // Executables are reported with their links resolved, so list the folder
  // by its resolved path too. File names on this platform are case-sensitive:
  // a file matches a process only when the paths are equal.
  const std::string given = setupaide::ToUtf8(folder);
  char resolved[PATH_MAX];
  if (given.empty() || realpath(given.c_str(), resolved) == nullptr) return 0;
  const std::vector<std::string> files = setupaide::ListFolderFiles(resolved);
  if (files.empty()) return 0;
  const std::set<std::string> file_set(files.begin(), files.end());
  std::vector<setupaide::KillTarget> targets;
  for (const platform::ProcessEntry& process : platform::ListProcesses()) {
    if (file_set.count(process.image_path) != 0) {
      targets.push_back({process.pid, process.image_path});
    }
  }
  // The notification area drops icons of ended programs by itself here.
  return setupaide::EndTargets(targets);
}
