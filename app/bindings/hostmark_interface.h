// The machine-identifier library Hostmark.
#pragma once

#include <cstdint>

#include "outside/hostmark/hostmark.h"

// Threading: Instance() may be called from any thread (made once, kept to
// the end of the process); GetIdentify from any thread.
class CHostmarkInterface {
 public:
  static CHostmarkInterface* Instance();

  CHostmarkInterface() = default;
  ~CHostmarkInterface();
  CHostmarkInterface(const CHostmarkInterface&) = delete;
  CHostmarkInterface& operator=(const CHostmarkInterface&) = delete;

  // Loads "Hostmark.dll" from the program folder and binds HOSTMARKGetIdentify.
  bool Load();
  // Fills 16 bytes; HOSTMARKGetIdentify's answer, 0 when unbound.
  int GetIdentify(unsigned char* identifier) const;

 private:
  void* module_ = nullptr;
  PfnHOSTMARKGetIdentify get_identify_ = nullptr;
};
