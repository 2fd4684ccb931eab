#include "app/curl/curl_library.h"

#include <dlfcn.h>

#include <mutex>

#include "foundation/base/log.h"

namespace curl_library {

namespace {

constexpr char kLibraryFile[] = "libcurl.so.4";

template <typename Function>
bool Find(void* library, const char* name, Function* slot, std::string* missing) {
  *slot = reinterpret_cast<Function>(dlsym(library, name));
  if (*slot == nullptr && missing->empty()) *missing = name;
  return *slot != nullptr;
}

}  // namespace

bool OpenLibrary(const std::string& file, Functions* functions, std::string* error) {
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    if (error) *error = reason ? reason : "cannot open " + file;
    return false;
  }
  Functions found{};
  std::string missing;
  bool ok = Find(library, "curl_global_init", &found.global_init, &missing);
  ok = Find(library, "curl_global_cleanup", &found.global_cleanup, &missing) && ok;
  ok = Find(library, "curl_easy_init", &found.easy_init, &missing) && ok;
  ok = Find(library, "curl_easy_setopt", &found.easy_setopt, &missing) && ok;
  ok = Find(library, "curl_easy_perform", &found.easy_perform, &missing) && ok;
  ok = Find(library, "curl_easy_cleanup", &found.easy_cleanup, &missing) && ok;
  ok = Find(library, "curl_easy_strerror", &found.easy_strerror, &missing) && ok;
  ok = Find(library, "curl_slist_append", &found.slist_append, &missing) && ok;
  ok = Find(library, "curl_slist_free_all", &found.slist_free_all, &missing) && ok;
  if (!ok) {
    dlclose(library);
    if (error) *error = file + " has no " + missing;
    return false;
  }
  *functions = found;
  return true;
}

const Functions* Library() {
  static Functions functions{};
  static const Functions* opened = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string error;
    if (OpenLibrary(kLibraryFile, &functions, &error)) {
      opened = &functions;
    } else {
      PD_LOG_ERROR("libcurl cannot be loaded: %s", error.c_str());
    }
  });
  return opened;
}

CURLcode GlobalInit(long flags) {
  const Functions* library = Library();
  return library ? library->global_init(flags) : CURLE_FAILED_INIT;
}

void GlobalCleanup() {
  if (const Functions* library = Library()) library->global_cleanup();
}

CURL* EasyInit() {
  const Functions* library = Library();
  return library ? library->easy_init() : nullptr;
}

CURLcode EasyPerform(CURL* handle) { return Library()->easy_perform(handle); }

void EasyCleanup(CURL* handle) {
  if (handle != nullptr) Library()->easy_cleanup(handle);
}

const char* EasyStrerror(CURLcode code) {
  const Functions* library = Library();
  return library ? library->easy_strerror(code) : "libcurl is not available";
}

curl_slist* SlistAppend(curl_slist* list, const char* text) { return Library()->slist_append(list, text); }

void SlistFreeAll(curl_slist* list) {
  if (list != nullptr) Library()->slist_free_all(list);
}

}  // namespace curl_library
