// The two lists of the pictures page.
//
// CPictureSubList ("PictureSubList"): a grid of thumbnails, used inside each
// month row of the month list and as the month page. Rows come from
// "wnd_xml\picsublist_item.xml" (a CListContainerElementMultUI named
// "pic_container" holding the CThumbnailImageUI "pic_img_lbl" and the hover
// layer "titlelabel" with its tick "checkbox"). A row's user data is the
// picture id, its tag the grid; "pic_img_lbl" carries the id too. The
// grid's own user data is its month's key.
//
// CPictureList ("PictureList"): the month list. Rows come from
// "wnd_xml\pichomelist_item.xml" ("pic_container", 206 pixels high) and
// carry the month's key: "pic_date" (year and month), "pic_count" (the
// badge), "picsub_list" (the first five thumbnails) and "pic_show_more"
// (shown when the month holds more than five; its user data the key, its
// tag the row).
//
// Threading: UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/data/picture_record.h"
#include "ui/controls/list_ui_ex.h"

namespace picture_grid {
constexpr int kMonthThumbnails = 5;   // thumbnails in a month row
constexpr int kHomeBatch = 30;        // rows a month row's grid adds at once
constexpr int kMonthPageBatch = 20;   // rows the month page adds at once
constexpr double kNearEnd = 0.97;     // scrolled this far, the month page loads more

// The rows to add to a grid that holds `rows` of `total` records: [rows, end).
int BatchEnd(int rows, int total, int batch);
// The key as the rows and grids carry it ("%I64d").
std::u16string KeyText(int64_t key);
int64_t KeyOf(const DuiLib::CDuiString& text);
}  // namespace picture_grid

class CPictureSubList : public CListUIEx {
 public:
  CPictureSubList();
  DuiLib::LPCTSTR GetClass() const override { return u"PictureSubListUI"; }
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

  bool AddImage(const ImageRecord& record, int index);
  void SetRowData(DuiLib::CControlUI* row, const ImageRecord& record);
  static void FillImage(DuiLib::CControlUI* row, const ImageRecord& record);
  // Fills the row of `id` again from the phone's record; true when the row
  // was found and a phone answered.
  bool RefreshImage(int32_t id);
  // Ticks (or unticks) every picture; the tick layer shows exactly on the
  // ticked ones. Answers the row count.
  int CheckAll(bool checked);
  void GetChecked(std::vector<int32_t>& ids) const;
  int64_t Key() { return picture_grid::KeyOf(GetUserData()); }
  // Scrolled to the end (0.97 of the range), and the details of the
  // second-to-last row's picture already arrived.
  bool IsNearEnd();
  // A scrolling grid whose size changed tells it as a scroll does ("scroll",
  // once the layout is done): it may now show its last row, or have nothing
  // left to scroll.
  void SetPos(DuiLib::RECT rc, bool bNeedInvalidate = true) override;

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

class CPictureList : public CListUIEx {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"PictureListUI"; }
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

  // Builds a month row (appended when index < 0, else inserted) and fills it.
  bool AddAlbum(const PictureAlbum& album, int index);
  // Shows the month in an existing row: date, count, "more", first five.
  void FillRow(DuiLib::CControlUI* row, const PictureAlbum& album);
  // Adds the next batch of `records` to `grid` and asks for their details.
  static void FillGrid(CPictureSubList* grid, int64_t key, const std::vector<ImageRecord>& records);
  static CPictureSubList* GridOf(DuiLib::CControlUI* row);

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

// Shows `n` in a count badge, as wide as its text plus 5 pixels, at least 18.
void ShowCountBadge(DuiLib::CControlUI* badge, int n);
