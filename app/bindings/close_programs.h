// The "-close" start: ends every process that runs from the program folder.
#pragma once

// Loads "setupaide.dll" from the program folder, calls its
// KillProcessByFolder once with the program folder (without its trailing
// '/') and frees the library. The calling process is never ended.
// False when the library or the export is missing.
bool KillProgramFolderProcesses();
