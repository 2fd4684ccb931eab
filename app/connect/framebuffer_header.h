// The header of the adb framebuffer service's reply, and the checks a
// header must pass before any pixel is read.
//
// Wire (after "OKAY"), 32-bit little-endian words:
//   version 1: version, bpp, size, width, height, red offset, red length,
//              blue offset, blue length, green offset, green length,
//              alpha offset, alpha length (13 words), then `size` bytes
//   legacy (first word 16): size, width, height (RGB565, 16 bpp)
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

struct FramebufferHeader {
  int32_t version = 0;
  int32_t bpp = 0;
  int32_t size = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t red_offset = 0;
  int32_t red_length = 0;
  int32_t green_offset = 0;
  int32_t green_length = 0;
  int32_t blue_offset = 0;
  int32_t blue_length = 0;
  int32_t alpha_offset = 0;
  int32_t alpha_length = 0;
};

constexpr uint32_t kFramebufferVersion1 = 1;
constexpr uint32_t kFramebufferLegacy = 16;

// A read cursor over a caller's byte block (not owned). A transfer that
// would leave the block fails and moves nothing.
class CBaseByteStream {
 public:
  CBaseByteStream(const uint8_t* block, size_t size) { Init(block, size); }
  void Init(const uint8_t* block, size_t size) {
    block_ = block;
    size_ = size;
    position_ = 0;
  }
  const uint8_t* GetBlock() const { return block_; }
  size_t GetPosition() const { return position_; }
  // Copies `count` bytes from position + `offset` into `data` (when given)
  // and moves past them; false when they are not all inside the block.
  bool Transfer(size_t offset, size_t count, void* data);
  bool Read(void* data, size_t count) { return count == 0 || Transfer(0, count, data); }
  // A little-endian 32-bit word.
  bool ReadInt32(int32_t* out);

 private:
  const uint8_t* block_ = nullptr;
  size_t size_ = 0;
  size_t position_ = 0;
};

// Header bytes still to read after the first word: 48 for version 1, 12 for
// the legacy form, -1 for any other first word.
int FramebufferHeaderRest(uint32_t first_word);

// Fills `header` from the first word and the rest that followed it. The
// legacy form is taken as 16 bpp RGB565 (red at bit 11). False when `rest`
// is shorter than FramebufferHeaderRest says.
bool ParseFramebufferHeader(uint32_t first_word, const uint8_t* rest, size_t size, FramebufferHeader* header);

// A header whose pixels may be read: 16 or 32 bpp, sides from 1 to
// kMaxFrameSide, and a size that equals width x height x bpp / 8 exactly.
bool FramebufferHeaderSane(const FramebufferHeader& header);
