// A headless window over the controls' test skin: the list "list" (five
// selectable rows with check boxes "chk", user data "id0".."id4"), the list
// "columns" with three header columns, and the small controls.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "qenui/UIlib.h"
#include "qenui/headless/HeadlessHost.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/controls/button_state.h"
#include "ui/controls/list_groud.h"
#include "ui/controls/list_ui_ex.h"

namespace controls_test {

using namespace DuiLib;

inline std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class ControlsWnd : public WindowImplBaseNew {
 public:
  ControlsWnd() { InitWinParam(u"wnd_xml\\controls_wnd.xml"); }
  CControlUI* CreateControl(LPCTSTR cls) override {
    if (CompareNoCase(cls, u"ListEx") == 0) return new CListUIEx;
    if (CompareNoCase(cls, u"ButtonState") == 0) return new CButtonStateUI;
    if (CompareNoCase(cls, u"LinkText") == 0) return new CLinkTextUI;
    if (CompareNoCase(cls, u"ListGroud") == 0) return new CListGroudUI;
    if (CompareNoCase(cls, u"ThumbnailImage") == 0) return new CThumbnailImageUI;
    return nullptr;
  }
  CPaintManagerUI& PM() { return m_PaintManager; }

 protected:
  LPCTSTR GetWindowClassName() const override { return u"ControlsWnd"; }
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = UseHeadlessHost();
    ASSERT_TRUE(CPaintManagerUI::SetResourceZipEmbedded());
    ResetQuit();
    host->SetKeyDown(VK_CONTROL, false);
    host->SetKeyDown(VK_SHIFT, false);
    hwnd = wnd.Create(0, u"ControlsWnd", WS_POPUP, 0);
    ASSERT_NE(hwnd, 0u);
    wnd.ShowWindow(true, true);
    list = static_cast<CListUIEx*>(wnd.PM().FindControl(u"list"));
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override {
    host->SetKeyDown(VK_CONTROL, false);
    host->SetKeyDown(VK_SHIFT, false);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    PumpPendingMessages();
  }

  // Adds `n` rows built from the row layout, with user data "id<i>".
  void AddRows(CListUIEx* to, int n, LPCTSTR layout = u"wnd_xml\\multsel_row.xml") {
    for (int i = 0; i < n; ++i) {
      CDialogBuilder builder;
      CControlUI* row = builder.Create(layout, nullptr, to, &wnd.PM());
      ASSERT_NE(row, nullptr);
      ASSERT_TRUE(to->Add(row));
      row->SetUserData((u"id" + std::u16string(1, static_cast<char16_t>(u'0' + i))).c_str());
      auto* c = static_cast<CContainerUI*>(row->GetInterface(u"Container"));
      if (CControlUI* box = c->FindSubControl(u"chk")) box->SetTag(reinterpret_cast<UINT_PTR>(row));
    }
    wnd.PM().UpdateLayout();
  }
  // "0,2" for the selected rows of the list.
  std::string Selected(CListUIEx* of) const {
    std::string out;
    for (int i = 0; i < of->GetCount(); ++i) {
      auto* li = static_cast<IListItemUI*>(of->GetItemAt(i)->GetInterface(u"ListItem"));
      if (li && li->IsSelected()) out += (out.empty() ? "" : ",") + std::to_string(i);
    }
    return out;
  }

  CHeadlessHost* host = nullptr;
  ControlsWnd wnd;
  HWND hwnd = 0;
  CListUIEx* list = nullptr;
};

}  // namespace controls_test
