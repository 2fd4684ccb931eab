// What the music, video and pictures pages and their batch workers ask of
// the connected phone, through one narrow seam. The program's seam forwards
// each call to the phone of the moment (CurrentPhone): it holds the phone
// only for that call, so a worker that walks a batch takes the phone anew
// for every item and stops when the phone has gone, and a phone removed in
// the middle of a batch is deleted only after the item in hand.
//
// Every operation answers "nothing" (false, empty, 0) without a phone.
//
// Threading: the pages call it on the UI thread, batch workers on theirs;
// the program's seam has no state of its own (the managers guard their
// records). SetMediaPhone runs before the pages start and after they stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/data/media_record.h"
#include "app/data/picture_record.h"
#include "ui/pages/batch_item.h"

struct FtpTransferContext;

class IMediaPhone {
 public:
  virtual ~IMediaPhone() = default;
  virtual bool IsConnected() = 0;

  // Music.
  virtual void LoadMusicList() = 0;
  virtual void RefreshMusicList() = 0;
  virtual bool DeleteMusic(int32_t id) = 0;  // false without a phone
  virtual bool ExportMusic(const std::u16string& folder, int32_t id) = 0;
  virtual bool UploadMusic(const std::u16string& path, FtpTransferContext* context) = 0;
  virtual std::optional<MusicRecord> FindMusicById(int32_t id) = 0;
  virtual std::vector<MusicRecord> GetMusicList() = 0;

  // Videos.
  virtual void LoadVideoList() = 0;
  virtual void RefreshVideoList() = 0;
  virtual bool DeleteVideo(int32_t id) = 0;
  virtual bool ExportVideo(const std::u16string& folder, int32_t id, FtpTransferContext* context) = 0;
  virtual bool UploadVideo(const std::u16string& path, FtpTransferContext* context) = 0;
  virtual std::optional<VideoRecord> FindVideoById(int32_t id) = 0;
  virtual std::vector<VideoRecord> GetVideoList() = 0;

  // Pictures.
  virtual void LoadImageList() = 0;
  virtual void RefreshImageList() = 0;
  virtual void RequestImageInfo(std::vector<int32_t>& ids) = 0;
  virtual bool DeleteImage(int32_t id) = 0;
  virtual bool ImportImage(const std::u16string& path) = 0;
  virtual bool ExportImage(const std::u16string& folder, int32_t id) = 0;
  virtual void LoadThumbnail(int32_t id) = 0;
  virtual void LoadImage(int32_t id) = 0;
  virtual std::optional<ImageRecord> FindImageById(int32_t id) = 0;
  virtual std::optional<PictureAlbum> FindAlbum(int64_t key) = 0;
  virtual std::vector<ImageRecord> GetAlbumImages(int64_t key) = 0;
  virtual int32_t GetAlbumImageCount(int64_t key) = 0;
  virtual std::vector<PictureAlbum> GetAlbumList() = 0;
  virtual int32_t GetPictureCount() = 0;
};

// The seam in use: the program's (CurrentPhone) until another is set. Not owned.
IMediaPhone* MediaPhone();
void SetMediaPhone(IMediaPhone* phone);  // null restores the program's

// One item of a batch: kNoPhone (and nothing run) when no phone is
// connected, which ends the walk; else whether `item` (which answers the
// phone's bool for its transfer or request) worked.
template <typename F>
BatchItem RunBatchItem(F&& item) {
  IMediaPhone* phone = MediaPhone();
  if (!phone->IsConnected()) return BatchItem::kNoPhone;
  return item(*phone) ? BatchItem::kSucceeded : BatchItem::kFailed;
}
