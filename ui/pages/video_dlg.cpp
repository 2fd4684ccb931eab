#include "ui/pages/video_dlg.h"

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/media_phone.h"
#include "ui/task_windows/message_box_dlg.h"

namespace {

const MediaPageSpec kVideoPage = {
    u"myvideolist", u"video_checkbox", u"video_chk", u"addvideo_btn", u"delvideo_btn", u"exportvideo_btn",
    u"refreshvideo_btn", u"tab_video_load", u"video_loading",
    msg::kVideoListLoaded, msg::kVideoAdded, msg::kVideoDeleted, msg::kVideoBusy,
    401, 402, 403, 404, 405,
    u"选择视频文件", u"视频文件(*.mp4;*.flv;*.3gp;*.avi;*.mpeg;*.wmv;*.rmvb;*.mov;*.mkv)",
    u"*.mp4;*.flv;*.3gp;*.avi;*.mpeg;*.wmv;*.rmvb;*.mov;*.mkv",
    u"选择视频文件夹:", u"您确定删除这%d个视频吗？", 4,
    kAddVideos, kExportVideos, kDeleteVideos,
    [] { return CConfigMgr::Instance()->GetVideoTips(); },
    [](int32_t id) { return RunBatchItem([&](IMediaPhone& p) { return p.DeleteVideo(id); }); },
    // The box's bar follows each file's download.
    [](const std::u16string& folder, int32_t id, FtpTransferContext* context, ExportedNames* names) {
      return RunBatchItem([&](IMediaPhone& p) {
        const std::optional<VideoRecord> record = p.FindVideoById(id);
        return names->Export(record ? record->file : u"", [&] { return p.ExportVideo(folder, id, context); });
      });
    },
    [](const std::u16string& path, FtpTransferContext* context) {
      return RunBatchItem([&](IMediaPhone& p) { return p.UploadVideo(path, context); });
    },
};

}  // namespace

CVideoDlg::CVideoDlg(DuiLib::CPaintManagerUI* pm) : CMediaPage(pm, kVideoPage) {}

void CVideoDlg::Show() {
  CPageController::Show();
  MediaPhone()->LoadVideoList();
}

void CVideoDlg::Refresh() { MediaPhone()->RefreshVideoList(); }

void CVideoDlg::AddAllRows() {
  auto* list = static_cast<CVideoList*>(List());
  if (!list) return;
  FillWithRecords(list, MediaPhone()->GetVideoList(), [list](const VideoRecord& r) { list->AddVideo(&r, -1); });
}

void CVideoDlg::InsertRow(int32_t id) {
  auto* list = static_cast<CVideoList*>(List());
  if (!list) return;
  if (std::optional<VideoRecord> r = MediaPhone()->FindVideoById(id)) list->AddVideo(&*r, 0);
}
