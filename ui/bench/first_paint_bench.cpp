// Start-up of the real program from its full program folder against
// baselines that do the same visible work, each on a private Xvfb with GL
// (the default) and without it (-extension GLX). The program runs as users
// see it:
//   run a: no driver search service reachable (its two dispatch ports held
//          bound and silent, its HTTP port refusing connections);
//   run b: the simulated driver search service of the demo (testing/search_sim);
// both with the demo's loopback market site (testing/market_site) serving
// the store home page that the main window shows.
// Baselines:
//   same_text: a GTK3 window that draws the main window's caption and
//     navigation texts in the same fonts and sizes (first paint);
//   webkit: a minimal WebKitGTK window showing the same store home page from
//     the same site (memory).
//
// Each run starts its program in a fresh temporary user (the program from a
// program folder of its own that holds the files of the build's bin/ folder
// as hard links, with an empty log folder), watches the X server for its top-level windows (DAMAGE
// on every child of the root) and stops the clock at the first damage of a
// mapped window. Then:
//   - memory: the resident sets of the process and all its descendants (the
//     browser engine's web and network processes) 5 s after the first paint;
//   - UI stall (the program and the same-text window): a hover probe that
//     the UI thread must answer. The pointer moves (XTest) onto the close
//     button and off it again; each move is answered when its hover repaint
//     damages the button's rectangle. The longest answer from the first
//     paint on is kept, through PHONEDECK_BENCH_PROBE_S seconds (default 20)
//     for the program and through the 5 s before the memory sample for the
//     same-text window. PHONEDECK_BENCH_SLOW_MS=<ms> prints every answer
//     longer than that, with its time after the first paint (to stderr).
// One run per iteration; run with --benchmark_repetitions and random
// interleaving so runs of the programs alternate (scripts/bench.sh). Prints
// per GL mode and run: first paint / same-text window (target at most 1.3),
// memory of all processes / WebKitGTK window (target at most 1.25), and the
// longest UI answer in ms (median over the runs, target at most 50; the
// worst run and the same-text window's for information).
// PHONEDECK_BENCH_PROGRAM names another build of the program to measure
// (its own folder is its program folder).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

#include "market_site.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "search_sim.h"
#include "testing/bench/ratio_report.h"
#include "app/adb/tests/closed_port.h"
#include "testing/program_copy/program_copy.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr int kMemoryAfterPaintMs = 5000;
// The close button in window coordinates (the caption band's last button),
// and a point of the caption band where nothing reacts to the pointer.
constexpr int kButtonX = 960, kButtonY = 9, kButtonSize = 32;
constexpr int kRestX = 300, kRestY = 25;
constexpr int kAnswerCapMs = 10000;  // a probe not answered by then counts as this long

int ProbeSeconds() {
  const char* s = std::getenv("PHONEDECK_BENCH_PROBE_S");
  const int n = s ? std::atoi(s) : 0;
  return n > 0 ? n : 20;
}

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

// The loopback services of every run, started once.
struct Services {
  market_site::MarketSite site;
  searchsim::SearchServiceSim search;
  testing_support::ClosedPort silent_first{SOCK_DGRAM}, silent_second{SOCK_DGRAM}, refusing{SOCK_STREAM};
  std::string error;

  Services() {
    if (site.Start() < 0) error = "the market site did not start";
    else if (!search.Start()) error = "the search service simulator did not start";
    else if (!silent_first.port() || !silent_second.port() || !refusing.port()) error = "no loopback ports";
  }
  std::string HomePage() const { return site.Base() + "/appmarket/game/Home.html"; }
  // The program's settings of the driver search service: unreachable (run a) or simulated (run b).
  std::vector<std::string> SearchService(bool reachable) const {
    if (reachable) {
      const std::string port = std::to_string(search.DispatchPort());
      return {"PHONEDECK_DS_DISPATCH_HOST=127.0.0.1", "PHONEDECK_DS_DISPATCH_PORTS=" + port + "," + port,
              "PHONEDECK_DS_SEARCH_URL=" + search.SearchUrl()};
    }
    return {"PHONEDECK_DS_DISPATCH_HOST=127.0.0.1",
            "PHONEDECK_DS_DISPATCH_PORTS=" + std::to_string(silent_first.port()) + "," +
                std::to_string(silent_second.port()),
            "PHONEDECK_DS_SEARCH_URL=http://127.0.0.1:" + std::to_string(refusing.port()) + "/drvsearch.ashx"};
  }
};

Services& Shared() {
  static Services services;
  return services;
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? "." : file.substr(0, slash);
}

// A temporary user for one run, removed afterwards; with `program_folder`,
// its program folder holds the files of that folder (program_copy::LinkTree).
class TempUser {
 public:
  explicit TempUser(const std::string& program_folder) {
    char pattern[] = "/tmp/pd_first_paint_XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    if (!Ok()) return;
    mkdir(Program().c_str(), 0700);
    mkdir((Program() + "/log").c_str(), 0700);
    if (!program_folder.empty()) linked_ = program_copy::LinkTree(program_folder, Program());
  }
  ~TempUser() {
    if (!root_.empty()) std::system(("rm -rf '" + root_ + "'").c_str());
  }
  bool Ok() const { return !root_.empty() && linked_; }
  std::string Program() const { return root_ + "/program"; }
  std::vector<std::string> Env(const std::string& display) const {
    return {"DISPLAY=" + display, "HOME=" + root_, "XDG_CONFIG_HOME=" + root_ + "/.config",
            "XDG_DATA_HOME=" + root_ + "/.local/share", "XDG_CACHE_HOME=" + root_ + "/.cache",
            "XDG_RUNTIME_DIR=" + root_, "TMPDIR=" + root_, "PHONEDECK_PROGRAM_DIR=" + Program(),
            // No accessibility bus and no adb server for any program.
            "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory", "PHONEDECK_ADB=/bin/false"};
  }

 private:
  std::string root_;
  bool linked_ = true;
};

pid_t Spawn(const std::vector<std::string>& argv_in, const std::vector<std::string>& extraEnv) {
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
  std::vector<std::string> args(argv_in);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Every process whose parent chain leads to `root`, `root` included.
std::vector<pid_t> ProcessTree(pid_t root) {
  std::map<pid_t, pid_t> parent;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), &closedir);
  for (dirent* e = proc ? readdir(proc.get()) : nullptr; e; e = readdir(proc.get())) {
    const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t close = line.rfind(')');  // the command may hold blanks and brackets
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2) parent[pid] = ppid;
  }
  std::vector<pid_t> tree{root};
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [pid, ppid] : parent) {
      if (std::find(tree.begin(), tree.end(), ppid) != tree.end() &&
          std::find(tree.begin(), tree.end(), pid) == tree.end()) {
        tree.push_back(pid);
        grew = true;
      }
    }
  }
  return tree;
}

double ResidentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

// Ends the process and then whatever it started that is still there.
void End(pid_t pid) {
  const std::vector<pid_t> tree = ProcessTree(pid);
  kill(pid, SIGTERM);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = waitpid(pid, nullptr, WNOHANG) == pid;
    if (!gone) std::this_thread::sleep_for(Ms(25));
  }
  if (!gone) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  for (pid_t child : tree) {
    if (child == pid) continue;
    for (int i = 0; i < 40 && kill(child, 0) == 0; ++i) std::this_thread::sleep_for(Ms(25));
    if (kill(child, 0) == 0) kill(child, SIGTERM);
  }
}

int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

bool Intersects(const XRectangle& a, int x, int y, int w, int h) {
  return a.x < x + w && x < a.x + a.width && a.y < y + h && y < a.y + a.height;
}

struct Run {
  std::string error;
  double firstPaintMs = 0;
  double memoryMb = 0;       // the process and its descendants, 5 s after the first paint
  double longestAnswerMs = 0;  // the hover probe's longest answer (0 without a probe)
  double longestAtMs = 0;      // when it began, from the first paint
  int probes = 0;
};

struct Program {
  std::vector<std::string> argv;  // with folder: argv[0] is a file of that folder, started from the copy
  std::vector<std::string> env;
  std::string folder;  // the program folder to link (empty: none)
  int probeMs = 0;     // how long the hover probe runs after the first paint (0: no probe)
};

// Waits for a damage of `window` over the close button; false at `deadline`.
bool AwaitButtonRepaint(::Display* dpy, int damageEvent, Window window, Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type != damageEvent + XDamageNotify) continue;
      const auto* d = reinterpret_cast<const XDamageNotifyEvent*>(&ev);
      if (d->drawable == window && Intersects(d->area, kButtonX, kButtonY, kButtonSize, kButtonSize)) return true;
    }
    const int left = static_cast<int>(std::chrono::duration_cast<Ms>(deadline - Clock::now()).count());
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, std::max(1, std::min(left, 50)));
  }
  return false;
}

Run StartAndWatch(const Program& program, bool gl) {
  Run run;
  Screen& screen = ScreenFor(gl);
  if (!screen.error.empty()) { run.error = screen.error; return run; }
  TempUser user(program.folder);
  if (!user.Ok()) { run.error = "no temporary user"; return run; }
  XSetErrorHandler(&IgnoreXError);  // windows may go before their damage objects
  std::unique_ptr<::Display, int (*)(::Display*)> dpy(XOpenDisplay(screen.display.c_str()), &XCloseDisplay);
  int damageEvent = 0, damageError = 0, xtest = 0, unused = 0;
  if (!dpy || !XDamageQueryExtension(dpy.get(), &damageEvent, &damageError) ||
      !XTestQueryExtension(dpy.get(), &xtest, &unused, &unused, &unused)) {
    run.error = "no X display with DAMAGE and XTEST";
    return run;
  }
  const Window root = DefaultRootWindow(dpy.get());
  XSelectInput(dpy.get(), root, SubstructureNotifyMask);
  XSync(dpy.get(), False);

  std::vector<std::string> env = user.Env(screen.display);
  env.insert(env.end(), program.env.begin(), program.env.end());
  std::vector<std::string> argv = program.argv;
  if (!program.folder.empty()) argv[0] = user.Program() + argv[0].substr(program.folder.size());
  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn(argv, env);
  if (pid < 0) { run.error = "cannot start " + program.argv[0]; return run; }
  std::set<Window> mapped;
  Window painted = 0;
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
      if (mapped.count(d->drawable)) painted = d->drawable;
    }
  }
  const Clock::time_point painting = Clock::now();
  if (!painted) {
    End(pid);
    run.error = "no window was painted within 30 s";
    return run;
  }
  run.firstPaintMs = std::chrono::duration<double, std::milli>(painting - start).count();

  const Clock::time_point memoryAt = painting + Ms(kMemoryAfterPaintMs);
  const Clock::time_point probeEnd = painting + Ms(program.probeMs);
  int wx = 0, wy = 0;
  Window child = 0;
  if (program.probeMs > 0) {
    XDamageCreate(dpy.get(), painted, XDamageReportRawRectangles);
    XTranslateCoordinates(dpy.get(), painted, root, 0, 0, &wx, &wy, &child);
    XSync(dpy.get(), False);
  }
  const char* slow = std::getenv("PHONEDECK_BENCH_SLOW_MS");
  const double slowMs = slow ? std::atof(slow) : 0;
  bool onButton = false;
  bool sampled = false;
  while (!sampled || Clock::now() < probeEnd) {
    if (!sampled && Clock::now() >= memoryAt) {
      for (pid_t p : ProcessTree(pid)) run.memoryMb += ResidentMb(p);
      sampled = true;
      continue;
    }
    if (Clock::now() >= probeEnd) {
      std::this_thread::sleep_until(memoryAt);
      continue;
    }
    // One probe: what came before is dropped, then the pointer moves and the
    // clock runs until the button shows the change.
    XSync(dpy.get(), False);
    while (XPending(dpy.get())) {
      XEvent ev;
      XNextEvent(dpy.get(), &ev);
    }
    onButton = !onButton;
    const int x = wx + (onButton ? kButtonX + kButtonSize / 2 : kRestX);
    const int y = wy + (onButton ? kButtonY + kButtonSize / 2 : kRestY);
    const Clock::time_point moved = Clock::now();
    XTestFakeMotionEvent(dpy.get(), -1, x, y, CurrentTime);
    XFlush(dpy.get());
    const bool answered = AwaitButtonRepaint(dpy.get(), damageEvent, painted, moved + Ms(kAnswerCapMs));
    const double answer =
        answered ? std::chrono::duration<double, std::milli>(Clock::now() - moved).count() : kAnswerCapMs;
    if (slowMs > 0 && answer > slowMs) {
      std::fprintf(stderr, "%s: answered in %.1f ms, %.1f ms after the first paint\n", argv[0].c_str(), answer,
                   std::chrono::duration<double, std::milli>(moved - painting).count());
    }
    if (answer > run.longestAnswerMs) {
      run.longestAnswerMs = answer;
      run.longestAtMs = std::chrono::duration<double, std::milli>(moved - painting).count();
    }
    ++run.probes;
    std::this_thread::sleep_for(Ms(20));
  }
  End(pid);
  return run;
}

std::string ProgramPath() {
  const char* other = std::getenv("PHONEDECK_BENCH_PROGRAM");
  return other && *other ? other : PHONEDECK_PROGRAM;
}

// The program from its full program folder, with the search service reachable or not.
Program Ours(bool search_reachable) {
  const Services& services = Shared();
  Program p;
  p.argv = {ProgramPath()};
  p.folder = FolderOf(ProgramPath());
  p.env = services.SearchService(search_reachable);
  p.env.push_back("PHONEDECK_MARKET_HOST=" + services.site.Base());
  p.env.push_back("PHONEDECK_COMPLETION_HOST=" + services.site.Base());
  p.probeMs = ProbeSeconds() * 1000;
  return p;
}

Program SameText() {
  Program p;
  p.argv = {SAME_TEXT_WINDOW};
  p.probeMs = kMemoryAfterPaintMs;
  return p;
}

Program WebKitWindow() {
  Program p;
  p.argv = {MINIMAL_WEBKIT_WINDOW, Shared().HomePage()};
  return p;
}

enum Kind { kOursA, kOursB, kSameText, kWebKit };

void BM_Start(benchmark::State& state, Kind kind, bool gl) {
  if (!Shared().error.empty()) {
    state.SkipWithError(Shared().error.c_str());
    return;
  }
  const Program program = kind == kOursA   ? Ours(false)
                          : kind == kOursB ? Ours(true)
                          : kind == kSameText ? SameText()
                                              : WebKitWindow();
  for (auto _ : state) {
    Run run = StartAndWatch(program, gl);
    if (!run.error.empty()) {
      state.SkipWithError(run.error.c_str());
      break;
    }
    state.SetIterationTime(run.firstPaintMs / 1000.0);
    state.counters["memory_mb"] = run.memoryMb;
    if (run.probes > 0) {
      state.counters["longest_answer_ms"] = run.longestAnswerMs;
      state.counters["longest_at_ms"] = run.longestAtMs;
      state.counters["probes"] = run.probes;
    }
  }
}

double Largest(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Besides the median, the largest value of the repetitions (of the longest
// answer: the worst run).
#define PD_START_BENCHMARK(name, kind, gl)                                                                      \
  BENCHMARK_CAPTURE(BM_Start, name, kind, gl)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond) \
      ->ComputeStatistics("max", &Largest)

PD_START_BENCHMARK(program_a_gl, kOursA, true);
PD_START_BENCHMARK(program_b_gl, kOursB, true);
PD_START_BENCHMARK(same_text_gl, kSameText, true);
PD_START_BENCHMARK(webkit_gl, kWebKit, true);
PD_START_BENCHMARK(program_a_nogl, kOursA, false);
PD_START_BENCHMARK(program_b_nogl, kOursB, false);
PD_START_BENCHMARK(same_text_nogl, kSameText, false);
PD_START_BENCHMARK(webkit_nogl, kWebKit, false);

// The ratio reporter (which keeps the counters of each median run) that
// also keeps their largest values (the "max" aggregate; a single run is its own).
class CounterReporter : public bench_ratio::RatioReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
      if (run.run_type != Run::RT_Iteration && run.aggregate_name != "max") continue;
      for (const auto& [counter, value] : run.counters) largest_[run.run_name.str()][counter] = value.value;
    }
    RatioReporter::ReportRuns(runs);
  }
  double Largest(const std::string& run, const std::string& name) const {
    auto r = largest_.find(run);
    if (r == largest_.end()) return -1;
    auto c = r->second.find(name);
    return c == r->second.end() ? -1 : c->second;
  }

 private:
  std::map<std::string, std::map<std::string, double>> largest_;
};

void PrintCostRatio(const std::string& name, double ours, double baseline, const char* target) {
  if (ours <= 0 || baseline <= 0) return;
  if (target) std::printf("RATIO %s %.3f (target <= %s)\n", name.c_str(), ours / baseline, target);
  else std::printf("RATIO %s %.3f\n", name.c_str(), ours / baseline);
}

void PrintValue(const std::string& name, double value, const char* target) {
  if (value < 0) return;
  if (target) std::printf("RATIO %s %.1f (target <= %s)\n", name.c_str(), value, target);
  else std::printf("RATIO %s %.1f\n", name.c_str(), value);
}

std::string RunName(const std::string& which, const char* gl) {
  return "BM_Start/" + which + "_" + gl + "/iterations:1/manual_time";
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CounterReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* gl : {"gl", "nogl"}) {
    const std::string same = RunName("same_text", gl), web = RunName("webkit", gl);
    for (const char* which : {"a", "b"}) {
      const std::string ours = RunName(std::string("program_") + which, gl);
      const std::string suffix = std::string(which) + "_" + gl;
      PrintCostRatio("first_paint_" + suffix, reporter.Time(ours), reporter.Time(same), "1.30");
      PrintCostRatio("idle_memory_" + suffix, reporter.Counter(ours, "memory_mb"), reporter.Counter(web, "memory_mb"),
                     "1.25");
      PrintValue("ui_stall_ms_" + suffix, reporter.Counter(ours, "longest_answer_ms"), "50");
      PrintValue("ui_stall_worst_ms_" + suffix, reporter.Largest(ours, "longest_answer_ms"), nullptr);
    }
    PrintValue(std::string("ui_stall_same_text_ms_") + gl, reporter.Counter(same, "longest_answer_ms"), nullptr);
  }
  std::fflush(stdout);
  benchmark::Shutdown();
  return 0;
}
