// The narrow layer between libutility.so and Linux for what the library takes
// from the operating system: tick counts, thread ids, module path, debugger
// output and named shared memory. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace utility_os {

// Milliseconds of the monotonic clock, wrapping at 2^32.
uint32_t TickCount();

// System-wide id of the calling thread (never 0).
int32_t CurrentThreadId();

// Path of the running program's executable; empty on failure.
std::string ExecutablePath();

// Diagnostics for an attached developer: written to stderr only when the
// environment variable PHONEDECK_DEBUG_OUTPUT is set, else dropped (as debug
// output without a listener).
void DebugOutput(const char* text);

// Paths of the system use backslashes; Linux uses slashes.
std::string NativePath(const char* path);

// A named segment of POSIX shared memory that lives while some process has
// it open: an opener that finds no other user (re)initialises it, the last
// user to close removes the name. Users are told apart by file locks, which
// the system drops when a process ends, so a process that dies holding the
// segment does not keep it alive.
class SharedSegment {
 public:
  using InitFn = void (*)(void* payload, void* context);
  using FiniFn = void (*)(void* payload);

  SharedSegment() = default;
  ~SharedSegment();
  SharedSegment(const SharedSegment&) = delete;
  SharedSegment& operator=(const SharedSegment&) = delete;

  // kind separates object families ("optex", "sem"); name is the caller's.
  bool Open(const char* kind, const char* name, size_t payloadSize, InitFn init, void* context);
  // fini runs once, in the last process that closes the name.
  void Close(FiniFn fini);
  void* payload() const { return m_payload; }

 private:
  std::string m_name;
  int m_fd = -1;
  void* m_base = nullptr;
  size_t m_size = 0;
  void* m_payload = nullptr;
};

}  // namespace utility_os
