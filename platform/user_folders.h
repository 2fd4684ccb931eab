// The user's folders on this platform: the XDG base folders, the user's
// desktop and download folders (xdg-user-dirs) and the temporary folder.
// Each answer is read from the environment at every call, so tests move a
// folder by setting HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_DESKTOP_DIR,
// XDG_DOWNLOAD_DIR or TMPDIR. No trailing '/' on any answer.
#pragma once

#include <optional>
#include <string>

namespace platform {

// $HOME, else the home folder of the user's password entry, else "/".
std::string HomeDir();
// $XDG_CONFIG_HOME when absolute, else HomeDir() + "/.config".
std::string ConfigHomeDir();
// $XDG_DATA_HOME when absolute, else HomeDir() + "/.local/share".
std::string DataHomeDir();
// DataHomeDir() + "/applications": where the desktop lists the user's programs.
std::string ApplicationsDir();
// The user's desktop: $XDG_DESKTOP_DIR, else XDG_DESKTOP_DIR of
// ConfigHomeDir() + "/user-dirs.dirs", else HomeDir() + "/Desktop".
std::string DesktopDir();
// The user's download folder, as DesktopDir() with XDG_DOWNLOAD_DIR and "/Downloads".
std::string DownloadDir();
// $TMPDIR when absolute, else "/tmp".
std::string TempDir();

// Reads one entry of a user-dirs.dirs text (shell assignments such as
// XDG_DESKTOP_DIR="$HOME/Desktop"): the value with a leading "$HOME"
// replaced by `home`. Nothing for a missing entry or a relative value.
std::optional<std::string> ParseUserDirsEntry(const std::string& text, const std::string& key,
                                              const std::string& home);

}  // namespace platform
