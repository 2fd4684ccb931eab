// One installed app of the connected phone as the agent reports it, and
// the size text the lists show.
#pragma once

#include <cstdint>
#include <string>

struct SAppInfo {
  bool incomplete = true;      // until a reply element filled the record
  uint32_t key = 0;            // Utf16LeCrc32 of the package name
  std::u16string app_name;     // appName
  std::u16string size_text;    // appSize through FormatFileSize
  std::u16string package_name; // packageName
  std::u16string version_code; // versionCode, kept as text
  std::u16string version_name; // versionName
  std::u16string app_type;     // appType ("0" system)
  std::u16string store;        // packageStore
  std::u16string icon_path;    // empty until the icon file is known
  bool has_update = false;
  // Update data; only an update query fills them (none is made), so they
  // stay empty and no update can start without an address.
  std::u16string new_version_code;
  std::u16string new_version_name;
  std::u16string download_url;
};

// The name the pages use for the same record.
using AppRecord = SAppInfo;

// "%d KB" above 1024 bytes, "%.1f MB" from 1 MiB, "%.1f GB" from 1 GiB;
// empty for 1024 bytes or less and for negative counts.
std::u16string FormatFileSize(int64_t bytes);
