// The contacts page: its tables and rules as pure functions, then the page
// on the headless main window over a real phone facade and a stand-in agent
// (the list, the field lists, editing, deleting, the letter, the search).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/data/tests/contact_request_lines.h"
#include "foundation/base/code_page.h"
#include "ui/menu/popup_menus.h"
#include "ui/pages/contact_dlg.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/contact_list.h"
#include "ui/pages/search_menu.h"
#include "ui/pages/tests/phone_page_fixture.h"

namespace page_test {
namespace {

ContactFieldEntry Entry(int32_t row_id, int32_t type, const char16_t* label, const char16_t* value,
                        int32_t protocol = 0, const char16_t* custom = u"") {
  ContactFieldEntry e;
  e.row_id = row_id;
  e.type = type;
  e.label = label;
  e.value = value;
  e.protocol = protocol;
  e.custom_protocol = custom;
  return e;
}

// ---------------- pure parts ----------------

TEST(ContactFieldTables, LabelsHeightsAndWhatADetailsRowShows) {
  EXPECT_EQ(FieldLabels(kFieldPhone).size(), 20u);
  EXPECT_EQ(FieldLabels(kFieldEmail).size(), 3u);
  EXPECT_EQ(FieldLabels(kFieldMessenger).size(), 9u);
  EXPECT_EQ(FieldLabels(kFieldPostal).size(), 3u);
  EXPECT_TRUE(FieldLabels(4).empty());
  EXPECT_EQ(FieldLabels(kFieldPhone)[19], u"彩信");

  struct Case {
    int group;
    ContactFieldEntry entry;
    const char16_t* shown;
  } cases[] = {
      {kFieldPhone, Entry(1, 2, u"", u"138"), u"移动电话:"},
      {kFieldPhone, Entry(1, 20, u"", u"138"), u"彩信:"},
      {kFieldPhone, Entry(1, 21, u"车机", u"138"), u"车机:"},  // beyond the table: its own label
      {kFieldPhone, Entry(1, 0, u"私人", u"138"), u"私人:"},
      {kFieldPhone, Entry(1, 0, u"", u"138"), u""},  // nothing, not even the colon
      {kFieldEmail, Entry(1, 3, u"学校", u"a@b"), u"其他邮箱:"},
      {kFieldMessenger, Entry(1, 3, u"", u"123", 4), u"QQ:"},
      {kFieldMessenger, Entry(1, 3, u"", u"x", -1, u"Tamtalk"), u"Tamtalk:"},
      {kFieldPostal, Entry(1, 2, u"", u"上海"), u"工作地址:"},
  };
  for (const Case& c : cases) EXPECT_EQ(FieldInfoName(c.group, c.entry), c.shown) << CDuiString(c.shown).ToUtf8();

  for (auto [rows, height] : {std::pair{0, 10}, {1, 35}, {3, 105}}) EXPECT_EQ(FieldListHeight(rows), height);
}

// A row keeps its entry's type, label and protocol unless the user chose
// another combo item; a row the user added takes the item chosen.
TEST(ContactFieldTables, AFormRowKeepsWhatTheUserDidNotChange) {
  const ContactFieldEntry custom = Entry(7, 0, u"私人", u"555");
  const ContactFieldEntry beyond = Entry(8, 21, u"车机", u"666");
  const ContactFieldEntry im = Entry(9, 3, u"", u"lisi", -1, u"Tamtalk");
  struct Case {
    const char* name;
    int group;
    const ContactFieldEntry* original;
    int first, now;
    bool keep_id;
    int32_t row_id, type, protocol;
    const char16_t* label;
    const char16_t* custom_protocol;
  } cases[] = {
      {"custom label kept", kFieldPhone, &custom, 20, 20, true, 7, 0, 0, u"私人", u""},
      {"type 21 kept", kFieldPhone, &beyond, 20, 20, true, 8, 21, 0, u"车机", u""},
      {"custom protocol kept", kFieldMessenger, &im, 9, 9, true, 9, 3, -1, u"", u"Tamtalk"},
      {"type chosen", kFieldPhone, &custom, 20, 2, true, 7, 3, 0, u"", u""},
      {"protocol chosen", kFieldMessenger, &im, 9, 4, true, 9, 3, 4, u"", u""},
      {"id dropped", kFieldPhone, &beyond, 20, 20, false, 0, 21, 0, u"车机", u""},
      {"new phone", kFieldPhone, nullptr, 1, 1, true, 0, 2, 0, u"", u""},
      {"new messenger", kFieldMessenger, nullptr, 4, 4, true, 0, 1, 4, u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ContactFieldEntry e = FieldEntryFromRow(c.group, c.original, c.first, c.now, u"v", c.keep_id);
    EXPECT_EQ(e.row_id, c.row_id);
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.protocol, c.protocol);
    EXPECT_EQ(e.label, c.label);
    EXPECT_EQ(e.custom_protocol, c.custom_protocol);
    EXPECT_EQ(e.value, u"v");
    EXPECT_EQ(e.status, kEntryUnchanged);
  }
  // The combo shows an own label as its last item.
  const FieldChoice choice = FieldChoiceOf(kFieldPhone, &beyond, 0);
  ASSERT_EQ(choice.items.size(), 21u);
  EXPECT_EQ(choice.items.back(), u"车机");
  EXPECT_EQ(choice.selected, 20);
  EXPECT_EQ(FieldChoiceOf(kFieldMessenger, nullptr, 5).selected, 4);  // QQ
}

TEST(ContactRules, DeleteQuestionNamesAtMostThree) {
  EXPECT_EQ(ContactDeleteQuestion({}, 0), u"");
  EXPECT_EQ(ContactDeleteQuestion({}, 3), u"");  // no ticked contact exists
  EXPECT_EQ(ContactDeleteQuestion({u"张三", u"李四", u"王五"}, 3), u"您确定删除联系人\"张三, 李四, 王五\"吗？");
  EXPECT_EQ(ContactDeleteQuestion({u"张三", u"李四", u"王五"}, 5), u"您确定删除\"张三, 李四, 王五\"等5个联系人吗？");
}

// The row that crosses the list's top edge, for rows 52 pixels high.
TEST(ContactRules, TheLetterComesFromTheRowAtTheTopEdge) {
  const std::vector<RECT> rows = {MakeRect(0, -60, 10, -8), MakeRect(0, -8, 10, 44), MakeRect(0, 44, 10, 96)};
  struct Case {
    long top;
    int row;
  } cases[] = {{-60, 0}, {-10, 0}, {-9, -1}, {-8, 1}, {0, 1}, {42, 1}, {43, -1}, {44, 2}, {95, -1}};
  for (const Case& c : cases) EXPECT_EQ(FirstRowAtTop(rows, c.top), c.row) << c.top;
  EXPECT_EQ(FirstRowAtTop({}, 0), -1);
}

TEST(ContactRules, SearchMatchesNameInitialsAndNumbers) {
  ContactRecord c;
  c.name = u"张三 Smith";
  c.initials = NameInitials(c.name);  // as the contact manager loads it
  c.phones.push_back(Entry(1, 2, u"", u"+86 138-0013-8000"));
  struct Case {
    const char16_t* text;
    bool match;
  } cases[] = {{u"张", true},   {u"smith", true}, {u"ZS", true},     {u"zs", true},   {u"0013", true},
               {u"138 0013", true}, {u"李", false},  {u"99", false}, {u"", false}, {u"Q", false}};
  for (const Case& k : cases) EXPECT_EQ(ContactMatchesSearch(c, k.text), k.match) << CDuiString(k.text).ToUtf8();
}

// ---------------- the page ----------------

const char kList[] =
    "<c i=\"1\" n=\"张三\"><p n=\"13800138000\"/><p n=\"010-62345678\"/></c>"
    "<c i=\"2\" n=\"李四\"><p n=\"13900139000\"/></c>"
    "<c i=\"3\" n=\"Alice Smith\"><p n=\"+86 137 0000 1111\"/></c>"
    "<c i=\"4\" n=\"王小明\"/>"
    "<c i=\"5\" n=\"&lt;b&gt;Bo{c #FF0000}\"/>";

const char kLisiInfo[] =
    "<contact id=\"2\" name=\"李四\">"
    "<phone _id=\"2101\" number=\"13900139000\" type=\"2\" label=\"\"/>"
    "<phone _id=\"2102\" number=\"555\" type=\"0\" label=\"私人\"/>"
    "<phone _id=\"2103\" number=\"666\" type=\"21\" label=\"车机\"/>"
    "<im _id=\"2301\" data=\"lisi_work\" type=\"3\" label=\"\" protocol=\"-1\" custom_protocol=\"Tamtalk\"/>"
    "<postal _id=\"2401\" address=\"上海\" type=\"2\" label=\"\"/>"
    "</contact>";

using data_test::ContactLines;

class ContactPageTest : public PhonePageTest {
 public:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PhonePageTest::SetUp());
    list = dynamic_cast<CContactList*>(PM().FindControl(u"contactlist"));
    info = dynamic_cast<CConstomInfoList*>(PM().FindControl(u"constomlist_info"));
    edit = dynamic_cast<CConstomEditList*>(PM().FindControl(u"constomlist_edit"));
    fresh = dynamic_cast<CConstomNewList*>(PM().FindControl(u"constomlist_new"));
    ASSERT_TRUE(list && info && edit && fresh);
  }
  // Opens the page; the agent lists kList.
  void Open() {
    agent.Reply("contact_list", kList);
    SelectOption(u"contact_optn");
    ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 5 && TabOf(u"tab_contact_load") == 0; }));
  }
  CControlUI* Row(int id) { return list->FindRowByUserData(DecimalText(id).c_str()); }
  CControlUI* Box(int id) { return RowPart(Row(id), u"contact_checkbox"); }
  std::u16string Part(CControlUI* row, const char16_t* name) {
    CControlUI* c = RowPart(row, name);
    return c ? c->GetText().str() : u"<missing>";
  }
  // Ticks 李四 and waits for the details view.
  void ShowLisi() {
    agent.Reply("contact_info", kLisiInfo);
    info->RemoveAll();  // what shows next is his
    Toggle(Box(2));
    ASSERT_TRUE(PumpUntil([&] { return info->GetCount() == 5; }));
    EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewInfo);
  }
  CControlUI* EditValue(const char16_t* row_id) { return RowPart(edit->FindRowByUserData(row_id), u"constom_value"); }
  // The next question box: its text kept in `asked`, answered OK or cancel.
  // (The script holds its own reference: one left unused by a failed test
  // never writes into a test that is gone.)
  void Questions(bool ok) {
    std::shared_ptr<std::vector<std::u16string>> texts = asked;
    host->PushModalScript([texts, ok](HWND h) {
      CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(h);
      texts->push_back(pm->FindControl(u"msglab")->GetText().str());
      ClickControl(*pm, ok ? u"okbtn" : u"cancelbtn");
    });
  }
  std::shared_ptr<std::vector<std::u16string>> asked = std::make_shared<std::vector<std::u16string>>();

  CContactList* list = nullptr;
  CConstomInfoList* info = nullptr;
  CConstomEditList* edit = nullptr;
  CConstomNewList* fresh = nullptr;
};

TEST_F(ContactPageTest, ListsContactsByInitialWithTheirNumbersAndPlainNames) {
  ASSERT_NO_FATAL_FAILURE(Open());
  std::vector<std::u16string> order;
  for (int i = 0; i < list->GetCount(); ++i) order.push_back(Part(list->GetItemAt(i), u"contact_name"));
  const std::vector<std::u16string> sorted_tail = {u"Alice Smith", u"李四", u"王小明", u"张三"};
  EXPECT_EQ(std::vector<std::u16string>(order.end() - 4, order.end()), sorted_tail);
  EXPECT_EQ(Row(3)->GetText(), u"A");
  EXPECT_EQ(Part(Row(1), u"phone_number"), u"13800138000, 010-62345678");
  EXPECT_EQ(Part(Row(4), u"phone_number"), u"");
  // A name that looks like markup is shown as it is.
  auto* name = static_cast<CLabelUI*>(RowPart(Row(5), u"contact_name")->GetInterface(u"Label"));
  EXPECT_EQ(name->GetText(), u"<b>Bo{c #FF0000}");
  EXPECT_FALSE(name->IsShowHtml());
  EXPECT_TRUE(static_cast<CCheckBoxUI*>(PM().FindControl(u"contact_chk")->GetInterface(u"CheckBox"))->IsEnabled());
  EXPECT_FALSE(Enabled(u"delcontact_btn"));
  // The new-contact form: two phones, an e-mail, a QQ account.
  ASSERT_EQ(fresh->GetCount(), 4);
  EXPECT_EQ(fresh->GetFixedHeight(), 4 * kFieldRowHeight);
  auto combo = [&](int i) { return static_cast<CComboUI*>(RowPart(fresh->GetItemAt(i), u"constomcbx")->GetInterface(u"Combo")); };
  EXPECT_EQ(combo(1)->GetText(), u"移动电话");
  EXPECT_EQ(combo(3)->GetText(), u"QQ");
}

TEST_F(ContactPageTest, DetailsShowOwnLabelsAndTheEditFormKeepsThemThroughASave) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowLisi());
  EXPECT_EQ(PM().FindSubControlByName(PM().FindControl(u"contact_info_view"), u"contact_name")->GetText(), u"李四");
  std::vector<std::u16string> names;
  for (int i = 0; i < info->GetCount(); ++i) names.push_back(Part(info->GetItemAt(i), u"constom_name"));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"移动电话:", u"私人:", u"车机:", u"工作地址:", u"Tamtalk:"}));

  Click(u"contactedit_btn");
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewEdit);
  ASSERT_EQ(edit->GetCount(), 5);
  EXPECT_EQ(edit->GetFixedHeight(), 5 * kFieldRowHeight);
  EXPECT_EQ(edit->GetUserData(), u"2");
  // Saved unchanged: nothing to send.
  Click(u"cntacok_btn");
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(agent.Count("contact_edit"), 0);

  // Two values changed: only those entries go, each with its own label and protocol.
  Click(u"contactedit_btn");
  EditValue(u"2102")->SetText(u"5550");
  EditValue(u"2301")->SetText(u"lisi_home");
  Click(u"cntacok_btn");
  ASSERT_TRUE(PumpUntil([&] { return agent.Count("contact_edit") == 1; }));
  EXPECT_EQ(ContactLines(agent.Requests("contact_edit")[0]),
            (std::vector<std::string>{
                "contact id=2 name=李四",
                "phone number=5550 type=0 label=私人 _id=2102 status=2",
                "im data=lisi_home type=3 label= protocol=-1 custom_protocol=Tamtalk _id=2301 status=2",
            }));
}

TEST_F(ContactPageTest, FieldRowsComeAndGoWithTheListHeight) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowLisi());
  Click(u"contactedit_btn");
  // A group chosen from the edit form's combo adds an empty row of it.
  auto* groups = static_cast<CComboUI*>(PM().FindControl(u"edit_constomcbx")->GetInterface(u"Combo"));
  groups->SelectItem(1);
  ASSERT_EQ(edit->GetCount(), 6);
  EXPECT_EQ(RowPart(edit->GetItemAt(5), u"constom_value")->GetUserData(), u"1");
  EXPECT_EQ(groups->GetCurSel(), -1);  // the same group can be added again
  for (int rows = 5; rows >= 0; --rows) {
    Click(RowPart(edit->GetItemAt(0), u"delconstom_btn"));
    EXPECT_EQ(edit->GetCount(), rows);
    EXPECT_EQ(edit->GetFixedHeight(), FieldListHeight(rows));
  }
  EXPECT_EQ(edit->GetFixedHeight(), 10);
}

// "添加项目" opens the contact menu at the button; the group chosen there
// becomes an empty row of the new-contact form.
TEST_F(ContactPageTest, TheAddItemMenuAddsTheChosenGroupToTheNewForm) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewNew);
  const int rows = fresh->GetCount();
  CControlUI* add = PM().FindControl(u"add_constomitems");
  Click(add);
  CContactMenu* menu = OpenContactMenu();
  ASSERT_NE(menu, nullptr);
  RECT rc;
  GetWindowRect(menu->GetHWND(), &rc);
  POINT at = MakePoint(add->GetPos().left, add->GetPos().top);
  ClientToScreen(hwnd, &at);
  EXPECT_EQ(rc.left, at.x);
  EXPECT_EQ(rc.top, at.y);
  ASSERT_TRUE(ClickControl(menu->GetMenuList()->GetItemAt(3)));  // "地址"
  ASSERT_TRUE(PumpUntil([] { return OpenContactMenu() == nullptr; }));
  ASSERT_EQ(fresh->GetCount(), rows + 1);
  CControlUI* value = RowPart(fresh->GetItemAt(rows), u"constom_value");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->GetUserData(), u"3");
}

TEST_F(ContactPageTest, LeavingAnEditAsksOnlyWhenSomethingChanged) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(ShowLisi());
  Click(u"contactedit_btn");
  agent.Reply("contact_list", kList);
  list->GetItemAt(0)->SetUserData(u"stale");  // gone once the list is built again
  Click(u"refreshcontact_btn");  // unchanged: no question
  ASSERT_TRUE(PumpUntil([&] {
    return list->GetCount() == 5 && list->GetRowUserData(0) != u"stale" && TabOf(u"tab_contact_load") == 0;
  }));
  EXPECT_EQ(agent.Count("contact_list"), 2);
  EXPECT_TRUE(asked->empty());

  ASSERT_NO_FATAL_FAILURE(ShowLisi());
  Click(u"contactedit_btn");
  PM().FindControl(u"edit_contactname")->SetText(u"李四四");
  Questions(true);
  Click(u"addcontact_btn");
  ASSERT_EQ((*asked), std::vector<std::u16string>{u"是否保存当前编辑内容？"});
  ASSERT_TRUE(PumpUntil([&] { return agent.Count("contact_edit") == 1; }));
  EXPECT_EQ(ContactLines(agent.Requests("contact_edit")[0])[0], "contact id=2 name=李四四");
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewNew);

  // Ticking another contact while an edit is open asks first (declined: nothing sent).
  Click(u"contactedit_btn");  // the details still hold 李四
  ASSERT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewEdit);
  EditValue(u"2101")->SetText(u"13900139999");
  Questions(false);
  Toggle(Box(3));
  ASSERT_EQ(asked->size(), 2u);
  EXPECT_EQ((*asked)[1], u"是否保存当前编辑内容？");
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewInfo);
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(agent.Count("contact_edit"), 1);
}

TEST_F(ContactPageTest, DeleteAsksWithTheFirstThreeNamesThenDeletesInTheBatchBox) {
  ASSERT_NO_FATAL_FAILURE(Open());
  CConfigMgr::Instance()->SetContactTips(true);
  // Nothing ticked: nothing asked, nothing deleted.
  Click(u"delcontact_btn");
  EXPECT_TRUE(asked->empty());

  // Three ticked (in row order): all three named. Cancelled.
  for (int id : {3, 2, 4}) Toggle(Box(id));
  EXPECT_TRUE(Enabled(u"delcontact_btn"));
  Questions(false);
  Click(u"delcontact_btn");
  ASSERT_EQ(asked->size(), 1u);
  EXPECT_EQ((*asked)[0], u"您确定删除联系人\"Alice Smith, 李四, 王小明\"吗？");
  EXPECT_EQ(agent.Count("contact_del"), 0);

  // All five: the first three named and the count; deleted one by one.
  Toggle(PM().FindControl(u"contact_chk"));
  EXPECT_EQ(list->CheckedCount(), 5);
  const std::u16string first_three = Part(list->GetItemAt(0), u"contact_name") + u", " +
                                     Part(list->GetItemAt(1), u"contact_name") + u", " +
                                     Part(list->GetItemAt(2), u"contact_name");
  Questions(true);
  Click(u"delcontact_btn");
  ASSERT_EQ(asked->size(), 2u);
  EXPECT_EQ((*asked)[1], u"您确定删除\"" + first_three + u"\"等5个联系人吗？");
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 0; }));
  EXPECT_EQ(agent.Count("contact_del"), 5);
  EXPECT_FALSE(Enabled(u"delcontact_btn"));
  EXPECT_FALSE(Enabled(u"contact_chk"));
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewNew);
  // The facade's delete answers true whatever the phone said.
  agent.Set("contact_del", {data_test::AgentAnswer::kReply, "<response result=\"0\"/>"});
  EXPECT_TRUE(phone->DeleteContact(3));
  EXPECT_EQ(agent.Count("contact_del"), 6);
}

// The phone goes away during a delete: the worker takes it per item, stops
// at the first item without it, and the box ends with what was done.
TEST_F(ContactPageTest, ADeleteStopsWhereThePhoneWentAway) {
  ASSERT_NO_FATAL_FAILURE(Open());
  CConfigMgr::Instance()->SetContactTips(false);
  Toggle(PM().FindControl(u"contact_chk"));
  const std::thread::id ui = std::this_thread::get_id();
  std::atomic<int> worker_calls{0};
  SetPagePhoneSource([this, ui, &worker_calls]() -> std::shared_ptr<CPhone> {
    if (std::this_thread::get_id() == ui) return phone;
    return ++worker_calls == 1 ? phone : nullptr;
  });
  Click(u"delcontact_btn");  // back once the box has ended
  SetPagePhoneSource([this] { return phone; });
  EXPECT_EQ(worker_calls.load(), 2);
  EXPECT_EQ(agent.Count("contact_del"), 1);
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 4; }));
}

TEST_F(ContactPageTest, TheLetterShowsWhileScrollingAndHidesASecondAfter) {
  ASSERT_NO_FATAL_FAILURE(Open());
  CControlUI* letter = PM().FindControl(u"contact_first_letter");
  ASSERT_FALSE(letter->IsVisible());
  list->Relayout();
  PM().SendNotify(list, DUI_MSGTYPE_SCROLL);
  EXPECT_TRUE(letter->IsVisible());
  const std::u16string top_letter = list->GetItemAt(0)->GetText().str();
  ASSERT_FALSE(top_letter.empty());
  EXPECT_EQ(letter->GetText().str(), top_letter);
  host->Advance(600);
  PM().SendNotify(list, DUI_MSGTYPE_SCROLL);  // the second starts again
  host->Advance(999);
  EXPECT_TRUE(letter->IsVisible());
  host->Advance(1);
  EXPECT_FALSE(letter->IsVisible());
}

TEST_F(ContactPageTest, SearchFillsThePopupAndSwitchesToEditCarryingTheNewForm) {
  ASSERT_NO_FATAL_FAILURE(Open());
  CControlUI* search = PM().FindControl(u"contact_search_edit");
  ASSERT_NE(search, nullptr);
  CContactSearchMenu& popup = frame->Contact().SearchMenu();
  struct Case {
    const char16_t* text;
    std::vector<std::u16string> shown;
  } cases[] = {
      {u"zz", {}},
      {u"LS", {u"李四  13900139000"}},
      {u"1111", {u"Alice Smith  +86 137 0000 1111"}},
      {u"张", {u"张三  13800138000"}},
  };
  for (const Case& c : cases) {
    search->SetText(c.text);
    PM().SendNotify(search, DUI_MSGTYPE_TEXTCHANGED);
    EXPECT_EQ(popup.Items(), c.shown) << CDuiString(c.text).ToUtf8();
    EXPECT_EQ(popup.IsVisible(), !c.shown.empty());
  }
  // A name that looks like markup is listed as it is.
  search->SetText(u"bo{");
  PM().SendNotify(search, DUI_MSGTYPE_TEXTCHANGED);
  EXPECT_EQ(popup.Items(), std::vector<std::u16string>{u"<b>Bo{c #FF0000}"});
  auto* rows = static_cast<CListUI*>(
      CPaintManagerUI::GetManagerOf(popup.GetHWND())->FindControl(u"menulist")->GetInterface(u"List"));
  ASSERT_NE(rows, nullptr);
  EXPECT_FALSE(rows->IsShowHtml());
  // A click elsewhere in the window hides it.
  ASSERT_TRUE(popup.IsVisible());
  ClickControl(PM(), u"contact_new_title");
  EXPECT_FALSE(popup.IsVisible());
  PM().SendNotify(search, DUI_MSGTYPE_TEXTCHANGED);
  ASSERT_TRUE(popup.IsVisible());

  // Typed into the new-contact form, then 李四 chosen: the typed phone joins his edit form.
  RowPart(fresh->GetItemAt(0), u"constom_value")->SetText(u"99887766");
  Questions(true);
  agent.Reply("contact_info", kLisiInfo);
  const std::u16string id = u"2";
  PM().SendNotify(search, u"searchcontactitem_click", 0, reinterpret_cast<LPARAM>(id.c_str()));
  ASSERT_EQ((*asked), std::vector<std::u16string>{u"要切换至编辑所选联系人吗？系统会复制您到目前为止输入的所有信息。"});
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewEdit);
  ASSERT_TRUE(PumpUntil([&] { return edit->GetCount() == 6; }));
  EXPECT_EQ(TextOf(u"edit_contactname"), u"李四");
  EXPECT_EQ(RowPart(edit->GetItemAt(5), u"constom_value")->GetText(), u"99887766");
  EXPECT_EQ(edit->GetItemAt(5)->GetUserData(), u"0");  // a new entry of the contact
  EXPECT_FALSE(popup.IsVisible());
}

TEST_F(ContactPageTest, ANewContactIsAddedAndShownAndAPhoneRemovalClearsThePage) {
  ASSERT_NO_FATAL_FAILURE(Open());
  PM().FindControl(u"new_contactname")->SetText(u"赵六");
  RowPart(fresh->GetItemAt(0), u"constom_value")->SetText(u"021-5555");
  RowPart(fresh->GetItemAt(1), u"constom_value")->SetText(u"13600136000");
  agent.Reply("contact_add", "<contact id=\"9\"/>");
  agent.Reply("contact_info",
              "<contact id=\"9\" name=\"赵六\"><phone _id=\"9101\" number=\"021-5555\" type=\"1\" label=\"\"/>"
              "<phone _id=\"9102\" number=\"13600136000\" type=\"2\" label=\"\"/></contact>");
  Click(u"cntacok_btn");
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 6; }));
  EXPECT_EQ(ContactLines(agent.Requests("contact_add")[0]),
            (std::vector<std::string>{"contact name=赵六", "phone number=021-5555 type=1 label=",
                                      "phone number=13600136000 type=2 label="}));
  EXPECT_EQ(Part(Row(9), u"phone_number"), u"021-5555, 13600136000");
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewInfo);
  EXPECT_EQ(info->GetCount(), 2);

  SendMessage(hwnd, msg::kConnectionState, 0, 19);  // the phone is gone
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(info->GetUserData(), u"");
  EXPECT_EQ(TabOf(u"contact_tab"), CContactDlg::kViewNew);
}

// A long list fills a slice at a time, in the manager's order; "tick all"
// shows ticked only while every row, those to come included, is, and
// ticked while it fills it ticks the rows still to come.
TEST_F(ContactPageTest, ALongListFillsInSlicesAndTickAllReachesTheRowsToCome) {
  constexpr int kSlice = 100;
  constexpr int kContacts = kSlice + 50;
  list->SetFillSlice(kSlice, 0);
  const auto name = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "C%04d", i);
    return std::string(text);
  };
  std::string xml;
  for (int i = kContacts; i >= 1; --i) xml += "<c i=\"" + std::to_string(i) + "\" n=\"" + name(i) + "\"/>";
  agent.Reply("contact_list", xml);
  SelectOption(u"contact_optn");
  ASSERT_TRUE(PumpUntil([&] { return list->TotalCount() == kContacts && TabOf(u"tab_contact_load") == 0; }));
  ASSERT_TRUE(list->IsFilling());
  auto* all = static_cast<CCheckBoxUI*>(PM().FindControl(u"contact_chk"));
  EXPECT_TRUE(all->IsEnabled());
  for (int i = 0; i < list->GetCount(); ++i) Toggle(list->RowCheckBox(list->GetItemAt(i)));
  EXPECT_FALSE(all->GetCheck());  // every row there, but more are coming
  Toggle(all);
  EXPECT_TRUE(Enabled(u"delcontact_btn"));
  ASSERT_NO_FATAL_FAILURE(RunFill(list));
  ASSERT_EQ(list->GetCount(), kContacts);
  for (int i = 0; i < kContacts; ++i) ASSERT_EQ(Part(list->GetItemAt(i), u"contact_name"), AnsiToWString(name(i + 1)));
  EXPECT_EQ(list->CheckedCount(), kContacts);
  EXPECT_TRUE(all->GetCheck());
  Toggle(Box(kContacts));  // unticked: not all any more
  EXPECT_FALSE(all->GetCheck());
  EXPECT_EQ(list->CheckedCount(), kContacts - 1);
}

}  // namespace
}  // namespace page_test
