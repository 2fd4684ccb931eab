// The download thread over the scripted engine, with ticks given by the test.
#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

#include "app/task/download_thread.h"
#include "app/task/tests/scripted_engine.h"
#include "foundation/base/code_page.h"

namespace {

struct Reports {
  std::mutex mutex;
  std::vector<std::pair<uint32_t, int32_t>> seen;  // (id, status)

  static void Callback(uint32_t id, int32_t* status, uint64_t*, uint64_t*, int32_t*, void* context) {
    auto* self = static_cast<Reports*>(context);
    std::lock_guard<std::mutex> hold(self->mutex);
    self->seen.emplace_back(id, *status);
  }
  std::vector<std::pair<uint32_t, int32_t>> Take() {
    std::lock_guard<std::mutex> hold(mutex);
    return std::move(seen);
  }
};

class DownloadThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptedEngine::Get().Reset();
    BindScriptedClient();
    thread_.SetProgressCallback(&Reports::Callback, &reports_);
  }
  void TearDown() override {
    thread_.StopThread(false);
    P2SPClient::Release();
  }

  uint32_t Add(const char* url) {
    auto* package = new PNPDriverPackage(AnsiToWString(url));
    package->SetFilePath(u"/d/x.apk");
    uint32_t id = package->GetTaskId();
    EXPECT_TRUE(thread_.Add(package));
    return id;
  }
  void Settle() { ASSERT_TRUE(thread_.WaitHandled(10000)); }
  // One tick, then whatever it posted (starts of waiting packages).
  void TickAndSettle() {
    thread_.Tick();
    Settle();
    Settle();
  }
  void Downloading(const char* url) { ScriptedEngine::Get().SetStatus(url, 4); }

  Reports reports_;
  CDownloadThread thread_{0};
};

TEST_F(DownloadThreadTest, ThreeRunOneWaitsAndPauseFreesASlot) {
  uint32_t a = Add("a");
  Add("b");
  Add("c");
  uint32_t d = Add("d");
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.ActiveCount(), 3u);
  EXPECT_EQ(thread_.WaitingCount(), 1u);
  EXPECT_FALSE(thread_.IsExistedPackage(d));

  for (const char* url : {"a", "b", "c"}) Downloading(url);
  thread_.PauseTask(a);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  auto seen = reports_.Take();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), std::make_pair(a, 5)), 1);
  EXPECT_TRUE(thread_.IsExistedPackage(a));  // paused: kept, not polled
  EXPECT_TRUE(thread_.IsExistedPackage(d));  // took the free slot
  EXPECT_EQ(thread_.ActiveCount(), 3u);
  EXPECT_EQ(thread_.WaitingCount(), 0u);
}

TEST_F(DownloadThreadTest, ContinueWhileBusyGoesFirstAndStoppingAWaitingOneDropsIt) {
  uint32_t a = Add("a");
  Add("b");
  uint32_t c = Add("c");
  ASSERT_NO_FATAL_FAILURE(Settle());
  for (const char* url : {"a", "b", "c"}) Downloading(url);
  thread_.PauseTask(a);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  uint32_t d = Add("d");  // takes a's slot
  ASSERT_NO_FATAL_FAILURE(Settle());
  Downloading("d");
  uint32_t e = Add("e");  // waits
  uint32_t f = Add("f");  // waits behind e
  thread_.ContinueTask(a);  // busy: to the front of the queue
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.WaitingCount(), 3u);
  thread_.StopTask(f);
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.WaitingCount(), 2u);

  ScriptedEngine::Get().SetStatus("c", 6);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  EXPECT_FALSE(thread_.IsExistedPackage(c));  // finished: reported once and dropped
  EXPECT_TRUE(thread_.IsExistedPackage(a));
  EXPECT_FALSE(thread_.IsExistedPackage(e));
  EXPECT_EQ(thread_.WaitingCount(), 1u);
  EXPECT_TRUE(thread_.IsExistedPackage(d));
  auto seen = reports_.Take();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), std::make_pair(c, 6)), 1);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  seen = reports_.Take();
  EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [&](auto& r) { return r.first == c; }), 0);
}

TEST_F(DownloadThreadTest, TheTickStopsAfterTheLastPackageLeft) {
  Add("a");
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_TRUE(thread_.TimerRunning());
  ScriptedEngine::Get().SetStatus("a", 7);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  EXPECT_TRUE(thread_.TimerRunning());
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  EXPECT_FALSE(thread_.TimerRunning());
}

TEST_F(DownloadThreadTest, AFailedHashCheckIsReportedAsAFailureAndFreesTheSlot) {
  uint32_t a = Add("a");
  ASSERT_NO_FATAL_FAILURE(Settle());
  ScriptedEngine::Get().SetStatus("a", 10);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  EXPECT_EQ(reports_.Take(), (std::vector<std::pair<uint32_t, int32_t>>{{a, 7}}));
  EXPECT_FALSE(thread_.IsExistedPackage(a));
  EXPECT_EQ(thread_.ActiveCount(), 0u);
}

TEST_F(DownloadThreadTest, PackagesAddedQuicklyNeverRunMoreThanThree) {
  // No message is handled between these adds: the entered ones count.
  for (const char* url : {"a", "b", "c", "d", "e"}) Add(url);
  EXPECT_EQ(thread_.WaitingCount(), 2u);
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.ActiveCount(), 3u);
}

TEST_F(DownloadThreadTest, APausedWaitingPackageDoesNotStartWhenASlotFrees) {
  Add("a");
  Add("b");
  Add("c");
  uint32_t d = Add("d");
  ASSERT_NO_FATAL_FAILURE(Settle());
  thread_.PauseTask(d);
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.WaitingCount(), 0u);
  ScriptedEngine::Get().SetStatus("a", 6);
  ASSERT_NO_FATAL_FAILURE(TickAndSettle());
  EXPECT_EQ(thread_.ActiveCount(), 2u);
  EXPECT_TRUE(thread_.IsExistedPackage(d));  // kept, paused
  thread_.ContinueTask(d);
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.ActiveCount(), 3u);
}

TEST_F(DownloadThreadTest, DuplicatesAndUnknownIdsAreRefusedQuietly) {
  Add("a");
  auto* again = new PNPDriverPackage(u"a");
  EXPECT_FALSE(thread_.Add(again));
  EXPECT_FALSE(thread_.Add(nullptr));
  thread_.StopTask(12345);
  thread_.PauseTask(12345);
  thread_.ContinueTask(12345);
  ASSERT_NO_FATAL_FAILURE(Settle());
  EXPECT_EQ(thread_.ActiveCount(), 1u);
}

}  // namespace
