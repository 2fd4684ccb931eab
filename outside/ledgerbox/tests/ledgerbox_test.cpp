// libLedgerbox.so through its exports, on a database in a temporary folder;
// a damaged database file set aside for a fresh one; and its byte form
// refusing damaged values.
#include <dlfcn.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/adb/tests/temp_folder.h"
#include "foundation/base/tests/case_name.h"
#include "testing/sqlite_damage.h"
#include "ledgerbox.h"
#include "src/record_codec.h"

namespace {

struct Api {
  decltype(&SCInit) init;
  decltype(&SCClose) close;
  decltype(&SCGetSysInfo) get_sys;
  decltype(&SCUpdateSysInfo) put_sys;
  decltype(&SCGetDrvInfo) get_drv;
  decltype(&SCUpdateDrvInfo) put_drv;
  decltype(&SCGetSpecialDrvInfo) get_pair;
  decltype(&SCUpdateSpecialDrvInfo) put_pair;
  decltype(&SCFreeDrvInfo) free_drv;
  decltype(&SCGetBrandSoftInfo) get_soft;
  decltype(&SCUpdateBrandSoftInfo) put_soft;
  decltype(&SCFreeBrandSoftInfo) free_soft;
  decltype(&SCUpdateDrvDesc) put_desc;
  decltype(&SCGetDrvDesc) get_desc;
};

template <typename T>
void Text(T* field, const char16_t* text) {
  std::memcpy(field, text, (std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t));
}

SQueryDevInfo Device(const char16_t* first_id) {
  SQueryDevInfo d{};
  Text(d.szClass, u"USB");
  const std::u16string ids = std::u16string(first_id) + u'\0' + u"USB\\VID_18D1" + u'\0' + u'\0';
  ids.copy(d.szHardwareIDs, ids.size());
  d.cLocalDrvStatus = 1;
  d.iLocalDrvDate = 20140712;
  d.cNeedPackType = 2;
  return d;
}

class LedgerboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LEDGERBOX_DIR", folder_.File("cache").c_str(), 1);
    lib_ = dlopen(LEDGERBOX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
#define SYM(field, name) api_.field = reinterpret_cast<decltype(api_.field)>(dlsym(lib_, #name))
    SYM(init, SCInit);
    SYM(close, SCClose);
    SYM(get_sys, SCGetSysInfo);
    SYM(put_sys, SCUpdateSysInfo);
    SYM(get_drv, SCGetDrvInfo);
    SYM(put_drv, SCUpdateDrvInfo);
    SYM(get_pair, SCGetSpecialDrvInfo);
    SYM(put_pair, SCUpdateSpecialDrvInfo);
    SYM(free_drv, SCFreeDrvInfo);
    SYM(get_soft, SCGetBrandSoftInfo);
    SYM(put_soft, SCUpdateBrandSoftInfo);
    SYM(free_soft, SCFreeBrandSoftInfo);
    SYM(put_desc, SCUpdateDrvDesc);
    SYM(get_desc, SCGetDrvDesc);
#undef SYM
    ASSERT_EQ(api_.init(), 1);
  }
  void TearDown() override {
    if (api_.close) api_.close();
    if (lib_) dlclose(lib_);
  }

  testing_support::TempFolder folder_;
  void* lib_ = nullptr;
  Api api_{};
};

TEST_F(LedgerboxTest, DeviceRecordAndDriversWithSoftwareComeBackFieldForField) {
  SDevCacheInfo record{};
  record.DevInfo = Device(u"USB\\VID_18D1&PID_4EE7");
  Text(record.szDesc1, u"Android Composite ADB Interface");
  Text(record.szDesc2, u"AndroidUsbDeviceClass");
  Text(record.szDeviceID, u"12,0,345");
  record.iStamp = 2014071208;
  SSoftInfo soft[2]{};
  soft[0].dwValue1 = 7;
  soft[1].i64Value = -5;
  Text(soft[1].szText7, u"最后");
  SDrvInfo drivers[2]{};
  drivers[0].iDriverID = 4711;
  for (int i = 0; i < 16; ++i) drivers[0].byPackageKey[i] = static_cast<uint8_t>(i * 3);
  drivers[0].i64DrvFileSize = 1LL << 40;
  Text(drivers[0].szDrvName, u"ADB driver");
  drivers[0].cSoftCount = 2;
  drivers[0].pSoftInfo = soft;
  drivers[1].cPackgeType = 9;
  ASSERT_EQ(api_.put_drv(&record, drivers, 2), 1);

  // The key is the device's fields: bytes after a text's end do not count.
  SDevCacheInfo asked{};
  asked.DevInfo = Device(u"USB\\VID_18D1&PID_4EE7");
  asked.DevInfo.szClass[200] = u'x';
  SDrvInfo* got = nullptr;
  uint8_t count = 0;
  ASSERT_EQ(api_.get_drv(&asked, &got, &count), 1);
  EXPECT_EQ(std::u16string(asked.szDesc1), u"Android Composite ADB Interface");
  EXPECT_EQ(std::u16string(asked.szDeviceID), u"12,0,345");
  EXPECT_EQ(asked.iStamp, 2014071208);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(got[0].iDriverID, 4711);
  EXPECT_EQ(0, std::memcmp(got[0].byPackageKey, drivers[0].byPackageKey, 16));
  EXPECT_EQ(got[0].i64DrvFileSize, 1LL << 40);
  EXPECT_EQ(std::u16string(got[0].szDrvName), u"ADB driver");
  ASSERT_EQ(got[0].cSoftCount, 2);
  ASSERT_NE(got[0].pSoftInfo, soft);  // a copy of its own
  EXPECT_EQ(got[0].pSoftInfo[0].dwValue1, 7u);
  EXPECT_EQ(got[0].pSoftInfo[1].i64Value, -5);
  EXPECT_EQ(std::u16string(got[0].pSoftInfo[1].szText7), u"最后");
  EXPECT_EQ(got[1].cPackgeType, 9);
  EXPECT_EQ(got[1].pSoftInfo, nullptr);
  api_.free_drv(got, count);

  // The record alone, and a device that differs in one field is not held.
  SDevCacheInfo alone{};
  alone.DevInfo = Device(u"USB\\VID_18D1&PID_4EE7");
  EXPECT_EQ(api_.get_drv(&alone, nullptr, nullptr), 1);
  EXPECT_EQ(std::u16string(alone.szDeviceID), u"12,0,345");
  SDevCacheInfo other{};
  other.DevInfo = Device(u"USB\\VID_18D1&PID_4EE7");
  other.DevInfo.cNeedPackType = 3;
  EXPECT_EQ(api_.get_drv(&other, nullptr, nullptr), 0);
}

TEST_F(LedgerboxTest, PairsSoftwareAndSystemRecordSurviveAReopen) {
  SDevCacheInfo one{}, two{};
  one.DevInfo = Device(u"PCI\\VEN_1");
  two.DevInfo = Device(u"PCI\\VEN_2");
  Text(one.szDesc1, u"first");
  Text(two.szDeviceID, u"5");
  one.iStamp = two.iStamp = 2026121006;
  SDrvInfo driver{};
  driver.iDriverID = 3;
  ASSERT_EQ(api_.put_pair(&one, &two, &driver, 1), 1);
  SSoftInfo soft[3]{};
  soft[2].dwValue4 = 44;
  ASSERT_EQ(api_.put_soft(soft, 3, 2026121007), 1);
  SSysInfo sys{};
  Text(sys.szBrandStr, u"Zelvik");
  sys.sLanguage = 2052;
  sys.iBrandID = 17;
  sys.iStamp = 2026121008;
  ASSERT_EQ(api_.put_sys(&sys), 1);

  api_.close();
  ASSERT_EQ(api_.init(), 1);

  SDevCacheInfo a{}, b{};
  a.DevInfo = one.DevInfo;
  b.DevInfo = two.DevInfo;
  SDrvInfo* got = nullptr;
  uint8_t count = 0;
  ASSERT_EQ(api_.get_pair(&a, &b, &got, &count), 1);
  EXPECT_EQ(std::u16string(a.szDesc1), u"first");
  EXPECT_EQ(std::u16string(b.szDeviceID), u"5");
  ASSERT_EQ(count, 1);
  EXPECT_EQ(got[0].iDriverID, 3);
  api_.free_drv(got, count);
  EXPECT_EQ(api_.get_pair(&b, &a, nullptr, nullptr), 0);  // the order is part of the key

  SSoftInfo* list = nullptr;
  uint8_t soft_count = 0;
  int32_t stamp = 0;
  ASSERT_EQ(api_.get_soft(&list, &soft_count, &stamp), 1);
  EXPECT_EQ(soft_count, 3);
  EXPECT_EQ(stamp, 2026121007);
  EXPECT_EQ(list[2].dwValue4, 44u);
  api_.free_soft(list);

  SSysInfo read{};
  ASSERT_EQ(api_.get_sys(&read), 1);
  EXPECT_EQ(std::u16string(read.szBrandStr), u"Zelvik");
  EXPECT_EQ(read.sLanguage, 2052);
  EXPECT_EQ(read.iBrandID, 17);
  EXPECT_EQ(read.iStamp, 2026121008);
}

TEST_F(LedgerboxTest, DescriptionThatDoesNotFitGivesTheNeededLength) {
  ASSERT_EQ(api_.put_desc(99, u"Android ADB Interface"), 1);  // 21 characters
  char16_t small[8] = {};
  int32_t length = 8;
  EXPECT_EQ(api_.get_desc(99, small, &length), 0);
  EXPECT_EQ(length, 22);
  EXPECT_EQ(small[0], 0);  // nothing written
  char16_t big[64];
  length = 64;
  EXPECT_EQ(api_.get_desc(99, big, &length), 1);
  EXPECT_EQ(length, 22);
  EXPECT_EQ(std::u16string(big), u"Android ADB Interface");
  length = 64;
  EXPECT_EQ(api_.get_desc(100, big, &length), 0);  // not stored: the length stays
  EXPECT_EQ(length, 64);
  EXPECT_EQ(api_.get_desc(99, big, nullptr), 0);
}

TEST_F(LedgerboxTest, NothingAnswersWhileClosed) {
  api_.close();
  SSysInfo sys{};
  EXPECT_EQ(api_.put_sys(&sys), 0);
  EXPECT_EQ(api_.get_sys(&sys), 0);
  EXPECT_EQ(api_.put_desc(1, u"x"), 0);
}

class DamagedCacheTest : public LedgerboxTest, public ::testing::WithParamInterface<testing_support::SqliteDamage> {};

// It is only a cache: the damaged file is kept aside as it was, the cache
// starts afresh and works, and stderr says what happened.
TEST_P(DamagedCacheTest, IsSetAsideAndStartedAfresh) {
  SDevCacheInfo record{};
  record.DevInfo = Device(u"USB\\VID_18D1&PID_4EE7");
  Text(record.szDeviceID, u"1,2,3");
  ASSERT_EQ(api_.put_drv(&record, nullptr, 0), 1);
  api_.close();
  const std::string damaged = GetParam().damage(folder_.Read("cache/ledgerbox.db"));
  folder_.Write("cache/ledgerbox.db", damaged);

  ::testing::internal::CaptureStderr();
  const int opened = api_.init();
  SDevCacheInfo asked{};
  asked.DevInfo = record.DevInfo;
  const int found = api_.get_drv(&asked, nullptr, nullptr);  // damage behind the header shows here
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(found, 0);
  EXPECT_NE(said.find("ledgerbox.db is damaged"), std::string::npos) << said;

  ASSERT_EQ(api_.put_drv(&record, nullptr, 0), 1);
  EXPECT_EQ(api_.get_drv(&asked, nullptr, nullptr), 1);
  EXPECT_EQ(std::u16string(asked.szDeviceID), u"1,2,3");
  const std::vector<std::string> aside = testing_support::DamagedAside(folder_.File("cache"), "ledgerbox.db");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(folder_.Read("cache/" + aside[0]), damaged);
  EXPECT_NE(said.find(aside[0]), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Ledgerbox, DamagedCacheTest, ::testing::ValuesIn(testing_support::kSqliteDamages),
                         testing_support::NamedBy(&testing_support::SqliteDamage::label));

TEST(LedgerboxCodecTest, DamagedValuesAreRefused) {
  SDrvInfo driver{};
  SSoftInfo soft{};
  driver.cSoftCount = 1;
  driver.pSoftInfo = &soft;
  const ledgerbox::Bytes whole = ledgerbox::EncodeDrivers(&driver, 1);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, whole.size() / 2, whole.size() - 1}) {
    SDrvInfo* got = nullptr;
    uint8_t count = 0;
    EXPECT_FALSE(ledgerbox::DecodeDrivers(ledgerbox::Bytes(whole.begin(), whole.begin() + cut), &got, &count)) << cut;
    EXPECT_EQ(got, nullptr);
  }
  ledgerbox::Bytes longer = whole;
  longer.push_back(0);
  SDrvInfo* got = nullptr;
  uint8_t count = 0;
  EXPECT_FALSE(ledgerbox::DecodeDrivers(longer, &got, &count));
  // A text longer than its field is refused, not cut or overrun.
  ledgerbox::Bytes text = ledgerbox::EncodeDescription(std::u16string(300, u'a'));
  SSysInfo sys{};
  EXPECT_FALSE(ledgerbox::DecodeSysInfo(text, &sys));
}

}  // namespace
