// Which contact's name a conversation takes when the SMS manager puts the
// contacts' names in place of the numbers (CSmsMgr::SyncSmsContact). The
// rule, over the contacts in their order:
//   - a conversation whose contact id no contact has (0 never matches) and
//     whose address is not empty takes the first contact with a number
//     that matches the address (SmsAddressMatches: stripped, ASCII case
//     ignored, the address also without its first three characters when
//     it holds "+86");
//   - any other conversation takes the first contact with the
//     conversation's contact id and a name.
// The first contact found is the answer even when its name is empty (the
// conversation then keeps its address).
//
// The contacts are indexed once (by id, and by the key of every number),
// so a conversation costs one or two lookups however many contacts there
// are: matching n conversations against m contacts is linear in n + m.
//
// Threading: a plain value over the caller's contacts, which must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/data/contact_record.h"
#include "app/data/sms_record.h"

class SmsContactMatcher {
 public:
  explicit SmsContactMatcher(const std::vector<ContactRecord>& contacts);

  // The contact whose name the conversation takes, or null.
  const ContactRecord* Match(const SmsThreadRecord& thread) const;

 private:
  struct ById {
    bool named = false;  // some contact with the id has a name
    size_t first_named = 0;
  };

  const std::vector<ContactRecord>& contacts_;
  std::unordered_map<int32_t, ById> by_id_;
  std::unordered_map<std::u16string, size_t> by_number_;  // number key: the first contact holding it
};
