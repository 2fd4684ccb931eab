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
// Threading: UI thread only.
#pragma once

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

  // The name of the check box inside each row; empty: rows have none.
  void SetCheckBoxName(DuiLib::LPCTSTR name) { m_sCheckBoxName = name; }
  const DuiLib::CDuiString& GetCheckBoxName() const { return m_sCheckBoxName; }

  // The row classes by layout name (case-insensitive); other names: null.
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

  void RemoveAll() override;
  bool RemoveRowByUserData(DuiLib::LPCTSTR data);
  DuiLib::CControlUI* FindRowByUserData(DuiLib::LPCTSTR data) const;
  int IndexOfUserData(DuiLib::LPCTSTR data) const;
  DuiLib::CDuiString GetRowUserData(int index) const;
  DuiLib::CControlUI* FirstSelectedRow() const;

  // The check box of a row (null when the name is empty or the row has none).
  DuiLib::CCheckBoxUI* RowCheckBox(DuiLib::CControlUI* row) const;
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
  // position; null, with nothing added, when it could not be built or added.
  DuiLib::CControlUI* AddRowFromLayout(DuiLib::CDialogBuilder& builder, bool& parsed, DuiLib::LPCTSTR layout,
                                       int position = -1);

  // List-owner operations used by the rows.
  bool SelectItem(int iIndex, bool bTakeFocus = false) override;
  bool SelectRange(int iIndex, bool bTakeFocus = false) override;
  bool ActivateItem(int iIndex) override;
  bool HotItem(int) override { return true; }
  bool DoubleClickItem(int) override { return true; }

  void SetPos(DuiLib::RECT rc, bool bNeedInvalidate = true) override;

 protected:
  // Sets a row's selection without events.
  static void SetRowSelected(DuiLib::CControlUI* row, bool selected);

  DuiLib::CDuiString m_sCheckBoxName;
};

// The rows a Shift selection covers, from the current selection `anchor`
// (-1 when none) to `index`, both included; with no current selection the
// range starts at the first row.
struct RowRange {
  int first;
  int last;
};
RowRange SelectionRange(int anchor, int index);
