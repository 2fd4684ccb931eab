#include "ui/pages/picture_sub_dlg.h"

#include "foundation/base/log.h"
#include "ui/pages/media_phone.h"
#include "ui/pages/media_text.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/picture_view.h"

using namespace DuiLib;

namespace {

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

CControlUI* InView(CPaintManagerUI* pm, const char16_t* view, const char16_t* name) {
  CControlUI* v = pm ? pm->FindControl(view) : nullptr;
  auto* c = v ? static_cast<CContainerUI*>(v->GetInterface(u"Container")) : nullptr;
  CControlUI* found = c ? c->FindSubControl(name) : nullptr;
  if (!found) PD_LOG_WARNING("pictures page: control %s missing", CDuiString(name).ToUtf8().c_str());
  return found;
}

}  // namespace

// ---------------- CPictureSubDlg ----------------

void CPictureSubDlg::Init() {
  grid_ = dynamic_cast<CPictureSubList*>(InView(pm_, u"pic_month_view", u"picsub_list"));
  count_ = InView(pm_, u"pic_month_view", u"pic_count");
  date_ = InView(pm_, u"pic_month_view", u"pic_date");
}

void CPictureSubDlg::ShowAlbum(const std::u16string& key_text) {
  IMediaPhone* phone = MediaPhone();
  if (!grid_ || !phone->IsConnected()) return;
  grid_->RemoveAll();
  const int64_t key = picture_grid::KeyOf(key_text.c_str());
  std::optional<PictureAlbum> album = phone->FindAlbum(key);
  if (!album) return;
  grid_->SetUserData(key_text.c_str());
  LoadMore();
  if (date_) date_->SetText(media_text::FormatMonth(key).c_str());
  ShowCount(static_cast<int>(album->images.size()));
}

void CPictureSubDlg::Reload() {
  if (grid_) ShowAlbum(grid_->GetUserData().str());
}

void CPictureSubDlg::LoadMore() {
  if (!grid_) return;
  std::optional<PictureAlbum> album = MediaPhone()->FindAlbum(grid_->Key());
  if (!album) return;
  const int rows = grid_->GetCount();
  const int end = picture_grid::BatchEnd(rows, static_cast<int>(album->images.size()), picture_grid::kMonthPageBatch);
  PD_LOG_TRACE("m_list_subpic start GetCount= %d", rows);
  std::vector<int32_t> ids;
  for (int i = rows; i < end; ++i) {
    const int32_t id = album->images[static_cast<size_t>(i)];
    std::optional<ImageRecord> record = MediaPhone()->FindImageById(id);
    if (record && grid_->AddImage(*record, -1)) ids.push_back(id);
  }
  PD_LOG_TRACE("m_list_subpic end GetCount= %d", grid_->GetCount());
  if (!ids.empty()) MediaPhone()->RequestImageInfo(ids);
}

void CPictureSubDlg::LoadMoreAtEnd() {
  if (!grid_) return;
  if (pm_) pm_->UpdateLayout();  // rows added since the last layout count in the scroll range
  if (grid_->IsNearEnd()) LoadMore();
}

void CPictureSubDlg::OnScroll(CControlUI* sender) {
  if (grid_ && sender == grid_) LoadMoreAtEnd();
}

void CPictureSubDlg::AddImage(int64_t key, int32_t id) {
  if (!grid_ || key != grid_->Key()) return;
  IMediaPhone* phone = MediaPhone();
  std::optional<ImageRecord> record = phone->FindImageById(id);
  if (!record) return;
  grid_->AddImage(*record, 0);
  ShowCount(phone->GetAlbumImageCount(key));
  std::vector<int32_t> ids{id};
  phone->RequestImageInfo(ids);
}

void CPictureSubDlg::RemoveImage(int32_t id) {
  if (!grid_) return;
  grid_->RemoveRowByUserData(picture_grid::KeyText(id).c_str());
  if (MediaPhone()->IsConnected()) ShowCount(MediaPhone()->GetAlbumImageCount(grid_->Key()));
}

void CPictureSubDlg::UpdateThumbnail(int32_t id) {
  if (grid_) grid_->RefreshImage(id);
}

void CPictureSubDlg::CheckAll(bool checked) {
  if (grid_) grid_->CheckAll(checked);
}

bool CPictureSubDlg::GetChecked(std::vector<int32_t>& ids) const {
  if (!grid_) return false;
  std::vector<int32_t> mine;
  grid_->GetChecked(mine);
  ids.insert(ids.end(), mine.begin(), mine.end());
  return grid_->GetCount() == static_cast<int>(mine.size());
}

void CPictureSubDlg::ShowCount(int n) { ShowCountBadge(count_, n); }

void CPictureSubDlg::Clear() {
  if (grid_) grid_->RemoveAll();
}

// ---------------- CPictureShowDlg ----------------

void CPictureShowDlg::Init() {
  CControlUI* image = InView(pm_, u"pic_viewer", u"image_lbl");
  image_ = image ? static_cast<CPngImageUI*>(image->GetInterface(u"PngImage")) : nullptr;
  CControlUI* loading = InView(pm_, u"pic_viewer", u"image_loading");
  loading_ = loading ? static_cast<CAnimationUI*>(loading->GetInterface(u"Animation")) : nullptr;
  front_ = InView(pm_, u"pic_viewer", u"pic_show_front");
  next_ = InView(pm_, u"pic_viewer", u"pic_show_next");
  CControlUI* tab = InView(pm_, u"pic_viewer", u"tab_show_pic_loading");
  tab_ = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface(u"TabLayout")) : nullptr;
  layout_ = InView(pm_, u"pic_viewer", u"image_show_verlayout");
  title_ = InView(pm_, u"pic_viewer", u"pic_viewer_title");
}

int32_t CPictureShowDlg::ShownId() const {
  return image_ ? static_cast<int32_t>(ParseInt(image_->GetUserData())) : 0;
}

void CPictureShowDlg::Open(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const auto id = static_cast<int32_t>(ParseInt(msg.pSender->GetUserData()));
  Show(id);
  ids_.clear();
  auto* grid = reinterpret_cast<CControlUI*>(msg.pSender->GetTag());
  auto* sub = grid ? dynamic_cast<CPictureSubList*>(grid) : nullptr;
  if (sub && MediaPhone()->IsConnected())
    if (std::optional<PictureAlbum> album = MediaPhone()->FindAlbum(sub->Key())) ids_ = album->images;
  UpdateNavigation(picture_view::IndexOf(ids_, id));
}

void CPictureShowDlg::Show(int32_t id) {
  if (tab_) tab_->SelectItem(1);
  if (loading_) loading_->StartAnimation(100);
  if (image_) {
    image_->SetImage(nullptr);
    image_->SetBkImage(u"");
    CDuiString text;
    text.Format(u"%d", id);
    image_->SetUserData(text);
  }
  if (title_) title_->SetText(u"");
  std::vector<int32_t> ids{id};
  MediaPhone()->RequestImageInfo(ids);
}

void CPictureShowDlg::ShowLoaded(int32_t id) {
  IMediaPhone* phone = MediaPhone();
  if (!image_ || !phone->IsConnected()) return;
  std::optional<ImageRecord> record = phone->FindImageById(id);
  if (!record || id != ShownId()) return;
  if (loading_) loading_->StopAnimation();
  if (tab_) tab_->SelectItem(0);
  const float W = static_cast<float>(image_->GetMaxWidth());
  const float H = static_cast<float>(image_->GetMaxHeight());
  std::string error;
  std::shared_ptr<TImageInfo> picture = picture_view::LoadUpright(record->image_cache_path, &error);
  if (!picture) {
    PD_LOG_WARNING("picture %d: %s", id, error.c_str());
    return;
  }
  const float w = static_cast<float>(picture->nX);
  const float h = static_cast<float>(picture->nY);
  const picture_view::Fit fit = picture_view::FitPicture(w, h, W, H);
  if (!fit.ok) return;
  PD_LOG_TRACE("img_width:%f img_height:%f zoom_width:%f zoom_height%f", w, h, fit.width, fit.height);
  if (layout_) layout_->SetFixedWidth(static_cast<int>(fit.width));
  image_->SetFixedWidth(static_cast<int>(fit.width));
  image_->SetFixedHeight(static_cast<int>(fit.height));
  image_->SetImage(picture);
  if (title_) {
    const size_t slash = record->file.rfind(u'/');
    title_->SetText(slash == std::u16string::npos ? record->file.c_str() : record->file.c_str() + slash + 1);
  }
}

void CPictureShowDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"pic_show_next")) Next();
  else if (Is(name, u"pic_show_front")) Previous();
}

void CPictureShowDlg::Next() {
  const int i = picture_view::IndexOf(ids_, ShownId()) + 1;
  UpdateNavigation(i);
  if (const int32_t id = picture_view::IdAt(ids_, i); id > 0) Show(id);
}

void CPictureShowDlg::Previous() {
  const int i = picture_view::IndexOf(ids_, ShownId()) - 1;
  UpdateNavigation(i);
  if (const int32_t id = picture_view::IdAt(ids_, i); id > 0) Show(id);
}

void CPictureShowDlg::UpdateNavigation(int i) {
  const picture_view::Arrows arrows = picture_view::ArrowsFor(i, static_cast<int>(ids_.size()));
  if (front_) front_->SetEnabled(arrows.previous);
  if (next_) next_->SetEnabled(arrows.next);
}
