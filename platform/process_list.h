// The running processes of this machine, read from /proc, and ending them.
// A process is ended by SIGTERM and then waited for with a time-out; nothing
// is killed by force.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  pid_t pid = 0;
  std::string image_path;  // target of /proc/<pid>/exe (absolute, symbolic links resolved)
  uid_t uid = 0;           // owner of /proc/<pid> (the process's real user)
};

// Every process whose executable can be read (the caller's own included);
// processes of other users that may not be inspected are left out.
std::vector<ProcessEntry> ListProcesses();

// The socket inodes of every TCP socket in the listening state (IPv4 and
// IPv6), from /proc/net/tcp and /proc/net/tcp6.
std::set<unsigned long> ListeningTcpInodes();
// True when the process holds one of `inodes` open (its /proc/<pid>/fd must
// be readable: the caller's own processes).
bool HoldsAnySocket(pid_t pid, const std::set<unsigned long>& inodes);

// The parent of a process (from /proc/<pid>/stat); 0 when it cannot be read.
pid_t ParentProcessId(pid_t pid);
// True when `ancestor` started `pid`, directly or through its children: the
// chain of parents of `pid` reaches `ancestor`. A process whose parent ended
// has been adopted by init (or a subreaper) and no longer counts.
bool IsDescendantOf(pid_t pid, pid_t ancestor);

// True when the process no longer runs: gone, or a zombie waiting for its parent.
bool IsProcessGone(pid_t pid);

enum class EndResult {
  kEnded,    // the process went away within the time-out
  kRefused,  // the signal could not be sent (another user's process, ...)
  kTimedOut  // still running when the time-out expired
};

// Sends SIGTERM to each process, then waits (one shared deadline) until each
// is gone. Results are in the order of `pids`.
std::vector<EndResult> EndProcesses(const std::vector<pid_t>& pids,
                                    std::chrono::milliseconds timeout);

}  // namespace platform
