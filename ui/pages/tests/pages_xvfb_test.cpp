// The settings window, the apps page and the pictures month page in real
// windows on a private X server (GTK back end), over fake phone sides: what
// a user sees of the folder button, the few-apps hint and a month with more
// pictures than one batch. The desktop's application folders are private to
// the run, so the only handler of folders is one a test installs.
// Screenshots go to <build>/screenshots/.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/config/config_mgr.h"
#include "foundation/base/log.h"
#include "qenui/gtk/tests/private_applications.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/pages/setting_dlg.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
namespace fs = std::filesystem;

// Before the X server and GTK start (GLib reads these folders once).
class PrivateApplications : public ::testing::Environment {
 public:
  void SetUp() override { apps_.Make(); }
  void TearDown() override { apps_.Remove(); }

 private:
  qenui_gtk_test::PrivateApplications apps_;
};
const auto* const kApps = ::testing::AddGlobalTestEnvironment(new PrivateApplications);
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("pages_xvfb"));

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class PagesXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ui_xvfb::SkipReason();
    home_ = std::getenv("HOME");
    fs::create_directories(std::string(std::getenv("PHONEDECK_PROGRAM_DIR")) + "/log");
    base::BaseLog::GetInstance()->Open("log/zelvik.log");
    SetFrameBackend(&backend_);
  }
  void TearDown() override { SetFrameBackend(nullptr); }

  std::string Log() { return ReadText(base::BaseLog::GetInstance()->GetPath()); }

  std::string home_;
  ui_test::FakeBackend backend_;
};

// The program's message box that is on the screen, once it has been drawn:
// saved as a picture, its text kept, closed with OK.
struct BoxAnswer {
  std::string picture;
  std::u16string text;
  int ticks = 0;
  bool closed = false;
};

gboolean AnswerBox(gpointer data) {
  auto* answer = static_cast<BoxAnswer*>(data);
  HWND box = FindWindow(u"QENMsgBox", nullptr);
  if (!box || !IsWindowVisible(box)) return G_SOURCE_CONTINUE;
  if (++answer->ticks < 3) return G_SOURCE_CONTINUE;  // drawn in the meantime
  CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(box);
  if (CControlUI* text = pm ? pm->FindControl(u"msglab") : nullptr) answer->text = text->GetText().str();
  ui_xvfb::Shot(box, answer->picture);
  if (pm) ClickControl(*pm, u"okbtn");
  answer->closed = true;
  return G_SOURCE_REMOVE;
}

// "打开目录" opens the download folder with the desktop's handler of folders;
// without one it logs that and says so in a message box, with the path.
TEST_F(PagesXvfbTest, TheSettingsFolderButtonOpensTheFolderOrSaysItCannot) {
  const std::string folder = home_ + "/下载 folder";
  fs::create_directories(folder);
  CConfigMgr::Instance()->SetDownloadPath(CDuiString::FromUtf8(folder).str());
  CSettingDlg dlg;
  HWND h = dlg.Create(0, u"SettingWnd", 0x80000000, 0x80);
  ASSERT_NE(h, 0u);
  dlg.CenterWindow();
  dlg.ShowWindow(true, true);
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return IsWindowVisible(h); }));
  ui_xvfb::PumpFor(300);

  // No handler of folders: the log line and the box with the path.
  BoxAnswer answer;
  answer.picture = "settings_open_folder_failed.png";
  const guint source = g_timeout_add(100, &AnswerBox, &answer);
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"open"));
  if (!answer.closed) g_source_remove(source);
  ASSERT_TRUE(answer.closed) << "no message box";
  EXPECT_EQ(answer.text, u"无法打开目录：" + CDuiString::FromUtf8(folder).str());
  EXPECT_NE(Log().find("try open down floder failed"), std::string::npos) << Log();

  // A handler of folders: it gets the folder, and nothing is said.
  const std::string out = home_ + "/opened", script = home_ + "/opener";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << out << ".part' && mv '" << out << ".part' '" << out
                        << "'\n";
  chmod(script.c_str(), 0755);
  GError* error = nullptr;
  GAppInfo* opener = g_app_info_create_from_commandline(script.c_str(), "Folder opener", G_APP_INFO_CREATE_NONE, &error);
  ASSERT_NE(opener, nullptr) << (error ? error->message : "");
  ASSERT_TRUE(g_app_info_set_as_default_for_type(opener, "inode/directory", &error)) << (error ? error->message : "");
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"open"));
  EXPECT_TRUE(ui_xvfb::PumpUntil([&] { return ReadText(out) == folder; }, 10000)) << ReadText(out);
  EXPECT_EQ(FindWindow(u"QENMsgBox", nullptr), 0u);
  ui_xvfb::Shot(h, "settings_open_folder.png");
  g_app_info_reset_type_associations("inode/directory");
  g_app_info_delete(opener);
  g_object_unref(opener);
  DestroyWindow(h);
  ui_xvfb::PumpFor(100);
}

}  // namespace
