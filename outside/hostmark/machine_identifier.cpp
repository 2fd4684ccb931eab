#include "machine_identifier.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace hostmark {
namespace {

uint64_t Fnv1a64(const std::string& salt, const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : salt + text) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

std::string ReadFirstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::string();
  return Trim(line);
}

}  // namespace

Identifier DeriveIdentifier(const std::string& machine_id_text) {
  const std::string text = Trim(machine_id_text);
  const uint64_t high = Fnv1a64("Hostmark/1:", text);
  const uint64_t low = Fnv1a64("Hostmark/2:", text);
  Identifier id{};
  for (int i = 0; i < 8; ++i) {
    id[i] = static_cast<uint8_t>(high >> (56 - 8 * i));
    id[8 + i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  }
  return id;
}

std::string ReadMachineIdText(const std::vector<std::string>& files) {
  for (const std::string& path : files) {
    std::string text = ReadFirstLine(path.c_str());
    if (!text.empty()) return text;
  }
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  char hostid[32];
  std::snprintf(hostid, sizeof hostid, "%08lx", static_cast<unsigned long>(gethostid()));
  return std::string(host) + "/" + hostid;
}

}  // namespace hostmark
