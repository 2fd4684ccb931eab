// File names of downloads: from the server's Content-Disposition header or
// from the URL, made safe to join to a folder. Pure functions.
#pragma once

#include <string>

namespace xldl {

// The name a server offers as a file name in a folder: the part after the
// last '/' or '\', without control characters and surrounding blanks; empty
// when what is left is "", "." or "..".
std::string SafeFileName(const std::string& text);

// The file name the caller chose, kept as it is (quotes, blanks and '\'
// are ordinary characters of a name here) apart from control characters,
// which are dropped, and what stands before a '/'; empty when what is left
// is "", "." or "..".
std::string CallerFileName(const std::string& text);

// The file name a Content-Disposition value names ("filename*=UTF-8''..."
// preferred over "filename=..."), made safe; empty when it names none.
std::string NameFromContentDisposition(const std::string& value);

// The last path segment of a URL (query and fragment dropped, %XX decoded),
// made safe; empty when the path has none.
std::string NameFromUrl(const std::string& url);

}  // namespace xldl
