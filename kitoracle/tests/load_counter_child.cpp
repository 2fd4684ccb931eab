// A process that keeps libkitoracle.so initialised: it starts its own search
// service simulator (whose dispatch server knows no servers), calls DSInit,
// prints the user count that kitoracle logged for its relaylink binding, and
// keeps the library until its standard input ends. Started twice at once by
// the load counter test. argv[1]: its own program folder (with log/).
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "search_sim.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string folder = argv[1];
  setenv("PHONEDECK_PROGRAM_DIR", folder.c_str(), 1);
  setenv("TMPDIR", folder.c_str(), 1);
  setenv("PHONEDECK_UDP_PROXY_SHM", ("/pd-kitoracle-count-" + std::to_string(getpid())).c_str(), 1);
  setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
  setenv("PHONEDECK_RELAYLINK_STAT_INI", (folder + "/stat.ini").c_str(), 1);
  searchsim::SearchServiceSim sim;
  if (!sim.Start()) return 3;
  sim.SetDispatchEmpty(true);
  sim.ExportEnvironment();
  void* library = dlopen(PD_BIN_DIR "/libkitoracle.so", RTLD_NOW | RTLD_LOCAL);
  auto init = library ? reinterpret_cast<int (*)()>(dlsym(library, "DSInit")) : nullptr;
  auto close = library ? reinterpret_cast<void (*)()>(dlsym(library, "DSClose")) : nullptr;
  if (init == nullptr || close == nullptr || init() != 0) return 4;
  std::ifstream in(folder + "/log/kitoracle.log", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string key = "InitUDPInterface g_udpindex[";
  size_t at = text.str().find(key);
  std::printf("%s\n", at == std::string::npos ? "none" : text.str().substr(at + key.size(), 1).c_str());
  std::fflush(stdout);
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  close();
  dlclose(library);
  sim.Stop();
  return 0;
}
