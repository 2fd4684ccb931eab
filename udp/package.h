// One datagram in a 1500-byte buffer with its peer, and the process-wide
// pool that recycles them.
#ifndef PHONEDECK_UDP_PACKAGE_H
#define PHONEDECK_UDP_PACKAGE_H

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "datagram.h"

namespace udp {

struct PeerAddress {
  std::string ip;
  uint16_t port = 0;
};

class CBasePackage {
 public:
  void BuildHeader(uint32_t requestId, uint8_t count, uint8_t index, uint8_t flags);
  void Reset() { length_ = 0; }
  size_t Append(const void* data, size_t n);  // copies what fits, returns the count
  void SetChecksum(bool on);
  DatagramHeader Header() const;
  uint32_t GetRequestId() const { return Header().requestId; }
  uint8_t GetFlags() const { return length_ > 0 ? buffer_[0] : 0; }
  bool IsSameRequest(const CBasePackage& other) const { return GetRequestId() == other.GetRequestId(); }
  const uint8_t* Data() const { return buffer_; }
  uint8_t* Data() { return buffer_; }
  size_t Length() const { return length_; }
  size_t PayloadLength() const { return length_ > kHeaderSize ? length_ - kHeaderSize : 0; }
  void SetPeer(const PeerAddress& peer) { peer_ = peer; }
  const PeerAddress& GetPeer() const { return peer_; }

 private:
  uint8_t buffer_[kMaxDatagram] = {};
  size_t length_ = 0;
  PeerAddress peer_;
};

// Free packages, at most 50 kept.
class PackagePool {
 public:
  static PackagePool& Instance();
  CBasePackage* Take();
  void Give(CBasePackage* package);
  ~PackagePool();

 private:
  std::mutex mutex_;  // guards free_; held only while a package moves
  std::deque<CBasePackage*> free_;
};

}  // namespace udp

#endif  // PHONEDECK_UDP_PACKAGE_H
