// One picture of the connected phone's screen, taken through the local adb
// server's smart socket without the phone agent: switch to the phone's
// transport, ask for the framebuffer service, read the header and the raw
// pixels, and turn them into a bitmap or a PNG file.
//
// The adb server: 127.0.0.1, port adb::AdbServerPort() (as adb itself reads
// it). Every step of the exchange is bounded: the whole exchange must end
// within kScreenShotExchangeMs, no header is trusted before it passes
// FramebufferHeaderSane, and counts are read exactly.
//
// Threading: one shot at a time per source (the screenshot thread); the
// source's pixel buffer is not locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/connect/framebuffer_header.h"
#include "app/core/message_payloads.h"

constexpr int kScreenShotExchangeMs = 20000;
constexpr int kScreenShotSettleMs = 200;  // pause after the framebuffer request
constexpr size_t kAdbRequestBytes = 256;  // each request is sent zero-padded to this size

// One per connected phone.
struct ScreenShotSource {
  explicit ScreenShotSource(std::string device_serial) : serial(std::move(device_serial)) {}
  std::string serial;            // as adb lists the phone
  std::vector<uint8_t> buffer;   // pixel buffer, kept between shots; only grows
};

struct ScreenShotResult {
  std::unique_ptr<ScreenBitmap> bitmap;  // when no path was given
  bool saved = false;                    // when a path was given: the PNG was written
};

// A connected TCP socket to the adb server, or -1.
int ConnectAdbServer(int timeout_ms);

// "host:transport:<serial>" etc. with its four-hex-digit length prefix.
std::string AdbRequest(const std::string& text);

// Takes the shot within `timeout_ms`. Without a path the result carries the bitmap; with one
// the frame is written as a PNG file there and `saved` says whether it was.
ScreenShotResult AdbScreenShot(ScreenShotSource& source, const char16_t* path,
                               int timeout_ms = kScreenShotExchangeMs);

// Takes the shot and tells the main window: 1238 with the bitmap (the
// receiver owns it) when taken into memory, 1239 when the file was written.
// A failed shot posts nothing.
void ScreenShotAndPost(ScreenShotSource& source, const char16_t* path, int timeout_ms = kScreenShotExchangeMs);
