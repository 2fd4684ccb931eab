// Desktop and menu shortcuts written as desktop entries into the user's folders.
#include <gtest/gtest.h>

#include <cstdlib>

#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"
#include "setupaide/tests/test_support.h"

namespace {

class SetupaideShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = setupaide_test::MakeTempDir();
    ASSERT_FALSE(dir_.empty());
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    unsetenv("XDG_DESKTOP_DIR");
  }
  void TearDown() override { setupaide_test::RemoveTree(dir_); }
  std::string dir_;
};

TEST_F(SetupaideShortcut, DesktopShortcutFollowsTheUserDirsFile) {
  ASSERT_EQ(mkdir((dir_ + "/config").c_str(), 0755), 0);
  {
    std::ofstream dirs(dir_ + "/config/user-dirs.dirs");
    dirs << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
  }
  EXPECT_EQ(CreateDestopShortcut(u"/opt/Zelvik/Phonedeck", u"Zelvik手游助手.lnk"), 1);
  const std::string path = dir_ + "/Schreibtisch/Zelvik手游助手.desktop";
  EXPECT_EQ(setupaide_test::ReadFile(path),
            "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Zelvik手游助手\n"
            "Exec=\"/opt/Zelvik/Phonedeck\"\nPath=/opt/Zelvik\nTerminal=false\n");
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
}

TEST_F(SetupaideShortcut, MenuShortcutGoesToTheApplicationsFolder) {
  EXPECT_EQ(CreateStartMenuShortCut(u"/opt/My $App/run", u"Phonedeck.lnk"), 1);
  const std::string text = setupaide_test::ReadFile(dir_ + "/data/applications/Phonedeck.desktop");
  // '$' and the quotes are escaped for Exec, and the backslash once more for the file format.
  EXPECT_NE(text.find("Exec=\"/opt/My \\\\$App/run\"\n"), std::string::npos) << text;
}

TEST_F(SetupaideShortcut, FailureIsReportedWhenNothingWasWritten) {
  // The desktop folder cannot be made: a file stands where it should be.
  { std::ofstream blocker(dir_ + "/Desktop"); }
  EXPECT_EQ(CreateDestopShortcut(u"/opt/Zelvik/Phonedeck", u"Phonedeck.lnk"), 0);
  EXPECT_EQ(CreateStartMenuShortCut(u"/opt/x", u"../escape.lnk"), 0);
  EXPECT_EQ(CreateStartMenuShortCut(u"/opt/x", u".lnk"), 0);
  EXPECT_EQ(CreateStartMenuShortCut(nullptr, u"a.lnk"), 0);
  EXPECT_EQ(CreateStartMenuShortCut(u"/opt/x", nullptr), 0);
}

TEST(SetupaideFirewall, NoPerProgramRuleOnThisPlatform) {
  EXPECT_FALSE(AppendFireWallRule(nullptr));
  EXPECT_FALSE(AppendFireWallRule(u"/opt/Zelvik/Phonedeck"));
  EXPECT_FALSE(AppendFireWallRule(std::u16string(300, u'a').c_str()));
}

}  // namespace
