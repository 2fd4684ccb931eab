// CListUIEx: Ctrl/Shift selection, check boxes, rows by user data, column
// widths; the hover rows.
#include <gtest/gtest.h>

#include "ui/controls/tests/controls_fixture.h"

namespace controls_test {
namespace {

struct Click {
  int row;
  bool ctrl;
  bool shift;
};

struct SelectionCase {
  const char* name;
  std::vector<Click> clicks;
  std::string selected;
  int current;
};

TEST_F(ControlsTest, ClicksWithCtrlAndShiftFollowTheSelectionRules) {
  const SelectionCase cases[] = {
      {"plain click replaces", {{1, false, false}, {3, false, false}}, "3", 3},
      {"ctrl adds", {{1, false, false}, {3, true, false}}, "1,3", 3},
      {"ctrl toggles off", {{1, false, false}, {3, true, false}, {1, true, false}}, "3", 1},
      {"shift selects the range", {{1, false, false}, {3, false, true}}, "1,2,3", 3},
      {"shift upwards", {{3, false, false}, {1, false, true}}, "1,2,3", 1},
      // No current selection: the range starts at the first row, never at -1.
      {"shift without a selection", {{2, false, true}}, "0,1,2", 2},
      {"plain click after a range", {{1, false, false}, {3, false, true}, {4, false, false}}, "4", 4},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    list->RemoveAll();
    ASSERT_NO_FATAL_FAILURE(AddRows(list, 5));
    for (const Click& k : c.clicks) {
      host->SetKeyDown(VK_CONTROL, k.ctrl);
      host->SetKeyDown(VK_SHIFT, k.shift);
      ASSERT_TRUE(ClickControl(list->GetItemAt(k.row)));
    }
    host->SetKeyDown(VK_CONTROL, false);
    host->SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(Selected(list), c.selected);
    EXPECT_EQ(list->GetCurSel(), c.current);
  }
}

TEST_F(ControlsTest, RangeSelectionRefusedByADisabledRowClearsTheCurrentSelection) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 3));
  list->SelectItem(0);
  list->GetItemAt(2)->SetEnabled(false);
  EXPECT_FALSE(list->SelectRange(2));
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_FALSE(list->SelectRange(7));
}

TEST_F(ControlsTest, ActivatingARowSendsClickFromItsBoxOnlyWithACheckBoxName) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 3));
  CNotifyRecorder rec(&wnd.PM());
  list->SelectItem(1, true);  // takes focus: activates the row
  EXPECT_EQ(rec.Summary(), "itemselect:list");
  EXPECT_EQ(list->CheckedCount(), 0);

  list->SetCheckBoxName(u"chk");
  rec.Clear();
  list->SelectItem(2, true);
  EXPECT_EQ(rec.Summary(), "click:chk,itemselect:list");
  EXPECT_EQ(list->CheckedCount(), 1);
  EXPECT_EQ(list->RowCheckBox(list->GetItemAt(2))->GetCheck(), true);

  // Space on a selected row: the boxes follow the selection again.
  host->SetKeyDown(VK_CONTROL, true);
  ClickControl(list->GetItemAt(0));
  host->SetKeyDown(VK_CONTROL, false);
  rec.Clear();
  PressKey(hwnd, VK_SPACE);
  EXPECT_EQ(list->CheckedCount(), 2);
}

TEST_F(ControlsTest, CheckAllChecksAndSelectsEveryRowAndSendsOneItemSelect) {
  struct Case { int rows; bool checked; int count; std::string selected; };
  const Case cases[] = {{0, true, 0, ""}, {3, true, 3, "0,1,2"}, {3, false, 0, ""}};
  list->SetCheckBoxName(u"chk");
  for (const Case& c : cases) {
    list->RemoveAll();
    ASSERT_NO_FATAL_FAILURE(AddRows(list, c.rows));
    list->CheckAll(!c.checked);
    CNotifyRecorder rec(&wnd.PM());
    list->CheckAll(c.checked);
    EXPECT_EQ(rec.Summary(), "itemselect:list");
    EXPECT_EQ(list->CheckedCount(), c.count);
    EXPECT_EQ(Selected(list), c.selected);
  }
}

TEST_F(ControlsTest, CheckBoxClickMakesTheRowFollowTheBox) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 3));
  list->SetCheckBoxName(u"chk");
  CCheckBoxUI* box = list->RowCheckBox(list->GetItemAt(1));
  box->SetCheck(true, false);
  list->OnCheckBoxClicked(box);
  EXPECT_EQ(Selected(list), "1");
  std::vector<long long> ids;
  list->GetCheckedIds(ids);  // user data "id1" is not a number
  EXPECT_EQ(ids, std::vector<long long>{0});
  box->SetCheck(false, false);
  list->OnCheckBoxClicked(box);
  EXPECT_EQ(Selected(list), "");
}

TEST_F(ControlsTest, RowsAreFoundAndRemovedByUserData) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 3));
  EXPECT_EQ(list->IndexOfUserData(u"ID2"), 2);
  EXPECT_EQ(list->FindRowByUserData(u"id1"), list->GetItemAt(1));
  EXPECT_EQ(list->FindRowByUserData(u"id9"), nullptr);
  EXPECT_EQ(list->GetRowUserData(0), u"id0");
  EXPECT_EQ(list->GetRowUserData(5), u"");
  EXPECT_FALSE(list->RemoveRowByUserData(u"id9"));
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_TRUE(list->RemoveRowByUserData(u"Id1"));
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetRowUserData(1), u"id2");
  EXPECT_EQ(list->FirstSelectedRow(), nullptr) << Selected(list);
  list->SelectItem(1, true);
  EXPECT_EQ(list->FirstSelectedRow(), list->GetItemAt(1));
}

TEST_F(ControlsTest, RemoveAllResetsTheScrollBar) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 5));
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 5));
  list->SetScrollPos(MakeSize(0, 50));
  list->RemoveAll();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetVerticalScrollBar()->GetScrollRange(), 0);
  EXPECT_EQ(list->GetVerticalScrollBar()->GetScrollPos(), 0);
}

TEST_F(ControlsTest, RowCellsTakeTheWidthsOfTheHeaderColumns) {
  auto* columns = static_cast<CListUIEx*>(wnd.PM().FindControl(u"columns"));
  CDialogBuilder builder;
  CControlUI* row = builder.CreateFromText(
      u"<ListContainerElementUIEx height=\"30\"><HorizontalLayout><Label name=\"a\"/><Label name=\"b\"/>"
      u"<Label name=\"c\"/></HorizontalLayout></ListContainerElementUIEx>",
      columns, &wnd.PM());
  ASSERT_NE(row, nullptr);
  columns->Add(row);
  wnd.PM().UpdateLayout();
  columns->Relayout();
  auto* cells = static_cast<CContainerUI*>(static_cast<CContainerUI*>(row->GetInterface(u"Container"))->GetItemAt(0));
  EXPECT_EQ(cells->GetItemAt(0)->GetFixedWidth(), 50);
  EXPECT_EQ(cells->GetItemAt(1)->GetFixedWidth(), 80);
  EXPECT_EQ(cells->GetItemAt(2)->GetFixedWidth(), 400 - 130);

  // A header of 40 columns counts as 32: the cells past the 32nd keep their width.
  for (int i = 3; i < 40; ++i) {
    auto* item = new CListHeaderItemUI;
    item->SetFixedWidth(5);
    columns->GetHeader()->Add(item);
    auto* cell = new CLabelUI;
    cell->SetFixedWidth(1);
    cells->Add(cell);
  }
  wnd.PM().UpdateLayout();
  columns->Relayout();
  EXPECT_EQ(cells->GetItemAt(31)->GetFixedWidth(), 5);
  EXPECT_EQ(cells->GetItemAt(32)->GetFixedWidth(), 1);
}

TEST_F(ControlsTest, HoverRowShowsItsLayerWhileHoveredAndItsMarkWhileSelected) {
  ASSERT_NO_FATAL_FAILURE(AddRows(list, 2, u"wnd_xml\\hover_row.xml"));
  auto* row = static_cast<CContainerUI*>(list->GetItemAt(0)->GetInterface(u"Container"));
  ASSERT_STREQ(reinterpret_cast<const char*>(list->GetItemAt(0)->GetClass()),
               reinterpret_cast<const char*>(u"ListContainerElementUIEx"));
  HoverControl(row);
  EXPECT_TRUE(row->FindSubControl(u"titlelabel")->IsVisible());
  HoverControl(list->GetItemAt(1));
  EXPECT_FALSE(row->FindSubControl(u"titlelabel")->IsVisible());
  ClickControl(row);
  EXPECT_TRUE(row->FindSubControl(u"selectlabel")->IsVisible());
  ClickControl(list->GetItemAt(1));
  EXPECT_FALSE(row->FindSubControl(u"selectlabel")->IsVisible());
}

TEST_F(ControlsTest, BuildersMakeTheirClassesCaseBlind) {
  CListUIEx ex;
  std::unique_ptr<CControlUI> a(ex.CreateControl(u"listcontainerelementmultselectui"));
  std::unique_ptr<CControlUI> b(ex.CreateControl(u"ListContainerElementUIEx"));
  EXPECT_NE(dynamic_cast<CListContainerElementMultSelectUI*>(a.get()), nullptr);
  EXPECT_NE(dynamic_cast<CListContainerElementUIEx*>(b.get()), nullptr);
  EXPECT_EQ(ex.CreateControl(u"ButtonState"), nullptr);
  CListElementBuilderCallback cb;
  std::unique_ptr<CControlUI> c(cb.CreateControl(u"buttonstate"));
  EXPECT_NE(dynamic_cast<CButtonStateUI*>(c.get()), nullptr);
  EXPECT_EQ(cb.CreateControl(u"Button"), nullptr);
}

}  // namespace
}  // namespace controls_test
