// What the exports of setupaide are built from; pure parts are tested alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace setupaide {

// UTF-16 <-> UTF-8 at the edges of the exports (malformed input becomes U+FFFD).
std::string ToUtf8(const char16_t* text);
std::string ToUtf8(const std::u16string& text);

// A line for whoever watches the process (standard error on this platform).
void DebugOutput(const std::string& line);

// The program's own file name: the executable's path after its last '/'
// (else its last '\', else whole), without its extension.
std::string OwnFileName();
std::string FileNameWithoutExtension(const std::string& path);

// The signed decimal number after the first "_" of `name`; `default_id`
// when there is no "_", no number, or the number is 0.
int UnidFromName(const std::string& name, int default_id);
// True when `name` contains `marker`, without regard to case (ASCII).
bool NameHasMarker(const std::string& name, const std::string& marker);

// Every file under `folder` (recursively), as folder + "/" + name. Names that
// start with "." are skipped; symbolic links are neither listed nor followed.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// Sends SIGTERM to every listed process (never the caller), waits for them and
// writes "Kill Faild %s \n" for each one that did not end. Returns how many ended.
struct KillTarget {
  int pid;
  std::string shown_path;
};
int EndTargets(const std::vector<KillTarget>& targets);

// The installer path inside an installer's command line: the text between the
// last comma before the last double quote and that quote. Nothing when the
// command line holds no quote, no comma before it, or the path is empty.
std::optional<std::string> InstallerPathFromCommandLine(const std::string& command_line);
// What InnoSlientSetup does with a command line: 0 with nothing to start, or
// 1 with the installer path to start silently.
struct SilentRestartPlan {
  int result = 0;
  std::string installer;
};
SilentRestartPlan PlanSilentRestart(const std::string& command_line);
// The process's command line, its arguments joined by single spaces.
std::string OwnCommandLine();
// Starts `program` with `args`, detached from the caller; true when it started.
bool RunProgram(const std::string& program, const std::vector<std::string>& args);

// A desktop entry file's text for a program, and writing one.
std::string DesktopEntryText(const std::string& target, const std::string& name);
// The entry file name for a link name: ".lnk" becomes ".desktop"; a name
// without either ending gets ".desktop". Nothing for a name that holds '/'.
std::optional<std::string> DesktopEntryFileName(const std::string& link_name);
// Writes the entry for `target` as `folder`/`link_name` (through a temporary
// file renamed into place); 1 when written, 0 otherwise.
int CreateShortcut(const std::string& target, const std::string& folder,
                   const std::string& link_name);

}  // namespace setupaide
