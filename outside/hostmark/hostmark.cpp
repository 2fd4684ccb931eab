// The export of libHostmark.so.
#include "hostmark.h"

#include <cstring>

#include "machine_identifier.h"

int HOSTMARKGetIdentify(unsigned char* identifier) {
  if (identifier == nullptr) return 0;
  const hostmark::Identifier id = hostmark::DeriveIdentifier(hostmark::ReadMachineIdText());
  std::memcpy(identifier, id.data(), id.size());
  return 1;
}
