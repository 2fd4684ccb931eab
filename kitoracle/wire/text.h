// Text between the callers' UTF-16 and the wire's UTF-8. Pure functions.
#ifndef KITORACLE_WIRE_TEXT_H_
#define KITORACLE_WIRE_TEXT_H_

#include <cstddef>
#include <string>

namespace kitoracle {

// Characters before the first zero (at most `limit`).
size_t WideLength(const char16_t* text, size_t limit = SIZE_MAX);

// UTF-8 of a zero-terminated wide text (null: empty), at most maxBytes bytes,
// cut on a character boundary; the size comes from the text itself, so
// Chinese text (three bytes a character) never overruns anything.
std::string ToUtf8(const char16_t* text, size_t maxBytes = SIZE_MAX);

// Writes the UTF-16 form of `utf8` into out[capacity] (characters), cut so
// that a terminating zero always fits and no surrogate pair is split.
// Returns the characters written (without the zero); nothing for a null
// buffer or a capacity below 1.
size_t CopyToWide(const std::string& utf8, char16_t* out, size_t capacity);

// 32 lower-case hexadecimal digits of 16 bytes, high nibble first.
std::string Hex16(const unsigned char* bytes);

}  // namespace kitoracle

#endif  // KITORACLE_WIRE_TEXT_H_
