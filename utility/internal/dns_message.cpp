#include "utility/internal/dns_message.h"

#include <cstring>

namespace utility_internal {
namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxNameChars = 255;
constexpr size_t kMaxEncodedName = 496;  // exclusive

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

// Moves offset past a name (labels, ending in a zero byte or a compression
// pointer). False when the name runs past the end or uses a reserved form.
bool SkipName(const uint8_t* data, size_t length, size_t& offset) {
  while (true) {
    if (offset >= length) return false;
    const uint8_t b = data[offset];
    if ((b & 0xC0) == 0xC0) {
      if (offset + 2 > length) return false;
      offset += 2;
      return true;
    }
    if ((b & 0xC0) != 0) return false;
    if (b == 0) {
      offset += 1;
      return true;
    }
    offset += 1 + static_cast<size_t>(b);
  }
}

}  // namespace

std::vector<uint8_t> EncodeDnsName(const std::string& fullName) {
  std::string name = fullName.substr(0, kMaxNameChars);
  if (!name.empty() && name.back() == '.') name.pop_back();  // the root label
  std::vector<uint8_t> out;
  if (name.empty()) return out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    const size_t labelLen = dot - start;
    if (labelLen == 0 || labelLen > 63) return {};
    out.push_back(static_cast<uint8_t>(labelLen));
    out.insert(out.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
               name.begin() + static_cast<std::ptrdiff_t>(dot));
    start = dot + 1;
  }
  out.push_back(0);
  if (out.size() >= kMaxEncodedName) return {};
  return out;
}

std::vector<uint8_t> BuildDnsQuery(const std::string& name) {
  const std::vector<uint8_t> encoded = EncodeDnsName(name);
  if (encoded.empty()) return {};
  std::vector<uint8_t> query;
  query.reserve(kHeaderSize + encoded.size() + 4);
  PutU16(query, kDnsQueryId);
  PutU16(query, 0x0100);  // recursion desired
  PutU16(query, 1);       // QDCOUNT
  PutU16(query, 0);       // ANCOUNT
  PutU16(query, 0);       // NSCOUNT
  PutU16(query, 0);       // ARCOUNT
  query.insert(query.end(), encoded.begin(), encoded.end());
  PutU16(query, 1);  // QTYPE A
  PutU16(query, 1);  // QCLASS IN
  return query;
}

DnsAnswer ParseDnsAnswer(const uint8_t* data, size_t length) {
  DnsAnswer answer;
  if (data == nullptr || length < kHeaderSize) {
    answer.status = DnsParseStatus::kTooShort;
    return answer;
  }
  if (ReadU16(data) != kDnsQueryId || (data[2] & 0x80) == 0) {
    answer.status = DnsParseStatus::kNotAnAnswer;
    return answer;
  }
  const uint16_t questions = ReadU16(data + 4);
  const uint16_t answers = ReadU16(data + 6);

  size_t offset = kHeaderSize;
  for (uint16_t q = 0; q < questions; ++q) {
    if (!SkipName(data, length, offset) || offset + 4 > length) {
      answer.status = DnsParseStatus::kMalformed;
      return answer;
    }
    offset += 4;
  }

  bool intact = true;
  for (uint16_t a = 0; a < answers && answer.addresses.size() < kDnsMaxAddresses; ++a) {
    if (!SkipName(data, length, offset) || offset + 10 > length) {
      intact = false;
      break;
    }
    const uint16_t type = ReadU16(data + offset);
    const uint16_t klass = ReadU16(data + offset + 2);
    const uint16_t rdLength = ReadU16(data + offset + 8);
    offset += 10;
    if (offset + rdLength > length) {
      intact = false;
      break;
    }
    // Only A records of class IN carry addresses; CNAMEs and the rest are skipped.
    if (type == 1 && klass == 1 && rdLength == 4) {
      uint32_t address;
      std::memcpy(&address, data + offset, 4);
      answer.addresses.push_back(address);
    }
    offset += rdLength;
  }
  answer.status = (intact || !answer.addresses.empty()) ? DnsParseStatus::kOk
                                                        : DnsParseStatus::kMalformed;
  return answer;
}

}  // namespace utility_internal
