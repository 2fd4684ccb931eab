// CBaseIni: a named INI file read and written with the private-profile
// rules of the system (sections and keys matched without regard to case,
// values trimmed and unquoted on reading; structures as hex bytes with a
// checksum byte). Writes replace the file atomically; reads and writes of
// one process are serialised.
#pragma once

#include <cstdint>
#include <string>

#include "utility/utility_export.h"

class UTILITY_API CBaseIni {
 public:
  CBaseIni();
  explicit CBaseIni(const char* path);
  CBaseIni& operator=(const CBaseIni& other);
  CBaseIni(const CBaseIni&) = default;
  ~CBaseIni();

  void Ini(const char* path);

  bool WriteStr(const char* section, const char* key, const char* value);
  bool WriteInt(const char* section, const char* key, int value);
  bool WriteStruct(const char* section, const char* key, const void* data, uint32_t size);
  // Reads at most 255 bytes; a length above 0 is assigned to out (which
  // otherwise keeps its value). Returns that length.
  uint32_t ReadStr(const char* section, const char* key, const char* defaultValue, std::string& out);
  int ReadInt(const char* section, const char* key, int defaultValue);
  int64_t ReadInt64(const char* section, const char* key, int64_t defaultValue);
  bool ReadStruct(const char* section, const char* key, void* data, uint32_t size);
  // Section names, each with its terminator, then one more terminator;
  // returns the count written without the last terminator.
  int GetAllSectionNames(char* buffer, uint32_t size);

 private:
  std::string m_path;
};
