#include "ui/pages/picture_dlg.h"

#include <memory>
#include <utility>
#include <vector>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/batch_run.h"
#include "ui/pages/media_page.h"
#include "ui/pages/media_phone.h"
#include "ui/pages/picture_lists.h"

using namespace DuiLib;

namespace {

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

}  // namespace

// ---------------- CPictureHomeDlg ----------------

void CPictureHomeDlg::Init() {
  list_ = dynamic_cast<CPictureList*>(FindPageControl<CControlUI>(pm_, u"picturehomelist", u"Control"));
}

void CPictureHomeDlg::Fill() {
  if (!list_ || !MediaPhone()->IsConnected()) return;
  list_->RemoveAll();
  std::vector<PictureAlbum> albums;
  for (PictureAlbum& album : MediaPhone()->GetAlbumList())
    if (!album.images.empty()) albums.push_back(std::move(album));
  // A month row per turn of the loop's slices: a phone of many months
  // would hold the window while every row and its first pictures are made.
  CPictureList* list = list_;
  FillWithRecords(list, std::move(albums), [list](const PictureAlbum& album) { list->AddAlbum(album, -1); });
}

void CPictureHomeDlg::UpdateAlbum(int64_t key) {
  if (!list_ || !MediaPhone()->IsConnected()) return;
  std::optional<PictureAlbum> album = MediaPhone()->FindAlbum(key);
  if (!album) return;
  CControlUI* row = list_->FindRowByUserData(picture_grid::KeyText(key).c_str());
  if (!row) {
    if (!album->images.empty()) list_->AddAlbum(*album, 0);
    return;
  }
  if (CPictureSubList* grid = CPictureList::GridOf(row)) grid->RemoveAll();
  if (album->images.empty()) list_->Remove(row);
  else list_->FillRow(row, *album);
}

void CPictureHomeDlg::UpdateThumbnail(int32_t id) {
  if (!list_) return;
  for (int i = 0; i < list_->GetCount(); ++i)
    if (CPictureSubList* grid = CPictureList::GridOf(list_->GetItemAt(i)); grid && grid->RefreshImage(id)) return;
}

void CPictureHomeDlg::CheckAll(bool checked) {
  if (!list_) return;
  list_->FinishFill();  // the months still to come are checked too
  for (int i = 0; i < list_->GetCount(); ++i)
    if (CPictureSubList* grid = CPictureList::GridOf(list_->GetItemAt(i))) grid->CheckAll(checked);
}

void CPictureHomeDlg::GetChecked(std::vector<int32_t>& ids) const {
  if (!list_) return;
  for (int i = 0; i < list_->GetCount(); ++i)
    if (CPictureSubList* grid = CPictureList::GridOf(list_->GetItemAt(i))) grid->GetChecked(ids);
}

void CPictureHomeDlg::Clear() {
  if (list_) list_->RemoveAll();
}

// ---------------- CPictureDlg ----------------

CPictureDlg::CPictureDlg(CPaintManagerUI* pm)
    : CPageController(pm, {{msg::kPictureListLoaded, msg::kPictureBusy}}),
      home_(std::make_unique<CPictureHomeDlg>(pm)),
      sub_(std::make_unique<CPictureSubDlg>(pm)),
      show_(std::make_unique<CPictureShowDlg>(pm)) {}

CPictureDlg::~CPictureDlg() = default;

void CPictureDlg::Init() {
  CPageController::Init();
  tab_pic_ = FindPageControl<CTabLayoutUI>(pm_, u"tab_pic", u"TabLayout");
  tab_load_ = FindPageControl<CTabLayoutUI>(pm_, u"tab_pic_load", u"TabLayout");
  tab_pages_ = FindPageControl<CTabLayoutUI>(pm_, u"tab_pic_pages", u"TabLayout");
  all_ = FindPageControl<CCheckBoxUI>(pm_, u"selallpic_chk", u"CheckBox");
  del_ = FindPageControl<CControlUI>(pm_, u"delpic_btn", u"Control");
  export_ = FindPageControl<CControlUI>(pm_, u"exportpic_btn", u"Control");
  add_ = FindPageControl<CControlUI>(pm_, u"addpic_btn", u"Control");
  refresh_ = FindPageControl<CControlUI>(pm_, u"refreshpic_btn", u"Control");
  loading_ = FindPageControl<CAnimationUI>(pm_, u"pic_loading", u"Animation");
  home_->Init();
  sub_->Init();
  show_->Init();
}

void CPictureDlg::LoadList() {
  if (MediaPhone()->IsConnected()) MediaPhone()->LoadImageList();
}

bool CPictureDlg::MonthPageShown() const { return tab_pages_ && tab_pages_->GetCurSel() == 1; }
bool CPictureDlg::ViewerShown() const { return tab_pic_ && tab_pic_->GetCurSel() == 1; }

void CPictureDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"addpic_btn")) {
    FrameBackend()->ReportUserAction(272);
    Add();
  } else if (Is(name, u"exportpic_btn")) {
    FrameBackend()->ReportUserAction(273);
    Export();
  } else if (Is(name, u"delpic_btn")) {
    FrameBackend()->ReportUserAction(274);
    Delete();
  } else if (Is(name, u"refreshpic_btn")) {
    FrameBackend()->ReportUserAction(275);
    if (MediaPhone()->IsConnected()) MediaPhone()->RefreshImageList();
  } else if (Is(name, u"selallpic_chk")) {
    FrameBackend()->ReportUserAction(271);
    const bool on = all_ && all_->GetCheck();
    if (MonthPageShown()) sub_->CheckAll(on);
    else home_->CheckAll(on);
    UpdateCheckState();
  } else if (Is(name, u"pic_show_back")) {
    if (tab_pages_) tab_pages_->SelectItem(0);
    if (all_) {
      all_->SetCheck(false);
      all_->SetEnabled(false);
    }
    UpdateCheckState();
  } else if (Is(name, u"pic_show_more")) {
    FrameBackend()->ReportUserAction(276);
    if (tab_pages_) tab_pages_->SelectItem(1);
    EnableControl(all_, true);
    sub_->ShowAlbum(msg.pSender->GetUserData().str());
    UpdateCheckState();
  } else if (Is(name, u"pic_img_lbl") || Is(name, u"checkbox")) {
    UpdateCheckState();
  } else if (Is(name, u"pic_show_close")) {
    if (tab_pic_) tab_pic_->SelectItem(0);
  }
  show_->OnClick(msg);
}

void CPictureDlg::OnItemClick(TNotifyUI& msg) {
  if (msg.pSender && Is(msg.pSender->GetName(), u"pic_container")) UpdateCheckState();
}

void CPictureDlg::OnItemDoubleClick(TNotifyUI& msg) {
  if (!msg.pSender || !Is(msg.pSender->GetName(), u"pic_container") || !msg.pSender->GetTag()) return;
  if (!dynamic_cast<CPictureSubList*>(reinterpret_cast<CControlUI*>(msg.pSender->GetTag()))) return;
  if (tab_pic_) tab_pic_->SelectItem(1);
  show_->Open(msg);
}

void CPictureDlg::OnScroll(TNotifyUI& msg) { sub_->OnScroll(msg.pSender); }

LRESULT CPictureDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  CPageController::HandleMessage(uMsg, wParam, lParam, bHandled);
  if (!bHandled) return 0;
  const auto id = static_cast<int32_t>(wParam);
  const auto key = static_cast<int64_t>(lParam);
  switch (uMsg) {
    case msg::kPictureListLoaded:
      if (all_) all_->SetCheck(false);
      if (MonthPageShown()) sub_->Reload();
      else home_->Fill();
      ShowEmptyState();
      EnableControl(del_, false);
      EnableControl(export_, false);
      break;
    case msg::kPictureDetailReady: {
      if (ViewerShown()) MediaPhone()->LoadImage(id);
      else MediaPhone()->LoadThumbnail(id);
      // A month page that shows its end (or cannot scroll) gets no scroll
      // notice: the next batch follows the details of this one.
      if (MonthPageShown() && !ViewerShown()) sub_->LoadMoreAtEnd();
      break;
    }
    case msg::kPictureAdded:
      home_->UpdateAlbum(key);
      if (MonthPageShown()) sub_->AddImage(key, id);
      ShowEmptyState();
      break;
    case msg::kPictureDeleted:
      home_->UpdateAlbum(key);
      if (MonthPageShown()) sub_->RemoveImage(id);
      UpdateCheckState();
      ShowEmptyState();
      break;
    case msg::kThumbnailReady:
      home_->UpdateThumbnail(id);
      sub_->UpdateThumbnail(id);
      show_->ShowLoaded(id);
      break;
    case msg::kImageReady:
      show_->ShowLoaded(id);
      break;
    case msg::kPictureBusy:
      OnBusy(wParam != 0);
      break;
    default:
      break;
  }
  return 0;
}

void CPictureDlg::OnBusy(bool busy) {
  if (busy) {
    for (CControlUI* c : {refresh_, add_, export_, del_, static_cast<CControlUI*>(all_)}) EnableControl(c, false);
    if (tab_load_) tab_load_->SelectItem(1);
    if (loading_) loading_->StartAnimation(100);
  } else {
    EnableControl(refresh_, true);
    EnableControl(add_, true);
    if (tab_load_) tab_load_->SelectItem(0);
    if (MonthPageShown()) EnableControl(all_, true);
    if (loading_) loading_->StopAnimation();
  }
}

void CPictureDlg::Clear() {
  CPageController::Clear();
  if (tab_pic_) tab_pic_->SelectItem(0);
  if (tab_pages_) tab_pages_->SelectItem(0);
  home_->Clear();
  sub_->Clear();
}

bool CPictureDlg::GetCheckedIds(std::vector<int32_t>& ids) const {
  if (MonthPageShown()) return sub_->GetChecked(ids);
  home_->GetChecked(ids);
  return false;
}

void CPictureDlg::UpdateCheckState() {
  std::vector<int32_t> ids;
  const bool all = GetCheckedIds(ids);
  EnableControl(del_, !ids.empty());
  EnableControl(export_, !ids.empty());
  if (all_ && all_->IsEnabled()) all_->SetCheck(all && !ids.empty());
}

void CPictureDlg::ShowEmptyState() {
  if (!tab_load_ || !MediaPhone()->IsConnected()) return;
  tab_load_->SelectItem(MediaPhone()->GetPictureCount() <= 0 ? 2 : 0);
}

void CPictureDlg::Add() {
  TFileChooser request;
  request.sTitle = u"选择画像文件";
  request.sFilterName = u"Image Files (*.jpg;*.png;*.bmp)";
  request.sPattern = u"*.jpg;*.png;*.bmp";
  request.bMultiSelect = true;
  std::vector<CDuiString> chosen;
  if (!GetOpenFileNames(PagesOwnerWindow(), request, &chosen)) {
    PD_LOG_ERROR("GetOpenFileName Failed!");
    return;
  }
  std::vector<std::u16string> paths;
  for (const CDuiString& p : chosen)
    if (!p.IsEmpty()) paths.push_back(p.str());
  if (paths.empty()) return;
  const int total = static_cast<int>(paths.size());
  RunBatchJob(PagesOwnerWindow(), kAddPictures, total, [paths = std::move(paths)](int i, HWND) {
    return RunBatchItem([&](IMediaPhone& p) { return p.ImportImage(paths[static_cast<size_t>(i)]); });
  });
}

void CPictureDlg::Export() {
  std::vector<int32_t> ids;
  GetCheckedIds(ids);
  if (ids.empty()) return;
  CDuiString folder;
  if (!BrowseForFolder(PagesOwnerWindow(), u"选择画像文件夹:", &folder) || folder.IsEmpty()) return;
  const int total = static_cast<int>(ids.size());
  RunBatchJob(PagesOwnerWindow(), kExportPictures, total,
              [ids = std::move(ids), dir = folder.str(), names = std::make_shared<ExportedNames>()](int i, HWND) {
                const int32_t id = ids[static_cast<size_t>(i)];
                return RunBatchItem([&](IMediaPhone& p) {
                  const std::optional<ImageRecord> record = p.FindImageById(id);
                  return names->Export(record ? record->file : u"", [&] { return p.ExportImage(dir, id); });
                });
              });
}

void CPictureDlg::Delete() {
  if (!MediaPhone()->IsConnected()) return;
  std::vector<int32_t> ids;
  GetCheckedIds(ids);
  // Nothing ticked: no question at all (not "delete these 0 pictures?").
  if (ids.empty()) return;
  if (CConfigMgr::Instance()->GetPictureTips()) {
    CDuiString question;
    question.Format(u"您确定删除这%d张照片？", static_cast<int>(ids.size()));
    if (ShowMessageBox(PagesOwnerWindow(), question, nullptr, 36, 0, 5) != 1) return;
  }
  const int total = static_cast<int>(ids.size());
  RunBatchJob(PagesOwnerWindow(), kDeletePictures, total, [ids = std::move(ids)](int i, HWND) {
    return RunBatchItem([&](IMediaPhone& p) { return p.DeleteImage(ids[static_cast<size_t>(i)]); });
  });
}
