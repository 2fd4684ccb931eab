// The music, video and picture managers end to end: the real adb and the
// simulated phone's agent and FTP server (its fixture: three songs, two
// videos, three photos with thumbnails). Files whose names hold blanks and
// Chinese characters go up, are listed with their sizes, come back byte
// for byte and are deleted; a cut download leaves nothing in the caches or
// the export folder.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/data/music_mgr.h"
#include "app/data/picture_mgr.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/sim_phone.h"
#include "app/data/video_mgr.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream out;
  out << in.rdbuf();
  return in ? out.str() : std::string("<missing>");
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The names in a folder ("." and ".." left out).
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

// Content no two offsets of which repeat within a block: a shifted or cut
// copy does not compare equal.
std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

template <typename Record>
std::vector<int32_t> Ids(const std::vector<Record>& records) {
  std::vector<int32_t> ids;
  for (const Record& r : records) ids.push_back(r.id);
  return ids;
}

class MediaSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone_.Start()) << phone_.sim.Failure();
    testing_support::PointProgramAtSim(phone_.sim);
    CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", phone_.sim.Port("ftp_port"));
    mkdir(Local("in").c_str(), 0700);
    mkdir(Local("out").c_str(), 0700);
    message_sink::Take();
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    EXPECT_EQ(phone_.sim.Errors(), "[]");
    phone_.sim.Stop();
  }
  std::string Local(const std::string& name) const { return folders_.folder().File(name); }
  // A file of the phone, in the simulator's folder.
  std::string OnPhone(const std::u16string& device_path) const {
    return phone_.sim.Field("root") + WStringToAnsi(device_path);
  }
  std::string ThumbnailCache() const { return WStringToAnsi(CConfigMgr::Instance()->GetThumbnailCachePath()); }
  std::string PhotoCache() const { return WStringToAnsi(CConfigMgr::Instance()->GetPhotoCachePath()); }

  // Upload, listing with the size, export byte for byte (with progress to
  // `export_progress` when given), delete: the steps music and video share.
  // `phone_folder` is where the upload must land.
  template <typename Record>
  void RoundTrip(CMediaMgr<Record>& media, const MediaKind& kind, const std::string& name,
                 const std::u16string& phone_folder, FtpTransferContext* export_progress) {
    posts_.Clear();
    media.RefreshList();
    ASSERT_TRUE(posts_.WaitFor(kind.busy_message, 0));
    const int32_t before = media.GetCount();
    const std::string bytes = Pattern(300 * 1024 + 7, static_cast<unsigned>(name.size()));
    const std::string source = Local("in/" + name);
    WriteAll(source, bytes);
    posts_.Clear();
    ASSERT_TRUE(media.Upload(AnsiToWString(source), nullptr));
    ASSERT_TRUE(posts_.WaitForMessage(kind.added_message));
    EXPECT_EQ(posts_.Of(msg::kPhoneContentChanged).size(), 1u);
    const int32_t id = static_cast<int32_t>(posts_.Of(kind.added_message).at(0).first);
    const std::optional<Record> record = media.FindRecordById(id);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->file, u"/storage/sdcard0/" + phone_folder + AnsiToWString(name));
    EXPECT_EQ(record->size, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(media.GetCount(), before + 1);
    EXPECT_EQ(ReadAll(OnPhone(record->file)) == bytes, true);

    ASSERT_TRUE(media.Export(AnsiToWString(Local("out")), id, export_progress));
    EXPECT_EQ(ReadAll(Local("out/" + name)) == bytes, true);
    EXPECT_EQ(Names(Local("out")), (std::vector<std::string>{name}));  // no temporary left
    if (export_progress != nullptr) {
      EXPECT_TRUE(posts_.WaitFor([&](const PostedMessage& m) {
        return m.wnd == export_progress->wnd && m.message == msg::kFtpProgress && m.lParam == 100;
      }, 0));
    }

    posts_.Clear();
    media.DeleteRecord(id);
    EXPECT_EQ(posts_.Of(kind.deleted_message).size(), 1u);
    EXPECT_FALSE(media.FindRecordById(id).has_value());
    EXPECT_EQ(media.GetCount(), before);
    EXPECT_FALSE(Exists(OnPhone(record->file)));
  }

  data_test::PrivateFolders folders_;
  data_test::SimPhone phone_;
  data_test::Posts posts_;
};

TEST_F(MediaSimTest, MusicUpAddInfoExportDelete) {
  CMusicMgr music;
  posts_.Clear();
  music.LoadMusicList();
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicBusy, 0));
  EXPECT_EQ(Ids(music.GetMusicList()), (std::vector<int32_t>{2, 3, 1}));  // equal times in the phone's order
  ASSERT_NO_FATAL_FAILURE(RoundTrip(music, CMusicMgr::kKind, "a b 晴天 歌.mp3", u"Tamsil/Music/", nullptr));
}

TEST_F(MediaSimTest, VideoUpAddInfoExportWithProgressDelete) {
  CVideoMgr videos;
  posts_.Clear();
  videos.LoadVideoList();
  ASSERT_TRUE(posts_.WaitFor(msg::kVideoBusy, 0));
  const std::vector<VideoRecord> list = videos.GetVideoList();
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{2, 1}));  // sdcard/DCIM/Camera/ before sdcard/Movies/
  EXPECT_EQ(list.at(1).folder, u"sdcard/Movies/");
  FtpTransferContext progress;
  progress.wnd = 0x7e57;
  ASSERT_NO_FATAL_FAILURE(RoundTrip(videos, CVideoMgr::kKind, "海 边 clip 2.mp4", u"Tamsil/Video/", &progress));
}

TEST_F(MediaSimTest, PicturesImportCacheExportDelete) {
  CPictureMgr pictures;
  posts_.Clear();
  pictures.LoadImageList();
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureBusy, 0));
  EXPECT_EQ(pictures.GetCount(), 3);
  EXPECT_EQ(pictures.GetAlbumList().size(), 2u);  // March (two photos), February

  // Import a photo whose name holds a blank and Chinese characters.
  const std::string jpeg = ReadAll(phone_.sim.Field("root") + "/storage/sdcard0/DCIM/Camera/IMG_20260302_100000.jpg");
  const std::string source = Local("in/新 图 1.jpg");
  WriteAll(source, jpeg);
  posts_.Clear();
  ASSERT_TRUE(pictures.AdbCopyFile(AnsiToWString(source)));
  ASSERT_TRUE(posts_.WaitForMessage(msg::kPictureAdded));
  const auto added = posts_.Of(msg::kPictureAdded).at(0);
  const int32_t id = static_cast<int32_t>(added.first);
  const ImageRecord record = *pictures.FindImageById(id);
  EXPECT_EQ(record.file, u"/storage/sdcard0/DCIM/Camera/新 图 1.jpg");
  EXPECT_EQ(record.size, static_cast<int64_t>(jpeg.size()));
  EXPECT_EQ(record.width, 64);
  EXPECT_EQ(record.height, 48);
  EXPECT_EQ(added.second, static_cast<intptr_t>(AlbumKeyOf(record.modtm, record.addtm)));
  EXPECT_EQ(pictures.GetCount(), 4);

  // The thumbnail asked for twice is fetched once.
  posts_.Clear();
  pictures.LoadThumbnail(id);
  pictures.LoadThumbnail(id);
  pictures.LoadImage(id);  // queued behind: the thumbnail jobs have ended when it posts
  ASSERT_TRUE(posts_.WaitFor(msg::kImageReady, static_cast<uintptr_t>(id)));
  EXPECT_EQ(posts_.Of(msg::kThumbnailReady).size(), 1u);
  const ImageRecord cached = *pictures.FindImageById(id);
  EXPECT_EQ(cached.thumbnail_cache_path, AnsiToWString(ThumbnailCache() + std::to_string(id) + ".jpg"));
  EXPECT_EQ(ReadAll(WStringToAnsi(cached.thumbnail_cache_path)) == ReadAll(OnPhone(record.thumb)), true);
  EXPECT_EQ(ReadAll(WStringToAnsi(cached.image_cache_path)) == jpeg, true);
  // From the cache now, even with the phone's files gone.
  ASSERT_EQ(unlink(OnPhone(record.thumb).c_str()), 0);
  posts_.Clear();
  pictures.LoadThumbnail(id);
  EXPECT_EQ(posts_.Of(msg::kThumbnailReady).size(), 1u);  // posted on the spot

  // Export from the cache, and a photo without a cached file straight from the phone.
  ASSERT_TRUE(pictures.ExportImage(AnsiToWString(Local("out")), id));
  EXPECT_EQ(ReadAll(Local("out/新 图 1.jpg")) == jpeg, true);
  std::vector<int32_t> ids{3};
  posts_.Clear();
  pictures.RequestImageInfo(ids);
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 3));
  ASSERT_TRUE(pictures.ExportImage(AnsiToWString(Local("out")), 3));
  EXPECT_EQ(ReadAll(Local("out/Screenshot_20260301.jpg")) ==
                ReadAll(OnPhone(u"/storage/sdcard0/Pictures/截图/Screenshot_20260301.jpg")),
            true);

  posts_.Clear();
  pictures.DeleteImage(id);
  EXPECT_EQ(posts_.Of(msg::kPictureDeleted),
            (std::vector<std::pair<uintptr_t, intptr_t>>{{static_cast<uintptr_t>(id), added.second}}));
  EXPECT_FALSE(Exists(OnPhone(record.file)));
  EXPECT_EQ(pictures.GetCount(), 3);
}

TEST_F(MediaSimTest, CutDownloadLeavesNothingBehind) {
  CPictureMgr pictures;
  CMusicMgr music;
  posts_.Clear();
  pictures.LoadImageList();
  music.LoadMusicList();
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureBusy, 0));
  ASSERT_TRUE(posts_.WaitFor(msg::kMusicBusy, 0));
  std::vector<int32_t> ids{1, 2};
  pictures.RequestImageInfo(ids);
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 2));
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureDetailReady, 1));

  ASSERT_TRUE(phone_.Fault("ftpcut=64"));
  posts_.Clear();
  pictures.LoadThumbnail(2);
  pictures.LoadImage(1);
  ASSERT_TRUE(posts_.WaitFor(msg::kImageReady, 1));
  ASSERT_TRUE(posts_.WaitFor(msg::kThumbnailReady, 2));
  EXPECT_EQ(pictures.FindImageById(1)->image_cache_path, u"");
  EXPECT_EQ(pictures.FindImageById(2)->thumbnail_cache_path, u"");
  EXPECT_EQ(Names(PhotoCache()), std::vector<std::string>{});
  EXPECT_EQ(Names(ThumbnailCache()), std::vector<std::string>{});
  EXPECT_FALSE(music.ExportMusic(AnsiToWString(Local("out")), 1));
  EXPECT_EQ(Names(Local("out")), std::vector<std::string>{});

  // With the link whole again the next request fetches the whole file.
  ASSERT_TRUE(phone_.Clear());
  posts_.Clear();
  pictures.LoadImage(1);
  ASSERT_TRUE(posts_.WaitFor(msg::kImageReady, 1));
  const ImageRecord one = *pictures.FindImageById(1);
  ASSERT_FALSE(one.image_cache_path.empty());
  EXPECT_EQ(ReadAll(WStringToAnsi(one.image_cache_path)) == ReadAll(OnPhone(one.file)), true);
}

}  // namespace
