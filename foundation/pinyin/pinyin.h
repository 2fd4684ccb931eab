// Pinyin initials of Chinese text, for grouping and sorting contacts.
// Input is narrow text read as GB2312/GBK double-byte text (the caller
// converts to code page 936 first). Pure functions; thread-safe.
#pragma once

#include <string>

// The upper-case pinyin syllable of a GB2312 code (row * 100 + column, rows
// and columns from 1), or "?" when the code has none. Two syllables end in
// a GB2312 letter: "L" + A8 B9 (lü) and "N" + A8 B5 (nü).
std::string PinyinOfGbCode(int code);

// One character per character of the text: ASCII bytes as they are, the
// lower-case initial of a GB2312 character ("_" when it has no syllable);
// other double-byte characters and stray bytes add nothing (a trail byte
// below 0x80 then stands for itself).
std::string GbkToPinyin(const std::string& text);

// The first character of GbkToPinyin, ASCII letters upper-cased; empty
// when that is empty.
std::string GetPinyinInitial(const std::string& text);
