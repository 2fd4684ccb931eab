// The query front over the test double of kitoracle and the real SQL cache.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "front_fixture.h"
#include "get_progress.h"
#include "record_copy.h"

namespace kitfinder {
namespace {

using kitfinder_test::IdList;
using kitfinder_test::ProgramFolder;

std::atomic<int32_t> g_now{2014071310};
int32_t TestNow() { return g_now.load(); }

SQueryDevInfo Device(const std::u16string& list) {
  SQueryDevInfo d{};
  std::memcpy(d.szClass, u"USB", 8);
  list.copy(d.szHardwareIDs, list.size());
  d.cNeedPackType = 1;
  return d;
}

class FrontTest : public ::testing::Test {
 protected:
  void Start(CGetProgress& front, const ProgramFolder& folder) {
    g_now = 2014071310;
    front.SetNowStamp(&TestNow);
    ASSERT_EQ(front.Init(folder.path()), DS_ERROR_SUCCESS);
    front.SetBrandStr(1, u"Maker", u"6.1", u"Model");
    front.SetSystemInfo(1, 64, 2052, 1);
  }
  // One PCI query; its drivers are checked and freed.
  int Query(CGetProgress& front, const SQueryDevInfo& device, std::u16string* desc1 = nullptr) {
    SDrvInfo* drivers = nullptr;
    uint8_t count = 0;
    char16_t d1[260] = {}, d2[260] = {};
    const int code = front.GetPciDrvInfo(1, &device, &drivers, &count, d1, d2);
    if (code == DS_ERROR_SUCCESS) {
      EXPECT_EQ(count, 1);
      if (count) {
        EXPECT_EQ(drivers[0].iDriverID, 100);
        EXPECT_EQ(drivers[0].cSoftCount, 1);
        EXPECT_NE(drivers[0].pSoftInfo, nullptr);
      }
    }
    if (desc1) *desc1 = d1;
    FreeDrivers(drivers, count);
    return code;
  }
};

TEST_F(FrontTest, QueriesBeforeInitAreNotReady) {
  CGetProgress front;
  const SQueryDevInfo device = Device(IdList({u"PCI\\VEN_1"}));
  EXPECT_EQ(Query(front, device), DS_ERROR_INTERFACE);
  char16_t xml[64];
  EXPECT_EQ(front.GetMobileProductInfo(1, 2, u"", u"", u"", xml, 64), DS_ERROR_INTERFACE);
  const std::u16string lists = IdList({u"USB\\VID_1"});
  char16_t matched[16] = {};
  SDrvInfo* drivers = nullptr;
  uint8_t count = 0;
  EXPECT_EQ(front.GetUsbDrvInfo(1, lists.c_str(), 1, matched, 16, &drivers, &count, nullptr, nullptr),
            DS_ERROR_INTERFACE);
  EXPECT_FALSE(front.StatReport(7, u"x"));
  EXPECT_FALSE(front.IsStartCalendar());
  char16_t text[8];
  EXPECT_EQ(front.GetDrvDesc(1, 5, text, nullptr), DS_ERROR_PARAMETER);  // refused before anything is asked
}

TEST_F(FrontTest, RefusedArgumentsAskNothing) {
  ProgramFolder folder("whole", true);
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  SSoftInfo* soft = nullptr;
  uint8_t count = 1;  // not empty on entry
  EXPECT_EQ(front.GetBrandSoftware(1, &soft, &count), DS_ERROR_PARAMETER);
  EXPECT_EQ(soft, nullptr);
  const SQueryDevInfo empty = Device(IdList({}));
  EXPECT_EQ(Query(front, empty), DS_ERROR_PARAMETER);  // no hardware ID, not in the cache
  SDrvInfo placed{};
  SDrvInfo* drivers = &placed;  // not empty on entry
  count = 0;
  EXPECT_EQ(front.GetPciDrvInfo(1, &empty, &drivers, &count, nullptr, nullptr), DS_ERROR_PARAMETER);
  const std::u16string lists = IdList({u"USB\\VID_1"});
  EXPECT_EQ(front.GetUsbDrvInfo(0, lists.c_str(), 0, nullptr, 0, &drivers, &count, nullptr, nullptr),
            DS_ERROR_PARAMETER);
  EXPECT_EQ(front.GetPciSpecialDrvInfo(1, &empty, nullptr, &drivers, &count, nullptr, nullptr), DS_ERROR_PARAMETER);
  EXPECT_EQ(folder.ds().Calls("DSGetDeviceDescAndID"), 0);
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 0);
  EXPECT_EQ(folder.ds().Calls("DSGetBrandSoftware"), 0);
  front.Release();
}

TEST_F(FrontTest, SecondQueryIsServedByTheCacheAlsoInTheNextProcess) {
  ProgramFolder folder("whole", true);
  const SQueryDevInfo device = Device(IdList({u"PCI\\VEN_8086&DEV_1", u"PCI\\VEN_8086"}));
  {
    CGetProgress front;
    ASSERT_NO_FATAL_FAILURE(Start(front, folder));
    std::u16string desc;
    EXPECT_EQ(Query(front, device, &desc), DS_ERROR_SUCCESS);
    EXPECT_EQ(desc, u"Desc of PCI\\VEN_8086&DEV_1");
    EXPECT_EQ(Query(front, device, &desc), DS_ERROR_SUCCESS);
    EXPECT_EQ(desc, u"Desc of PCI\\VEN_8086&DEV_1");
    EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 1);
    EXPECT_EQ(folder.ds().Calls("DSGetDeviceDescAndID"), 1);
    front.Release();
  }
  CGetProgress later;
  ASSERT_NO_FATAL_FAILURE(Start(later, folder));
  EXPECT_EQ(Query(later, device), DS_ERROR_SUCCESS);
  EXPECT_EQ(folder.ds().Calls("DSGetBrandAndProductID"), 1);  // the system record came from the cache too
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 1);
  EXPECT_EQ(folder.ds().Alive(), 0);
  // The other slot never uses the cache.
  later.SetBrandStr(0, u"Maker", u"6.1", u"Model");
  SDrvInfo* drivers = nullptr;
  uint8_t count = 0;
  EXPECT_EQ(later.GetPciDrvInfo(0, &device, &drivers, &count, nullptr, nullptr), DS_ERROR_SUCCESS);
  FreeDrivers(drivers, count);
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 2);
  later.Release();
}

TEST_F(FrontTest, StaleEntryIsRefreshedWithoutTheDeviceQuery) {
  ProgramFolder folder("whole", true);
  folder.ds().SetDeviceId(u"PCI\\VEN_1", 41);
  const SQueryDevInfo device = Device(IdList({u"PCI\\VEN_1"}));
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  EXPECT_EQ(Query(front, device), DS_ERROR_SUCCESS);
  g_now = 2014071405;  // before 06:00 the next day: still fresh
  EXPECT_EQ(Query(front, device), DS_ERROR_SUCCESS);
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 1);
  g_now = 2014071406;  // 06:00: stale
  std::u16string desc;
  EXPECT_EQ(Query(front, device, &desc), DS_ERROR_SUCCESS);
  EXPECT_EQ(desc, u"Desc of PCI\\VEN_1");  // the cached description
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 2);
  EXPECT_EQ(folder.ds().Calls("DSGetDeviceDescAndID"), 1);
  // Reports need the device in the cache.
  uint8_t answer = 0;
  EXPECT_EQ(front.IsDriverOSSupply(&device, 3, &answer), DS_ERROR_SUCCESS);
  EXPECT_EQ(answer, 1);
  const SQueryDevInfo unknown = Device(IdList({u"PCI\\VEN_2"}));
  EXPECT_EQ(front.IsDriverOSSupply(&unknown, 3, &answer), DS_ERROR_SQL);
  EXPECT_EQ(front.ReportDrvInstResult(&device, 64, 1, 0, 1), DS_ERROR_SUCCESS);
  front.Release();
}

TEST_F(FrontTest, ReportForACachedDeviceWithoutKnownIdsHasNoData) {
  ProgramFolder folder("whole", true);
  const SQueryDevInfo device = Device(IdList({u"PCI\\VEN_3", u"PCI\\VEN"}));
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  EXPECT_EQ(Query(front, device), DS_ERROR_SUCCESS);
  EXPECT_EQ(front.ReportDrvInstResult(&device, 64, 1, 0, 1), DS_ERROR_NODATA);
  front.Release();
  CGetProgress uncached;
  ProgramFolder bare("whole", false);
  ASSERT_NO_FATAL_FAILURE(Start(uncached, bare));
  EXPECT_EQ(uncached.ReportDrvInstResult(&device, 64, 1, 0, 1), DS_ERROR_SQL);
}

TEST_F(FrontTest, DescriptionTooLongForTheBufferGivesTheNeededLength) {
  ProgramFolder folder("whole", true);
  folder.ds().SetDescription(u"Android ADB Interface driver");  // 28 characters
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  char16_t text[64] = {};
  int length = 64;
  ASSERT_EQ(front.GetDrvDesc(1, 100, text, &length), DS_ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"Android ADB Interface driver");
  char16_t small[8] = {};
  length = 8;
  EXPECT_EQ(front.GetDrvDesc(1, 100, small, &length), DS_ERROR_NOTENOUGH);
  EXPECT_EQ(length, 29);
  EXPECT_EQ(folder.ds().Calls("DSGetDriverDesc"), 1);  // the second answer came from the cache
  EXPECT_EQ(front.GetDrvDesc(1, 100, small, nullptr), DS_ERROR_PARAMETER);
  front.Release();
}

TEST_F(FrontTest, UsbQueryFillsMatchedIdsWithinTheCapacity) {
  for (const char* variant : {"whole", "without_ex"}) {
    SCOPED_TRACE(variant);
    ProgramFolder folder(variant, false);
    // The first device: 40 hardware IDs of 38 characters, all device ID 12,
    // more than the matched-IDs buffer holds; the second: one ID unknown to
    // the service.
    std::vector<std::u16string> many;
    std::u16string first_list;
    for (int i = 0; i < 40; ++i) {
      std::u16string id =
          u"USB\\VID_18D1&PID_4EE7&MI_01&REV_" + std::u16string(6, static_cast<char16_t>(u'A' + i % 26));
      folder.ds().SetDeviceId(id.c_str(), 12);
      first_list += id + u'\0';
    }
    first_list += u'\0';
    const std::u16string lists = first_list + IdList({u"USB\\VID_0000"});
    folder.ds().AddMultiDriver(u"<12,15>rest");
    folder.ds().AddMultiDriver(u"<3");  // not closed
    folder.ds().AddMultiDriver(u"plain");
    CGetProgress front;
    ASSERT_NO_FATAL_FAILURE(Start(front, folder));
    std::vector<char16_t> matched(1024 + 16, u'#');
    SDrvInfo* drivers = nullptr;
    uint8_t count = 0;
    char16_t desc1[260] = {}, desc2[32] = {};
    ASSERT_EQ(front.GetUsbDrvInfo(1, lists.c_str(), 2, matched.data(), 1024, &drivers, &count, desc1, desc2),
              DS_ERROR_SUCCESS);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::u16string(drivers[0].szSetupPara), u"rest");
    EXPECT_EQ(std::u16string(drivers[1].szSetupPara), u"<3");
    EXPECT_EQ(std::u16string(drivers[2].szSetupPara), u"plain");
    FreeDrivers(drivers, count);
    for (size_t i = 1024; i < matched.size(); ++i) ASSERT_EQ(matched[i], u'#');
    // Whole IDs of the first group, then the empty strings that close it,
    // the two empty groups and the buffer.
    size_t i = 0, ids = 0;
    while (matched[i]) {
      EXPECT_EQ(std::u16string(&matched[i]).size(), 38u);
      i += 39;
      ++ids;
    }
    EXPECT_EQ(ids, 26u);  // 26 x 39 + the next ID's 39 + 4 closing strings would not fit in 1024
    EXPECT_EQ(matched[i + 1], 0);
    EXPECT_EQ(matched[i + 2], 0);
    EXPECT_EQ(matched[i + 3], 0);
    // Mode 1 sends the computer type 3; an ID the service did not fill is sent as 0.
    EXPECT_EQ(folder.ds().SentComputerType() % 1000, 3);
    EXPECT_EQ(folder.ds().SentId(0, 39), 12);
    EXPECT_EQ(folder.ds().SentId(1, 0), 0);
    EXPECT_EQ(std::u16string(desc2), u"AndroidUsbDeviceClass");
    EXPECT_EQ(folder.ds().Alive(), 0);
  }
}

TEST_F(FrontTest, ThreadsQueryingTogetherResolveTheSlotOnce) {
  ProgramFolder folder("whole", true);
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::u16string id = u"PCI\\VEN_" + std::u16string(1, static_cast<char16_t>(u'0' + t));
      const SQueryDevInfo device = Device(IdList({id}));
      for (int round = 0; round < 3; ++round) {
        if (Query(front, device) != DS_ERROR_SUCCESS) ++failures;
        const std::u16string lists = IdList({u"USB\\VID_1", u"USB\\VID_2"});
        SDrvInfo* drivers = nullptr;
        uint8_t count = 0;
        char16_t matched[64];
        front.GetUsbDrvInfo(0, lists.c_str(), 1, matched, 64, &drivers, &count, nullptr, nullptr);
        FreeDrivers(drivers, count);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(folder.ds().Calls("DSGetBrandAndProductID"), 1);
  EXPECT_EQ(folder.ds().Calls("DSGetCommonAndNewestDriver"), 4);  // one per device, then the cache
  EXPECT_EQ(folder.ds().Alive(), 0);
  front.Release();
}

// While one thread waits on the service for a slot's first resolution, the
// setters, the other slot's queries and the model query go on; a second
// query of the same slot waits for that answer and does not ask again.
// (The brand software query answers with the slot's resolved brand ID.)
TEST_F(FrontTest, SlowResolutionHoldsUpOnlyQueriesOfItsSlot) {
  ProgramFolder folder("whole", true);
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  folder.ds().HoldBrand(u"Maker");
  auto brand_id_of = [&front](int slot) {
    SSoftInfo* soft = nullptr;
    uint8_t count = 0;
    const int code = front.GetBrandSoftware(slot, &soft, &count);
    const int64_t id = code != DS_ERROR_SUCCESS ? -code : count == 2 ? soft[1].dwValue2 : -100;
    FreeSoftware(soft);
    return id;
  };
  auto slow = std::async(std::launch::async, brand_id_of, 1);
  ASSERT_TRUE(folder.ds().WaitHeld(20000));
  auto same_slot = std::async(std::launch::async, brand_id_of, 1);
  auto others = std::async(std::launch::async, [&] {
    front.SetBrandStr(0, u"Other", u"4.4", u"Phone");
    front.SetSystemInfo(0, 9, 2052, 0);
    char16_t model[64] = {};
    const int code = front.GetMobileProductInfo(0x12d1, 0x1038, u"a", u"b", u"c", model, 64);
    return std::make_pair(code == DS_ERROR_SUCCESS ? std::u16string(model) : u"error", brand_id_of(0));
  });
  const bool others_done = others.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  const bool same_slot_waited = same_slot.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
  folder.ds().HoldBrand(nullptr);
  EXPECT_TRUE(others_done) << "the other slot and the setters waited for slot 1's exchange";
  EXPECT_TRUE(same_slot_waited);
  EXPECT_EQ(others.get(), std::make_pair(std::u16string(u"<Model/>"), int64_t{17}));
  EXPECT_EQ(slow.get(), 17);
  EXPECT_EQ(same_slot.get(), 17);
  EXPECT_EQ(folder.ds().Calls("DSGetBrandAndProductID"), 2);  // once per slot
  front.Release();
}

TEST_F(FrontTest, SecondInitLeavesOneCacheHandle) {
  ProgramFolder folder("whole", true);
  const std::string cache = folder.path() + "libLedgerbox.so";
  {
    CGetProgress front;
    ASSERT_NO_FATAL_FAILURE(Start(front, folder));
    ASSERT_EQ(front.Init(folder.path()), DS_ERROR_SUCCESS);
    EXPECT_EQ(folder.ds().Calls("DSInit"), 2);
    front.Release();
  }
  EXPECT_EQ(dlopen(cache.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);  // unloaded: no handle was left behind
}

TEST_F(FrontTest, ReportsAndCloudSwitch) {
  ProgramFolder folder("whole", false);
  CGetProgress front;
  ASSERT_NO_FATAL_FAILURE(Start(front, folder));
  // The computer information report is sent with each GetBrandName until it succeeds.
  folder.ds().SetStatResult(DS_ERROR_NET);
  char16_t brand[260], product[260];
  EXPECT_EQ(front.GetBrandName(1, brand, product), DS_ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(brand), u"Brand of Maker");
  EXPECT_EQ(front.GetBrandName(1, brand, product), DS_ERROR_SUCCESS);
  EXPECT_EQ(folder.ds().Calls("DSStatInfoReport"), 2);
  EXPECT_FALSE(front.StatReport(7, u"{}"));
  folder.ds().SetStatResult(DS_ERROR_SUCCESS);
  EXPECT_TRUE(front.StatReport(7, nullptr));
  EXPECT_EQ(front.GetBrandName(1, brand, product), DS_ERROR_SUCCESS);
  EXPECT_EQ(front.GetBrandName(1, brand, product), DS_ERROR_SUCCESS);
  EXPECT_EQ(folder.ds().Calls("DSStatInfoReport"), 5);
  // The advert type: -1 without a document, which is asked for again; the last match wins.
  EXPECT_EQ(front.GetQenAdType(), -1);
  folder.ds().SetCloudSwitch(
      u"<CloudSwitch><Switch Type=\"2\"><QENRightTopAdType Value=\"9\"/></Switch>"
      u"<Switch Type=\"1\"><QENRightTopAdType Value=\"4\"/><QENRightTopAdType Value=\"7x\"/></Switch>"
      u"</CloudSwitch>");
  EXPECT_EQ(front.GetQenAdType(), 7);
  EXPECT_EQ(front.GetQenAdType(), 7);
  EXPECT_EQ(folder.ds().Calls("DSGetCloudSwitchInfo"), 2);
  EXPECT_TRUE(front.IsStartCalendar());
}

}  // namespace
}  // namespace kitfinder
