#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "platform/user_language.h"

namespace {

TEST(LibraryNameTest, Table) {
  struct Case {
    const char* system;
    const char* file;
  } cases[] = {
      {"kitfinder", "libkitfinder.so"},   {"setupaide.dll", "libsetupaide.so"}, {"Tallyhand.DLL", "libTallyhand.so"},
      {"libudp", "libudp.so"},            {"libm.so.6", "libm.so.6"},           {"libx.so", "libx.so"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::LibraryFileName(c.system), c.file) << c.system;
}

TEST(DynamicLibraryTest, LoadsFromAFolderAndFindsSymbols) {
  std::string error;
  void* missing = platform::LoadLibraryFrom("/nonexistent", "kitfinder", &error);
  EXPECT_EQ(missing, nullptr);
  EXPECT_NE(error.find("libkitfinder.so"), std::string::npos) << error;

  void* libm = platform::LoadLibraryFrom("/lib/x86_64-linux-gnu/", "libm.so.6", &error);
  ASSERT_NE(libm, nullptr) << error;
  auto cosine = reinterpret_cast<double (*)(double)>(platform::FindSymbol(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(platform::FindSymbol(libm, "no_such_symbol_here"), nullptr);
  EXPECT_EQ(platform::FindSymbol(nullptr, "cos"), nullptr);
  EXPECT_NE(platform::ModulePathOfHandle(libm).find("libm.so.6"), std::string::npos);
  EXPECT_NE(platform::ModulePathOf(reinterpret_cast<void*>(cosine)).find("libm.so.6"), std::string::npos);
  platform::FreeLibrary(libm);
  platform::FreeLibrary(nullptr);
}

TEST(ModulePathTest, ExecutableAndProgramFolder) {
  const std::string exe = platform::ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "platform_tests");
  EXPECT_EQ(platform::ModulePathOf(reinterpret_cast<const void*>(&platform::ExecutablePath)), exe);
  EXPECT_EQ(platform::ModulePathOfHandle(nullptr), exe);
  EXPECT_EQ(platform::ModulePathOf(nullptr), "");

  ::unsetenv(platform::kProgramDirEnv);
  EXPECT_EQ(platform::ProgramDirectory(), exe.substr(0, exe.rfind('/') + 1));
  struct Case {
    const char* value;
    std::string dir;
  } cases[] = {{"/tmp/pd", "/tmp/pd/"}, {"/tmp/pd/", "/tmp/pd/"}, {"", exe.substr(0, exe.rfind('/') + 1)}};
  for (const Case& c : cases) {
    ::setenv(platform::kProgramDirEnv, c.value, 1);
    EXPECT_EQ(platform::ProgramDirectory(), c.dir) << c.value;
  }
  ::unsetenv(platform::kProgramDirEnv);
}

TEST(ClockTest, MonotonicAndCounter) {
  uint64_t ms = platform::MonotonicMs();
  int64_t counter = platform::PerformanceCounter();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(platform::MonotonicMs() - ms, 29u);  // whole milliseconds on both ends
  int64_t elapsedMs = (platform::PerformanceCounter() - counter) * 1000 / platform::PerformanceFrequency();
  EXPECT_GE(elapsedMs, 30);
}

TEST(UserLanguageTest, FromLocaleVariables) {
  struct Case {
    const char* lc_all;
    const char* lang;
    uint16_t id;
  } cases[] = {{nullptr, "zh_CN.UTF-8", 0x0804}, {nullptr, "en_US.UTF-8", 0x0409}, {nullptr, "de_DE", 0x0409},
               {"zh_CN.GBK", "en_US", 0x0804},   {"C", "zh_CN.UTF-8", 0x0409},     {nullptr, nullptr, 0x0409}};
  ::unsetenv("LC_MESSAGES");
  for (const Case& c : cases) {
    c.lc_all ? ::setenv("LC_ALL", c.lc_all, 1) : ::unsetenv("LC_ALL");
    c.lang ? ::setenv("LANG", c.lang, 1) : ::unsetenv("LANG");
    EXPECT_EQ(platform::UserDefaultLanguageId(), c.id) << (c.lc_all ? c.lc_all : "-") << " " << (c.lang ? c.lang : "-");
  }
  ::unsetenv("LC_ALL");
  ::unsetenv("LANG");
}

}  // namespace
