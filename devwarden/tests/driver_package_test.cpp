#include "driver_package.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "scripted_libraries.h"

namespace devwarden {
namespace {

using namespace std::chrono_literals;

SDrvInfo Record(uint8_t first_key_byte, int64_t size = 1000, uint8_t package_type = 1) {
  SDrvInfo r;
  std::memset(&r, 0, sizeof r);
  r.byPackageKey[0] = first_key_byte;
  r.byPackageKey[15] = 0x5A;
  r.i64DrvFileSize = size;
  r.cPackgeType = package_type;
  return r;
}

// A package whose download was started through the scripted library.
std::unique_ptr<DriverPackage> Started(uint8_t key_byte, int status, const char16_t* bus_id = u"USB\\VID_18d1&PID_4ee7") {
  auto p = std::make_unique<DriverPackage>(Record(key_byte));
  p->SetBusId(bus_id);
  p->UseDownloadInterface(scripted::Table());
  EXPECT_TRUE(p->StartDownload());
  scripted::Set(p->DownloadId(), status, 1000);
  return p;
}

template <size_t N>
std::u16string Lit(const char16_t (&s)[N]) {
  return std::u16string(s, N - 1);
}

struct PackageTest : ::testing::Test {
  void SetUp() override {
    scripted::Reset();
    scripted::S() = scripted::Setup();
    SetCompatibleWait(5ms, 2000ms);
    AllowInstallWaits();
  }
  void TearDown() override { SetCompatibleWait(1000ms, std::chrono::minutes(10)); }
};

TEST_F(PackageTest, RecordCopyKeyAndSetupTypes) {
  SDrvInfo r = Record(0xAB, -5);
  SSoftInfo soft[2];
  r.cSoftCount = 2;
  r.pSoftInfo = soft;
  DriverPackage p(r);
  EXPECT_EQ(p.GetKey()[0], 0xAB);
  EXPECT_EQ(p.GetKey()[15], 0x5A);
  EXPECT_EQ(p.TotalSize(), 0u);  // a negative size counts as unknown
  struct {
    uint8_t type;
    int setup;
  } cases[] = {{0, 9}, {1, 2}, {3, 2}, {4, 5}, {7, 5}, {8, 9}, {255, 9}};
  for (const auto& c : cases) EXPECT_EQ(SetupTypeOf(c.type), c.setup) << int(c.type);
  const PackageKey compatible = CompatiblePackageKey();
  EXPECT_EQ(compatible[0], 0xa3);  // the 64-bit package
  EXPECT_EQ(compatible[15], 0xd9);
}

TEST_F(PackageTest, HardwareIdListsAndBusId) {
  DriverPackage p(Record(1));
  const std::u16string two = Lit(u"A\0B\0\0C\0");
  p.SetHwIdsForPackage(two.data(), two.size());
  EXPECT_EQ(p.HardwareIds(), (std::vector<std::u16string>{u"A", u"B"}));
  // The walk stops at the given length even where no terminator follows.
  const std::u16string cut = u"USB\\VID_18d1";
  p.SetHwIdsForPackage(cut.data(), 7);
  EXPECT_EQ(p.HardwareIds(), (std::vector<std::u16string>{u"USB\\VID"}));
  const std::u16string long_id(100, u'x');
  p.SetHwIdsForPackage(long_id.c_str(), long_id.size() + 1);
  EXPECT_EQ(p.HardwareIds().at(0).size(), 63u);
  p.SetHwIdsForPackage(nullptr, 10);
  EXPECT_TRUE(p.HardwareIds().empty());

  p.SetBusId(u"USB\\VID_18d1&PID_4ee7");
  p.SetBusId(nullptr);
  p.SetBusId(u"");
  EXPECT_EQ(p.BusId(), u"USB\\VID_18d1&PID_4ee7");
  p.SetBusId(std::u16string(2000, u'b').c_str());
  EXPECT_EQ(p.BusId().size(), 1023u);
}

TEST_F(PackageTest, ASecondStartStopsTheFirstDownload) {
  DriverPackage p(Record(2));
  p.UseDownloadInterface(scripted::Table());
  ASSERT_TRUE(p.StartDownload());
  const int first = p.DownloadId();
  ASSERT_TRUE(p.StartDownload());
  EXPECT_NE(p.DownloadId(), first);
  EXPECT_EQ(scripted::D().stopped, std::vector<int>{first});
  scripted::D().start_answer = 0;  // the library refuses
  EXPECT_FALSE(p.StartDownload());
  EXPECT_EQ(p.DownloadId(), 0);
}

TEST_F(PackageTest, ProgressWithAMissingLibraryIsNeutral) {
  DriverPackage p(Record(3));
  p.UseDownloadInterface(WebpullerInterface());
  EXPECT_FALSE(p.StartDownload());
  const DriverPackage::Progress progress = p.GetProgress();
  EXPECT_EQ(progress.status, -1);
  EXPECT_EQ(progress.downloaded, 0u);
  EXPECT_EQ(progress.speed, 1);
}

TEST_F(PackageTest, InstallCodes) {
  struct Case {
    int code;
    int result;
    int reboot;
  } cases[] = {{1, 1, 0}, {2, 1, 1}, {0, 0, 0}, {-1, 0, 0}, {-4, 0, 0}, {-9, 0, 0}, {-15, 0, 0}, {42, 0, 0}};
  for (const Case& c : cases) {
    scripted::S() = scripted::Setup();
    scripted::S().answers = {c.code};
    auto p = Started(4, 6);
    int reboot = 0;
    EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 2, nullptr, &reboot), c.result) << c.code;
    EXPECT_EQ(reboot, c.reboot) << c.code;
    EXPECT_EQ(scripted::S().types, std::vector<int>{2});
  }
  // Without the install procedure the code is -15.
  scripted::S() = scripted::Setup();
  auto p = Started(5, 6);
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(false), 2, nullptr, nullptr), 0);
}

TEST_F(PackageTest, AnUnfinishedPackageIsNotInstalled) {
  auto p = Started(6, 4);
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 0);
  EXPECT_TRUE(scripted::S().bus_ids.empty());
  DriverPackage never(Record(7));
  EXPECT_EQ(InstallWith(&never, scripted::SetupTable(), 1, nullptr, nullptr), 0);
}

TEST_F(PackageTest, InstallsAgainstTheCallingDevicesBusId) {
  auto p = Started(8, 6, u"USB\\VID_18d1&PID_4ee7");
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, u"USB\\VID_18d1&PID_4ee2", nullptr), 1);
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 1);
  EXPECT_EQ(scripted::S().bus_ids, (std::vector<std::u16string>{u"USB\\VID_18d1&PID_4ee2", u"USB\\VID_18d1&PID_4ee7"}));
  EXPECT_EQ(scripted::S().packages.at(0), u"/tmp/package.bin");
}

TEST_F(PackageTest, AFileNameCutByTheBufferIsRejected) {
  auto p = Started(9, 6);
  scripted::Set(p->DownloadId(), 6, 1000, u"/tmp/" + std::u16string(300, u'n'));
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 2, nullptr, nullptr), 0);
  EXPECT_TRUE(scripted::S().bus_ids.empty());
}

TEST_F(PackageTest, AFailedAndroidInstallIsRetriedOnceWithTheCompatiblePackage) {
  scripted::S().answers = {0, 1};
  auto p = Started(10, 6);
  const int original = p->DownloadId();
  // The compatible download finishes a little later.
  std::thread finisher([&] {
    std::this_thread::sleep_for(50ms);
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard<std::mutex> lock(scripted::D().mu);
        if (scripted::D().started.size() == 2) {
          scripted::D().states[original + 1] = {6, 1000, u"/tmp/compatible.bin"};
          return;
        }
      }
      std::this_thread::sleep_for(5ms);
    }
  });
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 1);
  finisher.join();
  ASSERT_EQ(scripted::D().started.size(), 2u);
  EXPECT_EQ(scripted::D().started[1], CompatiblePackageKey());
  EXPECT_EQ(p->DownloadId(), original + 1);
  EXPECT_EQ(scripted::S().packages,
            (std::vector<std::u16string>{u"/tmp/package.bin", u"/tmp/compatible.bin"}));
  // A device of other class bits (Android and Apple) is not retried.
  scripted::S() = scripted::Setup();
  scripted::S().answers = {0};
  auto q = Started(11, 6);
  EXPECT_EQ(InstallWith(q.get(), scripted::SetupTable(), 3, nullptr, nullptr), 0);
  EXPECT_EQ(scripted::S().bus_ids.size(), 1u);
}

TEST_F(PackageTest, TheCompatibleWaitIsCappedAndAbortedAtShutDown) {
  scripted::S().answers = {0};
  auto p = Started(12, 6);
  SetCompatibleWait(5ms, 100ms);  // the compatible download never leaves state 4
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 0);
  EXPECT_EQ(scripted::D().stopped.size(), 1u) << "the abandoned download is stopped";

  scripted::Set(p->DownloadId(), 6, 1000);
  SetCompatibleWait(20ms, std::chrono::minutes(10));
  std::atomic<bool> returned{false};
  std::thread install([&] {
    EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 0);
    returned = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(returned.load());
  AbortInstallWaits();
  install.join();
  EXPECT_TRUE(returned.load());
  // Failures of the compatible start: refused.
  AllowInstallWaits();
  scripted::Set(p->DownloadId(), 6, 1000);
  scripted::D().start_answer = 0;
  EXPECT_EQ(InstallWith(p.get(), scripted::SetupTable(), 1, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace devwarden
