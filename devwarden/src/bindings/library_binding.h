// Loading a library of the system by its name from a folder and looking its
// procedures up by name into typed slots.
#ifndef DEVWARDEN_SRC_BINDINGS_LIBRARY_BINDING_H_
#define DEVWARDEN_SRC_BINDINGS_LIBRARY_BINDING_H_

#include <string>

#include "platform/dynamic_library.h"

namespace devwarden {

// Looks `name` up in `library` into `slot` (null when missing).
template <typename Fn>
void BindSlot(void* library, Fn*& slot, const char* name) {
  slot = reinterpret_cast<Fn*>(platform::FindSymbol(library, name));
}

}  // namespace devwarden

#define DEVWARDEN_BIND(lib, table, name) ::devwarden::BindSlot((lib), (table).name, #name)

#endif  // DEVWARDEN_SRC_BINDINGS_LIBRARY_BINDING_H_
