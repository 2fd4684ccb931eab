// CVideoMgr: the video files of the connected phone, by folder and name
// ("video_list", "video_count", "video_info", "video_del", "video_add"),
// uploads into "sdcard/Tamsil/Video/" and exports with progress over the
// FTP channel. Posts 1288 busy, 1285 loaded, 1286 added (id), 1287 deleted
// (id), 1235 count, 1240 content changed. The shared behaviour and the
// threading contract are CMediaMgr's (media_mgr.h).
#pragma once

#include "app/data/media_mgr.h"

class CVideoMgr : public CMediaMgr<VideoRecord> {
 public:
  static const MediaKind kKind;

  CVideoMgr();

  void LoadVideoList() { LoadList(); }
  void RefreshVideoList() { RefreshList(); }
  void RequestVideoCount() { RequestCount(); }
  void DeleteVideo(int32_t id) { DeleteRecord(id); }
  void RequestVideoInfo(const std::vector<int32_t>& ids) { RequestInfo(ids); }
  void AddVideo(const std::u16string& phone_path) { AddRecord(phone_path); }
  bool UploadVideo(const std::u16string& local_path, FtpTransferContext* context) {
    return Upload(local_path, context);
  }
  // `context` (may be null) gets the download's progress.
  bool ExportVideo(const std::u16string& local_folder, int32_t id, FtpTransferContext* context) {
    return Export(local_folder, id, context);
  }
  std::vector<VideoRecord> GetVideoList() { return GetList(); }
};
