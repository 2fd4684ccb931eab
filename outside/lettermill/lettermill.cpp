#include "lettermill.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

constexpr long kConnectTimeoutMs = 5000;
constexpr long kTotalTimeoutMs = 15000;

// Guards the InitPost count; curl_global_init/cleanup run under it.
std::mutex g_init_lock;
int g_init_count = 0;

bool IsInitialised() {
  std::lock_guard<std::mutex> hold(g_init_lock);
  return g_init_count > 0;
}

size_t DiscardReply(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

int InitPost(void) {
  std::lock_guard<std::mutex> hold(g_init_lock);
  if (g_init_count == 0 && curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return 0;
  ++g_init_count;
  return 1;
}

void UinitPost(void) {
  std::lock_guard<std::mutex> hold(g_init_lock);
  if (g_init_count == 0) return;
  if (--g_init_count == 0) curl_global_cleanup();
}

unsigned char LettermillEx(const char* url, const char* body, int json, int /*flags*/) {
  if (url == nullptr || body == nullptr || url[0] == '\0' || !IsInitialised()) return 0;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return 0;
  struct curl_slist* headers = curl_slist_append(
      nullptr, json != 0 ? "Content-Type: application/json; charset=utf-8"
                         : "Content-Type: application/x-www-form-urlencoded");
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(std::strlen(body)));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardReply);
  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  if (rc == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return (rc == CURLE_OK && status >= 200 && status < 300) ? 1 : 0;
}

#ifndef LETTERMILL_WITHOUT_PLAIN
unsigned char Lettermill(const char* url, const char* body, int json, int flags) {
  return LettermillEx(url, body, json, flags);
}
#endif
