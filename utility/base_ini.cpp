// CBaseIni over the private-profile functions.
#include "utility/base_ini.h"

#include <cstdio>
#include <cstdlib>

#include "utility/internal/private_profile.h"

namespace pp = utility_internal;

CBaseIni::CBaseIni() = default;
CBaseIni::CBaseIni(const char* path) : m_path(path ? path : "") {}
CBaseIni& CBaseIni::operator=(const CBaseIni& other) {
  m_path = other.m_path;
  return *this;
}
CBaseIni::~CBaseIni() = default;

void CBaseIni::Ini(const char* path) { m_path = path ? path : ""; }

bool CBaseIni::WriteStr(const char* section, const char* key, const char* value) {
  return pp::WritePrivateProfileString(section, key, value, m_path.c_str());
}

bool CBaseIni::WriteInt(const char* section, const char* key, int value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%d", value);
  return WriteStr(section, key, text);
}

bool CBaseIni::WriteStruct(const char* section, const char* key, const void* data, uint32_t size) {
  return pp::WritePrivateProfileStruct(section, key, data, size, m_path.c_str());
}

uint32_t CBaseIni::ReadStr(const char* section, const char* key, const char* defaultValue,
                           std::string& out) {
  char text[256];
  const uint32_t n =
      pp::GetPrivateProfileString(section, key, defaultValue, text, sizeof(text), m_path.c_str());
  if (n > 0) out.assign(text, n);
  return n;
}

int CBaseIni::ReadInt(const char* section, const char* key, int defaultValue) {
  return pp::GetPrivateProfileInt(section, key, defaultValue, m_path.c_str());
}

int64_t CBaseIni::ReadInt64(const char* section, const char* key, int64_t defaultValue) {
  char fallback[32];
  std::snprintf(fallback, sizeof(fallback), "%lld", static_cast<long long>(defaultValue));
  char text[48];
  pp::GetPrivateProfileString(section, key, fallback, text, sizeof(text), m_path.c_str());
  return static_cast<int64_t>(std::strtoll(text, nullptr, 10));
}

bool CBaseIni::ReadStruct(const char* section, const char* key, void* data, uint32_t size) {
  return pp::GetPrivateProfileStruct(section, key, data, size, m_path.c_str());
}

int CBaseIni::GetAllSectionNames(char* buffer, uint32_t size) {
  return static_cast<int>(pp::GetPrivateProfileSectionNames(buffer, size, m_path.c_str()));
}
