// The outside download library (Webpuller) and INF setup library
// (Kitplanter), bound by name; the driver package code owns the tables (one
// Webpuller table per package, a fresh Kitplanter table per install), and a
// stand-in for the statistics library that nothing loads.
// Threading: a table is bound and used by its owner; the libraries must
// accept calls from several threads.
#ifndef DEVWARDEN_SRC_BINDINGS_DOWNLOAD_INTERFACES_H_
#define DEVWARDEN_SRC_BINDINGS_DOWNLOAD_INTERFACES_H_

#include <cstdint>
#include <string>

namespace devwarden {

struct WebpullerInterface {
  void (*DLSetDownloadPath)(const char16_t* folder) = nullptr;
  int (*DLStartDownload)(const uint8_t* key16) = nullptr;
  void (*DLStopDownload)(int id) = nullptr;
  int (*DLGetDownloadStatus)(int id) = nullptr;
  uint64_t (*DLGetTotalSize)(int id) = nullptr;
  uint64_t (*DLGetDownloadSize)(int id) = nullptr;
  int (*DLGetDownloadSpeed)(int id) = nullptr;
  int (*DLGetDownloadFileName)(int id, char16_t* path260) = nullptr;
  void (*DLDestroyAll)() = nullptr;
  void* library = nullptr;

  // An already loaded webpuller is reused; else loads it from `folder`.
  bool Bind(const std::string& folder);

  // Neutral answers of missing procedures: status -1, sizes 0, speed 0,
  // id 0, file name empty.
  int Status(int id) const { return DLGetDownloadStatus ? DLGetDownloadStatus(id) : -1; }
  uint64_t Downloaded(int id) const { return DLGetDownloadSize ? DLGetDownloadSize(id) : 0; }
  int Speed(int id) const { return DLGetDownloadSpeed ? DLGetDownloadSpeed(id) : 0; }
  int Start(const uint8_t* key16) const { return DLStartDownload ? DLStartDownload(key16) : 0; }
  void Stop(int id) const {
    if (DLStopDownload) DLStopDownload(id);
  }
  void SetPath(const char16_t* folder) const {
    if (DLSetDownloadPath) DLSetDownloadPath(folder);
  }
  std::u16string FileName(int id) const;
};

struct KitplanterInterface {
  void (*QENSetDevType)(int type) = nullptr;
  void (*QENSetDriverPackage)(const char16_t* path, int setup_type) = nullptr;
  void (*QENSetExeFirst)(int first) = nullptr;
  int (*QENKitplanter)(const char16_t* bus_id) = nullptr;
  void* library = nullptr;

  bool Bind(const std::string& folder);
  // -15 (the interface error) when the install procedure is missing.
  int Install(const char16_t* bus_id) const { return QENKitplanter ? QENKitplanter(bus_id) : -15; }
};

// Ten slots and a handle that nothing ever binds; releasing it only logs.
struct StatInterface {
  void* slots[10] = {};
  void* library = nullptr;
  void Release();
};
StatInterface& Stat();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BINDINGS_DOWNLOAD_INTERFACES_H_
