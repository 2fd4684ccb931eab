#include "app/config/config_mgr.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/config/tests/user_home.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {

std::string U8(const std::u16string& text) { return WStringToAnsi(text); }

class ConfigMgr : public config_test::TempUser {};

// Three folder names of 100 characters: a path longer than a profile read gives.
std::string Long() {
  const std::string part(100, 'd');
  return part + "/" + part + "/" + part;
}

TEST_F(ConfigMgr, WithoutSettingsEverythingHasItsDefault) {
  CConfigMgr config;
  config.Init();
  EXPECT_TRUE(config.GetSmsTips());
  EXPECT_TRUE(config.GetContactTips());
  EXPECT_TRUE(config.GetPictureTips());
  EXPECT_TRUE(config.GetMusicTips());
  EXPECT_TRUE(config.GetVideoTips());
  EXPECT_TRUE(config.GetAutoInstallTips());
  EXPECT_TRUE(config.GetAutoInstallFlag());
  EXPECT_TRUE(config.GetDelOffTaskTips());
  EXPECT_EQ(config.GetCloseType(), 0);
  EXPECT_EQ(config.GetInstallLocation(), 0);

  const std::string data = home_ + "/data/Shelfhub";
  struct PathCase {
    std::u16string actual;
    std::string expected;
  };
  const PathCase paths[] = {
      {config.GetDownloadPath(), home_ + "/Downloads/Zelvik/Apps"},
      {config.GetDefaultDownloadPath(), home_ + "/Downloads/Zelvik/Apps"},
      {config.GetAgentApkPath(), home_ + "/program/apk/com.zelvik.assist.apk"},
      {config.GetDataPath(), data},
      {config.GetDownListPath(), data + "/download/downlist.dat"},
      {config.GetDownIconPath(), data + "/download/icon/"},
      {config.GetEngineWorkPath(), data + "/download/"},
      {config.GetTempDir(), home_ + "/tmp/qentemp-" + std::to_string(getuid())},
      {config.GetAppFilePath(u"Tallyhand.dll"), home_ + "/program/Tallyhand.dll"},
  };
  for (const PathCase& p : paths) EXPECT_EQ(U8(p.actual), p.expected);
  EXPECT_TRUE(IsFolder(home_ + "/Downloads/Zelvik/Apps"));
  EXPECT_TRUE(IsFolder(data + "/download/icon"));
  EXPECT_TRUE(IsFolder(home_ + "/tmp/qentemp-" + std::to_string(getuid())));
  EXPECT_TRUE(IsFolder(home_ + "/config/Shelfhub"));
}

TEST_F(ConfigMgr, OddValuesReadAsTheProfileFunctionsReadThem) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("config/Shelfhub/setting.ini",
            "[setting]\r\n"
            "sms_tips=2\r\n"            // a boolean is true only for exactly 1
            "contact_tips=0\r\n"
            "picture_tips= 1 \r\n"
            "music_tips=yes\r\n"        // no digits: 0
            "video_tips=\r\n"           // empty: the default
            "auto_install_flag=01\r\n"
            "delofftask_tips=-1\r\n"
            "close_type=-5\r\n"
            "install_location=2x\r\n"
            "download_path=" + home_ + "/blocked/Apps\r\n"));
  ASSERT_NO_FATAL_FAILURE(WriteFile("blocked", "a file where the folder should be"));
  CConfigMgr config;
  config.Init();
  EXPECT_FALSE(config.GetSmsTips());
  EXPECT_FALSE(config.GetContactTips());
  EXPECT_TRUE(config.GetPictureTips());
  EXPECT_FALSE(config.GetMusicTips());
  EXPECT_TRUE(config.GetVideoTips());
  EXPECT_TRUE(config.GetAutoInstallFlag());
  EXPECT_FALSE(config.GetDelOffTaskTips());
  EXPECT_EQ(config.GetCloseType(), -5);
  EXPECT_EQ(config.GetInstallLocation(), 2);
  // The stored folder cannot be made: the default takes its place, also in the file.
  EXPECT_EQ(U8(config.GetDownloadPath()), home_ + "/Downloads/Zelvik/Apps");
  EXPECT_NE(ReadFile("config/Shelfhub/setting.ini").find("download_path=" + home_ + "/Downloads/Zelvik/Apps"),
            std::string::npos);
}

TEST_F(ConfigMgr, SettersWriteOnlyChangesAndSurviveARestart) {
  {
    CConfigMgr config;
    config.Init();
    config.SetSmsTips(true);  // unchanged: nothing written
    EXPECT_EQ(ReadFile("config/Shelfhub/setting.ini").find("sms_tips"), std::string::npos);
    config.SetVideoTips(false);
    config.SetAutoInstallTips(false);
    config.SetAutoInstallFlag(false);  // first auto_install_tips = the old flag (true)
    config.SetCloseType(1);
    config.SetInstallLocation(2);
    const std::string long_path = home_ + "/" + Long() + "/Apps";
    EXPECT_TRUE(config.SetDownloadPath(AnsiToWString(long_path)));
  }
  CConfigMgr again;
  again.Init();
  EXPECT_FALSE(again.GetVideoTips());
  EXPECT_TRUE(again.GetAutoInstallTips());
  EXPECT_FALSE(again.GetAutoInstallFlag());
  EXPECT_EQ(again.GetCloseType(), 1);
  EXPECT_EQ(again.GetInstallLocation(), 2);
  EXPECT_EQ(U8(again.GetDownloadPath()), home_ + "/" + Long() + "/Apps") << "never cut short";

  again.ResetSettings();
  EXPECT_TRUE(again.GetVideoTips());
  EXPECT_TRUE(again.GetAutoInstallFlag());
  EXPECT_EQ(again.GetCloseType(), 0);
  EXPECT_EQ(again.GetInstallLocation(), 2) << "kept by a reset";
  const std::string text = ReadFile("config/Shelfhub/setting.ini");
  EXPECT_NE(text.find("video_tips=1"), std::string::npos) << text;
  EXPECT_NE(text.find("auto_install_flag=1"), std::string::npos) << text;
}

// A settings file that cannot be read is kept under a dated name and said
// in the log; the settings start from their defaults and the next change
// writes a clean file (not a section after the garbage). A readable file
// with stray lines stays where it is.
TEST_F(ConfigMgr, ADamagedSettingsFileIsKeptAsideAndLogged) {
  std::string garbage = "\x9F\x12\xFEz[q\xC0\x80";
  garbage += std::string("\0auto_install_flag=0\r\n", 22);
  ASSERT_NO_FATAL_FAILURE(WriteFile("config/Shelfhub/setting.ini", garbage));
  ASSERT_EQ(std::system(("mkdir -p '" + home_ + "/program/log'").c_str()), 0);
  ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/config.log"));
  {
    CConfigMgr config;
    config.Init();
    EXPECT_TRUE(config.GetAutoInstallFlag());
    config.SetCloseType(1);
  }
  base::BaseLog::GetInstance()->Close();
  EXPECT_EQ(ReadFile("config/Shelfhub/setting.ini"), "[setting]\nclose_type=1\n");
  const std::vector<std::string> aside = Listing("config/Shelfhub", "setting.ini.damaged-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFile("config/Shelfhub/" + aside[0]), garbage);
  const std::string log = ReadFile("program/log/config.log");
  EXPECT_NE(log.find("setting.ini cannot be read; kept as "), std::string::npos) << log;
  EXPECT_NE(log.find(aside[0]), std::string::npos) << log;

  const std::string readable = "stray line\r\n[setting]\r\nclose_type=2\r\n";
  ASSERT_NO_FATAL_FAILURE(WriteFile("config/Shelfhub/setting.ini", readable));
  CConfigMgr again;
  again.Init();
  EXPECT_EQ(again.GetCloseType(), 2);
  EXPECT_EQ(ReadFile("config/Shelfhub/setting.ini"), readable);
  EXPECT_EQ(Listing("config/Shelfhub", "setting.ini.damaged-").size(), 1u);
}

TEST_F(ConfigMgr, PhoneFolderNameCannotLeaveTheDataFolder) {
  struct NameCase {
    std::u16string serial;
    std::u16string folder;
  };
  const NameCase cases[] = {
      {u"0123456789ABCDEF", u"0123456789ABCDEF"},
      {u"../../etc", u"_._.._etc"},
      {u"..", u"_."},
      {u".hidden", u"_hidden"},
      {u"a\\b/c", u"a_b_c"},
      {std::u16string(u"x\0y", 3), u"x_y"},
      {u"emulator-5554", u"emulator-5554"},
      {u"", u""},
  };
  for (const NameCase& c : cases) EXPECT_EQ(CConfigMgr::PhoneFolderName(c.serial), c.folder);

  CConfigMgr config;
  config.Init();
  config.SetPhonePaths(u"../../../victim");
  const std::string data = home_ + "/data/Shelfhub/";
  EXPECT_EQ(U8(config.GetIconCachePath()), data + "_._.._.._victim/cache/icon/");
  EXPECT_EQ(U8(config.GetPhotoCachePath()), data + "_._.._.._victim/cache/photos/");
  EXPECT_EQ(U8(config.GetThumbnailCachePath()), data + "_._.._.._victim/cache/thumbnails/");
  EXPECT_TRUE(IsFolder(data + "_._.._.._victim/cache/thumbnails"));
  EXPECT_FALSE(IsFolder(home_ + "/victim"));
}

TEST_F(ConfigMgr, IgnoreListPerPhone) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("config/Shelfhub/SERIAL1/app_ignore.ini",
            "[Data]\ncom.a=package_name\n=x\ncom.b=package_name\n"));
  CConfigMgr config;
  config.Init();
  config.SetPhonePaths(u"SERIAL1");
  EXPECT_EQ(config.GetIgnoredPackages(), (std::list<std::u16string>{u"com.a", u"=x", u"com.b"}));

  EXPECT_TRUE(config.AddIgnoreApp(u"com.c"));
  EXPECT_TRUE(config.RemoveIgnoreApp(u"com.a"));
  EXPECT_EQ(config.GetIgnoredPackages(), (std::list<std::u16string>{u"=x", u"com.b", u"com.c"}));
  EXPECT_NE(ReadFile("config/Shelfhub/SERIAL1/app_ignore.ini").find("com.c=package_name"), std::string::npos);

  // Another phone has its own list; the empty name uses the config folder itself.
  config.SetPhonePaths(u"");
  EXPECT_TRUE(config.GetIgnoredPackages().empty());
  EXPECT_EQ(U8(config.GetIconCachePath()), home_ + "/data/Shelfhub/cache/icon/");
  EXPECT_TRUE(config.AddIgnoreApp(u"com.z"));
  EXPECT_NE(ReadFile("config/Shelfhub/app_ignore.ini").find("com.z=package_name"), std::string::npos);

  config.SetPhonePaths(u"SERIAL1");
  EXPECT_EQ(config.GetIgnoredPackages().size(), 3u);
}

TEST_F(ConfigMgr, IgnoreListWriteFailureIsReported) {
  CConfigMgr config;
  config.Init();
  config.SetPhonePaths(u"S2");
  // A folder stands where the file should be: no write can succeed.
  ASSERT_EQ(mkdir((home_ + "/config/Shelfhub/S2/app_ignore.ini").c_str(), 0755), 0);
  EXPECT_FALSE(config.AddIgnoreApp(u"com.a"));
  EXPECT_TRUE(config.GetIgnoredPackages().empty());
}

TEST_F(ConfigMgr, MakeSureDirectoryCreatesEveryMissingLevel) {
  EXPECT_TRUE(CConfigMgr::MakeSureDirectory(AnsiToWString(home_ + "/a/b/c/")));
  EXPECT_TRUE(IsFolder(home_ + "/a/b/c"));
  EXPECT_TRUE(CConfigMgr::MakeSureDirectory(AnsiToWString(home_ + "/a/b/c")));
  ASSERT_NO_FATAL_FAILURE(WriteFile("file", "x"));
  EXPECT_FALSE(CConfigMgr::MakeSureDirectory(AnsiToWString(home_ + "/file/sub")));
  EXPECT_FALSE(CConfigMgr::MakeSureDirectory(u""));
}

TEST_F(ConfigMgr, WorkersReadWholePathsWhileTheDownloadFolderChanges) {
  CConfigMgr config;
  config.Init();
  const std::u16string a = AnsiToWString(home_ + "/first/Apps");
  const std::u16string b = AnsiToWString(home_ + "/the/second/download/folder/Apps");
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const std::u16string path = config.GetDownloadPath();
        if (path != a && path != b && path != config.GetDefaultDownloadPath()) ++torn;
      }
    });
  }
  for (int i = 0; i < 200; ++i) config.SetDownloadPath(i % 2 ? a : b);
  stop.store(true);
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(torn.load(), 0);
}

using Identifier = std::array<uint8_t, 16>;

// In a child process: 0 when the configuration's machine identifier is
// `expected` (the Hostmark binding is made once per process).
void CheckIdentifier(const Identifier& expected) {
  CConfigMgr config;
  config.Init();
  _exit(config.GetMachineIdentify() == expected ? 0 : 1);
}

TEST_F(ConfigMgr, MachineIdentifierComesFromHostmarkOrStaysZero) {
  // Each child starts afresh: a forked one would inherit the binding that an
  // earlier test of this process already made (or failed to make).
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  void* library = dlopen(PD_BIN_DIR "/libHostmark.so", RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto get = reinterpret_cast<int (*)(unsigned char*)>(dlsym(library, "HOSTMARKGetIdentify"));
  Identifier real{};
  ASSERT_EQ(get(real.data()), 1);
  ASSERT_NE(real, Identifier{});
  // The program folder holds no Hostmark: the identifier stays zero.
  EXPECT_EXIT(CheckIdentifier(Identifier{}), ::testing::ExitedWithCode(0), "");
  setenv("PHONEDECK_PROGRAM_DIR", PD_BIN_DIR, 1);
  EXPECT_EXIT(CheckIdentifier(real), ::testing::ExitedWithCode(0), "");
}

TEST_F(ConfigMgr, InstanceTakesAGivenObjectOnce) {
  auto* mine = new CConfigMgr();
  EXPECT_EQ(CConfigMgr::Instance(mine), mine);
  EXPECT_EQ(CConfigMgr::Instance(), mine);
  mine->SetMainWnd(42);
  EXPECT_EQ(CConfigMgr::Instance()->GetMainWnd(), 42u);
  CConfigMgr::Release();
  CConfigMgr* made = CConfigMgr::Instance();
  EXPECT_NE(made, nullptr);
  EXPECT_EQ(made->GetMainWnd(), 0u);
  CConfigMgr::Release();
}

}  // namespace
