// The program's list base and its row classes.
//
// CListUIEx is the list every page derives: several rows can be selected
// (Ctrl toggles a row, Shift selects a range), each row may carry a check box
// (named by SetCheckBoxName) that follows the row's selection, rows are found
// by their user data (the decimal id of the record they show), and the cells
// of the rows take the widths of the header's columns.
//
// Row classes (all CListContainerElementUI):
//   CListContainerElementMultSelectUI  "ListContainerElementMultSelectUI": the
//       selection rules above, a "mouseenter" notification on hover;
//   CListContainerElementMultUI        made by the pages' own builders: shows
//       "checkbox" and "titlelabel" while hovered, a click toggles "checkbox";
//   CListContainerElementUIEx          "ListContainerElementUIEx": the hover
//       layer "titlelabel" is shown while the mouse is over the row.
// The last two show their "selectlabel" while selected.
//
// A long list is filled a slice of rows at a time (FillInSlices): the
// first slice at once, the others from the UI loop, so the window paints,
// scrolls and answers input while the rest comes. Once filled, the list is
// what adding every row at once gives, whatever the user did meanwhile:
// operations on every row (check all, a selection that leaves the other
// rows out, check boxes following the selection) also apply to the rows
// still to come, and what needs every row (an insert at a position, a row
// looked for by its user data and not there yet, the checked rows while
// every row is checked) adds the rest first. Rows removed all at once (RemoveAll) leave
// the list at once and are deleted a slice per turn as well.
//
// Threading: UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "qenui/UIlib.h"

// Builds the controls that row layouts name by class: "ButtonState".
class CListElementBuilderCallback : public DuiLib::IDialogBuilderCallback {
 public:
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;
};

// What the three row classes share: selection that follows the Ctrl and
// Shift keys when the user selects (trigger flag set). A selection made by
// the program (no trigger) always takes the given value.
class CListRowUIBase : public DuiLib::CListContainerElementUI {
 public:
  bool Select(bool bSelect = true, bool bTriggerEvent = true) override;

 protected:
  // Shows the sub-control "selectlabel" while selected (the rows that have one).
  void ShowSelectMark();
};

class CListContainerElementMultSelectUI : public CListRowUIBase {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ListContainerElementMultSelectUI"; }
  void DoEvent(DuiLib::TEventUI& event) override;
};

class CListContainerElementMultUI : public CListRowUIBase {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ListContainerElementMultUI"; }
  bool Select(bool bSelect = true, bool bTriggerEvent = true) override;
  void DoEvent(DuiLib::TEventUI& event) override;
};

class CListContainerElementUIEx : public CListRowUIBase {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ListContainerElementUIEx"; }
  bool Select(bool bSelect = true, bool bTriggerEvent = true) override;
  void DoEvent(DuiLib::TEventUI& event) override;
};

class CListUIEx : public DuiLib::CListUI, public CListElementBuilderCallback {
 public:
  static constexpr int kMaxColumns = 32;

  CListUIEx();
  ~CListUIEx() override;

  // The name of the check box inside each row; empty: rows have none.
  void SetCheckBoxName(DuiLib::LPCTSTR name) { m_sCheckBoxName = name; }
  const DuiLib::CDuiString& GetCheckBoxName() const { return m_sCheckBoxName; }

  // The row classes by layout name (case-insensitive); other names: null.
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

  // Fills the list: `add_row(i)` appends the row of item i, for i from 0
  // to count - 1; a slice of rows now, the rest a slice per turn of the UI
  // loop (the list's timer). RemoveAll and the next fill drop the rows
  // still to come.
  void FillInSlices(int count, std::function<void(int)> add_row);
  bool IsFilling() const { return m_fill != nullptr; }
  // The rows the fill has still to add; the rows there and those to come.
  int PendingRows() const;
  int TotalCount() const { return GetCount() + PendingRows(); }
  // Adds the rows still to come now.
  void FinishFill();
  // A slice adds at most `rows` rows and, with a budget, no further row
  // once it has taken `budget_ms` (a slice holds the window about that
  // long whatever a row costs on this machine); kFillSlice rows and
  // kFillBudgetMs unless set, 0 for no budget.
  void SetFillSlice(int rows, int budget_ms = kFillBudgetMs) {
    m_fillSlice = rows > 0 ? rows : 1;
    m_fillBudgetMs = budget_ms > 0 ? budget_ms : 0;
  }
  static constexpr int kFillSlice = 200;
  static constexpr int kFillBudgetMs = 8;
  // Rows deleted per turn after a RemoveAll.
  static constexpr size_t kDeleteSlice = 1000;

  // Every row leaves the list now; the rows are deleted a slice per turn.
  void RemoveAll() override;
  // Rows found by user data; a row not there while a fill runs is looked
  // for again once every row is in.
  bool RemoveRowByUserData(DuiLib::LPCTSTR data);
  DuiLib::CControlUI* FindRowByUserData(DuiLib::LPCTSTR data) const;
  int IndexOfUserData(DuiLib::LPCTSTR data) const;
  DuiLib::CDuiString GetRowUserData(int index) const;
  DuiLib::CControlUI* FirstSelectedRow() const;

  // The check box of a row (null when the name is empty or the row has none).
  DuiLib::CCheckBoxUI* RowCheckBox(DuiLib::CControlUI* row) const;
  // The checked rows, those a fill has still to add included.
  int CheckedCount() const;
  void GetCheckedRows(std::vector<DuiLib::CControlUI*>& rows) const;
  void GetCheckedIds(std::vector<long long>& ids) const;
  // Checks (or unchecks) and selects (or unselects) every row, then sends
  // "itemselect" with the current selection.
  void CheckAll(bool checked);
  // A row's check box was clicked: the row (the box's tag) follows the box.
  void OnCheckBoxClicked(DuiLib::CControlUI* checkBox);
  // Every row's box follows the row's selection; answers the box of row `index`.
  DuiLib::CCheckBoxUI* SyncCheckBoxes(int index);
  // Lays the list out again at its current rectangle.
  void Relayout();
  // A row from a row layout file (from the file the first time, then from
  // the builder's cached markup), appended (position < 0) or inserted at the
  // position (after every row a fill has still to add); null, with nothing
  // added, when it could not be built or added.
  DuiLib::CControlUI* AddRowFromLayout(DuiLib::CDialogBuilder& builder, bool& parsed, DuiLib::LPCTSTR layout,
                                       int position = -1);

  // List-owner operations used by the rows.
  bool SelectItem(int iIndex, bool bTakeFocus = false) override;
  bool SelectRange(int iIndex, bool bTakeFocus = false) override;
  bool ActivateItem(int iIndex) override;
  bool HotItem(int) override { return true; }
  bool DoubleClickItem(int) override { return true; }

  void SetPos(DuiLib::RECT rc, bool bNeedInvalidate = true) override;
  void DoEvent(DuiLib::TEventUI& event) override;

 protected:
  // Sets a row's selection without events.
  static void SetRowSelected(DuiLib::CControlUI* row, bool selected);

  DuiLib::CDuiString m_sCheckBoxName;

 private:
  static constexpr DuiLib::UINT kFillTimer = 0x4649;  // the list's own timer (subclasses use small ids)

  // A fill in progress: the rows still to come, and what operations on
  // every row have set for them (-1: as the row is built).
  struct FillState {
    int next = 0;
    int count = 0;
    std::function<void(int)> add_row;
    int check = -1;
    int select = -1;
  };
  // Adds up to `limit` rows of the fill (within the slice's budget when
  // `budgeted`); ends it after its last row.
  void AddFillRows(int limit, bool budgeted = false);
  void EndFill();
  // Deletes up to `limit` of the rows RemoveAll took out.
  void DeleteRemovedRows(size_t limit);
  // The list's timer runs while rows are to be added or deleted; false when
  // it cannot run (no window).
  bool ArmTimer();
  // Lookups and every-row reads that need the rows still to come.
  void CompleteFill() const { const_cast<CListUIEx*>(this)->FinishFill(); }

  std::shared_ptr<FillState> m_fill;
  std::vector<DuiLib::CControlUI*> m_removed;  // out of the list and the window, deleted in slices
  bool m_addingFillRows = false;
  int m_fillSlice = kFillSlice;
  int m_fillBudgetMs = kFillBudgetMs;
};

// Fills `list` with a row per record, a slice at a time (FillInSlices):
// add_row(record) appends the row of one record. The records are held
// until the last row is in.
template <typename Record, typename AddRow>
void FillWithRecords(CListUIEx* list, std::vector<Record> records, AddRow add_row) {
  auto held = std::make_shared<std::vector<Record>>(std::move(records));
  list->FillInSlices(static_cast<int>(held->size()),
                     [held, add_row](int i) { add_row((*held)[static_cast<size_t>(i)]); });
}

// The rows a Shift selection covers, from the current selection `anchor`
// (-1 when none) to `index`, both included; with no current selection the
// range starts at the first row.
struct RowRange {
  int first;
  int last;
};
RowRange SelectionRange(int anchor, int index);
