// The music, video and pictures pages and the picture viewer in the main
// window, headless, over a phone held in memory: lists filled and kept by
// the managers' messages, ticks and the buttons they enable, the batch jobs
// behind the batch box (their questions, their items in order, the progress
// window handed to transfers, a box closed in the middle), the month list
// and month page of the pictures, and the viewer's fit and arrows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/core/message_ids.h"
#include "foundation/base/tests/case_name.h"
#include "ui/pages/batch_run.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/page_phone.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/tests/fake_media_phone.h"
#include "ui/pages/tests/test_pictures.h"
#include "ui/tests/frame_fixture.h"

namespace ui_test {
namespace {

using media_test::FakeMediaPhone;

MusicRecord Song(int32_t id, const char16_t* name, int64_t seconds, int64_t size) {
  MusicRecord r;
  r.id = id;
  r.name = name;
  r.duration = seconds;
  r.size = size;
  r.artist = u"歌手";
  r.albums = u"专辑";
  return r;
}

VideoRecord Clip(int32_t id, const char16_t* name) {
  VideoRecord r;
  r.id = id;
  r.name = name;
  return r;
}

class MediaPagesTest : public FrameTest {
 public:
  void SetUp() override {
    SetMediaPhone(&phone);
    FrameTest::SetUp();
    backend.connected = true;
  }
  void TearDown() override {
    FrameTest::TearDown();
    SetMediaPhone(nullptr);
  }
  void Send(UINT m, WPARAM w = 0, LPARAM l = 0) { SendMessage(hwnd, m, w, l); }
  // A click as the library reports it, from `sender`.
  void Click(CControlUI* sender) {
    ASSERT_NE(sender, nullptr);
    TNotifyUI n;
    n.sType = DUI_MSGTYPE_CLICK;
    n.pSender = sender;
    PM().SendNotify(n);
  }
  void ClickNamed(const char16_t* name) { Click(PM().FindControl(name)); }
  // Ticks the row box of row `i` as a user click does.
  void Tick(CListUIEx* list, int i, bool on = true) {
    CCheckBoxUI* box = list->RowCheckBox(list->GetItemAt(i));
    ASSERT_NE(box, nullptr);
    box->SetCheck(on);
    Click(box);
  }
  bool Enabled(const char16_t* name) { return PM().FindControl(name)->IsEnabled(); }
  std::u16string RowText(CControlUI* row, const char16_t* name) {
    CControlUI* c = static_cast<CContainerUI*>(row->GetInterface(u"Container"))->FindSubControl(name);
    return c ? c->GetText().str() : u"<missing>";
  }

  FakeMediaPhone phone;
};

// ---------------- music and video ----------------

TEST_F(MediaPagesTest, MusicListFollowsTheManagersMessages) {
  auto* list = dynamic_cast<CMusicList*>(PM().FindControl(u"mymusiclist"));
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(Enabled(u"delmusic_btn"));
  phone.music = {Song(1, u"晴天.mp3", 269, 1048576), Song(2, u"a.b.mp3", 3725, 1048577), Song(3, u"noext", 59, 0)};
  Send(msg::kMusicBusy, 1);
  EXPECT_EQ(TabOf(u"tab_music_load"), 1);
  EXPECT_FALSE(Enabled(u"addmusic_btn"));
  Send(msg::kMusicBusy, 0);
  Send(msg::kMusicListLoaded);
  ASSERT_EQ(list->GetCount(), 3);
  EXPECT_EQ(TabOf(u"tab_music_load"), 0);
  EXPECT_TRUE(Enabled(u"music_chk"));
  struct Row {
    const char16_t *name, *time, *size;
  } rows[] = {{u"晴天", u"04:29", u"1024.00K"}, {u"a.b", u"01:02:05", u"1.00M"}, {u"noext", u"00:59", u"0.00K"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(RowText(list->GetItemAt(i), u"music_name"), rows[i].name);
    EXPECT_EQ(RowText(list->GetItemAt(i), u"music_timelong"), rows[i].time);
    EXPECT_EQ(RowText(list->GetItemAt(i), u"music_size"), rows[i].size);
    EXPECT_EQ(RowText(list->GetItemAt(i), u"music_artist"), u"歌手");
  }
  // One tick enables delete and export; all ticks tick "select all".
  Tick(list, 1);
  EXPECT_TRUE(Enabled(u"delmusic_btn"));
  EXPECT_TRUE(Enabled(u"exportmusic_btn"));
  EXPECT_FALSE(static_cast<CCheckBoxUI*>(PM().FindControl(u"music_chk"))->GetCheck());
  Tick(list, 0);
  Tick(list, 2);
  EXPECT_TRUE(static_cast<CCheckBoxUI*>(PM().FindControl(u"music_chk"))->GetCheck());
  // Added on top; removed by id; the last removal shows the empty view.
  phone.music.push_back(Song(9, u"new.mp3", 1, 1));
  Send(msg::kMusicAdded, 9);
  EXPECT_EQ(list->GetRowUserData(0), u"9");
  for (WPARAM id : {1u, 2u, 3u, 9u}) Send(msg::kMusicDeleted, id);
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(TabOf(u"tab_music_load"), 2);
  EXPECT_FALSE(Enabled(u"music_chk"));
  EXPECT_FALSE(Enabled(u"delmusic_btn"));
  // The phone went: the rows go.
  Send(msg::kMusicListLoaded);
  frame->Music().Clear();
  EXPECT_EQ(list->GetCount(), 0);
}

// A long list fills a slice at a time. Rows ticked one by one while it
// fills are not every row; "select all" then ticks the rows still to come;
// a song added meanwhile goes on top of them all.
TEST_F(MediaPagesTest, ALongMusicListFillsInSlicesAndSelectAllReachesTheRowsToCome) {
  auto* list = dynamic_cast<CMusicList*>(PM().FindControl(u"mymusiclist"));
  ASSERT_NE(list, nullptr);
  constexpr int kSlice = 100;
  constexpr int kSongs = 2 * kSlice + 50;
  list->SetFillSlice(kSlice, 0);
  for (int i = 1; i <= kSongs; ++i) phone.music.push_back(Song(i, u"s.mp3", 1, 1));
  Send(msg::kMusicListLoaded);
  ASSERT_EQ(list->GetCount(), kSlice);
  EXPECT_EQ(list->TotalCount(), kSongs);
  EXPECT_EQ(TabOf(u"tab_music_load"), 0);
  EXPECT_TRUE(Enabled(u"music_chk"));
  auto* all = static_cast<CCheckBoxUI*>(PM().FindControl(u"music_chk"));
  for (int i = 0; i < list->GetCount(); ++i) Tick(list, i);
  EXPECT_FALSE(all->GetCheck());  // more rows are coming
  EXPECT_TRUE(Enabled(u"delmusic_btn"));
  all->SetCheck(true);
  Click(all);
  phone.music.push_back(Song(kSongs + 1, u"new.mp3", 1, 1));
  Send(msg::kMusicAdded, kSongs + 1);
  for (int turn = 0; list->IsFilling() && turn < 1000; ++turn) host->Advance(1);
  ASSERT_FALSE(list->IsFilling());
  ASSERT_EQ(list->GetCount(), kSongs + 1);
  EXPECT_EQ(list->GetRowUserData(0), DecimalText(kSongs + 1).c_str());
  for (int i = 1; i <= kSongs; ++i) ASSERT_EQ(list->GetRowUserData(i), DecimalText(i).c_str()) << i;
  EXPECT_EQ(list->CheckedCount(), kSongs);  // every row the fill added is ticked; the new one is not
  Tick(list, 0);
  EXPECT_TRUE(all->GetCheck());
}

TEST_F(MediaPagesTest, VideoRowsShowTypeFolderAndSizeInGigabytes) {
  VideoRecord v;
  v.id = 4;
  v.name = u"海边.mp4";
  v.folder = u"sdcard/Movies/";
  v.duration = 3599;
  v.size = (int64_t(3) << 30);
  VideoRecord w = v;
  w.id = 5;
  w.name = u"noext";
  phone.videos = {v, w};
  Send(msg::kVideoListLoaded);
  auto* list = dynamic_cast<CVideoList*>(PM().FindControl(u"myvideolist"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetCount(), 2);
  CControlUI* row = list->GetItemAt(0);
  EXPECT_EQ(RowText(row, u"video_name"), u"海边");
  EXPECT_EQ(RowText(row, u"video_type"), u"MP4");
  EXPECT_EQ(RowText(row, u"video_timelong"), u"59:59");
  EXPECT_EQ(RowText(row, u"video_dir"), u"sdcard/Movies/");
  EXPECT_EQ(RowText(row, u"video_size"), u"3.00G");
  EXPECT_EQ(RowText(list->GetItemAt(1), u"video_type"), u"");
  ClickNamed(u"refreshvideo_btn");
  EXPECT_EQ(phone.Calls().back().what, "RefreshVideoList");
  EXPECT_EQ(backend.actions.back(), 405);
}

TEST_F(MediaPagesTest, NothingTickedAsksNothingAndRunsNothing) {
  phone.music = {Song(1, u"a.mp3", 1, 1)};
  Send(msg::kMusicListLoaded);
  for (const char16_t* b : {u"delmusic_btn", u"exportmusic_btn", u"delvideo_btn", u"exportvideo_btn"}) {
    PM().FindControl(b)->SetEnabled(true);
    ClickNamed(b);
  }
  EXPECT_TRUE(host->MessageBoxCalls().empty());
  EXPECT_TRUE(host->FolderChooserCalls().empty());
  EXPECT_TRUE(phone.Calls().empty());
}

TEST_F(MediaPagesTest, DeleteAsksWhileTheTipIsOnThenDeletesTheTickedInListOrder) {
  phone.music = {Song(1, u"a.mp3", 1, 1), Song(2, u"b.mp3", 1, 1), Song(3, u"c.mp3", 1, 1)};
  Send(msg::kMusicListLoaded);
  auto* list = static_cast<CListUIEx*>(frame->Music().List());
  Tick(list, 2);
  Tick(list, 0);
  CConfigMgr::Instance()->SetMusicTips(true);
  std::u16string asked;
  host->PushModalScript([&](HWND box) {
    asked = GetWindowText(box).str();
    ClickControl(box, u"cancelbtn");
  });
  ClickNamed(u"delmusic_btn");
  EXPECT_TRUE(phone.IdsOf("DeleteMusic").empty());  // answered No
  CConfigMgr::Instance()->SetMusicTips(false);
  ClickNamed(u"delmusic_btn");  // no question: the box runs at once and closes itself
  EXPECT_EQ(phone.IdsOf("DeleteMusic"), (std::vector<int32_t>{1, 3}));
  for (const auto& c : phone.Calls()) EXPECT_NE(c.thread, std::this_thread::get_id());  // on the box's worker
  EXPECT_EQ(backend.actions.back(), 324);
}

TEST_F(MediaPagesTest, ExportAndImportHandTheBoxWindowToEachTransfer) {
  phone.videos = {Clip(7, u"v.mp4"), Clip(8, u"v.mp4")};
  Send(msg::kVideoListLoaded);
  auto* list = static_cast<CListUIEx*>(frame->Video().List());
  Tick(list, 0);
  Tick(list, 1);
  host->PushFolderChoice(CDuiString(u"/tmp/导出"));
  ClickNamed(u"exportvideo_btn");
  ASSERT_EQ(host->FolderChooserCalls().size(), 1u);
  EXPECT_EQ(host->FolderChooserCalls()[0], u"选择视频文件夹:");
  auto calls = phone.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].what, "ExportVideo");
  EXPECT_EQ(calls[0].text, u"/tmp/导出");
  EXPECT_EQ(calls[0].id, 7);
  EXPECT_EQ(calls[1].id, 8);
  EXPECT_NE(calls[0].wnd, 0u);  // the box's window gets the file's progress
  phone.ClearCalls();

  // Import: the chooser's paths in order; a cancelled chooser does nothing.
  host->PushFileChoice({CDuiString(u"/home/u/中文歌.mp3"), CDuiString(u"/home/u/b.mp3")});
  ClickNamed(u"addmusic_btn");
  ASSERT_EQ(host->FileChooserCalls().size(), 1u);
  EXPECT_EQ(host->FileChooserCalls()[0].sTitle, u"选择音乐文件");
  EXPECT_EQ(host->FileChooserCalls()[0].sPattern, u"*.mp3;*.wav;*.wma");
  EXPECT_TRUE(host->FileChooserCalls()[0].bMultiSelect);
  calls = phone.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, u"/home/u/中文歌.mp3");
  EXPECT_EQ(calls[1].text, u"/home/u/b.mp3");
  EXPECT_NE(calls[0].wnd, 0u);
  phone.ClearCalls();
  host->PushFileChoice({});
  ClickNamed(u"addmusic_btn");
  EXPECT_TRUE(phone.Calls().empty());
}

// ---------------- what each page asks and opens ----------------

// The texts and numbers of the music, video and pictures pages: the import
// chooser, the export folder chooser, the delete question and the setting
// its "ask no more" tick turns off (reminder ids 3, 4, 5), and the kinds of
// batch box each job opens (the box shows its kind's title).
struct PageTextsCase {
  const char* page;
  const char16_t* add_btn;
  const char16_t* export_btn;
  const char16_t* del_btn;
  const char16_t* chooser_title;
  const char16_t* filter_name;
  const char16_t* pattern;
  const char16_t* folder_title;
  const char16_t* question;  // two ticked
  bool (CConfigMgr::*tips)() const;
  void (CConfigMgr::*set_tips)(bool);
  int32_t add_kind, export_kind, delete_kind;
};

const PageTextsCase kPageTexts[] = {
    {"music", u"addmusic_btn", u"exportmusic_btn", u"delmusic_btn", u"选择音乐文件", u"音乐文件(*.mp3;*.wav;*.wma)",
     u"*.mp3;*.wav;*.wma", u"选择音乐文件夹:", u"您确定删除这2个音乐吗？", &CConfigMgr::GetMusicTips,
     &CConfigMgr::SetMusicTips, 5, 1, 7},
    {"video", u"addvideo_btn", u"exportvideo_btn", u"delvideo_btn", u"选择视频文件",
     u"视频文件(*.mp4;*.flv;*.3gp;*.avi;*.mpeg;*.wmv;*.rmvb;*.mov;*.mkv)",
     u"*.mp4;*.flv;*.3gp;*.avi;*.mpeg;*.wmv;*.rmvb;*.mov;*.mkv", u"选择视频文件夹:", u"您确定删除这2个视频吗？",
     &CConfigMgr::GetVideoTips, &CConfigMgr::SetVideoTips, 4, 2, 8},
    {"pictures", u"addpic_btn", u"exportpic_btn", u"delpic_btn", u"选择画像文件", u"Image Files (*.jpg;*.png;*.bmp)",
     u"*.jpg;*.png;*.bmp", u"选择画像文件夹:", u"您确定删除这2张照片？", &CConfigMgr::GetPictureTips,
     &CConfigMgr::SetPictureTips, 3, 0, 6},
};

void PrintTo(const PageTextsCase& c, std::ostream* os) { *os << c.page; }

class MediaPageTextsTest : public MediaPagesTest, public ::testing::WithParamInterface<PageTextsCase> {
 public:
  // Two items on the page, both ticked.
  void LoadTwoTicked() {
    const std::string page = GetParam().page;
    if (page == "pictures") {
      phone.AddPicture(1, 1772294400);
      phone.AddPicture(2, 1772294400);
      Send(msg::kPictureListLoaded);
      auto* home = dynamic_cast<CPictureList*>(PM().FindControl(u"picturehomelist"));
      ASSERT_TRUE(home && home->GetCount() == 1);
      CPictureSubList* grid = CPictureList::GridOf(home->GetItemAt(0));
      ASSERT_EQ(grid->GetCount(), 2);
      for (int i = 0; i < 2; ++i) grid->RowCheckBox(grid->GetItemAt(i))->SetCheck(true);
      frame->Picture().UpdateCheckState();
      return;
    }
    CListUIEx* list = nullptr;
    if (page == "music") {
      phone.music = {Song(1, u"a.mp3", 1, 1), Song(2, u"b.mp3", 1, 1)};
      Send(msg::kMusicListLoaded);
      list = static_cast<CListUIEx*>(frame->Music().List());
    } else {
      phone.videos = {Clip(1, u"a.mp4"), Clip(2, u"b.mp4")};
      Send(msg::kVideoListLoaded);
      list = static_cast<CListUIEx*>(frame->Video().List());
    }
    ASSERT_EQ(list->GetCount(), 2);
    Tick(list, 0);
    Tick(list, 1);
  }
  // The next modal loop is a batch box: records its title.
  void ExpectBatchBox(std::u16string* title) {
    host->PushModalScript([title](HWND box) {
      CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(box);
      CControlUI* label = pm ? pm->FindControl(u"lab_msg") : nullptr;
      *title = label ? label->GetText().str() : u"<no batch box>";
    });
  }
};

TEST_P(MediaPageTextsTest, ChoosersQuestionAndBatchKinds) {
  const PageTextsCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(LoadTwoTicked());
  ASSERT_TRUE(Enabled(c.export_btn));

  // Export: the folder chooser's title, then the batch box of its kind.
  std::u16string box;
  const size_t folders = host->FolderChooserCalls().size(), files = host->FileChooserCalls().size();
  host->PushFolderChoice(CDuiString(u"/tmp/导出"));
  ExpectBatchBox(&box);
  ClickNamed(c.export_btn);
  ASSERT_EQ(host->FolderChooserCalls().size(), folders + 1);
  EXPECT_EQ(host->FolderChooserCalls().back(), c.folder_title);
  EXPECT_EQ(box, BatchJobTextsOf(c.export_kind).title);

  // Import: the file chooser's title and filter, several files at once.
  host->PushFileChoice({CDuiString(u"/home/u/一")});
  ExpectBatchBox(&box);
  ClickNamed(c.add_btn);
  ASSERT_EQ(host->FileChooserCalls().size(), files + 1);
  const TFileChooser chooser = host->FileChooserCalls().back();
  EXPECT_EQ(chooser.sTitle, c.chooser_title);
  EXPECT_EQ(chooser.sFilterName, c.filter_name);
  EXPECT_EQ(chooser.sPattern, c.pattern);
  EXPECT_TRUE(chooser.bMultiSelect);
  EXPECT_EQ(box, BatchJobTextsOf(c.add_kind).title);

  // Delete: the question with the count; its tick (shown, set) turns this
  // page's question off when the answer is OK.
  CConfigMgr* config = CConfigMgr::Instance();
  (config->*c.set_tips)(true);
  std::u16string question;
  bool tick_shown = false;
  host->PushModalScript([&](HWND ask) {
    CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(ask);
    question = pm->FindControl(u"msglab")->GetText().str();
    tick_shown = pm->FindControl(u"check_notips")->IsVisible();
    ClickControl(ask, u"okbtn");
  });
  ExpectBatchBox(&box);
  ClickNamed(c.del_btn);
  EXPECT_EQ(question, c.question);
  EXPECT_TRUE(tick_shown);
  EXPECT_FALSE((config->*c.tips)()) << "the tick turned another page's question off";
  EXPECT_EQ(box, BatchJobTextsOf(c.delete_kind).title);
}

INSTANTIATE_TEST_SUITE_P(Pages, MediaPageTextsTest, ::testing::ValuesIn(kPageTexts),
                         testing_support::NamedBy(&PageTextsCase::page));

// The busy look of the pages whose managers post their busy flag: while
// busy the loading view shows with its animation running and the page's
// actions are off; once idle, the list view and the actions come back.
struct BusyLookCase {
  const char* page;
  UINT message;
  const char16_t* load_tab;
  const char16_t* loading;
  std::vector<const char16_t*> off_while_busy;
  std::vector<const char16_t*> on_when_idle;  // the rest stays as busy left it
  const char16_t* unticked;                    // the select-all box busy unticks
};

const BusyLookCase kBusyLooks[] = {
    {"contacts", 1266, u"tab_contact_load", u"contact_loading", {u"refreshcontact_btn", u"contact_chk"},
     {u"refreshcontact_btn", u"contact_chk"}, u"contact_chk"},
    {"sms", 1273, u"tab_sms_load", u"sms_loading", {u"refreshsms_btn", u"selallsms_chk"},
     {u"refreshsms_btn", u"selallsms_chk"}, u"selallsms_chk"},
    {"pictures", 1280, u"tab_pic_load", u"pic_loading",
     {u"refreshpic_btn", u"addpic_btn", u"exportpic_btn", u"delpic_btn", u"selallpic_chk"},
     {u"refreshpic_btn", u"addpic_btn"}, nullptr},
    {"music", 1284, u"tab_music_load", u"music_loading", {u"music_chk", u"addmusic_btn", u"refreshmusic_btn"},
     {u"music_chk", u"addmusic_btn", u"refreshmusic_btn"}, u"music_chk"},
    {"video", 1288, u"tab_video_load", u"video_loading", {u"video_chk", u"addvideo_btn", u"refreshvideo_btn"},
     {u"video_chk", u"addvideo_btn", u"refreshvideo_btn"}, u"video_chk"},
};

void PrintTo(const BusyLookCase& c, std::ostream* os) { *os << c.page; }

class BusyLookTest : public MediaPagesTest, public ::testing::WithParamInterface<BusyLookCase> {};

TEST_P(BusyLookTest, LoadingViewAndActions) {
  const BusyLookCase& c = GetParam();
  for (const char16_t* name : c.off_while_busy) PM().FindControl(name)->SetEnabled(true);
  if (c.unticked) Control<CCheckBoxUI>(c.unticked, u"CheckBox")->SetCheck(true);
  auto* loading = Control<CAnimationUI>(c.loading, u"Animation");
  ASSERT_NE(loading, nullptr);

  Send(c.message, 1);
  EXPECT_EQ(TabOf(c.load_tab), 1);
  EXPECT_TRUE(loading->IsPlaying());
  for (const char16_t* name : c.off_while_busy) EXPECT_FALSE(Enabled(name)) << CDuiString(name).ToUtf8();
  if (c.unticked) {
    EXPECT_FALSE(Control<CCheckBoxUI>(c.unticked, u"CheckBox")->GetCheck());
  }

  Send(c.message, 0);
  EXPECT_EQ(TabOf(c.load_tab), 0);
  EXPECT_FALSE(loading->IsPlaying());
  for (const char16_t* name : c.off_while_busy) {
    const bool back = std::find_if(c.on_when_idle.begin(), c.on_when_idle.end(), [&](const char16_t* on) {
                        return std::u16string(on) == name;
                      }) != c.on_when_idle.end();
    EXPECT_EQ(Enabled(name), back) << CDuiString(name).ToUtf8();
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, BusyLookTest, ::testing::ValuesIn(kBusyLooks),
                         testing_support::NamedBy(&BusyLookCase::page));

// ---------------- the batch walk ----------------

class BatchWalkTest : public TempUserTest {
 public:
  void Open(int32_t kind) {
    box = std::make_unique<CMessageBoxDlg>();
    box->SetJobKind(kind);
    h = ShowMessageBoxDlg(box.get(), 0);
    ASSERT_NE(h, 0u);
  }
  void TearDown() override {
    if (h && IsWindow(h)) DestroyWindow(h);
    box.reset();
    TempUserTest::TearDown();
  }
  std::unique_ptr<CMessageBoxDlg> box;
  HWND h = 0;
};

TEST_F(BatchWalkTest, ClosingTheBoxStopsBeforeTheNextItem) {
  ASSERT_NO_FATAL_FAILURE(Open(kDeletePictures));
  std::atomic<int> ran{0};
  std::atomic<bool> in_first{false};
  ASSERT_TRUE(box->StartWorker([&](const BatchJobControl& control) {
    RunBatch(control, kDeletePictures, 3, [&](int) {
      ++ran;
      in_first = true;
      // The item in hand ends on its own once the box is being closed.
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!control.Stopped() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
      return BatchItem::kSucceeded;
    });
  }));
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!in_first && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  ClickControl(h, u"btn_cancel");
  PumpPendingMessages();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(ran, 1);
}

TEST_F(BatchWalkTest, APhoneGoneEndsTheWalkWithTheCountDone) {
  ASSERT_NO_FATAL_FAILURE(Open(kDeletePictures));
  std::atomic<int> ran{0};
  std::atomic<bool> done{false};
  ASSERT_TRUE(box->StartWorker([&](const BatchJobControl& control) {
    RunBatch(control, kDeletePictures, 5, [&](int i) {
      ++ran;
      return i < 2 ? BatchItem::kSucceeded : BatchItem::kNoPhone;  // the phone is gone at the third item
    });
    done = true;
  }));
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  for (int i = 0; i < 5; ++i) PumpPendingMessages();
  EXPECT_EQ(ran, 3);
  EXPECT_EQ(box->GetPaintManager()->FindControl(u"lab_msg")->GetText(), u"成功删除2张图片。");
}

// ---------------- pictures ----------------

constexpr int64_t kMarch = 1772294400;  // month keys (any distinct times will do)
constexpr int64_t kFebruary = 1769875200;
constexpr int64_t kApril = 1774972800;

class PicturesTest : public MediaPagesTest {
 public:
  CPictureList* Home() { return dynamic_cast<CPictureList*>(PM().FindControl(u"picturehomelist")); }
  CControlUI* MonthRow(int64_t key) { return Home()->FindRowByUserData(picture_grid::KeyText(key).c_str()); }
  CControlUI* Sub(CControlUI* row, const char16_t* name) {
    return static_cast<CContainerUI*>(row->GetInterface(u"Container"))->FindSubControl(name);
  }
  CPictureSubList* MonthPage() { return frame->Picture().Month().Grid(); }
  void SelectOption(const char16_t* name) {
    static_cast<COptionUI*>(PM().FindControl(name)->GetInterface(u"Option"))->Selected(true);
  }
  void OpenMonth(int64_t key) {
    CControlUI* more = Sub(MonthRow(key), u"pic_show_more");
    ASSERT_NE(more, nullptr);
    Click(more);
  }
};

TEST_F(PicturesTest, MonthRowsShowFiveThumbnailsAndMoreOnlyAboveFive) {
  for (int id = 1; id <= 6; ++id) phone.AddPicture(id, kMarch);
  for (int id = 11; id <= 15; ++id) phone.AddPicture(id, kFebruary);
  SelectOption(u"pic_optn");
  Send(msg::kPictureListLoaded);
  ASSERT_EQ(Home()->GetCount(), 2);
  EXPECT_EQ(Home()->GetRowUserData(0), picture_grid::KeyText(kMarch));
  CControlUI* march = MonthRow(kMarch);
  CControlUI* february = MonthRow(kFebruary);
  EXPECT_EQ(CPictureList::GridOf(march)->GetCount(), 5);
  EXPECT_TRUE(Sub(march, u"pic_show_more")->IsVisible());
  EXPECT_EQ(Sub(march, u"pic_count")->GetText(), u"6");
  EXPECT_GE(Sub(march, u"pic_count")->GetFixedWidth(), 18);
  EXPECT_EQ(CPictureList::GridOf(february)->GetCount(), 5);
  EXPECT_FALSE(Sub(february, u"pic_show_more")->IsVisible());
  EXPECT_EQ(phone.IdsOf("RequestImageInfo"), (std::vector<int32_t>{1, 2, 3, 4, 5, 11, 12, 13, 14, 15}));
  EXPECT_EQ(TabOf(u"tab_pic_load"), 0);

  // Ticks in two months: both count; nothing ticked disables the buttons.
  CPictureSubList* grid = CPictureList::GridOf(february);
  grid->RowCheckBox(grid->GetItemAt(0))->SetCheck(true);
  CPictureList::GridOf(march)->RowCheckBox(CPictureList::GridOf(march)->GetItemAt(4))->SetCheck(true);
  Click(grid->RowCheckBox(grid->GetItemAt(0)));
  std::vector<int32_t> ids;
  frame->Picture().GetCheckedIds(ids);
  EXPECT_EQ(ids, (std::vector<int32_t>{5, 11}));
  EXPECT_TRUE(Enabled(u"delpic_btn"));
}

// Month rows come a slice per turn of the loop; ticking every picture also
// reaches the months still to come, and a month asked for by its key is
// found before they come.
TEST_F(PicturesTest, ManyMonthsFillInSlicesAndSelectAllReachesTheMonthsToCome) {
  const int64_t months[] = {1780243200, 1777564800, kApril, kMarch, kFebruary};  // newest first
  int32_t id = 0;
  for (int64_t key : months) phone.AddPicture(++id, key);
  Home()->SetFillSlice(2, 0);
  Send(msg::kPictureListLoaded);
  ASSERT_EQ(Home()->GetCount(), 2);
  EXPECT_EQ(Home()->TotalCount(), 5);
  auto* all = static_cast<CCheckBoxUI*>(PM().FindControl(u"selallpic_chk"));
  all->SetCheck(true);
  Click(all);
  EXPECT_FALSE(Home()->IsFilling());
  std::vector<int32_t> ids;
  frame->Picture().GetCheckedIds(ids);
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3, 4, 5}));

  Send(msg::kPictureListLoaded);
  ASSERT_EQ(Home()->GetCount(), 2);
  EXPECT_NE(MonthRow(kFebruary), nullptr);  // the last month, found before its turn
  ASSERT_FALSE(Home()->IsFilling());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Home()->GetRowUserData(i), picture_grid::KeyText(months[i])) << i;
}

TEST_F(PicturesTest, RemovingTheLastPictureRemovesTheRowAndANewMonthGoesOnTop) {
  phone.AddPicture(1, kMarch);
  phone.AddPicture(2, kMarch);
  phone.AddPicture(3, kFebruary);
  Send(msg::kPictureListLoaded);
  ASSERT_EQ(Home()->GetCount(), 2);
  phone.RemovePicture(3);
  Send(msg::kPictureDeleted, 3, static_cast<LPARAM>(kFebruary));
  EXPECT_EQ(Home()->GetCount(), 1);
  EXPECT_EQ(MonthRow(kFebruary), nullptr);
  phone.RemovePicture(2);
  Send(msg::kPictureDeleted, 2, static_cast<LPARAM>(kMarch));
  EXPECT_EQ(Sub(MonthRow(kMarch), u"pic_count")->GetText(), u"1");
  EXPECT_EQ(CPictureList::GridOf(MonthRow(kMarch))->GetCount(), 1);
  phone.AddPicture(40, kApril);
  Send(msg::kPictureAdded, 40, static_cast<LPARAM>(kApril));
  EXPECT_EQ(Home()->GetRowUserData(0), picture_grid::KeyText(kApril));
  // The last picture of all: the empty view.
  for (int32_t id : {1, 40}) {
    const int64_t key = id == 1 ? kMarch : kApril;
    phone.RemovePicture(id);
    Send(msg::kPictureDeleted, static_cast<WPARAM>(id), static_cast<LPARAM>(key));
  }
  EXPECT_EQ(Home()->GetCount(), 0);
  EXPECT_EQ(TabOf(u"tab_pic_load"), 2);
}

TEST_F(PicturesTest, TheMonthPageLoadsTwentyMoreNearTheEnd) {
  for (int id = 1; id <= 45; ++id) phone.AddPicture(id, kMarch);
  Send(msg::kPictureListLoaded);
  SelectOption(u"pic_optn");
  ASSERT_NO_FATAL_FAILURE(OpenMonth(kMarch));
  EXPECT_EQ(TabOf(u"tab_pic_pages"), 1);
  EXPECT_TRUE(Enabled(u"selallpic_chk"));
  CPictureSubList* grid = MonthPage();
  ASSERT_NE(grid, nullptr);
  std::vector<int> counts{grid->GetCount()};
  for (int i = 0; i < 3; ++i) {
    grid->SetPos(MakeRect(0, 0, 700, 400));  // room for two rows of thumbnails at a time
    grid->SetScrollPos(MakeSize(0, grid->GetScrollRange().cy));  // sends "scroll"
    counts.push_back(grid->GetCount());
  }
  EXPECT_EQ(counts, (std::vector<int>{20, 40, 45, 45}));
  // A picture of another month does not touch the page; one of this month goes on top.
  phone.AddPicture(50, kApril);
  Send(msg::kPictureAdded, 50, static_cast<LPARAM>(kApril));
  EXPECT_EQ(grid->GetCount(), 45);
  phone.AddPicture(51, kMarch);
  Send(msg::kPictureAdded, 51, static_cast<LPARAM>(kMarch));
  EXPECT_EQ(grid->GetRowUserData(0), u"51");
  // Select all ticks the whole page; back to the month list unticks and disables it.
  auto* all = static_cast<CCheckBoxUI*>(PM().FindControl(u"selallpic_chk"));
  all->SetCheck(true);
  Click(all);
  std::vector<int32_t> ids;
  EXPECT_TRUE(frame->Picture().GetCheckedIds(ids));
  EXPECT_EQ(ids.size(), 46u);
  ClickNamed(u"pic_show_back");
  EXPECT_EQ(TabOf(u"tab_pic_pages"), 0);
  EXPECT_FALSE(Enabled(u"selallpic_chk"));
}

TEST_F(PicturesTest, DeleteChecksForTicksBeforeItAsks) {
  phone.AddPicture(1, kMarch);
  Send(msg::kPictureListLoaded);
  CConfigMgr::Instance()->SetPictureTips(true);
  PM().FindControl(u"delpic_btn")->SetEnabled(true);
  ClickNamed(u"delpic_btn");
  EXPECT_TRUE(phone.IdsOf("DeleteImage").empty());
  CPictureSubList* grid = CPictureList::GridOf(MonthRow(kMarch));
  grid->RowCheckBox(grid->GetItemAt(0))->SetCheck(true);
  bool asked = false;
  host->PushModalScript([&](HWND box) {
    asked = true;
    ClickControl(box, u"okbtn");
  });
  ClickNamed(u"delpic_btn");
  EXPECT_TRUE(asked);
  EXPECT_EQ(phone.IdsOf("DeleteImage"), (std::vector<int32_t>{1}));
}

class ViewerTest : public PicturesTest {
 public:
  void SetUp() override {
    PicturesTest::SetUp();
    char folder[] = "/tmp/viewer_test_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    dir = folder;
  }
  void TearDown() override {
    PicturesTest::TearDown();
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
  }
  std::u16string File(const std::string& name) {
    const std::string path = dir + "/" + name;
    return unicode::Utf8ToUtf16(path.data(), path.size());
  }
  // Double-clicks the thumbnail of `id` in the month list.
  void Open(int64_t key, int32_t id) {
    CPictureSubList* grid = CPictureList::GridOf(MonthRow(key));
    ASSERT_NE(grid, nullptr);
    CControlUI* row = grid->FindRowByUserData(picture_grid::KeyText(id).c_str());
    ASSERT_NE(row, nullptr);
    TNotifyUI n;
    n.sType = DUI_MSGTYPE_ITEMDBCLICK;
    n.pSender = row;
    PM().SendNotify(n);
  }
  CPngImageUI* Image() { return static_cast<CPngImageUI*>(PM().FindControl(u"image_lbl")->GetInterface(u"PngImage")); }

  std::string dir;
};

TEST_F(ViewerTest, FitsEachPictureIntoTheViewer) {
  struct Case {
    int w, h, width, height;
  } cases[] = {{4000, 3000, 760, 570}, {1000, 3000, 190, 570}, {400, 300, 400, 300}};
  int32_t id = 1;
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + ".png";
    ASSERT_TRUE(media_test::WriteGreyPng(dir + "/" + name, c.w, c.h));
    phone.AddPicture(id++, kMarch, File(name));
  }
  Send(msg::kPictureListLoaded);
  for (int32_t i = 1; i <= 3; ++i) {
    const Case& c = cases[i - 1];
    SCOPED_TRACE(c.w);
    ASSERT_NO_FATAL_FAILURE(Open(kMarch, i));
    EXPECT_EQ(TabOf(u"tab_pic"), 1);
    EXPECT_EQ(TabOf(u"tab_show_pic_loading"), 1);
    Send(msg::kPictureDetailReady, static_cast<WPARAM>(i));
    EXPECT_EQ(phone.Calls().back().what, "LoadImage");
    Send(msg::kImageReady, static_cast<WPARAM>(i));
    EXPECT_EQ(TabOf(u"tab_show_pic_loading"), 0);
    EXPECT_EQ(Image()->GetFixedWidth(), c.width);
    EXPECT_EQ(Image()->GetFixedHeight(), c.height);
    ASSERT_NE(Image()->GetImage(), nullptr);
    EXPECT_EQ(PM().FindControl(u"image_show_verlayout")->GetFixedWidth(), c.width);
    ClickNamed(u"pic_show_close");
    EXPECT_EQ(TabOf(u"tab_pic"), 0);
  }
}

TEST_F(ViewerTest, TurnsAnExifSixJpegUprightBeforeItFits) {
  ASSERT_TRUE(media_test::WriteFile(dir + "/six.jpg", media_test::HalvesJpeg(1600, 800, 6)));
  phone.AddPicture(1, kMarch, File("six.jpg"));
  Send(msg::kPictureListLoaded);
  ASSERT_NO_FATAL_FAILURE(Open(kMarch, 1));
  Send(msg::kImageReady, 1);
  // Upright it is 800 x 1600: fitted to 570 high, 285 wide.
  EXPECT_EQ(Image()->GetFixedWidth(), 285);
  EXPECT_EQ(Image()->GetFixedHeight(), 570);
  EXPECT_EQ(Image()->GetImage()->nX, 800);
  EXPECT_EQ(Image()->GetImage()->nY, 1600);
}

TEST_F(ViewerTest, ArrowsWalkTheMonthAndOtherPicturesChangeNothing) {
  phone.AddPicture(1, kFebruary);
  for (int32_t id : {5, 6, 7}) phone.AddPicture(id, kMarch);
  Send(msg::kPictureListLoaded);
  ASSERT_NO_FATAL_FAILURE(Open(kFebruary, 1));  // one picture: no arrows
  EXPECT_FALSE(Enabled(u"pic_show_front"));
  EXPECT_FALSE(Enabled(u"pic_show_next"));
  ClickNamed(u"pic_show_close");
  ASSERT_NO_FATAL_FAILURE(Open(kMarch, 5));
  EXPECT_FALSE(Enabled(u"pic_show_front"));
  EXPECT_TRUE(Enabled(u"pic_show_next"));
  ClickNamed(u"pic_show_next");
  EXPECT_EQ(frame->Picture().Viewer().ShownId(), 6);
  EXPECT_TRUE(Enabled(u"pic_show_front"));
  EXPECT_TRUE(Enabled(u"pic_show_next"));
  ClickNamed(u"pic_show_next");
  EXPECT_EQ(frame->Picture().Viewer().ShownId(), 7);
  EXPECT_TRUE(Enabled(u"pic_show_front"));
  EXPECT_FALSE(Enabled(u"pic_show_next"));
  ClickNamed(u"pic_show_front");
  EXPECT_EQ(frame->Picture().Viewer().ShownId(), 6);
  // A full picture for another id leaves the loading view as it is.
  Send(msg::kImageReady, 5);
  EXPECT_EQ(TabOf(u"tab_show_pic_loading"), 1);
  // The thumbnail of the picture on screen ends the loading view.
  Send(msg::kThumbnailReady, 6);
  EXPECT_EQ(TabOf(u"tab_show_pic_loading"), 0);
}

}  // namespace
}  // namespace ui_test
