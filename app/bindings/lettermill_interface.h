// The HTTP posting library Lettermill.
#pragma once

#include <mutex>
#include <string>

#include "outside/lettermill/lettermill.h"

// The library is opened on first need: Instance() opens nothing, InitPost()
// is remembered, and the first post opens the library, calls its InitPost
// (when asked for) and posts. Opening it loads libcurl with the TLS,
// Kerberos and LDAP libraries beside it, which the start of the program and
// its first window need not wait for.
//
// Threading: Instance() may be called from any thread; the other calls from
// any thread while the instance lives (lock_ guards the library's handle,
// its exports and the init state, and is never held across a post);
// Release() at teardown after the workers stopped.
class CLettermillInterface {
 public:
  static CLettermillInterface* Instance();
  static void Release();

  CLettermillInterface() = default;
  // Calls UinitPost, then frees the library.
  ~CLettermillInterface();
  CLettermillInterface(const CLettermillInterface&) = delete;
  CLettermillInterface& operator=(const CLettermillInterface&) = delete;

  // Opens "Lettermill.dll" from the program folder now (once; missing
  // exports stay unbound); false when it does not open.
  bool Load();
  void Free();

  // The library's InitPost: now when it is open, else when the first post opens it.
  void InitPost();
  // The library's UinitPost, after an InitPost that reached it.
  void UinitPost();
  // Posts `body` to `url` through LettermillEx, opening the library first
  // when needed; its answer, 0 when the library or the export is missing.
  unsigned char Lettermill(const std::string& url, const std::string& body, int flag1, int flag2);

 private:
  bool LoadLocked();
  void InitLocked();

  std::mutex lock_;
  void* module_ = nullptr;
  bool tried_ = false;         // an opening was tried (a missing library is not tried per post)
  bool init_wanted_ = false;   // InitPost() was called
  bool initialised_ = false;   // the library's InitPost ran and no UinitPost since
  PfnInitPost init_post_ = nullptr;
  PfnUinitPost uinit_post_ = nullptr;
  PfnLettermill lettermill_ = nullptr;
  PfnLettermill lettermill_ex_ = nullptr;
};
