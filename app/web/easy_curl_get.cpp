#include "app/web/easy_curl_get.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/curl/curl_library.h"

size_t CurlWriteCallback(char* data, size_t size, size_t count, void* binding_pointer) {
  auto* binding = static_cast<CurlWriteBinding*>(binding_pointer);
  if (binding == nullptr) return 0;
  if (binding->sink != nullptr) return binding->sink->OnData(data, size, count, binding->buffer);
  CurlResponseBuffer* buffer = binding->buffer;
  if (buffer == nullptr) return 0;
  if (count != 0 && size > (SIZE_MAX - 1 - buffer->length) / count) return 0;
  const size_t n = size * count;
  if (n > binding->max_length || buffer->length > binding->max_length - n) return 0;
  char* grown = static_cast<char*>(std::realloc(buffer->data, buffer->length + n + 1));
  if (grown == nullptr) return 0;
  std::memcpy(grown + buffer->length, data, n);
  buffer->data = grown;
  buffer->length += n;
  buffer->data[buffer->length] = '\0';
  return n;
}

EasyCurlGet::EasyCurlGet() {
  handle_.binding.buffer = &response_;
  handle_.binding.max_length = kMaxBodyBytes;
}

EasyCurlGet::~EasyCurlGet() {
  FreeResponse();
  if (handle_.curl != nullptr) {
    curl_library::EasyCleanup(static_cast<CURL*>(handle_.curl));
    curl_library::GlobalCleanup();
  }
}

void EasyCurlGet::FreeResponse() {
  std::free(response_.data);
  response_.data = nullptr;
  response_.length = 0;
}

bool EasyCurlGet::Perform(const char* url) {
  if (handle_.curl == nullptr) {
    // Paired with the cleanup in the destructor, once per handle made.
    if (curl_library::GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    handle_.curl = curl_library::EasyInit();
    if (handle_.curl == nullptr) {
      curl_library::GlobalCleanup();
      return false;
    }
  }
  FreeResponse();
  CURL* curl = static_cast<CURL*>(handle_.curl);
  curl_library::EasySetopt(curl, CURLOPT_URL, url != nullptr ? url : "");
  curl_library::EasySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_library::EasySetopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_library::EasySetopt(curl, CURLOPT_WRITEDATA, &handle_.binding);
  curl_library::EasySetopt(curl, CURLOPT_WRITEFUNCTION, &CurlWriteCallback);
  curl_library::EasySetopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
  curl_library::EasySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_library::EasySetopt(curl, CURLOPT_NOSIGNAL, 1L);
  return curl_library::EasyPerform(curl) == CURLE_OK;
}
