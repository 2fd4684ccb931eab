#include "app/bindings/close_programs.h"

#include <string>

#include "app/bindings/outside_library.h"
#include "foundation/base/code_page.h"
#include "platform/dynamic_library.h"
#include "setupaide/setupaide.h"

bool KillProgramFolderProcesses() {
  void* library = app::LoadOutsideLibrary("setupaide.dll");
  if (library == nullptr) return false;
  auto kill = reinterpret_cast<PfnKillProcessByFolder>(platform::FindSymbol(library, "KillProcessByFolder"));
  if (kill != nullptr) {
    std::string folder = app::ProgramFolder();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    kill(AnsiToWString(folder).c_str());
  }
  platform::FreeLibrary(library);
  return kill != nullptr;
}
