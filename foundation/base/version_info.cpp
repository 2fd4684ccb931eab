#include "foundation/base/version_info.h"

#include <cstdio>
#include <cstring>

#include "foundation/base/code_page.h"
#include "platform/module_path.h"
#include "platform/user_language.h"
#include "platform/version_record.h"

CBase_FileVersionInfo::CBase_FileVersionInfo() { std::memset(&fixed_, 0, sizeof fixed_); }

CBase_FileVersionInfo::~CBase_FileVersionInfo() = default;

void CBase_FileVersionInfo::Reset() {
  std::memset(&fixed_, 0, sizeof fixed_);
  version_text_.clear();
  for (auto& value : values_) value.clear();
}

bool CBase_FileVersionInfo::LoadFromModule(void* module, bool withStrings) {
  std::string path = platform::ModulePathOfHandle(module);
  if (path.empty()) return false;
  return LoadFromFile(MultiByteToWString(path, CP_UTF8), withStrings);
}

uint64_t CBase_FileVersionInfo::GetFileVersion64() const {
  return (uint64_t{fixed_.dwFileVersionMS} << 32) | fixed_.dwFileVersionLS;
}

uint16_t CBase_FileVersionInfo::GetVersionPart(int index) const {
  switch (index) {
    case 0: return static_cast<uint16_t>(fixed_.dwFileVersionLS & 0xFFFF);
    case 1: return static_cast<uint16_t>(fixed_.dwFileVersionLS >> 16);
    case 2: return static_cast<uint16_t>(fixed_.dwFileVersionMS & 0xFFFF);
    case 3: return static_cast<uint16_t>(fixed_.dwFileVersionMS >> 16);
    default: return 0;
  }
}

std::u16string CBase_FileVersionInfo::GetValue(ValueIndex index) const {
  return index >= 0 && index < kValueCount ? values_[index] : std::u16string();
}

bool CBase_FileVersionInfo::FindTranslation(const uint32_t* translations, size_t lengthBytes, uint16_t languageId,
                                            uint32_t* entry, bool allowPartial) {
  size_t count = translations == nullptr ? 0 : lengthBytes / sizeof(uint32_t);
  for (size_t i = 0; i < count; ++i) {
    if ((translations[i] & 0xFFFF) == languageId) {
      *entry = translations[i];
      return true;
    }
  }
  if (!allowPartial) return false;
  for (size_t i = 0; i < count; ++i) {
    if ((translations[i] & 0xFF) == (languageId & 0xFF)) {
      *entry = translations[i];
      return true;
    }
  }
  return false;
}

bool CBase_FileVersionInfo::ChooseTranslation(const uint32_t* translations, size_t lengthBytes, uint16_t languageId,
                                              uint32_t* entry) {
  if (translations == nullptr || lengthBytes < sizeof(uint32_t)) return false;
  if (FindTranslation(translations, lengthBytes, languageId, entry, false)) return true;
  if (FindTranslation(translations, lengthBytes, languageId, entry, true)) return true;
  if (FindTranslation(translations, lengthBytes, 0, entry, true)) return true;    // neutral
  if (FindTranslation(translations, lengthBytes, 9, entry, true)) return true;    // English
  *entry = translations[0];
  return true;
}

bool CBase_FileVersionInfo::QueryString(const std::vector<uint8_t>& data, const std::string& blockPath,
                                        const char* name, const char16_t** value, size_t* length) {
  char query[128];
  int n = std::snprintf(query, sizeof query, "%s%s", blockPath.c_str(), name);
  if (n < 0 || static_cast<size_t>(n) >= sizeof query) return false;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (!platform::QueryVersionValue(data, query, &bytes, &size)) return false;
  *value = reinterpret_cast<const char16_t*>(bytes);
  *length = size / sizeof(char16_t);
  return true;
}

bool CBase_FileVersionInfo::LoadFromFile(const std::u16string& path, bool withStrings) {
  std::vector<uint8_t> data;
  if (!platform::ReadVersionData(WStringToMultiByte(path, CP_UTF8), &data)) return false;

  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (platform::QueryVersionValue(data, "\\", &bytes, &size) && size == sizeof(FixedInfo)) {
    std::memcpy(&fixed_, bytes, sizeof fixed_);
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", GetVersionPart(3), GetVersionPart(2), GetVersionPart(1),
                  GetVersionPart(0));
    version_text_ = MultiByteToWString(text, CP_UTF8);
  }
  if (!withStrings) return true;

  if (!platform::QueryVersionValue(data, "\\VarFileInfo\\Translation", &bytes, &size)) return true;
  std::vector<uint32_t> translations(size / sizeof(uint32_t));
  if (!translations.empty()) std::memcpy(translations.data(), bytes, translations.size() * sizeof(uint32_t));
  uint32_t chosen = 0;
  if (!ChooseTranslation(translations.data(), translations.size() * sizeof(uint32_t),
                         platform::UserDefaultLanguageId(), &chosen))
    return true;
  char block[64];
  std::snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", chosen & 0xFFFF, chosen >> 16);
  for (int i = 0; i < kValueCount; ++i) {
    const char16_t* value = nullptr;
    size_t length = 0;
    if (QueryString(data, block, platform::kVersionValueNames[i], &value, &length)) {
      // The data may be unaligned for char16_t: copy bytewise.
      values_[i].assign(length, u'\0');
      std::memcpy(&values_[i][0], value, length * sizeof(char16_t));
    }
  }
  return true;
}
