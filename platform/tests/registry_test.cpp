// The registry stand-in's value texts and key lookup.
#include "platform/registry.h"

#include <gtest/gtest.h>

namespace {

using platform::RegValue;

TEST(PlatformRegistry, ValueTextTable) {
  struct Case {
    const char* text;
    bool valid;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"dword:00010457", true, platform::kRegDword, {0x57, 0x04, 0x01, 0x00}},
      {" DWORD: 1 ", true, platform::kRegDword, {1, 0, 0, 0}},
      {"dword:123456789", false, 0, {}},  // more than 32 bits
      {"dword:", false, 0, {}},
      {"qword:0102030405060708", true, platform::kRegQword, {8, 7, 6, 5, 4, 3, 2, 1}},
      {"hex:57,04,01", true, platform::kRegBinary, {0x57, 0x04, 0x01}},
      {"hex:", true, platform::kRegBinary, {}},
      {"hex:5g", false, 0, {}},
      {"sz:Zé", true, platform::kRegSz, {'Z', 0, 0xE9, 0, 0, 0}},
      {"\"plain\"", true, platform::kRegSz, {'p', 0, 'l', 0, 'a', 0, 'i', 0, 'n', 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto value = platform::ParseRegValueText(c.text);
    ASSERT_EQ(value.has_value(), c.valid);
    if (!value) continue;
    EXPECT_EQ(value->type, c.type);
    EXPECT_EQ(value->data, c.data);
  }
}

TEST(PlatformRegistry, KeysAndNamesIgnoreCaseAndSectionsStaySeparate) {
  const std::string file =
      "; the registry of one user\n"
      "[HKEY_CURRENT_USER\\Software\\A]\n"
      "Value=dword:1\n"
      "[hkey_current_user\\software\\b]\r\n"
      "\"Quoted Name\" = dword:2\r\n";
  EXPECT_EQ(platform::FindRegValue(file, "HKEY_CURRENT_USER\\Software\\A", "value")->data[0], 1);
  EXPECT_EQ(platform::FindRegValue(file, "HKEY_CURRENT_USER\\Software\\B", "quoted name")->data[0], 2);
  EXPECT_FALSE(platform::FindRegValue(file, "HKEY_CURRENT_USER\\Software\\B", "Value"));
  EXPECT_FALSE(platform::FindRegValue(file, "HKEY_LOCAL_MACHINE\\Software\\A", "Value"));
  EXPECT_TRUE(platform::HasRegKey(file, "hkey_current_user\\software\\b"));
  EXPECT_FALSE(platform::HasRegKey(file, "HKEY_LOCAL_MACHINE\\Software\\A"));
  EXPECT_FALSE(platform::HasRegKey(file, "HKEY_CURRENT_USER\\Software"));
}

}  // namespace
