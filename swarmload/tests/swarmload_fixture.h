// A private program folder for the swarmload tests: the engine chosen by the
// test (the scripted stand-in or the real libxldl.so), the kitoracle test
// double (or the real kitoracle with relaylink and udp beside it) and the
// real libHostmark.so linked into it, a work folder, a download folder and a
// registry stand-in holding the union id 1111.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "swarmload.h"

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

class SwarmloadFixture : public ::testing::Test {
 protected:
  // `engine`: the library to stand as libxldl.so, or empty for none.
  // `real_kitoracle_dir`: the build's library folder whose libkitoracle.so,
  // librelaylink.so and libudp.so stand in the program folder; empty for the
  // double.
  void Prepare(const std::string& engine, const std::string& real_kitoracle_dir = "") {
    char pattern[] = "/tmp/swarmload_test_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    program_ = root_ + "/program";
    work_ = root_ + "/work";
    downloads_ = root_ + "/downloads";
    for (const std::string& dir : {program_, program_ + "/log", work_, downloads_, root_ + "/config/Zelvik"}) {
      std::filesystem::create_directories(dir);
    }
    if (!engine.empty()) std::filesystem::create_symlink(engine, program_ + "/libxldl.so");
    if (real_kitoracle_dir.empty()) {
      std::filesystem::create_symlink(KITORACLE_DOUBLE, program_ + "/libkitoracle.so");
    } else {
      for (const char* name : {"libkitoracle.so", "librelaylink.so", "libudp.so"}) {
        std::filesystem::create_symlink(real_kitoracle_dir + "/" + name, program_ + "/" + name);
      }
    }
    std::filesystem::create_symlink(HOSTMARK_LIBRARY, program_ + "/libHostmark.so");
    WriteText(root_ + "/config/Zelvik/registry.ini",
              "[HKEY_CURRENT_USER\\SOFTWARE\\QENSoft\\Hollowmere2013]\nUnionID=dword:00000457\n");
    ::setenv("PHONEDECK_PROGRAM_DIR", program_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);

    if (real_kitoracle_dir.empty()) {
      ASSERT_NO_FATAL_FAILURE(BindDouble());
    }
    ASSERT_EQ(P2SPInit(work_.c_str()), 1);
  }

  void BindDouble() {
    kitoracle_ = ::dlopen((program_ + "/libkitoracle.so").c_str(), RTLD_NOW);
    ASSERT_NE(kitoracle_, nullptr) << ::dlerror();
    Bind(kitoracle_, "KitoracleDouble_Reset", &kit_reset_);
    Bind(kitoracle_, "KitoracleDouble_SetAnswer", &kit_answer_);
    Bind(kitoracle_, "KitoracleDouble_Counts", &kit_counts_);
    Bind(kitoracle_, "KitoracleDouble_LastReport", &kit_report_);
    kit_reset_();
  }

  void TearDown() override {
    P2SPClose();
    if (kitoracle_ != nullptr) ::dlclose(kitoracle_);
    if (!root_.empty()) std::filesystem::remove_all(root_);
  }

  template <typename Fn>
  static void Bind(void* library, const char* name, Fn* out) {
    *out = reinterpret_cast<Fn>(::dlsym(library, name));
    ASSERT_NE(*out, nullptr) << name;
  }

  int Reports() {
    int init = 0, close = 0, search = 0, reports = 0;
    kit_counts_(&init, &close, &search, &reports);
    return reports;
  }
  int Searches() {
    int init = 0, close = 0, search = 0, reports = 0;
    kit_counts_(&init, &close, &search, &reports);
    return search;
  }

  // Polls the status (bounded) until it is neither 2 nor 4.
  int WaitStatus(const std::string& url) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = P2SPGetTaskStatus(url.c_str());
    while ((status == 2 || status == 4) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      status = P2SPGetTaskStatus(url.c_str());
    }
    return status;
  }

  std::string RecordedPath(const std::string& url) {
    char buffer[1024] = {0};
    return P2SPGetTaskFileName(url.c_str(), buffer, sizeof buffer) > 0 ? buffer : "";
  }

  std::string root_, program_, work_, downloads_;
  void* kitoracle_ = nullptr;
  void (*kit_reset_)() = nullptr;
  void (*kit_answer_)(int, const char16_t*, const char16_t*) = nullptr;
  void (*kit_counts_)(int*, int*, int*, int*) = nullptr;
  const char16_t* (*kit_report_)(uint32_t*, int32_t*, uint8_t*) = nullptr;
};
