// libkitfinder.so through its exports, loaded from a program folder that
// holds the test double of kitoracle: the not-ready answers before DGInit,
// kitoracle found beside kitfinder, the USB export forms, and DGClose
// unloading the cache.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "front_fixture.h"
#include "kitfinder.h"

namespace {

using kitfinder_test::IdList;
using kitfinder_test::ProgramFolder;

template <typename Fn>
Fn* Export(void* lib, const char* name) {
  return reinterpret_cast<Fn*>(dlsym(lib, name));
}

TEST(KitfinderExportsTest, NotReadyBeforeInitThenAnsweredFromTheLibrariesBesideIt) {
  ProgramFolder folder("whole", true);
  ASSERT_EQ(symlink(KITFINDER_LIBRARY, folder.folder().File("libkitfinder.so").c_str()), 0);
  ASSERT_EQ(mkdir(folder.folder().File("log").c_str(), 0700), 0);
  setenv("PHONEDECK_PROGRAM_DIR", folder.path().c_str(), 1);
  void* lib = dlopen(folder.folder().File("libkitfinder.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();

  // Before DGInit; the first calls come from several threads at once, which
  // make the query front once between them.
  auto mobile = Export<decltype(DGGetMobileProductInfo)>(lib, "DGGetMobileProductInfo");
  std::vector<std::thread> first;
  std::atomic<int> not_ready{0};
  for (int i = 0; i < 4; ++i) {
    first.emplace_back([&] {
      char16_t xml[64] = {};
      if (mobile(0x18d1, 0x4ee7, u"adb", u"Pixel", u"SERIAL", xml, 64) == DS_ERROR_INTERFACE) ++not_ready;
    });
  }
  for (auto& t : first) t.join();
  EXPECT_EQ(not_ready.load(), 4);
  char16_t xml[64] = {};
  auto usb = Export<decltype(DGGetLocalUsbDrvInfo)>(lib, "DGGetLocalUsbDrvInfo");
  const std::u16string lists = IdList({u"USB\\VID_18D1&PID_4EE7"});
  char16_t matched[DG_MATCHED_IDS_CAPACITY] = {};
  SDrvInfo* drivers = nullptr;
  uint8_t count = 0;
  EXPECT_EQ(usb(lists.c_str(), 1, matched, &drivers, &count), DS_ERROR_INTERFACE);
  EXPECT_EQ(Export<decltype(DGStatReport)>(lib, "DGStatReport")(7, u"x"), 0);
  Export<decltype(DGFreeDrvInfo)>(lib, "DGFreeDrvInfo")(nullptr, 3);
  Export<decltype(DGFreeSoftwareInfo)>(lib, "DGFreeSoftwareInfo")(nullptr);

  ASSERT_EQ(Export<decltype(DGInit)>(lib, "DGInit")(), DS_ERROR_SUCCESS);
  Export<decltype(DGSetLocalBrandStr)>(lib, "DGSetLocalBrandStr")(u"Maker", u"6.1", u"Model");
  EXPECT_EQ(mobile(0x18d1, 0x4ee7, u"adb", u"Pixel", u"SERIAL", xml, 64), DS_ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(xml), u"<Model/>");
  // The plain USB form is the Ex2 form with mode 0.
  folder.ds().AddMultiDriver(u"plain");
  EXPECT_EQ(usb(lists.c_str(), 1, matched, &drivers, &count), DS_ERROR_SUCCESS);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(folder.ds().SentComputerType(), 0);
  Export<decltype(DGFreeDrvInfo)>(lib, "DGFreeDrvInfo")(drivers, count);
  EXPECT_EQ(Export<decltype(DGStatReport)>(lib, "DGStatReport")(7, u"x"), 1);

  Export<decltype(DGClose)>(lib, "DGClose")();
  EXPECT_EQ(dlopen(folder.folder().File("libLedgerbox.so").c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
  const std::string log = folder.folder().Read("log/kitfinder.log");
  EXPECT_NE(log.find("m_bLedgerbox[1]."), std::string::npos);
  EXPECT_NE(log.find("日志关闭"), std::string::npos);
  EXPECT_NE(log.find("]---"), std::string::npos);
  dlclose(lib);
  unsetenv("PHONEDECK_PROGRAM_DIR");
}

}  // namespace
