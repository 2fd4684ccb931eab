#include "app/data/picture_mgr.h"

#include <sys/stat.h>

#include <algorithm>
#include <unordered_set>

#include "app/agent/cmd_package.h"
#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/data/phone_transfer.h"
#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

constexpr char16_t kImportFolder[] = u"sdcard/DCIM/Camera/";

void SortNewestFirst(std::vector<ImageRecord>& images) {
  std::stable_sort(images.begin(), images.end(), ImageNewerFirst);
}

bool CachedFileThere(const std::u16string& path) { return !path.empty() && FileExists(path); }

// A cached full picture is the photo's only when it has the record's size:
// cache names are the CRC-32 of the phone path, which two photos may share.
bool CachedImageWhole(const std::u16string& path, int64_t size) {
  struct stat info {};
  return !path.empty() && size > 0 && stat(WStringToAnsi(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         info.st_size == size;
}

}  // namespace

// --- the image job ---------------------------------------------------------------

void CLoadImageTask::Run() {
  if (owner_ == nullptr) return;
  if (owner_->IsBusy()) {  // the list is being replaced: nothing to fetch for
    owner_->ForgetFetch(kind_, image_id_);
    return;
  }
  std::u16string local;
  const bool ok =
      kind_ == kThumbnail ? owner_->DownloadThumbnail(path_, local) : owner_->DownloadImage(image_id_, path_, local);
  result_ = ok ? 1 : 0;
  path_ = local;
  owner_->OnImageLoaded(*this);
}

// --- the manager --------------------------------------------------------------------

CPictureMgr::CPictureMgr() : CDataMgr(msg::kPictureBusy), queue_(new CSingleTaskMgr()) { queue_->Start(); }

CPictureMgr::~CPictureMgr() {
  // The queue first: a running job uses the records and the caches.
  queue_.reset();
  base::CSingleLock hold(&DataLock());
  albums_.clear();
  images_.clear();
}

// --- requests -------------------------------------------------------------------------

void CPictureMgr::LoadImageList() {
  {
    base::CSingleLock hold(&DataLock());
    if (!images_.empty()) return;
  }
  if (!BeginLoad()) return;
  SendGet(u"image_list");
}

void CPictureMgr::RefreshImageList() {
  if (!BeginLoad()) return;
  SendGet(u"image_list");
}

void CPictureMgr::RequestImageCount() { SendGet(u"image_count"); }

void CPictureMgr::RequestImageInfo(std::vector<int32_t>& ids) {
  if (IsBusy()) return;
  CXmlDocument request;
  BuildRequestXml(request, u"image_info", u"GET");
  {
    base::CSingleLock hold(&DataLock());
    for (auto it = ids.begin(); it != ids.end();) {
      const ImageRecord* record = Find(*it);
      if (record != nullptr && record->stale == 0) {
        PostPhoneMessage(msg::kPictureDetailReady, static_cast<uintptr_t>(*it), 0);
        it = ids.erase(it);
        continue;
      }
      request.AddChildElement(u"p");
      request.SetChildAttribute(u"id", *it);
      ++it;
    }
  }
  if (!ids.empty()) SendRequest(u"image_info", request, std::u16string(), false);
}

void CPictureMgr::DeleteImage(int32_t id) {
  CXmlDocument request;
  BuildRequestXml(request, u"image_del", u"POST");
  request.AddChildElement(u"p");
  request.SetChildAttribute(u"id", id);
  SendRequest(u"image_del", request, DecimalText(id), true);
}

void CPictureMgr::AddImage(const std::u16string& phone_path) {
  CXmlDocument request;
  BuildRequestXml(request, u"image_add", u"POST");
  request.AddChildElement(u"file");
  request.SetChildAttribute(u"path", phone_path);
  SendRequest(u"image_add", request, std::u16string(), true);
}

// --- transfers ------------------------------------------------------------------------------

bool CPictureMgr::AdbCopyFile(const std::u16string& local_path) {
  const std::u16string phone_path = kImportFolder + FileNameOf(local_path);
  if (!UploadToPhone(local_path, phone_path, nullptr)) return false;
  PD_LOG_INFO("AdbCopyFile Sucess, sdcard image_path:%s", WStringToAnsi(phone_path).c_str());
  AddImage(phone_path);
  return true;
}

bool CPictureMgr::ExportImage(const std::u16string& local_folder, int32_t id) {
  const std::optional<ImageRecord> record = FindImageById(id);  // a copy: a reply may rebuild the list meanwhile
  if (!record) return false;
  const std::u16string name = FileNameOf(record->file);
  if (!IsExportFileName(name)) {
    PD_LOG_ERROR("export refused: the phone file %s has no plain file name, or a hidden one",
                 WStringToAnsi(record->file).c_str());
    return false;
  }
  const std::u16string target = local_folder + u"/" + name;
  if (CachedImageWhole(record->image_cache_path, record->size)) return CopyFileReplacing(record->image_cache_path, target);
  return DownloadFromPhone(record->file, target, nullptr, false);
}

void CPictureMgr::LoadThumbnail(int32_t id) {
  if (IsBusy()) return;
  LoadCached(CLoadImageTask::kThumbnail, id);
}

void CPictureMgr::LoadImage(int32_t id) { LoadCached(CLoadImageTask::kImage, id); }

void CPictureMgr::LoadCached(int32_t kind, int32_t id) {
  const bool thumbnail = kind == CLoadImageTask::kThumbnail;
  bool cached = false;
  bool stale = false;
  std::u16string phone_path;
  {
    base::CSingleLock hold(&DataLock());
    const ImageRecord* record = Find(id);
    if (record == nullptr) return;
    cached = thumbnail ? CachedFileThere(record->thumbnail_cache_path)
                       : CachedImageWhole(record->image_cache_path, record->size);
    phone_path = thumbnail ? record->thumb : record->file;
    stale = record->stale != 0;
  }
  if (cached) {
    PostPhoneMessage(thumbnail ? msg::kThumbnailReady : msg::kImageReady, static_cast<uintptr_t>(id), 0);
  } else if (!phone_path.empty()) {
    QueueFetch(kind, id, phone_path);
  } else if (stale) {
    // The phone path comes with the details: 1275 follows them, and the
    // page asks again.
    std::vector<int32_t> ids{id};
    RequestImageInfo(ids);
  }
  // Details without that file: the phone has none to show.
}

void CPictureMgr::QueueFetch(int32_t kind, int32_t id, const std::u16string& phone_path) {
  {
    base::CSingleLock hold(&DataLock());
    if (!queued_.insert({kind, id}).second) return;  // already on its way
  }
  // Outside the data lock: the queue's worker takes it when a job ends.
  queue_->AddTask(new CLoadImageTask(this, kind, id, phone_path));
}

bool CPictureMgr::DownloadThumbnail(const std::u16string& phone_path, std::u16string& local) {
  local = ThumbnailCacheFile(CConfigMgr::Instance()->GetThumbnailCachePath(), phone_path);
  if (local.empty()) {
    PD_LOG_ERROR("thumbnail %s has no plain file name", WStringToAnsi(phone_path).c_str());
    return false;
  }
  if (FileExists(local)) return true;
  return DownloadFromPhone(phone_path, local, nullptr, true);
}

bool CPictureMgr::DownloadImage(int32_t id, const std::u16string& phone_path, std::u16string& local) {
  local = ImageCacheFile(CConfigMgr::Instance()->GetPhotoCachePath(), phone_path);
  const std::optional<ImageRecord> record = FindImageById(id);
  if (record && CachedImageWhole(local, record->size)) return true;
  // Another photo's file under the same name, or one of an unknown size:
  // fetched again over it.
  return DownloadFromPhone(phone_path, local, nullptr, true);
}

void CPictureMgr::ForgetFetch(int32_t kind, int32_t id) {
  base::CSingleLock hold(&DataLock());
  queued_.erase({kind, id});
}

void CPictureMgr::OnImageLoaded(const CLoadImageTask& task) {
  const int32_t id = task.image_id();
  const bool thumbnail = task.kind() == CLoadImageTask::kThumbnail;
  const char* what = thumbnail ? "thumb_down" : "img_down";
  base::CSingleLock hold(&DataLock());
  queued_.erase({task.kind(), id});
  ImageRecord* record = Find(id);
  if (record == nullptr) return;
  if (task.result() == 1) {
    (thumbnail ? record->thumbnail_cache_path : record->image_cache_path) = task.path();
    PD_LOG_INFO("%s image_id:%d", what, id);
  } else {
    // No cache path: the page finds no file, and a later request fetches again.
    PD_LOG_ERROR("%s image_id:%d failed", what, id);
  }
  PostPhoneMessage(thumbnail ? msg::kThumbnailReady : msg::kImageReady, static_cast<uintptr_t>(id), 0);
}

// --- copies for the pages ----------------------------------------------------------------

std::optional<ImageRecord> CPictureMgr::FindImageById(int32_t id) {
  base::CSingleLock hold(&DataLock());
  const ImageRecord* record = Find(id);
  if (record == nullptr) return std::nullopt;
  return *record;
}

bool CPictureMgr::NeedsDetails(int32_t id) {
  base::CSingleLock hold(&DataLock());
  const ImageRecord* record = Find(id);
  return record == nullptr || record->stale != 0;
}

std::optional<PictureAlbum> CPictureMgr::FindAlbum(int64_t key) {
  base::CSingleLock hold(&DataLock());
  const PictureAlbum* album = FindAlbumLocked(key);
  if (album == nullptr) return std::nullopt;
  return *album;
}

std::vector<ImageRecord> CPictureMgr::GetAlbumImages(int64_t key) {
  base::CSingleLock hold(&DataLock());
  std::vector<ImageRecord> out;
  const PictureAlbum* album = FindAlbumLocked(key);
  if (album == nullptr) return out;
  for (int32_t id : album->images) {
    const ImageRecord* record = Find(id);
    if (record != nullptr) out.push_back(*record);
  }
  return out;
}

int32_t CPictureMgr::GetAlbumImageCount(int64_t key) {
  base::CSingleLock hold(&DataLock());
  const PictureAlbum* album = FindAlbumLocked(key);
  return album == nullptr ? 0 : static_cast<int32_t>(album->images.size());
}

std::vector<PictureAlbum> CPictureMgr::GetAlbumList() {
  base::CSingleLock hold(&DataLock());
  return albums_;
}

int32_t CPictureMgr::GetCount() {
  base::CSingleLock hold(&DataLock());
  return count_;
}

// --- replies ----------------------------------------------------------------------------------

void CPictureMgr::OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
                          const CBufferT<unsigned char>&) {
  if (command == u"image_list") {
    OnImageList(document);
  } else if (command == u"image_info") {
    OnImageInfo(document);
  } else if (command == u"image_count") {
    int32_t count = 0;
    {
      base::CSingleLock hold(&DataLock());
      if (ReadCountElement(document, count_)) PD_LOG_TRACE("photo_count: %d", count_);
      count = count_;
    }
    PostPhoneMessage(msg::kPictureCount, static_cast<uintptr_t>(count), 0);
  } else if (command == u"image_add") {
    if (!document.FindElement(u"p")) return;
    std::vector<int32_t> ids{ReadDecimal(document.GetAttribute(u"id"))};
    PD_LOG_INFO("Add Image Sucess, image_id:%d ", ids[0]);
    RequestImageInfo(ids);
  } else if (command == u"image_del") {
    base::CSingleLock hold(&DataLock());
    RemoveImage(ReadDecimal(param));
    UpdatePictureCount();
  }
}

void CPictureMgr::OnImageList(CXmlDocument& document) {
  base::CSingleLock hold(&DataLock());
  images_.clear();
  while (document.FindElement(u"p")) images_.push_back(ReadImageListEntry(document));
  SortNewestFirst(images_);
  Reindex();
  albums_ = BuildAlbums(images_);
  SetBusy(false);
  PostPhoneMessage(msg::kPictureListLoaded, 0, 0);
  UpdatePictureCount();
}

void CPictureMgr::OnImageInfo(CXmlDocument& document) {
  base::CSingleLock hold(&DataLock());
  while (document.FindElement(u"p")) {
    const int32_t id = ReadDecimal(document.GetAttribute(u"id"));
    ImageRecord* known = Find(id);
    if (known != nullptr) {
      // Its album stays where the list put it.
      ReadImageDetails(document, *known);
      PostPhoneMessage(msg::kPictureDetailReady, static_cast<uintptr_t>(id), 0);
      continue;
    }
    ImageRecord record;
    record.id = id;
    ReadImageDetails(document, record);
    images_.push_back(record);
    SortNewestFirst(images_);
    Reindex();
    const int64_t key = AddToAlbum(record);
    std::stable_sort(albums_.begin(), albums_.end(),
                     [](const PictureAlbum& a, const PictureAlbum& b) { return a.key > b.key; });
    for (PictureAlbum& album : albums_) {
      if (album.key != key) continue;
      // The album in the image list's order: newest first.
      const std::unordered_set<int32_t> in_album(album.images.begin(), album.images.end());
      std::vector<int32_t> ordered;
      for (const ImageRecord& image : images_)
        if (in_album.count(image.id) != 0) ordered.push_back(image.id);
      album.images = std::move(ordered);
    }
    // The key travels whole: message parameters are pointer-sized.
    PostPhoneMessage(msg::kPictureAdded, static_cast<uintptr_t>(id), static_cast<intptr_t>(key));
    UpdatePictureCount();
  }
}

// --- under the data lock ------------------------------------------------------------------------

ImageRecord* CPictureMgr::Find(int32_t id) {
  const auto it = index_.find(id);
  return it == index_.end() ? nullptr : &images_[it->second];
}

void CPictureMgr::Reindex() {
  index_.clear();
  index_.reserve(images_.size());
  for (size_t i = 0; i < images_.size(); ++i) index_.emplace(images_[i].id, i);  // the first of an id stays
}

const PictureAlbum* CPictureMgr::FindAlbumLocked(int64_t key) const {
  for (const PictureAlbum& album : albums_)
    if (album.key == key) return &album;
  return nullptr;
}

int64_t CPictureMgr::AddToAlbum(const ImageRecord& record) {
  const int64_t key = AlbumKeyOf(record.modtm, record.addtm);
  for (PictureAlbum& album : albums_) {
    if (album.key != key) continue;
    album.images.push_back(record.id);
    return key;
  }
  albums_.push_back(PictureAlbum{key, {record.id}});
  return key;
}

void CPictureMgr::RemoveImage(int32_t id) {
  auto it = std::find_if(images_.begin(), images_.end(), [id](const ImageRecord& r) { return r.id == id; });
  if (it != images_.end()) {
    images_.erase(it);
    Reindex();
  }
  int64_t key = 0;
  for (PictureAlbum& album : albums_) {
    auto in = std::find(album.images.begin(), album.images.end(), id);
    if (in == album.images.end()) continue;
    album.images.erase(in);
    key = album.key;  // an album may stay empty until the next load
  }
  PostPhoneMessage(msg::kPictureDeleted, static_cast<uintptr_t>(id), static_cast<intptr_t>(key));
}

void CPictureMgr::UpdatePictureCount() {
  count_ = static_cast<int32_t>(images_.size());
  PostPhoneMessage(msg::kPictureCount, static_cast<uintptr_t>(count_), 0);
}
