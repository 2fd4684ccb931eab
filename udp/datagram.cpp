#include "datagram.h"

#include <cstring>

namespace udp {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

void WriteHeader(const DatagramHeader& header, uint8_t* out) {
  out[0] = header.flags;
  PutLe32(out + 1, header.requestId);
  out[5] = header.fragmentCount;
  out[6] = header.fragmentIndex;
  PutLe32(out + 7, header.crc);
}

ParsedDatagram ParseDatagram(const uint8_t* data, size_t length) {
  ParsedDatagram result;
  if (data == nullptr || length < kHeaderSize || length > kMaxDatagram) return result;
  result.header.flags = data[0];
  result.header.requestId = GetLe32(data + 1);
  result.header.fragmentCount = data[5];
  result.header.fragmentIndex = data[6];
  result.header.crc = GetLe32(data + 7);
  result.payload = data + kHeaderSize;
  result.payloadLength = length - kHeaderSize;
  result.ok = true;
  return result;
}

FragmentPlan PlanFragments(size_t messageLength) {
  FragmentPlan plan;
  if (messageLength > kMaxMessage) return plan;
  for (size_t offset = 0; offset < messageLength; offset += kFragmentPayload) {
    size_t piece = messageLength - offset;
    if (piece > kFragmentPayload) piece = kFragmentPayload;
    plan.pieces.emplace_back(offset, piece);
  }
  plan.ok = true;
  return plan;
}

FragmentSet::AddResult FragmentSet::Add(const DatagramHeader& header) {
  if (received_.test(header.fragmentIndex)) return AddResult::kDuplicate;
  received_.set(header.fragmentIndex);
  expected_ = header.fragmentCount > 0 ? header.fragmentCount : 1;
  return AddResult::kTaken;
}

bool FragmentSet::Complete() const {
  for (size_t i = 0; i < expected_; ++i) {
    if (!received_.test(i)) return false;
  }
  return true;
}

void FragmentSet::Clear() {
  received_.reset();
  expected_ = 1;
}

JoinResult JoinFragments(const std::vector<std::pair<const uint8_t*, size_t>>& fragments,
                         uint8_t* out, size_t outSize) {
  JoinResult result;
  if (fragments.empty()) return result;
  ParsedDatagram first = ParseDatagram(fragments.front().first, fragments.front().second);
  if (!first.ok) return result;
  const size_t count = first.header.fragmentCount;
  for (size_t index = 0; index < count; ++index) {
    for (const auto& fragment : fragments) {
      ParsedDatagram piece = ParseDatagram(fragment.first, fragment.second);
      if (!piece.ok || piece.header.fragmentIndex != index) continue;
      if (piece.payloadLength <= outSize - result.bytes) {
        if (piece.payloadLength > 0) std::memcpy(out + result.bytes, piece.payload, piece.payloadLength);
        result.bytes += piece.payloadLength;
      } else {
        ++result.skipped;
      }
      break;
    }
  }
  return result;
}

bool IsRemoteRequest(const ParsedDatagram& datagram, IsRequestTest test) {
  if (!datagram.ok || test == nullptr || datagram.payloadLength == 0) return false;
  return test(datagram.payload[0]);
}

}  // namespace udp
