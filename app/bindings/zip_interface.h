// The compression library Packwell: buffers and ZIP (APK) entries.
#pragma once

#include <string>

#include "outside/packwell/packwell.h"

// Threading: Load/Free on the owner's thread (the adb runner); UnZipFile may
// run on any thread while the binding is loaded.
class CZipInterface {
 public:
  // The instance of the adb runner: made on first call; Release deletes it.
  static CZipInterface* Instance();
  static void Release();

  CZipInterface() = default;
  ~CZipInterface();
  CZipInterface(const CZipInterface&) = delete;
  CZipInterface& operator=(const CZipInterface&) = delete;

  // Loads `path` when it has a character, else "Packwell.dll" in the program
  // folder, and binds QENCompress, QENDecompress and unZipFile. True only
  // when all three are bound; otherwise everything is freed and cleared.
  bool Load(const char16_t* path = nullptr);
  void Free();
  bool IsLoaded() const { return module_ != nullptr; }

  // Extracts `entry` of the ZIP `archive` into the file `destination`.
  // True when the library answered 0; false when it failed or is not bound.
  bool UnZipFile(const std::u16string& archive, const std::u16string& entry,
                 const std::u16string& destination) const;

 private:
  void* module_ = nullptr;
  PfnQENCompress compress_ = nullptr;
  PfnQENDecompress decompress_ = nullptr;
  PfnUnZipFile unzip_ = nullptr;
};
