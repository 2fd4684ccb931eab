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
#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "qenui/gtk/tests/private_applications.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/pages/media_phone.h"
#include "ui/pages/my_app_list.h"
#include "ui/pages/picture_dlg.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/picture_sub_dlg.h"
#include "ui/pages/setting_dlg.h"
#include "ui/pages/tests/fake_media_phone.h"
#include "ui/pages/tests/fixed_pages_side.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
namespace fs = std::filesystem;

// Before the X server and GTK start (GLib reads these folders once).
class PrivateApplications : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!apps_.Make()) ui_xvfb::SkipReason() = "no private application folders";
  }
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
  void TearDown() override {
    frame_.reset();
    SetMediaPhone(nullptr);
    SetPhonePagesSide(nullptr);
    SetFrameBackend(nullptr);
  }

  std::string Log() { return ReadText(base::BaseLog::GetInstance()->GetPath()); }

  // The main window on the screen; it goes at the end of the test.
  CMainFrame* ShowMainWindow() {
    frame_.reset(ui_xvfb::ShowMainWindow());
    return frame_.get();
  }
  CPaintManagerUI& PM() { return frame_->PaintManager(); }
  void Select(const char16_t* option) {
    static_cast<COptionUI*>(PM().FindControl(option)->GetInterface(u"Option"))->Selected(true);
  }
  static bool Overlap(const RECT& a, const RECT& b) {
    RECT both;
    return IntersectRect(&both, a, b);
  }

  struct FrameCloser {
    void operator()(CMainFrame* frame) const {
      if (IsWindow(frame->GetHWND())) DestroyWindow(frame->GetHWND());
      ui_xvfb::PumpFor(100);
      delete frame;
    }
  };
  std::unique_ptr<CMainFrame, FrameCloser> frame_;

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

// A phone with five apps: the few-apps hint lies over the list as a band at
// its bottom, below the last row; its button opens the store, and the rest of
// the hint lets clicks through to the rows.
TEST_F(PagesXvfbTest, TheFewAppsHintIsABandBelowTheRowsWithTheStoreButton) {
  page_test::FixedPagesSide side;
  for (uint32_t key = 1; key <= 5; ++key) {
    AppRecord app;
    app.key = key;
    app.app_name = u"应用 " + std::u16string(1, static_cast<char16_t>(u'0' + key));
    app.size_text = u"12.5 MB";
    app.version_name = u"1.0";
    side.apps.push_back(app);
  }
  SetPhonePagesSide(&side);
  backend_.connected = true;
  ASSERT_NE(ShowMainWindow(), nullptr);
  Select(u"myapp_optn");
  PostMessage(frame_->GetHWND(), msg::kAppPage218, 0, 0);
  auto* list = dynamic_cast<CMyAppList*>(PM().FindControl(u"myapplist"));
  CControlUI* hint = PM().FindControl(u"app_toless_tips");
  ASSERT_TRUE(list && hint);
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return list->GetCount() == 5 && hint->IsVisible(); }));
  ui_xvfb::PumpFor(300);
  ui_xvfb::Shot(frame_->GetHWND(), "phone_apps_few_apps.png");

  CControlUI* band = PM().FindControl(u"app_toless_band");
  CControlUI* button = PM().FindControl(u"app_goto_appmark");
  ASSERT_TRUE(band && button);
  const RECT area = list->GetPos(), at = band->GetPos();
  EXPECT_TRUE(band->IsVisible() && button->IsVisible());
  EXPECT_TRUE(at.left >= area.left && at.right <= area.right && at.top > area.top && at.bottom <= area.bottom);
  EXPECT_GE(at.bottom, area.bottom - 16);  // at the list's bottom
  for (int i = 0; i < list->GetCount(); ++i) EXPECT_FALSE(Overlap(list->GetItemAt(i)->GetPos(), at)) << "row " << i;
  EXPECT_TRUE(Overlap(button->GetPos(), at));

  // The rows under the hint's clear part take their clicks.
  auto* box = static_cast<CCheckBoxUI*>(CMyAppList::Sub(list->GetItemAt(1), u"app_checkbox")->GetInterface(u"CheckBox"));
  ASSERT_TRUE(ClickControl(box));
  EXPECT_TRUE(box->GetCheck());
  // The button opens the store.
  backend_.actions.clear();
  ASSERT_TRUE(ClickControl(button));
  EXPECT_TRUE(static_cast<COptionUI*>(PM().FindControl(u"market_index_optn")->GetInterface(u"Option"))->IsSelected());
  EXPECT_EQ(backend_.actions.front(), 150);
}

// A phone whose pictures get their details as the picture manager gives
// them: the record is complete, then 1275 is posted to the main window.
class PostingMediaPhone : public media_test::FakeMediaPhone {
 public:
  HWND window = 0;
  void RequestImageInfo(std::vector<int32_t>& ids) override {
    FakeMediaPhone::RequestImageInfo(ids);
    for (int32_t id : ids) {
      if (ImageRecord* r = Image(id)) r->stale = 0;
      PostMessage(window, msg::kPictureDetailReady, static_cast<WPARAM>(id), 0);
    }
  }
};

// 45 pictures of one month in a maximised window: the first 20 fit without
// a scroll bar, so no scroll notice ever comes; the next 20 follow all the
// same (after their details when the window was maximised first, after the
// resize when it is maximised with the month open), and the last 5 come when
// the user scrolls to the end.
TEST_F(PagesXvfbTest, TheMonthPageOfAMaximisedWindowLoadsEveryPicture) {
  constexpr int64_t kMarch = 1772294400;
  for (const bool maximise_first : {true, false}) {
    SCOPED_TRACE(maximise_first ? "maximised, then the month opened" : "the month opened, then maximised");
    PostingMediaPhone phone;
    for (int32_t id = 1; id <= 45; ++id) {
      phone.AddPicture(id, kMarch);
      phone.Image(id)->stale = 1;
      phone.Image(id)->thumbnail_cache_path =
          CDuiString::FromUtf8(std::string(PD_SKIN_PNG_DIR) + "/tile_pic.png").str();
    }
    SetMediaPhone(&phone);
    backend_.connected = true;
    ASSERT_NE(ShowMainWindow(), nullptr);
    HWND h = frame_->GetHWND();
    phone.window = h;
    auto maximise = [&] {
      SendMessage(h, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      return ui_xvfb::PumpUntil([&] { return IsZoomed(h); });
    };
    if (maximise_first) {
      ASSERT_TRUE(maximise());
    }
    Select(u"pic_optn");
    PostMessage(h, msg::kPictureListLoaded, 0, 0);
    auto* months = dynamic_cast<CPictureList*>(PM().FindControl(u"picturehomelist"));
    ASSERT_NE(months, nullptr);
    ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return months->GetCount() == 1; }));
    auto* row = static_cast<CContainerUI*>(months->GetItemAt(0)->GetInterface(u"Container"));
    ASSERT_TRUE(ClickControl(row->FindSubControl(u"pic_show_more")));

    CPictureSubList* grid = frame_->Picture().Month().Grid();
    ASSERT_NE(grid, nullptr);
    // The page asks for a thumbnail as each picture's details come.
    auto details_in = [&](size_t n) { return phone.IdsOf("LoadThumbnail").size() == 5 + n; };
    if (!maximise_first) {
      ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return details_in(20); }));
      ui_xvfb::PumpFor(300);
      ASSERT_EQ(grid->GetCount(), 20);  // the window's grid scrolls: the rest waits
      ASSERT_TRUE(maximise());
    }
    ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return grid->GetCount() == 40 && details_in(40); }, 10000))
        << grid->GetCount() << " pictures shown";
    ui_xvfb::PumpFor(300);
    EXPECT_EQ(grid->GetCount(), 40);  // more than fit: the rest waits for the user
    EXPECT_GT(grid->GetScrollRange().cy, 0);
    if (maximise_first) ui_xvfb::Shot(h, "media_month_page_maximised.png");

    grid->SetScrollPos(MakeSize(0, grid->GetScrollRange().cy));
    EXPECT_TRUE(ui_xvfb::PumpUntil([&] { return grid->GetCount() == 45; })) << grid->GetCount();
    ui_xvfb::PumpFor(300);
    grid->SetScrollPos(MakeSize(0, grid->GetScrollRange().cy));
    ui_xvfb::PumpFor(300);
    if (maximise_first) ui_xvfb::Shot(h, "media_month_page_maximised_end.png");
    frame_.reset();
    SetMediaPhone(nullptr);
  }
}

}  // namespace
