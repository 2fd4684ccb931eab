// PostCall: a function handed to a window's UI thread from another thread
// runs there, in queue order, and never reaches the window; one for a dead
// window is dropped unrun.
#include <gtest/gtest.h>

#include <thread>

#include "qenui/UIlib.h"
#include "qenui/tests/test_window.h"

using namespace DuiLib;
using namespace qenui_test;

TEST_F(QenuiTest, PostCallRunsOnTheWindowsThreadInOrder) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  std::thread::id ran_on;
  int order = 0, call_at = -1;
  std::thread poster([&] {
    ASSERT_TRUE(PostMessage(h, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostCall(h, [&] {
      ran_on = std::this_thread::get_id();
      call_at = order++;
    }));
  });
  poster.join();
  EXPECT_EQ(call_at, -1) << "nothing runs before the loop turns";
  host->Advance(0);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(call_at, 0);
  ASSERT_EQ(w.received.size(), 1u) << "the call is not a message of the window";
  DestroyWindow(h);
  bool ran = false;
  EXPECT_FALSE(PostCall(h, [&] { ran = true; }));
  host->Advance(0);
  EXPECT_FALSE(ran);
}
