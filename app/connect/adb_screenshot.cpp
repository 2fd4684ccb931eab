#include "app/connect/adb_screenshot.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/adb/phone_ports.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/image/framebuffer_image.h"
#include "foundation/base/log.h"

namespace {

using Clock = std::chrono::steady_clock;

class Deadline {
 public:
  explicit Deadline(int ms) : end_(Clock::now() + std::chrono::milliseconds(ms)) {}
  int Left() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }

 private:
  Clock::time_point end_;
};

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool WaitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    const int left = deadline.Left();
    if (left == 0) return false;
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, left);
    if (rc > 0) return true;
    if (rc == 0 || errno != EINTR) return false;
  }
}

bool SendAll(int fd, const uint8_t* data, size_t count, const Deadline& deadline) {
  size_t sent = 0;
  while (sent < count) {
    if (!WaitFor(fd, POLLOUT, deadline)) return false;
    const ssize_t n = ::send(fd, data + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Exactly `count` bytes in pieces of at most 5120, or failure.
bool ReceiveExactly(int fd, uint8_t* destination, size_t count, const Deadline& deadline) {
  constexpr size_t kPiece = 5120;
  size_t got = 0;
  while (got < count) {
    if (!WaitFor(fd, POLLIN, deadline)) return false;
    const size_t want = count - got < kPiece ? count - got : kPiece;
    const ssize_t n = ::recv(fd, destination + got, want, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

// A request written at the start of a zero-filled block, the whole block sent.
bool SendRequest(int fd, const std::string& text, const Deadline& deadline) {
  const std::string request = AdbRequest(text);
  if (request.size() > kAdbRequestBytes) return false;
  uint8_t block[kAdbRequestBytes] = {};
  std::memcpy(block, request.data(), request.size());
  return SendAll(fd, block, sizeof block, deadline);
}

bool ReceiveOkay(int fd, const Deadline& deadline) {
  uint8_t answer[4];
  return ReceiveExactly(fd, answer, sizeof answer, deadline) && std::memcmp(answer, "OKAY", 4) == 0;
}

bool ReadFrame(ScreenShotSource& source, int fd, const char16_t* path, const FramebufferHeader& header,
               const Deadline& deadline, ScreenShotResult* result) {
  const size_t size = static_cast<size_t>(header.size);
  if (source.buffer.size() < size) source.buffer.resize(size);
  // The request for the pixels.
  const uint8_t nudge[kAdbRequestBytes] = {};
  if (!SendAll(fd, nudge, sizeof nudge, deadline)) return false;
  uint8_t* pixels = source.buffer.data();
  if (!ReceiveExactly(fd, pixels, size, deadline)) return false;
  // Red in the first byte (RGBA): swap red and blue into BGRA.
  if (header.red_offset == 0 && header.bpp == 32) {
    for (size_t k = 0; k + 3 < size; k += 4) std::swap(pixels[k], pixels[k + 2]);
  }
  if (path == nullptr || path[0] == u'\0') {
    result->bitmap = FramebufferToBitmap(header.width, header.height, pixels, size, header.bpp);
    return result->bitmap != nullptr;
  }
  if (SaveFramebufferPng(path, header.width, header.height, pixels, size, header.bpp) > 0) {
    PD_LOG_TRACE("save_bmp sucess!");
    result->saved = true;
    return true;
  }
  return false;
}

}  // namespace

int ConnectAdbServer(int timeout_ms) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(adb::AdbServerPort()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS || !WaitFor(fd, POLLOUT, Deadline(timeout_ms))) {
      ::close(fd);
      return -1;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

std::string AdbRequest(const std::string& text) {
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "%04zx", text.size() & 0xFFFF);
  return prefix + text;
}

ScreenShotResult AdbScreenShot(ScreenShotSource& source, const char16_t* path, int timeout_ms) {
  ScreenShotResult result;
  const Deadline deadline(timeout_ms);
  Socket socket(ConnectAdbServer(deadline.Left()));
  if (socket.fd() < 0) return result;
  const int fd = socket.fd();
  if (!SendRequest(fd, "host:transport:" + source.serial, deadline) || !ReceiveOkay(fd, deadline)) return result;
  if (!SendRequest(fd, "framebuffer:", deadline)) return result;
  std::this_thread::sleep_for(std::chrono::milliseconds(kScreenShotSettleMs));
  if (!ReceiveOkay(fd, deadline)) return result;
  uint8_t word[4];
  if (!ReceiveExactly(fd, word, sizeof word, deadline)) return result;
  const uint32_t first = uint32_t{word[0]} | uint32_t{word[1]} << 8 | uint32_t{word[2]} << 16 | uint32_t{word[3]} << 24;
  const int rest = FramebufferHeaderRest(first);
  if (rest < 0) return result;
  uint8_t header_bytes[64] = {};
  if (!ReceiveExactly(fd, header_bytes, static_cast<size_t>(rest), deadline)) return result;
  FramebufferHeader header;
  if (!ParseFramebufferHeader(first, header_bytes, static_cast<size_t>(rest), &header)) return result;
  if (!FramebufferHeaderSane(header)) {
    PD_LOG_WARNING("framebuffer header refused: bpp %d size %d %dx%d", header.bpp, header.size, header.width,
                   header.height);
    return result;
  }
  ReadFrame(source, fd, path, header, deadline, &result);
  return result;
}

void ScreenShotAndPost(ScreenShotSource& source, const char16_t* path, int timeout_ms) {
  ScreenShotResult result = AdbScreenShot(source, path, timeout_ms);
  if (result.bitmap) {
    PD_LOG_TRACE("GetScreenShot sucess!");
    ScreenBitmap* bitmap = result.bitmap.release();
    if (!PostPhoneMessage(msg::kScreenshotInMemory, reinterpret_cast<uintptr_t>(bitmap), 0)) delete bitmap;
  } else if (result.saved) {
    PostPhoneMessage(msg::kScreenshotSaved, 0, 0);
  }
}
