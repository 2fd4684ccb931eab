// EasyCurlGet: one synchronous HTTP GET over libcurl that keeps the whole
// response body in memory (NUL-terminated). The whole transfer is limited
// to 5 seconds and the body to 1 MiB (a longer one fails the transfer);
// HTTP error statuses are not judged (a 404 page with its body is a
// success).
//
// Threading: one object per request, used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>

// A heap block grown with realloc; one NUL byte always follows the data.
struct CurlResponseBuffer {
  char* data = nullptr;  // null while nothing was received
  size_t length = 0;
};

// A receiver of the body in place of the response buffer.
class CurlWriteSink {
 public:
  virtual ~CurlWriteSink() = default;
  virtual size_t OnData(const char* data, size_t size, size_t count, CurlResponseBuffer* buffer) = 0;
};

// What the write callback is given.
struct CurlWriteBinding {
  CurlResponseBuffer* buffer = nullptr;
  CurlWriteSink* sink = nullptr;  // none in this program: the body goes to the buffer
  size_t max_length = SIZE_MAX;   // the most the buffer may hold
};

struct CurlEasyHandle {
  void* curl = nullptr;  // the libcurl easy handle, made by the first Perform
  CurlWriteBinding binding;
};

class EasyCurlGet {
 public:
  static constexpr long kTimeoutSeconds = 5;
  static constexpr size_t kMaxBodyBytes = 1 << 20;

  EasyCurlGet();
  virtual ~EasyCurlGet();
  EasyCurlGet(const EasyCurlGet&) = delete;
  EasyCurlGet& operator=(const EasyCurlGet&) = delete;

  // True when the transfer ended with CURLE_OK. What arrived before a
  // failure stays in the buffer.
  virtual bool Perform(const char* url);

  const char* GetData() const { return response_.data; }
  size_t GetLength() const { return response_.length; }

 private:
  void FreeResponse();

  CurlEasyHandle handle_;
  CurlResponseBuffer response_;
};

// The write callback (exposed for its test): appends to the binding's
// buffer, or hands the data to its sink. Returns the bytes taken; 0 when the
// buffer cannot grow or would pass its binding's most (libcurl then fails
// the transfer).
size_t CurlWriteCallback(char* data, size_t size, size_t count, void* binding);
