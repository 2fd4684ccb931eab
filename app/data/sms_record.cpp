#include "app/data/sms_record.h"

#include <algorithm>

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

void SmsThreadRecord::Summarise() {
  std::stable_sort(messages.begin(), messages.end(), CompareSmsByDate);
  message_count = static_cast<int32_t>(messages.size());
  if (messages.empty()) return;
  const SmsRecord& newest = messages.back();
  last_date = newest.date;
  last_read = newest.read;
  snippet = newest.body;
  last_message_id = newest.id;
  address = newest.address;
  if (contact_id == 0) contact_id = newest.contact_id;
}

void SmsThreadRecord::SetAddress(const std::u16string& name) {
  if (name.empty()) return;
  for (SmsRecord& message : messages) message.address = name;
  address = name;
}

std::u16string NormaliseSmsBody(const std::u16string& body) {
  std::u16string pairs_gone;
  pairs_gone.reserve(body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == u'\r' && i + 1 < body.size() && body[i + 1] == u'\n') {
      ++i;
      continue;
    }
    pairs_gone += body[i];
  }
  pairs_gone.erase(std::remove(pairs_gone.begin(), pairs_gone.end(), u'\r'), pairs_gone.end());
  return pairs_gone;
}

std::u16string StripPhoneNumber(const std::u16string& number) {
  std::u16string out;
  for (char16_t c : number)
    if (c != u' ' && c != u'-') out += c;
  return out;
}

std::u16string PhoneNumberKey(const std::u16string& number) {
  std::u16string key = StripPhoneNumber(number);
  for (char16_t& c : key) c = FoldAscii(c);
  return key;
}

std::vector<std::u16string> SmsAddressKeys(const std::u16string& address) {
  std::vector<std::u16string> keys{PhoneNumberKey(address)};
  // "+86" holds no letter: found in the key exactly when in the stripped address.
  if (keys[0].find(u"+86") != std::u16string::npos) keys.push_back(keys[0].substr(3));
  return keys;
}

bool SmsAddressMatches(const std::u16string& contact_number, const std::u16string& address) {
  const std::u16string number = PhoneNumberKey(contact_number);
  for (const std::u16string& key : SmsAddressKeys(address))
    if (key == number) return true;
  return false;
}

bool CompareSmsByDate(const SmsRecord& a, const SmsRecord& b) { return a.date < b.date; }

bool CompareThreadsByDate(const SmsThreadRecord& a, const SmsThreadRecord& b) { return a.last_date > b.last_date; }
