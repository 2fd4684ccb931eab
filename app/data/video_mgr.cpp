#include "app/data/video_mgr.h"

#include "app/core/message_ids.h"

const MediaKind CVideoMgr::kKind = {
    u"video_list", u"video_count", u"video_info", u"video_del", u"video_add", u"video", u"v",
    u"sdcard/Tamsil/Video/",
    msg::kVideoBusy, msg::kVideoListLoaded, msg::kVideoAdded, msg::kVideoDeleted, msg::kVideoCount,
    "video_count: %d", "Add Video Sucess, music_id:%d ", "UploadVideo Sucess, sdcard path:%s"};

CVideoMgr::CVideoMgr() : CMediaMgr<VideoRecord>(kKind) {}
