// DNS client: own query over UDP, system resolver fallback, process cache.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "utility/base_dns.h"
#include "utility/internal/dns_message.h"

using utility_internal::BuildDnsQuery;
using utility_internal::DnsAnswer;
using utility_internal::DnsParseStatus;
using utility_internal::ParseDnsAnswer;

namespace {

constexpr size_t kReceiveSize = 1024;
constexpr uint16_t kDnsPort = 53;

// Process-wide resolver state. The lock guards every field and is never
// held across a network wait.
struct ResolverState {
  std::mutex lock;
  std::map<std::string, std::vector<uint32_t>> cache;
  std::string configuredServer;  // empty until read
  bool ownResolver = true;       // off after an own query without an address
};

ResolverState& State() {
  static ResolverState* state = new ResolverState;  // lives for the process
  return *state;
}

int CopyOut(const std::vector<uint32_t>& list, uint32_t* addresses, int max) {
  int n = 0;
  for (uint32_t a : list) {
    if (n >= max) break;
    addresses[n++] = a;
  }
  return n;
}

// The override of the machine's name server, read at every look-up.
std::string ServerOverride() {
  const char* env = std::getenv("PHONEDECK_DNS_SERVER");
  return env != nullptr ? std::string(env) : std::string();
}

// The machine's first IPv4 name server; empty when none.
std::string ReadConfiguredServer() {
  std::ifstream conf("/etc/resolv.conf");
  std::string line;
  while (std::getline(conf, line)) {
    std::istringstream words(line);
    std::string keyword;
    std::string value;
    if (!(words >> keyword >> value) || keyword != "nameserver") continue;
    in_addr probe;
    if (inet_pton(AF_INET, value.c_str(), &probe) == 1) return value;
  }
  return std::string();
}

// "a.b.c.d" or "a.b.c.d:port".
bool ParseServer(const std::string& text, sockaddr_in* out) {
  std::string host = text;
  uint16_t port = kDnsPort;
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    char* end = nullptr;
    const long p = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (end == nullptr || *end != '\0' || p <= 0 || p > 65535) return false;
    port = static_cast<uint16_t>(p);
  }
  std::memset(out, 0, sizeof(*out));
  out->sin_family = AF_INET;
  out->sin_port = htons(port);
  return inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1;
}

// One query to the server and the A records of its answer.
std::vector<uint32_t> OwnQuery(const std::string& serverText, const std::string& name, int timeoutMs) {
  if (serverText.empty() || name.empty()) return {};
  sockaddr_in server;
  if (!ParseServer(serverText, &server)) return {};
  const std::vector<uint8_t> query = BuildDnsQuery(name);
  if (query.empty()) return {};

  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  std::vector<uint32_t> result;
  const ssize_t sent = sendto(fd, query.data(), query.size(), 0,
                              reinterpret_cast<const sockaddr*>(&server), sizeof(server));
  if (sent == static_cast<ssize_t>(query.size())) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t reply[kReceiveSize];
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
      sockaddr_in from;
      socklen_t fromLen = sizeof(from);
      const ssize_t n = recvfrom(fd, reply, sizeof(reply), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n < 0) break;
      // Datagrams from anyone but the server are not answers.
      if (from.sin_addr.s_addr != server.sin_addr.s_addr || from.sin_port != server.sin_port) continue;
      const DnsAnswer answer = ParseDnsAnswer(reply, static_cast<size_t>(n));
      result = answer.addresses;
      break;
    }
  }
  shutdown(fd, SHUT_RDWR);
  close(fd);
  return result;
}

// The system resolver's first IPv4 address of name.
bool SystemResolve(const std::string& name, uint32_t* address) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
  *address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(list);
  return true;
}

}  // namespace

namespace DNS {

int GetHostByNameEx(const char* dnsServer, const char* name, uint32_t* addresses, int max,
                    int timeoutMs) {
  if (name == nullptr || *name == '\0' || addresses == nullptr || max <= 0) return 0;
  ResolverState& state = State();
  const std::string key = name;

  std::string server;
  bool ownResolver;
  {
    std::lock_guard<std::mutex> lock(state.lock);
    auto hit = state.cache.find(key);
    if (hit != state.cache.end()) return CopyOut(hit->second, addresses, max);
    if (dnsServer != nullptr && *dnsServer != '\0') {
      server = dnsServer;
    } else if (std::string override = ServerOverride(); !override.empty()) {
      server = override;
    } else {
      if (state.configuredServer.empty()) state.configuredServer = ReadConfiguredServer();
      server = state.configuredServer;
    }
    ownResolver = state.ownResolver;
  }

  if (ownResolver) {
    const std::vector<uint32_t> found = OwnQuery(server, key, timeoutMs < 0 ? 0 : timeoutMs);
    std::lock_guard<std::mutex> lock(state.lock);
    if (!found.empty()) {
      state.cache[key] = found;
      return CopyOut(found, addresses, max);
    }
    state.ownResolver = false;
  }

  uint32_t address = 0;
  const bool resolved = SystemResolve(key, &address);
  std::lock_guard<std::mutex> lock(state.lock);
  if (!resolved) {
    state.ownResolver = true;
    return 0;
  }
  state.cache[key] = std::vector<uint32_t>{address};
  addresses[0] = address;
  return 1;
}

uint32_t GetHostByName(const char* dnsServer, const char* name, int timeoutMs) {
  uint32_t address = 0;
  return GetHostByNameEx(dnsServer, name, &address, 1, timeoutMs) > 0 ? address : 0;
}

void CleanDnsBuffer() {
  ResolverState& state = State();
  std::lock_guard<std::mutex> lock(state.lock);
  state.cache.clear();
}

}  // namespace DNS
