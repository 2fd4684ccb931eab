// The HTTP posting library Lettermill.
#pragma once

#include <string>

#include "outside/lettermill/lettermill.h"

// Threading: Instance() may be called from any thread; Lettermill() from any
// thread while the instance lives; Release() at teardown after the workers
// stopped.
class CLettermillInterface {
 public:
  static CLettermillInterface* Instance();
  static void Release();

  CLettermillInterface() = default;
  // Calls UinitPost, then frees the library.
  ~CLettermillInterface();
  CLettermillInterface(const CLettermillInterface&) = delete;
  CLettermillInterface& operator=(const CLettermillInterface&) = delete;

  // Loads "Lettermill.dll" from the program folder; missing exports stay unbound.
  bool Load();
  void Free();

  void InitPost();
  void UinitPost();
  // Posts `body` to `url` through LettermillEx; its answer, 0 when unbound.
  unsigned char Lettermill(const std::string& url, const std::string& body, int flag1, int flag2);

 private:
  void* module_ = nullptr;
  PfnInitPost init_post_ = nullptr;
  PfnUinitPost uinit_post_ = nullptr;
  PfnLettermill lettermill_ = nullptr;
  PfnLettermill lettermill_ex_ = nullptr;
};
