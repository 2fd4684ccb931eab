#include "platform/process_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace platform {
namespace {

bool ParsePid(const char* name, pid_t* pid) {
  if (name[0] < '1' || name[0] > '9') return false;
  char* end = nullptr;
  long value = std::strtol(name, &end, 10);
  if (*end != '\0' || value <= 0 || value > INT_MAX) return false;
  *pid = static_cast<pid_t>(value);
  return true;
}

// The fields of /proc/<pid>/stat after the command: the state letter ('R',
// 'S', 'Z', ...) and the parent's id. False when unreadable.
bool ReadStat(pid_t pid, char* state, pid_t* parent) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[512];
  ssize_t n = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (n <= 0) return false;
  buffer[n] = '\0';
  // "pid (comm) S ppid ...": the command may hold ')' itself, so take the last one.
  const char* close_paren = std::strrchr(buffer, ')');
  if (close_paren == nullptr || close_paren[1] != ' ' || close_paren[2] == '\0') return false;
  *state = close_paren[2];
  long ppid = 0;
  if (std::sscanf(close_paren + 3, " %ld", &ppid) != 1 || ppid < 0 || ppid > INT_MAX) return false;
  *parent = static_cast<pid_t>(ppid);
  return true;
}

// The state letter of /proc/<pid>/stat, or 0 when unreadable.
char ProcessState(pid_t pid) {
  char state = 0;
  pid_t parent = 0;
  return ReadStat(pid, &state, &parent) ? state : 0;
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> result;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return result;
  while (struct dirent* entry = readdir(proc)) {
    pid_t pid = 0;
    if (!ParsePid(entry->d_name, &pid)) continue;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(pid));
    char target[PATH_MAX];
    ssize_t n = readlink(link, target, sizeof target);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof target)) continue;
    char dir[64];
    std::snprintf(dir, sizeof dir, "/proc/%d", static_cast<int>(pid));
    struct stat st;
    if (stat(dir, &st) != 0) continue;
    result.push_back(ProcessEntry{pid, std::string(target, static_cast<size_t>(n)), st.st_uid});
  }
  closedir(proc);
  return result;
}

std::set<unsigned long> ListeningTcpInodes() {
  std::set<unsigned long> inodes;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
      unsigned long inode = 0;
      if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode))
        continue;
      if (state == "0A" && inode != 0) inodes.insert(inode);
    }
  }
  return inodes;
}

bool HoldsAnySocket(pid_t pid, const std::set<unsigned long>& inodes) {
  if (inodes.empty()) return false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/fd", static_cast<int>(pid));
  DIR* fds = opendir(path);
  if (fds == nullptr) return false;
  bool holds = false;
  while (struct dirent* entry = readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    const std::string link = std::string(path) + "/" + entry->d_name;
    char target[64];
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    unsigned long inode = 0;
    if (std::sscanf(target, "socket:[%lu]", &inode) == 1 && inodes.count(inode) > 0) {
      holds = true;
      break;
    }
  }
  closedir(fds);
  return holds;
}

pid_t ParentProcessId(pid_t pid) {
  char state = 0;
  pid_t parent = 0;
  return ReadStat(pid, &state, &parent) ? parent : 0;
}

bool IsDescendantOf(pid_t pid, pid_t ancestor) {
  if (pid <= 0 || ancestor <= 0 || pid == ancestor) return false;
  // A chain of parents ends at 0 (the kernel's) or at an unreadable entry;
  // the bound stops a chain that changes under us from looping.
  for (int depth = 0; depth < 4096 && pid > 1; ++depth) {
    pid = ParentProcessId(pid);
    if (pid == ancestor) return true;
  }
  return false;
}

bool IsProcessGone(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  char state = ProcessState(pid);
  return state == 0 || state == 'Z' || state == 'X';
}

std::vector<EndResult> EndProcesses(const std::vector<pid_t>& pids,
                                    std::chrono::milliseconds timeout) {
  std::vector<EndResult> results(pids.size(), EndResult::kTimedOut);
  std::vector<bool> waiting(pids.size(), false);
  for (size_t i = 0; i < pids.size(); ++i) {
    if (pids[i] <= 0 || kill(pids[i], SIGTERM) != 0) {
      results[i] = (pids[i] > 0 && errno == ESRCH) ? EndResult::kEnded : EndResult::kRefused;
    } else {
      waiting[i] = true;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    bool any_left = false;
    for (size_t i = 0; i < pids.size(); ++i) {
      if (!waiting[i]) continue;
      if (IsProcessGone(pids[i])) {
        waiting[i] = false;
        results[i] = EndResult::kEnded;
      } else {
        any_left = true;
      }
    }
    if (!any_left || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return results;
}

}  // namespace platform
