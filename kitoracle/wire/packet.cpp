#include "wire/packet.h"

#include <cstring>

namespace kitoracle {

void PacketWriter::Int(uint64_t value, int width) {
  if (!Fits(size_t(width))) {
    ok_ = false;
    return;
  }
  for (int i = 0; i < width; ++i) buffer_[length_++] = uint8_t(value >> (8 * i));
}

void PacketWriter::Bytes(const void* data, size_t length) {
  if (!Fits(length)) {
    ok_ = false;
    return;
  }
  if (length != 0) std::memcpy(buffer_ + length_, data, length);
  length_ += length;
}

void PacketWriter::Str(const std::string& bytes) {
  size_t n = bytes.size() < kMaxCountedString ? bytes.size() : kMaxCountedString;
  if (!Fits(2 + n)) {
    ok_ = false;
    return;
  }
  U16(uint32_t(n));
  Bytes(bytes.data(), n);
}

uint64_t PacketReader::Int(int width) {
  if (!ok_ || left() < size_t(width)) {
    ok_ = false;
    return 0;
  }
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= uint64_t(data_[offset_ + size_t(i)]) << (8 * i);
  offset_ += size_t(width);
  return value;
}

void PacketReader::Bytes(void* out, size_t length) {
  if (!ok_ || left() < length) {
    ok_ = false;
    std::memset(out, 0, length);
    return;
  }
  std::memcpy(out, data_ + offset_, length);
  offset_ += length;
}

std::string PacketReader::Str() {
  if (!ok_ || left() < 2) {
    ok_ = false;
    return std::string();
  }
  size_t n = size_t(data_[offset_]) | size_t(data_[offset_ + 1]) << 8;
  if (n + 2 > left()) {
    ok_ = false;
    return std::string();
  }
  std::string text(reinterpret_cast<const char*>(data_ + offset_ + 2), n);
  offset_ += n + 2;
  return text;
}

bool PacketReader::Expect(uint8_t command, uint8_t sub) {
  if (!ok_ || left() < 2 || data_[offset_] != command || data_[offset_ + 1] != sub) {
    ok_ = false;
    return false;
  }
  offset_ += 2;
  return true;
}

}  // namespace kitoracle
