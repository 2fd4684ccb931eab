#include "utility/os/os_env.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

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

int32_t CurrentThreadId() {
  static thread_local int32_t id = static_cast<int32_t>(syscall(SYS_gettid));
  return id;
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

// User count in front of the payload, which starts 64 bytes in.
struct SegmentHeader {
  uint32_t users;
};
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

}  // namespace

SharedSegment::~SharedSegment() { Close(nullptr); }

bool SharedSegment::Open(const char* kind, const char* name, size_t payloadSize, InitFn init,
                         void* context) {
  if (m_fd >= 0 || name == nullptr || *name == '\0') return false;
  const std::string segName = SegmentName(kind, name);
  const size_t size = kPayloadOffset + payloadSize;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int fd = shm_open(segName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    while (flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(fd);
        return false;
      }
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
      close(fd);
      return false;
    }
    if (st.st_nlink == 0) {
      // The last user removed the name between our open and our lock.
      close(fd);
      continue;
    }
    const bool fresh = st.st_size == 0;
    if (fresh && ftruncate(fd, static_cast<off_t>(size)) != 0) {
      shm_unlink(segName.c_str());
      close(fd);
      return false;
    }
    if (!fresh && static_cast<size_t>(st.st_size) < size) {
      close(fd);  // another kind of object under this name
      return false;
    }
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
      if (fresh) shm_unlink(segName.c_str());
      close(fd);
      return false;
    }
    auto* header = static_cast<SegmentHeader*>(base);
    void* payload = static_cast<char*>(base) + kPayloadOffset;
    if (fresh && init != nullptr) init(payload, context);
    header->users++;
    flock(fd, LOCK_UN);
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
  while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  auto* header = static_cast<SegmentHeader*>(m_base);
  if (header->users > 0) header->users--;
  if (header->users == 0) {
    if (fini != nullptr) fini(m_payload);
    shm_unlink(m_name.c_str());
  }
  flock(m_fd, LOCK_UN);
  munmap(m_base, m_size);
  close(m_fd);
  m_fd = -1;
  m_base = nullptr;
  m_payload = nullptr;
  m_size = 0;
  m_name.clear();
}

}  // namespace utility_os
