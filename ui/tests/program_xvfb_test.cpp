// The real program on a private X server: the main window appears and is
// painted (a screenshot of it is kept for looking at), "-hide" starts
// without showing it, a second start raises the first, a start that
// cannot run says why in a message box, and while the services start
// behind it the window answers clicks at once.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

#include "app/startup/single_instance.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "app/adb/tests/closed_port.h"
#include "testing/program_copy/program_copy.h"
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

// True when the picture is one colour all over (or cannot be read).
bool OneColour(const std::string& png) {
  GdkPixbuf* picture = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
  if (!picture) return true;
  const int channels = gdk_pixbuf_get_n_channels(picture), stride = gdk_pixbuf_get_rowstride(picture);
  const guchar* pixels = gdk_pixbuf_get_pixels(picture);
  bool same = true;
  for (int y = 0; y < gdk_pixbuf_get_height(picture) && same; ++y)
    for (int x = 0; x < gdk_pixbuf_get_width(picture) && same; ++x)
      same = std::memcmp(pixels + y * stride + x * channels, pixels, static_cast<size_t>(channels)) == 0;
  g_object_unref(picture);
  return same;
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

// A start that cannot run at all (neither lock can be had) says why on
// stderr and in the program's message box; closing the box ends it.
TEST_F(ProgramXvfb, ARefusedStartSaysWhyInABoxAndOnStderr) {
  ProgramSandbox box;
  setenv("XDG_RUNTIME_DIR", box.Runtime().c_str(), 1);
  const std::string lock = CSingleInstance::LockPath(u"Global\\{0A9563EC-49E8-4bf1-80DD-4862C014C51E}");
  const std::string own = CSingleInstance::PrivateLockPath(u"Global\\{0A9563EC-49E8-4bf1-80DD-4862C014C51E}");
  unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(mkdir(lock.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
  const std::string err = box.Root() + "/stderr.txt";
  Child program = Spawn("/bin/sh", {"-c", "exec '" + kProgram + "' 2>'" + err + "'"}, Env(box));
  ASSERT_GT(program.pid, 0);

  // The box appears (found by its window name) and is kept for a look.
  mkdir(PD_SCREENSHOT_DIR, 0755);
  const std::string shot = std::string(PD_SCREENSHOT_DIR) + "/start_refusal.png";
  const std::string where = box.Root() + "/box.txt";
  const std::string find = "DISPLAY='" + xvfb_.Display() + "' '" + std::string(WINDOW_SHOT) + "' QENMsgBox '" + shot +
                           "' >'" + where + "' 2>/dev/null";
  // Taken again until the box is painted (not one colour).
  ASSERT_TRUE(WaitFor([&] { return std::system(find.c_str()) == 0 && !OneColour(shot); }, 30000))
      << ReadText(box.Log());
  int w = 0, h = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(ReadText(where).c_str(), "%dx%d+%d+%d", &w, &h, &x, &y), 4);
  EXPECT_NE(ReadText(box.Log()).find("cannot start: the lock"), std::string::npos) << ReadText(box.Log());
  const std::string told = ReadText(err);
  EXPECT_NE(told.find("Phonedeck cannot start: the lock " + lock), std::string::npos) << told;
  EXPECT_NE(told.find("Is a directory"), std::string::npos) << told;

  // Escape closes it (the pointer over the box gives it the keys), and the program ends.
  qenui_gtk_test::XTestInput input;
  ASSERT_TRUE(input.Open(xvfb_.Display()));
  input.MoveTo(x + w / 2, y + h / 2);
  input.Tap("Escape");
  EXPECT_EQ(WaitExit(program, 20000), 0);
  EXPECT_EQ(ReadText(box.Log()).find("main window created"), std::string::npos);
}

// The program from a copy of its full program folder, with a driver search
// service that never answers: the download engine's start waits for it (a
// first probe of some seconds, then its own) behind the window. A page
// option, a caption button and the menu clicked after the first paint are
// answered (each counts its statistics action; the menu opens) before that
// first probe has ended; the start ends later and the window hears of it.
TEST_F(ProgramXvfb, ClicksWhileTheServicesStartAreAnsweredAtOnce) {
  ProgramSandbox box;
  ASSERT_TRUE(program_copy::LinkTree(PD_BIN_DIR, box.Program()));
  testing_support::ClosedPort first(SOCK_DGRAM), second(SOCK_DGRAM), refusing(SOCK_STREAM);
  ASSERT_TRUE(first.port() && second.port() && refusing.port());
  const std::string shot = box.Root() + "/main_window_while_starting.png";
  std::vector<std::string> env = Env(box);
  env.insert(env.end(), {"PHONEDECK_DS_DISPATCH_HOST=127.0.0.1",
                         "PHONEDECK_DS_DISPATCH_PORTS=" + std::to_string(first.port()) + "," +
                             std::to_string(second.port()),
                         "PHONEDECK_DS_SEARCH_URL=http://127.0.0.1:" + std::to_string(refusing.port()) + "/drvsearch.ashx",
                         "PHONEDECK_DS_PROBE_WAIT_MS=30000", "PHONEDECK_ADB=/bin/false",
                         "PHONEDECK_MARKET_HOST=http://127.0.0.1:" + std::to_string(refusing.port()),
                         "PHONEDECK_SCREENSHOT=" + shot, "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"});
  Child program = Spawn(box.Program() + "/Phonedeck", {}, env);
  ASSERT_GT(program.pid, 0);
  ChildGuard end_on_failure(program);
  const std::string log = box.Program() + "/log/zelvik.log";
  const std::string probe_log = box.Program() + "/log/kitoracle.log";
  const std::string actions = box.Program() + "/log/tallyhand.log";
  auto first_probe_ended = [&] { return ReadText(probe_log).find("UDPInit error.") != std::string::npos; };
  auto started = [&] { return ReadText(log).find("task manager started") != std::string::npos; };
  ASSERT_TRUE(WaitFor([&] { return ReadText(log).find("first paint") != std::string::npos; }, 30000)) << ReadText(log);

  qenui_gtk_test::XTestInput input;
  ASSERT_TRUE(input.Open(xvfb_.Display()));
  // Each click counts its statistics action; the menu also opens (and is
  // closed with Escape); the caption button comes last, as it changes the
  // window's size.
  struct Click {
    const char* control;
    int x, y;  // in the window (its layout); a negative x counts from its right edge
    int action;
    bool opens_menu;
  };
  const Click clicks[] = {
      {"myphone_optn", 88, 110, 121, false}, {"option_btn", -144, 25, 25, true}, {"max_btn", -64, 25, 23, false}};
  for (const Click& c : clicks) {
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(input.TopLevel("Zelvik手游助手", &x, &y, &width, &height));
    const int windows_before = input.ViewableTopLevels();
    input.ClickAt(x + (c.x < 0 ? width + c.x : c.x), y + c.y);
    const std::string counted = "\"action\":" + std::to_string(c.action) + ",";
    ASSERT_TRUE(WaitFor([&] { return ReadText(actions).find(counted) != std::string::npos; }, 20000))
        << c.control << " was not answered: " << ReadText(actions);
    if (!c.opens_menu) continue;
    ASSERT_TRUE(WaitFor([&] { return input.ViewableTopLevels() > windows_before; }, 20000)) << "no menu";
    input.Tap("Escape");
    ASSERT_TRUE(WaitFor([&] { return input.ViewableTopLevels() == windows_before; }, 20000)) << "the menu stays";
  }
  EXPECT_FALSE(first_probe_ended()) << "the clicks were answered only after the first probe";
  EXPECT_FALSE(started());
  // The window while the services start (kept beside the build for a look).
  EXPECT_TRUE(WaitFor([&] { return ReadText(log).find("screenshot saved") != std::string::npos; }, 20000));
  std::system(("mkdir -p '" PD_SCREENSHOT_DIR "' && cp '" + shot + "' '" PD_SCREENSHOT_DIR "/'").c_str());

  // The start goes on behind the window and ends.
  EXPECT_TRUE(WaitFor(started, 120000)) << ReadText(log);
  EXPECT_TRUE(first_probe_ended());
  Quit(box, program);
}

}  // namespace
}  // namespace ui_test
