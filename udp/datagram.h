// Wire format of one udp datagram: an 11-byte header (little-endian) in
// front of at most 1489 payload bytes. Pure functions over buffers.
#ifndef PHONEDECK_UDP_DATAGRAM_H
#define PHONEDECK_UDP_DATAGRAM_H

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace udp {

constexpr size_t kHeaderSize = 11;
constexpr size_t kMaxDatagram = 1500;
constexpr size_t kMaxPayload = kMaxDatagram - kHeaderSize;  // 1489
// UDPSendToEx cuts a message into pieces of 1289 bytes, at most eight.
constexpr size_t kFragmentPayload = 1289;
constexpr size_t kMaxFragments = 8;
constexpr size_t kMaxMessage = kFragmentPayload * kMaxFragments;  // 10312
constexpr uint8_t kFlagCiphered = 0x04;

struct DatagramHeader {
  uint8_t flags = 0;
  uint32_t requestId = 0;
  uint8_t fragmentCount = 1;
  uint8_t fragmentIndex = 0;
  uint32_t crc = 0;
};

// Writes the 11 header bytes at out.
void WriteHeader(const DatagramHeader& header, uint8_t* out);

struct ParsedDatagram {
  bool ok = false;  // false: shorter than the header or longer than a datagram
  DatagramHeader header;
  const uint8_t* payload = nullptr;
  size_t payloadLength = 0;
};
ParsedDatagram ParseDatagram(const uint8_t* data, size_t length);

// How UDPSendToEx cuts a message: one (offset, length) per fragment.
struct FragmentPlan {
  bool ok = false;  // false: the message is longer than kMaxMessage
  std::vector<std::pair<size_t, size_t>> pieces;
};
FragmentPlan PlanFragments(size_t messageLength);

// Fragments of one reply as they arrive: one bit per fragment index.
class FragmentSet {
 public:
  enum class AddResult { kTaken, kDuplicate };
  AddResult Add(const DatagramHeader& header);
  bool Complete() const;  // every index below the expected count arrived
  uint8_t Expected() const { return expected_; }
  void Clear();

 private:
  std::bitset<256> received_;
  uint8_t expected_ = 1;
};

// Joins received fragments (header included) into out, in index order, as
// far as each fits; the count comes from the first fragment's header.
struct JoinResult {
  size_t bytes = 0;
  size_t skipped = 0;  // fragments that did not fit
};
JoinResult JoinFragments(const std::vector<std::pair<const uint8_t*, size_t>>& fragments,
                         uint8_t* out, size_t outSize);

// A received datagram goes to the remote-request queue only when the test
// says so for its first payload byte; an empty payload is always a reply.
using IsRequestTest = bool (*)(unsigned char);
bool IsRemoteRequest(const ParsedDatagram& datagram, IsRequestTest test);

}  // namespace udp

#endif  // PHONEDECK_UDP_DATAGRAM_H
