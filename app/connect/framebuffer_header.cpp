#include "app/connect/framebuffer_header.h"

#include <cstring>

#include "app/image/framebuffer_image.h"

bool CBaseByteStream::Transfer(size_t offset, size_t count, void* data) {
  if (offset > size_ - position_) return false;
  const size_t start = position_ + offset;
  if (count > size_ - start) return false;
  if (data != nullptr && count > 0) std::memcpy(data, block_ + start, count);
  position_ = start + count;
  return true;
}

bool CBaseByteStream::ReadInt32(int32_t* out) {
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  const uint32_t v = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  std::memcpy(out, &v, sizeof v);
  return true;
}

int FramebufferHeaderRest(uint32_t first_word) {
  if (first_word == kFramebufferVersion1) return 48;
  if (first_word == kFramebufferLegacy) return 12;
  return -1;
}

bool ParseFramebufferHeader(uint32_t first_word, const uint8_t* rest, size_t size, FramebufferHeader* header) {
  const int need = FramebufferHeaderRest(first_word);
  if (need < 0 || rest == nullptr || size < static_cast<size_t>(need)) return false;
  CBaseByteStream stream(rest, size);
  FramebufferHeader h;
  h.version = static_cast<int32_t>(first_word);
  if (first_word == kFramebufferLegacy) {
    h.bpp = 16;
    h.red_offset = 11, h.red_length = 5;
    h.green_offset = 5, h.green_length = 6;
    h.blue_offset = 0, h.blue_length = 5;
    if (!stream.ReadInt32(&h.size) || !stream.ReadInt32(&h.width) || !stream.ReadInt32(&h.height)) return false;
  } else {
    int32_t* in_wire_order[] = {&h.bpp,         &h.size,         &h.width,       &h.height,
                                &h.red_offset,  &h.red_length,   &h.blue_offset, &h.blue_length,
                                &h.green_offset, &h.green_length, &h.alpha_offset, &h.alpha_length};
    for (int32_t* field : in_wire_order) {
      if (!stream.ReadInt32(field)) return false;
    }
  }
  *header = h;
  return true;
}

bool FramebufferHeaderSane(const FramebufferHeader& header) {
  const uint64_t need = FramebufferBytes(header.width, header.height, header.bpp);
  return need != 0 && header.size > 0 && static_cast<uint64_t>(header.size) == need;
}
