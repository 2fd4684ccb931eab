#include "package_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "scripted_libraries.h"

namespace devwarden {
namespace {

struct Report {
  int device;
  int status;
  uint64_t total;
  uint64_t downloaded;
  int speed;
};

std::vector<Report> g_reports;
PackagePool* g_pool = nullptr;
bool g_call_back_in = false;

int Callback(int device, int* status, uint64_t* total, uint64_t* downloaded, int* speed, uintptr_t context) {
  EXPECT_EQ(context, 77u);
  g_reports.push_back({device, *status, *total, *downloaded, *speed});
  if (g_call_back_in) {
    uint64_t t, d;
    int s;
    g_pool->GetDownLoadInfo(device, &t, &d, &s);  // the same thread takes the lock again
  }
  *status = 4;  // whatever the host writes back changes nothing
  return 0;
}

std::unique_ptr<DriverPackage> Package(uint8_t key_byte, int64_t size) {
  SDrvInfo r;
  std::memset(&r, 0, sizeof r);
  r.byPackageKey[0] = key_byte;
  r.i64DrvFileSize = size;
  auto p = std::make_unique<DriverPackage>(r);
  p->UseDownloadInterface(scripted::Table());
  return p;
}

PackageKey Key(uint8_t first) {
  PackageKey k{};
  k[0] = first;
  return k;
}

struct PoolTest : ::testing::Test {
  void SetUp() override {
    scripted::Reset();
    g_reports.clear();
    g_call_back_in = false;
    pool_ = std::make_unique<PackagePool>();
    g_pool = pool_.get();
    pool_->SetCallback(Callback, 77);
  }
  std::unique_ptr<PackagePool> pool_;
};

TEST_F(PoolTest, PackagesAreKeptOncePerKey) {
  EXPECT_EQ(pool_->AddPackage(nullptr), 0);
  EXPECT_EQ(pool_->AddPackage(Package(1, 100)), 1);
  EXPECT_EQ(pool_->AddPackage(Package(1, 999)), 0);
  EXPECT_EQ(pool_->PackageCount(), 1u);
  EXPECT_EQ(pool_->FindPackage(Key(1))->TotalSize(), 100u);
  EXPECT_EQ(pool_->FindPackage(Key(2)), nullptr);
  // Keys order as unsigned bytes.
  EXPECT_EQ(pool_->AddPackage(Package(0x80, 1)), 1);
  EXPECT_EQ(pool_->AddPackage(Package(0x7F, 1)), 1);
  EXPECT_EQ(pool_->PackageCount(), 3u);
}

TEST_F(PoolTest, StartsOncePerDevice) {
  pool_->AddPackage(Package(1, 100));
  EXPECT_EQ(pool_->StartDownLoad(5, Key(9)), 0);  // not pooled
  EXPECT_EQ(pool_->StartDownLoad(5, Key(1)), 1);
  EXPECT_EQ(pool_->StartDownLoad(5, Key(1)), 1);  // already running for the device: nothing started
  EXPECT_EQ(scripted::D().started.size(), 1u);
  scripted::D().start_answer = 0;
  EXPECT_EQ(pool_->StartDownLoad(6, Key(1)), 0);
  EXPECT_FALSE(pool_->HasDownload(6));
  // Device 6 shares the package: its start replaced (stopped) the running
  // download before the library refused the new one.
  EXPECT_EQ(scripted::D().stopped, std::vector<int>{1});
  pool_->StopDownLoad(99);
  EXPECT_EQ(scripted::D().stopped.size(), 1u);
  EXPECT_TRUE(pool_->HasDownload(5)) << "the entry stays until a poll sees the final state";
  pool_->PollOnce();
  EXPECT_FALSE(pool_->HasDownload(5));
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].status, 7);
}

TEST_F(PoolTest, PollsReportPerEntrySpeedsAndEndAtTheFinalStatus) {
  pool_->AddPackage(Package(1, 1000));
  pool_->AddPackage(Package(2, 5000));
  ASSERT_EQ(pool_->StartDownLoad(10, Key(1)), 1);  // id 1
  ASSERT_EQ(pool_->StartDownLoad(20, Key(2)), 1);  // id 2
  scripted::Set(1, 4, 100);
  scripted::Set(2, 4, 3000);
  pool_->PollOnce();
  scripted::Set(1, 4, 300);
  scripted::Set(2, 4, 3400);
  pool_->PollOnce();
  scripted::Set(1, 4, 600);
  scripted::Set(2, 4, 2000);  // restarted: fewer bytes than before
  pool_->PollOnce();
  ASSERT_EQ(g_reports.size(), 6u);
  // Each entry's speed is half its own growth over its last two polls.
  EXPECT_EQ(g_reports[0].speed, 50);    // (100 - 0) / 2
  EXPECT_EQ(g_reports[1].speed, 1500);  // (3000 - 0) / 2
  EXPECT_EQ(g_reports[2].speed, 150);   // (300 - 0) / 2
  EXPECT_EQ(g_reports[3].speed, 1700);  // (3400 - 0) / 2
  EXPECT_EQ(g_reports[4].speed, 250);   // (600 - 100) / 2
  EXPECT_EQ(g_reports[5].speed, 0);     // clamped, not a wrapped count
  EXPECT_EQ(g_reports[5].total, 5000u);

  // Both end in the same poll: each is reported once more, then no more.
  g_reports.clear();
  scripted::Set(1, 6, 1000);
  scripted::Set(2, 7, 2100);
  pool_->PollOnce();
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0].device, 10);
  EXPECT_EQ(g_reports[0].status, 6);
  EXPECT_EQ(g_reports[0].speed, 0);
  EXPECT_EQ(g_reports[1].device, 20);
  EXPECT_EQ(g_reports[1].status, 7);
  pool_->PollOnce();
  EXPECT_EQ(g_reports.size(), 2u);
  EXPECT_FALSE(pool_->HasDownload(10));
  // A device whose entry is gone can start again.
  EXPECT_EQ(pool_->StartDownLoad(10, Key(1)), 1);
}

TEST_F(PoolTest, AnEntryErasedMidWalkIsReportedOnceAndTheWalkGoesOn) {
  for (uint8_t k = 1; k <= 3; ++k) pool_->AddPackage(Package(k, 100));
  for (int device = 1; device <= 3; ++device) pool_->StartDownLoad(device, Key(static_cast<uint8_t>(device)));
  scripted::Set(1, 4, 10);
  scripted::Set(2, 6, 100);  // the middle one finishes
  scripted::Set(3, 4, 10);
  g_call_back_in = true;
  pool_->PollOnce();
  ASSERT_EQ(g_reports.size(), 3u);
  EXPECT_EQ(g_reports[0].device, 1);
  EXPECT_EQ(g_reports[1].device, 2);
  EXPECT_EQ(g_reports[2].device, 3);
}

TEST_F(PoolTest, DownloadInfoAndFinishedChecks) {
  pool_->AddPackage(Package(1, 1000));
  uint64_t total = 9, downloaded = 9;
  int speed = 9;
  pool_->GetDownLoadInfo(3, &total, &downloaded, &speed);
  EXPECT_EQ(total + downloaded + speed, 0u);
  EXPECT_EQ(pool_->AllFinished(Key(7)), 1);  // nothing pooled under that key
  ASSERT_EQ(pool_->StartDownLoad(3, Key(1)), 1);
  scripted::Set(1, 4, 400);
  pool_->GetDownLoadInfo(3, &total, &downloaded, &speed);
  EXPECT_EQ(total, 1000u);
  EXPECT_EQ(downloaded, 400u);
  EXPECT_EQ(speed, 1);  // at least 1
  EXPECT_EQ(pool_->AllFinished(Key(1)), 0);
  scripted::Set(1, 6, 990);  // the library's count may lag: finished means all of it
  pool_->GetDownLoadInfo(3, &total, &downloaded, &speed);
  EXPECT_EQ(downloaded, 1000u);
  EXPECT_EQ(pool_->AllFinished(Key(1)), 1);
  EXPECT_EQ(pool_->Install(Key(7), 1, u"USB\\VID_18d1&PID_4ee7"), 1);  // nothing to install
}

TEST_F(PoolTest, TheThreadPollsAndStops) {
  pool_->AddPackage(Package(1, 10));
  pool_->StartDownLoad(4, Key(1));
  scripted::Set(1, 6, 10);
  ASSERT_TRUE(pool_->Start());
  for (int i = 0; i < 200 && pool_->HasDownload(4); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  pool_->Stop();
  EXPECT_FALSE(pool_->HasDownload(4));
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].status, 6);
}

}  // namespace
}  // namespace devwarden
