// The contacts, SMS, pictures and music pages over a large phone against the
// same pages over a phone a tenth its size: the program's main window in real
// windows on a private Xvfb (GTK back end), the real phone facade and
// managers, the simulated phone with its generated content (phone_sim.py
// --large N: N contacts with two numbers each, 3N messages in N/5
// conversations, N pictures, 0.8N music files) reached through its adb
// forwards.
//
// One run: the page is shown and loaded once; then the clock starts, the
// page's refresh button is clicked, and the clock stops when the page is
// filled (every row there, the conversations named after their contacts,
// the pictures of the month rows with their details). Then the list is
// scrolled with the wheel (XTest) and dragged to its end and middle, and on
// the contacts page search texts are typed one after the other.
//
// Throughout, a heartbeat on the UI thread (a GLib timeout every 5 ms)
// measures the longest time the UI thread did not come back to its loop
// (counter stall_ms: the longest gap less the beat). A contact-search
// keystroke is timed from the edit's change to the popup's update
// (counter keystroke_ms, the slowest of the texts).
//
// Prints for each page the cost ratio of the time to a filled page, large
// phone / small phone (target at most 12 for 10 times the items), the
// longest stall on the large phone (target at most 50 ms) and the slowest
// keystroke on the large phone (target at most 10 ms). Run with
// --benchmark_repetitions and random interleaving (scripts/bench.sh); the
// figures are medians over the repetitions.
//
// Settings: PHONEDECK_BENCH_SIZES="1000 10000" the two sizes;
// PHONEDECK_BENCH_TRACE=1 prints every message that held the window over
// 10 ms and every stall over 30 ms (to find what stalls);
// PHONEDECK_BENCH_SHOTS=<folder> saves the window while the page fills and
// once it is filled and scrolled (<page>_<size>_filling.png, _filled.png).
#include <benchmark/benchmark.h>
#include <glib.h>
#include <gtk/gtk.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_mgr.h"
#include "app/data/phone.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"
#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "qenui/headless/UITestDriver.h"
#include "testing/bench/ratio_report.h"
#include "ui/frame/frame_backend.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_poster.h"
#include "ui/pages/contact_dlg.h"

namespace {

using namespace DuiLib;
using Clock = std::chrono::steady_clock;

constexpr int kBeatMs = 5;
constexpr int kFillTimeoutMs = 180000;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The longest time the UI thread stayed away from its loop while running.
class StallMeter {
 public:
  void Start() {
    last_us_ = g_get_monotonic_time();
    max_gap_us_ = 0;
    source_ = g_timeout_add_full(G_PRIORITY_DEFAULT, kBeatMs, &StallMeter::Beat, this, nullptr);
  }
  // The longest stall in milliseconds (the longest gap less the beat).
  double Stop() {
    Beat(this);
    if (source_) g_source_remove(source_);
    source_ = 0;
    return std::max(0.0, max_gap_us_ / 1000.0 - kBeatMs);
  }

 private:
  static gboolean Beat(gpointer self) {
    auto* m = static_cast<StallMeter*>(self);
    const gint64 now = g_get_monotonic_time();
    m->max_gap_us_ = std::max(m->max_gap_us_, now - m->last_us_);
    static const bool trace = std::getenv("PHONEDECK_BENCH_TRACE") != nullptr;
    if (trace && now - m->last_us_ > 30000)
      std::fprintf(stderr, "TRACE gap of %.1f ms ending at %.1f\n", (now - m->last_us_) / 1000.0, now / 1000.0);
    m->last_us_ = now;
    return G_SOURCE_CONTINUE;
  }

  gint64 last_us_ = 0;
  gint64 max_gap_us_ = 0;
  guint source_ = 0;
};

// Runs the loop as the program does (GTK's sources, the library's drain
// among them) until `done` or the time-out.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  guint wake = g_timeout_add(2, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool ok = done();
  while (!ok && Clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    ok = done();
  }
  g_source_remove(wake);
  return ok;
}
void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

class BenchBackend : public IFrameBackend {
 public:
  void StartConnection() override {}
  void InitTasks() override {}
  CAutoTaskMgr* TaskManager() override { return nullptr; }
  DownloadListener* DownloadRequests() override { return nullptr; }
  bool IsPhoneConnected() override { return true; }
  bool ReConnect(bool) override { return false; }
  void CreatePhone() override {}
  void ReleaseConnection() override {}
  void ReleaseTasks() override {}
  void ReportUserAction(int) override {}
};

// The main window, counting the phone messages it handled.
class BenchFrame : public CMainFrame {
 public:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    const auto t0 = Clock::now();
    const LRESULT r = CMainFrame::HandleMessage(uMsg, wParam, lParam);
    ++handled_[uMsg];
    static const bool trace = std::getenv("PHONEDECK_BENCH_TRACE") != nullptr;
    if (trace && MsSince(t0) > 10) std::fprintf(stderr, "TRACE message %u (%lu) took %.1f ms ending at %.1f\n", uMsg, static_cast<unsigned long>(wParam), MsSince(t0), g_get_monotonic_time() / 1000.0);
    return r;
  }
  int Handled(UINT message) const {
    auto it = handled_.find(message);
    return it == handled_.end() ? 0 : it->second;
  }

 private:
  std::map<UINT, int> handled_;
};

// Everything the runs share: a temporary user, the X server, the main
// window, one simulated phone per size, and the phone the program is
// connected to now.
class World {
 public:
  static World& Get() {
    if (!instance_) instance_ = new World;
    return *instance_;
  }
  // Ends the runs: the window, the phone and the simulators go.
  static void Release() {
    delete instance_;
    instance_ = nullptr;
  }
  const std::string& Error() const { return error_; }
  BenchFrame* Frame() { return frame_; }
  // A control of the main window by name, looked up once (a lookup walks
  // the whole window, thousands of rows included).
  CControlUI* Control(const char16_t* name) {
    auto it = controls_.find(name);
    if (it == controls_.end()) it = controls_.emplace(name, PM().FindControl(name)).first;
    return it->second;
  }
  CPaintManagerUI& PM() { return frame_->PaintManager(); }
  HWND Window() { return frame_->GetHWND(); }
  qenui_gtk_test::XTestInput& Input() { return input_; }

  // Connects the program to the phone of `size` items (a fresh phone facade
  // when it was connected to another) and waits until the contacts it loads
  // on connection are on the contacts page.
  bool ConnectTo(int size) {
    if (!error_.empty()) return false;
    if (size == connected_) return true;
    if (connected_ != 0) {
      CConnectMgr::Instance()->DropPhone();
      PumpFor(200);
    }
    connected_ = 0;
    testing_support::PhoneSim& sim = Sim(size);
    if (!error_.empty()) return false;
    sim.ExportForwardedPorts();
    setenv("ANDROID_ADB_SERVER_PORT", sim.Field("adb_port").c_str(), 1);
    CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 0);
    CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", sim.Port("ftp_port"));
    const std::u16string serial = AnsiToWString(sim.Field("serial"));
    if (!CConnectMgr::Instance()->CreatePhone()) return Fail("no phone");
    CAdbCmdTool::Instance()->SetSerial(serial.c_str());
    CConfigMgr::Instance()->SetPhonePaths(serial);
    CControlUI* list = Control(u"contactlist");
    if (!PumpUntil([&] { return list && list->GetInterface(u"List") &&
                             static_cast<CListUI*>(list->GetInterface(u"List"))->GetCount() == size; },
                   kFillTimeoutMs))
      return Fail("the contacts of the phone did not arrive");
    PumpFor(300);
    connected_ = size;
    return true;
  }

  ~World() {
    CConnectMgr::Release();
    if (frame_) {
      if (IsWindow(Window())) DestroyWindow(Window());
      PumpFor(100);
      delete frame_;
    }
    SetFrameBackend(nullptr);
    UninstallWindowPoster();
    CSocketThreadMgr::Instance()->StopAll();
    sims_.clear();
    CConfigMgr::Release();
    input_.Close();
    xvfb_.Stop();
    if (!home_.empty()) std::system(("rm -rf '" + home_ + "'").c_str());
  }

 private:
  World() {
    char pattern[] = "/tmp/pd_large_phone_XXXXXX";
    if (!mkdtemp(pattern)) {
      Fail("no temporary folder");
      return;
    }
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "TMPDIR"}) setenv(v, home_.c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", (home_ + "/program").c_str(), 1);
    mkdir((home_ + "/program").c_str(), 0700);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    unsetenv("PHONEDECK_ADB");
    std::string err;
    if (!xvfb_.Start(&err) || !UseGtkHost(&err)) {
      Fail("no X server: " + err);
      return;
    }
    if (!CPaintManagerUI::SetResourceZipEmbedded()) {
      Fail("skin missing");
      return;
    }
    CConfigMgr::Instance()->Init();
    if (!input_.Open(xvfb_.Display())) {
      Fail("the X server lacks XTest");
      return;
    }
    SetFrameBackend(&backend_);
    InstallPhoneFactory();
    InstallWindowPoster();
    frame_ = new BenchFrame;
    frame_->InitWinParam(u"wnd_xml\\main_frame.xml");
    HWND h = frame_->Create(0, u"Shelfhub", 0x800A0000, 0x100);
    if (!h) {
      delete frame_;
      frame_ = nullptr;
      Fail("the main window was not created");
      return;
    }
    frame_->CenterWindow();
    frame_->ShowWindow(true, true);
    if (!PumpUntil([&] { return IsWindowVisible(h); }, 10000)) Fail("the main window did not show");
  }

  testing_support::PhoneSim& Sim(int size) {
    auto it = sims_.find(size);
    if (it != sims_.end()) return *it->second;
    auto sim = std::make_unique<testing_support::PhoneSim>();
    if (!sim->Start({"--forward", "--large", std::to_string(size)})) Fail("the simulated phone: " + sim->Failure());
    return *sims_.emplace(size, std::move(sim)).first->second;
  }

  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  static World* instance_;
  std::string error_;
  std::string home_;
  qenui_gtk_test::XvfbSession xvfb_;
  qenui_gtk_test::XTestInput input_;
  BenchBackend backend_;
  BenchFrame* frame_ = nullptr;
  std::map<int, std::unique_ptr<testing_support::PhoneSim>> sims_;
  std::map<std::u16string, CControlUI*> controls_;
  int connected_ = 0;
};

World* World::instance_ = nullptr;

CListUI* ListNamed(const char16_t* name) {
  CControlUI* c = World::Get().Control(name);
  return c ? static_cast<CListUI*>(c->GetInterface(u"List")) : nullptr;
}

int TabOf(const char16_t* name) {
  CControlUI* c = World::Get().Control(name);
  auto* tab = c ? static_cast<CTabLayoutUI*>(c->GetInterface(u"TabLayout")) : nullptr;
  return tab ? tab->GetCurSel() : -1;
}

std::u16string RowPartText(CControlUI* row, const char16_t* part) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  CControlUI* p = c ? c->FindSubControl(part) : nullptr;
  return p ? p->GetText().str() : std::u16string();
}

// Saves the window as <PHONEDECK_BENCH_SHOTS>/<name>.png when that is set.
void Shot(const std::string& name) {
  const char* folder = std::getenv("PHONEDECK_BENCH_SHOTS");
  if (!folder || !*folder) return;
  mkdir(folder, 0755);
  std::string error;
  if (!SaveWindowScreenshot(World::Get().Window(), std::string(folder) + "/" + name + ".png", &error))
    std::fprintf(stderr, "screenshot %s: %s\n", name.c_str(), error.c_str());
}

// One page under test: how it is opened and refreshed, and when it is full.
struct PageCase {
  const char* name;
  UINT filled_msg;  // the last message the refresh brings (the page's own numbers)
  const char16_t* option;
  const char16_t* refresh;
  const char16_t* list;
  std::function<bool(int size)> filled;
};

bool ContactsFilled(int size) {
  CListUI* list = ListNamed(u"contactlist");
  return list && list->GetCount() == size && TabOf(u"tab_contact_load") == 0;
}

// Every conversation listed, the newest (whose number is a contact's, with
// the "+86" prefix) named after its contact.
bool SmsFilled(int size) {
  CListUI* list = ListNamed(u"smslist");
  if (!list || list->GetCount() != size / 5 || TabOf(u"tab_sms_load") != 0) return false;
  const std::u16string title = RowPartText(list->GetItemAt(0), u"contact_name");
  return !title.empty() && title.find(u"+86") == std::u16string::npos;
}

bool MusicFilled(int size) {
  CListUI* list = ListNamed(u"mymusiclist");
  return list && list->GetCount() == size * 8 / 10 && TabOf(u"tab_music_load") == 0;
}

// Every month listed, and the pictures its row shows with their details.
bool PicturesFilled(int) {
  CListUI* list = ListNamed(u"picturehomelist");
  std::shared_ptr<CPhone> phone = CurrentPhone();
  if (!list || !phone || TabOf(u"tab_pic_load") != 0) return false;
  const std::vector<PictureAlbum> albums = phone->GetImageList();
  if (albums.empty() || list->GetCount() != static_cast<int>(albums.size())) return false;
  for (const PictureAlbum& album : albums)
    for (size_t i = 0; i < album.images.size() && i < 5; ++i)
      if (phone->ImageNeedsDetails(album.images[i])) return false;
  return true;
}

const PageCase kPages[] = {
    {"contacts", 1262, u"contact_optn", u"refreshcontact_btn", u"contactlist", ContactsFilled},
    {"sms", 1272, u"sms_optn", u"refreshsms_btn", u"smslist", SmsFilled},
    {"pictures", 1274, u"pic_optn", u"refreshpic_btn", u"picturehomelist", PicturesFilled},
    {"music", 1281, u"music_optn", u"refreshmusic_btn", u"mymusiclist", MusicFilled},
};

// The wheel over the list (XTest), then the list dragged to its end, its
// middle and its top.
void ScrollThrough(CListUI* list) {
  World& w = World::Get();
  RECT rc = list->GetPos();
  POINT pt = MakePoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ClientToScreen(w.Window(), &pt);
  w.Input().MoveTo(static_cast<int>(pt.x), static_cast<int>(pt.y));
  PumpFor(30);
  for (int i = 0; i < 25; ++i) {
    w.Input().Button(5, true);
    w.Input().Button(5, false);
    PumpFor(15);
  }
  const int range = static_cast<int>(list->GetScrollRange().cy);
  for (int pos : {range, range / 2, 0}) {
    list->SetScrollPos(MakeSize(0, pos));
    PumpFor(60);
  }
}

// Types the texts into the contact search one after the other; the
// slowest answer in milliseconds.
double TypeSearches() {
  World& w = World::Get();
  CControlUI* edit = w.Control(u"contact_search_edit");
  if (!edit) return -1;
  double slowest = 0;
  for (const char16_t* text : {u"z", u"zh", u"1", u"13", u"139", u"周", u"周娜", u"A", u"Al", u""}) {
    edit->SetText(text);
    TNotifyUI msg;
    msg.sType = DUI_MSGTYPE_TEXTCHANGED;
    msg.pSender = edit;
    const auto t0 = Clock::now();
    w.Frame()->Contact().OnTextChanged(msg);
    slowest = std::max(slowest, MsSince(t0));
    PumpFor(40);
  }
  return slowest;
}

void BM_Page(benchmark::State& state, const PageCase* page) {
  const int size = static_cast<int>(state.range(0));
  World& w = World::Get();
  for (auto _ : state) {
    if (!w.ConnectTo(size)) {
      state.SkipWithError(w.Error().c_str());
      break;
    }
    // Shown anew (from the home page), so it loads from the phone of the moment.
    for (const char16_t* name : {u"myphone_optn", page->option})
      static_cast<COptionUI*>(w.Control(name)->GetInterface(u"Option"))->Selected(true);
    if (!PumpUntil([&] { return page->filled(size); }, kFillTimeoutMs)) {
      state.SkipWithError("the page was not filled when first shown");
      break;
    }
    PumpFor(300);
    StallMeter stalls;
    stalls.Start();
    const int before = w.Frame()->Handled(page->filled_msg);
    auto t0 = Clock::now();
    if (!ClickControl(w.Control(page->refresh))) {
      stalls.Stop();
      state.SkipWithError("no refresh button");
      break;
    }
    bool shot = false;
    double message_ms = 0;  // when the page had its list (the rest is the page's own work)
    const std::string shot_name = std::string(page->name) + "_" + std::to_string(size);
    const bool filled = PumpUntil(
        [&] {
          CListUI* list = ListNamed(page->list);
          if (message_ms == 0 && w.Frame()->Handled(page->filled_msg) > before) message_ms = MsSince(t0);
          if (!shot && list && list->GetCount() > 0 && w.Frame()->Handled(page->filled_msg) > before) {
            shot = true;  // the first rows, the others still to come (not counted in the time)
            const auto paused = Clock::now();
            Shot(shot_name + "_filling");
            t0 += Clock::now() - paused;
          }
          return w.Frame()->Handled(page->filled_msg) > before && page->filled(size);
        },
        kFillTimeoutMs);
    const double fill_ms = MsSince(t0);
    if (std::getenv("PHONEDECK_BENCH_TRACE"))
      std::fprintf(stderr, "TRACE %s: the list came after %.1f ms, the page was filled after %.1f ms\n",
                   shot_name.c_str(), message_ms, fill_ms);
    if (!filled) {
      stalls.Stop();
      state.SkipWithError("the page was not filled after the refresh");
      break;
    }
    ScrollThrough(ListNamed(page->list));
    Shot(shot_name + "_filled");
    if (std::string(page->name) == "contacts") state.counters["keystroke_ms"] = TypeSearches();
    state.counters["stall_ms"] = stalls.Stop();
    state.SetIterationTime(fill_ms / 1000.0);
  }
}

void PrintLine(const std::string& name, double value, const char* target) {
  if (value < 0) return;
  if (target) std::printf("RATIO %s %.3f (target <= %s)\n", name.c_str(), value, target);
  else std::printf("RATIO %s %.3f\n", name.c_str(), value);
}

std::vector<int> Sizes() {
  std::vector<int> sizes{1000, 10000};
  if (const char* v = std::getenv("PHONEDECK_BENCH_SIZES")) {
    std::istringstream in(v);
    int a = 0, b = 0;
    if (in >> a >> b && a > 0 && b > a) sizes = {a, b};
  }
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::vector<int> sizes = Sizes();
  for (const PageCase& page : kPages) {
    benchmark::RegisterBenchmark((std::string("BM_") + page.name).c_str(), BM_Page, &page)
        ->Arg(sizes[0])
        ->Arg(sizes[1])
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double scale = static_cast<double>(sizes[1]) / sizes[0];
  char fill_target[32];
  std::snprintf(fill_target, sizeof fill_target, "%.2f", scale * 1.2);
  for (const PageCase& page : kPages) {
    auto run = [&](int size) {
      return std::string("BM_") + page.name + "/" + std::to_string(size) + "/iterations:1/manual_time";
    };
    const double small = reporter.Time(run(sizes[0]));
    const double large = reporter.Time(run(sizes[1]));
    if (small > 0 && large > 0) PrintLine(std::string(page.name) + "_fill_growth", large / small, fill_target);
    PrintLine(std::string(page.name) + "_fill_ms_large", large, nullptr);
    PrintLine(std::string(page.name) + "_stall_ms_small", reporter.Counter(run(sizes[0]), "stall_ms"), nullptr);
    PrintLine(std::string(page.name) + "_stall_ms_large", reporter.Counter(run(sizes[1]), "stall_ms"), "50.00");
    if (std::string(page.name) == "contacts")
      PrintLine("contact_keystroke_ms_large", reporter.Counter(run(sizes[1]), "keystroke_ms"), "10.00");
  }
  std::fflush(stdout);
  World::Release();
  benchmark::Shutdown();
  return 0;
}
