// A headless UI over the program's own skin with a temporary user: HOME, the
// XDG folders, TMPDIR and the program folder all point into a fresh mkdtemp
// folder, removed at the end, and the settings are loaded from there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "app/config/config_mgr.h"
#include "qenui/UIlib.h"
#include "qenui/headless/HeadlessHost.h"
#include "qenui/headless/UITestDriver.h"

namespace ui_test {

class TempUserTest : public ::testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/ui_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ + "/data").c_str(), 1);
    setenv("TMPDIR", home_.c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", (home_ + "/program").c_str(), 1);
    host = DuiLib::UseHeadlessHost();
    ASSERT_TRUE(DuiLib::CPaintManagerUI::SetResourceZipEmbedded());
    DuiLib::ResetQuit();
    CConfigMgr::Instance()->Init();
  }
  void TearDown() override {
    DuiLib::PumpPendingMessages();
    DuiLib::ResetQuit();
    CConfigMgr::Release();
    EXPECT_EQ(std::system(("rm -rf '" + home_ + "'").c_str()), 0);
  }

  DuiLib::CHeadlessHost* host = nullptr;
  std::string home_;
};

}  // namespace ui_test
