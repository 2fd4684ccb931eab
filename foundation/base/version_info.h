// CBase_FileVersionInfo: reads a binary's version record (see
// platform/version_record.h): the fixed record, the file version text and
// twelve string values in the translation that suits the user's language.
// Not thread-safe; load once into a fresh object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBase_FileVersionInfo {
 public:
  // The 52-byte fixed record (VS_FIXEDFILEINFO).
  struct FixedInfo {
    uint32_t dwSignature;
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS;
    uint32_t dwProductVersionLS;
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
  };
  static_assert(sizeof(FixedInfo) == 52, "fixed version record");

  enum ValueIndex {
    kCompanyName, kFileDescription, kFileVersion, kInternalName, kLegalCopyright, kOriginalFileName,
    kProductName, kProductVersion, kComments, kLegalTrademarks, kPrivateBuild, kSpecialBuild, kValueCount
  };

  CBase_FileVersionInfo();
  virtual ~CBase_FileVersionInfo();

  // A module handle from platform::LoadLibraryFrom (dlopen); null means the
  // program itself.
  bool LoadFromModule(void* module, bool withStrings);
  bool LoadFromFile(const std::u16string& path, bool withStrings);

  uint64_t GetFileVersion64() const;
  uint16_t GetVersionPart(int index) const;  // 0 build .. 3 major; others 0
  std::u16string GetFileVersionText() const { return version_text_; }
  std::u16string GetLegalCopyright() const { return values_[kLegalCopyright]; }
  std::u16string GetValue(ValueIndex index) const;
  const FixedInfo& GetFixedInfo() const { return fixed_; }

  virtual void Reset();

  // One search over a translation array (entries: language id | code page
  // << 16): a whole-id match, then, when `allowPartial`, a low-byte match.
  static bool FindTranslation(const uint32_t* translations, size_t lengthBytes, uint16_t languageId,
                              uint32_t* entry, bool allowPartial);
  // Queries blockPath + name; *value/*length (UTF-16 units) point into data.
  static bool QueryString(const std::vector<uint8_t>& data, const std::string& blockPath, const char* name,
                          const char16_t** value, size_t* length);
  // The translation chosen for `languageId`; false for an empty array.
  static bool ChooseTranslation(const uint32_t* translations, size_t lengthBytes, uint16_t languageId,
                                uint32_t* entry);

 private:
  FixedInfo fixed_;
  std::u16string version_text_;
  std::u16string values_[kValueCount];
};
