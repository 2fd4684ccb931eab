// The contacts and SMS pages as a user meets them: the program's main window
// in real windows on a private X server (GTK back end), clicked and typed
// into through XTest, over the phone facade and its managers, Debian's real
// adb and the simulated phone (its fixture: four contacts, three
// conversations). Screenshots go to <build>/screenshots/.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/config/config_mgr.h"
#include "app/data/phone.h"
#include "foundation/base/code_page.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "ui/frame/window_poster.h"
#include "ui/pages/contact_dlg.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/contact_list.h"
#include "ui/pages/page_phone.h"
#include "ui/pages/search_menu.h"
#include "ui/pages/sms_lists.h"
#include "ui/pages/tests/xtest_keys.h"
#include "ui/task_windows/tests/batch_box_watch.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;

const auto* const kEnv =
    ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("contact_sms_xvfb"));

class ContactSmsXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ui_xvfb::SkipReason();
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    testing_support::PointProgramAtSim(sim_);
    // No questions: deletions go straight to the phone.
    CConfigMgr::Instance()->SetContactTips(false);
    CConfigMgr::Instance()->SetSmsTips(false);
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr);
    ASSERT_TRUE(input_.Open(display)) << "the X server lacks XTest";
    ASSERT_TRUE(text_.Open(display)) << "no spare key to type with";
    InstallWindowPoster();
    phone_ = std::make_shared<CPhone>();
    SetPagePhoneSource([this] { return phone_; });
    backend_.connected = true;
    SetFrameBackend(&backend_);
    frame_ = ui_xvfb::ShowMainWindow();
    ASSERT_NE(frame_, nullptr);
    hwnd_ = frame_->GetHWND();
  }
  void TearDown() override {
    if (frame_) {
      if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
      ui_xvfb::PumpFor(100);
      delete frame_;
    }
    SetPagePhoneSource(nullptr);
    phone_.reset();
    CSocketThreadMgr::Instance()->StopAll();
    UninstallWindowPoster();
    SetFrameBackend(nullptr);
    if (sim_.Field("serial").empty()) return;
    EXPECT_EQ(sim_.Errors(), "[]");
    sim_.Stop();
  }

  CPaintManagerUI& PM() { return frame_->PaintManager(); }
  POINT CentreOf(CControlUI* c) {
    RECT rc = c->GetPos();
    POINT pt = MakePoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    ClientToScreen(hwnd_, &pt);
    return pt;
  }
  void Click(CControlUI* c) {
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->IsVisible());
    const POINT pt = CentreOf(c);
    input_.MoveTo(static_cast<int>(pt.x), static_cast<int>(pt.y));
    keys_.Settle();
    input_.Button(1, true);
    keys_.Settle();
    input_.Button(1, false);
    keys_.Settle();
  }
  void Click(const char16_t* name) { Click(PM().FindControl(name)); }
  // Clicks until `done` holds: on a busy machine a click can go missing, and
  // is then made again (only where a second click changes nothing more).
  bool ClickUntil(CControlUI* c, const std::function<bool()>& done, int wait_ms = 3000) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      Click(c);
      if (ui_xvfb::PumpUntil(done, wait_ms)) return true;
    }
    return false;
  }
  // A check box clicked until it shows `checked`.
  bool ClickBox(CControlUI* c, bool checked) {
    auto* box = c ? static_cast<CCheckBoxUI*>(c->GetInterface(u"CheckBox")) : nullptr;
    return box && ClickUntil(c, [&] { return box->GetCheck() == checked; });
  }
  // Clicks into an edit and types; true once the edit holds `expected`.
  bool TypeInto(CControlUI* edit, const std::u16string& text, const std::u16string& expected) {
    if (!ClickUntil(edit, [&] { return edit->IsFocused(); })) {
      ADD_FAILURE() << "no focus: " << edit->GetName().ToUtf8();
      return false;
    }
    if (!edit->GetText().IsEmpty()) keys_.Key("End");
    // One character at a time, each seen in the edit before the next: on a
    // busy machine a key press can go missing, and is then pressed again.
    std::u16string typed_so_far = edit->GetText().str();
    for (char16_t c : text) {
      const std::u16string before = typed_so_far;
      typed_so_far += c;
      for (int attempt = 0; attempt < 3 && edit->GetText().str() != typed_so_far; ++attempt) {
        if (edit->GetText().str() != before) break;  // something else arrived: no retyping
        keys_.Type(std::u16string(1, c));
        ui_xvfb::PumpUntil([&] { return edit->GetText().str() == typed_so_far; }, 2000);
      }
    }
    const bool typed = ui_xvfb::PumpUntil([&] { return edit->GetText() == expected.c_str(); }, 5000);
    if (!typed) ADD_FAILURE() << edit->GetName().ToUtf8() << " holds " << edit->GetText().ToUtf8();
    return typed;
  }
  int Tab(const char16_t* name) {
    CControlUI* c = PM().FindControl(name);
    return c ? static_cast<CTabLayoutUI*>(c->GetInterface(u"TabLayout"))->GetCurSel() : -1;
  }
  // Whether the phone answered `command` with result 1 (from its request log).
  bool PhoneDid(const std::string& command) {
    return sim_.Control("requests").find("[\"" + command + "\", \"1\"]") != std::string::npos;
  }
  void Shot(const std::string& name) { ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(hwnd_, name)); }
  // What the screen shows over the main window with `popup` on top, once
  // both show as painted.
  void ScreenShot(HWND popup, const std::string& name) {
    int window_off = 0, popup_off = 0;
    ASSERT_TRUE(ui_xvfb::PumpUntil(
        [&] {
          window_off = ui_xvfb::PixelsNotAsPainted(hwnd_, nullptr, popup);
          popup_off = ui_xvfb::PixelsNotAsPainted(popup);
          return window_off == 0 && popup_off == 0;
        },
        10000))
        << name << ": pixels not as painted: window " << window_off << ", popup " << popup_off;
    ui_xvfb::ScreenShotOver(hwnd_, name);
  }
  // Opens the contacts page and waits for the fixture's four contacts.
  CContactList* OpenContacts() {
    auto* list = dynamic_cast<CContactList*>(PM().FindControl(u"contactlist"));
    EXPECT_NE(list, nullptr);
    if (!list) return nullptr;
    EXPECT_TRUE(ClickUntil(PM().FindControl(u"contact_optn"),
                           [&] { return list->GetCount() == 4 && Tab(u"tab_contact_load") == 0; }, 15000));
    return list;
  }

  testing_support::PhoneSim sim_;
  std::shared_ptr<CPhone> phone_;
  ui_test::FakeBackend backend_;
  CMainFrame* frame_ = nullptr;
  HWND hwnd_ = 0;
  qenui_gtk_test::XTestInput input_;
  market_xvfb::XTestText text_;
  market_xvfb::XTestKeys keys_{input_, text_, market_xvfb::XTestKeys::Windows::kThisProcess};
};

std::u16string NameOf(CControlUI* row) {
  CControlUI* name = RowPart(row, u"contact_name");
  return name ? name->GetText().str() : u"";
}

TEST_F(ContactSmsXvfbTest, AContactIsAddedEditedAndDeleted) {
  CContactList* list = OpenContacts();
  ASSERT_NE(list, nullptr);
  std::vector<std::u16string> names;
  for (int i = 0; i < list->GetCount(); ++i) names.push_back(NameOf(list->GetItemAt(i)));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Alice Smith", u"李四", u"王小明", u"张三"}));
  std::vector<std::u16string> letters;
  for (int i = 0; i < list->GetCount(); ++i) letters.push_back(list->GetItemAt(i)->GetText().str());
  EXPECT_EQ(letters, (std::vector<std::u16string>{u"A", u"L", u"W", u"Z"}));
  ASSERT_NO_FATAL_FAILURE(Shot("contacts_list.png"));

  // The search box lists the matches under it: "ls" is 李四 by the initials of his name.
  CControlUI* search = PM().FindControl(u"contact_search_edit");
  CContactSearchMenu& popup = frame_->Contact().SearchMenu();
  ASSERT_TRUE(TypeInto(search, u"ls", u"ls"));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return popup.IsVisible(); }));
  EXPECT_EQ(popup.Items(), std::vector<std::u16string>{u"李四  13900139000"});
  ASSERT_NO_FATAL_FAILURE(ScreenShot(popup.GetHWND(), "contact_search.png"));
  ASSERT_TRUE(ClickUntil(PM().FindControl(u"contact_new_title"), [&] { return !popup.IsVisible(); }));

  // A new contact: a Chinese name and two phones.
  Click(u"addcontact_btn");
  ASSERT_EQ(Tab(u"contact_tab"), CContactDlg::kViewNew);
  ASSERT_TRUE(TypeInto(PM().FindControl(u"new_contactname"), u"赵六", u"赵六"));
  auto* fresh = dynamic_cast<CConstomNewList*>(PM().FindControl(u"constomlist_new"));
  ASSERT_NE(fresh, nullptr);
  ASSERT_TRUE(TypeInto(RowPart(fresh->GetItemAt(0), u"constom_value"), u"02155550000", u"02155550000"));
  ASSERT_TRUE(TypeInto(RowPart(fresh->GetItemAt(1), u"constom_value"), u"13600136000", u"13600136000"));
  ASSERT_NO_FATAL_FAILURE(Shot("contact_new_form.png"));
  ASSERT_TRUE(ClickUntil(PM().FindControl(u"cntacok_btn"), [&] { return list->GetCount() == 5; }, 15000));
  CControlUI* added = nullptr;
  for (int i = 0; i < list->GetCount(); ++i)
    if (NameOf(list->GetItemAt(i)) == u"赵六") added = list->GetItemAt(i);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(RowPart(added, u"phone_number")->GetText(), u"02155550000, 13600136000");
  EXPECT_EQ(added->GetText(), u"Z");
  EXPECT_EQ(Tab(u"contact_tab"), CContactDlg::kViewInfo);
  auto* info = dynamic_cast<CConstomInfoList*>(PM().FindControl(u"constomlist_info"));
  ASSERT_NE(info, nullptr);
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return info->GetCount() == 2; }));
  EXPECT_EQ(RowPart(info->GetItemAt(0), u"constom_name")->GetText(), u"家庭电话:");
  EXPECT_EQ(RowPart(info->GetItemAt(1), u"constom_name")->GetText(), u"移动电话:");
  EXPECT_TRUE(PhoneDid("contact_add"));
  // The new contact's row is the selected one, drawn so (once the display
  // shows the window as painted), and its box stays unticked.
  ASSERT_NO_FATAL_FAILURE(Shot("contact_added.png"));
  auto* item = static_cast<IListItemUI*>(added->GetInterface(u"ListItem"));
  EXPECT_TRUE(item->IsSelected());
  EXPECT_EQ(list->CheckedCount(), 0);
  EXPECT_EQ(ui_xvfb::ScreenPixel(hwnd_, MakePoint(added->GetPos().right - 4, added->GetPos().top + 4)),
            static_cast<long>(list->GetSelectedItemBkColor() & 0xFFFFFF));

  // Edited: the name gets one more character.
  const int32_t id = static_cast<int32_t>(ParseInt(added->GetUserData()));
  ASSERT_TRUE(ClickUntil(PM().FindControl(u"contactedit_btn"), [&] { return Tab(u"contact_tab") == CContactDlg::kViewEdit; }));
  ASSERT_TRUE(TypeInto(PM().FindControl(u"edit_contactname"), u"七", u"赵六七"));
  ASSERT_NO_FATAL_FAILURE(Shot("contact_edit_form.png"));
  ASSERT_TRUE(ClickUntil(
      PM().FindControl(u"cntacok_btn"),
      [&] {
        CControlUI* row = list->FindRowByUserData(DecimalText(id).c_str());
        return row && NameOf(row) == u"赵六七";
      },
      15000));
  EXPECT_TRUE(PhoneDid("contact_edit"));
  std::optional<ContactRecord> stored = phone_->FindContactById(id);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->phones.size(), 2u);
  ASSERT_NO_FATAL_FAILURE(Shot("contact_edited.png"));

  // Deleted: ticked, then the delete button (the batch box runs and closes).
  CControlUI* row = list->FindRowByUserData(DecimalText(id).c_str());
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(ClickBox(RowPart(row, u"contact_checkbox"), true));
  ASSERT_TRUE(PM().FindControl(u"delcontact_btn")->IsEnabled());
  {
    ui_xvfb::BatchBoxWatch watch(hwnd_, "contact_delete_box.png");
    ASSERT_TRUE(ClickUntil(PM().FindControl(u"delcontact_btn"), [&] { return list->GetCount() == 4; }, 15000));
    EXPECT_TRUE(ui_xvfb::PumpUntil([&] { return watch.Closed(); }, 15000)) << "the batch box stays";
  }
  EXPECT_EQ(list->FindRowByUserData(DecimalText(id).c_str()), nullptr);
  EXPECT_TRUE(PhoneDid("contact_del"));
  EXPECT_FALSE(phone_->FindContactById(id).has_value());
  EXPECT_EQ(Tab(u"contact_tab"), CContactDlg::kViewNew);
  ASSERT_NO_FATAL_FAILURE(Shot("contact_deleted.png"));
}

TEST_F(ContactSmsXvfbTest, ConversationsAreReadAndDeleted) {
  // The contacts first, so the conversations show their names.
  ASSERT_NE(OpenContacts(), nullptr);
  auto* list = dynamic_cast<CSmsList*>(PM().FindControl(u"smslist"));
  auto* details = dynamic_cast<CSmsDetaiList*>(PM().FindControl(u"smsdetailist"));
  ASSERT_TRUE(list && details);
  ASSERT_TRUE(ClickUntil(PM().FindControl(u"sms_optn"), [&] { return Tab(u"tab_phone") == 3; }));
  auto title = [&](int id) {
    CControlUI* row = list->FindRowByUserData(DecimalText(id).c_str());
    return row ? RowPart(row, u"contact_name")->GetText().str() : std::u16string();
  };
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return list->GetCount() == 3 && title(2).find(u"李四") != std::u16string::npos; },
                                 30000));
  EXPECT_EQ(Tab(u"tab_sms_page"), 1);
  EXPECT_EQ(list->GetRowUserData(0), u"2");  // newest first
  EXPECT_EQ(title(1), u"<f 10>张三</f>  <f 1>{c #666666}(2){/c}</f>");
  EXPECT_EQ(title(2), u"<f 3>李四</f>  <f 1>{c #666666}(1){/c}</f>");  // unread
  // The unread conversation's name (font 3) and preview stand out from a
  // read one's (font 10, and its preview): bolder, or as bold and larger.
  auto emphasis = [&](int font) {
    const TFontInfo* f = PM().GetFontInfo(font);
    return std::make_pair(f->bBold, f->iSize);
  };
  auto preview_font = [&](int id) {
    auto* label = static_cast<CLabelUI*>(RowPart(list->FindRowByUserData(DecimalText(id).c_str()), u"sms_content")
                                             ->GetInterface(u"Label"));
    return label->GetFont();
  };
  EXPECT_GT(emphasis(3), emphasis(10));
  EXPECT_GT(emphasis(preview_font(2)), emphasis(preview_font(1)));
  ASSERT_NO_FATAL_FAILURE(Shot("sms_list.png"));

  // Opening the unread conversation marks it read.
  auto box = [&](int id) { return RowPart(list->FindRowByUserData(DecimalText(id).c_str()), u"sms_checkbox"); };
  ASSERT_TRUE(ClickBox(box(2), true));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return details->GetCount() == 1; }));
  EXPECT_EQ(title(2), u"<f 10>李四</f>  <f 1>{c #666666}(1){/c}</f>");
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return PhoneDid("sms_read"); }, 10000));
  ASSERT_TRUE(ClickBox(box(2), false));  // unticked: the details go
  EXPECT_EQ(details->GetCount(), 0);

  // Conversation 1: a received message and the user's reply ("我").
  ASSERT_TRUE(ClickBox(box(1), true));
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return details->GetCount() == 2; }));
  EXPECT_EQ(RowPart(details->GetItemAt(1), u"sms_addr")->GetText(), u"我");
  EXPECT_EQ(RowPart(details->GetItemAt(1), u"sms_body")->GetText(), u"   好的，七点见。老地方");
  ASSERT_NO_FATAL_FAILURE(Shot("sms_thread.png"));
  ASSERT_TRUE(ClickUntil(RowPart(details->GetItemAt(1), u"sms_del_msg"), [&] { return details->GetCount() == 1; },
                         10000));
  EXPECT_TRUE(PhoneDid("sms_del"));
  EXPECT_EQ(title(1), u"<f 10>张三</f>  <f 1>{c #666666}(1){/c}</f>");
  ASSERT_NO_FATAL_FAILURE(Shot("sms_message_deleted.png"));

  // Conversation 3 ticked alone and deleted.
  ASSERT_TRUE(ClickBox(box(1), false));
  ASSERT_TRUE(ClickBox(box(3), true));
  ASSERT_TRUE(PM().FindControl(u"delsms_btn")->IsEnabled());
  ASSERT_TRUE(ClickUntil(PM().FindControl(u"delsms_btn"), [&] { return list->GetCount() == 2; }, 10000));
  EXPECT_EQ(list->FindRowByUserData(u"3"), nullptr);
  EXPECT_TRUE(PhoneDid("sms_del_thread"));
  EXPECT_EQ(details->GetCount(), 0);
  ASSERT_NO_FATAL_FAILURE(Shot("sms_thread_deleted.png"));
}

}  // namespace
