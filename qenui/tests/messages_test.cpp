// Posting across threads, timers on the virtual clock, modal loops, menus and the main loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "qenui/UIlib.h"
#include "qenui/core/UIImage.h"
#include "qenui/core/UIText.h"
#include "qenui/headless/UITestDriver.h"
#include "qenui/tests/test_window.h"

using namespace DuiLib;
using namespace qenui_test;

TEST_F(QenuiTest, PostsFromThreadsArriveInOrderAndFailedPostFreesPayload) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([h, t] {
      for (int i = 0; i < kEach; ++i) ASSERT_TRUE(PostMessage(h, WM_USER + 1 + t, static_cast<WPARAM>(i), 0));
    });
  for (auto& th : threads) th.join();
  host->Advance(0);
  ASSERT_EQ(w.received.size(), static_cast<size_t>(kThreads * kEach));
  std::vector<int> next(kThreads, 0);
  for (auto& m : w.received) EXPECT_EQ(static_cast<int>(m.w), next[m.m - WM_USER - 1]++);
  // A post to a dead handle fails and frees what it carries; handles are never reused.
  DestroyWindow(h);
  int* payload = new int(5);
  bool freed = false;
  EXPECT_FALSE(PostMessage(h, WM_USER + 201, 0, reinterpret_cast<LPARAM>(payload),
                           [&](UINT, WPARAM, LPARAM l) { delete reinterpret_cast<int*>(l); freed = true; }));
  EXPECT_TRUE(freed);
  TestWindow w2;
  HWND h2 = w2.Create(0, u"test", WS_POPUP, 0);
  EXPECT_NE(h2, h);
  // A message queued for a window that dies before it runs is freed as well.
  bool freed2 = false;
  EXPECT_TRUE(PostMessage(h2, WM_USER + 5, 0, 0, [&](UINT, WPARAM, LPARAM) { freed2 = true; }));
  DestroyWindow(h2);
  EXPECT_TRUE(freed2);
}

TEST_F(QenuiTest, TimersRunOnTheVirtualClock) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  uint64_t t0 = GetTickCount64();
  SetTimer(h, 10, 100);
  SetTimer(h, 11, 250);
  host->Advance(99);
  EXPECT_TRUE(w.timerTicks.empty());
  host->Advance(1);
  ASSERT_EQ(w.timerTicks.size(), 1u);
  host->Advance(400);
  std::vector<std::pair<UINT, uint64_t>> want = {{10, t0 + 100}, {10, t0 + 200}, {11, t0 + 250}, {10, t0 + 300},
                                                 {10, t0 + 400}, {10, t0 + 500}, {11, t0 + 500}};
  EXPECT_EQ(w.timerTicks, want);
  KillTimer(h, 10);
  KillTimer(h, 11);
  w.timerTicks.clear();
  host->Advance(1000);
  EXPECT_TRUE(w.timerTicks.empty());
  // Control timers drive animations.
  auto* anim = new CAnimationUI;
  anim->SetAttribute(u"framecount", u"4");
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(anim);
  anim->StartAnimation(100);
  host->Advance(250);
  EXPECT_EQ(anim->GetCurrentFrame(), 2);
  anim->StopAnimation();
  host->Advance(500);
  EXPECT_EQ(anim->GetCurrentFrame(), 0);
  // The image sequence starts with Sequence(100) and stops at its next call.
  auto* seq = new CSequenceUI;
  seq->SetAttribute(u"frames", u"png/a.png;png/b.png;png/c.png");
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(seq);
  seq->Sequence(100);
  EXPECT_TRUE(seq->IsPlaying());
  host->Advance(100);
  EXPECT_EQ(seq->GetCurrentFrame(), 1);
  seq->Sequence(100);
  EXPECT_FALSE(seq->IsPlaying());
  host->Advance(300);
  EXPECT_EQ(seq->GetCurrentFrame(), 0);
  auto* progress = new CProgressUI;
  progress->SetValue(150);
  EXPECT_EQ(progress->GetValue(), 100);  // kept within min..max
  delete progress;
  DestroyWindow(h);
}

TEST_F(QenuiTest, ModalLoopKeepsTimersAndPostsFlowingAndReturnsCloseValue) {
  TestWindow owner;
  HWND ho = owner.Create(0, u"owner", WS_POPUP, 0);
  TestWindow dlg;
  HWND hd = dlg.Create(ho, u"dlg", WS_POPUP, 0);
  SetTimer(ho, 1, 50);
  std::thread worker([ho] { PostMessage(ho, WM_USER + 10, 2, 0); });
  worker.join();
  host->PushModalScript([&](HWND h) {
    EXPECT_EQ(h, hd);
    EXPECT_FALSE(IsWindowEnabled(ho));
    SetTimer(hd, 99, 300);  // the dialog closes itself with 7 from this timer
  });
  EXPECT_EQ(dlg.ShowModal(), 7u);
  EXPECT_FALSE(IsWindow(hd));
  EXPECT_TRUE(IsWindowEnabled(ho));
  EXPECT_GE(owner.timerTicks.size(), 5u);
  ASSERT_EQ(owner.received.size(), 1u);
  EXPECT_EQ(owner.received[0].m, WM_USER + 10u);
  DestroyWindow(ho);
}

TEST_F(QenuiTest, MenuPostsCommandToOwner) {
  TestWindow owner;
  HWND ho = owner.Create(0, u"owner", WS_POPUP, 0);
  struct Menu : CMenuImplBase {
    void InitItem() override { AddMenuItem(u"设置", 105); AddMenuItem(u"关于", 106); }
  };
  auto* menu = new Menu;
  menu->InitParam(ho, u"wnd_xml\\menu_wnd.xml");
  HWND hm = menu->Create(ho, u"menu", WS_POPUP, WS_EX_TOOLWINDOW);
  ASSERT_NE(hm, 0u);
  menu->ShowMenu(MakePoint(10, 10));
  ASSERT_EQ(menu->GetMenuList()->GetCount(), 2);
  ClickControl(menu->GetMenuList()->GetItemAt(1));
  host->Advance(0);
  EXPECT_FALSE(IsWindow(hm));
  ASSERT_EQ(owner.received.size(), 1u);
  EXPECT_EQ(owner.received[0].m, 35769u);
  EXPECT_EQ(owner.received[0].w, 106u);
  delete menu;
  // 35768 restores and shows the window.
  ShowWindow(ho, SW_MINIMIZE);
  PostMessage(ho, 35768, 100, 0);
  host->Advance(0);
  EXPECT_FALSE(IsIconic(ho));
  EXPECT_TRUE(IsWindowVisible(ho));
  DestroyWindow(ho);
}

TEST_F(QenuiTest, LoopWaitsInRealTimeForWorkerPostsWhenTheClockIsManual) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  host->SetAutoAdvance(false);
  SetTimer(h, 5, 1000);  // must not run: the clock stands still
  std::thread worker([h] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessage(h, WM_USER + 203, 0, 7);
  });
  EXPECT_TRUE(RunMessageLoopUntil([&] { return !w.received.empty(); }));
  worker.join();
  EXPECT_EQ(w.received[0].l, 7);
  EXPECT_TRUE(w.timerTicks.empty());
  host->Advance(1000);
  EXPECT_EQ(w.timerTicks.size(), 1u);
  DestroyWindow(h);
}

TEST_F(QenuiTest, MessageLoopEndsWhenTheMainWindowQuits) {
  struct MainWnd : TestWindow {
    void OnFinalMessage(HWND h) override { TestWindow::OnFinalMessage(h); PostQuitMessage(3); }
  } w;
  HWND h = w.Create(0, u"main", WS_POPUP, 0);
  SetTimer(h, 1, 1000);
  PostMessage(h, WM_CLOSE, 0, 1000);
  host->Advance(0);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(RunMessageLoop(), 3);
}

TEST_F(QenuiTest, WindowObjectDeletedWhileItsWindowLivesLeavesNothingBehind) {
  auto* w = new TestWindow;
  HWND h = w->Create(0, u"t", WS_POPUP, 0);
  SetTimer(h, 1, 10);
  bool freed = false;
  PostMessage(h, WM_USER + 1, 0, 0, [&](UINT, WPARAM, LPARAM) { freed = true; });
  delete w;  // no DestroyWindow first
  EXPECT_TRUE(freed);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(host->Native(h), nullptr);
  EXPECT_EQ(GetNextTimerDue(), 0u);
  host->Advance(100);  // nothing left to dispatch to freed memory
}
