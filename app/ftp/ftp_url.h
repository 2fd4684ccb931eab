// Pure helpers of the FTP channel: URLs of remote paths, the schemes a
// plain download accepts, and the progress percentage.
#pragma once

#include <cstdint>
#include <string>

namespace ftp {

// Percent-encodes every byte of each '/'-separated segment except ASCII
// letters, digits and "-._~" ("a b/#1?.mp3" -> "a%20b/%231%3F.mp3").
std::string EncodeRemotePath(const std::string& path);

// A remote path that can go into an FTP command line: no CR, LF or NUL.
bool IsSafeRemotePath(const std::string& path);

// True for http://, https:// and ftp:// URLs (scheme in any case).
bool IsAllowedDownloadUrl(const std::string& url);

// now * 100 / total, truncated, 0 while the total is 0, at most 100.
int ProgressPercent(int64_t now, int64_t total);

}  // namespace ftp
