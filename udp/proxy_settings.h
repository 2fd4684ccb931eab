// The proxy settings every process of the user shares: one fixed record in
// POSIX shared memory ("/phonedeck-udp-proxy-<uid>", or the name in
// PHONEDECK_UDP_PROXY_SHM). A sequence counter keeps readers from seeing a
// record half written by another process.
#ifndef PHONEDECK_UDP_PROXY_SETTINGS_H
#define PHONEDECK_UDP_PROXY_SETTINGS_H

#include <atomic>
#include <cstdint>
#include <string>

namespace udp {

// Layout in shared memory. Texts are always terminated inside their field.
struct SharedProxyRecord {
  std::atomic<uint32_t> sequence;  // odd while a writer is busy
  uint32_t layoutVersion;          // kProxyLayoutVersion once written
  char ip[16];
  uint16_t port;
  uint8_t type;
  uint8_t enabled;
  char user[256];
  char password[256];
};
static_assert(sizeof(SharedProxyRecord) == 540, "shared proxy record layout is fixed");
static_assert(std::atomic<uint32_t>::is_always_lock_free, "the sequence must work across processes");
constexpr uint32_t kProxyLayoutVersion = 1;

// A consistent copy of the record.
struct ProxySettings {
  std::string ip;
  uint16_t port = 0;
  uint8_t type = 0;
  std::string user;
  std::string password;
  // A proxy is in use when ip, port and type are all set.
  bool InUse() const { return !ip.empty() && port != 0 && type != 0; }
};

// Fills a record's fields from the settings, cutting each text to its
// field and terminating it (the pure part of the writer).
void FillProxyRecord(const ProxySettings& settings, SharedProxyRecord* record);
ProxySettings ReadProxyRecord(const SharedProxyRecord& record);

std::string ProxySharedMemoryName();

// The process's view of the shared record. Thread-safe; a process that
// cannot map the record behaves as if no proxy were set. A record object
// that is not the user's own, or that others may open, is refused (logged).
class SharedProxy {
 public:
  static SharedProxy& Instance();
  // The record in the shared memory object `name` (the instance uses
  // ProxySharedMemoryName()).
  explicit SharedProxy(const std::string& name);
  ~SharedProxy();
  SharedProxy(const SharedProxy&) = delete;
  SharedProxy& operator=(const SharedProxy&) = delete;
  bool Write(const ProxySettings& settings);
  ProxySettings Read();
  bool IsMapped() const { return record_ != nullptr; }

 private:
  SharedProxyRecord* record_ = nullptr;
};

}  // namespace udp



namespace udp {
// The log line of UDPSetProxy; the password never reaches the log.
std::string SetProxyLogLine(const char* ip, int port, const char* user, int storedType);
}  // namespace udp
#endif  // PHONEDECK_UDP_PROXY_SETTINGS_H
