// The texts the music, video and pictures pages show for a record: play
// times, file sizes, names split at their extension, month titles and the
// width of a count badge. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace media_text {

// "mm:ss" below one hour, else "hh:mm:ss" (hours not limited to two digits).
// A negative duration shows as 00:00.
std::u16string FormatDuration(int64_t seconds);

// Music sizes: kilobytes up to 1024 K ("1024.00K"), megabytes above ("1.00M").
std::u16string FormatMusicSize(int64_t bytes);
// Video sizes: K up to 1024 K, G above 1024 x 1024 K, M between.
std::u16string FormatVideoSize(int64_t bytes);

// The name before its last "." (the whole name when it has none).
std::u16string NameWithoutExtension(const std::u16string& name);
// The text after the last ".", in upper case (empty when there is no ".").
std::u16string ExtensionUpper(const std::u16string& name);

// "2026年3月": the local-time year and month of a time value in seconds.
std::u16string FormatMonth(int64_t key);

// A count badge is as wide as its text plus 5 pixels, but at least 18.
int CountBadgeWidth(int text_width);

}  // namespace media_text
