// The SMS page: bubble sizes, titles and questions as pure functions, then
// the page on the headless main window over a real phone facade and a
// stand-in agent (conversations, reading, deleting).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "app/config/config_mgr.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/sms_dlg.h"
#include "ui/pages/sms_lists.h"
#include "ui/pages/tests/phone_page_fixture.h"

namespace page_test {
namespace {

// ---------------- pure parts ----------------

TEST(SmsRows, BubbleSizesFollowTheTextWidth) {
  struct Case {
    int text_width, font_height;
    int width, height, lines;
  } cases[] = {
      {1000, 16, 329, 4 * 16 + 10, 4},  // wide text: capped, four lines
      {10, 16, 40, 27, 1},              // short text: padded, at least 27 high
      {0, 16, 30, 27, 1},
      {289, 16, 319, 27, 1},            // padding stops at 319
      {300, 16, 319, 27, 1},
      {319, 20, 319, 30, 1},
      {320, 20, 320, 2 * 20 + 10, 2},
      {638, 20, 329, 2 * 20 + 10, 2},
  };
  for (const Case& c : cases) {
    const SmsBubble b = SmsBubbleSize(c.text_width, c.font_height);
    EXPECT_EQ(b.width, c.width) << c.text_width;
    EXPECT_EQ(b.height, c.height) << c.text_width;
    EXPECT_EQ(b.lines, c.lines) << c.text_width;
  }
}

TEST(SmsRows, TitlesSendersDatesAndQuestions) {
  EXPECT_EQ(SmsThreadTitle(u"张三", 2, true), u"<f 10>张三</f>  <f 1>{c #666666}(2){/c}</f>");
  EXPECT_EQ(SmsThreadTitle(u"10086", 1, false), u"<f 3>10086</f>  <f 1>{c #666666}(1){/c}</f>");
  // A name from the phone never changes the formatting.
  const std::u16string title = SmsThreadTitle(u"<b>x</f>{c #FF0000}", 1, true);
  const TTextMarkup markup = ParseTextMarkup(title);
  std::u16string text;
  for (const TTextRun& run : markup.runs) text += run.text;
  EXPECT_EQ(text, u"<b>x</f>{c #FF0000}  (1)");
  EXPECT_EQ(markup.runs.front().font, 10);

  EXPECT_EQ(SmsSenderText(1, u"10086"), u"10086");
  EXPECT_EQ(SmsSenderText(2, u"10086"), u"我");

  const char* tz = getenv("TZ");
  const std::string saved = tz ? tz : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  EXPECT_EQ(SmsDateText(1772330400), u"2026/03/01");
  EXPECT_EQ(SmsTimeText(1772330400 + 5 * 60 + 7), u"2026/03/01 10:05:07");
  if (tz) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();

  EXPECT_EQ(SmsDeleteQuestion(0), u"");
  EXPECT_EQ(SmsDeleteQuestion(1), u"您确定删除该短信会话吗？");
  EXPECT_EQ(SmsDeleteQuestion(3), u"您确定删除这3条短信会话吗？");
}

// ---------------- the page ----------------

// Conversation 1 (read, two messages, one sent), 2 (unread, a draft not
// shown), 3 (unread, a name that looks like markup).
const char kList[] =
    "<sms thread=\"1\" contact=\"0\" type=\"1\" id=\"11\" addr=\"13800138000\" date=\"1772330400000\" read=\"1\" "
    "body=\"晚上一起吃饭吗？\" errcode=\"0\"/>"
    "<sms thread=\"1\" contact=\"0\" type=\"2\" id=\"12\" addr=\"13800138000\" date=\"1772330700000\" read=\"1\" "
    "body=\"好的\" errcode=\"0\"/>"
    "<sms thread=\"2\" contact=\"0\" type=\"1\" id=\"21\" addr=\"10086\" date=\"1772334000000\" read=\"0\" "
    "body=\"余额 58.20 元\" errcode=\"0\"/>"
    "<sms thread=\"2\" contact=\"0\" type=\"3\" id=\"22\" addr=\"10086\" date=\"1772334060000\" read=\"0\" "
    "body=\"draft\" errcode=\"0\"/>"
    "<sms thread=\"3\" contact=\"0\" type=\"1\" id=\"31\" addr=\"&lt;b&gt;{c}\" date=\"1772320000000\" read=\"0\" "
    "body=\"&lt;f 3&gt;hi\" errcode=\"0\"/>";

class SmsPageTest : public PhonePageTest {
 public:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PhonePageTest::SetUp());
    list = dynamic_cast<CSmsList*>(PM().FindControl(u"smslist"));
    details = dynamic_cast<CSmsDetaiList*>(PM().FindControl(u"smsdetailist"));
    ASSERT_TRUE(list && details);
  }
  void Open() {
    agent.Reply("sms_list", kList);
    SelectOption(u"sms_optn");
    ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 3 && TabOf(u"tab_sms_load") == 0; }));
  }
  CControlUI* Row(int id) { return list->FindRowByUserData(DecimalText(id).c_str()); }
  CControlUI* Box(int id) { return RowPart(Row(id), u"sms_checkbox"); }
  CLabelUI* Label(CControlUI* row, const char16_t* name) {
    CControlUI* c = RowPart(row, name);
    return c ? static_cast<CLabelUI*>(c->GetInterface(u"Label")) : nullptr;
  }

  CSmsList* list = nullptr;
  CSmsDetaiList* details = nullptr;
};

TEST_F(SmsPageTest, ConversationsShowNameCountPreviewAndReadState) {
  ASSERT_NO_FATAL_FAILURE(Open());
  EXPECT_EQ(TabOf(u"tab_sms_page"), 1);
  EXPECT_EQ(list->GetRowUserData(0), u"2");  // newest first
  EXPECT_EQ(Label(Row(1), u"contact_name")->GetText(), u"<f 10>13800138000</f>  <f 1>{c #666666}(2){/c}</f>");
  EXPECT_EQ(Label(Row(2), u"contact_name")->GetText(), u"<f 3>10086</f>  <f 1>{c #666666}(1){/c}</f>");
  EXPECT_EQ(Label(Row(3), u"contact_name")->GetText(), u"<f 3><<b>{{c}</f>  <f 1>{c #666666}(1){/c}</f>");
  CLabelUI* preview = Label(Row(3), u"sms_content");
  EXPECT_EQ(preview->GetText(), u"<f 3>hi");
  EXPECT_FALSE(preview->IsShowHtml());
  EXPECT_EQ(preview->GetFont(), 2);
  EXPECT_EQ(Label(Row(1), u"sms_content")->GetFont(), 1);
  EXPECT_TRUE(Enabled(u"selallsms_chk"));
  EXPECT_FALSE(Enabled(u"delsms_btn"));
}

TEST_F(SmsPageTest, OpeningAConversationMarksItReadAndShowsBubbles) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Toggle(Box(2));
  ASSERT_TRUE(PumpUntil([&] { return agent.Count("sms_read") == 1; }));
  EXPECT_NE(agent.Requests("sms_read")[0].find("id=\"21\""), std::string::npos);
  EXPECT_EQ(Label(Row(2), u"contact_name")->GetText(), u"<f 10>10086</f>  <f 1>{c #666666}(1){/c}</f>");
  EXPECT_EQ(details->GetUserData(), u"2");
  ASSERT_EQ(details->GetCount(), 1);  // the draft is not shown
  EXPECT_TRUE(Enabled(u"delsms_btn"));

  // A read conversation is not marked again; its sent message says "我".
  Toggle(Box(1));
  EXPECT_EQ(details->GetUserData(), u"1");
  ASSERT_EQ(details->GetCount(), 2);
  EXPECT_EQ(agent.Count("sms_read"), 1);
  CLabelUI* received = Label(details->GetItemAt(0), u"sms_addr");
  CLabelUI* sent = Label(details->GetItemAt(1), u"sms_addr");
  EXPECT_EQ(received->GetText(), u"13800138000");
  EXPECT_EQ(sent->GetText(), u"我");
  EXPECT_EQ(sent->GetTextColor(), 0xFF0084D2u);
  // The bubble: "   " and the body, sized by the headless metrics (12 px font:
  // CJK 12 px, ASCII 6 px; lines 16 px high).
  CControlUI* body = RowPart(details->GetItemAt(0), u"sms_body");
  EXPECT_EQ(body->GetText(), u"   晚上一起吃饭吗？");
  const SmsBubble expected = SmsBubbleSize(3 * 6 + 8 * 12, 16);
  EXPECT_EQ(body->GetFixedWidth(), expected.width);
  EXPECT_EQ(body->GetFixedHeight(), expected.height);
  EXPECT_EQ(details->GetItemAt(0)->GetFixedHeight(), expected.height + kBubbleRowExtra);
  EXPECT_NE(std::u16string(body->GetBkImage()).find(u"msg_normbk.png"), std::u16string::npos);
  EXPECT_NE(std::u16string(RowPart(details->GetItemAt(1), u"sms_body")->GetBkImage()).find(u"msg_hotbk.png"),
            std::u16string::npos);

  // Unticking both: the details go and delete is off.
  Toggle(Box(1));
  EXPECT_EQ(details->GetUserData(), u"2");  // the first ticked row shows
  Toggle(Box(2));
  EXPECT_EQ(details->GetCount(), 0);
  EXPECT_FALSE(Enabled(u"delsms_btn"));
}

TEST_F(SmsPageTest, DeletingAMessageAndConversations) {
  ASSERT_NO_FATAL_FAILURE(Open());
  Toggle(Box(1));
  ASSERT_EQ(details->GetCount(), 2);
  // One message, no question.
  Click(RowPart(details->GetItemAt(1), u"sms_del_msg"));
  ASSERT_TRUE(PumpUntil([&] { return details->GetCount() == 1; }));
  const std::string del = agent.Requests("sms_del")[0];
  EXPECT_NE(del.find("id=\"12\""), std::string::npos);
  EXPECT_NE(del.find("thread=\"1\""), std::string::npos);
  EXPECT_EQ(Label(Row(1), u"contact_name")->GetText(), u"<f 10>13800138000</f>  <f 1>{c #666666}(1){/c}</f>");

  // Conversations: one asks the one-conversation question; cancelled, nothing goes.
  CConfigMgr::Instance()->SetSmsTips(true);
  // The scripts hold their own reference (one left unused never outlives its list).
  auto asked_list = std::make_shared<std::vector<std::u16string>>();
  std::vector<std::u16string>& asked = *asked_list;
  auto answer = [&](bool ok) {
    host->PushModalScript([asked_list, ok](HWND h) {
      CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(h);
      asked_list->push_back(pm->FindControl(u"msglab")->GetText().str());
      ClickControl(*pm, ok ? u"okbtn" : u"cancelbtn");
    });
  };
  answer(false);
  Click(u"delsms_btn");
  EXPECT_EQ(asked, std::vector<std::u16string>{u"您确定删除该短信会话吗？"});
  EXPECT_EQ(agent.Count("sms_del_thread"), 0);

  // All three: the count in the question; each goes when the phone says so.
  Toggle(PM().FindControl(u"selallsms_chk"));
  EXPECT_EQ(list->CheckedCount(), 3);
  answer(true);
  Click(u"delsms_btn");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], u"您确定删除这3条短信会话吗？");
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 0; }));
  EXPECT_EQ(agent.Count("sms_del_thread"), 3);
  EXPECT_EQ(details->GetCount(), 0);
  EXPECT_EQ(TabOf(u"tab_sms_page"), 0);
  EXPECT_FALSE(Enabled(u"selallsms_chk"));
  EXPECT_FALSE(Enabled(u"delsms_btn"));
}

TEST_F(SmsPageTest, WithTheReminderOffDeletionAsksNothing) {
  ASSERT_NO_FATAL_FAILURE(Open());
  CConfigMgr::Instance()->SetSmsTips(false);
  Toggle(Box(3));
  Click(u"delsms_btn");
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 2; }));
  EXPECT_EQ(agent.Count("sms_del_thread"), 1);
  EXPECT_EQ(details->GetCount(), 0);  // it showed the removed conversation
}

TEST_F(SmsPageTest, RefreshLoadsAgainAndNamesFromContactsReplaceNumbers) {
  ASSERT_NO_FATAL_FAILURE(Open());
  // The contacts arrive: the page has the phone join their names.
  agent.Reply("contact_list", "<c i=\"7\" n=\"张三\"><p n=\"138 0013 8000\"/></c>");
  phone->LoadContactList();
  ASSERT_TRUE(PumpUntil([&] {
    return Label(Row(1), u"contact_name")->GetText().str().find(u"张三") != std::u16string::npos;
  }));
  list->GetItemAt(0)->SetUserData(u"stale");  // gone once the list is built again
  Click(u"refreshsms_btn");
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 3 && list->GetRowUserData(0) != u"stale"; }));
  EXPECT_EQ(agent.Count("sms_list"), 2);
}

// A long list fills a slice at a time; the names the phone joins while it
// fills reach every row, those added after the join included, and a
// conversation removed before its row came is not listed.
TEST_F(SmsPageTest, ALongListTakesTheNamesJoinedWhileItFills) {
  constexpr int kSlice = 100;
  constexpr int kThreads = kSlice + 100;
  list->SetFillSlice(kSlice, 0);
  const auto number = [](int t) { return std::to_string(13800000000LL + t); };
  std::string contacts, messages;
  for (int t = 1; t <= kThreads; ++t) {
    const std::string n = number(t);
    contacts += "<c i=\"" + std::to_string(t) + "\" n=\"联系人" + std::to_string(t) + "\"><p n=\"" + n.substr(0, 3) +
                " " + n.substr(3) + "\"/></c>";
    messages += "<sms thread=\"" + std::to_string(t) + "\" contact=\"0\" type=\"1\" id=\"" + std::to_string(t) +
                "\" addr=\"" + n + "\" date=\"" + std::to_string(1772330400000LL - t * 60000LL) +
                "\" read=\"1\" body=\"b\" errcode=\"0\"/>";
  }
  agent.Reply("contact_list", contacts);
  phone->LoadContactList();
  ASSERT_TRUE(PumpUntil([&] { return phone->GetContactCount() == kThreads; }));
  agent.Reply("sms_list", messages);
  SelectOption(u"sms_optn");
  ASSERT_TRUE(PumpUntil([&] {
    return list->GetCount() > 0 &&
           Label(list->GetItemAt(0), u"contact_name")->GetText().str().find(u"联系人1<") != std::u16string::npos;
  }));
  ASSERT_TRUE(list->IsFilling());  // the names came before the last rows
  EXPECT_EQ(list->TotalCount(), kThreads);
  EXPECT_EQ(TabOf(u"tab_sms_page"), 1);
  agent.Reply("sms_del_thread", "");
  phone->DeleteSmsThread(kThreads);  // its row is still to come
  ASSERT_NO_FATAL_FAILURE(RunFill(list));
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == kThreads - 1; }));
  for (int i = 0; i < list->GetCount(); ++i) {
    const std::u16string id = list->GetRowUserData(i).str();
    EXPECT_EQ(id, DecimalText(i + 1));
    EXPECT_NE(Label(list->GetItemAt(i), u"contact_name")->GetText().str().find(u"联系人" + id + u"<"),
              std::u16string::npos)
        << i;
  }
}

}  // namespace
}  // namespace page_test
