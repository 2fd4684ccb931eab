// The market as a new user meets it, in real windows on a private X server
// with WebKitGTK and the loopback market site: the store home loads, a
// keyword typed in Chinese brings suggestions, the chosen one shows the
// search page, and the download link of an app becomes a download task with
// the app's name, icon and package, which the task manager downloads through
// swarmload and the download engine and installs on the simulated phone. Screenshots of the market page,
// the suggestion popup and the search page go to <build>/screenshots/.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/data/app_mgr.h"
#include "app/task/auto_task_mgr.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "market_site.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "ui/pages/market_links.h"
#include "ui/pages/tests/recording_downloads.h"
#include "ui/pages/tests/xtest_keys.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;

class MarketEnvironment : public ui_xvfb::XvfbWindowsEnvironment {
 public:
  MarketEnvironment() : XvfbWindowsEnvironment("market_xvfb") {}
  void SetUp() override {
    // WebKit's sandbox and compositing need what a bare Xvfb lacks.
    setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    for (const char* v : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"}) unsetenv(v);
    XvfbWindowsEnvironment::SetUp();
  }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new MarketEnvironment);

// What the screen shows over the main window (popups included), as
// PD_SCREENSHOT_DIR/name.
void ScreenShot(HWND main, const std::string& name) { ui_xvfb::ScreenShotOver(main, name); }

using market_test::DownloadCall;
using market_test::RecordingDownloads;

// Records each request and hands it on to the task manager when there is one.
class ForwardingDownloads : public RecordingDownloads {
 public:
  bool OnDownloadRequest(const std::u16string& url, const std::u16string& name, const std::u16string& icon,
                         const std::u16string& package) override {
    RecordingDownloads::OnDownloadRequest(url, name, icon, package);
    const bool added = next && next->OnDownloadRequest(url, name, icon, package);
    accepted.push_back(added);
    return added;
  }
  DownloadListener* next = nullptr;
  std::vector<bool> accepted;  // the task manager's answers
};

class MarketXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ui_xvfb::SkipReason();
    ASSERT_NO_FATAL_FAILURE(StartPhoneAndTasks());
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr);
    ASSERT_TRUE(input_.Open(display)) << "the X server lacks XTest";
    ASSERT_TRUE(text_.Open(display)) << "no spare key to type with";
    ASSERT_GT(site_.Start(), 0);
    setenv(market::kMarketHostEnv, site_.Base().c_str(), 1);
    setenv(kCompletionHostEnv, site_.Base().c_str(), 1);
    backend_.downloads = &downloads_;
    SetFrameBackend(&backend_);
    frame_ = ui_xvfb::ShowMainWindow();
    ASSERT_NE(frame_, nullptr);
    hwnd_ = frame_->GetHWND();
  }
  // The simulated phone and the task manager over the real swarmload and
  // download engine; this test's app manager installs on the phone.
  void StartPhoneAndTasks() {
    namespace fs = std::filesystem;
    const std::string program = std::getenv("PHONEDECK_PROGRAM_DIR");
    fs::create_directories(program + "/log");
    for (auto [library, name] : {std::pair{SWARMLOAD_LIBRARY, "libswarmload.so"}, {ENGINE_LIBRARY, "libxldl.so"},
                                 {KITORACLE_DOUBLE, "libkitoracle.so"}, {HOSTMARK_LIBRARY, "libHostmark.so"}}) {
      std::error_code ec;
      fs::create_symlink(library, program + "/" + name, ec);
    }
    unsetenv("PHONEDECK_ADB");
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    testing_support::PointProgramAtSim(sim_);
    apps_ = std::make_unique<CAppMgr>();
    TaskPhoneSide side = ProgramPhoneSide();
    side.is_connected = [] { return true; };
    side.install = [this](const std::u16string& apk, int32_t previous, uint32_t key, InstallListener* listener) {
      apps_->SetInstallListener(listener);
      return apps_->InstallApp(apk, previous, key);
    };
    side.cancel_install = [this](const std::u16string& apk) { apps_->CancelTask(apk); };
    tasks_ = std::make_unique<CAutoTaskMgr>(ProgramTaskPaths(), side, 200);
    tasks_->Init();
    downloads_.next = tasks_.get();
  }
  // Whether the phone lists `package` (asked through the real adb).
  bool Installed(const std::u16string& package) {
    int version = 0;
    return CAdbCmdTool::Instance()->GetPackageVersionCode(package.c_str(), &version);
  }

  void TearDown() override {
    if (frame_) {
      if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
      ui_xvfb::PumpFor(100);
      delete frame_;
    }
    tasks_.reset();
    apps_.reset();
    CSocketThreadMgr::Instance()->StopAll();
    sim_.Stop();
    SetFrameBackend(nullptr);
    unsetenv(market::kMarketHostEnv);
    unsetenv(kCompletionHostEnv);
    site_.Stop();
  }

  POINT ScreenPoint(CControlUI* control, long dx, long dy) {
    RECT rc = control->GetPos();
    POINT pt = MakePoint(rc.left + dx, rc.top + dy);
    ClientToScreen(hwnd_, &pt);
    return pt;
  }
  POINT CentreOf(const char16_t* name) {
    CControlUI* c = frame_->PaintManager().FindControl(name);
    EXPECT_NE(c, nullptr);
    RECT rc = c ? c->GetPos() : RECT();
    return c ? ScreenPoint(c, rc.Width() / 2, rc.Height() / 2) : MakePoint(0, 0);
  }
  void Click(POINT pt) {
    input_.MoveTo(static_cast<int>(pt.x), static_cast<int>(pt.y));
    keys_.Settle();
    input_.Button(1, true);
    keys_.Settle();
    input_.Button(1, false);
    keys_.Settle();
  }
  // Until page 0 of the store shows `url`, loaded.
  bool WaitForPage(const std::u16string& url) {
    return ui_xvfb::PumpUntil([&] { return frame_->Browser(0).CurrentUrl() == url; }, 60000);
  }

  market_site::MarketSite site_;
  testing_support::PhoneSim sim_;
  std::unique_ptr<CAppMgr> apps_;
  std::unique_ptr<CAutoTaskMgr> tasks_;
  ui_test::FakeBackend backend_;
  ForwardingDownloads downloads_;
  CMainFrame* frame_ = nullptr;
  HWND hwnd_ = 0;
  qenui_gtk_test::XTestInput input_;
  market_xvfb::XTestText text_;
  market_xvfb::XTestKeys keys_{input_, text_, market_xvfb::XTestKeys::Windows::kThisProcess};
};

TEST_F(MarketXvfbTest, SearchPickASuggestionAndRequestADownload) {
  ASSERT_FALSE(Installed(u"com.zelvik.tankwar"));
  // The store home is the first page; it loads from the market site.
  const std::u16string home = market::HomePageUrl(0);
  ASSERT_TRUE(WaitForPage(home)) << CDuiString(frame_->Browser(0).CurrentUrl()).ToUtf8();
  ui_xvfb::PumpFor(300);
  ui_xvfb::Shot(hwnd_, "market_home.png");

  // Clicking into the box clears the grey placeholder; typing starts from nothing.
  auto* edit = static_cast<CEditUI*>(frame_->PaintManager().FindControl(u"search_edit"));
  ASSERT_NE(edit, nullptr);
  Click(CentreOf(u"search_edit"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->IsFocused(); }));
  EXPECT_EQ(edit->GetText(), u"");
  keys_.Type(u"坦克");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->GetText() == u"坦克"; }, 5000))
      << edit->GetText().ToUtf8();

  // The completion service answers the last keyword; the popup shows its
  // names under the box.
  CSearchMenu& popup = frame_->SearchMenu();
  ASSERT_TRUE(ui_xvfb::PumpUntil(
      [&] {
        auto asked = site_.CompletionKeywords();
        // The worker is idle once it has posted its last answer.
        return popup.IsVisible() && !asked.empty() && asked.back() == "坦克" &&
               frame_->AppSearch().GetState() == base::WinThread::kIdle;
      },
      15000));
  ui_xvfb::PumpFor(100);
  EXPECT_EQ(popup.Items(), (std::vector<std::u16string>{u"坦克大战", u"坦克世界"}));
  RECT box;
  GetWindowRect(popup.GetHWND(), &box);
  POINT under = ScreenPoint(edit, 0, edit->GetPos().Height());
  EXPECT_EQ(box.left, under.x);
  EXPECT_EQ(box.top, under.y);
  EXPECT_EQ(box.Height(), 2 * CSearchMenu::kItemHeight + 4);
  ui_xvfb::PumpFor(200);
  ScreenShot(hwnd_, "market_suggestions.png");
  ui_xvfb::Shot(popup.GetHWND(), "market_suggestion_popup.png");

  // One press of the down key highlights the first name; Enter takes it.
  keys_.Key("Down");
  EXPECT_EQ(popup.GetHotText(), u"坦克大战");
  ui_xvfb::PumpFor(100);
  ScreenShot(hwnd_, "market_suggestion_chosen.png");
  const size_t asked = site_.CompletionKeywords().size();
  keys_.Key("Return");
  EXPECT_EQ(edit->GetText(), u"坦克大战");
  EXPECT_FALSE(popup.IsVisible());
  const std::u16string search = market::SearchUrl(0, u"坦克大战");
  ASSERT_TRUE(WaitForPage(search)) << CDuiString(frame_->Browser(0).CurrentUrl()).ToUtf8();
  ui_xvfb::PumpFor(300);
  ui_xvfb::Shot(hwnd_, "market_search.png");
  EXPECT_EQ(site_.CompletionKeywords().size(), asked);  // taking a suggestion asks nothing

  // The app's download button (the site's fixed place for the first row).
  CControlUI* browser = frame_->PaintManager().FindControl(u"game_market");
  ASSERT_NE(browser, nullptr);
  Click(ScreenPoint(browser, 384, 56 + 36));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return !downloads_.calls.empty(); }, 15000));
  const DownloadCall& call = downloads_.calls[0];
  EXPECT_EQ(CDuiString(call.url).ToUtf8(),
            site_.Base() + "/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=1001&vorn=from=search");
  EXPECT_EQ(call.name, u"坦克大战");
  EXPECT_EQ(CDuiString(call.icon).ToUtf8(), site_.Base() + "/appmarket/game/icon/1001.png");
  EXPECT_EQ(call.package, u"com.zelvik.tankwar");
  // One request, no new window, and the page stays.
  ui_xvfb::PumpFor(300);
  EXPECT_EQ(downloads_.calls.size(), 1u);
  EXPECT_EQ(frame_->Browser(0).CurrentUrl(), search);

  // The task appears, downloads through swarmload from the market site and
  // is installed on the simulated phone.
  const uint32_t id = Utf16LeCrc32(call.url);
  EXPECT_EQ(downloads_.accepted, std::vector<bool>{true});
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return Installed(u"com.zelvik.tankwar"); }, 180000))
      << "the market app never reached the phone";
  bool fetched = false;
  for (const std::string& r : site_.Requests())
    fetched = fetched || r == "/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=1001&vorn=from=search";
  EXPECT_TRUE(fetched);
  EXPECT_TRUE(ui_xvfb::PumpUntil([&] { return tasks_->FindOnlineTask(id) == nullptr; }, 60000));
  EXPECT_EQ(tasks_->FindOfflineTask(id), nullptr);
  EXPECT_EQ(sim_.Errors(), "[]");
}

// A suggestion picked with the mouse searches as one taken with the keys.
TEST_F(MarketXvfbTest, SuggestionClickedWithTheMouse) {
  ASSERT_TRUE(WaitForPage(market::HomePageUrl(0)));
  auto* edit = static_cast<CEditUI*>(frame_->PaintManager().FindControl(u"search_edit"));
  ASSERT_NE(edit, nullptr);
  Click(CentreOf(u"search_edit"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->IsFocused(); }));
  keys_.Type(u"开心");
  CSearchMenu& popup = frame_->SearchMenu();
  ASSERT_TRUE(ui_xvfb::PumpUntil(
      [&] {
        auto asked = site_.CompletionKeywords();
        return popup.IsVisible() && !asked.empty() && asked.back() == "开心" &&
               frame_->AppSearch().GetState() == base::WinThread::kIdle;
      },
      15000));
  ui_xvfb::PumpFor(100);
  ASSERT_EQ(popup.Items(), std::vector<std::u16string>{u"开心消消乐"});
  RECT box;
  GetWindowRect(popup.GetHWND(), &box);
  Click(MakePoint(box.left + 40, box.top + 2 + CSearchMenu::kItemHeight / 2));
  ASSERT_TRUE(WaitForPage(market::SearchUrl(0, u"开心消消乐"))) << CDuiString(frame_->Browser(0).CurrentUrl()).ToUtf8();
  EXPECT_EQ(edit->GetText(), u"开心消消乐");
  EXPECT_FALSE(popup.IsVisible());
}

// Leaving the box empty brings the grey placeholder back; leaving it with
// text keeps the text.
TEST_F(MarketXvfbTest, PlaceholderComesBackOnlyWhenTheBoxIsLeftEmpty) {
  auto* edit = static_cast<CEditUI*>(frame_->PaintManager().FindControl(u"search_edit"));
  ASSERT_NE(edit, nullptr);
  Click(CentreOf(u"search_edit"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->IsFocused(); }));
  keys_.Type(u"qq");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->GetText() == u"qq"; }, 5000)) << edit->GetText().ToUtf8();
  Click(CentreOf(u"ie_error_title"));  // somewhere else in the window
  Click(CentreOf(u"nav_store_lbl"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return !edit->IsFocused(); }));
  EXPECT_EQ(edit->GetText(), u"qq");
  Click(CentreOf(u"search_edit"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->IsFocused(); }));
  keys_.Key("BackSpace");
  keys_.Key("BackSpace");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return edit->GetText().IsEmpty(); }, 5000)) << edit->GetText().ToUtf8();
  Click(CentreOf(u"nav_store_lbl"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return !edit->IsFocused(); }));
  EXPECT_EQ(edit->GetText(), u"应用市场搜索");
  EXPECT_EQ(edit->GetTextColor(), 0xFF888888u);
}

}  // namespace
