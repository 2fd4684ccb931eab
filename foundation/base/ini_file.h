// CIniFile: the profile-file operations on one INI file (see ini_engine.h for
// the format rules). Wide (UTF-16) names and values; the file is UTF-8.
// Thread safety: any thread, SetFilePath included; writes of this process
// are serialised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class CIniFile {
 public:
  static constexpr size_t kReadLimit = 255;  // characters a ReadText delivers

  CIniFile() = default;
  explicit CIniFile(const std::u16string& path) : path_(path) {}

  void SetFilePath(const std::u16string& path);
  std::u16string GetFilePath() const;

  // Writes the value; a null value deletes the key. True on success.
  bool WriteText(const char16_t* section, const char16_t* key, const char16_t* value);
  bool WriteInt(const char16_t* section, const char16_t* key, int32_t value);

  // At most 255 characters of the key's value, or of `defaultValue` (may be
  // null) when the key is missing. When that is not empty, `out` receives it;
  // otherwise `out` is left unchanged. Returns the number of characters.
  size_t ReadText(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                  std::u16string& out) const;
  // Blanks, optional sign, leading digits; `defaultValue` when the key is
  // missing or empty.
  int32_t ReadInt(const char16_t* section, const char16_t* key, int32_t defaultValue) const;

  // Fills `buffer` (size in characters) with "key=value" entries, each ended
  // by a NUL, the list ended by a second NUL; entries that do not fit are
  // cut, and the list is always double-NUL terminated (size >= 2).
  void ReadSection(const char16_t* section, char16_t* buffer, size_t size) const;

 private:
  std::string Path() const;  // UTF-8, empty when no path is set

  mutable std::mutex pathLock_;  // guards path_; held only to copy or replace it
  std::u16string path_;
};
