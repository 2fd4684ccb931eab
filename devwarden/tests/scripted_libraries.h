// In-process stand-ins for the download and setup libraries, driven by the
// tests: the download library's states and byte counts are scripted per
// download id, the setup library answers a scripted code and records what
// it was asked.
#ifndef DEVWARDEN_TESTS_SCRIPTED_LIBRARIES_H_
#define DEVWARDEN_TESTS_SCRIPTED_LIBRARIES_H_

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bindings/download_interfaces.h"
#include "driver_package.h"

namespace devwarden {
namespace scripted {

struct DownloadState {
  int status = 4;
  uint64_t downloaded = 0;
  std::u16string file;
};

// Threading: every field is guarded by mu (the pool's thread and the test
// thread both call in).
struct Downloads {
  std::mutex mu;
  int next_id = 1;
  int start_answer = -1;                      // -1: a fresh id; else this id
  std::map<int, DownloadState> states;
  std::vector<PackageKey> started;
  std::vector<int> stopped;
  std::u16string folder;
};

inline Downloads& D() {
  static Downloads d;
  return d;
}

inline void Reset() {
  std::lock_guard<std::mutex> lock(D().mu);
  D().next_id = 1;
  D().start_answer = -1;
  D().states.clear();
  D().started.clear();
  D().stopped.clear();
}

inline void Set(int id, int status, uint64_t downloaded, std::u16string file = u"/tmp/package.bin") {
  std::lock_guard<std::mutex> lock(D().mu);
  D().states[id] = DownloadState{status, downloaded, std::move(file)};
}

inline WebpullerInterface Table() {
  WebpullerInterface t;
  t.DLSetDownloadPath = [](const char16_t* folder) {
    std::lock_guard<std::mutex> lock(D().mu);
    D().folder = folder ? folder : u"";
  };
  t.DLStartDownload = [](const uint8_t* key) {
    std::lock_guard<std::mutex> lock(D().mu);
    PackageKey k;
    std::memcpy(k.data(), key, 16);
    D().started.push_back(k);
    if (D().start_answer >= 0) return D().start_answer;
    const int id = D().next_id++;
    D().states[id] = DownloadState{};
    return id;
  };
  t.DLStopDownload = [](int id) {
    std::lock_guard<std::mutex> lock(D().mu);
    D().stopped.push_back(id);
  };
  t.DLGetDownloadStatus = [](int id) {
    std::lock_guard<std::mutex> lock(D().mu);
    auto it = D().states.find(id);
    return it == D().states.end() ? 7 : it->second.status;
  };
  t.DLGetDownloadSize = [](int id) -> uint64_t {
    std::lock_guard<std::mutex> lock(D().mu);
    auto it = D().states.find(id);
    return it == D().states.end() ? 0 : it->second.downloaded;
  };
  t.DLGetDownloadSpeed = [](int) { return 0; };
  t.DLGetDownloadFileName = [](int id, char16_t* path) {
    std::lock_guard<std::mutex> lock(D().mu);
    auto it = D().states.find(id);
    if (it == D().states.end()) return 0;
    // Writes like a library that ignores the buffer's size: up to 260
    // characters, without a terminator when the name is longer.
    const std::u16string& f = it->second.file;
    const size_t n = std::min<size_t>(f.size() + 1, 260);
    std::memcpy(path, f.c_str(), n * sizeof(char16_t));
    return static_cast<int>(n);
  };
  return t;
}

// The setup library: answers are taken in order (the last one repeats).
struct Setup {
  std::vector<int> answers{1};
  std::vector<std::u16string> packages;
  std::vector<int> types;
  std::vector<std::u16string> bus_ids;
};

inline Setup& S() {
  static Setup s;
  return s;
}

inline KitplanterInterface SetupTable(bool with_install = true) {
  KitplanterInterface t;
  t.QENSetDriverPackage = [](const char16_t* path, int type) {
    S().packages.push_back(path);
    S().types.push_back(type);
  };
  if (with_install) {
    t.QENKitplanter = [](const char16_t* bus_id) {
      S().bus_ids.push_back(bus_id);
      const size_t i = std::min(S().bus_ids.size(), S().answers.size()) - 1;
      return S().answers[i];
    };
  }
  return t;
}

}  // namespace scripted
}  // namespace devwarden

#endif  // DEVWARDEN_TESTS_SCRIPTED_LIBRARIES_H_
