// The feedback window (presence pictures from a loopback host, Voicebox,
// chat links, one window at a time) and the ignored-updates window.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "app/ftp/tests/endless_http.h"
#include "app/web/tests/loopback_server.h"
#include "ui/task_windows/feedback_wnd.h"
#include "ui/task_windows/ignore_update_dlg.h"
#include "ui/task_windows/tests/task_windows_fixture.h"

namespace task_windows_test {
namespace {

class FeedbackTest : public TaskWindowsTest {
 public:
  void SetUp() override {
    TaskWindowsTest::SetUp();
    unsetenv("PHONEDECK_CHAT_HOST");
  }
  void TearDown() override {
    unsetenv("PHONEDECK_CHAT_HOST");
    TaskWindowsTest::TearDown();
  }
  static std::u16string BkImage(HWND h, const char16_t* name) {
    return CPaintManagerUI::GetManagerOf(h)->FindControl(name)->GetBkImage();
  }
};

TEST_F(FeedbackTest, PresencePicturesComeFromTheChatHostAndOneWindowOpensAtATime) {
  web_test::LoopbackServer server;
  server.server().Get("/pa", [&](const httplib::Request& r, httplib::Response& res) {
    server.Record(r);
    res.set_content("GIF89a-picture", "image/gif");
  });
  server.Start();
  setenv("PHONEDECK_CHAT_HOST", (server.Base() + "/").c_str(), 1);
  int windows = 0;
  host->PushModalScript([&](HWND h) {
    ++windows;
    CFeedbackWnd* wnd = OpenFeedbackWnd();
    ASSERT_NE(wnd, nullptr);
    ShowFeedbackWnd(0);  // a second open does nothing while one is open
    wnd->WaitForWorker();
    for (int i = 0; i < 5; ++i) PumpPendingMessages();
    EXPECT_EQ(BkImage(h, u"btn_qq_link1"), wnd->IconPath(0));
    EXPECT_EQ(BkImage(h, u"btn_qq_link2"), wnd->IconPath(1));
    ClickControl(h, u"btn_qq_link2");
    ClickControl(h, u"close_btn");
  });
  ShowFeedbackWnd(0);
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(OpenFeedbackWnd(), nullptr);
  auto seen = server.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, "/pa?p=2:" + Utf16ToUtf8(CFeedbackWnd::kAccount1) + ":51");
  EXPECT_EQ(seen[1].target, "/pa?p=2:" + Utf16ToUtf8(CFeedbackWnd::kAccount2) + ":51");
  ASSERT_FALSE(host->ShellOpened().empty());
  EXPECT_EQ(host->ShellOpened().back().str(),
            Utf8ToUtf16(server.Base() + "/msgrd?v=3&uin=" + Utf16ToUtf8(CFeedbackWnd::kAccount2) + "&site=qq&menu=yes"));
  EXPECT_EQ(backend.actions, (std::vector<int>{63, 61}));
}

TEST_F(FeedbackTest, WithoutAHostOrAfterAFailedFetchTheSkinPicturesStay) {
  web_test::LoopbackServer server;
  server.server().Get("/pa", [&](const httplib::Request& r, httplib::Response& res) {
    server.Record(r);
    res.status = 404;
  });
  server.Start();
  for (bool with_host : {false, true}) {
    SCOPED_TRACE(with_host);
    if (with_host) setenv("PHONEDECK_CHAT_HOST", server.Base().c_str(), 1);
    host->PushModalScript([&](HWND h) {
      OpenFeedbackWnd()->WaitForWorker();
      for (int i = 0; i < 5; ++i) PumpPendingMessages();
      EXPECT_EQ(BkImage(h, u"btn_qq_link1"), u"png/feedback_chat.png");
      ClickControl(h, u"btn_qq_link1");  // no host: nothing opened
      ClickControl(h, u"close_btn");
    });
    const size_t opened = host->ShellOpened().size();
    ShowFeedbackWnd(0);
    EXPECT_EQ(host->ShellOpened().size(), opened + (with_host ? 1 : 0));
  }
  EXPECT_EQ(server.Seen().size(), 1u);  // the first picture failed: the second is not asked
}

TEST_F(FeedbackTest, AWorkerStillFetchingWhenTheWindowClosesPostsNothingAndIsJoined) {
  web_test::LoopbackServer server;
  std::mutex m;
  std::condition_variable cv;
  bool release = false, asked = false;
  server.server().Get("/pa", [&](const httplib::Request& r, httplib::Response& res) {
    server.Record(r);
    std::unique_lock<std::mutex> hold(m);
    asked = true;
    cv.notify_all();
    cv.wait_for(hold, std::chrono::seconds(20), [&] { return release; });
    res.set_content("GIF89a", "image/gif");
  });
  server.Start();
  setenv("PHONEDECK_CHAT_HOST", server.Base().c_str(), 1);
  host->PushModalScript([&](HWND h) {
    {
      std::unique_lock<std::mutex> hold(m);  // closed while the first picture is on its way
      EXPECT_TRUE(cv.wait_for(hold, std::chrono::seconds(10), [&] { return asked; }));
    }
    ClickControl(h, u"close_btn");
    {
      std::lock_guard<std::mutex> hold(m);
      release = true;
    }
    cv.notify_all();
  });
  ShowFeedbackWnd(0);  // returns once the worker has ended
  EXPECT_EQ(OpenFeedbackWnd(), nullptr);
  // The close cancels the fetch: the second picture is asked only when the
  // first answer came before the cancel was seen.
  EXPECT_GE(server.Seen().size(), 1u);
  for (int i = 0; i < 5; ++i) PumpPendingMessages();  // nothing arrives for the window that is gone
}

// A chat host that answers without end: a picture past its cap is dropped
// with nothing left behind, and closing the window during an endless
// trickle ends the fetch at once instead of waiting on the host.
TEST_F(FeedbackTest, AnEndlessPresenceAnswerIsCutAndEndsWithTheWindow) {
  struct Case {
    const char* name;
    testing_support::EndlessHttp::Answer answer;
    bool close_at_once;
  } cases[] = {
      {"past the cap", {"", 2u << 20, false, 0}, false},
      {"an endless trickle", {"", 100, true, 200}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto server = std::make_unique<testing_support::EndlessHttp>(c.answer);
    ASSERT_GT(server->port(), 0);
    setenv("PHONEDECK_CHAT_HOST", server->Url("").c_str(), 1);
    // Should the fetch ignore the close, the server is stopped after a while
    // so that the test fails instead of hanging.
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 100 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!done) {
        rescued = true;
        server.reset();
      }
    });
    std::u16string icon;
    host->PushModalScript([&](HWND h) {
      CFeedbackWnd* wnd = OpenFeedbackWnd();
      icon = wnd->IconPath(0);
      if (!c.close_at_once) wnd->WaitForWorker();
      for (int i = 0; i < 5; ++i) PumpPendingMessages();
      EXPECT_EQ(BkImage(h, u"btn_qq_link1"), u"png/feedback_chat.png");
      ClickControl(h, u"close_btn");
    });
    ShowFeedbackWnd(0);  // returns once the worker has ended
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued) << "the fetch outlived its window";
    struct stat st;
    EXPECT_NE(stat(Utf16ToUtf8(icon).c_str(), &st), 0) << "a partial picture was left";
  }
}

TEST_F(FeedbackTest, VoiceboxStartsWhenItIsThereAndTheUserIsToldWhenItIsNot) {
  const std::string program = home_ + "/program";
  mkdir(program.c_str(), 0700);
  const std::string marker = home_ + "/voicebox_ran";
  // Absent: a message box says so.
  std::u16string told;
  host->PushModalScript([&](HWND h) {
    host->PushModalScript([&](HWND box) {
      told = CPaintManagerUI::GetManagerOf(box)->FindControl(u"msglab")->GetText().str();
      ClickControl(box, u"okbtn");
    });
    ClickControl(h, u"btn_feedback_message");
    ClickControl(h, u"close_btn");
  });
  ShowFeedbackWnd(0);
  EXPECT_NE(told.find(u"Voicebox"), std::u16string::npos);

  // Present: it runs on its own.
  {
    std::ofstream script(program + "/Voicebox");
    script << "#!/bin/sh\necho ran > '" << marker << "'\n";
  }
  chmod((program + "/Voicebox").c_str(), 0700);
  told.clear();
  host->PushModalScript([&](HWND h) {
    ClickControl(h, u"btn_feedback_message");
    ClickControl(h, u"close_btn");
  });
  ShowFeedbackWnd(0);
  EXPECT_TRUE(told.empty());
  struct stat st;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (stat(marker.c_str(), &st) != 0 && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // a separate program: no event to wait on
  EXPECT_EQ(stat(marker.c_str(), &st), 0);
  EXPECT_EQ(backend.actions, (std::vector<int>{64, 61, 64, 61}));
}

// ---------------- ignored updates ----------------

class FakePhone : public IIgnoredAppsPhone {
 public:
  bool FindAppByPackage(const std::u16string& package, IgnoredApp* app) override {
    auto it = installed.find(package);
    if (it == installed.end()) return false;
    *app = it->second;
    return true;
  }
  bool UnignoreAppUpdate(uint32_t key) override {
    unignored.push_back(key);
    return true;
  }
  std::map<std::u16string, IgnoredApp> installed;
  std::vector<uint32_t> unignored;
};

class IgnoreTest : public TaskWindowsTest {
 public:
  void SetUp() override {
    TaskWindowsTest::SetUp();
    if (HasFatalFailure()) return;
    CConfigMgr::Instance()->SetPhonePaths(u"serial-1");
    for (const char16_t* p : {u"a.b", u"gone.app", u"c.d"}) CConfigMgr::Instance()->AddIgnoreApp(p);
    phone.installed[u"a.b"] = {11, u"甲", u"1.2 MB", u"", u"1.0", u"2.0"};
    phone.installed[u"c.d"] = {4000000000u, u"乙", u"3 MB", u"", u"3.1", u"3.2"};
    phone.installed[u"e.f"] = {33, u"丙", u"1 MB", u"", u"1", u"2"};  // installed, not ignored
  }
  static CCheckBoxUI* Box(HWND h, const char16_t* name) {
    return static_cast<CCheckBoxUI*>(CPaintManagerUI::GetManagerOf(h)->FindControl(name)->GetInterface(u"CheckBox"));
  }
  FakePhone phone;
};

TEST_F(IgnoreTest, OnlyInstalledIgnoredAppsAreListedAndTheCheckedOnesAreTakenOff) {
  CIgnoreUpdateDlg dlg([this] { return &phone; });
  host->PushModalScript([&](HWND h) {
    CIgnoreList* list = dlg.List();
    ASSERT_EQ(list->GetCount(), 2);
    CControlUI* row = list->GetItemAt(1);
    EXPECT_EQ(Sub(row, u"app_name")->GetText(), u"乙");
    EXPECT_EQ(Sub(row, u"app_size")->GetText(), u"3 MB");
    EXPECT_EQ(Sub(row, u"update_version")->GetText(), u"已装：3.1");
    EXPECT_EQ(Sub(row, u"local_version")->GetText(), u"升级：3.2");
    EXPECT_EQ(row->GetUserData(), u"4000000000");
    CControlUI* remove = CPaintManagerUI::GetManagerOf(h)->FindControl(u"ignore_cancelbtn");
    EXPECT_TRUE(Box(h, u"allignore_chk")->IsEnabled());
    EXPECT_FALSE(remove->IsEnabled());

    // Row boxes: the select-all box follows when every row is checked.
    ClickControl(list->RowCheckBox(list->GetItemAt(0)));
    EXPECT_FALSE(Box(h, u"allignore_chk")->GetCheck());
    EXPECT_TRUE(remove->IsEnabled());
    ClickControl(list->RowCheckBox(list->GetItemAt(1)));
    EXPECT_TRUE(Box(h, u"allignore_chk")->GetCheck());
    // Select-all off and on again.
    ClickControl(Box(h, u"allignore_chk"));
    EXPECT_EQ(list->CheckedCount(), 0);
    EXPECT_FALSE(remove->IsEnabled());
    ClickControl(list->RowCheckBox(list->GetItemAt(1)));
    ClickControl(remove);
  });
  EXPECT_EQ(ShowIgnoreUpdateDlg(&dlg, 0), 1u);
  EXPECT_EQ(phone.unignored, std::vector<uint32_t>{4000000000u});
  EXPECT_EQ(dlg.RemovedKeys(), std::vector<uint32_t>{4000000000u});
  EXPECT_EQ(backend.actions, std::vector<int>{162});
}

TEST_F(IgnoreTest, SelectAllChecksEveryRowAndWithoutAPhoneTheListIsEmpty) {
  CIgnoreUpdateDlg dlg([this] { return &phone; });
  host->PushModalScript([&](HWND h) {
    ClickControl(Box(h, u"allignore_chk"));
    EXPECT_EQ(dlg.List()->CheckedCount(), 2);
    ClickControl(CPaintManagerUI::GetManagerOf(h)->FindControl(u"ignore_cancelbtn"));
  });
  EXPECT_EQ(ShowIgnoreUpdateDlg(&dlg, 0), 1u);
  EXPECT_EQ(phone.unignored, (std::vector<uint32_t>{11, 4000000000u}));

  CIgnoreUpdateDlg empty([] { return static_cast<IIgnoredAppsPhone*>(nullptr); });
  host->PushModalScript([&](HWND h) {
    EXPECT_EQ(empty.List()->GetCount(), 0);
    EXPECT_TRUE(CPaintManagerUI::GetManagerOf(h)->FindControl(u"ignore_empty")->IsVisible());
    ClickControl(h, u"close_btn");
  });
  EXPECT_EQ(ShowIgnoreUpdateDlg(&empty, 0), 2u);
  EXPECT_EQ(backend.actions, (std::vector<int>{162, 161}));
}

}  // namespace
}  // namespace task_windows_test
