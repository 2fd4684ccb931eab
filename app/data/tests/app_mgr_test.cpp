// The app manager, its job queue and the phone facade against a stand-in
// agent on loopback and a fake adb (a script that records its calls).
#include "app/data/app_mgr.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "app/adb/adbcmd_tool.h"
#include "app/agent/socket_thread.h"
#include "app/agent/tests/fake_agent.h"
#include "app/data/app_task_seams.h"
#include "app/data/phone.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"

namespace {

using testing_support::AgentAnswer;
using testing_support::FakeAgent;
using testing_support::SuccessReply;

const char kList[] =
    "<app appType=\"0\" packageName=\"com.android.settings\" appName=\"Settings\" appSize=\"4194304\" "
    "versionCode=\"19\" versionName=\"4.4.2\" packageStore=\"0\"/>"
    "<app appType=\"1\" packageName=\"com.zelvik.demo.notes\" appName=\"Notes\" appSize=\"1572864\" "
    "versionCode=\"12\" versionName=\"1.2\" packageStore=\"0\"/>"
    "<app appType=\"1\" packageName=\"COM.ZELVIK.ASSIST\" appName=\"Agent\" appSize=\"2097152\" "
    "versionCode=\"3\" versionName=\"1.3.0\" packageStore=\"0\"/>"
    "<app appType=\"1\" packageName=\"com.zelvik.demo.blocks\" appName=\"Blocks\" appSize=\"1536\" "
    "versionCode=\"7\" versionName=\"0.7\" packageStore=\"1\"/>";

const uint32_t kNotes = Utf16LeCrc32(u"com.zelvik.demo.notes");
const uint32_t kBlocks = Utf16LeCrc32(u"com.zelvik.demo.blocks");

// A fake adb and aapt: each call is one line in <dir>/calls; "install"
// prints <dir>/out_install and, while <dir>/hold exists, waits (bounded)
// for it to go; "pm uninstall" prints <dir>/out_uninstall; aapt names the
// package of any apk com.zelvik.demo.notes.
class FakeTools {
 public:
  FakeTools() {
    const std::string d = dir_.path();
    const std::string adb = dir_.Script("adb",
                                        "echo \"$*\" >> '" + d + "/calls'\n"
                                        "case \"$*\" in\n"
                                        "  *' install '*) i=0; while [ -f '" + d + "/hold' ] && [ $i -lt 300 ]; do "
                                        "sleep 0.1; i=$((i+1)); done; cat '" + d + "/out_install' ;;\n"
                                        "  *'pm uninstall'*) cat '" + d + "/out_uninstall' ;;\n"
                                        "  *) exit 1 ;;\n"
                                        "esac\nexit 0\n");
    const std::string aapt = dir_.Script("aapt", "echo \"package: name='com.zelvik.demo.notes' versionCode='13'\"\n");
    setenv("PHONEDECK_ADB", adb.c_str(), 1);
    setenv("PHONEDECK_AAPT", aapt.c_str(), 1);
    Output("install", "Success\n");
    Output("uninstall", "Success\n");
    CAdbCmdTool::Instance()->SetSerial(u"SER1");
  }
  ~FakeTools() {
    unsetenv("PHONEDECK_ADB");
    unsetenv("PHONEDECK_AAPT");
  }
  void Output(const std::string& name, const std::string& text) { dir_.Write("out_" + name, text); }
  void Hold() { dir_.Write("hold", ""); }
  void Release() { ::unlink(dir_.File("hold").c_str()); }
  std::string Calls() { return dir_.Read("calls"); }

 private:
  testing_support::TempFolder dir_;
};

using data_test::ScriptedAgent;

class AppMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    message_sink::Take();
    CConfigMgr::Instance()->SetPhonePaths(u"SER1");
  }
  // Loads kList and waits for the end of the load.
  void LoadList(CAppMgr& apps) {
    agent_.Reply("package_list", kList);
    apps.RefreshAppList();
    ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  }

  data_test::PrivateFolders folders_;
  FakeTools tools_;
  ScriptedAgent agent_;
  data_test::Posts posts_;
};

TEST(FormatFileSizeTest, Table) {
  struct Case {
    int64_t bytes;
    const char16_t* text;
  } cases[] = {{-5, u""},           {0, u""},           {512, u""},           {1024, u""},
               {1025, u"1 KB"},     {1536, u"1 KB"},    {1048575, u"1023 KB"}, {1048576, u"1.0 MB"},
               {1572864, u"1.5 MB"}, {1073741823, u"1024.0 MB"}, {1073741824, u"1.0 GB"},
               {5368709120LL, u"5.0 GB"}};
  for (const Case& c : cases) EXPECT_EQ(FormatFileSize(c.bytes), c.text) << c.bytes;
}

TEST_F(AppMgrTest, ListSkipsSystemAppsAndTheAgentAndCopiesGoToPages) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  const std::vector<AppRecord> list = apps.GetAppList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].package_name, u"com.zelvik.demo.notes");
  EXPECT_EQ(list[0].key, kNotes);
  EXPECT_EQ(list[0].size_text, u"1.5 MB");
  EXPECT_EQ(list[0].version_code, u"12");
  EXPECT_FALSE(list[0].incomplete);
  EXPECT_EQ(list[1].size_text, u"1 KB");
  EXPECT_EQ(list[1].store, u"1");
  EXPECT_EQ(apps.GetAppCount(), 2);
  // Busy 1 then 0 around the list, the recount (0) before the end.
  EXPECT_EQ(posts_.Of(msg::kAppBusy), (std::vector<std::pair<uintptr_t, intptr_t>>{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kAppCount), (std::vector<std::pair<uintptr_t, intptr_t>>{{0, 0}}));
  EXPECT_TRUE(apps.FindAppByPackage(u"COM.zelvik.DEMO.notes").has_value());
  EXPECT_FALSE(apps.FindAppByKey(Utf16LeCrc32(u"com.android.settings")).has_value());
  // Loaded: LoadAppList sends nothing more.
  apps.LoadAppList();
  EXPECT_EQ(agent_.Count("package_list"), 1);
}

TEST_F(AppMgrTest, CountStartsOneListLoad) {
  agent_.Reply("package_list", kList);
  agent_.Reply("package_count", "<count value=\"3\"/>");
  CAppMgr apps;
  apps.RequestAppCount();
  apps.RequestAppCount();  // the second finds the load busy or done
  ASSERT_TRUE(data_test::WaitUntil([&] { return posts_.Of(msg::kAppCount).size() >= 3; }));
  ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  EXPECT_EQ(posts_.Of(msg::kAppCount).size(), 3u);  // 3, 3 and the recount 0, in some order
  EXPECT_EQ(posts_.Of(msg::kAppBusy).size(), 2u);
  EXPECT_EQ(agent_.Count("package_list"), 1);
  EXPECT_EQ(apps.GetAppList().size(), 2u);
}

// Rule (a): every kind of failed reply ends the load and tells the page;
// the records stay.
TEST_F(AppMgrTest, BusyIsClearedAfterEveryFailedReply) {
  struct Case {
    const char* name;
    AgentAnswer answer;
  } cases[] = {
      {"result 0", {AgentAnswer::kReply, "<response result=\"0\"/>"}},
      {"wrong root", {AgentAnswer::kReply, "<reply result=\"1\"/>"}},
      {"closed without data", {AgentAnswer::kClose, ""}},
      {"connection reset", {AgentAnswer::kReset, ""}},
  };
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posts_.Clear();
    agent_.Set("package_list", c.answer);
    apps.RefreshAppList();
    ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
    EXPECT_FALSE(apps.IsBusy());
    EXPECT_EQ(apps.GetAppList().size(), 2u);
  }
}

TEST_F(AppMgrTest, BusyIsClearedWhenTheAgentCannotBeReached) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  posts_.Clear();
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 1);  // nothing listens there
  apps.RefreshAppList();
  ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  EXPECT_FALSE(apps.IsBusy());
  EXPECT_EQ(apps.GetAppList().size(), 2u);
  EXPECT_TRUE(posts_.WaitForMessage(msg::kAgentLinkFailed));
  // Requests still trying the closed port must not reach the manager once it is gone.
  CSocketThreadMgr::Instance()->StopFor(&apps);
}

TEST_F(AppMgrTest, IconRepliesTable) {
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0icon\0bytes", 11);
  struct Case {
    const char* name;
    std::string package;  // asked for and named in the reply
    std::string tail;     // after the XML text
    bool path_set;
    bool file_written;
  } cases[] = {
      {"XML and its NUL only", "com.zelvik.demo.notes", std::string("\0", 1), true, false},
      {"XML without NUL", "com.zelvik.demo.notes", "", true, false},
      {"icon bytes", "com.zelvik.demo.blocks", std::string("\0", 1) + png, true, true},
      {"package not in the list", "com.zelvik.other", std::string("\0", 1) + png, false, false},
  };
  // Icons in the cache already: the list load fetches none in the background.
  ASSERT_TRUE(CConfigMgr::MakeSureDirectory(CConfigMgr::Instance()->GetIconCachePath()));
  std::ofstream(WStringToAnsi(CAppMgr::IconFileName(u"com.zelvik.demo.notes", u"12"))) << "old";
  std::ofstream(WStringToAnsi(CAppMgr::IconFileName(u"com.zelvik.demo.blocks", u"7"))) << "old";
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  EXPECT_EQ(posts_.Of(msg::kAppIconReady).size(), 2u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string package = AnsiToWString(c.package);
    std::optional<AppRecord> before = apps.FindAppByPackage(package);
    const std::u16string icon =
        CAppMgr::IconFileName(package, before ? before->version_code : std::u16string());
    ::unlink(WStringToAnsi(icon).c_str());
    agent_.Set("package_icon", {AgentAnswer::kReply, SuccessReply("<packageName value=\"" + c.package + "\"/>") + c.tail});
    posts_.Clear();
    apps.RequestPackageIcon(package);  // synchronous
    std::optional<AppRecord> after = apps.FindAppByPackage(package);
    EXPECT_EQ(after.has_value() && after->icon_path == icon, c.path_set);
    EXPECT_EQ(posts_.Of(msg::kAppIconReady).size(), c.path_set ? 1u : 0u);
    std::ifstream file(WStringToAnsi(icon), std::ios::binary);
    EXPECT_EQ(file.good(), c.file_written);
    if (c.file_written) {
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()), png);
    }
  }
}

TEST_F(AppMgrTest, IconFileStaysInTheCacheFolder) {
  const std::u16string cache = CConfigMgr::Instance()->GetIconCachePath();
  EXPECT_EQ(CAppMgr::IconFileName(u"a.b", u"12"), cache + u"a.b12.png");
  for (const char16_t* bad : {u"../x", u"a/b", u"a\\b", u".hidden", u""}) {
    EXPECT_EQ(CAppMgr::IconFileName(bad, u"1"), u"") << WStringToAnsi(bad);
  }
}

// An apk whose path is not ASCII reaches adb only as "<crc>.apk" in the
// temporary folder; the copy is gone afterwards; the listener hears 2, then
// the result; a job without listener runs too.
TEST_F(AppMgrTest, InstallCopiesToACrcNameAndReports) {
  const std::string apk = folders_.folder().Write("应用 安装.apk", "PK fake apk");
  const std::u16string path = AnsiToWString(apk);
  struct Listener : InstallListener {
    std::mutex lock;
    std::vector<std::pair<std::u16string, int32_t>> heard;
    void OnInstallResult(const std::u16string& p, int32_t r) override {
      std::lock_guard<std::mutex> hold(lock);
      heard.emplace_back(p, r);
    }
  } listener;
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  posts_.Clear();
  agent_.Reply("package_info",
               "<app appType=\"1\" packageName=\"com.zelvik.demo.notes\" appName=\"Notes\" appSize=\"2097152\" "
               "versionCode=\"13\" versionName=\"1.3\" packageStore=\"0\"/>");
  apps.InstallApp(path, 0, 77);  // no listener yet
  ASSERT_TRUE(posts_.WaitFor(msg::kAppRefreshed, kNotes));
  apps.SetInstallListener(&listener);
  tools_.Output("install", "Failure [INSTALL_FAILED_ALREADY_EXISTS]\n");
  apps.InstallApp(path, 0, 78);
  ASSERT_TRUE(posts_.WaitFor([](const PostedMessage& m) {
    return m.message == msg::kAppInstalled && m.wParam == kNotes && m.lParam != 1;
  }));

  const std::u16string copy = TemporaryApkName(CConfigMgr::Instance()->GetTempDir(), path);
  char digits[32];
  snprintf(digits, sizeof digits, "/%lu.apk", static_cast<unsigned long>(Utf16LeCrc32(path)));
  EXPECT_NE(WStringToAnsi(copy).find(digits), std::string::npos);
  const std::string calls = tools_.Calls();
  EXPECT_EQ(calls, "-s SER1 install -r " + WStringToAnsi(copy) + "\n-s SER1 install -r " + WStringToAnsi(copy) + "\n");
  EXPECT_FALSE(FileExists(copy));
  EXPECT_EQ(apps.FindAppByKey(kNotes)->version_code, u"13");  // refreshed by package_info
  std::lock_guard<std::mutex> hold(listener.lock);
  ASSERT_EQ(listener.heard.size(), 2u);
  EXPECT_EQ(listener.heard[0], std::make_pair(path, kInstallStarted));
  EXPECT_EQ(listener.heard[1].first, path);
  EXPECT_LT(listener.heard[1].second, 0);
}

TEST_F(AppMgrTest, MissingApkEndsWithBadPath) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  struct Listener : InstallListener {
    std::atomic<int32_t> last{0};
    void OnInstallResult(const std::u16string&, int32_t r) override { last = r; }
  } listener;
  apps.SetInstallListener(&listener);
  apps.InstallApp(u"/nonexistent/x.apk", 0, 5);
  ASSERT_TRUE(data_test::WaitUntil([&] { return listener.last.load() == kInstallBadPath; }));
  EXPECT_EQ(tools_.Calls(), "");
}

// The queue: the running job counts as queued (no second job with its key),
// waiting jobs have a state and can be cancelled, removals post 1244.
TEST_F(AppMgrTest, QueueSeesRunningAndWaitingJobs) {
  const std::string apk = folders_.folder().Write("a.apk", "PK");
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  posts_.Clear();
  tools_.Hold();
  apps.InstallApp(AnsiToWString(apk), 0, kBlocks);
  // Wait until the install runs (adb was called).
  ASSERT_TRUE(data_test::WaitUntil([&] { return tools_.Calls().find("install") != std::string::npos; }));
  EXPECT_EQ(apps.GetAppTaskState(kBlocks), kAppTaskNone);  // running, not waiting
  EXPECT_TRUE(apps.InstallApp(AnsiToWString(apk), 0, kBlocks));  // not queued behind it
  EXPECT_FALSE(apps.UninstallApp(Utf16LeCrc32(u"com.not.listed")));
  EXPECT_TRUE(apps.UninstallApp(kNotes));
  EXPECT_TRUE(apps.UninstallApp(kNotes));  // once
  EXPECT_EQ(apps.GetAppTaskState(kNotes), kAppTaskRemove);
  EXPECT_TRUE(apps.UninstallApp(kBlocks));  // a removal waits behind the install of its app
  EXPECT_EQ(apps.GetAppTaskState(kBlocks), kAppTaskRemove);
  apps.InstallApp(u"/x/B.apk", 0, 99);
  EXPECT_EQ(apps.GetAppTaskState(99), kAppTaskInstall);
  apps.CancelTask(u"/X/b.APK");
  EXPECT_EQ(apps.GetAppTaskState(99), kAppTaskNone);
  tools_.Release();
  ASSERT_TRUE(posts_.WaitFor(msg::kAppRemoved, kBlocks));
  EXPECT_EQ(posts_.Of(msg::kAppRemoved), (std::vector<std::pair<uintptr_t, intptr_t>>{{kNotes, 1}, {kBlocks, 1}}));
  EXPECT_TRUE(apps.GetAppList().empty());
  EXPECT_EQ(apps.GetAppCount(), 0);
  const std::string calls = tools_.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 3) << calls;  // one install, two removals
}

TEST_F(AppMgrTest, FailedRemovalKeepsTheAppAndReportsZero) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  posts_.Clear();
  tools_.Output("uninstall", "Failure [DELETE_FAILED_INTERNAL_ERROR]\n");
  ASSERT_TRUE(apps.UninstallApp(kNotes));
  ASSERT_TRUE(posts_.WaitForMessage(msg::kAppRemoved));
  EXPECT_EQ(posts_.Of(msg::kAppRemoved), (std::vector<std::pair<uintptr_t, intptr_t>>{{0, 0}}));
  EXPECT_TRUE(apps.FindAppByKey(kNotes).has_value());
}

// Without an update address there is no update: unignoring sets no flag,
// upgrading starts nothing, and a download of an empty address is refused.
TEST_F(AppMgrTest, NoUpdateWithoutAnAddress) {
  static std::atomic<int> downloads{0};
  DownloadTaskHooks hooks;
  hooks.start_download = [](const std::u16string&, const std::u16string&, const std::u16string&,
                            const std::u16string&) {
    ++downloads;
    return true;
  };
  SetDownloadTaskHooks(hooks);
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));
  EXPECT_TRUE(apps.IgnoreUpdate(kNotes));
  auto ignored = CConfigMgr::Instance()->GetIgnoredPackages();
  EXPECT_NE(std::find(ignored.begin(), ignored.end(), u"com.zelvik.demo.notes"), ignored.end());
  EXPECT_TRUE(apps.UnignoreUpdate(kNotes));
  ignored = CConfigMgr::Instance()->GetIgnoredPackages();
  EXPECT_EQ(std::find(ignored.begin(), ignored.end(), u"com.zelvik.demo.notes"), ignored.end());
  EXPECT_FALSE(apps.FindAppByKey(kNotes)->has_update);
  EXPECT_EQ(apps.GetUpdatableCount(), 0);
  posts_.Clear();
  EXPECT_FALSE(apps.UpgradeApp(kNotes));
  EXPECT_FALSE(apps.UpgradeApp(12345));
  EXPECT_TRUE(posts_.Of(msg::kAppUpgradeQueued).empty());
  EXPECT_FALSE(StartAppDownload(u"", u"Notes", u"", u"com.zelvik.demo.notes"));
  EXPECT_EQ(downloads.load(), 0);
  EXPECT_TRUE(StartAppDownload(u"http://127.0.0.1/x.apk", u"Notes", u"", u"com.zelvik.demo.notes"));
  EXPECT_EQ(downloads.load(), 1);
  SetDownloadTaskHooks(DownloadTaskHooks());
}

TEST_F(AppMgrTest, PruneDropsPackagesNotOnThePhone) {
  CConfigMgr::Instance()->AddIgnoreApp(u"com.gone.app");
  CConfigMgr::Instance()->AddIgnoreApp(u"com.zelvik.demo.blocks");
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(LoadList(apps));  // a list load prunes
  EXPECT_EQ(CConfigMgr::Instance()->GetIgnoredPackages(), std::list<std::u16string>{u"com.zelvik.demo.blocks"});
  CConfigMgr::Instance()->RemoveIgnoreApp(u"com.zelvik.demo.blocks");
}

// The facade asks for the counts in its fixed order.
std::mutex g_order_lock;
std::vector<std::u16string> g_order;

TEST_F(AppMgrTest, FacadeRequestsCountsInOrder) {
  SetCommandSendHook([](const std::u16string& command) {
    std::lock_guard<std::mutex> hold(g_order_lock);
    g_order.push_back(command);
    return false;  // recorded, not sent
  });
  {
    CPhone phone;
    phone.RequestCounts();
    phone.RequestStorageInfo();
  }
  SetCommandSendHook(nullptr);
  std::lock_guard<std::mutex> hold(g_order_lock);
  EXPECT_EQ(g_order, (std::vector<std::u16string>{u"environment", u"package_count", u"contact_count", u"sms_count",
                                                  u"image_count", u"music_count", u"video_count",
                                                  u"storagesize_info"}));
}

TEST_F(AppMgrTest, FacadeCountsComeFromTheReplies) {
  agent_.Reply("contact_count", "<count value=\"4\"/>");
  agent_.Reply("contact_list", "<c i=\"1\" n=\"a\"/><c i=\"2\" n=\"b\"/><c i=\"3\" n=\"c\"/><c i=\"4\" n=\"d\"/>");
  agent_.Reply("sms_count", "<count value=\"5\"/>");
  agent_.Reply("image_count", "<count value=\"3\"/>");
  agent_.Reply("music_count", "<count value=\"2\"/>");
  agent_.Reply("video_count", "<count value=\"1\"/>");
  agent_.Reply("package_count", "<count value=\"2\"/>");
  agent_.Reply("package_list", kList);
  CPhone phone;
  phone.RequestCounts();
  for (uint32_t m : {msg::kContactCount, msg::kSmsCount, msg::kPictureCount, msg::kMusicCount, msg::kVideoCount}) {
    ASSERT_TRUE(posts_.WaitForMessage(m)) << m;
  }
  ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  EXPECT_EQ(phone.GetContactCount(), 4);
  EXPECT_EQ(phone.GetSmsCount(), 5);
  EXPECT_EQ(phone.GetPictureCount(), 3);
  EXPECT_EQ(phone.GetMusicCount(), 2);
  EXPECT_EQ(phone.GetVideoCount(), 1);
  EXPECT_EQ(phone.GetAppCount(), 2);
  EXPECT_EQ(phone.GetAppList().size(), 2u);
  EXPECT_EQ(phone.GetInfoShown(), 0);
  phone.SetEnvironmentFlag(1);
  EXPECT_EQ(phone.GetInfoShown(), 1);
}

// The last reference to a phone goes while its install worker runs an adb
// job that does not end and a list request waits on a silent agent: the
// request is cut short, the job's adb child is ended, and the drop returns
// at once (well before adb's own time-out); nothing touches freed memory.
TEST_F(AppMgrTest, PhoneDroppedWhileWorkersHoldIt) {
  const std::string apk = folders_.folder().Write("a.apk", "PK");
  agent_.Set("package_list", {AgentAnswer::kHang, ""});
  auto phone = std::make_shared<CPhone>();
  tools_.Hold();
  phone->InstallApp(AnsiToWString(apk), 0, 1);
  phone->RefreshAppList();
  ASSERT_TRUE(data_test::WaitUntil([&] {
    return agent_.Count("package_list") == 1 && tools_.Calls().find("install") != std::string::npos;
  }));
  std::future<void> dropped = std::async(std::launch::async, [&] { phone.reset(); });
  const bool prompt = dropped.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  tools_.Release();  // lets a waiting drop end, so that a failure is reported
  dropped.wait();
  EXPECT_TRUE(prompt) << "the drop waited for the running adb job";
  EXPECT_EQ(CSocketThreadMgr::Instance()->ThreadCount(), 0u);
}

}  // namespace
