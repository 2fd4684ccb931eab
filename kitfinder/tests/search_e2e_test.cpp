// The real libraries end to end: libkitfinder.so from a program folder with
// the real libkitoracle.so (and what it loads) and libLedgerbox.so, against
// the search service simulator on 127.0.0.1, which counts the requests.
#include <dirent.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "app/adb/tests/temp_folder.h"
#include "kitfinder.h"
#include "search_sim.h"

namespace {

template <typename Fn>
Fn* Export(void* lib, const char* name) {
  return reinterpret_cast<Fn*>(dlsym(lib, name));
}

class SearchE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    sim_.ExportEnvironment();
    // The program folder: every library of the build, and a log folder.
    DIR* bin = opendir(PD_BIN_DIR);
    ASSERT_NE(bin, nullptr);
    while (dirent* e = readdir(bin)) {
      const std::string name = e->d_name;
      if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) {
        ASSERT_EQ(symlink((std::string(PD_BIN_DIR) + "/" + name).c_str(), folder_.File(name).c_str()), 0);
      }
    }
    closedir(bin);
    ASSERT_EQ(mkdir(folder_.File("log").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder_.File("home").c_str(), 0700), 0);
    setenv("PHONEDECK_PROGRAM_DIR", folder_.path().c_str(), 1);
    setenv("HOME", folder_.File("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder_.File("home/.config").c_str(), 1);
    setenv("LEDGERBOX_DIR", folder_.File("cache").c_str(), 1);
    lib_ = dlopen(folder_.File("libkitfinder.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (lib_) {
      Export<decltype(DGClose)>(lib_, "DGClose")();
      dlclose(lib_);
    }
    sim_.Stop();
  }
  // Requests of one command the simulator received.
  int Requests(uint8_t command) {
    int n = 0;
    for (const auto& r : sim_.Requests()) n += !r.packet.empty() && r.packet[0] == command;
    return n;
  }

  searchsim::SearchServiceSim sim_;
  testing_support::TempFolder folder_;
  void* lib_ = nullptr;
};

std::u16string IdList(std::initializer_list<std::u16string> ids) {
  std::u16string list;
  for (const auto& id : ids) list += id + u'\0';
  return list + u'\0';
}

TEST_F(SearchE2eTest, PhoneModelDriversAndTheCacheOverTheRealLibraries) {
  ASSERT_EQ(Export<decltype(DGInit)>(lib_, "DGInit")(), DS_ERROR_SUCCESS);
  // As devwarden passes them: maker, system version, product name.
  Export<decltype(DGSetLocalBrandStr)>(lib_, "DGSetLocalBrandStr")(u"HUAWEI", u"10.0", u"MateBook X");
  Export<decltype(DGSetLocalSystemInfo)>(lib_, "DGSetLocalSystemInfo")(64, 2052, 1);
  char16_t brand[260] = {}, product[260] = {};
  ASSERT_EQ(Export<decltype(DGGetLocalBrandName)>(lib_, "DGGetLocalBrandName")(brand, product), DS_ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(brand), u"华为");
  EXPECT_EQ(std::u16string(product), u"MateBook X 笔记本");

  // The model query devwarden makes for a plugged-in phone.
  char16_t xml[1024] = {};
  ASSERT_EQ(Export<decltype(DGGetMobileProductInfo)>(lib_, "DGGetMobileProductInfo")(0x12d1, 0x1038, u"adb", u"P7-L09",
                                                                                     u"SERIAL", xml, 1024),
            DS_ERROR_SUCCESS);
  EXPECT_NE(std::u16string(xml).find(u"<DeviceName1>P7-L09</DeviceName1>"), std::u16string::npos);

  // The USB driver query devwarden makes: the bus ID group, then the adb
  // interface's group, written as devwarden writes them (lower-case hex).
  const std::u16string lists = IdList({u"USB\\VID_12d1&PID_1038"}) +
                               IdList({u"USB\\VID_12d1&PID_1038&REV_0100&MI_01", u"USB\\VID_12d1&PID_1038&MI_01"});
  char16_t matched[DG_MATCHED_IDS_CAPACITY] = {};
  char16_t description[260] = {}, class_name[32] = {};
  SDrvInfo* drivers = nullptr;
  uint8_t count = 0;
  ASSERT_EQ(Export<decltype(DGGetLocalUsbDrvInfoEx2)>(lib_, "DGGetLocalUsbDrvInfoEx2")(
                1, lists.c_str(), 2, matched, &drivers, &count, description, class_name),
            DS_ERROR_SUCCESS);
  ASSERT_GE(count, 1);
  EXPECT_EQ(drivers[0].iDriverID, 9001);
  EXPECT_EQ(std::u16string(drivers[0].szDrvName), u"HUAWEI Android USB Driver");
  EXPECT_EQ(std::u16string(drivers[0].szSetupPara), u"/S");  // the device-ID prefix removed
  EXPECT_EQ(std::u16string(matched), u"USB\\VID_12d1&PID_1038&REV_0100&MI_01");
  EXPECT_EQ(std::u16string(class_name), u"AndroidUsbDeviceClass");
  Export<decltype(DGFreeDrvInfo)>(lib_, "DGFreeDrvInfo")(drivers, count);

  // A device query twice: the second answer comes from the cache.
  SQueryDevInfo device{};
  const std::u16string ids = IdList({u"USB\\VID_12d1&PID_1038&REV_0100&MI_01", u"USB\\VID_12d1&PID_1038&MI_01"});
  ids.copy(device.szHardwareIDs, ids.size());
  auto pci = Export<decltype(DGGetLocalPciDrvInfo)>(lib_, "DGGetLocalPciDrvInfo");
  for (int round = 0; round < 2; ++round) {
    drivers = nullptr;
    count = 0;
    char16_t desc1[260] = {};
    ASSERT_EQ(pci(&device, &drivers, &count, desc1, nullptr), DS_ERROR_SUCCESS) << round;
    ASSERT_GE(count, 1);
    EXPECT_EQ(drivers[0].iDriverID, 9001);
    EXPECT_EQ(drivers[0].cSoftCount, 1);  // the attached software survives the cache
    EXPECT_EQ(std::u16string(desc1), u"HUAWEI Android ADB Interface");
    Export<decltype(DGFreeDrvInfo)>(lib_, "DGFreeDrvInfo")(drivers, count);
  }
  EXPECT_EQ(Requests(0x18), 1);

  // The driver's description, then again from the cache.
  auto desc = Export<decltype(DGGetLocalDrvDesc)>(lib_, "DGGetLocalDrvDesc");
  for (int round = 0; round < 2; ++round) {
    char16_t text[260] = {};
    int length = 260;
    ASSERT_EQ(desc(9001, text, &length), DS_ERROR_SUCCESS) << round;
    EXPECT_EQ(std::u16string(text), u"华为手机USB驱动，支持ADB调试");
  }
  EXPECT_EQ(Requests(0x0A), 1);
  EXPECT_TRUE(sim_.Errors().empty()) << sim_.Errors().front();
}

}  // namespace
