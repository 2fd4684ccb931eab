// Running the real program as a child process in a temporary user's
// folders: spawn with extra environment, wait with a time-out, read its log.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ui_test {

struct Child {
  pid_t pid = -1;
};

// Starts `program` with `args`; `env` entries ("NAME=value") are added to
// this process's environment.
inline Child Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env) {
  std::vector<std::string> envs(env);
  for (char** e = environ; *e; ++e) envs.push_back(*e);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : envs) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  Child c;
  if (posix_spawn(&c.pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) c.pid = -1;
  return c;
}

// The exit code, or -1 when it did not end in time (it is then killed).
inline int WaitExit(Child& c, int timeout_ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    pid_t r = waitpid(c.pid, &status, WNOHANG);
    if (r == c.pid) {
      c.pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(c.pid, SIGKILL);
  waitpid(c.pid, &status, 0);
  c.pid = -1;
  return -1;
}

// Ends the child (SIGTERM, then SIGKILL after 30 s) when a test leaves
// early, so a failed assertion leaves no program behind.
class ChildGuard {
 public:
  explicit ChildGuard(Child& child) : child_(child) {}
  ~ChildGuard() {
    if (child_.pid <= 0) return;
    kill(child_.pid, SIGTERM);
    WaitExit(child_, 30000);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

 private:
  Child& child_;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// A temporary user and program folder for one program run.
class ProgramSandbox {
 public:
  ProgramSandbox() {
    char pattern[] = "/tmp/phonedeck_run_XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    for (const char* d : {"/home", "/runtime", "/program", "/program/log"}) mkdir((root_ + d).c_str(), 0700);
  }
  ~ProgramSandbox() {
    if (!root_.empty()) std::system(("rm -rf '" + root_ + "'").c_str());
  }
  const std::string& Root() const { return root_; }
  std::string Program() const { return root_ + "/program"; }
  std::string Log() const { return root_ + "/program/log/zelvik.log"; }
  std::string Runtime() const { return root_ + "/runtime"; }
  std::vector<std::string> Env(bool headless) const {
    std::vector<std::string> env{"HOME=" + root_ + "/home",       "XDG_CONFIG_HOME=" + root_ + "/home/.config",
                                 "XDG_DATA_HOME=" + root_ + "/home/.local/share", "XDG_RUNTIME_DIR=" + Runtime(),
                                 "TMPDIR=" + root_,                 "PHONEDECK_PROGRAM_DIR=" + Program()};
    if (headless) env.push_back("PHONEDECK_HEADLESS=1");
    return env;
  }

 private:
  std::string root_;
};

}  // namespace ui_test
