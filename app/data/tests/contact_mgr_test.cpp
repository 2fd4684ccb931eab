// The contact manager against a stand-in agent on loopback: the list and
// its order, details, add, edit and delete with the requests they send,
// counts, and the record helpers (merge, initials, names).
#include "app/data/contact_mgr.h"

#include <gtest/gtest.h>

#include "app/data/tests/contact_request_lines.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"
#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace {

using data_test::AgentAnswer;
using Posted = std::vector<std::pair<uintptr_t, intptr_t>>;

const char kList[] =
    "<c i=\"3\" n=\"Zed\"><g i=\"7\"/><p n=\"555-0103\"/><p n=\"555 0104\"/></c>"
    "<c i=\"1\" n=\"bob\"/>"
    "<c i=\"2\" n=\"Bob\"><g i=\"8\"/></c>"
    "<c i=\"4\" n=\"啊静\"><p n=\"+86 138-0000-0001\"/></c>"
    "<c i=\"5\" n=\"安\"/>";

ContactFieldEntry Entry(int32_t status, int32_t row_id, int32_t type, const char16_t* label, const char16_t* value,
                        int32_t protocol = 0) {
  ContactFieldEntry entry;
  entry.status = status;
  entry.row_id = row_id;
  entry.type = type;
  entry.label = label;
  entry.value = value;
  entry.protocol = protocol;
  return entry;
}

std::vector<int32_t> Ids(const std::vector<ContactRecord>& list) {
  std::vector<int32_t> ids;
  for (const ContactRecord& r : list) ids.push_back(r.id);
  return ids;
}

using data_test::ContactLines;

class ContactMgrTest : public ::testing::Test {
 protected:
  void SetUp() override { message_sink::Take(); }
  void TearDown() override { CSocketThreadMgr::Instance()->StopFor(&contacts_); }
  void Load() {
    agent_.Reply("contact_list", kList);
    contacts_.RefreshContactList();
    ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
  }
  // Asks the details of `id` with the reply `payload` and waits for `message`.
  void Info(int32_t id, const std::string& payload, uint32_t message) {
    agent_.Reply("contact_info", payload);
    contacts_.RequestContactInfo(id);
    ASSERT_TRUE(posts_.WaitFor(message, static_cast<uintptr_t>(id)));
  }

  data_test::PrivateFolders folders_;
  data_test::ScriptedAgent agent_;
  data_test::Posts posts_;
  CContactMgr contacts_;
};

TEST(ContactInitialTest, PinyinOfTheGbkName) {
  struct Case {
    const char16_t* name;
    const char16_t* initial;
  } cases[] = {{u"啊静", u"A"}, {u"张三", u"Z"}, {u"bob", u"B"}, {u"Bob", u"B"},
               {u"安", u"A"},   {u"", u""},     {u"7up", u"7"}};
  for (const Case& c : cases) EXPECT_EQ(ContactInitial(c.name), c.initial) << WStringToAnsi(c.name);
}

TEST(ContactInitialTest, InitialsOfEveryCharacter) {
  struct Case {
    const char16_t* name;
    const char16_t* initials;
  } cases[] = {{u"张三", u"ZS"}, {u"张三 Smith", u"ZS SMITH"}, {u"bob", u"BOB"}, {u"7up", u"7UP"}, {u"", u""}};
  for (const Case& c : cases) EXPECT_EQ(NameInitials(c.name), c.initials) << WStringToAnsi(c.name);
}

TEST_F(ContactMgrTest, ListIsSortedByInitialThenNameWithGroupsAndPhones) {
  ASSERT_NO_FATAL_FAILURE(Load());
  std::vector<ContactRecord> list;
  contacts_.CopyContactList(list);
  // A: 啊静 (U+554A) before 安 (U+5B89); B: "Bob" before "bob" (code units); Z.
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 5, 2, 1, 3}));
  EXPECT_EQ(list[0].initial, u"A");
  EXPECT_EQ(list[0].initials, u"AJ");  // kept with the record for the search
  const ContactRecord& zed = list[4];
  ASSERT_EQ(zed.phones.size(), 2u);
  EXPECT_EQ(zed.phones[1].value, u"555 0104");
  ASSERT_EQ(zed.groups.size(), 1u);
  EXPECT_EQ(zed.groups[0].group_id, 7);
  EXPECT_EQ(zed.stale, 1);
  EXPECT_EQ(contacts_.GetContactIndex(3), 4);
  EXPECT_EQ(contacts_.GetContactIndex(4), 0);
  EXPECT_EQ(contacts_.GetContactIndex(99), 0);
  EXPECT_EQ(contacts_.GetCount(), 5);
  EXPECT_EQ(posts_.Of(msg::kContactBusy), (Posted{{1, 0}, {0, 0}}));
  EXPECT_EQ(posts_.Of(msg::kContactCount), (Posted{{5, 0}}));
  EXPECT_EQ(posts_.Of(msg::kContactListLoaded).size(), 1u);
  EXPECT_EQ(posts_.Of(msg::kSmsContactListsLoaded).size(), 1u);
  // Loaded: a load sends nothing, a refresh replaces the list.
  contacts_.LoadContactList();
  EXPECT_EQ(agent_.Count("contact_list"), 1);
  posts_.Clear();
  agent_.Reply("contact_list", "<c i=\"9\" n=\"Ann\"/>");
  contacts_.RefreshContactList();
  ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
  list.clear();
  contacts_.CopyContactList(list);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{9}));
}

TEST_F(ContactMgrTest, CountThenLoadAndCountWithoutElement) {
  agent_.Reply("contact_list", kList);
  agent_.Reply("contact_count", "<count value=\"5\"/>");
  contacts_.RequestContactCount();
  ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
  EXPECT_EQ(posts_.Of(msg::kContactCount).front(), (std::pair<uintptr_t, intptr_t>{5, 0}));
  EXPECT_EQ(agent_.Count("contact_list"), 1);
  posts_.Clear();
  agent_.Reply("contact_count", "");
  contacts_.RequestContactCount();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kContactCount));
  EXPECT_EQ(posts_.Of(msg::kContactCount), (Posted{{5, 0}}));
  EXPECT_EQ(agent_.Count("contact_list"), 1);  // the list is there
}

TEST_F(ContactMgrTest, DetailsAreAskedOnceAndAnUnknownContactIsAdded) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Info(3,
                               "<contact id=\"3\" name=\"Zed\"><phone _id=\"11\" number=\"555-0103\" type=\"2\" "
                               "label=\"\"/><group _id=\"31\" id=\"7\"/><email _id=\"21\" address=\"z@x.example\" "
                               "type=\"1\" label=\"work\"/><im _id=\"41\" data=\"zed\" type=\"3\" label=\"\" "
                               "protocol=\"5\" custom_protocol=\"cp\"/><postal _id=\"51\" address=\"Street 1\" "
                               "type=\"1\" label=\"\"/><phone _id=\"12\" number=\"555-0104\" type=\"1\" label=\"\"/>"
                               "</contact>",
                               msg::kContactDetailReady));
  std::optional<ContactRecord> zed = contacts_.FindContactById(3);
  ASSERT_TRUE(zed.has_value());
  EXPECT_EQ(zed->stale, 0);
  ASSERT_EQ(zed->phones.size(), 2u);
  EXPECT_EQ(zed->phones[1].row_id, 12);
  ASSERT_EQ(zed->ims.size(), 1u);
  EXPECT_EQ(zed->ims[0].protocol, 5);
  EXPECT_EQ(zed->ims[0].custom_protocol, u"cp");
  EXPECT_EQ(zed->emails[0].label, u"work");
  EXPECT_EQ(zed->postals[0].value, u"Street 1");
  EXPECT_EQ(zed->groups[0].row_id, 31);
  // Loaded details: 1263 at once, no request.
  posts_.Clear();
  contacts_.RequestContactInfo(3);
  EXPECT_EQ(posts_.Of(msg::kContactDetailReady), (Posted{{3, 0}}));
  EXPECT_EQ(agent_.Count("contact_info"), 1);
  // A contact not in the list is added at its place.
  ASSERT_NO_FATAL_FAILURE(Info(8, "<contact id=\"8\" name=\"Carl\"/>", msg::kContactAdded));
  EXPECT_EQ(posts_.Of(msg::kContactAdded), (Posted{{8, 4}}));
  EXPECT_EQ(posts_.Of(msg::kContactCount), (Posted{{6, 0}}));
}

// A contact renamed on the phone takes the initial and place of its new name.
TEST_F(ContactMgrTest, RenamedContactIsSortedByItsNewName) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Info(3, "<contact id=\"3\" name=\"艾伦\"/>", msg::kContactDetailReady));
  EXPECT_EQ(contacts_.FindContactById(3)->initial, u"A");
  EXPECT_EQ(contacts_.FindContactById(3)->initials, u"AL");
  EXPECT_EQ(contacts_.GetContactIndex(3), 2);  // 啊静, 安, 艾伦 (U+827E)
}

// The search reads the list in its order and copies only what it keeps.
TEST_F(ContactMgrTest, FindContactsGivesTheFirstMatchesInOrder) {
  ASSERT_NO_FATAL_FAILURE(Load());
  int asked = 0;
  const auto b_names = [&asked](const ContactRecord& c) {
    ++asked;
    return c.initials.rfind(u"B", 0) == 0 || c.initials.rfind(u"A", 0) == 0;
  };
  EXPECT_EQ(Ids(contacts_.FindContacts(b_names, 3)), (std::vector<int32_t>{4, 5, 2}));
  EXPECT_EQ(asked, 3);  // no record past the third match is looked at
  EXPECT_EQ(Ids(contacts_.FindContacts(b_names, 10)), (std::vector<int32_t>{4, 5, 2, 1}));
  EXPECT_TRUE(contacts_.FindContacts(b_names, 0).empty());
}

TEST_F(ContactMgrTest, AddSendsTheAddFormAndLoadsTheNewContact) {
  ASSERT_NO_FATAL_FAILURE(Load());
  EXPECT_FALSE(contacts_.AddContact(nullptr));
  ContactRecord added;
  added.name = u"Dora & Co";
  added.groups.push_back({0, 0, 7});
  added.phones.push_back(Entry(0, 0, 2, u"", u"555-0199"));
  added.phones.push_back(Entry(0, 0, 1, u"", u""));  // empty: left out
  added.emails.push_back(Entry(0, 0, 1, u"home", u"d@x.example"));
  added.ims.push_back(Entry(0, 0, 3, u"", u"dora", 5));
  added.ims.back().custom_protocol = u"cp";
  agent_.Reply("contact_add", "<contact id=\"20\"/>");
  agent_.Reply("contact_info", "<contact id=\"20\" name=\"Dora &amp; Co\"><phone _id=\"61\" number=\"555-0199\" "
                               "type=\"2\" label=\"\"/></contact>");
  ASSERT_TRUE(contacts_.AddContact(&added));
  ASSERT_TRUE(posts_.WaitFor(msg::kContactAdded, 20));
  EXPECT_EQ(ContactLines(agent_.Requests("contact_add").at(0)),
            (std::vector<std::string>{"contact name=Dora & Co", "group rawid=7",
                                      "phone number=555-0199 type=2 label=", "email address=d@x.example type=1 label=home",
                                      "im data=dora type=3 label= protocol=5 custom_protocol=cp"}));
  EXPECT_EQ(contacts_.GetContactIndex(20), 4);  // A A B B D Z
  EXPECT_EQ(contacts_.FindContactById(20)->phones.at(0).row_id, 61);
}

TEST_F(ContactMgrTest, EditSendsOnlyTheChangesWithTheirStatus) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Info(3,
                               "<contact id=\"3\" name=\"Zed\"><group _id=\"31\" id=\"7\"/>"
                               "<phone _id=\"11\" number=\"555-0103\" type=\"2\" label=\"\"/>"
                               "<phone _id=\"12\" number=\"555-0104\" type=\"1\" label=\"\"/>"
                               "<email _id=\"21\" address=\"z@x.example\" type=\"1\" label=\"\"/></contact>",
                               msg::kContactDetailReady));
  ContactRecord edited = *contacts_.FindContactById(3);
  EXPECT_TRUE(contacts_.IsEditEmpty(&edited));
  edited.name = u"Zack";
  edited.phones[0].value = u"555-0110";                  // modified
  edited.phones.erase(edited.phones.begin() + 1);        // deleted
  edited.phones.push_back(Entry(0, 0, 3, u"lab", u""));       // added, empty value still sent
  EXPECT_FALSE(contacts_.IsEditEmpty(&edited));
  posts_.Clear();
  agent_.Reply("contact_info", "<contact id=\"3\" name=\"Zack\"><phone _id=\"11\" number=\"555-0110\" type=\"2\" "
                               "label=\"\"/></contact>");
  ASSERT_TRUE(contacts_.EditContact(&edited));
  ASSERT_TRUE(posts_.WaitFor(msg::kContactDetailReady, 3));
  EXPECT_EQ(ContactLines(agent_.Requests("contact_edit").at(0)),
            (std::vector<std::string>{"contact id=3 name=Zack",
                                      "phone number=555-0110 type=2 label= _id=11 status=2",
                                      "phone number=555-0104 type=1 label= _id=12 status=3",
                                      "phone number= type=3 label=lab status=1"}));
  EXPECT_EQ(agent_.Count("contact_info"), 2);  // the edit made the details stale
  // An unchanged edit sends nothing; an unknown contact is refused.
  ContactRecord same = *contacts_.FindContactById(3);
  EXPECT_TRUE(contacts_.EditContact(&same));
  ContactRecord unknown;
  unknown.id = 99;
  EXPECT_FALSE(contacts_.EditContact(&unknown));
  EXPECT_FALSE(contacts_.EditContact(nullptr));
  EXPECT_EQ(agent_.Count("contact_edit"), 1);
}

TEST_F(ContactMgrTest, DeleteIsHandledBeforeItReturns) {
  ASSERT_NO_FATAL_FAILURE(Load());
  posts_.Clear();
  contacts_.DeleteContact(1);
  EXPECT_FALSE(contacts_.FindContactById(1).has_value());
  EXPECT_EQ(posts_.Of(msg::kContactDeleted), (Posted{{1, 0}}));
  EXPECT_EQ(posts_.Of(msg::kContactCount), (Posted{{4, 0}}));
  EXPECT_NE(agent_.Requests("contact_del").at(0).find("<contact id=\"1\""), std::string::npos);
}

TEST_F(ContactMgrTest, TransportFailureClearsBusy) {
  struct Case {
    const char* name;
    AgentAnswer answer;
  } cases[] = {{"reset", {AgentAnswer::kReset, ""}},
               {"closed", {AgentAnswer::kClose, ""}},
               {"result 0", {AgentAnswer::kReply, "<response result=\"0\"/>"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posts_.Clear();
    agent_.Set("contact_list", c.answer);
    contacts_.RefreshContactList();
    ASSERT_TRUE(posts_.WaitFor(msg::kContactBusy, 0));
    EXPECT_FALSE(contacts_.IsBusy());
  }
}

TEST(MergeFieldListTest, Table) {
  const ContactFieldList stored = {Entry(0, 11, 2, u"", u"1"), Entry(0, 12, 1, u"", u"2")};
  // Numbers known only from "contact_list" carry no row id.
  const ContactFieldList listed = {Entry(0, 0, 0, u"", u"555")};
  struct Case {
    const char* name;
    ContactFieldList stored;
    ContactFieldList edited;
    std::vector<int32_t> statuses;
  } cases[] = {
      {"unchanged", stored, stored, {0, 0}},
      {"label changed", stored, {Entry(0, 11, 2, u"x", u"1"), stored[1]}, {2, 0}},
      {"one removed", stored, {stored[0]}, {0, 3}},
      {"one added", stored, {stored[0], stored[1], Entry(0, 0, 2, u"", u"3")}, {0, 0, 1}},
      {"all removed", stored, {}, {3, 3}},
      {"a listed number removed", listed, {}, {3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ContactFieldList merged = c.stored;
    MergeFieldList(merged, c.edited, false);
    std::vector<int32_t> statuses;
    for (const ContactFieldEntry& e : merged) statuses.push_back(e.status);
    EXPECT_EQ(statuses, c.statuses);
  }
  // Messenger entries also compare the protocols.
  ContactFieldList ims = {Entry(0, 41, 3, u"", u"zed", 5)};
  MergeFieldList(ims, {Entry(0, 41, 3, u"", u"zed", 6)}, true);
  EXPECT_EQ(ims[0].status, kEntryModified);
  // Added, then removed again: not sent.
  ContactFieldEntry entry;
  entry.status = kEntryAdded;
  entry.SetStatus(kEntryDeleted);
  EXPECT_EQ(entry.status, kEntryUnchanged);
}

TEST(ContactRecordTest, FixNameTable) {
  struct Case {
    const char* name;
    std::u16string contact_name;
    ContactFieldList phones;
    bool result;
    std::u16string fixed;
  } cases[] = {
      {"named", u"Ann", {}, true, u"Ann"},
      {"nothing", u"", {Entry(0, 0, 1, u"", u"")}, false, u""},
      {"only deleted", u"", {Entry(3, 11, 1, u"", u"555")}, false, u""},
      {"a number", u"", {Entry(0, 0, 1, u"", u"555")}, true, u"未知联系人"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ContactRecord record;
    record.name = c.contact_name;
    record.phones = c.phones;
    EXPECT_EQ(record.FixName(), c.result);
    EXPECT_EQ(record.name, c.fixed);
  }
}

}  // namespace
