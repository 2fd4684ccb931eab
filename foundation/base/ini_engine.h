// Our INI engine, with the semantics of the Windows profile functions:
// - sections and keys compare without regard to (ASCII) case; the first
//   occurrence of a section or key wins;
// - keys and values are trimmed of blanks; one pair of matching quotes
//   ('...' or "...") around a value is removed when read;
// - lines starting with ';' (after blanks) are comments; lines before the
//   first section and lines without '=' hold no key;
// - files are UTF-8 (a leading BOM is skipped); both LF and CR LF line ends
//   are read, and an edit keeps the file's own line end style;
// - a write replaces the file atomically (temporary file in the same folder,
//   then rename); a missing file reads as empty.
// The text functions are pure; the file functions serialise read-modify-write
// cycles of this process with one lock.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace base {
namespace ini {

using Entries = std::vector<std::pair<std::string, std::string>>;

// Over file text.
bool FindValue(const std::string& text, const std::string& section, const std::string& key, std::string* value);
Entries SectionEntries(const std::string& text, const std::string& section);
// The text after setting section/key to *value, or deleting the key when
// value is null. *changed tells whether anything changed.
std::string SetValue(const std::string& text, const std::string& section, const std::string& key,
                     const std::string* value, bool* changed);

// Whether a file's text is damaged beyond reading: a zero byte, another
// control character than tab, CR, LF, VT or FF, bytes that are not UTF-8,
// or lines that are neither blank nor comments without any section header
// (nothing in it could be read). An empty or blank text is not damaged; nor
// is a readable file with stray lines beside its sections.
bool IsDamagedText(const std::string& text);

// Integer as the profile functions read it: blanks, an optional sign, then
// the leading decimal digits (no digits: 0); wraps at 32 bits.
int32_t ParseProfileInt(const std::string& value);

// Over files.
bool ReadTextFile(const std::string& path, std::string* text);  // false when missing/unreadable
bool WriteTextFileAtomically(const std::string& path, const std::string& text);
std::string GetProfileString(const std::string& path, const std::string& section, const std::string& key,
                             const std::string& defaultValue);
bool HasProfileValue(const std::string& path, const std::string& section, const std::string& key,
                     std::string* value);
Entries GetProfileSection(const std::string& path, const std::string& section);
// Writes (or with a null value deletes) a key; true on success, also when
// there was nothing to delete.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string* value);

}  // namespace ini
}  // namespace base
