#include "utility/os/os_env.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

namespace utility_os {

uint32_t TickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

namespace {

// A forked child's thread inherits the cached id of its parent's thread:
// every fork starts a new generation, and a cache of an older one is stale.
std::atomic<unsigned> g_forkGeneration{0};

void OnForkInChild() { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); }

const int g_forkHandler = pthread_atfork(nullptr, nullptr, OnForkInChild);

}  // namespace

int32_t CurrentThreadId() {
  struct Cached {
    unsigned generation = ~0u;
    int32_t id = 0;
  };
  static thread_local Cached cached;
  const unsigned generation = g_forkGeneration.load(std::memory_order_relaxed);
  if (cached.generation != generation) {
    cached.id = static_cast<int32_t>(syscall(SYS_gettid));
    cached.generation = generation;
  }
  return cached.id;
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

void DebugOutput(const char* text) {
  if (text == nullptr || std::getenv("PHONEDECK_DEBUG_OUTPUT") == nullptr) return;
  std::fputs(text, stderr);
}

std::string NativePath(const char* path) {
  std::string p = path ? path : "";
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

namespace {

// The payload starts 64 bytes into the segment.
constexpr size_t kPayloadOffset = 64;

// Shared-memory names allow no slash after the first; long names are cut
// and made unique again by a hash of the whole name.
std::string SegmentName(const char* kind, const char* name) {
  std::string n = "/phonedeck.";
  n += kind;
  n += '.';
  for (const char* p = name; *p; ++p) n += (*p == '/' || *p == '\\') ? '_' : *p;
  if (n.size() > 200) {
    uint64_t h = 1469598103934665603ull;
    for (const char* p = name; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    char tail[20];
    std::snprintf(tail, sizeof(tail), ".%016llx", static_cast<unsigned long long>(h));
    n.resize(180);
    n += tail;
  }
  return n;
}

bool Flock(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool Unlinked(int fd) {
  struct stat st;
  return fstat(fd, &st) != 0 || st.st_nlink == 0;
}

}  // namespace

// Every user holds a shared file lock on the segment for as long as it uses
// it; the system drops the lock when a process ends, however it ends. So
// whoever gets the exclusive lock without waiting is alone: at opening it
// (re)initialises the object, as a new object, and at closing it removes
// the name. This gives the life of a kernel object: it lives while some
// process has it open.
SharedSegment::~SharedSegment() { Close(nullptr); }

bool SharedSegment::Open(const char* kind, const char* name, size_t payloadSize, InitFn init,
                         void* context) {
  if (m_fd >= 0 || name == nullptr || *name == '\0') return false;
  const std::string segName = SegmentName(kind, name);
  const size_t size = kPayloadOffset + payloadSize;
  for (int attempt = 0; attempt < 64; ++attempt) {
    const int fd = shm_open(segName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool alone = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!alone && !Flock(fd, LOCK_SH)) {
      close(fd);
      return false;
    }
    if (Unlinked(fd)) {
      close(fd);  // the last user removed the name meanwhile
      continue;
    }
    struct stat st;
    if (alone && (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)) {
      close(fd);
      return false;
    }
    if (!alone && (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) != size)) {
      close(fd);  // another kind of object, or one that is being set up again
      if (attempt > 8) return false;
      continue;
    }
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
      close(fd);
      return false;
    }
    void* payload = static_cast<char*>(base) + kPayloadOffset;
    if (alone) {
      if (init != nullptr) init(payload, context);
      // From here on this process is one user among others.
      if (!Flock(fd, LOCK_SH) || Unlinked(fd)) {
        munmap(base, size);
        close(fd);
        continue;
      }
    }
    m_name = segName;
    m_fd = fd;
    m_base = base;
    m_size = size;
    m_payload = payload;
    return true;
  }
  return false;
}

void SharedSegment::Close(FiniFn fini) {
  if (m_fd < 0) return;
  if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    // No other user: the object ends with us.
    if (fini != nullptr) fini(m_payload);
    shm_unlink(m_name.c_str());
  }
  munmap(m_base, m_size);
  close(m_fd);
  m_fd = -1;
  m_base = nullptr;
  m_payload = nullptr;
  m_size = 0;
  m_name.clear();
}

}  // namespace utility_os
