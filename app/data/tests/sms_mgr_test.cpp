// The SMS manager against a stand-in agent on loopback (the list, counts,
// deletions, mark read, the name match) and its helpers as tables.
#include "app/data/sms_mgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/data/sms_utility.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"

namespace {

using data_test::AgentAnswer;
using Posted = std::vector<std::pair<uintptr_t, intptr_t>>;

// Thread 7: two messages from +86 138..., the later one unread; thread 9:
// one message of contact 5; a draft (type 3) of thread 11.
const char kList[] =
    "<sms thread=\"7\" contact=\"0\" type=\"1\" id=\"70\" addr=\"+86 138-0000-0001\" date=\"1000000\" read=\"1\" "
    "body=\"first\" errcode=\"0\"/>"
    "<sms thread=\"9\" contact=\"5\" type=\"1\" id=\"90\" addr=\"10086\" date=\"1500999\" read=\"1\" body=\"a&#13;&#10;b\" "
    "errcode=\"\"/>"
    "<sms thread=\"11\" contact=\"0\" type=\"3\" id=\"110\" addr=\"555\" date=\"9000000\" read=\"0\" body=\"draft\"/>"
    "<sms thread=\"7\" contact=\"0\" type=\"2\" id=\"71\" addr=\"+86 138-0000-0001\" date=\"2000000\" read=\"0\" "
    "body=\"second\" errcode=\"0\"/>";

ContactRecord Contact(int32_t id, const char16_t* name, std::vector<const char16_t*> numbers) {
  ContactRecord contact;
  contact.id = id;
  contact.name = name;
  for (const char16_t* number : numbers) {
    ContactFieldEntry entry;
    entry.value = number;
    contact.phones.push_back(entry);
  }
  return contact;
}

class SmsMgrTest : public ::testing::Test {
 protected:
  void SetUp() override { message_sink::Take(); }
  void TearDown() override { CSocketThreadMgr::Instance()->StopFor(&sms_); }
  void Load(const std::string& payload = kList) {
    posts_.Clear();
    agent_.Reply("sms_list", payload);
    sms_.RefreshSmsList();
    ASSERT_TRUE(posts_.WaitFor(msg::kSmsBusy, 0));
    ASSERT_TRUE(posts_.WaitForMessage(msg::kSmsCount));
  }

  data_test::PrivateFolders folders_;
  data_test::ScriptedAgent agent_;
  data_test::Posts posts_;
  CSmsMgr sms_;
};

TEST_F(SmsMgrTest, ConversationsNewestFirstWithTheirSummary) {
  ASSERT_NO_FATAL_FAILURE(Load());
  const std::vector<SmsThreadRecord> threads = sms_.GetThreadList();
  ASSERT_EQ(threads.size(), 2u);  // the draft's conversation is not listed
  EXPECT_EQ(sms_.GetThreadIds(), (std::vector<int32_t>{7, 9}));  // in the list's order
  const SmsThreadRecord& first = threads[0];
  EXPECT_EQ(first.thread_id, 7);
  EXPECT_EQ(first.message_count, 2);
  EXPECT_EQ(first.last_date, 2000);
  EXPECT_EQ(first.last_message_id, 71);
  EXPECT_EQ(first.last_read, 0);
  EXPECT_EQ(first.snippet, u"second");
  EXPECT_EQ(first.messages[0].id, 70);
  EXPECT_EQ(threads[1].messages[0].body, u"ab");
  EXPECT_EQ(threads[1].last_date, 1500);
  EXPECT_EQ(threads[1].contact_id, 5);
  EXPECT_EQ(sms_.GetCount(), 3);
  EXPECT_EQ(posts_.Of(msg::kSmsBusy), (Posted{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kSmsListLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kSmsContactListsLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kSmsCount), (Posted{{3, 0}}));
  // Loaded: a load sends nothing.
  sms_.LoadSmsList();
  EXPECT_EQ(agent_.Count("sms_list"), 1);
}

// Conversations are found by id whatever order the reply gave them in
// (the list is sorted newest first after the reply).
TEST_F(SmsMgrTest, ConversationsAreFoundByIdAfterTheSort) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<sms thread=\"5\" contact=\"0\" type=\"1\" id=\"50\" addr=\"1\" date=\"1000\" read=\"0\" body=\"old\"/>"
      "<sms thread=\"6\" contact=\"0\" type=\"1\" id=\"60\" addr=\"2\" date=\"9000\" read=\"0\" body=\"new\"/>"
      "<sms thread=\"4\" contact=\"0\" type=\"1\" id=\"40\" addr=\"3\" date=\"5000\" read=\"0\" body=\"mid\"/>"));
  EXPECT_EQ(sms_.GetThreadIds(), (std::vector<int32_t>{6, 4, 5}));
  for (int32_t id : {4, 5, 6}) {
    std::optional<SmsThreadRecord> thread = sms_.FindRecordById(id);
    ASSERT_TRUE(thread.has_value()) << id;
    EXPECT_EQ(thread->thread_id, id);
  }
  agent_.Reply("sms_read", "");
  sms_.MarkRead(5, 50);
  EXPECT_EQ(sms_.FindRecordById(5)->last_read, 1);
  EXPECT_EQ(sms_.FindRecordById(6)->last_read, 0);
  EXPECT_FALSE(sms_.FindRecordById(7).has_value());
}

TEST_F(SmsMgrTest, OnlyDraftsGiveAnEmptyListThatStillPosts) {
  ASSERT_NO_FATAL_FAILURE(Load("<sms thread=\"1\" type=\"3\" id=\"1\" date=\"5\"/>"));
  EXPECT_TRUE(sms_.GetThreadList().empty());
  EXPECT_EQ(posts_.Of(msg::kSmsCount), (Posted{{0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kSmsContactListsLoaded).size(), 1u);
}

TEST_F(SmsMgrTest, EqualDatesKeepReplyOrder) {
  ASSERT_NO_FATAL_FAILURE(Load("<sms thread=\"1\" type=\"1\" id=\"1\" date=\"5000\" body=\"x\"/>"
                               "<sms thread=\"1\" type=\"1\" id=\"2\" date=\"5000\" body=\"y\"/>"
                               "<sms thread=\"2\" type=\"1\" id=\"3\" date=\"5000\" body=\"z\"/>"));
  const std::vector<SmsThreadRecord> threads = sms_.GetThreadList();
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[0].thread_id, 1);
  EXPECT_EQ(threads[0].snippet, u"y");
}

TEST_F(SmsMgrTest, DeleteMessagesAndConversations) {
  ASSERT_NO_FATAL_FAILURE(Load());
  posts_.Clear();
  sms_.DeleteSms(7, 71);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsMessageRemoved, 71));
  EXPECT_NE(agent_.Requests("sms_del").at(0).find("id=\"71\" thread=\"7\""), std::string::npos);
  EXPECT_EQ(sms_.FindRecordById(7)->snippet, u"first");
  EXPECT_EQ(posts_.Of(msg::kSmsCount), (Posted{{2, 0}}));
  // The last message of a conversation takes the conversation with it.
  posts_.Clear();
  sms_.DeleteSms(7, 70);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsThreadRemoved, 7));
  EXPECT_TRUE(posts_.Of(msg::kSmsMessageRemoved).empty());
  EXPECT_FALSE(sms_.FindRecordById(7).has_value());
  // An unknown message still answers 1270.
  sms_.DeleteSms(7, 555);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsMessageRemoved, 555));
  posts_.Clear();
  sms_.DeleteThread(9);
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsThreadRemoved, 9));
  EXPECT_TRUE(sms_.GetThreadList().empty());
  EXPECT_EQ(posts_.Of(msg::kSmsCount), (Posted{{0, 0}}));
}

TEST_F(SmsMgrTest, MarkReadAndCount) {
  ASSERT_NO_FATAL_FAILURE(Load());
  sms_.MarkRead(99, 1);  // no such conversation: nothing sent
  sms_.MarkRead(7, 71);
  EXPECT_EQ(sms_.FindRecordById(7)->last_read, 1);
  ASSERT_TRUE(data_test::WaitUntil([&] { return agent_.Count("sms_read") == 1; }));
  EXPECT_NE(agent_.Requests("sms_read").at(0).find("<sms id=\"71\""), std::string::npos);
  posts_.Clear();
  agent_.Reply("sms_count", "<count value=\"42\"/>");
  sms_.RequestSmsCount();
  ASSERT_TRUE(posts_.WaitFor(msg::kSmsCount, 42));
  EXPECT_EQ(sms_.GetCount(), 42);
}

// MarkRead and the lookups take the lock while replies rebuild the list.
TEST_F(SmsMgrTest, ReadersRunBesideReloads) {
  ASSERT_NO_FATAL_FAILURE(Load());
  std::atomic<bool> stop{false};
  std::atomic<int> marked{0};
  std::thread reader([&] {
    while (!stop) {
      if (marked < 20) {
        sms_.MarkRead(7, 71);
        ++marked;
      }
      (void)sms_.FindRecordById(9);
    }
  });
  for (int i = 0; i < 5; ++i) {
    ASSERT_NO_FATAL_FAILURE(Load());
  }
  stop = true;
  reader.join();
  EXPECT_EQ(sms_.GetThreadList().size(), 2u);
  EXPECT_TRUE(data_test::WaitUntil([&] { return agent_.Count("sms_read") == marked; }));
}

TEST_F(SmsMgrTest, SyncRenamesOncePerLoad) {
  ASSERT_NO_FATAL_FAILURE(Load());
  std::vector<ContactRecord> contacts = {Contact(5, u"客服", {}), Contact(6, u"Ann", {u"13800000001"})};
  sms_.SyncSmsContact({});  // no contacts: the flag stays clear, no 1272
  EXPECT_TRUE(posts_.Of(msg::kSmsContactsJoined).empty());
  sms_.SyncSmsContact(contacts);
  std::vector<SmsThreadRecord> threads = sms_.GetThreadList();
  EXPECT_EQ(threads[0].address, u"Ann");
  EXPECT_EQ(threads[0].messages[0].address, u"Ann");
  EXPECT_EQ(threads[1].address, u"客服");
  EXPECT_EQ(posts_.Of(msg::kSmsContactsJoined).size(), 1u);
  // Twice after one load: the second renames nothing.
  contacts[1].name = u"Other";
  sms_.SyncSmsContact(contacts);
  EXPECT_EQ(sms_.GetThreadList()[0].address, u"Ann");
  EXPECT_EQ(posts_.Of(msg::kSmsContactsJoined).size(), 1u);
  // After the next load it runs again.
  ASSERT_NO_FATAL_FAILURE(Load());
  sms_.SyncSmsContact(contacts);
  EXPECT_EQ(sms_.GetThreadList()[0].address, u"Other");
}

TEST_F(SmsMgrTest, TransportFailureClearsBusy) {
  for (AgentAnswer::Mode mode : {AgentAnswer::kReset, AgentAnswer::kClose}) {
    posts_.Clear();
    agent_.Set("sms_list", {mode, ""});
    sms_.RefreshSmsList();
    ASSERT_TRUE(posts_.WaitFor(msg::kSmsBusy, 0));
    EXPECT_FALSE(sms_.IsBusy());
  }
}

TEST(SmsRecordTest, BodyNormalisation) {
  struct Case {
    std::u16string body;
    std::u16string stored;
  } cases[] = {{u"a\r\nb\rc\nd", u"abc\nd"}, {u"\r\r\n\n", u"\n"}, {u"plain", u"plain"}, {u"", u""},
               {u"x\r", u"x"}};
  for (const Case& c : cases) EXPECT_EQ(NormaliseSmsBody(c.body), c.stored) << WStringToAnsi(c.body);
}

TEST(SmsRecordTest, AddressMatchTable) {
  struct Case {
    const char16_t* number;
    const char16_t* address;
    bool match;
  } cases[] = {
      {u"13800000001", u"+86 138-0000-0001", true},   // prefix, spaces and hyphens on the address
      {u"138 0000 0001", u"13800000001", true},
      {u"+8613800000001", u"13800000001", false},     // only the address side is stripped
      {u"13800000001", u"13800000002", false},
      {u"abc", u"ABC", true},
      {u"1234", u"00+861234", false},                  // the first three characters go, not the prefix
      {u"", u"", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SmsAddressMatches(c.number, c.address), c.match) << WStringToAnsi(c.number) << " / "
                                                               << WStringToAnsi(c.address);
}

TEST(SmsUtilityTest, MakeTextKey) {
  EXPECT_EQ(MakeTextKey(u""), u"0");
  EXPECT_EQ(MakeTextKey(u"a"), MakeTextKey(u"a"));
  EXPECT_NE(MakeTextKey(u"a"), MakeTextKey(u"b"));
  const std::string key = WStringToAnsi(MakeTextKey(u"/sdcard/DCIM/a.jpg"));
  EXPECT_EQ(key, std::to_string(Utf16LeCrc32(u"/sdcard/DCIM/a.jpg")));
}

TEST(SmsUtilityTest, FormatWideStringTable) {
  EXPECT_EQ(FormatWideString(u"%d", 42), u"42");
  EXPECT_EQ(FormatWideString(u"[%5d|%-4d|%05d]", -7, 3, 12), u"[   -7|3   |00012]");
  EXPECT_EQ(FormatWideString(u"%u %x %X %lu", 4000000000u, 255u, 255u, 123456789012UL), u"4000000000 ff FF 123456789012");
  EXPECT_EQ(FormatWideString(u"%s=%S%%", u"名", "值"), u"名=值%");
  EXPECT_EQ(FormatWideString(u"%.2s|%4s|%c", u"abcdef", u"ab", u'Z'), u"ab|  ab|Z");
  EXPECT_EQ(FormatWideString(u"%I64d", static_cast<long long>(-5000000000LL)), u"-5000000000");
  const std::u16string long_text(3000, u'x');
  EXPECT_EQ(FormatWideString(u"%s", long_text.c_str()).size(), 1024u);
}

}  // namespace
