#include "app/data/music_mgr.h"

#include "app/core/message_ids.h"

const MediaKind CMusicMgr::kKind = {
    u"music_list", u"music_count", u"music_info", u"music_del", u"music_add", u"music", u"m",
    u"sdcard/Tamsil/Music/",
    msg::kMusicBusy, msg::kMusicListLoaded, msg::kMusicAdded, msg::kMusicDeleted, msg::kMusicCount,
    "music_count: %d", "Add Music Sucess, music_id:%d ", "UploadMusic Sucess, sdcard path:%s"};

CMusicMgr::CMusicMgr() : CMediaMgr<MusicRecord>(kKind) {}
