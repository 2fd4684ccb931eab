// Start to first paint and idle memory of the real program against the
// smallest GTK3 window program, both started the same way on a private Xvfb
// with GL (the default) and without it (-extension GLX).
//
// Each run starts the program in a fresh temporary user with an empty
// program folder (as the program tests run it: the outside libraries and
// the remote services they wait for are not part of the figure), watches
// the X server for its top-level windows (DAMAGE on every child of the
// root) and stops the clock at the first damage of a mapped window: the
// first time the program drew on the screen. The resident set of the
// process is read then (counter rss_paint_mb) and after 1.5 s of idling
// (rss_idle_mb); then the process is ended with SIGTERM.
// One run per iteration; run with --benchmark_repetitions and random
// interleaving so runs of the two programs alternate (scripts/bench.sh).
// Prints the cost ratios program / minimal window of the start to first
// paint (target at most 1.3) and of the idle memory (target at most 2).
// PHONEDECK_BENCH_PROGRAM names another build of the program to measure.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qenui/gtk/tests/xvfb_session.h"
#include "testing/bench/ratio_report.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// One private X server per GL mode, started on first use.
struct Screen {
  qenui_gtk_test::XvfbSession xvfb;
  std::string display;
  std::string error;
};

Screen& ScreenFor(bool gl) {
  static Screen screens[2];
  Screen& s = screens[gl ? 1 : 0];
  if (s.display.empty() && s.error.empty()) {
    std::vector<std::string> args;
    if (!gl) args = {"-extension", "GLX"};
    if (s.xvfb.Start(&s.error, args)) s.display = s.xvfb.Display();
    else if (s.error.empty()) s.error = "Xvfb did not start";
  }
  return s;
}

int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

// A temporary user for one run, removed afterwards.
class TempUser {
 public:
  TempUser() {
    char pattern[] = "/tmp/pd_first_paint_XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    if (Ok()) mkdir((root_ + "/program").c_str(), 0700);
    if (Ok()) mkdir((root_ + "/program/log").c_str(), 0700);
  }
  ~TempUser() {
    if (!root_.empty()) std::system(("rm -rf '" + root_ + "'").c_str());
  }
  bool Ok() const { return !root_.empty(); }
  std::vector<std::string> Env(const std::string& display) const {
    return {"DISPLAY=" + display, "HOME=" + root_, "XDG_CONFIG_HOME=" + root_ + "/.config",
            "XDG_DATA_HOME=" + root_ + "/.local/share", "XDG_CACHE_HOME=" + root_ + "/.cache",
            "XDG_RUNTIME_DIR=" + root_, "TMPDIR=" + root_, "PHONEDECK_PROGRAM_DIR=" + root_ + "/program",
            // No accessibility bus and no adb server for either program.
            "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory", "PHONEDECK_ADB=/bin/false"};
  }

 private:
  std::string root_;
};

pid_t Spawn(const std::string& program, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env(extraEnv);
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& x : extraEnv) replaced |= entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!replaced && entry.rfind("WAYLAND_DISPLAY=", 0) != 0) env.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

double ResidentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

void End(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

struct Run {
  std::string error;
  double firstPaintMs = 0;
  double rssPaintMb = 0;
  double rssIdleMb = 0;
};

Run StartToFirstPaint(std::string program, bool gl) {
  Run run;
  const char* other = std::getenv("PHONEDECK_BENCH_PROGRAM");
  if (program == PHONEDECK_PROGRAM && other && *other) program = other;
  Screen& screen = ScreenFor(gl);
  if (!screen.error.empty()) { run.error = screen.error; return run; }
  TempUser user;
  if (!user.Ok()) { run.error = "no temporary folder"; return run; }
  XSetErrorHandler(&IgnoreXError);  // windows may go before their damage objects
  std::unique_ptr<::Display, int (*)(::Display*)> dpy(XOpenDisplay(screen.display.c_str()), &XCloseDisplay);
  int damageEvent = 0, damageError = 0;
  if (!dpy || !XDamageQueryExtension(dpy.get(), &damageEvent, &damageError)) {
    run.error = "no X display with DAMAGE";
    return run;
  }
  const Window root = DefaultRootWindow(dpy.get());
  XSelectInput(dpy.get(), root, SubstructureNotifyMask);
  XSync(dpy.get(), False);

  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn(program, user.Env(screen.display));
  if (pid < 0) { run.error = "cannot start " + program; return run; }
  std::set<Window> mapped;
  bool painted = false;
  const Clock::time_point deadline = start + std::chrono::seconds(30);
  while (!painted && Clock::now() < deadline) {
    if (!XPending(dpy.get())) {
      pollfd p{ConnectionNumber(dpy.get()), POLLIN, 0};
      poll(&p, 1, 100);
      continue;
    }
    XEvent ev;
    XNextEvent(dpy.get(), &ev);
    if (ev.type == CreateNotify && ev.xcreatewindow.parent == root) {
      XDamageCreate(dpy.get(), ev.xcreatewindow.window, XDamageReportNonEmpty);
      XFlush(dpy.get());
    } else if (ev.type == MapNotify && ev.xmap.event == root) {
      mapped.insert(ev.xmap.window);
    } else if (ev.type == damageEvent + XDamageNotify) {
      const auto* d = reinterpret_cast<const XDamageNotifyEvent*>(&ev);
      if (mapped.count(d->drawable)) painted = true;
    }
  }
  const Clock::time_point painting = Clock::now();
  if (!painted) {
    End(pid);
    run.error = "no window was painted within 30 s";
    return run;
  }
  run.firstPaintMs = std::chrono::duration<double, std::milli>(painting - start).count();
  run.rssPaintMb = ResidentMb(pid);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.rssIdleMb = ResidentMb(pid);
  End(pid);
  return run;
}

void BM_StartToFirstPaint(benchmark::State& state, const char* program, bool gl) {
  for (auto _ : state) {
    Run run = StartToFirstPaint(program, gl);
    if (!run.error.empty()) {
      state.SkipWithError(run.error.c_str());
      break;
    }
    state.SetIterationTime(run.firstPaintMs / 1000.0);
    state.counters["rss_paint_mb"] = run.rssPaintMb;
    state.counters["rss_idle_mb"] = run.rssIdleMb;
  }
}

BENCHMARK_CAPTURE(BM_StartToFirstPaint, program_gl, PHONEDECK_PROGRAM, true)
    ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartToFirstPaint, minimal_gtk_gl, MINIMAL_GTK_WINDOW, true)
    ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartToFirstPaint, program_nogl, PHONEDECK_PROGRAM, false)
    ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartToFirstPaint, minimal_gtk_nogl, MINIMAL_GTK_WINDOW, false)
    ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void PrintCostRatio(const char* name, double ours, double baseline, const char* target) {
  if (ours <= 0 || baseline <= 0) return;
  if (target) std::printf("RATIO %s %.3f (target <= %s)\n", name, ours / baseline, target);
  else std::printf("RATIO %s %.3f\n", name, ours / baseline);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* gl : {"gl", "nogl"}) {
    const std::string program = std::string("BM_StartToFirstPaint/program_") + gl + "/iterations:1/manual_time";
    const std::string minimal = std::string("BM_StartToFirstPaint/minimal_gtk_") + gl + "/iterations:1/manual_time";
    PrintCostRatio(("first_paint_" + std::string(gl)).c_str(), reporter.Time(program), reporter.Time(minimal), "1.30");
    PrintCostRatio(("idle_memory_" + std::string(gl)).c_str(), reporter.Counter(program, "rss_idle_mb"),
                   reporter.Counter(minimal, "rss_idle_mb"), "2.00");
    PrintCostRatio(("memory_at_first_paint_" + std::string(gl)).c_str(), reporter.Counter(program, "rss_paint_mb"),
                   reporter.Counter(minimal, "rss_paint_mb"), nullptr);
  }
  std::fflush(stdout);
  benchmark::Shutdown();
  return 0;
}
