#include "app/data/sms_contact_match.h"

#include <algorithm>

SmsContactMatcher::SmsContactMatcher(const std::vector<ContactRecord>& contacts) : contacts_(contacts) {
  by_id_.reserve(contacts.size());
  by_number_.reserve(contacts.size() * 2);
  for (size_t i = 0; i < contacts.size(); ++i) {
    const ContactRecord& contact = contacts[i];
    ById& id = by_id_[contact.id];
    if (!id.named && !contact.name.empty()) {
      id.named = true;
      id.first_named = i;
    }
    for (const ContactFieldEntry& phone : contact.phones) by_number_.emplace(PhoneNumberKey(phone.value), i);
  }
}

const ContactRecord* SmsContactMatcher::Match(const SmsThreadRecord& thread) const {
  const auto id = by_id_.find(thread.contact_id);
  const bool id_known = thread.contact_id != 0 && id != by_id_.end();
  if (!id_known && !thread.address.empty()) {
    size_t first = contacts_.size();
    for (const std::u16string& key : SmsAddressKeys(thread.address)) {
      const auto found = by_number_.find(key);
      if (found != by_number_.end()) first = std::min(first, found->second);
    }
    return first < contacts_.size() ? &contacts_[first] : nullptr;
  }
  if (id == by_id_.end() || !id->second.named) return nullptr;
  return &contacts_[id->second.first_named];
}
