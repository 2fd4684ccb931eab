// A start that cannot make its lock ends at once, and its log and the user
// are told why (the folder and the error), never that another instance
// runs; a runtime folder of another user's is not used.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/startup/app_startup.h"
#include "app/startup/single_instance.h"
#include "foundation/base/log.h"

namespace {

class StartupRefusalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/startup_refusal_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("PHONEDECK_PROGRAM_DIR", (root_ + "/program/").c_str(), 1);
    ASSERT_EQ(system(("mkdir -p '" + root_ + "/program/log'").c_str()), 0);
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/zelvik.log"));
  }
  void TearDown() override {
    base::BaseLog::GetInstance()->Close();
    CSingleInstance::Close();
    unsetenv("TMPDIR");
    unsetenv("PHONEDECK_PROGRAM_DIR");
    (void)!system(("rm -rf '" + root_ + "'").c_str());
  }
  // Runs the start-up with the real single-instance check; the log it wrote.
  std::string Start() {
    StartupSteps steps;
    steps.open_log = [] {};
    steps.app_init = [] {};
    steps.close_other_processes = [] { return true; };
    steps.check_single_instance = DefaultStartupSteps().check_single_instance;
    steps.tell_cannot_start = [this](const std::string& why) { told_ = why; };
    steps.init_crash_report = [] {};
    steps.run_ui = [this](bool) {
      ran_ui_ = true;
      return UiResult::kRan;
    };
    steps.app_term = [] {};
    steps.release_log = [] {};
    RunPhonedeck("", steps);
    std::ifstream in(root_ + "/program/log/zelvik.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string root_;
  bool ran_ui_ = false;
  std::string told_;  // what the user was told
};

TEST_F(StartupRefusalTest, AnUnusableRuntimeFolderIsLoggedAsSuch) {
  struct Case {
    const char* name;
    std::string (*plant)(const std::string& root);  // the TMPDIR to use
    const char* reason;
  } cases[] = {
      {"the temporary folder is a file",
       [](const std::string& root) {
         std::ofstream(root + "/not_a_folder") << "x";
         return root + "/not_a_folder";
       },
       "Not a directory"},
      {"the runtime folder is another user's",
       [](const std::string& root) {
         const std::string dir = root + "/shared/phonedeck-" + std::to_string(getuid());
         (void)!system(("mkdir -p '" + dir + "'").c_str());
         (void)!chown(dir.c_str(), 4242, 4242);
         return root + "/shared";
       },
       "owned by uid 4242"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setenv("TMPDIR", c.plant(root_).c_str(), 1);
    ran_ui_ = false;
    told_.clear();
    const std::string log = Start();
    EXPECT_FALSE(ran_ui_);
    EXPECT_NE(told_.find(c.reason), std::string::npos) << told_;
    EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    EXPECT_NE(log.find("phonedeck-" + std::to_string(getuid())), std::string::npos) << log;
    EXPECT_EQ(log.find("another instance runs"), std::string::npos) << log;
  }
}

}  // namespace
