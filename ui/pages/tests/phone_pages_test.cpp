// The phone's home page, apps page and the settings window, headless over
// the program's own skin: first the pure texts and rules as tables, then
// the pages inside the main window with a fake phone side, then the
// settings window against the real configuration in a temporary user.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/message_payloads.h"
#include "foundation/base/code_page.h"
#include "ui/pages/dialogs.h"
#include "ui/pages/phone_page_texts.h"
#include "ui/pages/phone_pages_side.h"
#include "ui/tests/frame_fixture.h"

namespace {

using namespace DuiLib;
using namespace phone_pages;

AppRecord App(uint32_t key, std::u16string name, bool update = false, std::u16string version = u"1.0",
              std::u16string new_version = u"2.0") {
  AppRecord r;
  r.incomplete = false;
  r.key = key;
  r.app_name = std::move(name);
  r.size_text = u"3.2 MB";
  r.package_name = u"com.example.app";
  r.version_code = u"10";
  r.version_name = std::move(version);
  r.has_update = update;
  if (update) {
    r.new_version_code = u"11";
    r.new_version_name = std::move(new_version);
  }
  return r;
}

// ---------------- pure texts and rules ----------------

TEST(PhonePageTexts, AppKeysHaveOneUnsignedTextThatReadsBack) {
  for (uint32_t key : {0u, 7u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(ParseAppKey(AppKeyText(key)), key);
  }
  EXPECT_EQ(AppKeyText(0xFFFFFFFFu), u"4294967295");
  for (const char16_t* bad : {u"", u"-1", u"4294967296", u"12a", u" 1"}) EXPECT_FALSE(ParseAppKey(bad).has_value());
}

TEST(PhonePageTexts, StatusComesFromTheTaskManagerFirstThenThePhoneQueue) {
  struct Case {
    int online;
    std::optional<int32_t> queued;
    int status;
  } cases[] = {
      {4, 2, kRowUpdating},           // a download task wins over the queue
      {0, 2, kRowNormal},             // a task in state 0 counts as none running
      {-1, 0, kRowUpdating},          // queued install
      {-1, 2, kRowUninstalling},      // queued removal
      {-1, 5, kRowNormal},            // nothing queued
      {-1, std::nullopt, kRowNormal}, // no phone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.online);
    EXPECT_EQ(DeriveAppStatus(c.online, c.queued), c.status);
  }
  EXPECT_EQ(StatusLabel(kRowUpdating), u"升级中...");
  EXPECT_EQ(StatusLabel(kRowUninstalling), u"卸载中...");
  EXPECT_EQ(StatusLabel(kRowNormal), u"");
}

TEST(PhonePageTexts, VersionTextsOfARow) {
  struct Case {
    AppRecord record;
    VersionTexts texts;
  } cases[] = {
      {App(1, u"a"), {false, u"", u"1.0"}},
      {App(1, u"a", true, u"1.0", u"2.0"), {true, u"2.0", u"1.0"}},
      {App(1, u"a", true, u"1.5-Beta", u"1.5-beta"), {true, u"1.5-beta(11)", u"1.5-Beta(10)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.record.new_version_name.begin(), c.record.new_version_name.end()));
    VersionTexts t = RowVersionTexts(c.record);
    EXPECT_EQ(t.update_visible, c.texts.update_visible);
    EXPECT_EQ(t.update_version, c.texts.update_version);
    EXPECT_EQ(t.local_version, c.texts.local_version);
  }
}

TEST(PhonePageTexts, UninstallQuestions) {
  EXPECT_EQ(UninstallQuestion({u"a"}, 1), u"您确定卸载应用\"a\"吗？");
  EXPECT_EQ(UninstallQuestion({u"a", u"b", u"c"}, 3), u"您确定卸载应用\"a, b, c\"吗？");
  EXPECT_EQ(UninstallQuestion({u"a", u"b", u"c"}, 5), u"您确定卸载\"a, b, c\"等5个应用吗？");
  EXPECT_EQ(UninstallQuestion({}, 2), u"");
}

TEST(PhonePageTexts, InstallFailureViews) {
  EXPECT_FALSE(InstallFailureView(1).has_value());
  struct Case {
    int code;
    int height;
    bool retry;
    const char16_t* reason;
  } cases[] = {
      {-2, 40, true, u"应用签名不一致无法覆盖安装，需卸载删除数据后安装。"},
      {-4, 20, false, u"手机容量不足！"},
      {-9, 20, false, u"无效的安装包,安装包已损坏！"},
      {77, 20, false, u"安装失败！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::optional<FailureView> v = InstallFailureView(c.code);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->reason_height, c.height);
    EXPECT_EQ(v->retry_visible, c.retry);
    EXPECT_EQ(v->reason, c.reason);
  }
}

TEST(PhonePageTexts, BadgeAndStorage) {
  EXPECT_FALSE(UpdateBadge(0, 7).visible);
  Badge three = UpdateBadge(3, 7);
  EXPECT_TRUE(three.visible);
  EXPECT_EQ(three.text, u"3");
  EXPECT_EQ(three.width, 20);
  EXPECT_EQ(UpdateBadge(120, 21).width, 33);

  constexpr double GB = 1024.0 * 1024 * 1024, MB = 1024.0 * 1024;
  struct Bar {
    double total, available;
    int percent;
  } bars[] = {{16 * GB, 4 * GB, 75}, {0, 0, 0}, {0, 5 * MB, 0}, {-1, 0, 0}, {8 * GB, 9 * GB, 0},
              {100, 0.5, 99}};
  for (const Bar& b : bars) {
    SCOPED_TRACE(b.total);
    EXPECT_EQ(UsedPercent(b.total, b.available), b.percent);
  }
  EXPECT_EQ(FreeSpaceText(1536 * MB), u"(1.50G可用)");
  EXPECT_EQ(FreeSpaceText(1024 * MB), u"(1024.00MB可用)");
  EXPECT_EQ(FreeSpaceText(0), u"(0.00MB可用)");
}

TEST(PhonePageTexts, ScreenshotFileNames) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 11;
  t.tm_hour = 1;
  t.tm_min = 2;
  t.tm_sec = 3;
  EXPECT_EQ(ProposedShotName(t), u"助手截图20261211010203.png");
  struct Case {
    const char16_t* chosen;
    const char16_t* file;
  } cases[] = {{u"/tmp/shot", u"/tmp/shot.png"},
               {u"/tmp/shot.png", u"/tmp/shot.png"},
               {u"/tmp/shot.PNG", u"/tmp/shot.PNG"},
               {u"/tmp/shot.jpg", u"/tmp/shot.jpg.png"},
               {u"", u""}};
  for (const Case& c : cases) EXPECT_EQ(ShotFileName(c.chosen), c.file);
}

// ---------------- the pages in the main window ----------------

class FakeSide : public IPhonePagesSide {
 public:
  bool IsConnected() override { return connected; }
  void LoadAppList() override { calls.push_back("LoadAppList"); }
  void RefreshAppList() override { calls.push_back("RefreshAppList"); }
  std::vector<AppRecord> GetAppList() override { return connected ? apps : std::vector<AppRecord>(); }
  std::optional<AppRecord> FindAppByKey(uint32_t key) override {
    for (const AppRecord& a : apps)
      if (connected && a.key == key) return a;
    return std::nullopt;
  }
  bool UninstallApp(uint32_t key) override {
    uninstalled.push_back(key);
    queued[key] = 2;
    return true;
  }
  bool UpgradeApp(uint32_t key) override {
    upgraded.push_back(key);
    return true;
  }
  bool IgnoreAppUpdate(uint32_t) override { return true; }
  bool UnignoreAppUpdate(uint32_t) override { return true; }
  bool FindAppByPackage(const std::u16string&, IgnoredApp*) override { return false; }
  void PruneIgnoreList() override { calls.push_back("PruneIgnoreList"); }
  std::optional<int32_t> GetAppTaskState(uint32_t key) override {
    if (!connected) return std::nullopt;
    auto it = queued.find(key);
    return it == queued.end() ? 5 : it->second;
  }
  int GetOnlineTaskState(uint32_t) override { return -1; }
  uint32_t FindOnlineTaskByKey(uint32_t key) override { return key == 1 ? 77 : 0; }
  void RetryTask(uint32_t id) override { retried.push_back(id); }
  bool InstallApkFile(const std::u16string& path) override {
    installed.push_back(path);
    return true;
  }
  bool GetCurrentDevice(PhoneDeviceInfo* info) override {
    if (!device) return false;
    info->manufacturer = u"HUAWEI";
    info->product = u"P7-L09";
    return true;
  }
  std::optional<PhoneEnvironment> GetEnvironment() override {
    if (!connected) return std::nullopt;
    return environment;
  }
  void SetEnvironmentFlag(int32_t value) override { flag = value; }
  int32_t GetCount(PhoneCountCategory category) override { return 10 + category; }
  void StartShotcutThread() override { calls.push_back("StartShotcutThread"); }
  void SaveScreenShot(const std::u16string& path) override { saved.push_back(path); }
  void RequestStorageInfo() override { calls.push_back("RequestStorageInfo"); }

  bool connected = true;
  bool device = true;
  std::vector<AppRecord> apps;
  std::map<uint32_t, int32_t> queued;
  std::vector<std::string> calls;
  std::vector<uint32_t> uninstalled, upgraded, retried;
  std::vector<std::u16string> installed, saved;
  PhoneEnvironment environment;
  int32_t flag = 0;
};

class PhonePagesTest : public ui_test::FrameTest {
 public:
  void SetUp() override {
    SetPhonePagesSide(&side);
    ui_test::FrameTest::SetUp();
    backend.connected = true;
    // The apps page shows (its controls count as visible).
    Control<COptionUI>(u"myapp_optn", u"Option")->Selected(true);
    Pump();
    side.calls.clear();
  }
  void TearDown() override {
    ui_test::FrameTest::TearDown();
    SetPhonePagesSide(nullptr);
  }
  void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    PostMessage(hwnd, message, wParam, lParam);
    Pump();
  }
  void Click(const char16_t* name) {
    CControlUI* c = PM().FindControl(name);
    ASSERT_NE(c, nullptr) << CDuiString(name).ToUtf8();
    PM().SendNotify(c, DUI_MSGTYPE_CLICK);
  }
  CMyAppList* List() { return frame->PhoneApp().List(); }
  CControlUI* RowControl(uint32_t key, const char16_t* name) {
    return CMyAppList::Sub(List()->FindRow(key), name);
  }
  int OperationPage(uint32_t key) {
    auto* tab = static_cast<CTabLayoutUI*>(RowControl(key, u"tab_operate")->GetInterface(u"TabLayout"));
    return tab->GetCurSel();
  }
  // Apps with the keys given, named a, b, c, ...
  void ShowApps(std::vector<uint32_t> keys) {
    side.apps.clear();
    char16_t name = u'a';
    for (uint32_t key : keys) side.apps.push_back(App(key, std::u16string(1, name++)));
    Post(msg::kAppPage218);
  }
  bool Visible(const char16_t* name) { return PM().FindControl(name)->IsVisible(); }
  bool Enabled(const char16_t* name) { return PM().FindControl(name)->IsEnabled(); }

  FakeSide side;
};

TEST_F(PhonePagesTest, ListStateFollowsTheNumberOfRows) {
  struct Case {
    int rows;
    bool tips;
    bool chk_enabled;
  } cases[] = {{5, true, true}, {6, false, true}, {0, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    std::vector<uint32_t> keys;
    for (int i = 0; i < c.rows; ++i) keys.push_back(0x90000000u + i);
    ShowApps(keys);
    EXPECT_EQ(List()->GetCount(), c.rows);
    EXPECT_EQ(Visible(u"app_toless_tips"), c.tips);
    EXPECT_EQ(Enabled(u"app_chk"), c.chk_enabled);
  }
  // Rows carry the keys as unsigned decimal text, also above 2^31.
  ShowApps({0xFFFFFFF0u});
  EXPECT_EQ(List()->GetItemAt(0)->GetUserData().str(), u"4294967280");
  EXPECT_EQ(RowControl(0xFFFFFFF0u, u"app_name")->GetText().str(), u"a");
}

TEST_F(PhonePagesTest, RowShowsVersionsAndButtonsOfAnUpdate) {
  side.apps = {App(7, u"Notes", true, u"1.5", u"1.5")};
  Post(msg::kAppPage218);
  EXPECT_EQ(RowControl(7, u"update_version")->GetText().str(), u"1.5(11)");
  EXPECT_EQ(RowControl(7, u"local_version")->GetText().str(), u"1.5(10)");
  EXPECT_TRUE(RowControl(7, u"app_update")->IsVisible());
  EXPECT_TRUE(RowControl(7, u"ignore")->IsVisible());
  EXPECT_FALSE(RowControl(7, u"hide_btn")->IsVisible());
  EXPECT_EQ(RowControl(7, u"app_size")->GetText().str(), u"3.2 MB");
}

TEST_F(PhonePagesTest, UninstallingCheckedRowsAsksFirst) {
  struct Case {
    int checked;
    int answer;
    const char16_t* question;
  } cases[] = {
      {3, IDOK, u"您确定卸载应用\"a, b, c\"吗？"},
      {5, IDOK, u"您确定卸载\"a, b, c\"等5个应用吗？"},
      {2, IDCANCEL, u"您确定卸载应用\"a, b\"吗？"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checked);
    side.uninstalled.clear();
    side.queued.clear();
    ShowApps({1, 2, 3, 4, 5, 6});
    for (int i = 0; i < c.checked; ++i) List()->RowCheckBox(List()->GetItemAt(i))->SetCheck(true, false);
    std::u16string asked;
    host->PushModalScript([&](HWND box) {
      asked = CPaintManagerUI::GetManagerOf(box)->FindControl(u"msglab")
                  ? CPaintManagerUI::GetManagerOf(box)->FindControl(u"msglab")->GetText().str()
                  : u"";
      ClickControl(box, c.answer == IDOK ? u"okbtn" : u"cancelbtn");
    });
    Click(u"unistallapp_btn");
    Pump();
    EXPECT_EQ(asked, c.question);
    if (c.answer == IDOK) {
      ASSERT_EQ(side.uninstalled.size(), static_cast<size_t>(c.checked));
      EXPECT_EQ(OperationPage(1), CMyAppList::kOperationStatus);
      EXPECT_EQ(RowControl(1, u"lbl_appstatus")->GetText().str(), u"卸载中...");
      EXPECT_FALSE(RowControl(1, u"app_checkbox")->IsEnabled());
    } else {
      EXPECT_TRUE(side.uninstalled.empty());
      EXPECT_EQ(OperationPage(1), CMyAppList::kOperationButtons);
    }
  }
}

// A removal that failed gives the row its buttons and its box back; one
// that worked removes the row and prunes the ignore list.
TEST_F(PhonePagesTest, RemovalResultsReachTheRow) {
  ShowApps({1, 2});
  RECT rc;
  GetClientRect(hwnd, &rc);
  PM().GetRoot()->SetPos(rc);
  ASSERT_TRUE(ClickControl(RowControl(1, u"app_uinstall")));
  ASSERT_TRUE(ClickControl(RowControl(2, u"app_uinstall")));
  Pump();
  EXPECT_EQ(side.uninstalled, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(OperationPage(1), CMyAppList::kOperationStatus);
  // The phone refused the first: the manager reports key 0, result 0.
  side.queued.erase(1);
  Post(msg::kAppRemoved, 0, 0);
  EXPECT_EQ(OperationPage(1), CMyAppList::kOperationButtons);
  EXPECT_TRUE(RowControl(1, u"app_checkbox")->IsEnabled());
  EXPECT_EQ(OperationPage(2), CMyAppList::kOperationStatus) << "still queued";
  // The second went.
  side.queued.erase(2);
  side.apps.pop_back();
  Post(msg::kAppRemoved, 2, 1);
  EXPECT_EQ(List()->GetCount(), 1);
  EXPECT_EQ(side.calls.back(), "PruneIgnoreList");
}

TEST_F(PhonePagesTest, InstallResultsShowTheFailureView) {
  ShowApps({1});
  Post(msg::kAppInstalled, 1, 1);
  EXPECT_EQ(OperationPage(1), CMyAppList::kOperationButtons);
  struct Case {
    int code;
    bool retry;
    int height;
  } cases[] = {{-2, true, 40}, {-4, false, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Post(msg::kAppInstalled, 1, static_cast<LPARAM>(c.code));
    EXPECT_EQ(OperationPage(1), CMyAppList::kOperationFailure);
    EXPECT_EQ(RowControl(1, u"btn_failed_retry")->IsVisible(), c.retry);
    EXPECT_EQ(RowControl(1, u"btn_failed_knowed")->IsVisible(), !c.retry);
    EXPECT_EQ(RowControl(1, u"lbl_failed_reason")->GetFixedHeight(), c.height);
  }
  PM().SendNotify(RowControl(1, u"btn_failed_knowed"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(OperationPage(1), CMyAppList::kOperationButtons);
  EXPECT_TRUE(backend.actions.back() == 148);
  // "卸载后安装" retries the app's download-and-install task and shows the update running.
  Post(msg::kAppInstalled, 1, -2);
  PM().SendNotify(RowControl(1, u"btn_failed_retry"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(side.retried, (std::vector<uint32_t>{77}));
  EXPECT_EQ(OperationPage(1), CMyAppList::kOperationStatus);
  EXPECT_EQ(RowControl(1, u"lbl_appstatus")->GetText().str(), u"升级中...");
}

// The page's box checks every row; the rows' boxes check the page's box
// when all are checked; the remove button follows.
TEST_F(PhonePagesTest, CheckBoxesOfThePageAndOfTheRows) {
  ShowApps({1, 2});
  auto* all = Control<CCheckBoxUI>(u"app_chk", u"CheckBox");
  all->SetCheck(true, false);
  Click(u"app_chk");
  EXPECT_EQ(List()->CheckedCount(), 2);
  EXPECT_TRUE(Enabled(u"unistallapp_btn"));
  for (uint32_t key : {1u, 2u}) {
    auto* box = static_cast<CCheckBoxUI*>(RowControl(key, u"app_checkbox")->GetInterface(u"CheckBox"));
    box->SetCheck(false, false);
    PM().SendNotify(box, DUI_MSGTYPE_CLICK);
    EXPECT_FALSE(all->GetCheck());
  }
  EXPECT_FALSE(Enabled(u"unistallapp_btn"));
  auto* first = static_cast<CCheckBoxUI*>(RowControl(1, u"app_checkbox")->GetInterface(u"CheckBox"));
  first->SetCheck(true, false);
  PM().SendNotify(first, DUI_MSGTYPE_CLICK);
  EXPECT_TRUE(Enabled(u"unistallapp_btn"));
  EXPECT_EQ(TextOf(u"ignored_update_btn"), u"已忽略升级(0)");
}

TEST_F(PhonePagesTest, BadgeBusyViewAndUpdateAll) {
  Post(msg::kAppUpdatableCount, 3);
  EXPECT_TRUE(Visible(u"app_update_num"));
  EXPECT_EQ(PM().FindControl(u"app_update_num")->GetText().str(), u"3");
  EXPECT_GE(PM().FindControl(u"app_update_num")->GetFixedWidth(), 20);
  EXPECT_TRUE(Enabled(u"app_onekeyupdate"));
  Post(msg::kAppUpdatableCount, 0);
  EXPECT_FALSE(Visible(u"app_update_num"));
  EXPECT_FALSE(Enabled(u"app_onekeyupdate"));

  Post(msg::kAppBusy, 1);
  EXPECT_EQ(TabOf(u"tab_app_load"), 1);
  EXPECT_FALSE(Enabled(u"refreshapp_btn"));
  EXPECT_FALSE(Enabled(u"addapp_btn"));
  Post(msg::kAppBusy, 0);
  EXPECT_EQ(TabOf(u"tab_app_load"), 0);
  EXPECT_TRUE(Enabled(u"addapp_btn"));

  // Every row is walked once; only apps with an update are updated.
  side.apps = {App(1, u"a", true), App(2, u"b"), App(3, u"c", true)};
  Post(msg::kAppPage218);
  Click(u"app_onekeyupdate");
  EXPECT_EQ(side.upgraded, (std::vector<uint32_t>{1, 3}));
  Post(msg::kAppUpgradeQueued, 3);
  EXPECT_EQ(RowControl(3, u"lbl_appstatus")->GetText().str(), u"升级中...");
}

TEST_F(PhonePagesTest, ApkFilesChosenAreInstalled) {
  host->PushFileChoice({u"/data/apk/one.apk", u"/data/apk/two.apk"});
  Click(u"addapp_btn");
  ASSERT_EQ(host->FileChooserCalls().size(), 1u);
  const TFileChooser asked = host->FileChooserCalls()[0];
  EXPECT_EQ(asked.sTitle.str(), u"选择apk文件");
  EXPECT_EQ(asked.sFilterName.str(), u"Android 安装包(*.apk)");
  EXPECT_EQ(asked.sPattern.str(), u"*.apk");
  EXPECT_TRUE(asked.bMultiSelect);
  EXPECT_EQ(side.installed, (std::vector<std::u16string>{u"/data/apk/one.apk", u"/data/apk/two.apk"}));
  host->PushFileChoice({});  // cancelled
  Click(u"addapp_btn");
  EXPECT_EQ(side.installed.size(), 2u);
}

TEST_F(PhonePagesTest, HomePageShowsNameCountsAndStorage) {
  constexpr double GB = 1024.0 * 1024 * 1024;
  side.environment.internal_total = 16 * GB;
  side.environment.internal_available = 4 * GB;
  side.environment.sd_total = 0;  // no card: no division by zero
  side.environment.sd_available = 0;
  side.environment.display_name = u"Huawei P7";
  Post(msg::kEnvironmentParsed);
  EXPECT_EQ(side.flag, 1);
  EXPECT_EQ(TextOf(u"phone_name"), u"HUAWEI/P7-L09");
  EXPECT_EQ(Control<CProgressUI>(u"innersize_progress", u"Progress")->GetValue(), 75);
  EXPECT_EQ(Control<CProgressUI>(u"sdcard_progress", u"Progress")->GetValue(), 0);
  EXPECT_EQ(TextOf(u"inner_size"), u"(4.00G可用)");
  EXPECT_EQ(TextOf(u"sdcard_size"), u"(0.00MB可用)");
  Post(msg::kEnvironmentTextReady);
  EXPECT_EQ(TextOf(u"phone_name"), u"Huawei P7");
  struct Count {
    UINT message;
    const char16_t* home;
    const char16_t* page;
    const char16_t* text;
  } counts[] = {{msg::kAppCount, u"app_num", u"app_appnum", u"10"},
                {msg::kContactCount, u"contact_num", u"contact_contactnum", u"11"},
                {msg::kSmsCount, u"sms_num", u"sms_smsnum", u"12"},
                {msg::kPictureCount, u"pic_num", u"pic_picnum", u"13"},
                {msg::kMusicCount, u"music_num", u"music_musicnum", u"14"},
                {msg::kVideoCount, u"video_num", u"video_videonum", u"15"}};
  for (const Count& c : counts) {
    Post(c.message, 99);
    EXPECT_EQ(TextOf(c.home), c.text);
    if (PM().FindControl(c.page)) {
      EXPECT_EQ(TextOf(c.page), c.text);
    }
  }
  Post(msg::kPhoneContentChanged);
  EXPECT_EQ(side.calls.back(), "RequestStorageInfo");

  // The phone goes: the page empties; a count that arrives now changes nothing.
  frame->PhoneInfo().Clear();
  side.connected = false;
  Post(msg::kAppCount, 3);
  EXPECT_EQ(TextOf(u"app_num"), u"");
  EXPECT_EQ(TextOf(u"phone_name"), u"");
  EXPECT_EQ(Control<CProgressUI>(u"innersize_progress", u"Progress")->GetValue(), 0);
}

TEST_F(PhonePagesTest, ScreenshotIsShownAndSavedUnderAPngName) {
  auto* shot = new ScreenBitmap;
  shot->width = 2;
  shot->height = 2;
  shot->pixels = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  Post(msg::kScreenshotInMemory, reinterpret_cast<WPARAM>(shot));
  auto* image = Control<CPngImageUI>(u"phone_shotcut", u"PngImage");
  ASSERT_NE(image->GetImage(), nullptr);
  EXPECT_EQ(image->GetImage()->nX, 2);
  // A bitmap whose pixels do not match its size is dropped (and freed).
  auto* bad = new ScreenBitmap;
  bad->width = 1000;
  bad->height = 1000;
  Post(msg::kScreenshotInMemory, reinterpret_cast<WPARAM>(bad));
  EXPECT_EQ(image->GetImage()->nX, 2);

  struct Case {
    const char16_t* chosen;
    const char16_t* saved;
  } cases[] = {{u"/pics/shot", u"/pics/shot.png"}, {u"/pics/shot.PNG", u"/pics/shot.PNG"}};
  for (const Case& c : cases) {
    host->PushFileChoice({c.chosen});
    Click(u"shotcutsave_btn");
    EXPECT_EQ(side.saved.back(), c.saved);
  }
  const TFileChooser asked = host->FileChooserCalls().back();
  EXPECT_TRUE(asked.bSave);
  EXPECT_EQ(asked.sTitle.str(), u"保存画像文件");
  EXPECT_EQ(asked.sPattern.str(), u"*.png");
  EXPECT_EQ(asked.sFileName.str().rfind(u"助手截图", 0), 0u);
  host->PushFileChoice({});
  Click(u"shotcutsave_btn");
  EXPECT_EQ(side.saved.size(), 2u);
  Click(u"refresh_shotcut_btn");
  EXPECT_EQ(side.calls.back(), "StartShotcutThread");
}

// A page whose controls are missing still takes (and frees) a screenshot.
TEST_F(PhonePagesTest, ScreenshotIsFreedWithoutItsControl) {
  CPaintManagerUI empty;
  CPhoneInfoDlg page(&empty);
  page.Init();
  auto* shot = new ScreenBitmap;
  shot->width = 1;
  shot->height = 1;
  shot->pixels = {0xFF000000u};
  bool handled = false;
  page.HandleMessage(msg::kScreenshotInMemory, reinterpret_cast<WPARAM>(shot), 0, handled);
  EXPECT_TRUE(handled);  // LeakSanitizer would report the bitmap otherwise
}

// ---------------- the settings window ----------------

class SettingsTest : public ui_test::TempUserTest {
 public:
  // Opens the window and runs `script` in it; its result.
  void Run(std::function<void(HWND, CPaintManagerUI*)> script) {
    host->PushModalScript([&](HWND h) { script(h, CPaintManagerUI::GetManagerOf(h)); });
    dialogs::ShowSettings(0);
  }
  static bool OkEnabled(CPaintManagerUI* pm) { return pm->FindControl(u"ok")->IsEnabled(); }
};

TEST_F(SettingsTest, OpensWithTheSettingsAndOkDisabled) {
  CConfigMgr* config = CConfigMgr::Instance();
  config->SetInstallLocation(2);
  config->SetCloseType(1);
  Run([&](HWND h, CPaintManagerUI* pm) {
    EXPECT_FALSE(OkEnabled(pm));
    EXPECT_EQ(pm->FindControl(u"floder_edit")->GetText().str(), config->GetDownloadPath());
    EXPECT_TRUE(static_cast<COptionUI*>(pm->FindControl(u"btn_closeapp")->GetInterface(u"Option"))->IsSelected());
    ClickControl(h, u"appset_optn");
    auto* tabs = static_cast<CTabLayoutUI*>(pm->FindControl(u"tabset")->GetInterface(u"TabLayout"));
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(static_cast<COptionUI*>(pm->FindControl(u"btn_location_extern")->GetInterface(u"Option"))->IsSelected());
    // The configured option again: nothing changed.
    ClickControl(h, u"btn_location_extern");
    EXPECT_FALSE(OkEnabled(pm));
    ClickControl(h, u"btn_location_inner");
    EXPECT_TRUE(OkEnabled(pm));
    ClickControl(h, u"closebtn");
  });
  EXPECT_EQ(config->GetInstallLocation(), 2);
}

TEST_F(SettingsTest, FolderOnlyChangeKeepsTheLocation) {
  CConfigMgr* config = CConfigMgr::Instance();
  config->SetInstallLocation(1);
  const std::u16string folder = AnsiToWString(home_) + u"/apps here";
  host->PushFolderChoice(CDuiString(folder.c_str()));
  Run([&](HWND h, CPaintManagerUI* pm) {
    ClickControl(h, u"browse");
    EXPECT_EQ(pm->FindControl(u"floder_edit")->GetText().str(), folder);
    EXPECT_TRUE(OkEnabled(pm));
    ClickControl(h, u"ok");
  });
  EXPECT_EQ(config->GetDownloadPath(), folder);
  EXPECT_EQ(config->GetInstallLocation(), 1);
  EXPECT_EQ(host->FolderChooserCalls().back().str(), u"请选择下载目录：");
}

TEST_F(SettingsTest, ResetIsWrittenLastAndCancelWritesNothing) {
  CConfigMgr* config = CConfigMgr::Instance();
  config->SetAutoInstallFlag(false);
  config->SetSmsTips(false);
  // Cancel after the reset: nothing changes.
  Run([&](HWND h, CPaintManagerUI*) {
    ClickControl(h, u"reset_setting");
    ClickControl(h, u"closebtn");
  });
  EXPECT_FALSE(config->GetAutoInstallFlag());
  EXPECT_FALSE(config->GetSmsTips());
  // Reset, then "关闭应用程序", OK: the reset is written after it.
  Run([&](HWND h, CPaintManagerUI* pm) {
    ClickControl(h, u"reset_setting");
    EXPECT_TRUE(OkEnabled(pm));
    ClickControl(h, u"btn_closeapp");
    ClickControl(h, u"ok");
  });
  EXPECT_EQ(config->GetCloseType(), 0);
  EXPECT_TRUE(config->GetAutoInstallFlag());
  EXPECT_TRUE(config->GetSmsTips());
  EXPECT_EQ(config->GetDownloadPath(), config->GetDefaultDownloadPath());
}

}  // namespace
