// Loads libsetupaide.so by path and calls one export, printing its result:
//   setupaide_probe <library> names          -> "<unid> <slient> <desk> <menu>"
//   setupaide_probe <library> inno [args...] -> "<result>"
//   setupaide_probe <library> kill_folder <folder> -> "<ended>"
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::u16string Widen(const char* text) {
  std::u16string out;
  for (const char* p = text; *p != '\0'; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  void* library = dlopen(argv[1], RTLD_NOW);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 3;
  }
  const std::string call = argv[2];
  if (call == "names") {
    auto unid = reinterpret_cast<int (*)(int)>(dlsym(library, "GetUnidByFileName"));
    auto slient = reinterpret_cast<bool (*)()>(dlsym(library, "IsSlientName"));
    auto desk = reinterpret_cast<bool (*)()>(dlsym(library, "IsCreateDeskShort"));
    auto menu = reinterpret_cast<bool (*)()>(dlsym(library, "IsCreateMenuShort"));
    if (!unid || !slient || !desk || !menu) return 4;
    std::printf("%d %d %d %d\n", unid(7), slient() ? 1 : 0, desk() ? 1 : 0, menu() ? 1 : 0);
  } else if (call == "inno") {
    auto inno = reinterpret_cast<int (*)()>(dlsym(library, "InnoSlientSetup"));
    if (!inno) return 4;
    std::printf("%d\n", inno());
  } else if (call == "kill_folder" && argc > 3) {
    auto kill = reinterpret_cast<int (*)(const char16_t*)>(dlsym(library, "KillProcessByFolder"));
    if (!kill) return 4;
    std::printf("%d\n", kill(Widen(argv[3]).c_str()));
  } else {
    return 2;
  }
  std::fflush(stdout);
  dlclose(library);
  return 0;
}
