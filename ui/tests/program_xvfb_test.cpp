// The real program on a private X server: the main window appears and is
// painted (a screenshot of it is kept for looking at), "-hide" starts
// without showing it, and a second start raises the first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/startup/single_instance.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "ui/tests/program_test_util.h"

namespace ui_test {
namespace {

const std::string kProgram = std::string(PD_BIN_DIR) + "/Phonedeck";

// Width and height from a PNG file's header; false when it is not a PNG.
bool PngSize(const std::string& path, int* width, int* height) {
  std::string bytes = ReadText(path);
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return false;
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
  };
  *width = static_cast<int>(be32(16));
  *height = static_cast<int>(be32(20));
  return true;
}

class ProgramXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    if (!xvfb_.Start(&error)) GTEST_SKIP() << "no Xvfb: " << error;
  }
  std::vector<std::string> Env(const ProgramSandbox& box) {
    std::vector<std::string> env = box.Env(false);
    env.push_back("DISPLAY=" + xvfb_.Display());
    return env;
  }
  void Quit(const ProgramSandbox& box, Child& child) {
    setenv("XDG_RUNTIME_DIR", box.Runtime().c_str(), 1);
    EXPECT_TRUE(CSingleInstance::SendToRunningInstance(u"Shelfhub", "post 1295 0 0\n"));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(WaitExit(child, 20000), 0);
  }

  qenui_gtk_test::XvfbSession xvfb_;
};

TEST_F(ProgramXvfb, MainWindowAppearsPainted) {
  ProgramSandbox box;
  std::string shot = box.Root() + "/main_window.png";
  std::vector<std::string> env = Env(box);
  env.push_back("PHONEDECK_SCREENSHOT=" + shot);
  Child program = Spawn(kProgram, {}, env);
  ASSERT_GT(program.pid, 0);
  ASSERT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("screenshot saved") != std::string::npos; }, 30000))
      << ReadText(box.Log());
  int width = 0, height = 0;
  ASSERT_TRUE(PngSize(shot, &width, &height));
  EXPECT_EQ(width, 1000);
  EXPECT_EQ(height, 680);
  // Kept beside the build for a look.
  std::string keep = std::string(PD_SCREENSHOT_DIR);
  std::system(("mkdir -p '" + keep + "' && cp '" + shot + "' '" + keep + "/'").c_str());

  // A second start raises the first and ends.
  Child second = Spawn(kProgram, {}, Env(box));
  EXPECT_EQ(WaitExit(second, 20000), 0);
  EXPECT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("bring to front (wParam 100)") != std::string::npos; },
                      10000));
  Quit(box, program);
}

TEST_F(ProgramXvfb, HideStartsWithoutShowingTheWindow) {
  ProgramSandbox box;
  std::vector<std::string> env = Env(box);
  env.push_back("PHONEDECK_SCREENSHOT=" + box.Root() + "/hidden.png");
  Child program = Spawn(kProgram, {"-HIDE"}, env);
  ASSERT_TRUE(WaitFor([&] { return ReadText(box.Log()).find("main window created") != std::string::npos; }, 30000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::string log = ReadText(box.Log());
  EXPECT_EQ(log.find("first paint"), std::string::npos) << log;
  EXPECT_FALSE(Exists(box.Root() + "/hidden.png"));
  Quit(box, program);
}

}  // namespace
}  // namespace ui_test
