// The completion service's reply read into names: a pure function over the
// bytes as they came from the network.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The names of a completion reply (UTF-8 text): a JSON array whose elements
// are all strings. Anything else (invalid JSON, nesting too deep for the
// reader, another root, an element that is not a string) gives false and
// no names; nothing is thrown.
bool ParseAppNames(const char* body, size_t length, std::vector<std::u16string>* names);
