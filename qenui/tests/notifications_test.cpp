// Notifications in order for clicks, option groups, edits and lists; controls removed by their own handlers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "qenui/UIlib.h"
#include "qenui/core/UIImage.h"
#include "qenui/core/UIText.h"
#include "qenui/headless/UITestDriver.h"
#include "qenui/tests/test_window.h"

using namespace DuiLib;
using namespace qenui_test;

TEST_F(QenuiTest, ClicksOptionGroupsAndEditKeysNotifyInOrder) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  CNotifyRecorder rec(&w.PM());
  ASSERT_TRUE(ClickControl(w.PM(), u"opt2"));
  EXPECT_EQ(rec.Summary(), "selectchanged:opt2,click:opt2");
  EXPECT_FALSE(static_cast<COptionUI*>(w.PM().FindControl(u"opt1"))->IsSelected());
  rec.Clear();
  ClickControl(w.PM(), u"check");
  ClickControl(w.PM(), u"check");
  EXPECT_EQ(rec.Summary(), "selectchanged:check,click:check,selectchanged:check,click:check");
  rec.Clear();
  ClickControl(w.PM(), u"edit");
  TypeText(h, u"ab");
  PressKey(h, VK_BACK);
  PressKey(h, VK_UP);
  PressKey(h, VK_DOWN);
  PressKey(h, VK_RETURN);
  EXPECT_EQ(rec.Summary(true),
            "killfocus:check,setfocus:edit,textchanged:edit,textchanged:edit,textchanged:edit,vk_up:edit,vk_down:edit,return:edit");
  EXPECT_EQ(w.PM().FindControl(u"edit")->GetText(), u"a");
  rec.Clear();
  static_cast<CEditUI*>(w.PM().FindControl(u"edit"))->SetReadOnly(true);
  TypeText(h, u"z");
  EXPECT_EQ(rec.Summary(), "");
  ClickControl(w.PM(), u"opt1");
  EXPECT_EQ(rec.Summary(true), "killfocus:edit,setfocus:opt1,selectchanged:opt1,click:opt1");
  DestroyWindow(h);
}

TEST_F(QenuiTest, ListSelectionAndRowRemovedInsideItsOwnClick) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  CDialogBuilder rows;
  for (int i = 0; i < 3; ++i) {
    CControlUI* row = i == 0 ? rows.Create(u"wnd_xml\\row.xml", nullptr, nullptr, &w.PM()) : rows.Create(static_cast<IDialogBuilderCallback*>(nullptr), &w.PM());
    row->SetUserData(i);
    list->Add(row);
  }
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_EQ(list->GetHeader()->GetCount(), 2);
  CNotifyRecorder rec(&w.PM());
  ClickControl(w.PM().FindSubControlByName(list->GetItemAt(1), u"row_text"));
  EXPECT_EQ(rec.Summary(), "itemclick:row,itemselect:list");
  EXPECT_EQ(list->GetCurSel(), 1);
  rec.Clear();
  DoubleClickControl(w.PM().FindSubControlByName(list->GetItemAt(2), u"row_text"));
  EXPECT_EQ(rec.Summary(), "itemclick:row,itemselect:list,itemdbclick:row");
  // Remove a row from inside the click of its own button: it must live until the click is done.
  w.removeOnClick = true;
  rec.Clear();
  ClickControl(w.PM().FindSubControlByName(list->GetItemAt(0), u"row_btn"));
  EXPECT_EQ(rec.Summary(), "click:row_btn");
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetItemAt(0)->GetUserData(), u"1");
  list->RemoveAll();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurSel(), -1);
  DestroyWindow(h);
}

TEST_F(QenuiTest, RowRemovedByItsItemClickHandlerSelectsNothing) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  for (int i = 0; i < 3; ++i) {
    auto* row = new CListLabelElementUI;
    row->SetName(u"r");
    row->SetUserData(i);
    row->SetFixedHeight(20);
    list->Add(row);
  }
  struct Remover : INotifyUI {
    CListUI* list;
    void Notify(TNotifyUI& msg) override {
      if (msg.sType == DUI_MSGTYPE_ITEMCLICK) list->Remove(msg.pSender);
    }
  } remover;
  remover.list = list;
  w.PM().AddNotifier(&remover);
  CNotifyRecorder rec(&w.PM());
  ClickControl(list->GetItemAt(0));
  w.PM().RemoveNotifier(&remover);
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetCurSel(), -1);  // the stale index 0 must not select the next row
  EXPECT_EQ(rec.Summary(), "itemclick:r");
  DestroyWindow(h);
}

// A notification sent later arrives once the window's messages run, in the
// order sent; one whose control went in the meantime never arrives.
TEST_F(QenuiTest, LaterNotificationsArriveUnlessTheirControlWent) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  auto* row = new CListLabelElementUI;
  row->SetName(u"gone");
  list->Add(row);
  CNotifyRecorder rec(&w.PM());
  w.PM().SendNotify(w.PM().FindControl(u"opt1"), DUI_MSGTYPE_SCROLL, 0, 0, true);
  w.PM().SendNotify(row, DUI_MSGTYPE_SCROLL, 0, 0, true);
  w.PM().SendNotify(w.PM().FindControl(u"edit"), DUI_MSGTYPE_SCROLL, 0, 0, true);
  EXPECT_EQ(rec.Summary(), "");
  list->Remove(row);
  PumpPendingMessages();
  EXPECT_EQ(rec.Summary(), "scroll:opt1,scroll:edit");

  // The same for rows that go all at once.
  rec.Clear();
  for (int i = 0; i < 3; ++i) {
    auto* r = new CListLabelElementUI;
    list->Add(r);
    w.PM().SendNotify(r, DUI_MSGTYPE_SCROLL, 0, 0, true);
  }
  w.PM().SendNotify(w.PM().FindControl(u"edit"), DUI_MSGTYPE_SCROLL, 0, 0, true);
  list->RemoveAll();
  PumpPendingMessages();
  EXPECT_EQ(rec.Summary(), "scroll:edit");
  DestroyWindow(h);
}

// A tab layout switching pages takes the focus only from a control on the
// page it hides: an edit elsewhere keeps its keys.
TEST_F(QenuiTest, TabSwitchTakesFocusOnlyFromTheHiddenPage) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  auto* tabs = static_cast<CTabLayoutUI*>(w.PM().FindControl(u"tabs")->GetInterface(u"TabLayout"));
  CControlUI* edit = w.PM().FindControl(u"edit");
  ASSERT_TRUE(ClickControl(w.PM(), u"edit"));
  ASSERT_EQ(w.PM().GetFocus(), edit);
  ASSERT_TRUE(tabs->SelectItem(1));
  EXPECT_EQ(w.PM().GetFocus(), edit);
  TypeText(h, u"ab");
  EXPECT_EQ(edit->GetText(), u"ab");

  CControlUI* page1 = w.PM().FindControl(u"page1");
  w.PM().SetFocus(page1);
  ASSERT_EQ(w.PM().GetFocus(), page1);
  ASSERT_TRUE(tabs->SelectItem(0));
  EXPECT_EQ(w.PM().GetFocus(), nullptr);
  EXPECT_FALSE(page1->IsFocused());
  DestroyWindow(h);
}
