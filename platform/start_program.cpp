#include "platform/start_program.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

bool StartDetachedProgram(const std::string& path, std::string* error) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), X_OK) != 0) {
    if (error) *error = "no executable file " + path;
    return false;
  }
  // Only async-signal-safe calls between fork and exec: this process may run threads.
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + strerror(errno);
    return false;
  }
  const char* argv[] = {path.c_str(), nullptr};
  pid_t middle = fork();
  if (middle < 0) {
    if (error) *error = std::string("fork: ") + strerror(errno);
    close(ready[0]);
    close(ready[1]);
    return false;
  }
  if (middle == 0) {
    setsid();
    pid_t program = fork();
    if (program == 0) {
      execv(argv[0], const_cast<char* const*>(argv));
      int code = errno;
      (void)!write(ready[1], &code, sizeof code);  // the exec failed: tell the caller why
      _exit(127);
    }
    _exit(program < 0 ? 1 : 0);
  }
  close(ready[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
  // The pipe closes on a successful exec (close-on-exec) or carries errno.
  int code = 0;
  ssize_t n;
  while ((n = read(ready[0], &code, sizeof code)) < 0 && errno == EINTR) {}
  close(ready[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    if (error) *error = "fork of the program failed";
    return false;
  }
  if (n == static_cast<ssize_t>(sizeof code)) {
    if (error) *error = std::string("exec: ") + strerror(code);
    return false;
  }
  return true;
}

}  // namespace platform
