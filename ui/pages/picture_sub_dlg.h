// CPictureSubDlg: the month page of the pictures page. It shows every
// picture of one month in its grid ("picsub_list" inside "pic_month_view"),
// 20 more each time the user scrolls near the end, with the month's date
// ("pic_date") and count ("pic_count").
//
// CPictureShowDlg: the picture viewer. It shows one picture upright (EXIF
// orientation), fitted into the picture control's maximum size
// (picture_view.h), with previous and next arrows over the pictures of the
// month it was opened from.
//
// Both read the phone's records through the media seam; CPictureDlg drives
// them. Threading: UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qenui/UIlib.h"

class CPictureSubList;

class CPictureSubDlg {
 public:
  explicit CPictureSubDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}

  void Init();
  // Shows the month whose key is `key_text`; nothing without a phone or month.
  void ShowAlbum(const std::u16string& key_text);
  void Reload();
  // The next 20 pictures of the month.
  void LoadMore();
  // The next 20 when the grid shows its end (or has nothing to scroll) and
  // the pictures before have their details.
  void LoadMoreAtEnd();
  // The grid was scrolled or resized ("scroll" from `sender`).
  void OnScroll(DuiLib::CControlUI* sender);
  void AddImage(int64_t key, int32_t id);
  void RemoveImage(int32_t id);
  void UpdateThumbnail(int32_t id);
  void CheckAll(bool checked);
  // The ticked ids; true when every picture of the page is ticked.
  bool GetChecked(std::vector<int32_t>& ids) const;
  void ShowCount(int n);
  void Clear();

  CPictureSubList* Grid() const { return grid_; }

 private:
  DuiLib::CPaintManagerUI* pm_;
  CPictureSubList* grid_ = nullptr;
  DuiLib::CControlUI* count_ = nullptr;
  DuiLib::CControlUI* date_ = nullptr;
};

class CPictureShowDlg {
 public:
  explicit CPictureShowDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}

  void Init();
  // A double-clicked thumbnail (its row is the sender, the row's tag its grid).
  void Open(DuiLib::TNotifyUI& msg);
  void Show(int32_t id);
  // The full picture of `id` is in its cache file (message 1279).
  void ShowLoaded(int32_t id);
  void OnClick(DuiLib::TNotifyUI& msg);
  void Next();
  void Previous();
  void UpdateNavigation(int i);

  int32_t ShownId() const;
  const std::vector<int32_t>& Ids() const { return ids_; }

 private:
  DuiLib::CPaintManagerUI* pm_;
  DuiLib::CPngImageUI* image_ = nullptr;
  DuiLib::CAnimationUI* loading_ = nullptr;
  DuiLib::CControlUI* front_ = nullptr;
  DuiLib::CControlUI* next_ = nullptr;
  DuiLib::CTabLayoutUI* tab_ = nullptr;
  DuiLib::CControlUI* layout_ = nullptr;
  DuiLib::CControlUI* title_ = nullptr;
  std::vector<int32_t> ids_;  // the pictures of the month being viewed
};
