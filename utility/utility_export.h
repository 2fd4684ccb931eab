// Export marker of libutility.so. The library is built with hidden
// visibility; every class and function that udp and relaylink may use
// carries UTILITY_API, and nothing else leaves the library.
#pragma once

#define UTILITY_API __attribute__((visibility("default")))

// Keeps a private helper of an exported class inside the library.
#define UTILITY_HIDDEN __attribute__((visibility("hidden")))
