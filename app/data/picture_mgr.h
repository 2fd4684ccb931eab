// CPictureMgr: the photos of the connected phone. "image_list" gives ids
// and times (newest first), "image_info" the details of the photos a page
// shows; photos are grouped into albums by calendar month. Thumbnails and
// full images are fetched on demand over the FTP channel by jobs that run
// one at a time on the manager's own queue, into the per-phone caches, so
// that a photo is fetched once. Imports go into "sdcard/DCIM/Camera/".
//
// Posts: 1280 busy, 1274 list loaded, 1275 details ready (id), 1276 photo
// added (id / album key), 1277 photo deleted (id / album key or 0), 1278
// thumbnail ready (id), 1279 full image ready (id), 1234 count. Album keys
// travel whole in lParam (pointer-sized).
//
// Pages get copies (FindImageById, GetAlbumList, GetAlbumImages). A cache
// file is fetched to a temporary name and renamed, so a file at the cache
// name is always whole; a failed fetch leaves no file and no cache path
// (its ready message still follows, so the page stops waiting). Full
// images are cached under the CRC-32 of their phone path, which two photos
// may share: a cached full image is shown or exported only when its size
// is the record's, else it is fetched again.
//
// Threading: calls from the UI thread and page workers; replies on socket
// threads (or the caller's, for synchronous commands); jobs on the queue's
// worker. The data lock guards the records, the albums, the count, the
// cache paths and the set of queued fetches. The queue is stopped before
// anything it uses goes away.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/data/data_mgr.h"
#include "app/data/picture_record.h"
#include "foundation/base/single_task_mgr.h"

class CPictureMgr;

// One fetch of a thumbnail (kind 0) or a full image (kind 1).
class CLoadImageTask : public CBaseTask {
 public:
  static constexpr int32_t kThumbnail = 0;
  static constexpr int32_t kImage = 1;

  CLoadImageTask(CPictureMgr* owner, int32_t kind, int32_t image_id, std::u16string phone_path)
      : kind_(kind), path_(std::move(phone_path)), image_id_(image_id), owner_(owner) {}
  void Run() override;

  int32_t result() const { return result_; }
  int32_t kind() const { return kind_; }
  int32_t image_id() const { return image_id_; }
  // The phone path before the job ran, the local cache file after.
  const std::u16string& path() const { return path_; }

 private:
  int32_t result_ = 0;
  int32_t kind_;
  std::u16string path_;
  int32_t image_id_;
  CPictureMgr* owner_;
};

class CPictureMgr : public CDataMgr {
 public:
  CPictureMgr();
  ~CPictureMgr() override;

  // Nothing while busy or when photos are listed / nothing while busy.
  void LoadImageList();
  void RefreshImageList();
  void RequestImageCount();
  // Ids whose details are known are answered at once (1275) and removed
  // from `ids`; one "image_info" asks for the rest. Nothing while busy.
  void RequestImageInfo(std::vector<int32_t>& ids);
  // "image_del" / "image_add", on the calling thread.
  void DeleteImage(int32_t id);
  void AddImage(const std::u16string& phone_path);
  // Uploads the local file into "sdcard/DCIM/Camera/" and registers it;
  // the upload's result.
  bool AdbCopyFile(const std::u16string& local_path);
  // Copies the photo into `local_folder` under its phone file name, from
  // the cache when the full image is there, else straight from the phone.
  bool ExportImage(const std::u16string& local_folder, int32_t id);
  // 1278 / 1279 when the cached file is there; else queue its fetch (once:
  // a fetch already queued for the photo is not queued again). A photo
  // whose details have not arrived has them asked for first (1275 follows);
  // nothing is posted until there is a file. LoadThumbnail does nothing
  // while busy.
  void LoadThumbnail(int32_t id);
  void LoadImage(int32_t id);

  std::optional<ImageRecord> FindImageById(int32_t id);
  // True when the photo's details are missing (or no record has the id).
  bool NeedsDetails(int32_t id);
  std::optional<PictureAlbum> FindAlbum(int64_t key);
  // Copies of the album's photos, newest first; empty for an unknown key.
  std::vector<ImageRecord> GetAlbumImages(int64_t key);
  int32_t GetAlbumImageCount(int64_t key);
  std::vector<PictureAlbum> GetAlbumList();
  int32_t GetCount();

  // For the queue's jobs (on its worker): fetch into the cache; the cache
  // file through `local`. A full image already cached counts only with the
  // size of the record of `id`.
  bool DownloadThumbnail(const std::u16string& phone_path, std::u16string& local);
  bool DownloadImage(int32_t id, const std::u16string& phone_path, std::u16string& local);
  // A job's end: on success the cache path is set; either way 1278 / 1279
  // follows (after a failure the record has no cache path, so the page
  // finds no file).
  void OnImageLoaded(const CLoadImageTask& task);
  // A job that did not run (the list was loading).
  void ForgetFetch(int32_t kind, int32_t id);

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  // LoadThumbnail and LoadImage by the job kind.
  void LoadCached(int32_t kind, int32_t id);
  void OnImageList(CXmlDocument& document);
  void OnImageInfo(CXmlDocument& document);
  // Under the data lock. Find: the first record with the id, through the
  // index; Reindex builds the index again after the list changed.
  ImageRecord* Find(int32_t id);
  void Reindex();
  const PictureAlbum* FindAlbumLocked(int64_t key) const;
  int64_t AddToAlbum(const ImageRecord& record);
  void RemoveImage(int32_t id);
  void UpdatePictureCount();
  void QueueFetch(int32_t kind, int32_t id, const std::u16string& phone_path);

  std::vector<PictureAlbum> albums_;   // guarded by the data lock; larger key first
  std::vector<ImageRecord> images_;    // guarded by the data lock; newest first
  std::unordered_map<int32_t, size_t> index_;  // guarded by the data lock: id -> position in images_
  int32_t count_ = 0;                  // guarded by the data lock
  std::set<std::pair<int32_t, int32_t>> queued_;  // guarded by the data lock: (kind, id) fetches queued
  std::unique_ptr<CSingleTaskMgr> queue_;         // stopped first by the destructor
};
