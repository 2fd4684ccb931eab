// A phone for the media pages' tests: records in memory, and a log of the
// calls that change something or send something (workers call it too, so
// the log has its own lock). Albums are kept as the picture manager keeps
// them: ids newest first, one per month key.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ftp/ftpcmd_tool.h"
#include "ui/pages/media_phone.h"

namespace media_test {

class FakeMediaPhone : public IMediaPhone {
 public:
  bool connected = true;
  std::vector<MusicRecord> music;
  std::vector<VideoRecord> videos;
  std::vector<ImageRecord> images;
  std::vector<PictureAlbum> albums;

  struct Call {
    std::string what;
    std::u16string text;
    int32_t id = 0;
    uintptr_t wnd = 0;  // the progress window handed with the call
    std::thread::id thread;
  };
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
  }
  std::vector<int32_t> IdsOf(const std::string& what) {
    std::vector<int32_t> ids;
    for (const Call& c : Calls())
      if (c.what == what) ids.push_back(c.id);
    return ids;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.clear();
  }

  // A picture with details, in the album of `key` (newest first: appended).
  void AddPicture(int32_t id, int64_t key, const std::u16string& cache = u"") {
    ImageRecord r;
    r.stale = 0;
    r.id = id;
    r.file = u"/storage/sdcard0/DCIM/Camera/p" + std::u16string(1, u'0' + id % 10) + u".jpg";
    r.image_cache_path = cache;
    images.push_back(r);
    auto it = std::find_if(albums.begin(), albums.end(), [&](const PictureAlbum& a) { return a.key == key; });
    if (it == albums.end()) {
      albums.push_back({key, {}});
      std::sort(albums.begin(), albums.end(), [](const PictureAlbum& a, const PictureAlbum& b) { return a.key > b.key; });
      it = std::find_if(albums.begin(), albums.end(), [&](const PictureAlbum& a) { return a.key == key; });
    }
    it->images.push_back(id);
  }
  void RemovePicture(int32_t id) {
    images.erase(std::remove_if(images.begin(), images.end(), [&](const ImageRecord& r) { return r.id == id; }),
                 images.end());
    for (PictureAlbum& a : albums) a.images.erase(std::remove(a.images.begin(), a.images.end(), id), a.images.end());
  }
  ImageRecord* Image(int32_t id) {
    for (ImageRecord& r : images)
      if (r.id == id) return &r;
    return nullptr;
  }

  bool IsConnected() override { return connected; }

  void LoadMusicList() override { Log("LoadMusicList"); }
  void RefreshMusicList() override { Log("RefreshMusicList"); }
  bool DeleteMusic(int32_t id) override { return Log("DeleteMusic", id); }
  bool ExportMusic(const std::u16string& folder, int32_t id) override { return Log("ExportMusic", id, folder); }
  bool UploadMusic(const std::u16string& path, FtpTransferContext* c) override {
    return Log("UploadMusic", 0, path, c);
  }
  std::optional<MusicRecord> FindMusicById(int32_t id) override { return Find(music, id); }
  std::vector<MusicRecord> GetMusicList() override { return music; }

  void LoadVideoList() override { Log("LoadVideoList"); }
  void RefreshVideoList() override { Log("RefreshVideoList"); }
  bool DeleteVideo(int32_t id) override { return Log("DeleteVideo", id); }
  bool ExportVideo(const std::u16string& folder, int32_t id, FtpTransferContext* c) override {
    return Log("ExportVideo", id, folder, c);
  }
  bool UploadVideo(const std::u16string& path, FtpTransferContext* c) override {
    return Log("UploadVideo", 0, path, c);
  }
  std::optional<VideoRecord> FindVideoById(int32_t id) override { return Find(videos, id); }
  std::vector<VideoRecord> GetVideoList() override { return videos; }

  void LoadImageList() override { Log("LoadImageList"); }
  void RefreshImageList() override { Log("RefreshImageList"); }
  void RequestImageInfo(std::vector<int32_t>& ids) override {
    for (int32_t id : ids) Log("RequestImageInfo", id);
  }
  bool DeleteImage(int32_t id) override { return Log("DeleteImage", id); }
  bool ImportImage(const std::u16string& path) override { return Log("ImportImage", 0, path); }
  bool ExportImage(const std::u16string& folder, int32_t id) override { return Log("ExportImage", id, folder); }
  void LoadThumbnail(int32_t id) override { Log("LoadThumbnail", id); }
  void LoadImage(int32_t id) override { Log("LoadImage", id); }
  std::optional<ImageRecord> FindImageById(int32_t id) override { return Find(images, id); }
  std::optional<PictureAlbum> FindAlbum(int64_t key) override {
    for (const PictureAlbum& a : albums)
      if (a.key == key) return a;
    return std::nullopt;
  }
  std::vector<ImageRecord> GetAlbumImages(int64_t key) override {
    std::vector<ImageRecord> out;
    if (auto a = FindAlbum(key))
      for (int32_t id : a->images)
        if (auto r = FindImageById(id)) out.push_back(*r);
    return out;
  }
  int32_t GetAlbumImageCount(int64_t key) override {
    auto a = FindAlbum(key);
    return a ? static_cast<int32_t>(a->images.size()) : 0;
  }
  std::vector<PictureAlbum> GetAlbumList() override { return albums; }
  int32_t GetPictureCount() override { return static_cast<int32_t>(images.size()); }

 private:
  template <typename R>
  static std::optional<R> Find(const std::vector<R>& v, int32_t id) {
    for (const R& r : v)
      if (r.id == id) return r;
    return std::nullopt;
  }
  bool Log(const std::string& what, int32_t id = 0, const std::u16string& text = u"",
           FtpTransferContext* c = nullptr) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back({what, text, id, c ? c->wnd : 0, std::this_thread::get_id()});
    return connected;
  }

  std::mutex lock_;  // guards calls_ (UI thread and batch workers)
  std::vector<Call> calls_;
};

}  // namespace media_test
