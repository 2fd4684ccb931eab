// The music page's export as the batch box reports it, end to end: the main
// window headless over the real phone facade, the real adb and the
// simulated phone with its faults. Transfers cut by the link (as when the
// phone is unplugged in the middle of a file) and a folder that is gone
// never read as success: the box counts only what arrived and names how
// many failed, and the bar still moves per item. (The phone that goes away
// between items ends the walk: batch_outcome_test.cpp.) Phone files of one
// batch that share a name do not overwrite each other, and a hidden phone
// file is not exported.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/connect/connect_mgr.h"
#include "app/data/phone.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"
#include "foundation/base/tests/case_name.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/frame/window_poster.h"
#include "ui/pages/media_lists.h"
#include "ui/tests/frame_fixture.h"

namespace {

using namespace DuiLib;
namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.insert(entry.path().filename().string());
  return names;
}

// What the batch box showed when it finished, read from inside its modal
// loop: the worker's posts are pumped until the OK button shows.
struct BoxResult {
  std::u16string message;
  std::u16string count;
  int bar = -1;
};

class MediaBatchE2eTest : public ui_test::TempUserTest {
 protected:
  void SetUp() override {
    ui_test::TempUserTest::SetUp();
    fs::create_directories(std::string(std::getenv("PHONEDECK_PROGRAM_DIR")) + "/log");
    out_ = home_ + "/export";
    fs::create_directories(out_);
    unsetenv("PHONEDECK_ADB");
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    sim_.ExportForwardedPorts();
    CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 0);
    CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", sim_.Port("ftp_port"));
    const std::u16string serial = AnsiToWString(sim_.Field("serial"));
    CAdbCmdTool::Instance()->SetSerial(serial.c_str());
    CConfigMgr::Instance()->SetPhonePaths(serial);
    backend_.connected = true;
    SetFrameBackend(&backend_);
    InstallWindowPoster();  // the managers' posts reach the main window
    frame_ = new CMainFrame;
    frame_->InitWinParam(u"wnd_xml\\main_frame.xml");
    hwnd_ = frame_->Create(0, u"Shelfhub", 0x800A0000, 0x100);
    ASSERT_NE(hwnd_, 0u);
    frame_->ShowWindow(true, true);
    // The phone as the connection manager makes it on "connected".
    InstallPhoneFactory();
    ASSERT_NE(CConnectMgr::Instance()->CreatePhone(), nullptr);
    list_ = dynamic_cast<CMusicList*>(frame_->PaintManager().FindControl(u"mymusiclist"));
    ASSERT_NE(list_, nullptr);
    static_cast<COptionUI*>(frame_->PaintManager().FindControl(u"music_optn")->GetInterface(u"Option"))->Selected(true);
    ASSERT_TRUE(PumpUntil([&] { return list_->GetCount() == 3; }));
  }
  void TearDown() override {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    PumpPendingMessages();
    delete frame_;
    SetFrameBackend(nullptr);
    CConnectMgr::Release();
    UninstallWindowPoster();
    CSocketThreadMgr::Instance()->StopAll();
    if (!sim_.Field("serial").empty()) {
      EXPECT_EQ(sim_.Errors(), "[]");
    }
    sim_.Stop();
    ui_test::TempUserTest::TearDown();
  }

  // Pumps the window's messages (real time) until `done`, for up to 20 s.
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < limit) {
      PumpPendingMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  }

  // Ticks every row, exports into `folder` and returns what the box said.
  BoxResult ExportAll(const std::string& folder) {
    for (int i = 0; i < list_->GetCount(); ++i) {
      CCheckBoxUI* box = list_->RowCheckBox(list_->GetItemAt(i));
      box->SetCheck(true);
      TNotifyUI click;
      click.sType = DUI_MSGTYPE_CLICK;
      click.pSender = box;
      frame_->PaintManager().SendNotify(click);
    }
    BoxResult result;
    host->PushFolderChoice(CDuiString::FromUtf8(folder));
    host->PushModalScript([&](HWND box) {
      CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(box);
      CControlUI* ok = pm->FindControl(u"btn_ok");
      PumpUntil([&] { return ok->IsVisible(); });
      result.message = pm->FindControl(u"lab_msg")->GetText().str();
      result.count = pm->FindControl(u"lab_num")->GetText().str();
      result.bar = static_cast<CProgressUI*>(pm->FindControl(u"export_progress")->GetInterface(u"Progress"))->GetValue();
    });
    CControlUI* button = frame_->PaintManager().FindControl(u"exportmusic_btn");
    EXPECT_TRUE(button->IsEnabled());
    TNotifyUI click;
    click.sType = DUI_MSGTYPE_CLICK;
    click.pSender = button;
    frame_->PaintManager().SendNotify(click);  // returns once the box has closed
    return result;
  }

  // The phone's file at `path` on the simulator's disk.
  std::string OnPhone(const std::string& path) { return sim_.Field("root") + path; }

  testing_support::PhoneSim sim_;
  ui_test::FakeBackend backend_;
  CMainFrame* frame_ = nullptr;
  HWND hwnd_ = 0;
  CMusicList* list_ = nullptr;
  std::string out_;
};

// The fixture's songs are 4608 (晴天), 5120 and 5632 bytes.
struct Trouble {
  const char* label;
  const char* fault;     // for the simulator; "" for none
  bool folder_gone;      // the chosen folder is removed before the export
  const char* message;
  std::set<std::string> exported;
};

class MediaExportTrouble : public MediaBatchE2eTest, public ::testing::WithParamInterface<Trouble> {};

TEST_P(MediaExportTrouble, OnlyWhatArrivedCountsAsExported) {
  const Trouble& row = GetParam();
  if (row.fault[0] != '\0') {
    ASSERT_EQ(sim_.Control(std::string("fault ") + row.fault).rfind("OK", 0), 0u);
  }
  if (row.folder_gone) fs::remove(out_);
  const BoxResult box = ExportAll(out_);
  sim_.Control("clear");
  EXPECT_EQ(box.message, CDuiString::FromUtf8(row.message).str());
  EXPECT_EQ(box.count, u"3/3");  // every item was handled
  EXPECT_EQ(box.bar, 100);
  EXPECT_EQ(Names(out_), row.exported);
  const std::map<std::string, std::string> phone_paths = {{"晴天.mp3", "/storage/sdcard0/Music/晴天.mp3"},
                                                          {"Morning Walk.mp3", "/storage/sdcard0/Music/Morning Walk.mp3"},
                                                          {"夜曲.mp3", "/storage/sdcard0/Tamsil/Music/夜曲.mp3"}};
  for (const std::string& name : row.exported)
    EXPECT_TRUE(ReadBytes(out_ + "/" + name) == ReadBytes(OnPhone(phone_paths.at(name)))) << name;
}

INSTANTIATE_TEST_SUITE_P(
    MusicPage, MediaExportTrouble,
    ::testing::Values(Trouble{"the link cut after 5000 bytes", "ftpcut=5000", false, "成功导出1个音乐，2个失败。",
                              {"晴天.mp3"}},
                      Trouble{"the link cut at once", "ftpcut=1", false, "成功导出0个音乐，3个失败。", {}},
                      Trouble{"a folder that is gone", "", true, "成功导出0个音乐，3个失败。", {}},
                      Trouble{"nothing wrong", "", false, "成功导出3个音乐。", {"晴天.mp3", "Morning Walk.mp3", "夜曲.mp3"}}),
    testing_support::NamedBy(&Trouble::label));

// Two phone files named 晴天.mp3 (the second uploaded into another folder)
// and a hidden one: the first 晴天.mp3 of the batch is written, the second
// fails rather than replace it, the hidden one is refused; a file the user
// had in the folder before is replaced, as every export replaces it.
TEST_F(MediaBatchE2eTest, NamesOfOneBatchNeverOverwriteEachOtherAndNoHiddenFileAppears) {
  const std::string in = home_ + "/in";
  fs::create_directories(in);
  for (const char* name : {"晴天.mp3", ".profile.mp3"}) {
    std::ofstream(in + "/" + name, std::ios::binary) << "uploaded " << name;
    ASSERT_TRUE(CurrentPhone()->UploadMusic(AnsiToWString(in + "/" + name), nullptr)) << name;
  }
  ASSERT_TRUE(PumpUntil([&] { return list_->GetCount() == 5; }));
  std::ofstream(out_ + "/Morning Walk.mp3") << "the user's old file";

  // The list's order decides which 晴天.mp3 is first.
  std::string first;
  for (int i = 0; i < list_->GetCount() && first.empty(); ++i) {
    const std::optional<MusicRecord> r = CurrentPhone()->FindMusicById(std::stoi(list_->GetRowUserData(i).ToUtf8()));
    ASSERT_TRUE(r.has_value());
    if (r->name == u"晴天") first = WStringToAnsi(r->file);
  }
  ASSERT_FALSE(first.empty());

  const BoxResult box = ExportAll(out_);
  EXPECT_EQ(box.message, u"成功导出3个音乐，2个失败。");
  EXPECT_EQ(box.count, u"5/5");
  EXPECT_EQ(Names(out_), (std::set<std::string>{"晴天.mp3", "Morning Walk.mp3", "夜曲.mp3"}));
  EXPECT_TRUE(ReadBytes(out_ + "/晴天.mp3") == ReadBytes(OnPhone(first)));
  EXPECT_TRUE(ReadBytes(out_ + "/Morning Walk.mp3") == ReadBytes(OnPhone("/storage/sdcard0/Music/Morning Walk.mp3")));
}

}  // namespace
