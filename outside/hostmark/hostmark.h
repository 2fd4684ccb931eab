// libHostmark.so: the machine identifier, 16 bytes that stay the same for
// this machine and differ between machines.
#pragma once

#include <cstdint>

#define HOSTMARK_API extern "C" __attribute__((visibility("default")))

// Fills `identifier` (16 bytes). 1 on success, 0 for a null buffer.
HOSTMARK_API int HOSTMARKGetIdentify(unsigned char* identifier);

using PfnHOSTMARKGetIdentify = int (*)(unsigned char* identifier);
