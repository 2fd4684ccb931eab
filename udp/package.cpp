#include "package.h"

#include <cstring>

#include "utility_link.h"

namespace udp {

void CBasePackage::BuildHeader(uint32_t requestId, uint8_t count, uint8_t index, uint8_t flags) {
  DatagramHeader header;
  header.flags = flags;
  header.requestId = requestId;
  header.fragmentCount = count;
  header.fragmentIndex = index;
  WriteHeader(header, buffer_);
  length_ = kHeaderSize;
}

size_t CBasePackage::Append(const void* data, size_t n) {
  size_t room = kMaxDatagram - length_;
  if (n > room) n = room;
  if (n > 0) std::memcpy(buffer_ + length_, data, n);
  length_ += n;
  return n;
}

void CBasePackage::SetChecksum(bool on) {
  if (length_ < kHeaderSize) return;
  DatagramHeader header = Header();
  if (on) {
    header.crc = Crc32(buffer_ + kHeaderSize, length_ - kHeaderSize);
    header.flags |= kFlagCiphered;
  } else {
    header.crc = 0;
    header.flags &= uint8_t(~kFlagCiphered);
  }
  WriteHeader(header, buffer_);
}

DatagramHeader CBasePackage::Header() const {
  ParsedDatagram parsed = ParseDatagram(buffer_, length_);
  return parsed.header;
}

PackagePool& PackagePool::Instance() {
  static PackagePool pool;
  return pool;
}

CBasePackage* PackagePool::Take() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!free_.empty()) {
      CBasePackage* package = free_.front();
      free_.pop_front();
      return package;
    }
  }
  return new CBasePackage;
}

void PackagePool::Give(CBasePackage* package) {
  if (package == nullptr) return;
  package->Reset();
  package->SetPeer({});
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_.size() < 50) {
      free_.push_back(package);
      return;
    }
  }
  delete package;
}

PackagePool::~PackagePool() {
  for (CBasePackage* package : free_) delete package;
}

}  // namespace udp
