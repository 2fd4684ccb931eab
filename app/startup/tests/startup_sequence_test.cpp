// The start, run and stop sequence with fake steps: what runs, in which
// order, for each command line and single-instance answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup/app_startup.h"

namespace {

struct Recorder {
  std::vector<std::string> calls;
  bool only_instance = true;
  std::string refusal;
  std::string told;
  UiResult ui_result = UiResult::kRan;
  bool ui_hidden = false;

  StartupSteps Steps() {
    StartupSteps s;
    s.open_log = [this] { calls.push_back("open_log"); };
    s.app_init = [this] { calls.push_back("app_init"); };
    s.close_other_processes = [this] { calls.push_back("close_other_processes"); return true; };
    s.check_single_instance = [this] {
      calls.push_back("check_single_instance");
      return InstanceCheck{only_instance, refusal};
    };
    s.tell_cannot_start = [this](const std::string& why) {
      calls.push_back("tell_cannot_start");
      told = why;
    };
    s.init_crash_report = [this] { calls.push_back("init_crash_report"); };
    s.run_ui = [this](bool hide) {
      calls.push_back("run_ui");
      ui_hidden = hide;
      return ui_result;
    };
    s.app_term = [this] { calls.push_back("app_term"); };
    s.release_log = [this] { calls.push_back("release_log"); };
    return s;
  }
};

std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : ",") + s;
  return out;
}

TEST(StartupSequence, StepsInOrderForEachStart) {
  struct Case {
    const char* command_line;
    bool only_instance;
    const char* refusal;
    UiResult ui_result;
    const char* expected;
    bool hidden;
  } cases[] = {
      {"", true, "", UiResult::kRan,
       "open_log,app_init,check_single_instance,init_crash_report,run_ui,app_term,release_log", false},
      {"-HIDE", true, "", UiResult::kRan,
       "open_log,app_init,check_single_instance,init_crash_report,run_ui,app_term,release_log", true},
      // A second start: no crash reporter, no UI, but the application teardown.
      {"", false, "", UiResult::kRan, "open_log,app_init,check_single_instance,app_term,release_log", false},
      // A start that cannot run at all says why, then tears down as a second start does.
      {"", false, "no lock", UiResult::kRan,
       "open_log,app_init,check_single_instance,tell_cannot_start,app_term,release_log", false},
      // "-close" (any case, with "-hide" too): only ends the other processes; no teardown.
      {"-close", true, "", UiResult::kRan, "open_log,app_init,close_other_processes", false},
      {"-hide -Close", true, "", UiResult::kRan, "open_log,app_init,close_other_processes", false},
      // No main window object: return at once.
      {"", true, "", UiResult::kNoWindow, "open_log,app_init,check_single_instance,init_crash_report,run_ui", false},
  };
  for (const Case& c : cases) {
    Recorder r;
    r.only_instance = c.only_instance;
    r.refusal = c.refusal;
    r.ui_result = c.ui_result;
    EXPECT_EQ(RunPhonedeck(c.command_line, r.Steps()), 0) << c.command_line;
    EXPECT_EQ(Join(r.calls), c.expected) << "command line \"" << c.command_line << "\"";
    EXPECT_EQ(r.ui_hidden, c.hidden) << c.command_line;
    EXPECT_EQ(r.told, c.refusal) << c.command_line;
  }
}

TEST(StartupSequence, CommandLineWordsIgnoreCase) {
  EXPECT_TRUE(CommandLineHas("-HiDe", "-hide"));
  EXPECT_TRUE(CommandLineHas("x -close y", "-close"));
  EXPECT_FALSE(CommandLineHas("-clos", "-close"));
  EXPECT_FALSE(CommandLineHas("", "-hide"));
}

}  // namespace
