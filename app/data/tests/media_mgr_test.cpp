// The music and video managers against a stand-in agent on loopback: the
// lists in their orders, counts, details of several files, deletion,
// registration, the busy rule, and the reply parsers and video folders as
// tables. Transfers are in media_e2e_test.cpp (the simulated phone).
#include <gtest/gtest.h>

#include "app/data/music_mgr.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"
#include "app/data/video_mgr.h"
#include "foundation/base/code_page.h"

namespace {

using data_test::AgentAnswer;
using Posted = std::vector<std::pair<uintptr_t, intptr_t>>;

std::string Music(int id, const std::string& mt) {
  const std::string n = std::to_string(id);
  return "<music id=\"" + n + "\" file=\"/storage/sdcard0/Music/m" + n + ".mp3\" name=\"m" + n +
         "\" size=\"1000\" duration=\"2500\" artist=\"A\" albums=\"B\" mt=\"" + mt + "\"/>";
}

std::string Video(int id, const std::string& file, const std::string& name) {
  return "<video id=\"" + std::to_string(id) + "\" file=\"" + file + "\" name=\"" + name +
         "\" duration=\"61999\" size=\"5000000000\" mt=\"7\"/>";
}

template <typename Record>
std::vector<int32_t> Ids(const std::vector<Record>& records) {
  std::vector<int32_t> ids;
  for (const Record& r : records) ids.push_back(r.id);
  return ids;
}

class MediaMgrTest : public ::testing::Test {
 protected:
  void SetUp() override { message_sink::Take(); }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopFor(&music_);
    CSocketThreadMgr::Instance()->StopFor(&video_);
  }
  void LoadMusic(const std::string& payload) {
    posts_.Clear();
    agent_.Reply("music_list", payload);
    music_.RefreshMusicList();
    ASSERT_TRUE(posts_.WaitForMessage(msg::kMusicCount));
  }

  data_test::PrivateFolders folders_;
  data_test::ScriptedAgent agent_;
  data_test::Posts posts_;
  CMusicMgr music_;
  CVideoMgr video_;
};

TEST_F(MediaMgrTest, MusicNewestFirstEqualTimesInReplyOrder) {
  ASSERT_NO_FATAL_FAILURE(
      LoadMusic(Music(1, "-5") + Music(2, "100") + Music(3, "-1") + Music(4, "100") + Music(5, "abc")));
  const std::vector<MusicRecord> list = music_.GetMusicList();
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{2, 4, 5, 3, 1}));  // 100, 100, 0, -1, -5
  EXPECT_EQ(list[0].duration, 2);                              // 2500 ms
  EXPECT_EQ(list[0].file, u"/storage/sdcard0/Music/m2.mp3");
  EXPECT_EQ(list[0].artist, u"A");
  EXPECT_EQ(list[0].albums, u"B");
  EXPECT_EQ(list[0].size, 1000);
  EXPECT_EQ(posts_.Of(msg::kMusicBusy), (Posted{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kMusicListLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kMusicCount), (Posted{{5, 0}}));
  EXPECT_EQ(music_.GetCount(), 5);
  music_.LoadMusicList();  // loaded: nothing is sent
  EXPECT_EQ(agent_.Count("music_list"), 1);
}

TEST_F(MediaMgrTest, EmptyListStillTellsThePage) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic(""));
  EXPECT_TRUE(music_.GetMusicList().empty());
  EXPECT_EQ(posts_.Of(msg::kMusicBusy), (Posted{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kMusicCount), (Posted{{0, 0}}));
}

TEST_F(MediaMgrTest, CountWithoutElementRepeatsThePreviousOne) {
  agent_.Reply("music_count", "<count value=\"12\"/>");
  music_.RequestMusicCount();
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicCount, 12));
  posts_.Clear();
  agent_.Reply("music_count", "");
  music_.RequestMusicCount();
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicCount, 12));
  EXPECT_EQ(music_.GetCount(), 12);
}

TEST_F(MediaMgrTest, FailedReplyEndsTheLoadAndKeepsTheList) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic(Music(1, "1")));
  posts_.Clear();
  agent_.Set("music_list", {AgentAnswer::kReply, "<?xml version=\"1.0\"?><response result=\"0\"/>"});
  music_.RefreshMusicList();
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicBusy, 0));
  EXPECT_EQ(Ids(music_.GetMusicList()), (std::vector<int32_t>{1}));
  EXPECT_FALSE(music_.IsBusy());
}

TEST_F(MediaMgrTest, InfoTakesEveryFileOfTheReply) {
  // Before the first load a load brings every file: nothing is asked.
  music_.RequestMusicInfo({7});
  ASSERT_NO_FATAL_FAILURE(LoadMusic(""));  // loaded, and empty
  posts_.Clear();
  agent_.Reply("music_info", Music(7, "50") + Music(8, "60"));
  music_.RequestMusicInfo({7, 8});
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicCount, 2));
  ASSERT_EQ(agent_.Requests("music_info").size(), 1u);
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("music_info")[0]).find("<m id=\"7\"/><m id=\"8\"/>"), std::string::npos)
      << agent_.Requests("music_info")[0];
  EXPECT_EQ(Ids(music_.GetMusicList()), (std::vector<int32_t>{8, 7}));
  EXPECT_EQ(posts_.Of(msg::kMusicAdded), (Posted{{7, 0}, {8, 0}}));
  // A file registered again (an upload replaced it) is updated, not doubled.
  posts_.Clear();
  agent_.Reply("music_info", "<music id=\"7\" file=\"/storage/sdcard0/Music/m7.mp3\" name=\"m7\" size=\"99\" mt=\"70\"/>");
  music_.RequestMusicInfo({7});
  ASSERT_TRUE(posts_.WaitForMessage(msg::kMusicListLoaded));
  EXPECT_EQ(Ids(music_.GetMusicList()), (std::vector<int32_t>{7, 8}));
  EXPECT_EQ(music_.FindRecordById(7)->size, 99);
  EXPECT_TRUE(posts_.Of(msg::kMusicAdded).empty());
}

std::vector<std::u16string> g_sent;  // the test thread's commands (the send seam runs on the caller)
bool RecordCommand(const std::u16string& command) {
  g_sent.push_back(command);
  return true;
}

TEST_F(MediaMgrTest, WhileALoadRunsOnlyCountsAndChangesGoOut) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic(Music(1, "1")));
  agent_.Set("music_list", {AgentAnswer::kHang, ""});
  music_.RefreshMusicList();
  g_sent.clear();
  SetCommandSendHook(&RecordCommand);
  music_.RequestMusicInfo({2});
  music_.LoadMusicList();
  music_.RefreshMusicList();
  music_.RequestMusicCount();
  SetCommandSendHook(nullptr);
  EXPECT_EQ(g_sent, (std::vector<std::u16string>{u"music_count"}));
  EXPECT_TRUE(music_.IsBusy());
}

TEST_F(MediaMgrTest, AddRegistersThenAsksForTheNewFile) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic(Music(1, "1")));
  posts_.Clear();
  agent_.Reply("music_add", "<m id=\"9\"/>");
  agent_.Reply("music_info", Music(9, "5"));
  music_.AddMusic(u"sdcard/Tamsil/Music/a b 晴天.mp3");
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicAdded, 9));
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("music_add").at(0)).find("method=\"POST\""), std::string::npos);
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("music_add").at(0)).find("<file file=\"sdcard/Tamsil/Music/a b 晴天.mp3\"/>"),
            std::string::npos)
      << agent_.Requests("music_add").at(0);
  EXPECT_EQ(Ids(music_.GetMusicList()), (std::vector<int32_t>{9, 1}));
}

TEST_F(MediaMgrTest, DeleteRemovesTheFileAndTellsThePage) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic(Music(1, "1") + Music(2, "2")));
  posts_.Clear();
  music_.DeleteMusic(1);  // synchronous: handled on return
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("music_del").at(0)).find("<m id=\"1\"/>"), std::string::npos);
  EXPECT_EQ(Ids(music_.GetMusicList()), (std::vector<int32_t>{2}));
  EXPECT_EQ(posts_.Of(msg::kMusicDeleted), (Posted{{1, 0}}));
  EXPECT_EQ(posts_.Of(msg::kMusicCount), (Posted{{1, 0}}));
  EXPECT_EQ(posts_.Of(msg::kPhoneContentChanged).size(), 1u);
}

TEST_F(MediaMgrTest, VideosByFolderThenNameIgnoringCase) {
  posts_.Clear();
  agent_.Reply("video_list", Video(1, "/storage/sdcard0/movies/b.mp4", "B.mp4") +
                                 Video(2, "/storage/sdcard0/Movies/a.mp4", "a.mp4") +
                                 Video(3, "/storage/sdcard0/DCIM/c.mp4", "c.mp4") + Video(4, "x.mp4", "x.mp4"));
  video_.RefreshVideoList();
  ASSERT_TRUE(posts_.WaitFor(msg::kVideoBusy, 0));
  const std::vector<VideoRecord> list = video_.GetVideoList();
  // "sdcard/" < "sdcard/DCIM/" < "sdcard/Movies/" = "sdcard/movies/"
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 3, 2, 1}));
  EXPECT_EQ(list[0].duration, 61);
  EXPECT_EQ(list[0].size, 5000000000);
  EXPECT_EQ(posts_.Of(msg::kVideoListLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kVideoCount), (Posted{{4, 0}}));
  // Its own commands and children.
  posts_.Clear();
  video_.DeleteVideo(3);
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("video_del").at(0)).find("<v id=\"3\"/>"), std::string::npos);
  EXPECT_EQ(posts_.Of(msg::kVideoDeleted), (Posted{{3, 0}}));
}

TEST_F(MediaMgrTest, TransfersRefuseWhatIsNoPlainFile) {
  ASSERT_NO_FATAL_FAILURE(LoadMusic("<music id=\"1\" file=\"/storage/sdcard0/Music/..\" mt=\"1\"/>"
                                    "<music id=\"2\" file=\"/storage/sdcard0/Music/\" mt=\"1\"/>"));
  const std::u16string folder = AnsiToWString(folders_.folder().path());
  EXPECT_FALSE(music_.ExportMusic(folder, 3));
  EXPECT_FALSE(music_.ExportMusic(folder, 1));
  EXPECT_FALSE(music_.ExportMusic(folder, 2));
  // Uploads of a folder, of a path ending in "/" and of a missing file go nowhere.
  for (const std::u16string& local : {folder, folder + u"/", folder + u"/none.mp3"})
    EXPECT_FALSE(music_.UploadMusic(local, nullptr)) << WStringToAnsi(local);
  EXPECT_EQ(agent_.Count("music_add"), 0);
}

TEST(VideoFolderTest, DerivedFromThePath) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
  } cases[] = {
      {u"/storage/sdcard0/Movies/a.mp4", u"sdcard/Movies/"},
      {u"/storage/emulated/0/DCIM/a.mp4", u"sdcard//storage/emulated/0/DCIM/"},
      {u"a.mp4", u"sdcard/"},
      {u"", u"sdcard/"},
      {u"/mnt/storage/sdcard0/x/storage/sdcard0/y/v.mp4", u"sdcard/x/storage/sdcard0/y/"},
      {u"/storage/sdcard0/", u"sdcard/"},
  };
  for (const Case& c : cases) EXPECT_EQ(VideoFolderOf(c.path), c.folder) << WStringToAnsi(c.path);
}

TEST(CompareIgnoringCaseTest, FoldsAsciiOnly) {
  EXPECT_EQ(CompareIgnoringCase(u"Movies", u"movies"), 0);
  EXPECT_LT(CompareIgnoringCase(u"a", u"B"), 0);
  EXPECT_LT(CompareIgnoringCase(u"ab", u"ABC"), 0);
  EXPECT_LT(CompareIgnoringCase(u"_", u"A"), 0);  // folded to lower case: '_' (95) before 'a' (97)
  EXPECT_NE(CompareIgnoringCase(u"É", u"é"), 0);
}

}  // namespace
