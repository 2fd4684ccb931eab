#include "proxy_settings.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "platform/private_folder.h"
#include "utility_link.h"

namespace udp {
namespace {

void CopyTerminated(char* field, size_t fieldSize, const std::string& text) {
  size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
  std::memset(field, 0, fieldSize);
  std::memcpy(field, text.data(), n);
}

std::string FieldText(const char* field, size_t fieldSize) {
  return std::string(field, strnlen(field, fieldSize));
}

}  // namespace

void FillProxyRecord(const ProxySettings& settings, SharedProxyRecord* record) {
  CopyTerminated(record->ip, sizeof record->ip, settings.ip);
  record->port = settings.port;
  record->type = settings.type;
  CopyTerminated(record->user, sizeof record->user, settings.user);
  CopyTerminated(record->password, sizeof record->password, settings.password);
  record->enabled = (record->ip[0] != 0 && record->port != 0 && record->type != 0) ? 1 : 0;
  record->layoutVersion = kProxyLayoutVersion;
}

ProxySettings ReadProxyRecord(const SharedProxyRecord& record) {
  ProxySettings settings;
  settings.ip = FieldText(record.ip, sizeof record.ip);
  settings.port = record.port;
  settings.type = record.type;
  settings.user = FieldText(record.user, sizeof record.user);
  settings.password = FieldText(record.password, sizeof record.password);
  return settings;
}

std::string ProxySharedMemoryName() {
  const char* over = std::getenv("PHONEDECK_UDP_PROXY_SHM");
  if (over != nullptr && over[0] != 0) return over[0] == '/' ? over : std::string("/") + over;
  return "/phonedeck-udp-proxy-" + std::to_string(getuid());
}

// Never destroyed: workers may read the record until the process ends.
SharedProxy& SharedProxy::Instance() {
  static SharedProxy* instance = new SharedProxy(ProxySharedMemoryName());
  return *instance;
}

SharedProxy::SharedProxy(const std::string& name) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    Log("proxy record %s cannot be opened: %s", name.c_str(), std::strerror(errno));
    return;
  }
  // Another user may have made the object first (the name is predictable):
  // only the user's own object, open to no one else, is used.
  std::string refused;
  if (!platform::CheckOwnDescriptor(fd, 077, &refused)) {
    Log("proxy record %s refused: %s", name.c_str(), refused.c_str());
    close(fd);
    return;
  }
  struct stat st{};
  // A new object is zero-filled by ftruncate: no proxy, sequence 0.
  if (fstat(fd, &st) == 0 && st.st_size < static_cast<off_t>(sizeof(SharedProxyRecord))) {
    if (ftruncate(fd, sizeof(SharedProxyRecord)) != 0) {
      close(fd);
      return;
    }
  }
  void* p = mmap(nullptr, sizeof(SharedProxyRecord), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p != MAP_FAILED) record_ = static_cast<SharedProxyRecord*>(p);
}

SharedProxy::~SharedProxy() {
  if (record_ != nullptr) munmap(record_, sizeof(SharedProxyRecord));
}

// Writers take the record by turning the sequence odd; a writer that died
// in the middle is overridden after a second so the record never stays
// locked.
bool SharedProxy::Write(const ProxySettings& settings) {
  if (record_ == nullptr) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  uint32_t seq = record_->sequence.load(std::memory_order_relaxed);
  for (;;) {
    if ((seq & 1) == 0 || std::chrono::steady_clock::now() > deadline) {
      if (record_->sequence.compare_exchange_weak(seq, (seq | 1) + ((seq & 1) ? 2 : 0),
                                                  std::memory_order_acquire)) {
        break;
      }
      continue;
    }
    sched_yield();
    seq = record_->sequence.load(std::memory_order_relaxed);
  }
  SharedProxyRecord staged{};
  FillProxyRecord(settings, &staged);
  std::atomic_thread_fence(std::memory_order_release);
  volatile char* dst = reinterpret_cast<volatile char*>(record_) + sizeof(record_->sequence);
  const char* src = reinterpret_cast<const char*>(&staged) + sizeof(staged.sequence);
  for (size_t i = 0; i < sizeof(SharedProxyRecord) - sizeof(staged.sequence); ++i) dst[i] = src[i];
  record_->sequence.fetch_add(1, std::memory_order_release);
  return true;
}

ProxySettings SharedProxy::Read() {
  if (record_ == nullptr) return {};
  for (int attempt = 0; attempt < 10000; ++attempt) {
    uint32_t before = record_->sequence.load(std::memory_order_acquire);
    if (before & 1) {
      sched_yield();
      continue;
    }
    SharedProxyRecord copy;
    const volatile char* src = reinterpret_cast<const volatile char*>(record_) + sizeof(copy.sequence);
    char* dst = reinterpret_cast<char*>(&copy) + sizeof(copy.sequence);
    for (size_t i = 0; i < sizeof(SharedProxyRecord) - sizeof(copy.sequence); ++i) dst[i] = src[i];
    std::atomic_thread_fence(std::memory_order_acquire);
    if (record_->sequence.load(std::memory_order_relaxed) == before) return ReadProxyRecord(copy);
  }
  return {};  // a writer never finished: treat as no proxy
}

}  // namespace udp

namespace udp {

std::string SetProxyLogLine(const char* ip, int port, const char* user, int storedType) {
  char line[600];
  snprintf(line, sizeof line, "CUDPInterface::SetProxy(%s, %d, %s, %s, %d)", ip ? ip : "", int(uint16_t(port)),
           user ? user : "", "***", storedType);
  return line;
}

}  // namespace udp
