// Readable, stable names for the cases of a parameterised test, in place of
// gtest's default index and the bytes of the parameter object:
//   INSTANTIATE_TEST_SUITE_P(Xml, Utf8Tests, Values(...), NamedBy(&Utf8Case::label));
//   INSTANTIATE_TEST_SUITE_P(Xml, Decode, Values(...), NumberedBy(&DecodeCase::in));
// NamedBy uses a field that names the case (unique within the table);
// NumberedBy puts the case's index before a field that only describes it.
// Letters and digits are kept, every other run of characters becomes one
// '_' (none at the end). A name is never digits alone.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace testing_support {

inline std::string IdentifierOf(const std::string& text, size_t limit = 40) {
  std::string out;
  for (unsigned char c : text) {
    if (out.size() >= limit) break;
    const bool keep = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (keep) out += static_cast<char>(c);
    else if (out.empty() || out.back() != '_') out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

inline std::string CaseText(const char* text) { return text ? text : ""; }
inline std::string CaseText(const std::string& text) { return text; }
inline std::string CaseText(const char16_t* text) {
  std::string out;
  for (; text && *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '_';
  return out;
}

template <typename Case, typename Field>
auto NamedBy(Field Case::*field) {
  return [field](const ::testing::TestParamInfo<Case>& info) {
    const std::string name = IdentifierOf(CaseText(info.param.*field));
    return name.empty() ? "unnamed_" + std::to_string(info.index) : name;
  };
}

template <typename Case, typename Field>
auto NumberedBy(Field Case::*field) {
  return [field](const ::testing::TestParamInfo<Case>& info) {
    // Never digits alone: ctest's discovery would put the parameter's bytes there.
    const std::string text = IdentifierOf(CaseText(info.param.*field));
    if (text.empty()) return "empty_" + std::to_string(info.index);
    return std::to_string(info.index) + (text[0] == '_' ? "" : "_") + text;
  };
}

}  // namespace testing_support
