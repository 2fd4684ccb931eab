#include "app/adb/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/clock.h"

extern char** environ;

namespace adb {
namespace {

constexpr size_t kReadBlock = 4095;
constexpr int kPollSliceMs = 200;       // longest single wait: how soon a cancel is seen
constexpr uint32_t kGraceMs = 2000;     // between SIGTERM and SIGKILL

// Reads what is waiting without blocking; false at EOF or error.
bool DrainAvailable(int fd, std::string& out) {
  char block[kReadBlock];
  for (;;) {
    ssize_t n = read(fd, block, sizeof(block));
    if (n > 0) {
      out.append(block, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#endif
  (void)pid;
  return -1;
}

// Non-blocking reap; true when the child is gone (status filled).
bool TryReap(pid_t pid, int* status) {
  for (;;) {
    pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno == EINTR) continue;
    return false;
  }
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits up to `ms` for the child to end, polling every 10 ms.
bool ReapWithin(pid_t pid, uint32_t ms, int* status) {
  const uint64_t end = platform::MonotonicMs() + ms;
  for (;;) {
    if (TryReap(pid, status)) return true;
    if (platform::MonotonicMs() >= end) return false;
    usleep(10 * 1000);
  }
}

thread_local ChildControl* t_control = nullptr;

}  // namespace

ChildControlScope::ChildControlScope(ChildControl* control) : previous_(t_control) { t_control = control; }

ChildControlScope::~ChildControlScope() { t_control = previous_; }

ChildResult RunChildProcess(const std::string& program, const std::vector<std::string>& args,
                            uint32_t timeout_ms) {
  ChildResult result;
  const ChildControl* control = t_control;
  if (control != nullptr && control->IsCancelled()) {
    result.cancelled = true;
    result.error_code = ECANCELED;
    result.error = "cancelled";
    return result;
  }
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    result.error_code = errno;
    result.error = std::string("pipe: ") + strerror(errno);
    result.pipe_failed = true;
    return result;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const bool search_path = program.find('/') == std::string::npos;
  int rc = search_path ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                       : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    result.error_code = rc;
    result.error = strerror(rc);
    return result;
  }
  result.started = true;

  const int read_fd = pipe_fds[0];
  fcntl(read_fd, F_SETFL, fcntl(read_fd, F_GETFL) | O_NONBLOCK);
  const int pid_fd = OpenPidFd(pid);
  const uint64_t deadline = timeout_ms == 0 ? 0 : platform::MonotonicMs() + timeout_ms;
  bool pipe_open = true;
  int status = 0;

  for (;;) {
    if (control != nullptr && control->IsCancelled()) {
      result.cancelled = true;
      break;
    }
    if (TryReap(pid, &status)) {
      // Everything the child wrote before it ended is in the pipe now.
      if (pipe_open) DrainAvailable(read_fd, result.output);
      result.exited = true;
      result.exit_code = ExitCodeOf(status);
      break;
    }
    int wait_ms = kPollSliceMs;
    if (deadline != 0) {
      const uint64_t now = platform::MonotonicMs();
      if (now >= deadline) {
        result.timed_out = true;
        break;
      }
      wait_ms = static_cast<int>(std::min<uint64_t>(deadline - now, kPollSliceMs));
    }
    pollfd fds[2];
    nfds_t count = 0;
    if (pipe_open) fds[count++] = pollfd{read_fd, POLLIN, 0};
    if (pid_fd >= 0) fds[count++] = pollfd{pid_fd, POLLIN, 0};
    // Without a pidfd, wait in short slices once the pipe is closed.
    if (pid_fd < 0 && !pipe_open) wait_ms = std::min(wait_ms, 10);
    int ready = count > 0 ? poll(fds, count, wait_ms) : (usleep(wait_ms * 1000), 0);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && pipe_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      if (!DrainAvailable(read_fd, result.output)) pipe_open = false;  // EOF
    }
  }

  if (!result.exited) {
    kill(pid, SIGTERM);
    if (!ReapWithin(pid, kGraceMs, &status)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    if (pipe_open) DrainAvailable(read_fd, result.output);
    result.exit_code = ExitCodeOf(status);
  }
  if (pid_fd >= 0) close(pid_fd);
  close(read_fd);
  return result;
}

}  // namespace adb
