// CMusicMgr: the music files of the connected phone, newest first
// ("music_list", "music_count", "music_info", "music_del", "music_add"),
// uploads into "sdcard/Tamsil/Music/" and exports over the FTP channel.
// Posts 1284 busy, 1281 loaded, 1282 added (id), 1283 deleted (id),
// 1236 count, 1240 content changed. The shared behaviour and the threading
// contract are CMediaMgr's (media_mgr.h).
#pragma once

#include "app/data/media_mgr.h"

class CMusicMgr : public CMediaMgr<MusicRecord> {
 public:
  static const MediaKind kKind;

  CMusicMgr();

  void LoadMusicList() { LoadList(); }
  void RefreshMusicList() { RefreshList(); }
  void RequestMusicCount() { RequestCount(); }
  void DeleteMusic(int32_t id) { DeleteRecord(id); }
  void RequestMusicInfo(const std::vector<int32_t>& ids) { RequestInfo(ids); }
  void AddMusic(const std::u16string& phone_path) { AddRecord(phone_path); }
  bool UploadMusic(const std::u16string& local_path, FtpTransferContext* context) {
    return Upload(local_path, context);
  }
  // No progress for music.
  bool ExportMusic(const std::u16string& local_folder, int32_t id) { return Export(local_folder, id, nullptr); }
  std::vector<MusicRecord> GetMusicList() { return GetList(); }
};
