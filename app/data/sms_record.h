// The text messages of the phone grouped into conversations, the body and
// number rules they follow, and the match of a conversation's address
// against a contact's numbers.
//
// Threading: plain values; the SMS manager guards its own list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SmsRecord {
  int32_t id = 0;
  std::u16string address;  // "addr", or the contact's name after a match
  int32_t contact_id = 0;
  int64_t date = 0;  // seconds (the reply's milliseconds / 1000)
  int32_t read = 0;
  int32_t type = 0;
  std::u16string body;  // line breaks normalised (NormaliseSmsBody)
  std::u16string error_code;
};

struct SmsThreadRecord {
  uint8_t stale = 1;  // 1 until a message was added
  int32_t thread_id = 0;
  int32_t message_count = 0;
  int32_t contact_id = 0;  // the first non-zero contact id seen
  int32_t last_message_id = 0;
  std::u16string address;
  std::u16string snippet;
  int64_t last_date = 0;
  int32_t last_read = 0;
  std::vector<SmsRecord> messages;  // oldest first

  // Sorts the messages oldest first (stable) and takes the count and the
  // summary from the newest.
  void Summarise();
  // Every message's address and the conversation's become `name`; nothing
  // for an empty name.
  void SetAddress(const std::u16string& name);
};

// Every CR LF pair deleted, then every remaining CR (lone LF stay).
std::u16string NormaliseSmsBody(const std::u16string& body);

// The number without its spaces and "-".
std::u16string StripPhoneNumber(const std::u16string& number);

// The number stripped (StripPhoneNumber) with its ASCII letters in lower
// case: two numbers are equal for the match below exactly when their keys are.
std::u16string PhoneNumberKey(const std::u16string& number);

// A contact's number matches a conversation's address: equal (ASCII case
// ignored) once both are stripped, or, when the stripped address holds
// "+86", equal without the address's first three characters.
bool SmsAddressMatches(const std::u16string& contact_number, const std::u16string& address);
// The keys a contact's number may have to match the address: the address's
// key, then (when the stripped address holds "+86") its key without the
// first three characters.
std::vector<std::u16string> SmsAddressKeys(const std::u16string& address);

// Strict "less" for the stable sorts: messages by date (oldest first),
// conversations by last date (newest first).
bool CompareSmsByDate(const SmsRecord& a, const SmsRecord& b);
bool CompareThreadsByDate(const SmsThreadRecord& a, const SmsThreadRecord& b);
