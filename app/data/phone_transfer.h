// The moves of the media managers between the PC and the phone over the
// FTP channel (CFtpCmdTool): phone paths are relative to the channel's
// root and go as UTF-8; a download lands under a temporary name in the
// target's folder (mkstemp: O_EXCL, mode 0600) and is renamed over the
// target only when it arrived whole, so a failed or cut transfer leaves
// nothing behind and the target is replaced, never followed through a link.
//
// Threading: any thread (each transfer owns its curl handle).
#pragma once

#include <string>

struct FtpTransferContext;

// The text after the last '/' (the whole text when it has none).
std::u16string FileNameOf(const std::u16string& path);
// A name that can be joined to a folder: not empty, not "." or "..", no
// '/' and no NUL.
bool IsPlainFileName(const std::u16string& name);
// A phone file's name that an export may give a file in the user's folder:
// a plain name that does not begin with "." (no hidden file appears there).
bool IsExportFileName(const std::u16string& name);

// Uploads the local file to `phone_path`; refused (false) unless the local
// path names a regular file and `phone_path` ends in a plain file name.
bool UploadToPhone(const std::u16string& local_path, const std::u16string& phone_path, FtpTransferContext* context);

// Downloads `phone_path` to `local_path` through a temporary name. With
// `private_file` the result keeps mode 0600 (caches); otherwise it is made
// 0644 (exports into the user's folders).
bool DownloadFromPhone(const std::u16string& phone_path, const std::u16string& local_path,
                       FtpTransferContext* context, bool private_file);
