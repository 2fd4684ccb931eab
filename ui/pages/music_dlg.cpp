#include "ui/pages/music_dlg.h"

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/media_phone.h"
#include "ui/task_windows/message_box_dlg.h"

namespace {

const MediaPageSpec kMusicPage = {
    u"mymusiclist", u"music_checkbox", u"music_chk", u"addmusic_btn", u"delmusic_btn", u"exportmusic_btn",
    u"refreshmusic_btn", u"tab_music_load", u"music_loading",
    msg::kMusicListLoaded, msg::kMusicAdded, msg::kMusicDeleted, msg::kMusicBusy,
    321, 322, 323, 324, 325,
    u"选择音乐文件", u"音乐文件(*.mp3;*.wav;*.wma)", u"*.mp3;*.wav;*.wma",
    u"选择音乐文件夹:", u"您确定删除这%d个音乐吗？", 3,
    kAddMusic, kExportMusic, kDeleteMusic,
    [] { return CConfigMgr::Instance()->GetMusicTips(); },
    [](int32_t id) { return RunBatchItem([&](IMediaPhone& p) { return p.DeleteMusic(id); }); },
    // A music export reports no progress of its own.
    [](const std::u16string& folder, int32_t id, FtpTransferContext*, ExportedNames* names) {
      return RunBatchItem([&](IMediaPhone& p) {
        const std::optional<MusicRecord> record = p.FindMusicById(id);
        return names->Export(record ? record->file : u"", [&] { return p.ExportMusic(folder, id); });
      });
    },
    [](const std::u16string& path, FtpTransferContext* context) {
      return RunBatchItem([&](IMediaPhone& p) { return p.UploadMusic(path, context); });
    },
};

}  // namespace

CMusicDlg::CMusicDlg(DuiLib::CPaintManagerUI* pm) : CMediaPage(pm, kMusicPage) {}

void CMusicDlg::Show() {
  CPageController::Show();
  MediaPhone()->LoadMusicList();
}

void CMusicDlg::Refresh() { MediaPhone()->RefreshMusicList(); }

void CMusicDlg::AddAllRows() {
  auto* list = static_cast<CMusicList*>(List());
  if (!list) return;
  FillWithRecords(list, MediaPhone()->GetMusicList(), [list](const MusicRecord& r) { list->AddMusic(&r, -1); });
}

void CMusicDlg::InsertRow(int32_t id) {
  auto* list = static_cast<CMusicList*>(List());
  if (!list) return;
  if (std::optional<MusicRecord> r = MediaPhone()->FindMusicById(id)) list->AddMusic(&*r, 0);
}
