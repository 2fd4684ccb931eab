#include "known_android.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "android_table_key.h"
#include "base/blowfish.h"

namespace devwarden {

extern const uint8_t kAndroidTableData[];
extern const size_t kAndroidTableSize;

namespace {

std::vector<uint8_t> Encipher(const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  data.resize(Blowfish::PaddedLength(data.size()), 0);
  Blowfish bf;
  bf.SetKey(reinterpret_cast<const uint8_t*>(kAndroidTableKey), std::strlen(kAndroidTableKey));
  bf.Encrypt(data.data(), data.size());
  return data;
}

TEST(KnownAndroidTest, BuiltInTableHoldsTheListedPhones) {
  std::set<uint32_t> set;
  EXPECT_EQ(LoadAndroidTable(kAndroidTableData, kAndroidTableSize, &set), 1);
  EXPECT_TRUE(set.count(0x4ee718d1u));  // 18d1:4ee7
  EXPECT_TRUE(set.count(0xff482717u));  // 2717:ff48
  EXPECT_FALSE(set.count(0x12a805acu));
}

TEST(KnownAndroidTest, InvalidEntriesAreSkipped) {
  const std::string xml =
      "<mobile_devices>"
      "<v value=\"18d1\"><android><n>zz12</n><n>123456789</n><n>4ee2</n><n></n></android></v>"
      "<v value=\"xyz\"><android><n>1111</n></android></v>"
      "<v value=\"04e8\"><android><n>6860</n></android></v>"
      "</mobile_devices>";
  std::vector<uint8_t> data = Encipher(xml);
  std::set<uint32_t> set;
  EXPECT_EQ(LoadAndroidTable(data.data(), data.size(), &set), 1);
  EXPECT_EQ(set, (std::set<uint32_t>{0x4ee218d1u, 0x686004e8u}));
}

TEST(KnownAndroidTest, EmptyOrBrokenTablesAddNothing) {
  std::set<uint32_t> set;
  uint8_t one = 0;
  EXPECT_EQ(LoadAndroidTable(&one, 0, &set), 0);  // length 0: nothing deciphered, nothing written
  EXPECT_EQ(LoadAndroidTable(nullptr, 16, &set), 0);
  std::vector<uint8_t> broken = Encipher("<mobile_devices><v value=\"18d1\">");
  EXPECT_EQ(LoadAndroidTable(broken.data(), broken.size(), &set), 0);
  std::vector<uint8_t> garbage(13, 0x5A);  // not a whole block, not enciphered XML
  EXPECT_EQ(LoadAndroidTable(garbage.data(), garbage.size(), &set), 0);
  EXPECT_TRUE(set.empty());
}

TEST(KnownAndroidTest, LoadingTwiceAddsNothing) {
  EXPECT_EQ(ParseAndroidXML(), 1);
  const size_t size = KnownAndroidSet().size();
  EXPECT_EQ(ParseAndroidXML(), 1);
  EXPECT_EQ(KnownAndroidSet().size(), size);
}

}  // namespace
}  // namespace devwarden
