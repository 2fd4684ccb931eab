// The private-profile functions of the system, over our own INI engine.
// Internal to the library. The pure text functions come first; the file
// functions below them read, change and atomically replace a file under one
// process-wide lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace utility_internal {

// The value of key in section (trimmed, one pair of surrounding quotes
// removed), or nothing when absent.
std::optional<std::string> IniFindValue(const std::string& content, const std::string& section,
                                        const std::string& key);
std::vector<std::string> IniSectionNames(const std::string& content);
// Sets key to value (adding section and key when absent); a null value
// deletes the key; a null key deletes the section.
std::string IniSetValue(const std::string& content, const std::string& section, const char* key,
                        const char* value);

// File forms (paths in the system's spelling).
uint32_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, uint32_t size, const char* path);
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* path);
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* path);
bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, uint32_t size,
                               const char* path);
bool GetPrivateProfileStruct(const char* section, const char* key, void* data, uint32_t size,
                             const char* path);
uint32_t GetPrivateProfileSectionNames(char* buffer, uint32_t size, const char* path);

}  // namespace utility_internal
