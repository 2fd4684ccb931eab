// CListUIEx filled in slices: a slice per turn of the loop, and whatever the
// user and the page do meanwhile, the list ends as the same list filled at
// once with the same things done after it; rows removed all at once are
// deleted a slice per turn.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "foundation/base/tests/case_name.h"
#include "ui/controls/tests/controls_fixture.h"

namespace controls_test {
namespace {

constexpr int kRows = 50;
constexpr int kSlice = 10;

std::u16string Id(const char* prefix, int i) {
  const std::string id = prefix + std::to_string(i);
  return std::u16string(id.begin(), id.end());
}

class ListFillTest : public ControlsTest {
 public:
  using ControlsTest::list;

  // Fills `list` with rows "id0".. in slices of `slice` rows.
  void Fill(int rows, int slice) {
    list->SetCheckBoxName(u"chk");
    list->SetFillSlice(slice, 0);  // no time budget: the same rows per turn on any machine
    list->FillInSlices(rows, [this](int i) { AddRow(Id("id", i), -1); });
  }
  CControlUI* AddRow(const std::u16string& id, int position) {
    CControlUI* row = list->AddRowFromLayout(builder_, parsed_, u"wnd_xml\\multsel_row.xml", position);
    if (!row) return nullptr;
    row->SetUserData(id.c_str());
    auto* c = static_cast<CContainerUI*>(row->GetInterface(u"Container"));
    if (CControlUI* box = c->FindSubControl(u"chk")) box->SetTag(reinterpret_cast<UINT_PTR>(row));
    return row;
  }
  // Runs the loop until the fill is done.
  void RunFill() {
    for (int turn = 0; list->IsFilling() && turn < 1000; ++turn) host->Advance(1);
    ASSERT_FALSE(list->IsFilling());
  }
  void Click(int row, bool ctrl = false, bool shift = false) {
    host->SetKeyDown(VK_CONTROL, ctrl);
    host->SetKeyDown(VK_SHIFT, shift);
    ClickControl(list->GetItemAt(row));
    host->SetKeyDown(VK_CONTROL, false);
    host->SetKeyDown(VK_SHIFT, false);
  }
  // The rows in order with their marks: "id0:sc" (s selected, c checked),
  // then the current row and the counts.
  std::string State() {
    std::string out;
    for (int i = 0; i < list->GetCount(); ++i) {
      CControlUI* row = list->GetItemAt(i);
      auto* li = static_cast<IListItemUI*>(row->GetInterface(u"ListItem"));
      CCheckBoxUI* box = list->RowCheckBox(row);
      out += row->GetUserData().ToUtf8() + ":" + (li->IsSelected() ? "s" : "") + (box && box->GetCheck() ? "c" : "") +
             " ";
    }
    return out + "cur=" + std::to_string(list->GetCurSel()) + " checked=" + std::to_string(list->CheckedCount()) +
           " total=" + std::to_string(list->TotalCount());
  }


 private:
  CDialogBuilder builder_;
  bool parsed_ = false;
};

TEST_F(ListFillTest, ASlicePerTurnAndTheWindowAnswersBetween) {
  ASSERT_NO_FATAL_FAILURE(Fill(kRows, kSlice));
  EXPECT_EQ(list->GetCount(), kSlice);  // the first slice at once
  EXPECT_EQ(list->TotalCount(), kRows);
  EXPECT_TRUE(list->IsFilling());
  Click(3);  // answered before the next slice
  EXPECT_EQ(list->GetCurSel(), 3);
  EXPECT_EQ(list->GetCount(), kSlice);
  host->Advance(1);
  EXPECT_EQ(list->GetCount(), 2 * kSlice);
  ASSERT_NO_FATAL_FAILURE(RunFill());
  EXPECT_EQ(list->GetCount(), kRows);
  EXPECT_EQ(list->GetRowUserData(kRows - 1), u"id49");
}

// A slice stops once it has taken its time budget on the window's clock
// (after at least one row), whatever the number of rows it may add; how
// long a row takes in real time does not count.
TEST_F(ListFillTest, ASliceEndsWithItsTimeBudget) {
  list->SetFillSlice(1000, 8);
  list->FillInSlices(50, [this](int i) {
    host->Spend(5);  // a row that costs 5 ms
    AddRow(Id("id", i), -1);
  });
  EXPECT_EQ(list->GetCount(), 2);  // 5 ms after the first row, 10 after the second
  list->RemoveAll();
  list->SetFillSlice(3, 8);
  list->FillInSlices(50, [this](int i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // slow in real time only
    AddRow(Id("id", i), -1);
  });
  EXPECT_EQ(list->GetCount(), 3);
  list->RemoveAll();
}

TEST_F(ListFillTest, RemoveAllAndANewFillDropTheRowsToCome) {
  ASSERT_NO_FATAL_FAILURE(Fill(kRows, kSlice));
  list->RemoveAll();
  EXPECT_FALSE(list->IsFilling());
  host->Advance(50);
  EXPECT_EQ(list->GetCount(), 0);
  ASSERT_NO_FATAL_FAILURE(Fill(kRows, kSlice));
  list->FillInSlices(3, [this](int i) { AddRow(Id("new", i), -1); });
  ASSERT_NO_FATAL_FAILURE(RunFill());
  EXPECT_EQ(list->GetCount(), kSlice + 3);  // the first fill's first slice, then the new rows
  EXPECT_EQ(list->GetRowUserData(kSlice), u"new0");
}

// Emptying a long list takes its rows out at once (and out of the window)
// and deletes them a slice per turn; emptied while an event is handled, the
// rows go when it is done, as the library deletes what a handler removes.
TEST_F(ListFillTest, RowsRemovedAllAtOnceAreDeletedASlicePerTurn) {
  const int rows = 2 * static_cast<int>(CListUIEx::kDeleteSlice) + 5;
  ASSERT_NO_FATAL_FAILURE(Fill(rows, rows));
  int deleted = 0;
  for (int i = 0; i < list->GetCount(); ++i)
    list->GetItemAt(i)->OnDestroy.push_back([&deleted](void*) { return ++deleted > 0; });
  list->RemoveAll();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(deleted, 0);
  host->Advance(1);
  EXPECT_EQ(deleted, static_cast<int>(CListUIEx::kDeleteSlice));
  host->Advance(1);
  host->Advance(1);
  EXPECT_EQ(deleted, rows);

  struct Emptier : INotifyUI {
    CListUIEx* list = nullptr;
    void Notify(TNotifyUI& msg) override {
      if (msg.sType == DUI_MSGTYPE_ITEMCLICK) list->RemoveAll();
    }
  } emptier;
  emptier.list = list;
  ASSERT_NO_FATAL_FAILURE(Fill(3, 3));
  deleted = 0;
  for (int i = 0; i < list->GetCount(); ++i)
    list->GetItemAt(i)->OnDestroy.push_back([&deleted](void*) { return ++deleted > 0; });
  wnd.PM().AddNotifier(&emptier);
  Click(1);  // its own row goes in the handler: the row stops there
  wnd.PM().RemoveNotifier(&emptier);
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurSel(), -1);
}

// What the user or the page does while the list fills, after the first slice.
struct DuringFillCase {
  const char* name;
  std::function<void(ListFillTest&)> act;
};

class DuringFill : public ListFillTest, public ::testing::WithParamInterface<DuringFillCase> {};

// The list filled in slices with the action between two slices, against
// the list filled at once with the action after it.
TEST_P(DuringFill, EndsAsTheListFilledAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Fill(kRows, kRows));  // at once
  ASSERT_FALSE(list->IsFilling());
  GetParam().act(*this);
  const std::string at_once = State();
  list->RemoveAll();
  ASSERT_NO_FATAL_FAILURE(Fill(kRows, kSlice));
  host->Advance(1);
  ASSERT_TRUE(list->IsFilling());
  GetParam().act(*this);
  ASSERT_NO_FATAL_FAILURE(RunFill());
  EXPECT_EQ(State(), at_once);
}

std::vector<long long> Ids(CListUIEx* list) {
  std::vector<long long> ids;
  list->GetCheckedIds(ids);
  return ids;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DuringFill,
    ::testing::Values(
        DuringFillCase{"check all",
                       [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         EXPECT_EQ(t.list->CheckedCount(), kRows);  // the rows to come count as checked
                       }},
        DuringFillCase{"check all then one row unticked",
                       [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         CCheckBoxUI* box = t.list->RowCheckBox(t.list->GetItemAt(4));
                         box->SetCheck(false, false);
                         t.list->OnCheckBoxClicked(box);
                       }},
        DuringFillCase{"check all, then none", [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         t.list->CheckAll(false);
                       }},
        DuringFillCase{"check all, then a plain click", [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         t.Click(2);
                       }},
        DuringFillCase{"check all, then a shift click", [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         t.Click(5, false, true);  // no current row: rows 0 to 5
                       }},
        DuringFillCase{"ctrl click after check all", [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         t.Click(6, true);
                       }},
        DuringFillCase{"check all, a click, then the boxes follow the selection",
                       [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         t.Click(3);
                         t.list->SelectItem(3, true);  // activates: every box follows its row
                       }},
        DuringFillCase{"the checked ids after check all",
                       [](ListFillTest& t) {
                         t.list->CheckAll(true);
                         EXPECT_EQ(Ids(t.list).size(), static_cast<size_t>(kRows));
                       }},
        DuringFillCase{"a row there removed by its user data",
                       [](ListFillTest& t) { EXPECT_TRUE(t.list->RemoveRowByUserData(u"id1")); }},
        DuringFillCase{"a row to come removed by its user data",
                       [](ListFillTest& t) { EXPECT_TRUE(t.list->RemoveRowByUserData(u"id40")); }},
        DuringFillCase{"a row to come found by its user data",
                       [](ListFillTest& t) { EXPECT_EQ(t.list->IndexOfUserData(u"ID45"), 45); }},
        DuringFillCase{"a row inserted at a position",
                       [](ListFillTest& t) { EXPECT_NE(t.AddRow(u"new", 30), nullptr); }}),
    testing_support::NumberedBy(&DuringFillCase::name));

}  // namespace
}  // namespace controls_test
