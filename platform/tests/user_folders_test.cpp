// The user's folders: XDG variables, user-dirs.dirs and the fallbacks.
#include "platform/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(PlatformUserFolders, UserDirsEntryTable) {
  const std::string text =
      "# comment\n"
      "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
      "XDG_DOWNLOAD_DIR=\"/data/dl/\"\n"
      "XDG_MUSIC_DIR=\"relative\"\n"
      "XDG_DESKTOP_DIR_X=\"$HOME/not this\"\n";
  EXPECT_EQ(platform::ParseUserDirsEntry(text, "XDG_DESKTOP_DIR", "/home/u"), "/home/u/Bureau");
  EXPECT_EQ(platform::ParseUserDirsEntry(text, "XDG_DOWNLOAD_DIR", "/home/u"), "/data/dl");
  EXPECT_FALSE(platform::ParseUserDirsEntry(text, "XDG_MUSIC_DIR", "/home/u"));
  EXPECT_FALSE(platform::ParseUserDirsEntry(text, "XDG_VIDEOS_DIR", "/home/u"));
}

TEST(PlatformUserFolders, EnvironmentMovesEveryFolder) {
  setenv("HOME", "/h", 1);
  unsetenv("XDG_CONFIG_HOME");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  unsetenv("XDG_DESKTOP_DIR");
  setenv("XDG_DOWNLOAD_DIR", "/dl/", 1);
  setenv("TMPDIR", "/scratch", 1);
  EXPECT_EQ(platform::ConfigHomeDir(), "/h/.config");
  EXPECT_EQ(platform::DataHomeDir(), "/h/.local/share");
  EXPECT_EQ(platform::ApplicationsDir(), "/h/.local/share/applications");
  EXPECT_EQ(platform::DesktopDir(), "/h/Desktop");  // no /h/.config/user-dirs.dirs
  EXPECT_EQ(platform::DownloadDir(), "/dl");
  EXPECT_EQ(platform::TempDir(), "/scratch");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_DOWNLOAD_DIR");
  unsetenv("TMPDIR");
}

}  // namespace
