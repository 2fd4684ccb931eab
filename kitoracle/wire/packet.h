// The packet conventions of the search service: command and sub-command
// bytes, little-endian unsigned integers of 1, 2, 4 or 8 bytes, counted
// strings (2-byte length, then the bytes, no terminator) and raw 16-byte
// identities, packed without padding. A packet is at most 4096 bytes.
//
// PacketWriter writes into a caller's buffer and fails (once, for good)
// when a field does not fit; PacketReader reads a reply and fails when a
// field would run past its end, never reading beyond it. Pure; no locks.
#ifndef KITORACLE_WIRE_PACKET_H_
#define KITORACLE_WIRE_PACKET_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace kitoracle {

constexpr size_t kPacketSize = 4096;
constexpr size_t kMaxCountedString = 65535;

class PacketWriter {
 public:
  PacketWriter(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void U8(uint32_t value) { Int(value, 1); }
  void U16(uint32_t value) { Int(value, 2); }
  void U32(uint32_t value) { Int(value, 4); }
  void U64(uint64_t value) { Int(value, 8); }
  void Bytes(const void* data, size_t length);
  // A counted string: the bytes (at most 65535 of them) after a 2-byte length.
  void Str(const std::string& bytes);
  void Fail() { ok_ = false; }
  bool Fits(size_t more) const { return ok_ && capacity_ - length_ >= more; }
  bool ok() const { return ok_; }
  size_t length() const { return length_; }
  // The packet's length, or 0 when a field did not fit.
  int Result() const { return ok_ ? int(length_) : 0; }

 private:
  void Int(uint64_t value, int width);
  uint8_t* buffer_;
  size_t capacity_;
  size_t length_ = 0;
  bool ok_ = true;
};

class PacketReader {
 public:
  PacketReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
  uint8_t U8() { return uint8_t(Int(1)); }
  uint16_t U16() { return uint16_t(Int(2)); }
  uint32_t U32() { return uint32_t(Int(4)); }
  uint64_t U64() { return Int(8); }
  void Bytes(void* out, size_t length);
  // A counted string; one that runs past the reply fails the reader.
  std::string Str();
  // The two leading bytes equal (command, sub)? Consumes them when they do.
  bool Expect(uint8_t command, uint8_t sub);
  void Fail() { ok_ = false; }
  bool ok() const { return ok_; }
  size_t consumed() const { return offset_; }
  size_t left() const { return length_ - offset_; }
  // Bytes consumed, or 0 when any read failed.
  int Result() const { return ok_ ? int(offset_) : 0; }

 private:
  uint64_t Int(int width);
  const uint8_t* data_;
  size_t length_;
  size_t offset_ = 0;
  bool ok_ = true;
};

}  // namespace kitoracle

#endif  // KITORACLE_WIRE_PACKET_H_
