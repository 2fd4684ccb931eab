// The picture manager against a stand-in agent on loopback: the list
// newest first, albums by month in local time (TZ fixed), details asked
// only for what is missing, photos added and deleted with their whole
// album keys, the busy rule of the thumbnails, an import whose upload
// fails. Fetches over FTP are in media_e2e_test.cpp (the simulated phone).
#include "app/data/picture_mgr.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "app/adb/tests/closed_port.h"
#include "app/config/config_mgr.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"
#include "app/data/sms_utility.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"

namespace {

using data_test::AgentAnswer;
using Posted = std::vector<std::pair<uintptr_t, intptr_t>>;

constexpr int64_t kHour = 3600;

// A UTC time, from its calendar fields.
int64_t Utc(int year, int month, int day, int hour) {
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  return static_cast<int64_t>(timegm(&t));
}

// China Standard Time (UTC+8, no daylight saving) for every test here.
class FixedZone {
 public:
  FixedZone() {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", "CST-8", 1);
    tzset();
  }
  ~FixedZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

// Local times in UTC+8.
int64_t Local(int year, int month, int day, int hour) { return Utc(year, month, day, hour) - 8 * kHour; }

std::string Entry(int id, int64_t modtm, int64_t addtm = 0) {
  return "<p id=\"" + std::to_string(id) + "\" addtm=\"" + std::to_string(addtm) + "\" modtm=\"" +
         std::to_string(modtm) + "\"/>";
}

std::string Details(int id, int64_t modtm) {
  return "<p id=\"" + std::to_string(id) + "\" addtm=\"1\" modtm=\"" + std::to_string(modtm) +
         "\" size=\"2048\" file=\"/storage/sdcard0/DCIM/Camera/IMG " + std::to_string(id) +
         ".jpg\" thumb=\"/storage/sdcard0/DCIM/.thumbnails/" + std::to_string(id) +
         ".jpg\" bucket=\"Camera\" width=\"64\" height=\"48\"/>";
}

std::vector<int32_t> Ids(const std::vector<ImageRecord>& records) {
  std::vector<int32_t> ids;
  for (const ImageRecord& r : records) ids.push_back(r.id);
  return ids;
}

TEST(AlbumKeyTest, MonthStartInLocalTime) {
  FixedZone zone;
  struct Case {
    const char* name;
    int64_t modtm;
    int64_t addtm;
    int64_t key;
  } cases[] = {
      {"2 March 10:00 -> 1 March 00:00", Local(2026, 3, 2, 10), 0, Local(2026, 3, 1, 0)},
      {"1 March 00:00 is its own month", Local(2026, 3, 1, 0), 0, Local(2026, 3, 1, 0)},
      {"the last hour of February", Local(2026, 3, 1, 0) - 1, 0, Local(2026, 2, 1, 0)},
      {"1 March 02:00 local is still February in UTC", Utc(2026, 2, 28, 18), 0, Local(2026, 3, 1, 0)},
      {"beyond 32 bits", Local(2200, 7, 9, 12), 0, Local(2200, 7, 1, 0)},
      {"before 1970", Local(1969, 5, 20, 0), 0, Local(1969, 5, 1, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(AlbumKeyOf(c.modtm, c.addtm), c.key) << c.name;
}

TEST(PictureCacheNameTest, Names) {
  EXPECT_EQ(ImageCacheFile(u"/c/photos/", u"/storage/sdcard0/DCIM/a.jpg"),
            u"/c/photos/" + MakeTextKey(u"/storage/sdcard0/DCIM/a.jpg") + u".jpg");
  EXPECT_EQ(ThumbnailCacheFile(u"/c/thumbs/", u"/storage/sdcard0/DCIM/.thumbnails/7.jpg"), u"/c/thumbs/7.jpg");
  EXPECT_EQ(ThumbnailCacheFile(u"/c/thumbs/", u"/storage/sdcard0/DCIM/.thumbnails/.."), u"");
  EXPECT_EQ(ThumbnailCacheFile(u"/c/thumbs/", u""), u"");
}

class PictureMgrTest : public ::testing::Test {
 protected:
  void SetUp() override { message_sink::Take(); }
  void TearDown() override { CSocketThreadMgr::Instance()->StopFor(pictures_.get()); }
  void Load(const std::string& payload) {
    posts_.Clear();
    agent_.Reply("image_list", payload);
    pictures_->RefreshImageList();
    ASSERT_TRUE(posts_.WaitForMessage(msg::kPictureCount));
  }
  void Info(std::vector<int32_t> ids, const std::string& payload) {
    posts_.Clear();
    agent_.Reply("image_info", payload);
    pictures_->RequestImageInfo(ids);
    ASSERT_TRUE(posts_.WaitFor([](const PostedMessage& m) {
      return m.message == msg::kPictureDetailReady || m.message == msg::kPictureCount;
    }));
  }

  FixedZone zone_;
  data_test::PrivateFolders folders_;
  data_test::ScriptedAgent agent_;
  data_test::Posts posts_;
  std::unique_ptr<CPictureMgr> pictures_ = std::make_unique<CPictureMgr>();
};

TEST_F(PictureMgrTest, ListNewestFirstInMonthAlbums) {
  const int64_t march = Local(2026, 3, 1, 0);
  const int64_t february = Local(2026, 2, 1, 0);
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, Local(2026, 2, 10, 9)) + Entry(2, Local(2026, 3, 2, 10)) +
                               Entry(3, Local(2026, 3, 31, 23)) + Entry(4, Local(2026, 2, 28, 23))));
  EXPECT_EQ(posts_.Of(msg::kPictureBusy), (Posted{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kPictureListLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kPictureCount), (Posted{{4, 0}}));
  const std::vector<PictureAlbum> albums = pictures_->GetAlbumList();
  ASSERT_EQ(albums.size(), 2u);
  EXPECT_EQ(albums[0].key, march);
  EXPECT_EQ(albums[0].images, (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(albums[1].key, february);
  EXPECT_EQ(albums[1].images, (std::vector<int32_t>{4, 1}));
  EXPECT_EQ(Ids(pictures_->GetAlbumImages(february)), (std::vector<int32_t>{4, 1}));
  EXPECT_EQ(pictures_->GetAlbumImageCount(march), 2);
  EXPECT_EQ(pictures_->GetAlbumImageCount(march + 1), 0);
  EXPECT_FALSE(pictures_->FindAlbum(march + 1).has_value());
  EXPECT_TRUE(pictures_->NeedsDetails(2));
  EXPECT_TRUE(pictures_->NeedsDetails(99));
  EXPECT_EQ(pictures_->GetCount(), 4);
  pictures_->LoadImageList();  // listed: nothing is sent
  EXPECT_EQ(agent_.Count("image_list"), 1);
}

TEST_F(PictureMgrTest, DetailsAreAskedOnlyForWhatIsMissing) {
  const int64_t when = Local(2026, 3, 2, 10);
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, when) + Entry(2, when - 10)));
  ASSERT_NO_FATAL_FAILURE(Info({1}, Details(1, when)));
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 1));
  const ImageRecord one = *pictures_->FindImageById(1);
  EXPECT_EQ(one.stale, 0);
  EXPECT_EQ(one.file, u"/storage/sdcard0/DCIM/Camera/IMG 1.jpg");
  EXPECT_EQ(one.bucket, u"Camera");
  EXPECT_EQ(one.width, 64);
  EXPECT_EQ(one.height, 48);
  EXPECT_EQ(one.size, 2048);
  // 1 is known: answered at once and taken out of the list; 2 is asked for.
  std::vector<int32_t> ids{1, 2};
  posts_.Clear();
  agent_.Reply("image_info", Details(2, when - 10));
  pictures_->RequestImageInfo(ids);
  EXPECT_EQ(ids, (std::vector<int32_t>{2}));
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 2));
  EXPECT_EQ(posts_.Of(msg::kPictureDetailReady), (Posted{{1, 0}, {2, 0}}));
  ASSERT_EQ(agent_.Requests("image_info").size(), 2u);
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("image_info")[1]).find("<p id=\"2\"/></cmd>"), std::string::npos)
      << agent_.Requests("image_info")[1];
  // Only known ids: nothing is sent, the list ends empty.
  ids = {2, 1};
  pictures_->RequestImageInfo(ids);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(agent_.Requests("image_info").size(), 2u);
}

TEST_F(PictureMgrTest, NewPhotoJoinsItsAlbumWithTheWholeKey) {
  const int64_t far = Local(2200, 7, 9, 12);
  const int64_t far_key = Local(2200, 7, 1, 0);
  ASSERT_GT(far_key, int64_t{1} << 32);
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, Local(2026, 3, 2, 10))));
  ASSERT_NO_FATAL_FAILURE(Info({5}, Details(5, far)));
  EXPECT_EQ(posts_.Of(msg::kPictureAdded), (Posted{{5, static_cast<intptr_t>(far_key)}}));
  EXPECT_EQ(posts_.Of(msg::kPictureCount), (Posted{{2, 0}}));
  const std::vector<PictureAlbum> albums = pictures_->GetAlbumList();
  ASSERT_EQ(albums.size(), 2u);
  EXPECT_EQ(albums[0].key, far_key);  // larger key first
  EXPECT_EQ(albums[0].images, (std::vector<int32_t>{5}));
  // A second one of the same month goes before the older one.
  ASSERT_NO_FATAL_FAILURE(Info({6}, Details(6, far + kHour)));
  EXPECT_EQ(pictures_->FindAlbum(far_key)->images, (std::vector<int32_t>{6, 5}));
}

TEST_F(PictureMgrTest, DeletingTheLastPhotoOfAMonthLeavesItsAlbum) {
  const int64_t far_key = Local(2200, 7, 1, 0);
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, Local(2026, 3, 2, 10)) + Entry(2, Local(2200, 7, 2, 0))));
  posts_.Clear();
  pictures_->DeleteImage(2);  // synchronous
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("image_del").at(0)).find("method=\"POST\""), std::string::npos);
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("image_del").at(0)).find("<p id=\"2\"/>"), std::string::npos);
  EXPECT_EQ(posts_.Of(msg::kPictureDeleted), (Posted{{2, static_cast<intptr_t>(far_key)}}));
  EXPECT_EQ(posts_.Of(msg::kPictureCount), (Posted{{1, 0}}));
  ASSERT_TRUE(pictures_->FindAlbum(far_key).has_value());
  EXPECT_TRUE(pictures_->FindAlbum(far_key)->images.empty());
  EXPECT_FALSE(pictures_->FindImageById(2).has_value());
  // An id no album holds: key 0.
  posts_.Clear();
  pictures_->DeleteImage(42);
  EXPECT_EQ(posts_.Of(msg::kPictureDeleted), (Posted{{42, 0}}));
}

TEST_F(PictureMgrTest, DetailsWaitForTheListAndAddAsksForThem) {
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, 100)));
  agent_.Set("image_list", {AgentAnswer::kHang, ""});
  pictures_->RefreshImageList();
  ASSERT_TRUE(pictures_->IsBusy());
  posts_.Clear();
  std::vector<int32_t> ids{1};
  pictures_->RequestImageInfo(ids);
  EXPECT_EQ(agent_.Count("image_info"), 0);
  CSocketThreadMgr::Instance()->StopFor(pictures_.get());
  pictures_->SetBusy(false);
  // image_add: the new id's details are asked for.
  agent_.Reply("image_add", "<p id=\"8\"/>");
  agent_.Reply("image_info", Details(8, 200));
  pictures_->AddImage(u"sdcard/DCIM/Camera/新 图.jpg");
  ASSERT_TRUE(posts_.WaitForMessage(msg::kPictureAdded));
  EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("image_add").at(0)).find("<file path=\"sdcard/DCIM/Camera/新 图.jpg\"/>"),
            std::string::npos);
  EXPECT_EQ(pictures_->FindImageById(8)->stale, 0);
}

TEST_F(PictureMgrTest, ImportReportsAFailedUpload) {
  testing_support::ClosedPort ftp;
  ASSERT_NE(ftp.port(), 0);
  CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", ftp.port());
  const std::string local = folders_.folder().path() + "/a.jpg";
  FILE* f = fopen(local.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("jpeg", f);
  fclose(f);
  EXPECT_FALSE(pictures_->AdbCopyFile(AnsiToWString(local)));
  EXPECT_EQ(agent_.Count("image_add"), 0);
}

// A thumbnail or full image asked for before the photo's details: the
// details are asked for and nothing is posted; once they are there the file
// is fetched (here: found in the cache) and only then announced.
TEST_F(PictureMgrTest, APictureWithoutDetailsIsAnnouncedOnlyWithItsFile) {
  CConfigMgr::Instance()->SetPhonePaths(u"SER123");
  struct Case {
    const char* name;
    void (CPictureMgr::*load)(int32_t);
    uint32_t ready;
    std::u16string cache_file;
  } cases[] = {
      {"thumbnail", &CPictureMgr::LoadThumbnail, msg::kThumbnailReady,
       ThumbnailCacheFile(CConfigMgr::Instance()->GetThumbnailCachePath(), u"/storage/sdcard0/DCIM/.thumbnails/1.jpg")},
      {"image", &CPictureMgr::LoadImage, msg::kImageReady,
       ImageCacheFile(CConfigMgr::Instance()->GetPhotoCachePath(), u"/storage/sdcard0/DCIM/Camera/IMG 1.jpg")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Load(Entry(1, 100)));
    posts_.Clear();
    agent_.Reply("image_info", Details(1, 100));
    (pictures_.get()->*c.load)(1);
    ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 1));
    EXPECT_TRUE(posts_.Of(c.ready).empty()) << "announced without a file";
    EXPECT_NE(data_test::WithoutBreaks(agent_.Requests("image_info").back()).find("<p id=\"1\"/>"),
              std::string::npos);
    const std::string file = WStringToAnsi(c.cache_file);
    FILE* f = fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr) << file;
    fputs("jpeg", f);
    fclose(f);
    (pictures_.get()->*c.load)(1);  // as the page does on 1275
    ASSERT_TRUE(posts_.WaitFor(c.ready, 1));
  }
  // Details that name no thumbnail: nothing to fetch, nothing announced.
  ASSERT_NO_FATAL_FAILURE(Info({2}, "<p id=\"2\" addtm=\"1\" modtm=\"50\" size=\"9\" file=\"/sdcard/b.jpg\"/>"));
  const size_t asked = agent_.Requests("image_info").size();
  posts_.Clear();
  pictures_->LoadThumbnail(2);
  EXPECT_EQ(agent_.Requests("image_info").size(), asked);
  EXPECT_TRUE(posts_.All().empty());
}

TEST_F(PictureMgrTest, GoingAwayWithFetchesQueuedIsSafe) {
  ASSERT_NO_FATAL_FAILURE(Load(Entry(1, 100) + Entry(2, 200)));
  ASSERT_NO_FATAL_FAILURE(Info({1, 2}, Details(1, 100) + Details(2, 200)));
  testing_support::ClosedPort ftp;
  CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", ftp.port());
  for (int i = 0; i < 20; ++i) {
    pictures_->LoadImage(1 + i % 2);
    pictures_->LoadThumbnail(1 + i % 2);
  }
  CSocketThreadMgr::Instance()->StopFor(pictures_.get());
  pictures_.reset();  // the queue stops before the records go
}

}  // namespace
