#include "settings.h"

#include <map>
#include <mutex>

namespace xldl {

namespace {

std::mutex g_settings_mutex;  // guards g_settings
TransferSettings g_settings;

std::mutex g_sizes_mutex;  // guards g_sizes
std::map<std::string, uint64_t> g_sizes;

}  // namespace

TransferSettings CurrentSettings() {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  return g_settings;
}

void SetProxySettings(const std::string& proxy, const std::string& user, const std::string& password) {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  g_settings.proxy = proxy;
  g_settings.proxy_user = user;
  g_settings.proxy_password = password;
}

void SetUserAgent(const std::string& user_agent) {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  g_settings.user_agent = user_agent;
}

void SetSpeedCap(int64_t bytes_per_second) {
  std::lock_guard<std::mutex> lock(g_settings_mutex);
  g_settings.max_bytes_per_second = bytes_per_second > 0 ? bytes_per_second : 0;
}

void RememberSize(const std::string& url, uint64_t total) {
  if (total == 0) return;
  std::lock_guard<std::mutex> lock(g_sizes_mutex);
  g_sizes[url] = total;
}

std::optional<uint64_t> RememberedSize(const std::string& url) {
  std::lock_guard<std::mutex> lock(g_sizes_mutex);
  const auto it = g_sizes.find(url);
  if (it == g_sizes.end()) return std::nullopt;
  return it->second;
}

}  // namespace xldl
