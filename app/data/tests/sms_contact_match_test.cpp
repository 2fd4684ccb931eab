// Which contact's name a conversation takes: a table of the rule's cases,
// and the indexed matcher against the rule walked contact by contact over
// generated phones (shared numbers, repeated ids, empty names, "+86",
// letters in both cases).
#include "app/data/sms_contact_match.h"

#include <gtest/gtest.h>

#include <random>

#include "foundation/base/code_page.h"

namespace {

ContactRecord Contact(int32_t id, const char16_t* name, std::vector<std::u16string> numbers) {
  ContactRecord contact;
  contact.id = id;
  contact.name = name;
  for (std::u16string& number : numbers) {
    ContactFieldEntry entry;
    entry.value = std::move(number);
    contact.phones.push_back(entry);
  }
  return contact;
}

SmsThreadRecord Thread(int32_t contact_id, const std::u16string& address) {
  SmsThreadRecord thread;
  thread.contact_id = contact_id;
  thread.address = address;
  return thread;
}

// The rule as written: the contacts walked in order for each conversation.
const ContactRecord* ByTheRule(const std::vector<ContactRecord>& contacts, const SmsThreadRecord& thread) {
  bool id_known = false;
  for (const ContactRecord& c : contacts) id_known = id_known || (thread.contact_id != 0 && c.id == thread.contact_id);
  for (const ContactRecord& c : contacts) {
    if (!id_known && !thread.address.empty()) {
      for (const ContactFieldEntry& phone : c.phones)
        if (SmsAddressMatches(phone.value, thread.address)) return &c;
    } else if (c.id == thread.contact_id && !c.name.empty()) {
      return &c;
    }
  }
  return nullptr;
}

TEST(SmsContactMatchTest, RuleTable) {
  const std::vector<ContactRecord> contacts = {
      Contact(1, u"甲", {u"13800000001"}),
      Contact(2, u"", {u"13800000002"}),          // matched by number, but no name to give
      Contact(3, u"乙", {u"138 0000 0002", u"abc"}),
      Contact(5, u"", {}),
      Contact(5, u"丙", {u"10086"}),               // the first named contact of id 5
      Contact(0, u"零", {}),
      Contact(6, u"丁", {u"13800000001"}),         // a later holder of 甲's number
  };
  struct Case {
    int32_t contact_id;
    const char16_t* address;
    int expected;  // index into contacts, -1 for none
  } cases[] = {
      {0, u"+86 138-0000-0001", 0},   // by number, prefix and separators left out
      {0, u"13800000001", 0},         // the first holder of the number wins
      {0, u"13800000002", 1},         // the first holder has no name: it still ends the search
      {0, u"ABC", 2},                 // letters in either case
      {0, u"+8613800000009", -1},
      {5, u"13800000001", 4},         // a known id: the first named contact of the id, not the number
      {9, u"10086", 4},               // an unknown id: by number
      {0, u"", 5},                    // no address: the named contact of id 0
      {7, u"", -1},                   // no address, no contact of that id
      {2, u"whatever", -1},           // known id whose contacts have no name
  };
  const SmsContactMatcher matcher(contacts);
  for (const Case& c : cases) {
    const ContactRecord* found = matcher.Match(Thread(c.contact_id, c.address));
    const int index = found ? static_cast<int>(found - contacts.data()) : -1;
    EXPECT_EQ(index, c.expected) << c.contact_id << " / " << WStringToAnsi(c.address);
  }
}

TEST(SmsContactMatchTest, NoContactsMatchNothing) {
  const std::vector<ContactRecord> none;
  EXPECT_EQ(SmsContactMatcher(none).Match(Thread(0, u"10086")), nullptr);
  EXPECT_EQ(SmsContactMatcher(none).Match(Thread(0, u"")), nullptr);
}

TEST(SmsContactMatchTest, IndexedMatchEqualsTheRuleOnGeneratedPhones) {
  std::mt19937 random(20260302);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  // Numbers from a small pool so contacts share them, written in the ways a
  // phone writes them.
  const auto number = [&](int n) {
    const std::u16string digits = AnsiToWString("1380000" + std::to_string(1000 + n));
    switch (pick(5)) {
      case 0: return u"+86 " + digits;
      case 1: return digits.substr(0, 3) + u"-" + digits.substr(3, 4) + u" " + digits.substr(7);
      case 2: return u"x" + digits;
      case 3: return u"X" + digits;
      default: return digits;
    }
  };
  for (int round = 0; round < 20; ++round) {
    std::vector<ContactRecord> contacts;
    for (int i = 0; i < 60; ++i) {
      std::vector<std::u16string> numbers;
      for (int k = pick(3); k > 0; --k) numbers.push_back(number(pick(40)));
      contacts.push_back(Contact(pick(30), pick(4) == 0 ? u"" : u"名", numbers));
    }
    const SmsContactMatcher matcher(contacts);
    for (int t = 0; t < 200; ++t) {
      const SmsThreadRecord thread = Thread(pick(3) == 0 ? 0 : pick(40), pick(6) == 0 ? u"" : number(pick(50)));
      ASSERT_EQ(matcher.Match(thread), ByTheRule(contacts, thread))
          << "round " << round << ", contact " << thread.contact_id << ", address " << WStringToAnsi(thread.address);
    }
  }
}

}  // namespace
