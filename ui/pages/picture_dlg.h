// CPictureDlg: the pictures page. Its first view is the month list
// (CPictureHomeDlg over the CPictureList "picturehomelist"); a month opens
// as the month page (CPictureSubDlg), a double-clicked thumbnail in the
// viewer (CPictureShowDlg). The user adds pictures from the computer,
// exports the ticked pictures into a folder, deletes them (after a question
// the user can turn off) and reloads the list; the batches run behind the
// batch box (batch_run.h). The picture manager's messages 1274-1280 keep
// the views.
//
// Views: "tab_pic" (0 browsing, 1 the viewer), "tab_pic_pages" (0 the month
// list, 1 the month page), "tab_pic_load" (0 the lists, 1 loading, 2 empty).
//
// Threading: UI thread only; the ids and paths of a batch are collected
// before the box opens and the box's worker touches nothing of the page.
#pragma once

#include <memory>
#include <vector>

#include "ui/pages/page_controller.h"
#include "ui/pages/picture_sub_dlg.h"

class CPictureList;

class CPictureHomeDlg {
 public:
  explicit CPictureHomeDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}

  void Init();
  // Rebuilds the month list from the phone's albums.
  void Fill();
  // Refreshes, adds (at the top) or removes the row of one month.
  void UpdateAlbum(int64_t key);
  // The thumbnail of `id` in the first grid that shows it.
  void UpdateThumbnail(int32_t id);
  void CheckAll(bool checked);
  void GetChecked(std::vector<int32_t>& ids) const;
  void Clear();

  CPictureList* List() const { return list_; }

 private:
  DuiLib::CPaintManagerUI* pm_;
  CPictureList* list_ = nullptr;
};

class CPictureDlg : public CPageController {
 public:
  explicit CPictureDlg(DuiLib::CPaintManagerUI* pm);
  ~CPictureDlg() override;

  void Init() override;
  // The page option was chosen: load the list.
  void Show() override { CPageController::Show(); LoadList(); }
  void LoadList();
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnItemClick(DuiLib::TNotifyUI& msg);
  void OnItemDoubleClick(DuiLib::TNotifyUI& msg);
  void OnScroll(DuiLib::TNotifyUI& msg);
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                bool& bHandled) override;
  void Clear() override;

  // The ticked ids of the view that shows; true when every picture of the
  // month page is ticked.
  bool GetCheckedIds(std::vector<int32_t>& ids) const;
  void UpdateCheckState();
  void ShowEmptyState();

  CPictureHomeDlg& Home() { return *home_; }
  CPictureSubDlg& Month() { return *sub_; }
  CPictureShowDlg& Viewer() { return *show_; }

 private:
  bool MonthPageShown() const;
  bool ViewerShown() const;
  void OnBusy(bool busy);
  void Add();
  void Export();
  void Delete();

  std::unique_ptr<CPictureHomeDlg> home_;
  std::unique_ptr<CPictureSubDlg> sub_;
  std::unique_ptr<CPictureShowDlg> show_;
  DuiLib::CTabLayoutUI* tab_pic_ = nullptr;
  DuiLib::CTabLayoutUI* tab_load_ = nullptr;
  DuiLib::CTabLayoutUI* tab_pages_ = nullptr;
  DuiLib::CCheckBoxUI* all_ = nullptr;
  DuiLib::CControlUI* del_ = nullptr;
  DuiLib::CControlUI* export_ = nullptr;
  DuiLib::CControlUI* add_ = nullptr;
  DuiLib::CControlUI* refresh_ = nullptr;
  DuiLib::CAnimationUI* loading_ = nullptr;
};
