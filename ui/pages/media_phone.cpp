#include "ui/pages/media_phone.h"

#include <memory>

#include "app/data/phone.h"

namespace {

// Each call takes the phone of the moment and holds it for that call only.
class CProgramMediaPhone : public IMediaPhone {
 public:
  bool IsConnected() override { return CurrentPhone() != nullptr; }

  void LoadMusicList() override { Do([](CPhone& p) { p.LoadMusicList(); }); }
  void RefreshMusicList() override { Do([](CPhone& p) { p.RefreshMusicList(); }); }
  bool DeleteMusic(int32_t id) override { return Do([id](CPhone& p) { p.DeleteMusic(id); }); }
  bool ExportMusic(const std::u16string& folder, int32_t id) override {
    return Ask(false, [&](CPhone& p) { return p.ExportMusic(folder, id); });
  }
  bool UploadMusic(const std::u16string& path, FtpTransferContext* context) override {
    return Ask(false, [&](CPhone& p) { return p.UploadMusic(path, context); });
  }
  std::optional<MusicRecord> FindMusicById(int32_t id) override {
    return Ask(std::optional<MusicRecord>(), [id](CPhone& p) { return p.FindMusicById(id); });
  }
  std::vector<MusicRecord> GetMusicList() override {
    return Ask(std::vector<MusicRecord>(), [](CPhone& p) { return p.GetMusicList(); });
  }

  void LoadVideoList() override { Do([](CPhone& p) { p.LoadVideoList(); }); }
  void RefreshVideoList() override { Do([](CPhone& p) { p.RefreshVideoList(); }); }
  bool DeleteVideo(int32_t id) override { return Do([id](CPhone& p) { p.DeleteVideo(id); }); }
  bool ExportVideo(const std::u16string& folder, int32_t id, FtpTransferContext* context) override {
    return Ask(false, [&](CPhone& p) { return p.ExportVideo(folder, id, context); });
  }
  bool UploadVideo(const std::u16string& path, FtpTransferContext* context) override {
    return Ask(false, [&](CPhone& p) { return p.UploadVideo(path, context); });
  }
  std::optional<VideoRecord> FindVideoById(int32_t id) override {
    return Ask(std::optional<VideoRecord>(), [id](CPhone& p) { return p.FindVideoById(id); });
  }
  std::vector<VideoRecord> GetVideoList() override {
    return Ask(std::vector<VideoRecord>(), [](CPhone& p) { return p.GetVideoList(); });
  }

  void LoadImageList() override { Do([](CPhone& p) { p.LoadImageList(); }); }
  void RefreshImageList() override { Do([](CPhone& p) { p.RefreshImageList(); }); }
  void RequestImageInfo(std::vector<int32_t>& ids) override { Do([&](CPhone& p) { p.RequestImageInfo(ids); }); }
  bool DeleteImage(int32_t id) override { return Do([id](CPhone& p) { p.DeleteImage(id); }); }
  bool ImportImage(const std::u16string& path) override {
    return Ask(false, [&](CPhone& p) { return p.ImportImage(path); });
  }
  bool ExportImage(const std::u16string& folder, int32_t id) override {
    return Ask(false, [&](CPhone& p) { return p.ExportImage(folder, id); });
  }
  void LoadThumbnail(int32_t id) override { Do([id](CPhone& p) { p.LoadThumbnail(id); }); }
  void LoadImage(int32_t id) override { Do([id](CPhone& p) { p.LoadImage(id); }); }
  std::optional<ImageRecord> FindImageById(int32_t id) override {
    return Ask(std::optional<ImageRecord>(), [id](CPhone& p) { return p.FindImageById(id); });
  }
  std::optional<PictureAlbum> FindAlbum(int64_t key) override {
    return Ask(std::optional<PictureAlbum>(), [key](CPhone& p) { return p.FindAlbum(key); });
  }
  std::vector<ImageRecord> GetAlbumImages(int64_t key) override {
    return Ask(std::vector<ImageRecord>(), [key](CPhone& p) { return p.GetAlbumImages(key); });
  }
  int32_t GetAlbumImageCount(int64_t key) override {
    return Ask(0, [key](CPhone& p) { return p.GetAlbumImageCount(key); });
  }
  std::vector<PictureAlbum> GetAlbumList() override {
    return Ask(std::vector<PictureAlbum>(), [](CPhone& p) { return p.GetImageList(); });
  }
  int32_t GetPictureCount() override { return Ask(0, [](CPhone& p) { return p.GetPictureCount(); }); }

 private:
  template <typename F>
  static bool Do(F&& f) {
    std::shared_ptr<CPhone> phone = CurrentPhone();
    if (!phone) return false;
    f(*phone);
    return true;
  }
  template <typename T, typename F>
  static T Ask(T none, F&& f) {
    std::shared_ptr<CPhone> phone = CurrentPhone();
    return phone ? f(*phone) : none;
  }
};

CProgramMediaPhone g_program_phone;
IMediaPhone* g_phone = &g_program_phone;  // set before the pages start

}  // namespace

IMediaPhone* MediaPhone() { return g_phone; }
void SetMediaPhone(IMediaPhone* phone) { g_phone = phone ? phone : &g_program_phone; }
