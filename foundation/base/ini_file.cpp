#include "foundation/base/ini_file.h"

#include "foundation/base/code_page.h"
#include "foundation/base/ini_engine.h"

namespace {

std::string Utf8(const char16_t* text) { return text == nullptr ? std::string() : WStringToMultiByte(text, CP_UTF8); }

// The first `limit` UTF-16 units of `text`, not splitting a surrogate pair.
std::u16string CutUnits(std::u16string text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
  text.resize(end);
  return text;
}

}  // namespace

void CIniFile::SetFilePath(const std::u16string& path) {
  std::lock_guard<std::mutex> hold(pathLock_);
  path_ = path;
}

std::u16string CIniFile::GetFilePath() const {
  std::lock_guard<std::mutex> hold(pathLock_);
  return path_;
}

std::string CIniFile::Path() const { return WStringToMultiByte(GetFilePath(), CP_UTF8); }

bool CIniFile::WriteText(const char16_t* section, const char16_t* key, const char16_t* value) {
  const std::string path = Path();
  if (path.empty() || section == nullptr || key == nullptr) return false;
  std::string text = Utf8(value);
  return base::ini::WriteProfileString(path, Utf8(section), Utf8(key), value != nullptr ? &text : nullptr);
}

bool CIniFile::WriteInt(const char16_t* section, const char16_t* key, int32_t value) {
  std::u16string text = MultiByteToWString(std::to_string(value), CP_UTF8);
  return WriteText(section, key, text.c_str());
}

size_t CIniFile::ReadText(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                          std::u16string& out) const {
  const std::string path = Path();
  std::string value;
  std::u16string result;
  if (!path.empty() && section != nullptr && key != nullptr &&
      base::ini::HasProfileValue(path, Utf8(section), Utf8(key), &value)) {
    result = MultiByteToWString(value, CP_UTF8);
  } else if (defaultValue != nullptr) {
    result = defaultValue;
  }
  result = CutUnits(result, kReadLimit);
  if (!result.empty()) out = result;
  return result.size();
}

int32_t CIniFile::ReadInt(const char16_t* section, const char16_t* key, int32_t defaultValue) const {
  const std::string path = Path();
  std::string value;
  if (path.empty() || section == nullptr || key == nullptr ||
      !base::ini::HasProfileValue(path, Utf8(section), Utf8(key), &value) || value.empty())
    return defaultValue;
  return base::ini::ParseProfileInt(value);
}

void CIniFile::ReadSection(const char16_t* section, char16_t* buffer, size_t size) const {
  if (buffer == nullptr || size == 0) return;
  if (size == 1) {
    buffer[0] = 0;
    return;
  }
  size_t at = 0;
  const std::string path = Path();
  if (!path.empty() && section != nullptr) {
    for (const auto& entry : base::ini::GetProfileSection(path, Utf8(section))) {
      std::u16string line = MultiByteToWString(entry.first + "=" + entry.second, CP_UTF8);
      // Room for this line's NUL and the closing NUL.
      if (at + 2 > size) break;
      line = CutUnits(line, size - at - 2);
      line.copy(buffer + at, line.size());
      at += line.size();
      buffer[at++] = 0;
      if (at + 1 >= size) break;
    }
  }
  if (at == 0) buffer[at++] = 0;  // an empty list is two NULs
  buffer[at] = 0;
}
