// Restarting the installer silently, and hiding the process's windows.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <fstream>
#include <sstream>

#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"

namespace setupaide {
namespace {

bool ContainsNoCase(const std::string& text, const std::string& part) {
  return NameHasMarker(text, part);
}

}  // namespace

std::optional<std::string> InstallerPathFromCommandLine(const std::string& command_line) {
  const size_t quote = command_line.rfind('"');
  if (quote == std::string::npos || quote == 0) return std::nullopt;
  const size_t comma = command_line.rfind(',', quote - 1);
  if (comma == std::string::npos) return std::nullopt;
  std::string path = command_line.substr(comma + 1, quote - comma - 1);
  if (!path.empty() && path.front() == '"') path.erase(0, 1);
  if (path.empty()) return std::nullopt;
  return path;
}

SilentRestartPlan PlanSilentRestart(const std::string& command_line) {
  SilentRestartPlan plan;
  if (command_line.empty() || ContainsNoCase(command_line, "/VERYSILENT")) return plan;
  const std::optional<std::string> installer = InstallerPathFromCommandLine(command_line);
  if (!installer) return plan;
  plan.result = 1;
  plan.installer = *installer;
  return plan;
}

std::string OwnCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::stringstream raw;
  raw << in.rdbuf();
  std::string text = raw.str();
  while (!text.empty() && text.back() == '\0') text.pop_back();
  for (char& c : text) {
    if (c == '\0') c = ' ';
  }
  return text;
}

bool RunProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // The exec result comes back through a pipe that closes on a successful exec.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t middle = fork();
  if (middle < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (middle == 0) {
    // A middle process that exits at once leaves the program to init, so the
    // caller never has a child to reap.
    setsid();
    pid_t child = fork();
    if (child == 0) {
      execv(program.c_str(), argv.data());
      int error = errno;
      ssize_t ignored = write(report[1], &error, sizeof error);
      (void)ignored;
      _exit(127);
    }
    _exit(child < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace setupaide

int InnoSlientSetup(void) {
  const std::string command_line = setupaide::OwnCommandLine();
  setupaide::DebugOutput("InnoSlientSetup");
  setupaide::DebugOutput(command_line);
  const setupaide::SilentRestartPlan plan = setupaide::PlanSilentRestart(command_line);
  if (plan.result == 0) return 0;
  setupaide::DebugOutput(plan.installer);
  setupaide::DebugOutput("\"" + plan.installer + "\" /SP- /VERYSILENT");
  // Started directly, not through a shell: the path is never parsed again.
  setupaide::RunProgram(plan.installer, {"/SP-", "/VERYSILENT"});
  return 1;
}

void HideWindow(void) {
  // The installer's windows belong to its own toolkit; this library holds
  // no window system connection and has nothing of the process to hide.
  setupaide::DebugOutput("HideWindow");
}
