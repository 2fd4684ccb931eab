// Everything the signal handler needs is prepared in CCInit: the report's
// path, an alternate stack (so a stack overflow can still be reported) and a
// first backtrace() call (which loads its unwinder outside the handler).
// The handler itself uses only open, write, backtrace and
// backtrace_symbols_fd, then re-raises the signal with its default action.
#include "qencrashcatch.h"

#include <dirent.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/module_path.h"

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kMaxFrames = 64;

// Set once by CCInit (under g_init_lock) before the handlers are installed;
// read only by the handler afterwards.
char g_report_path[4096];
std::mutex g_init_lock;
bool g_installed = false;
std::atomic<int> g_in_handler{0};

void WriteText(int fd, const char* text) {
  size_t length = std::strlen(text);
  while (length > 0) {
    ssize_t n = write(fd, text, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

// Decimal text of a non-negative number into `out` (at least 12 bytes).
void FormatNumber(long value, char* out) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && n < 20);
  for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  out[n] = '\0';
}

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

void OnFatalSignal(int signal_number, siginfo_t* info, void*) {
  // A second fault while reporting: give up on the report.
  if (g_in_handler.fetch_add(1) == 0) {
    int fd = open(g_report_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
      char number[24];
      WriteText(fd, "Crash report\nsignal: ");
      WriteText(fd, SignalName(signal_number));
      WriteText(fd, " (");
      FormatNumber(signal_number, number);
      WriteText(fd, number);
      WriteText(fd, ")\npid: ");
      FormatNumber(static_cast<long>(getpid()), number);
      WriteText(fd, number);
      WriteText(fd, "\nfault address: 0x");
      uintptr_t address = reinterpret_cast<uintptr_t>(info != nullptr ? info->si_addr : nullptr);
      char hex[2 * sizeof(uintptr_t) + 1];
      for (size_t i = 0; i < 2 * sizeof(uintptr_t); ++i) {
        hex[i] = "0123456789abcdef"[(address >> (4 * (2 * sizeof(uintptr_t) - 1 - i))) & 0xF];
      }
      hex[2 * sizeof(uintptr_t)] = '\0';
      WriteText(fd, hex);
      WriteText(fd, "\nbacktrace:\n");
      void* frames[kMaxFrames];
      int count = backtrace(frames, static_cast<int>(kMaxFrames));
      backtrace_symbols_fd(frames, count, fd);
      close(fd);
    }
  }
  // SA_RESETHAND restored the default action: let the signal end the process.
  raise(signal_number);
}

bool MakeFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Keeps the newest `keep` crash reports of the folder (names sort by time).
void PruneReports(const std::string& folder, int keep) {
  if (keep <= 0) return;
  std::vector<std::string> reports;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.rfind("crash_", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) {
        reports.push_back(name);
      }
    }
    closedir(dir);
  }
  std::sort(reports.begin(), reports.end());
  for (size_t i = 0; i + static_cast<size_t>(keep) < reports.size(); ++i) {
    unlink((folder + "/" + reports[i]).c_str());
  }
}

}  // namespace

bool CCInit(int keep_reports, int /*reserved*/, bool /*flag*/, int /*reserved2*/) {
  std::lock_guard<std::mutex> hold(g_init_lock);
  if (g_installed) return true;
  const std::string folder = platform::ProgramDirectory() + "log";
  if (!MakeFolder(folder)) return false;
  PruneReports(folder, keep_reports);

  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
  const std::string path = folder + "/crash_" + stamp + "_" + std::to_string(getpid()) + ".txt";
  if (path.size() >= sizeof g_report_path) return false;
  std::memcpy(g_report_path, path.c_str(), path.size() + 1);

  void* warm_up[2];
  backtrace(warm_up, 2);

  // An alternate stack for the thread that starts the reporter (the main thread).
  static std::vector<char> alternate_stack(64 * 1024);
  stack_t stack{};
  stack.ss_sp = alternate_stack.data();
  stack.ss_size = alternate_stack.size();
  sigaltstack(&stack, nullptr);

  struct sigaction action{};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kSignals) {
    if (sigaction(signal_number, &action, nullptr) != 0) return false;
  }
  g_installed = true;
  return true;
}
