// DriverPackage: one phone driver package, made from the first driver record
// that kitfinder found for a device. It starts its download through the
// download library (Webpuller), answers progress questions, and installs the
// downloaded file through the setup library (Kitplanter); a failed first
// install of an Android phone's driver is retried once with the compatible
// package of this machine's bitness.
#ifndef DEVWARDEN_SRC_DRIVER_PACKAGE_H_
#define DEVWARDEN_SRC_DRIVER_PACKAGE_H_

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bindings/download_interfaces.h"
#include "kitoracle/driver_records.h"

namespace devwarden {

using PackageKey = std::array<uint8_t, 16>;

// Download states of the download library.
enum : int {
  kDownloadRunning = 4,
  kDownloadFinished = 6,
  kDownloadStopped = 5,
  kDownloadFailed = 7,
};

// Install codes of the setup library.
enum : int {
  kSetupSuccess = 1,
  kSetupSuccessReboot = 2,
  kSetupErrorUnknown = 0,
  kSetupInvalidPath = -1,
  kSetupErrorSwpack = -4,
  kSetupUnzipFail = -9,
  kSetupErrorInterface = -15,
};

// Threading: mu_ guards the download table, the bound flag and the download
// id (a start runs on a host thread while the pool's thread and
// PNP_GetDownLoadInfo read progress). The record, bus id and hardware-ID
// list are set before the package is pooled and only read afterwards.
class DriverPackage {
 public:
  // Copies the record; the copy's attached software array is dropped (it
  // belongs to the query's records, which are freed after the query).
  explicit DriverPackage(const SDrvInfo& record);

  // Keeps at most 1023 characters; null or empty leaves the field as it is.
  void SetBusId(const char16_t* bus_id);
  // Replaces the hardware-ID list with the strings of a multi-string of
  // `length` characters (an empty string or the length ends it).
  void SetHwIdsForPackage(const char16_t* list, size_t length);

  PackageKey GetKey() const;
  uint64_t TotalSize() const;  // the record's package size (0 when negative)
  uint8_t PackageType() const { return record_.cPackgeType; }
  const std::u16string& BusId() const { return bus_id_; }
  const std::vector<std::u16string>& HardwareIds() const { return hardware_ids_; }

  // Binds the download library on first use, sets its folder and starts the
  // download of this package's key (stopping an earlier download of this
  // package first); true when the library gave a download id.
  bool StartDownload();
  // Stops the current download, if any.
  void StopDownload();

  struct Progress {
    int status = -1;          // -1 when the library cannot tell
    uint64_t downloaded = 0;
    int speed = 1;            // at least 1
  };
  Progress GetProgress() const;
  int Status() const;
  uint64_t Downloaded() const;
  int DownloadId() const;

  // Tests: use this table as the bound download library.
  void UseDownloadInterface(const WebpullerInterface& table);

 private:
  friend int InstallWith(DriverPackage* package, const KitplanterInterface& setup, int class_bits,
                         const char16_t* bus_id, int* reboot);
  WebpullerInterface Table() const;
  // The finished file's path; empty when unknown or when the library's
  // answer did not fit the buffer (a cut path is never used).
  std::u16string FileName(const WebpullerInterface& table, int id) const;

  SDrvInfo record_;
  std::vector<std::u16string> hardware_ids_;
  std::u16string bus_id_;
  mutable std::mutex mu_;
  WebpullerInterface download_;
  bool bound_ = false;
  int download_id_ = 0;
};

// The setup type handed to the setup library for a package type.
int SetupTypeOf(uint8_t package_type);
// The compatible package of this machine's bitness (64-bit here).
PackageKey CompatiblePackageKey();

// Installs a finished package for a device with these class bits and this
// bus id (the calling device's; the package's own when null or empty).
// Binds the setup library from devwarden's own folder. 1 installed, else 0.
int InstallDrv(DriverPackage* package, int class_bits, const char16_t* bus_id, int* reboot);
// The same with a given setup table (the tests' seam).
int InstallWith(DriverPackage* package, const KitplanterInterface& setup, int class_bits, const char16_t* bus_id,
                int* reboot);

// The compatible package's download wait: polled every `poll`, given up
// after `limit`, and cut short by AbortInstallWaits (PNP_UnInit) until
// AllowInstallWaits (PNP_Init).
void SetCompatibleWait(std::chrono::milliseconds poll, std::chrono::milliseconds limit);
void AbortInstallWaits();
void AllowInstallWaits();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_DRIVER_PACKAGE_H_
