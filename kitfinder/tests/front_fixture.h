// A program folder for kitfinder's tests: the test double of kitoracle (whole
// or without its "Ex" functions) and, when wanted, the real libLedgerbox.so,
// linked in from the build; the cache's database in a folder of its own.
// The double's test hooks are reached through the same loaded library.
#ifndef KITFINDER_TESTS_FRONT_FIXTURE_H_
#define KITFINDER_TESTS_FRONT_FIXTURE_H_

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "app/adb/tests/temp_folder.h"

namespace kitfinder_test {

struct FakeDs {
  void* lib = nullptr;
  template <typename Fn>
  Fn* Hook(const char* name) const {
    return reinterpret_cast<Fn*>(dlsym(lib, name));
  }
  void Reset() const { Hook<void()>("FakeDs_Reset")(); }
  int Calls(const char* name) const { return Hook<int(const char*)>("FakeDs_Calls")(name); }
  void SetDeviceId(const char16_t* id, int32_t value) const {
    Hook<void(const char16_t*, int32_t)>("FakeDs_SetDeviceId")(id, value);
  }
  void SetDriverCount(int n) const { Hook<void(int)>("FakeDs_SetDriverCount")(n); }
  void AddMultiDriver(const char16_t* setup) const { Hook<void(const char16_t*)>("FakeDs_AddMultiDriver")(setup); }
  int32_t SentId(int device, int index) const { return Hook<int32_t(int, int)>("FakeDs_SentId")(device, index); }
  int SentComputerType() const { return Hook<int()>("FakeDs_SentComputerType")(); }
  void SetDescription(const char16_t* text) const { Hook<void(const char16_t*)>("FakeDs_SetDescription")(text); }
  void SetCloudSwitch(const char16_t* text) const { Hook<void(const char16_t*)>("FakeDs_SetCloudSwitch")(text); }
  void SetStatResult(int code) const { Hook<void(int)>("FakeDs_SetStatResult")(code); }
  int Alive() const { return Hook<int()>("FakeDs_Alive")(); }
  void HoldBrand(const char16_t* brand) const { Hook<void(const char16_t*)>("FakeDs_HoldBrand")(brand); }
  bool WaitHeld(int timeout_ms) const { return Hook<int(int)>("FakeDs_WaitHeld")(timeout_ms) != 0; }
};

class ProgramFolder {
 public:
  // variant: "whole" or "without_ex".
  ProgramFolder(const char* variant, bool with_cache) {
    const std::string fake = std::string(FAKES_DIR) + "/" + variant + "/libkitoracle.so";
    EXPECT_EQ(symlink(fake.c_str(), folder_.File("libkitoracle.so").c_str()), 0);
    if (with_cache) {
      EXPECT_EQ(symlink(LEDGERBOX_LIBRARY, folder_.File("libLedgerbox.so").c_str()), 0);
    }
    setenv("LEDGERBOX_DIR", folder_.File("cache").c_str(), 1);
    ds_.lib = dlopen(folder_.File("libkitoracle.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(ds_.lib, nullptr) << dlerror();
    if (ds_.lib) ds_.Reset();
  }
  ~ProgramFolder() {
    if (ds_.lib) dlclose(ds_.lib);
  }
  // With the trailing '/' that CGetProgress::Init wants.
  std::string path() const { return folder_.path() + "/"; }
  const FakeDs& ds() const { return ds_; }
  const testing_support::TempFolder& folder() const { return folder_; }

 private:
  testing_support::TempFolder folder_;
  FakeDs ds_;
};

// A hardware-ID list of the given strings.
inline std::u16string IdList(std::initializer_list<std::u16string> ids) {
  std::u16string list;
  for (const auto& id : ids) list += id + u'\0';
  return list + u'\0';
}

}  // namespace kitfinder_test

#endif  // KITFINDER_TESTS_FRONT_FIXTURE_H_
