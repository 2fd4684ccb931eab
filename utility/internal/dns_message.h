// DNS wire format (RFC 1035) for the resolver: building the query and
// reading the answer. Pure functions over byte buffers. Internal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace utility_internal {

constexpr uint16_t kDnsQueryId = 999;
constexpr size_t kDnsMaxAddresses = 3;

// Header (ID 999, recursion desired, one question), the encoded name, type A,
// class IN. Empty when the name cannot be encoded (empty or over-long
// label, an encoded name of 496 bytes or more). At most 255 characters of
// the name are taken.
std::vector<uint8_t> BuildDnsQuery(const std::string& name);

// Encoded name alone: each label as a length byte and its characters, then 0.
std::vector<uint8_t> EncodeDnsName(const std::string& name);

enum class DnsParseStatus { kOk, kTooShort, kNotAnAnswer, kMalformed };

struct DnsAnswer {
  DnsParseStatus status = DnsParseStatus::kTooShort;
  std::vector<uint32_t> addresses;  // network order, at most three
};

// Reads the A records of an answer to our query. Every offset is checked
// against the received length; a record that runs past the end stops the
// walk with what was found so far (kMalformed when nothing was).
DnsAnswer ParseDnsAnswer(const uint8_t* data, size_t length);

}  // namespace utility_internal
