#include "ui/pages/picture_lists.h"

#include <algorithm>

#include "ui/controls/button_state.h"
#include "ui/pages/media_phone.h"
#include "ui/pages/media_text.h"

using namespace DuiLib;

namespace {

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

CControlUI* Sub(CControlUI* row, LPCTSTR name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

CDuiString IdText(int32_t id) {
  CDuiString s;
  s.Format(u"%d", id);
  return s;
}

}  // namespace

namespace picture_grid {

int BatchEnd(int rows, int total, int batch) { return std::max(rows, std::min(total, rows + batch)); }

std::u16string KeyText(int64_t key) {
  CDuiString s;
  s.Format(u"%I64d", static_cast<long long>(key));
  return s.str();
}

int64_t KeyOf(const CDuiString& text) { return static_cast<int64_t>(ParseInt(text)); }

}  // namespace picture_grid

void ShowCountBadge(CControlUI* badge, int n) {
  if (!badge) return;
  const CDuiString text = IdText(n);
  badge->SetText(text);
  int width = 0;
  if (CPaintManagerUI* pm = badge->GetManager()) {
    auto* label = static_cast<CLabelUI*>(badge->GetInterface(u"Label"));
    width = pm->MeasureText(text.str(), label ? label->GetFont() : -1).cx;
  }
  badge->SetFixedWidth(media_text::CountBadgeWidth(width));
}

// ---------------- CPictureSubList ----------------

CPictureSubList::CPictureSubList() { SetCheckBoxName(u"checkbox"); }

CControlUI* CPictureSubList::CreateControl(LPCTSTR cls) {
  if (Is(cls, u"ListContainerElementMultUI")) return new CListContainerElementMultUI;
  if (Is(cls, u"ThumbnailImage")) return new CThumbnailImageUI;
  return nullptr;
}

bool CPictureSubList::AddImage(const ImageRecord& record, int index) {
  CControlUI* row = AddRowFromLayout(m_builder, m_bParsed, u"wnd_xml\\picsublist_item.xml", index);
  if (!row) return false;
  SetRowData(row, record);
  FillImage(row, record);
  return true;
}

void CPictureSubList::SetRowData(CControlUI* row, const ImageRecord& record) {
  if (!row) return;
  row->SetUserData(IdText(record.id));
  row->SetTag(reinterpret_cast<UINT_PTR>(this));
}

void CPictureSubList::FillImage(CControlUI* row, const ImageRecord& record) {
  CControlUI* image = Sub(row, u"pic_img_lbl");
  if (!image) return;
  if (!record.thumbnail_cache_path.empty()) image->SetBkImage(record.thumbnail_cache_path.c_str());
  image->SetUserData(IdText(record.id));
}

bool CPictureSubList::RefreshImage(int32_t id) {
  CControlUI* row = FindRowByUserData(IdText(id));
  if (!row || !MediaPhone()->IsConnected()) return false;
  std::optional<ImageRecord> record = MediaPhone()->FindImageById(id);
  if (!record) return false;
  SetRowData(row, *record);
  FillImage(row, *record);
  return true;
}

int CPictureSubList::CheckAll(bool checked) {
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* row = GetItemAt(i);
    if (CCheckBoxUI* box = RowCheckBox(row)) {
      box->SetCheck(checked);
      box->SetVisible(checked);
    }
    if (CControlUI* layer = Sub(row, u"titlelabel")) layer->SetVisible(checked);
  }
  return GetCount();
}

void CPictureSubList::GetChecked(std::vector<int32_t>& ids) const {
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* row = GetItemAt(i);
    CCheckBoxUI* box = RowCheckBox(row);
    if (box && box->GetCheck()) ids.push_back(static_cast<int32_t>(ParseInt(row->GetUserData())));
  }
}

bool CPictureSubList::IsNearEnd() {
  const SIZE range = GetScrollRange();
  const SIZE pos = GetScrollPos();
  if (pos.cy < picture_grid::kNearEnd * range.cy) return false;
  // The second-to-last row's details have arrived: the batch before is in.
  const int n = GetCount();
  if (n < 2) return false;
  std::optional<ImageRecord> record =
      MediaPhone()->FindImageById(static_cast<int32_t>(ParseInt(GetItemAt(n - 2)->GetUserData())));
  return record && record->stale == 0;
}

void CPictureSubList::SetPos(RECT rc, bool bNeedInvalidate) {
  const RECT old = GetPos();
  CListUIEx::SetPos(rc, bNeedInvalidate);
  if (!GetVerticalScrollBar() || !m_pManager) return;
  if (rc.Width() != old.Width() || rc.Height() != old.Height())
    m_pManager->SendNotify(this, DUI_MSGTYPE_SCROLL, 0, 0, true);
}

// ---------------- CPictureList ----------------

CControlUI* CPictureList::CreateControl(LPCTSTR cls) {
  return Is(cls, u"PictureSubList") ? new CPictureSubList : nullptr;
}

CPictureSubList* CPictureList::GridOf(CControlUI* row) { return dynamic_cast<CPictureSubList*>(Sub(row, u"picsub_list")); }

bool CPictureList::AddAlbum(const PictureAlbum& album, int index) {
  CControlUI* row = AddRowFromLayout(m_builder, m_bParsed, u"wnd_xml\\pichomelist_item.xml", index);
  if (!row) return false;
  FillRow(row, album);
  return true;
}

void CPictureList::FillRow(CControlUI* row, const PictureAlbum& album) {
  if (!row) return;
  const std::u16string key_text = picture_grid::KeyText(album.key);
  row->SetUserData(key_text.c_str());
  if (CControlUI* date = Sub(row, u"pic_date")) date->SetText(media_text::FormatMonth(album.key).c_str());
  const int n = static_cast<int>(album.images.size());
  ShowCountBadge(Sub(row, u"pic_count"), n);
  if (CControlUI* more = Sub(row, u"pic_show_more")) {
    more->SetUserData(key_text.c_str());
    more->SetTag(reinterpret_cast<UINT_PTR>(row));
    more->SetVisible(n > picture_grid::kMonthThumbnails);
  }
  CPictureSubList* grid = GridOf(row);
  if (!grid) return;
  grid->RemoveAll();
  std::vector<ImageRecord> first;
  for (int32_t id : album.images) {
    if (static_cast<int>(first.size()) == picture_grid::kMonthThumbnails) break;
    if (std::optional<ImageRecord> record = MediaPhone()->FindImageById(id)) first.push_back(std::move(*record));
  }
  FillGrid(grid, album.key, first);
}

void CPictureList::FillGrid(CPictureSubList* grid, int64_t key, const std::vector<ImageRecord>& records) {
  if (!grid) return;
  grid->SetUserData(picture_grid::KeyText(key).c_str());
  const int rows = grid->GetCount();
  const int end = picture_grid::BatchEnd(rows, static_cast<int>(records.size()), picture_grid::kHomeBatch);
  std::vector<int32_t> ids;
  for (int i = rows; i < end; ++i)
    if (grid->AddImage(records[static_cast<size_t>(i)], -1)) ids.push_back(records[static_cast<size_t>(i)].id);
  if (!ids.empty()) MediaPhone()->RequestImageInfo(ids);
}
