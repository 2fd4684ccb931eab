// Raw phone framebuffer pixels to pictures: an in-memory bitmap for the
// phone home page, and a PNG file (libpng).
//
// Pixel formats (rows from the top, rows packed without padding):
//   32 bpp  memory order blue, green, red, one ignored byte (BGRA/BGRX)
//   16 bpp  RGB565, little-endian words (red 0xF800, green 0x07E0, blue 0x001F)
// Any other depth gives no picture. `length` is the number of bytes at
// `pixels`; fewer than width x height x bpp / 8 gives no picture.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/core/message_payloads.h"

// Largest frame side accepted (pixels).
constexpr int kMaxFrameSide = 16384;

// Bytes a frame of that shape needs; 0 for an unsupported depth or a
// non-positive or oversized side.
uint64_t FramebufferBytes(int width, int height, int bpp);

// The frame as a bitmap (pixels 0xAARRGGBB, alpha 0xFF); null when the shape
// or depth is not supported or the data is short.
std::unique_ptr<ScreenBitmap> FramebufferToBitmap(int width, int height, const uint8_t* pixels, size_t length,
                                                  int bpp);

// Writes the frame as an 8-bit RGB PNG at `path` (UTF-16). 1 only when the
// whole file was written and closed; 0 otherwise, and then no file is left
// at `path` by this call.
int SaveFramebufferPng(const std::u16string& path, int width, int height, const uint8_t* pixels, size_t length,
                       int bpp);
