// The download indicator's flight and the driver progress window.
#include <cstdint>
#include <limits>

#include "app/connect/connect_state.h"
#include "ui/small_windows/down_gif_wnd.h"
#include "ui/small_windows/drv_progress_wnd.h"
#include "ui/small_windows/tests/small_windows_fixture.h"

namespace small_windows_test {
namespace {

// Where the indicator's bottom-left corner should be for a point.
POINT Corner(HWND h) {
  RECT rc;
  GetWindowRect(h, &rc);
  return MakePoint(rc.left - 10, rc.bottom - 10);
}

class FlightTest : public SmallWindowsTest {
 public:
  void SetUp() override {
    SmallWindowsTest::SetUp();
    ASSERT_TRUE(gif.Create(parent_hwnd));
    h = gif.GetHWND();
    gif.SetTarget(MakePoint(500, 100));
    host->SetAutoAdvance(false);
  }
  void TearDown() override {
    if (IsWindow(h)) DestroyWindow(h);
    SmallWindowsTest::TearDown();
  }
  CDownGifWnd gif;
  HWND h = 0;
};

TEST_F(FlightTest, HalfTransparentPictureOfTheLayoutsSize) {
  EXPECT_EQ(WindowSize(h).cx, 19);
  EXPECT_EQ(WindowSize(h).cy, 19);
  EXPECT_EQ(host->Native(h)->opacity, 200);
  EXPECT_FALSE(gif.IsVisible());
}

// A start less than 10 px (after the 20 px shift) from the target ends at the
// first tick; the picture rests there 150 ms, then disappears.
TEST_F(FlightTest, ShortFlightEndsAtTheFirstTick) {
  POINT start = MakePoint(515, 300);
  gif.FlyTo(start);
  EXPECT_EQ(start.x, 495);  // the caller's point moves too
  EXPECT_TRUE(gif.IsVisible());
  EXPECT_EQ(Corner(h).x, 495);
  EXPECT_EQ(Corner(h).y, 300);
  host->Advance(40);
  EXPECT_EQ(Corner(h).x, 500);
  EXPECT_EQ(Corner(h).y, 100);
  host->Advance(149);
  EXPECT_TRUE(gif.IsVisible());
  host->Advance(1);
  EXPECT_FALSE(gif.IsVisible());
  host->Advance(1000);  // no further ticks
  EXPECT_FALSE(gif.IsVisible());
}

// From the target's own x (20 px away after the shift) the flight takes six
// ticks of 2 px, however far the target lies above; only x ends it.
TEST_F(FlightTest, FlightFromTheTargetsXTakesSixTicks) {
  POINT start = MakePoint(500, 400);
  gif.FlyTo(start);
  for (int tick = 1; tick <= 5; ++tick) {
    host->Advance(40);
    EXPECT_EQ(Corner(h).x, 480 + 2 * tick) << tick;
    EXPECT_EQ(Corner(h).y, 400 - 30 * tick) << tick;
  }
  host->Advance(40);
  EXPECT_EQ(Corner(h).x, 500);
  EXPECT_EQ(Corner(h).y, 100);
  EXPECT_TRUE(gif.IsVisible());
  host->Advance(150);
  EXPECT_FALSE(gif.IsVisible());
}

class DrvProgressTest : public SmallWindowsTest {
 public:
  void SetUp() override {
    SmallWindowsTest::SetUp();
    ASSERT_TRUE(wnd.Create(parent_hwnd));
    h = wnd.GetHWND();
    host->SetAutoAdvance(false);
  }
  void TearDown() override {
    if (IsWindow(h)) DestroyWindow(h);
    SmallWindowsTest::TearDown();
  }
  int Bar() {
    auto* bar = static_cast<CProgressUI*>(Find(h, u"drvload_progress")->GetInterface(u"Progress"));
    return bar->GetValue();
  }
  static DriverDownloadProgress* Record(int32_t status, uint64_t total, uint64_t done) {
    auto* p = new DriverDownloadProgress;
    p->status = status;
    p->first = total;
    p->second = done;
    return p;
  }
  CDrvProgressWnd wnd;
  HWND h = 0;
};

TEST_F(DrvProgressTest, LayoutSizeAndFirstText) {
  EXPECT_EQ(WindowSize(h).cx, 506);
  EXPECT_EQ(WindowSize(h).cy, 113);
  EXPECT_EQ(TextOf(h, u"lab_drv_status"), u"正在下载手机驱动");
  EXPECT_EQ(Bar(), 0);
}

// The first half of the bar follows the download.
TEST_F(DrvProgressTest, DownloadFillsTheFirstHalf) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  struct Case { int32_t status; uint64_t total, done; int bar; };
  const Case cases[] = {
      {4, 0, 0, 0},               // no total yet: nothing downloaded
      {4, 0, 500, 0},
      {4, 200, 100, 25},
      {4, 300, 299, 49},          // whole percents, rounded down
      {6, 0, 0, 50},              // finished
      {6, 1000, 10, 50},
      {7, 100, 50, 25},
      {4, 100, 250, 50},          // more than the total: stops at the end
      {4, kMax, kMax - 1, 49},    // no overflow on huge counts
      {4, kMax, kMax / 2, 24},
  };
  for (const Case& c : cases) {
    wnd.SetProgress(Record(c.status, c.total, c.done));
    EXPECT_EQ(Bar(), c.bar) << c.status << " " << c.total << " " << c.done;
    EXPECT_EQ(wnd.Progress(), c.bar);
  }
  wnd.SetProgress(nullptr);
  EXPECT_EQ(Bar(), 24);
}

TEST_F(DrvProgressTest, ReportsBeforeTheWindowExistsAreDropped) {
  CDrvProgressWnd later;
  later.SetProgress(Record(6, 10, 10));  // freed (ASan would see a leak)
  EXPECT_EQ(later.Progress(), 0);
  later.OnConnectState(kConn_SetupDrv);
  EXPECT_EQ(GetNextTimerDue(), 0u);
}

// The second half creeps forward once a second while the driver installs,
// and never fills by itself; the end of the installation fills it.
TEST_F(DrvProgressTest, InstallationCreepsUntilItsEnd) {
  wnd.SetProgress(Record(6, 10, 10));
  ASSERT_EQ(Bar(), 50);
  wnd.OnConnectState(kConn_SetupDrv);
  EXPECT_EQ(TextOf(h, u"lab_drv_status"), u"正在安装手机驱动");
  host->Advance(999);
  EXPECT_EQ(Bar(), 50);
  host->Advance(1);
  EXPECT_EQ(Bar(), 52);  // 50 + 50/18
  EXPECT_NEAR(wnd.Progress(), 52.777, 0.001);
  host->Advance(600 * 1000);
  EXPECT_GT(Bar(), 95);
  EXPECT_LT(Bar(), 100);
  wnd.OnConnectState(kConn_DownloadDrv);
  EXPECT_EQ(TextOf(h, u"lab_drv_status"), u"正在下载手机驱动");
  wnd.OnConnectState(kConn_SetupDrv_end);
  EXPECT_EQ(Bar(), 100);
  const double kept = wnd.Progress();
  host->Advance(5000);
  EXPECT_EQ(Bar(), 100);
  EXPECT_EQ(wnd.Progress(), kept);
}

TEST_F(DrvProgressTest, StatesThatStopTheCreep) {
  for (int stop : {int(kConn_SetupDrv_failed), int(kConn_Phone_Remove)}) {
    wnd.SetProgress(Record(6, 10, 10));
    wnd.OnConnectState(kConn_SetupDrv);
    host->Advance(1000);
    const int bar = Bar();
    wnd.OnConnectState(stop);
    host->Advance(10 * 1000);
    EXPECT_EQ(Bar(), bar) << stop;
  }
  // Any other state leaves the creep running.
  wnd.SetProgress(Record(6, 10, 10));
  wnd.OnConnectState(kConn_SetupDrv);
  for (int other : {int(kConn_Start), int(kConn_DownloadDrv_failed), int(kConn_Sucess), int(kConn_Cancel), 99}) wnd.OnConnectState(other);
  host->Advance(1000);
  EXPECT_EQ(Bar(), 52);
}

}  // namespace
}  // namespace small_windows_test
