// Engine-wide settings that each transfer copies when it starts: proxy,
// user agent and speed cap. Also the sizes learnt per URL.
// Threading: every function may be called from any thread; one mutex
// inside guards the settings and another the size table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xldl {

struct TransferSettings {
  std::string proxy;           // libcurl form "scheme://host:port"; empty: no proxy
  std::string proxy_user;      // empty: none
  std::string proxy_password;
  std::string user_agent;      // empty: libcurl's none
  int64_t max_bytes_per_second = 0;  // 0: no cap
};

TransferSettings CurrentSettings();
void SetProxySettings(const std::string& proxy, const std::string& user, const std::string& password);
void SetUserAgent(const std::string& user_agent);
void SetSpeedCap(int64_t bytes_per_second);

void RememberSize(const std::string& url, uint64_t total);
std::optional<uint64_t> RememberedSize(const std::string& url);

}  // namespace xldl
