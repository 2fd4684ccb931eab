// The task list window and its two lists: rows and counts from the task
// messages, the status table, speed and progress texts, the row buttons,
// the delete confirmation and hiding on deactivation.
#include <gtest/gtest.h>

#include "app/core/message_ids.h"
#include "app/task/p2sp_client.h"
#include "ui/task_windows/auto_task_dlg.h"
#include "ui/task_windows/tests/task_windows_fixture.h"

namespace task_windows_test {
namespace {

class AutoTaskTest : public TaskWindowsTest {
 public:
  void SetUp() override {
    TaskWindowsTest::SetUp();
    if (HasFatalFailure()) return;
    dlg.SetTaskManager(&tasks);
    dlg.Create(0);
    ASSERT_NE(dlg.GetHWND(), 0u);
    ASSERT_NE(dlg.OnlineList(), nullptr);
    ASSERT_NE(dlg.OfflineList(), nullptr);
    // The main window's task button and animation, in the window's tree.
    auto* root = static_cast<CContainerUI*>(dlg.GetPaintManager()->GetRoot());
    button = new CButtonUI;
    animation = new CAnimationUI;
    root->Add(button);
    root->Add(animation);
  }
  void TearDown() override {
    if (IsWindow(dlg.GetHWND())) DestroyWindow(dlg.GetHWND());
    TaskWindowsTest::TearDown();
  }
  bool Send(UINT message, WPARAM w, LPARAM l = 0) {
    bool handled = false;
    dlg.HandleMessage(message, w, l, handled);
    return handled;
  }
  CControlUI* OnlineRow(uint32_t id) { return dlg.OnlineList()->FindRowByUserData(TaskIdText(id).c_str()); }
  CControlUI* OfflineRow(uint32_t id) { return dlg.OfflineList()->FindRowByUserData(TaskIdText(id).c_str()); }
  std::u16string Caption(const char16_t* name) { return dlg.GetPaintManager()->FindControl(name)->GetText().str(); }
  void Click(CControlUI* c) { dlg.GetPaintManager()->SendNotify(c, DUI_MSGTYPE_CLICK); }

  CAutoTaskDlg dlg;
  CButtonUI* button = nullptr;
  CAnimationUI* animation = nullptr;
};

TEST_F(AutoTaskTest, OnlyTheTaskMessagesAreHandledHere) {
  EXPECT_TRUE(Send(msg::kOnlineTaskAdded, 1));
  EXPECT_TRUE(Send(msg::kTaskIconReady, 1));
  EXPECT_FALSE(Send(msg::kDownloadAnimation, 0));
  EXPECT_FALSE(Send(msg::kAppUpdatableCount, 0));
}

TEST_F(AutoTaskTest, EachStateShowsItsPagesAndTexts) {
  struct Case { int state; int task_page, oprt_page, cancel_page; std::u16string wait, failed, wait_name; };
  const Case cases[] = {
      {3, 2, 2, 0, u"等待下载", u"", u""},
      {4, 0, 0, 0, u"", u"", u""},
      {5, 0, 3, 0, u"", u"", u""},
      {6, 2, 2, 0, u"下载完了", u"", u"应用"},
      {7, 1, 1, 0, u"", u"下载失败", u""},
      {8, 2, 2, 0, u"等待安装", u"", u"应用"},
      {9, 2, 2, 1, u"文件解析中", u"", u""},
      {10, 4, 4, 1, u"", u"", u""},
      {12, 1, 1, 0, u"", u"安装失败", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    const uint32_t id = 100 + c.state;
    tasks.AddOnline(id, c.state, u"应用");
    Send(msg::kOnlineTaskAdded, id);
    CControlUI* row = OnlineRow(id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(TextOf(row, u"lab_appname"), u"应用");
    EXPECT_EQ(PageOf(row, u"tab_task_state"), c.task_page);
    EXPECT_EQ(PageOf(row, u"tab_oprt_btn"), c.oprt_page);
    EXPECT_EQ(PageOf(row, u"tab_cancel_btn"), c.cancel_page);
    EXPECT_EQ(TextOf(row, u"lbl_install_wait"), c.wait);
    EXPECT_EQ(TextOf(row, u"failed_code"), c.failed);
    EXPECT_EQ(TextOf(row, u"wait_appname"), c.wait_name);
  }
  auto* anim = static_cast<CAnimationUI*>(Sub(OnlineRow(110), u"install_animation"));
  EXPECT_TRUE(anim->IsPlaying());
  // Installed: the pages stay as they were, only the animation stops.
  tasks.online[110].state = 11;
  Send(msg::kOnlineTaskChanged, 110, 11);
  EXPECT_EQ(PageOf(OnlineRow(110), u"tab_task_state"), 4);
  EXPECT_FALSE(anim->IsPlaying());
  // An install failure explains itself on the retry button.
  tasks.online[112].state_detail = -4;
  Send(msg::kOnlineTaskChanged, 112, 12);
  EXPECT_EQ(Sub(OnlineRow(112), u"failed_retry")->GetToolTip(), u"手机容量不足！");
  // A download that failed for want of disk space says so on its row; a
  // retry that fails for another reason takes the explanation away.
  tasks.online[107].state_detail = kEngineFailFile;
  Send(msg::kOnlineTaskChanged, 107, 7);
  const std::u16string disk = u"磁盘空间不足或下载文件夹不可写，未下载完的文件已删除";
  EXPECT_EQ(OnlineRow(107)->GetToolTip(), disk);
  EXPECT_EQ(Sub(OnlineRow(107), u"failed_code")->GetToolTip(), disk);
  tasks.online[107].state_detail = 5;
  Send(msg::kOnlineTaskChanged, 107, 7);
  EXPECT_EQ(OnlineRow(107)->GetToolTip(), u"");
  EXPECT_EQ(Sub(OnlineRow(107), u"failed_code")->GetToolTip(), u"");
}

TEST(TaskTexts, SpeedIsInKilobytesUpTo1024AndMegabytesAbove) {
  struct Case { int32_t speed; std::u16string text; };
  const Case cases[] = {{0, u"0.00K/s"}, {512, u"0.50K/s"}, {1048576, u"1024.00K/s"}, {1049600, u"1.00M/s"},
                        {2097152, u"2.00M/s"}};
  for (const Case& c : cases) EXPECT_EQ(TaskSpeedText(c.speed), c.text) << c.speed;
}

TEST(TaskTexts, TaskIdsAreWrittenAndReadAsUnsignedDecimal) {
  for (uint32_t id : {0u, 7u, 2147483648u, 4294967295u}) {
    uint32_t back = 1;
    ASSERT_TRUE(ParseTaskId(TaskIdText(id), &back)) << id;
    EXPECT_EQ(back, id);
  }
  EXPECT_EQ(TaskIdText(4000000000u), u"4000000000");
  uint32_t id = 0;
  for (const char16_t* bad : {u"", u"-1", u"4294967296", u"12a", u"99999999999", u" 1"})
    EXPECT_FALSE(ParseTaskId(bad, &id)) << Utf16ToUtf8(bad);
}

TEST_F(AutoTaskTest, DownloadingRowsShowSpeedAndProgress) {
  SOnlineTask& t = tasks.AddOnline(5, kTaskDownloading, u"a");
  t.progress.speed = 2097152;
  t.progress.total_size = 8000000000ull;  // past 32 bits
  t.progress.downloaded_size = 2000000000ull;
  Send(msg::kOnlineTaskAdded, 5);
  auto* bar = static_cast<CProgressUI*>(Sub(OnlineRow(5), u"download_progress"));
  EXPECT_EQ(TextOf(OnlineRow(5), u"down_speed"), u"2.00M/s");
  EXPECT_EQ(bar->GetValue(), 25);
  // An unknown total leaves the bar as it was.
  tasks.online[5].progress.total_size = 0;
  tasks.online[5].progress.speed = 1048576;
  Send(msg::kOnlineTaskChanged, 5, kTaskDownloading);
  EXPECT_EQ(bar->GetValue(), 25);
  EXPECT_EQ(TextOf(OnlineRow(5), u"down_speed"), u"1024.00K/s");
}

TEST_F(AutoTaskTest, UpdatingATaskWithoutARowAsksTheTaskManagerNothing) {
  tasks.AddOnline(9, kTaskDownloading, u"a");
  const int lookups = tasks.online_lookups;
  EXPECT_FALSE(dlg.OnlineList()->UpdateTask(9));
  EXPECT_FALSE(dlg.OnlineList()->UpdateIcon(9));
  EXPECT_EQ(tasks.online_lookups, lookups);
  Send(msg::kOnlineTaskAdded, 9);
  tasks.online.erase(9);
  EXPECT_FALSE(dlg.OnlineList()->UpdateTask(9));  // the row stays, the task is gone
}

TEST_F(AutoTaskTest, IconsReplaceTheLayoutLogoOnlyWhenTheTaskHasOne) {
  tasks.AddOnline(1, kTaskWaitingDownload, u"a");
  tasks.AddOffline(2, u"b");
  Send(msg::kOnlineTaskAdded, 1);
  Send(msg::kOfflineTaskAdded, 2);
  EXPECT_EQ(std::u16string(Sub(OnlineRow(1), u"app_logo")->GetBkImage()), u"png/task_app_default.png");
  EXPECT_EQ(std::u16string(Sub(OfflineRow(2), u"app_logo")->GetBkImage()), u"png/task_app_default.png");
  tasks.online[1].icon_path = u"/icons/a.png";
  Send(msg::kTaskIconReady, 1);
  CControlUI* logo = Sub(OnlineRow(1), u"app_logo");
  EXPECT_EQ(std::u16string(logo->GetBkImage()), u"/icons/a.png");
  EXPECT_EQ(logo->GetTag(), reinterpret_cast<UINT_PTR>(OnlineRow(1)));
}

TEST_F(AutoTaskTest, CountsAndTheTaskButtonFollowTheTaskMessages) {
  dlg.SetStatusControls(button, animation);
  CControlUI* online_empty = dlg.GetPaintManager()->FindControl(u"online_empty");
  CControlUI* offline_empty = dlg.GetPaintManager()->FindControl(u"offline_empty");
  EXPECT_TRUE(online_empty->IsVisible());
  tasks.AddOnline(1, kTaskDownloading, u"a");
  tasks.AddOnline(2, kTaskPaused, u"b");
  Send(msg::kOnlineTaskAdded, 1);
  Send(msg::kOnlineTaskAdded, 2);
  EXPECT_EQ(dlg.OnlineList()->GetCount(), 2);
  EXPECT_FALSE(online_empty->IsVisible());
  EXPECT_TRUE(dlg.OnlineList()->IsVisible());
  EXPECT_EQ(Caption(u"taskdoing_page"), u"任务列表(2)");
  EXPECT_EQ(button->GetText(), u"1个任务正在进行");
  EXPECT_TRUE(animation->IsPlaying());

  // State 4 refreshes the row only; 5 refreshes the button too.
  tasks.online[2].state = kTaskDownloading;
  Send(msg::kOnlineTaskChanged, 2, kTaskDownloading);
  EXPECT_EQ(button->GetText(), u"1个任务正在进行");
  EXPECT_EQ(PageOf(OnlineRow(2), u"tab_oprt_btn"), 0);
  tasks.online[1].state = kTaskPaused;
  tasks.online[2].state = kTaskPaused;
  Send(msg::kOnlineTaskChanged, 1, kTaskPaused);
  EXPECT_EQ(button->GetText(), u"没有任务正在进行");
  EXPECT_FALSE(animation->IsPlaying());

  tasks.online.clear();
  Send(msg::kOnlineTaskRemoved, 1);
  Send(msg::kOnlineTaskRemoved, 2);
  Send(msg::kOnlineTaskRemoved, 3);  // no such row
  EXPECT_EQ(dlg.OnlineList()->GetCount(), 0);
  EXPECT_TRUE(online_empty->IsVisible());
  EXPECT_EQ(Caption(u"taskdoing_page"), u"任务列表(0)");

  // A task gone before its message adds no row; the counts still refresh.
  Send(msg::kOnlineTaskAdded, 77);
  EXPECT_EQ(dlg.OnlineList()->GetCount(), 0);

  static_cast<CTabLayoutUI*>(dlg.GetPaintManager()->FindControl(u"tab_task_page"))->SelectItem(1);
  EXPECT_TRUE(offline_empty->IsVisible());
  tasks.AddOffline(30, u"c");
  tasks.AddOffline(10, u"d");
  Send(msg::kTaskListLoaded, 0);
  ASSERT_EQ(dlg.OfflineList()->GetCount(), 2);
  EXPECT_EQ(dlg.OfflineList()->GetRowUserData(0), u"10");  // in task id order
  EXPECT_EQ(TextOf(dlg.OfflineList()->GetItemAt(1), u"app_name"), u"c");
  EXPECT_EQ(Caption(u"taskwait_page"), u"未安装(2)");
  EXPECT_FALSE(offline_empty->IsVisible());
  tasks.offline.erase(10);
  Send(msg::kOfflineTaskRemoved, 10);
  EXPECT_EQ(dlg.OfflineList()->GetCount(), 1);
  EXPECT_EQ(Caption(u"taskwait_page"), u"未安装(1)");
}

TEST_F(AutoTaskTest, RowButtonsBecomeTaskCommandsWithTheirStatistics) {
  const uint32_t big = 4000000000u;  // beyond a signed 32-bit value
  tasks.AddOnline(big, kTaskDownloading, u"a");
  tasks.AddOffline(big, u"b");
  Send(msg::kOnlineTaskAdded, big);
  Send(msg::kOfflineTaskAdded, big);
  struct Case { const char16_t* control; bool offline; int action; std::string command; };
  const Case cases[] = {
      {u"down_pause", false, 506, "PauseTask:4000000000"},
      {u"task_cancle", false, 507, "DeleteOnlineTask:4000000000"},
      {u"failed_retry", false, 504, "RetryTask:4000000000"},
      {u"down_continue", false, 505, "ContinueTask:4000000000"},
      {u"app_setup", true, 508, "InstallOfflineTask:4000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.control));
    tasks.commands.clear();
    backend.actions.clear();
    Click(Sub(c.offline ? OfflineRow(big) : OnlineRow(big), c.control));
    EXPECT_EQ(tasks.commands, std::vector<std::string>{c.command});
    EXPECT_EQ(backend.actions, std::vector<int>{c.action});
  }

  backend.actions.clear();
  dlg.ShowAt(100, 500);
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskwait_page"));
  auto* tab = static_cast<CTabLayoutUI*>(dlg.GetPaintManager()->FindControl(u"tab_task_page"));
  EXPECT_EQ(tab->GetCurSel(), 1);
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskdoing_page"));
  EXPECT_EQ(tab->GetCurSel(), 0);
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"open_download_dir"));
  EXPECT_EQ(backend.actions, (std::vector<int>{503, 502, 501}));
  ASSERT_FALSE(host->ShellOpened().empty());
  EXPECT_EQ(host->ShellOpened().back().str(), CConfigMgr::Instance()->GetDownloadPath());
  // Nothing opens the folder: a box says so with its path, and losing
  // activation to it does not hide the task window.
  host->SetShellOpenAnswer(false);
  std::u16string said;
  host->PushModalScript([&](HWND box) {
    said = CPaintManagerUI::GetManagerOf(box)->FindControl(u"msglab")->GetText().str();
    DispatchNativeMessage(dlg.GetHWND(), WM_NCACTIVATE, 0, 0);
    EXPECT_TRUE(dlg.IsVisible());
    ClickControl(box, u"okbtn");
  });
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"open_download_dir"));
  host->SetShellOpenAnswer(true);
  EXPECT_EQ(said, u"无法打开目录：" + CConfigMgr::Instance()->GetDownloadPath());
}

TEST_F(AutoTaskTest, DeletingADownloadedAppAsksFirstWhenTheSettingIsOn) {
  tasks.AddOffline(3, u"b");
  Send(msg::kOfflineTaskAdded, 3);
  dlg.ShowAt(100, 500);
  CControlUI* del = Sub(OfflineRow(3), u"app_delfile");

  struct Case { bool tips; const char16_t* answer; bool deleted; };
  const Case cases[] = {{true, u"cancelbtn", false}, {true, u"okbtn", true}, {false, nullptr, true}};
  for (const Case& c : cases) {
    tasks.commands.clear();
    CConfigMgr::Instance()->SetDelOffTaskTips(c.tips);
    int boxes = 0;
    if (c.answer) {
      host->PushModalScript([&](HWND box) {
        ++boxes;
        // Losing activation to the question does not hide the task window.
        DispatchNativeMessage(dlg.GetHWND(), WM_NCACTIVATE, 0, 0);
        EXPECT_TRUE(dlg.IsVisible());
        ClickControl(box, c.answer);
      });
    }
    Click(del);
    Pump();
    EXPECT_EQ(boxes, c.answer ? 1 : 0);
    EXPECT_EQ(tasks.commands.size(), c.deleted ? 1u : 0u);
  }
  // Without the question open, losing activation hides it.
  DispatchNativeMessage(dlg.GetHWND(), WM_NCACTIVATE, 0, 0);
  EXPECT_FALSE(dlg.IsVisible());
}

TEST_F(AutoTaskTest, ShowsAboveAndRightOfThePointAndEscapeKeepsItOpen) {
  dlg.ShowAt(MakePoint(100, 500));
  RECT rc;
  GetWindowRect(dlg.GetHWND(), &rc);
  EXPECT_EQ(rc.left, 110);
  EXPECT_EQ(rc.bottom, 510);
  EXPECT_EQ(rc.Width(), 319);
  EXPECT_EQ(rc.Height(), 396);
  EXPECT_TRUE(dlg.IsVisible());
  // Without room above it hangs from the line given (its owner's caption
  // bottom; without one, 10 below the point); always inside the work area.
  host->SetWorkArea(MakeRect(0, 0, 1280, 800));
  struct Case {
    int x, y, below;
    long left, top;
  } cases[] = {
      {100, 500, 560, 110, 114},   // room above
      {1200, 40, 75, 961, 75},     // none: below, and left of the screen's edge
      {100, 60, 750, 110, 404},    // below, lifted to stay on the screen
  };
  for (const Case& c : cases) {
    dlg.ShowAt(c.x, c.y, c.below);
    GetWindowRect(dlg.GetHWND(), &rc);
    EXPECT_EQ(rc.left, c.left) << c.x << "," << c.y;
    EXPECT_EQ(rc.top, c.top) << c.x << "," << c.y;
  }
  dlg.ShowAt(MakePoint(1200, 40));
  GetWindowRect(dlg.GetHWND(), &rc);
  EXPECT_EQ(rc.top, 50);
  EXPECT_EQ(dlg.ShownAt().y, 40);
  PressKey(dlg.GetHWND(), VK_ESCAPE);
  Pump();
  EXPECT_TRUE(IsWindow(dlg.GetHWND()));
  dlg.Hide();
  EXPECT_FALSE(dlg.IsVisible());
}

}  // namespace
}  // namespace task_windows_test
