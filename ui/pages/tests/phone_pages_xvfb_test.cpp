// The phone's home and apps pages and the settings window as a user meets
// them: the real program on a private X server, plugged to the simulated
// phone through umockdev and the real adb (the demo's set-up), the driver
// search service simulated on loopback. The test clicks with XTest at the
// places the program's own layout gives (laid out here, headless, at the
// main window's size) and answers the GTK file choosers by typing the path.
//
// The home page shows the phone, its counts, storage and screenshot; the
// screenshot is saved as PNG; the apps page lists the phone's apps; an apk
// chosen in the file chooser is installed and then uninstalled from its
// row. Pictures of both pages and the settings window go to
// <build>/screenshots/.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/startup/single_instance.h"
#include "foundation/base/code_page.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "ui/pages/phone_pages_side.h"
#include "ui/pages/tests/fixed_pages_side.h"
#include "ui/pages/tests/xtest_keys.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/program_test_util.h"

namespace {

using namespace DuiLib;
using ui_test::Child;
using ui_test::ReadText;
using ui_test::WaitFor;

const std::string kBin = PD_BIN_DIR;
const std::string kSampleApk = SAMPLE_APK;
const std::string kWindowShot = WINDOW_SHOT;
const std::string kSearchSim = SEARCH_SIM;
const char16_t kSamplePackage[] = u"com.zelvik.demo.sample";

// Where a control of the main window lies, from the program's own layout at
// the window's size (headless): the page's rows are filled with four apps,
// as many as the phone will list after the install.
class MainWindowLayout : public ui_test::FrameTest {
 public:
  void TestBody() override {}
  // Centres of the controls the test clicks, in the window's client area.
  std::map<std::string, POINT> Measure() {
    std::map<std::string, POINT> at;
    auto centre = [&](const char* key, CControlUI* c) {
      if (!c) return;
      RECT rc = c->GetPos();
      at[key] = MakePoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    };
    backend.connected = true;
    centre("myphone_optn", PM().FindControl(u"myphone_optn"));
    centre("myapp_optn", PM().FindControl(u"myapp_optn"));
    centre("option_btn", PM().FindControl(u"option_btn"));
    // The phone view of the home page.
    Control<COptionUI>(u"myphone_optn", u"Option")->Selected(true);
    Control<CTabLayoutUI>(u"tab_connect_pages", u"TabLayout")->SelectItem(1);
    Relayout();
    centre("shotcutsave_btn", PM().FindControl(u"shotcutsave_btn"));
    // The apps page with four rows.
    for (uint32_t key = 1; key <= 4; ++key) {
      AppRecord r;
      r.key = key;
      r.app_name = u"app";
      side.apps.push_back(r);
    }
    Control<COptionUI>(u"myapp_optn", u"Option")->Selected(true);
    PostMessage(hwnd, 1242, 0, 0);
    Pump();
    Relayout();
    centre("addapp_btn", PM().FindControl(u"addapp_btn"));
    centre("row4_uninstall", CMyAppList::Sub(frame->PhoneApp().List()->FindRow(4), u"app_uinstall"));
    return at;
  }
  void Relayout() {
    RECT rc;
    GetClientRect(hwnd, &rc);
    PM().GetRoot()->SetPos(rc);
    Pump();
  }
  page_test::FixedPagesSide side;
};

// The layout is made in a temporary user of its own; this process's
// folders are given back afterwards.
std::map<std::string, POINT> MeasureMainWindow() {
  const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "TMPDIR", "PHONEDECK_PROGRAM_DIR"};
  std::map<std::string, std::optional<std::string>> saved;
  for (const char* n : names) saved[n] = getenv(n) ? std::optional<std::string>(getenv(n)) : std::nullopt;
  MainWindowLayout layout;
  SetPhonePagesSide(&layout.side);
  std::map<std::string, POINT> at;
  layout.SetUp();
  if (!::testing::Test::HasFatalFailure()) at = layout.Measure();
  layout.TearDown();
  SetPhonePagesSide(nullptr);
  for (const auto& [name, value] : saved) {
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }
  return at;
}

// A helper program with its output in `out`; it ends with the test.
Child StartServer(const std::string& program, const std::string& out) {
  Child c;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  if (posix_spawn(&c.pid, program.c_str(), &actions, nullptr, argv, environ) != 0) c.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return c;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

class PhonePagesXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    if (!xvfb_.Start(&error)) GTEST_SKIP() << "no Xvfb: " << error;
    if (std::system("command -v umockdev-run >/dev/null") != 0) GTEST_SKIP() << "umockdev-run is missing";
    layout_ = MeasureMainWindow();
    for (const char* key : {"myphone_optn", "myapp_optn", "option_btn", "shotcutsave_btn", "addapp_btn",
                            "row4_uninstall"})
      ASSERT_TRUE(layout_.count(key)) << key;
    ASSERT_TRUE(input_.Open(xvfb_.Display()));
    ASSERT_TRUE(text_.Open(xvfb_.Display()));
    unsetenv("PHONEDECK_ADB");
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    ASSERT_NO_FATAL_FAILURE(StartSearchService());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
  }
  void TearDown() override {
    if (program_.pid > 0) {
      setenv("XDG_RUNTIME_DIR", box_.Runtime().c_str(), 1);
      CSingleInstance::SendToRunningInstance(u"Shelfhub", "post 1295 0 0\n");
      unsetenv("XDG_RUNTIME_DIR");
      EXPECT_GE(ui_test::WaitExit(program_, 30000), 0) << "the program did not end";
    }
    if (search_.pid > 0) {
      kill(search_.pid, SIGTERM);
      ui_test::WaitExit(search_, 10000);
    }
    sim_.Stop();
  }

  void StartSearchService() {
    const std::string out = box_.Root() + "/search.out";
    search_ = StartServer(kSearchSim, out);
    ASSERT_GT(search_.pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !LinesStarting(ReadText(out), "PHONEDECK_DS_SEARCH_URL=").empty(); }, 20000));
    search_env_ = LinesStarting(ReadText(out), "PHONEDECK_DS_");
  }

  // The program from a copy of bin/, the phone plugged in through umockdev.
  void StartProgram() {
    ASSERT_EQ(std::system(("cp -a '" + kBin + "/.' '" + box_.Program() + "/'").c_str()), 0);
    std::system(("rm -f '" + box_.Program() + "'/log/*.log").c_str());
    const std::string device = box_.Root() + "/phone.umockdev";
    {
      const std::string path = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
      std::ofstream f(device);
      f << "P: " << path << "\nN: bus/usb/001/005\nE: DEVNAME=/dev/bus/usb/001/005\nE: DEVTYPE=usb_device\n"
        << "E: SUBSYSTEM=usb\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=005\nE: PRODUCT=12d1/1038/100\n"
        << "E: MAJOR=189\nE: MINOR=4\nA: idVendor=12d1\nA: idProduct=1038\nA: bcdDevice=0100\n"
        << "A: manufacturer=HUAWEI\nA: product=P7-L09\nA: serial=" << sim_.Field("serial")
        << "\nA: busnum=1\nA: devnum=5\nA: bNumInterfaces= 2\nA: authorized=1\nA: dev=189:4\n";
      const char* interfaces[] = {"080650", "ff4201"};
      for (int n = 0; n < 2; ++n) {
        const std::string i = interfaces[n];
        f << "\nP: " << path << "/1-1:1." << n << "\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n"
          << "A: bInterfaceNumber=0" << n << "\nA: bInterfaceClass=" << i.substr(0, 2)
          << "\nA: bInterfaceSubClass=" << i.substr(2, 2) << "\nA: bInterfaceProtocol=" << i.substr(4, 2) << "\n";
      }
    }
    std::vector<std::string> env = box_.Env(false);
    env.push_back("DISPLAY=" + xvfb_.Display());
    env.push_back("ANDROID_ADB_SERVER_PORT=" + sim_.Field("adb_port"));
    env.push_back("PHONEDECK_AGENT_PORT=" + sim_.Field("agent_port"));
    env.push_back("PHONEDECK_FTP_PORT=" + sim_.Field("ftp_port"));
    env.push_back("PHONEDECK_FTP_PASSIVE_PORT=" + sim_.Field("ftp_passive_port"));
    env.push_back("GSETTINGS_BACKEND=memory");
    // The model query ends the user's adb copies that are not servers; under
    // ctest those would be other tests' adb clients.
    env.push_back("PHONEDECK_STRAY_ADB_NAMES=pages-stray-adb");
    env.push_back("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1");
    env.push_back("WEBKIT_DISABLE_COMPOSITING_MODE=1");
    for (const std::string& line : search_env_) env.push_back(line);
    for (const char* v : {"PHONEDECK_SCREENSHOT", "PHONEDECK_STAT_URL", "PORTSNIFFER_SYSFS_ROOT"}) unsetenv(v);
    program_ = ui_test::Spawn("/usr/bin/umockdev-run",
                              {"--device", device, "--", box_.Program() + "/Phonedeck"}, env);
    ASSERT_GT(program_.pid, 0);
  }

  std::string Log() { return ReadText(box_.Log()); }
  bool LogHas(const std::string& text, int timeout_ms) {
    return WaitFor([&] { return Log().find(text) != std::string::npos; }, timeout_ms);
  }
  // A shown window with that title: its place on the screen (and a picture
  // of it in `png` when given).
  bool Window(const std::string& title, Rect* rect, const std::string& png = "") {
    const std::string file = png.empty() ? box_.Root() + "/probe.png" : png;
    const std::string out = box_.Root() + "/shot.out";
    const std::string command = "DISPLAY='" + xvfb_.Display() + "' '" + kWindowShot + "' '" + title + "' '" + file +
                                "' >'" + out + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return false;
    return std::sscanf(ReadText(out).c_str(), "%dx%d+%d+%d", &rect->w, &rect->h, &rect->x, &rect->y) == 4;
  }
  // What the display shows of the window titled `title`, as PNG bytes
  // (empty when no such window is shown).
  std::string Shown(const std::string& title) {
    Rect r;
    const std::string file = box_.Root() + "/shown.png";
    return Window(title, &r, file) ? ReadText(file) : std::string();
  }
  // The window's picture once it differs from `before` and then holds
  // still for longer than the program's quickest animation step (its
  // timers tick at 300 ms at the fastest): the program has painted what the
  // test caused. Empty when that did not happen within `timeout_ms`.
  std::string Settled(const std::string& title, const std::string& before = std::string(), int timeout_ms = 30000) {
    std::string last;
    auto since = std::chrono::steady_clock::now();
    const bool settled = WaitFor(
        [&] {
          std::string now = Shown(title);
          if (now.empty() || now == before || now != last) {
            last = std::move(now);
            since = std::chrono::steady_clock::now();
            return false;
          }
          return std::chrono::steady_clock::now() - since >= std::chrono::milliseconds(400);
        },
        timeout_ms);
    return settled ? last : std::string();
  }
  // Saves the window's settled picture (see Settled) as a screenshot and
  // returns it (empty, and a failure, when there was none).
  std::string Picture(const std::string& title, const std::string& name, const std::string& before = std::string()) {
    const std::string picture = Settled(title, before);
    EXPECT_FALSE(picture.empty()) << name << ": the window never showed a new settled picture";
    if (picture.empty()) return picture;
    mkdir(PD_SCREENSHOT_DIR, 0755);
    std::ofstream(std::string(PD_SCREENSHOT_DIR) + "/" + name, std::ios::binary) << picture;
    return picture;
  }
  // A click; the program takes the events in order once the X server has them.
  void ClickAt(int x, int y) {
    input_.MoveTo(x, y);
    input_.Button(1, true);
    input_.Button(1, false);
    input_.Sync();
  }
  // A control of the main window, where its layout puts it.
  void Click(const std::string& control) {
    Rect main;
    ASSERT_TRUE(Window("Zelvik手游助手", &main));
    ClickAt(main.x + static_cast<int>(layout_[control].x), main.y + static_cast<int>(layout_[control].y));
  }
  // Answers the GTK chooser titled `title` with `path`, typed into its
  // location entry (the pointer over the dialog gives it the keys). Each
  // step waits until the chooser has painted the one before.
  void AnswerChooser(const std::string& title, const std::string& path, bool save) {
    Rect dialog;
    ASSERT_TRUE(WaitFor([&] { return Window(title, &dialog); }, 20000)) << "no chooser " << title;
    input_.MoveTo(dialog.x + dialog.w / 2, dialog.y + dialog.h / 2);
    std::string shown = Settled(title);  // its folder loaded
    ASSERT_FALSE(shown.empty()) << title << " never held still";
    if (!save) {
      keys_.Chord("Control_L", "l");
      shown = Settled(title, shown);  // the location entry is open
      ASSERT_FALSE(shown.empty()) << title << ": no location entry";
    }
    keys_.Chord("Control_L", "a");
    keys_.Type(AnsiToWString(path));
    ASSERT_FALSE(Settled(title, shown).empty()) << title << ": the path never showed";
    keys_.Key("Return");
    EXPECT_TRUE(WaitFor([&] { return !Window(title, &dialog); }, 20000)) << "the chooser stays open";
  }
  bool Installed() {
    int version = 0;
    return CAdbCmdTool::Instance()->GetPackageVersionCode(kSamplePackage, &version);
  }

  qenui_gtk_test::XvfbSession xvfb_;
  qenui_gtk_test::XTestInput input_;
  market_xvfb::XTestText text_;
  market_xvfb::XTestKeys keys_{input_, text_, market_xvfb::XTestKeys::Windows::kAnotherProcess};
  testing_support::PhoneSim sim_;
  ui_test::ProgramSandbox box_;
  Child search_;
  Child program_;
  std::vector<std::string> search_env_;
  std::map<std::string, POINT> layout_;
};

TEST_F(PhonePagesXvfb, HomeAndAppsPagesWithTheSimulatedPhone) {
  ASSERT_TRUE(LogHas("ConectStatus:kConn_Sucess", 120000)) << Log();
  // The home page: the phone, its counts, storage and screenshot.
  ASSERT_TRUE(LogHas("home page: storage", 60000)) << Log();
  ASSERT_TRUE(LogHas("home page: screenshot", 60000)) << Log();
  ASSERT_TRUE(LogHas("home page: count 0 is", 30000)) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("home page: phone HUAWEI/P7-L09"), std::string::npos) << log;
  EXPECT_NE(log.find("home page: count 1 is"), std::string::npos);
  // The connect view's progress runs to its end before the phone's page is chosen.
  const std::string connected = Settled("Zelvik手游助手");
  ASSERT_NO_FATAL_FAILURE(Click("myphone_optn"));
  Picture("Zelvik手游助手", "phone_home_page.png", connected);

  // The screenshot saved through the save chooser, under a name without ".png".
  const std::string shot = box_.Root() + "/saved/shot";
  mkdir((box_.Root() + "/saved").c_str(), 0700);
  ASSERT_NO_FATAL_FAILURE(Click("shotcutsave_btn"));
  ASSERT_NO_FATAL_FAILURE(AnswerChooser("保存画像文件", shot, true));
  ASSERT_TRUE(WaitFor([&] { return ReadText(shot + ".png").size() > 8; }, 30000)) << Log();
  EXPECT_EQ(ReadText(shot + ".png").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

  // The apps page lists the phone's three user apps with their icons.
  ASSERT_NO_FATAL_FAILURE(Click("myapp_optn"));
  ASSERT_TRUE(LogHas("apps page: 3 rows", 60000)) << Log();
  ASSERT_TRUE(WaitFor([&] { return Occurrences(sim_.Control("requests"), "\"package_icon\"") >= 3; }, 30000))
      << sim_.Control("requests");
  Picture("Zelvik手游助手", "phone_apps_page.png");

  // An apk chosen in the chooser is installed and gets its row.
  CAdbCmdTool::Instance()->SetSerial(AnsiToWString(sim_.Field("serial")).c_str());
  ASSERT_FALSE(Installed());
  const std::string apk = box_.Root() + "/sample.apk";
  ASSERT_EQ(std::system(("cp '" + kSampleApk + "' '" + apk + "'").c_str()), 0);
  ASSERT_NO_FATAL_FAILURE(Click("addapp_btn"));
  ASSERT_NO_FATAL_FAILURE(AnswerChooser("选择apk文件", apk, false));
  ASSERT_TRUE(WaitFor([&] { return Installed(); }, 120000)) << Log();
  ASSERT_TRUE(LogHas("apps page: row added for com.zelvik.demo.sample", 60000)) << Log();
  Picture("Zelvik手游助手", "phone_apps_page_installed.png");

  // Its row's "卸载" removes it (no question for one row).
  ASSERT_NO_FATAL_FAILURE(Click("row4_uninstall"));
  ASSERT_TRUE(WaitFor([&] { return !Installed(); }, 120000))
      << "clicked at " << layout_["row4_uninstall"].x << "," << layout_["row4_uninstall"].y << "\n" << Log();
  EXPECT_TRUE(LogHas("removed", 30000)) << Log();

  // The settings window from the main menu ("设置", its first item).
  ASSERT_NO_FATAL_FAILURE(Click("option_btn"));
  Rect menu_window;
  ASSERT_TRUE(WaitFor([&] { return Window("MainMenu", &menu_window); }, 20000)) << "no main menu";
  const POINT menu = layout_["option_btn"];
  Rect main;
  ASSERT_TRUE(Window("Zelvik手游助手", &main));
  ClickAt(main.x + static_cast<int>(menu.x) + 20, main.y + static_cast<int>(menu.y) + 14);
  Rect settings;
  ASSERT_TRUE(WaitFor([&] { return Window("SettingWnd", &settings); }, 20000)) << Log();
  const std::string general = Picture("SettingWnd", "settings_window.png");
  ASSERT_FALSE(general.empty());
  EXPECT_EQ(settings.w, 600);
  EXPECT_EQ(settings.h, 350);
  ClickAt(settings.x + 65, settings.y + 118);  // "应用设置" (its layout: the second tab option)
  Picture("SettingWnd", "settings_window_apps.png", general);
  ClickAt(settings.x + 600 - 8 - 16, settings.y + 25);  // the title's close button
  EXPECT_TRUE(WaitFor([&] { return !Window("SettingWnd", &settings); }, 20000));
  EXPECT_EQ(sim_.Errors(), "[]");
}

}  // namespace
