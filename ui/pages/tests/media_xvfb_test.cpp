// The music, video and pictures pages end to end, in real windows on a
// private X server: the main window and its pages over the real phone
// facade, the real adb and the simulated phone. Each page lists the
// phone's files; a file with a Chinese name is imported through the real
// file chooser, the batch box shows its progress and the new row appears;
// exported files are byte-identical to the phone's; deleted ones leave the
// phone; the viewer shows a picture and turns an EXIF-6 JPEG upright.
// Screenshots of each page, the batch box and the viewer go to
// <build>/screenshots/.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/connect/connect_mgr.h"
#include "app/data/phone.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/frame/window_poster.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/tests/test_pictures.h"
#include "ui/task_windows/tests/batch_box_watch.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("media_xvfb"));

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Answers the next GTK file chooser the program opens: picks `paths` (files)
// or `folder`, waits until the chooser has taken them, and accepts.
struct ChooserAnswer {
  std::vector<std::string> paths;
  std::string folder;
  bool applied = false;
  bool answered = false;
};

gboolean AnswerChooser(gpointer data) {
  auto* answer = static_cast<ChooserAnswer*>(data);
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* dialog = nullptr;
  for (GList* w = windows; w; w = w->next)
    if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) dialog = GTK_WIDGET(w->data);
  g_list_free(windows);
  if (!dialog) return G_SOURCE_CONTINUE;
  GtkFileChooser* fc = GTK_FILE_CHOOSER(dialog);
  if (!answer->applied) {
    if (answer->folder.empty()) {
      for (const std::string& p : answer->paths) gtk_file_chooser_select_filename(fc, p.c_str());
    } else {
      gtk_file_chooser_set_current_folder(fc, answer->folder.c_str());
    }
    answer->applied = true;
    return G_SOURCE_CONTINUE;
  }
  // Accept once the chooser shows what was picked (it loads folders in the background).
  bool ready = false;
  if (answer->folder.empty()) {
    GSList* names = gtk_file_chooser_get_filenames(fc);
    ready = g_slist_length(names) == answer->paths.size();
    g_slist_free_full(names, g_free);
  } else if (char* name = gtk_file_chooser_get_filename(fc)) {
    ready = answer->folder == name;
    g_free(name);
  }
  if (!ready) return G_SOURCE_CONTINUE;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  answer->answered = true;
  return G_SOURCE_REMOVE;
}

class MediaXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ui_xvfb::SkipReason();
    const std::string program = std::getenv("PHONEDECK_PROGRAM_DIR");
    fs::create_directories(program + "/log");
    base::BaseLog::GetInstance()->Open("log/zelvik.log");  // read back when a test fails
    work_ = std::string(std::getenv("HOME")) + "/work";
    fs::create_directories(work_);
    unsetenv("PHONEDECK_ADB");
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    testing_support::PointProgramAtSim(sim_);
    CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", sim_.Port("ftp_port"));
    // The phone as the connection manager makes it on "connected".
    InstallPhoneFactory();
    ASSERT_NE(CConnectMgr::Instance()->CreatePhone(), nullptr);
    ASSERT_NE(CurrentPhone(), nullptr);
    backend_.connected = true;
    SetFrameBackend(&backend_);
    // Deleting asks nothing here (the question has its own tests).
    CConfigMgr::Instance()->SetMusicTips(false);
    CConfigMgr::Instance()->SetVideoTips(false);
    CConfigMgr::Instance()->SetPictureTips(false);
    ResetQuit();  // the window of the test before asked the loop to end
    InstallWindowPoster();  // the managers' posts reach the main window
    frame_ = ui_xvfb::ShowMainWindow();
    ASSERT_NE(frame_, nullptr);
    hwnd_ = frame_->GetHWND();
  }
  void TearDown() override {
    if (HasFailure()) {
      const std::string log = ReadBytes(std::string(std::getenv("PHONEDECK_PROGRAM_DIR")) + "/log/zelvik.log");
      std::fprintf(stderr, "program log (end):\n%s\n", log.substr(log.size() > 12000 ? log.size() - 12000 : 0).c_str());
    }
    if (frame_) {
      if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
      ui_xvfb::PumpFor(100);
      delete frame_;
    }
    SetFrameBackend(nullptr);
    CConnectMgr::Release();
    UninstallWindowPoster();
    CSocketThreadMgr::Instance()->StopAll();
    if (!sim_.Field("serial").empty()) {
      EXPECT_EQ(sim_.Errors(), "[]");
    }
    sim_.Stop();
  }
  CPaintManagerUI& PM() { return frame_->PaintManager(); }
  // The phone's file at `phone_path` on the simulator's disk.
  std::string PhoneFile(const std::string& phone_path) { return sim_.Field("root") + phone_path; }
  void Select(const char16_t* option) {
    static_cast<COptionUI*>(PM().FindControl(option)->GetInterface(u"Option"))->Selected(true);
  }
  void Click(const char16_t* name) { ASSERT_TRUE(ClickControl(PM(), name)) << CDuiString(name).ToUtf8(); }
  // Runs a click whose handler opens a chooser: `answer` picks for it; the
  // batch box that follows is photographed once it shows, and closed once
  // its job has ended.
  void ClickThroughChooser(const char16_t* button, ChooserAnswer* answer, const std::string& box_shot) {
    g_timeout_add(100, &AnswerChooser, answer);
    ASSERT_NO_FATAL_FAILURE(ClickThroughBatch(button, box_shot));
    EXPECT_TRUE(answer->answered);
  }
  // Runs a click that opens the batch box; returns once the box has closed.
  void ClickThroughBatch(const char16_t* button, const std::string& box_shot) {
    ui_xvfb::BatchBoxWatch watch(hwnd_, box_shot);
    ASSERT_NO_FATAL_FAILURE(Click(button));  // returns once the batch box has closed
    EXPECT_TRUE(watch.Photographed()) << "no picture of the batch box";
    EXPECT_TRUE(watch.Closed()) << "the batch box closed before its result was taken";
  }
  // A picture of the main window showing the page of `page_control`: the
  // control tree shows that page, and the display shows the tree.
  void PageShot(CControlUI* page_control, const std::string& name) {
    ASSERT_TRUE(page_control->IsVisible()) << name << ": the page is not the one shown";
    ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(hwnd_, name));
  }
  // True when every thumbnail of the month list has its picture.
  bool ThumbnailsShown(CPictureList* home) {
    for (int i = 0; i < home->GetCount(); ++i) {
      CPictureSubList* grid = CPictureList::GridOf(home->GetItemAt(i));
      for (int j = 0; j < grid->GetCount(); ++j) {
        CControlUI* image = static_cast<CContainerUI*>(grid->GetItemAt(j)->GetInterface(u"Container"))
                                ->FindSubControl(u"pic_img_lbl");
        if (!image || !image->GetBkImage() || !*image->GetBkImage()) return false;
      }
    }
    return true;
  }
  void Tick(CListUIEx* list, const std::u16string& id) {
    CControlUI* row = list->FindRowByUserData(id.c_str());
    ASSERT_NE(row, nullptr);
    list->EnsureVisible(list->GetItemIndex(row));
    ui_xvfb::PumpFor(50);
    ASSERT_TRUE(ClickControl(list->RowCheckBox(row)));
  }
  std::u16string RowText(CControlUI* row, const char16_t* name) {
    return static_cast<CContainerUI*>(row->GetInterface(u"Container"))->FindSubControl(name)->GetText().str();
  }
  int RowOf(CListUIEx* list, const char16_t* sub, const std::u16string& text) {
    for (int i = 0; i < list->GetCount(); ++i)
      if (RowText(list->GetItemAt(i), sub) == text) return i;
    return -1;
  }

  testing_support::PhoneSim sim_;
  ui_test::FakeBackend backend_;
  CMainFrame* frame_ = nullptr;
  HWND hwnd_ = 0;
  std::string work_;
};

TEST_F(MediaXvfbTest, MusicImportsExportsAndDeletes) {
  auto* list = dynamic_cast<CMusicList*>(PM().FindControl(u"mymusiclist"));
  ASSERT_NE(list, nullptr);
  Select(u"music_optn");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return list->GetCount() == 3; }, 20000));
  EXPECT_GE(RowOf(list, u"music_name", u"晴天"), 0);
  EXPECT_EQ(RowText(list->GetItemAt(RowOf(list, u"music_name", u"晴天")), u"music_timelong"), u"04:29");
  ASSERT_NO_FATAL_FAILURE(PageShot(list, "media_music_page.png"));

  // Import a file with a Chinese name.
  const std::string song = work_ + "/中文歌.mp3";
  const std::string content(200000, 'm');
  ASSERT_TRUE(media_test::WriteFile(song, content));
  ChooserAnswer pick{{song}, ""};
  ASSERT_NO_FATAL_FAILURE(ClickThroughChooser(u"addmusic_btn", &pick, "media_music_import_box.png"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return RowOf(list, u"music_name", u"中文歌") >= 0; }, 20000));
  EXPECT_EQ(RowOf(list, u"music_name", u"中文歌"), 0);  // on top
  EXPECT_TRUE(ReadBytes(PhoneFile("/storage/sdcard0/Tamsil/Music/中文歌.mp3")) == content);

  // Export two: byte-identical to the phone's.
  Tick(list, u"1");
  Tick(list, u"2");
  const std::string out = work_ + "/导出音乐";
  fs::create_directories(out);
  ChooserAnswer folder{{}, out};
  ASSERT_NO_FATAL_FAILURE(ClickThroughChooser(u"exportmusic_btn", &folder, "media_music_export_box.png"));
  for (const char* name : {"晴天.mp3", "Morning Walk.mp3"}) {
    const std::string phone = ReadBytes(PhoneFile(std::string("/storage/sdcard0/Music/") + name));
    ASSERT_FALSE(phone.empty()) << name;
    EXPECT_TRUE(ReadBytes(out + "/" + name) == phone) << name;
  }

  // Delete the imported one: its row and its file go.
  for (int i = 0; i < list->GetCount(); ++i) list->RowCheckBox(list->GetItemAt(i))->SetCheck(false);
  const std::u16string imported = list->GetRowUserData(0).str();
  ASSERT_NO_FATAL_FAILURE(Tick(list, imported));
  ASSERT_NO_FATAL_FAILURE(ClickThroughBatch(u"delmusic_btn", "media_music_delete_box.png"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return list->FindRowByUserData(imported.c_str()) == nullptr; }, 20000));
  EXPECT_FALSE(fs::exists(PhoneFile("/storage/sdcard0/Tamsil/Music/中文歌.mp3")));
  EXPECT_EQ(list->GetCount(), 3);
}

TEST_F(MediaXvfbTest, VideoListsAndExportsWithProgress) {
  auto* list = dynamic_cast<CVideoList*>(PM().FindControl(u"myvideolist"));
  ASSERT_NE(list, nullptr);
  Select(u"video_optn");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return list->GetCount() == 2; }, 20000));
  ASSERT_NO_FATAL_FAILURE(PageShot(list, "media_video_page.png"));
  const int row = RowOf(list, u"video_name", u"海边");
  ASSERT_GE(row, 0);
  EXPECT_EQ(RowText(list->GetItemAt(row), u"video_timelong"), u"01:05");
  EXPECT_EQ(RowText(list->GetItemAt(row), u"video_dir"), u"sdcard/Movies/");
  ASSERT_NO_FATAL_FAILURE(Tick(list, list->GetRowUserData(row).str()));
  const std::string out = work_ + "/videos";
  fs::create_directories(out);
  ChooserAnswer folder{{}, out};
  ASSERT_NO_FATAL_FAILURE(ClickThroughChooser(u"exportvideo_btn", &folder, "media_video_export_box.png"));
  const std::string phone = ReadBytes(PhoneFile("/storage/sdcard0/Movies/海边.mp4"));
  ASSERT_FALSE(phone.empty());
  EXPECT_TRUE(ReadBytes(out + "/海边.mp4") == phone) << ReadBytes(out + "/海边.mp4").size() << " bytes of " << phone.size();
}

TEST_F(MediaXvfbTest, PicturesImportAndTheViewerTurnsExifSixUpright) {
  auto* home = dynamic_cast<CPictureList*>(PM().FindControl(u"picturehomelist"));
  ASSERT_NE(home, nullptr);
  Select(u"pic_optn");
  // Three pictures in two months, their thumbnails fetched.
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return home->GetCount() == 2 && ThumbnailsShown(home); }, 20000));
  ASSERT_NO_FATAL_FAILURE(PageShot(home, "media_pictures_page.png"));

  // Import an EXIF-6 JPEG (1200 x 600 as stored, 600 x 1200 upright).
  const std::string jpeg = work_ + "/竖拍.jpg";
  ASSERT_TRUE(media_test::WriteFile(jpeg, media_test::HalvesJpeg(1200, 600, 6)));
  int before = 0;
  for (int i = 0; i < home->GetCount(); ++i) before += CPictureList::GridOf(home->GetItemAt(i))->GetCount();
  ChooserAnswer pick{{jpeg}, ""};
  ASSERT_NO_FATAL_FAILURE(ClickThroughChooser(u"addpic_btn", &pick, "media_pictures_import_box.png"));
  CControlUI* thumb = nullptr;
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] {
    int now = 0;
    for (int i = 0; i < home->GetCount(); ++i) {
      CPictureSubList* grid = CPictureList::GridOf(home->GetItemAt(i));
      now += grid->GetCount();
    }
    if (now <= before) return false;
    // The new picture is the newest: first in the top month.
    thumb = CPictureList::GridOf(home->GetItemAt(0))->GetItemAt(0);
    return thumb != nullptr;
  }, 30000));
  EXPECT_TRUE(ReadBytes(PhoneFile("/storage/sdcard0/DCIM/Camera/竖拍.jpg")) == ReadBytes(jpeg));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return ThumbnailsShown(home); }, 20000));
  ASSERT_NO_FATAL_FAILURE(PageShot(home, "media_pictures_after_import.png"));

  // The viewer: upright and fitted into 760 x 570.
  ASSERT_TRUE(DoubleClickControl(thumb));
  auto* image = static_cast<CPngImageUI*>(PM().FindControl(u"image_lbl")->GetInterface(u"PngImage"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return image->GetImage() != nullptr; }, 20000));
  EXPECT_EQ(image->GetImage()->nX, 600);
  EXPECT_EQ(image->GetImage()->nY, 1200);
  EXPECT_EQ(image->GetFixedWidth(), 285);
  EXPECT_EQ(image->GetFixedHeight(), 570);
  // The left half (red) is now on top.
  EXPECT_GT(media_test::Red(image->GetImage()->pixels.front()), media_test::Blue(image->GetImage()->pixels.front()));
  ASSERT_NO_FATAL_FAILURE(PageShot(image, "media_picture_viewer.png"));
  ASSERT_NO_FATAL_FAILURE(Click(u"pic_show_close"));

  // A month opened full; the picture deleted leaves the phone.
  int64_t key = picture_grid::KeyOf(home->GetRowUserData(0));
  CPictureSubList* grid = CPictureList::GridOf(home->GetItemAt(0));
  const std::u16string id = grid->GetRowUserData(0).str();
  grid->RowCheckBox(grid->GetItemAt(0))->SetCheck(true);
  frame_->Picture().UpdateCheckState();
  EXPECT_TRUE(PM().FindControl(u"delpic_btn")->IsEnabled());
  ASSERT_NO_FATAL_FAILURE(ClickThroughBatch(u"delpic_btn", "media_pictures_delete_box.png"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] {
    CControlUI* row = home->FindRowByUserData(picture_grid::KeyText(key).c_str());
    return !row || !CPictureList::GridOf(row)->FindRowByUserData(id.c_str());
  }, 20000));
  EXPECT_FALSE(fs::exists(PhoneFile("/storage/sdcard0/DCIM/Camera/竖拍.jpg")));
}

}  // namespace
