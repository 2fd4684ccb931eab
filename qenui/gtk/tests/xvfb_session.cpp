#include "xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace qenui_gtk_test {

namespace {
bool FindInPath(const char* prog) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string candidate = p.substr(start, end - start) + "/" + prog;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}
}  // namespace

bool XvfbSession::Start(std::string* error, const std::vector<std::string>& extraArgs) {
  if (!FindInPath("Xvfb")) { *error = "Xvfb is not installed (Debian package xvfb)"; return false; }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) { *error = std::strerror(errno); return false; }
  std::string fdArg = std::to_string(fds[1]);
  std::vector<const char*> argv = {"Xvfb", "-displayfd", fdArg.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp"};
  for (const std::string& a : extraArgs) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The write end must survive exec in the child: dup it onto itself without CLOEXEC.
  posix_spawn_file_actions_adddup2(&actions, fds[1], fds[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int rc = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) { close(fds[0]); m_pid = 0; *error = std::string("cannot start Xvfb: ") + std::strerror(rc); return false; }
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char c;
    ssize_t n = read(fds[0], &c, 1);
    if (n <= 0) break;
    if (c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) { Stop(); *error = "Xvfb did not report its display"; return false; }
  m_display = ":" + number;
  setenv("DISPLAY", m_display.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("XAUTHORITY");
  return true;
}

bool XvfbSession::StartWindowManager(const std::string& name, std::string* error) {
  if (name != "openbox") { *error = "unknown window manager \"" + name + "\" (PD_XVFB_WM)"; return false; }
  if (m_display.empty()) { *error = "no X server for the window manager"; return false; }
  if (!FindInPath("openbox")) { *error = "openbox is not installed (Debian package openbox)"; return false; }
  // Openbox runs its --startup command once it manages the screen: the command
  // makes a file whose appearance is the sign.
  char tmpl[] = "/tmp/xvfb_wm_XXXXXX";
  if (!mkdtemp(tmpl)) { *error = std::strerror(errno); return false; }
  const std::string ready = std::string(tmpl) + "/ready";
  const std::string startup = "touch " + ready;
  std::vector<const char*> argv = {"openbox", "--sm-disable", "--startup", startup.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int rc = posix_spawnp(&m_wmPid, "openbox", &actions, nullptr, const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) { m_wmPid = 0; rmdir(tmpl); *error = std::string("cannot start openbox: ") + std::strerror(rc); return false; }
  bool up = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!up && std::chrono::steady_clock::now() < deadline) {
    up = access(ready.c_str(), F_OK) == 0;
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  unlink(ready.c_str());
  rmdir(tmpl);
  if (!up) *error = "openbox did not come up";
  return up;
}

bool XvfbSession::StartWindowManagerOfEnvironment(std::string* error) {
  const char* name = std::getenv("PD_XVFB_WM");
  return !name || !*name || StartWindowManager(name, error);
}

void XvfbSession::Stop() {
  if (m_wmPid > 0) {
    kill(m_wmPid, SIGTERM);
    for (int i = 0; i < 100 && waitpid(m_wmPid, nullptr, WNOHANG) != m_wmPid; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_wmPid = 0;
  }
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) { m_pid = 0; return; }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // Not gone after five seconds: leave it rather than wait without end.
  m_pid = 0;
}

}  // namespace qenui_gtk_test
