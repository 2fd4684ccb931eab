// libcurl, opened the first time the program makes a request.
//
// The program does not link libcurl: loading it (and the TLS, Kerberos and
// LDAP libraries it pulls in) costs a start-up that draws no window with it.
// EasyInit opens "libcurl.so.4" once for the process and keeps it; when it
// cannot be opened, EasyInit answers null (the reason logged once) and the
// caller fails as for any handle libcurl refuses.
//
// The other calls take a handle EasyInit made, so the library is open by
// then. Threading: any thread; opening is done once under a once-flag.
#pragma once

#include <curl/curl.h>

#include <string>

namespace curl_library {

// The functions the program calls, found in an opened libcurl.
struct Functions {
  CURLcode (*global_init)(long flags);
  void (*global_cleanup)();
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
  CURLcode (*easy_perform)(CURL* handle);
  void (*easy_cleanup)(CURL* handle);
  const char* (*easy_strerror)(CURLcode code);
  curl_slist* (*slist_append)(curl_slist* list, const char* text);
  void (*slist_free_all)(curl_slist* list);
};

// Opens the library `file` (a name the loader searches for, or a path) and
// finds the functions. False, with *error, when it cannot be opened or
// lacks one of them; the handle is released then. Kept open otherwise.
bool OpenLibrary(const std::string& file, Functions* functions, std::string* error);

// libcurl's functions, opened on the first call; null when it cannot be.
const Functions* Library();

// curl_global_init / curl_global_cleanup; the init opens the library and
// answers CURLE_FAILED_INIT when it cannot. Call cleanup only after an init
// that succeeded.
CURLcode GlobalInit(long flags);
void GlobalCleanup();

// curl_easy_init; null when libcurl cannot be opened.
CURL* EasyInit();

template <typename Value>
CURLcode EasySetopt(CURL* handle, CURLoption option, Value value) {
  return Library()->easy_setopt(handle, option, value);
}
CURLcode EasyPerform(CURL* handle);
void EasyCleanup(CURL* handle);
// Also for a code given when libcurl is not there.
const char* EasyStrerror(CURLcode code);
curl_slist* SlistAppend(curl_slist* list, const char* text);
void SlistFreeAll(curl_slist* list);

}  // namespace curl_library
