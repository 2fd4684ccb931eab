#include "system_info.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace devwarden {
namespace {

using Bytes = std::vector<uint8_t>;

// One structure: type, its formatted area (after the 4-byte header) and
// its strings.
Bytes Structure(uint8_t type, std::initializer_list<uint8_t> body, std::initializer_list<const char*> strings) {
  Bytes s = {type, static_cast<uint8_t>(4 + body.size()), 0x00, 0x01};
  for (uint8_t b : body) s.push_back(b);
  for (const char* text : strings) {
    for (const char* c = text; *c; ++c) s.push_back(static_cast<uint8_t>(*c));
    s.push_back(0);
  }
  if (strings.size() == 0) s.push_back(0);
  s.push_back(0);
  return s;
}

// A System Information structure of SMBIOS 2.4 (27 bytes formatted).
Bytes System24(const char* maker, const char* product, const char* version) {
  return Structure(1, {1, 2, 3, 4, /*uuid*/ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, /*wake*/ 6, /*sku*/ 5,
                       /*family*/ 6},
                   {maker, product, version, "SN-1", "SKU-9", "Family"});
}

Bytes Enclosure(uint8_t chassis) { return Structure(3, {1, chassis, 2, 3, 4}, {"Case maker", "v2", "CSN", "TAG"}); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(SmbiosTest, SystemAndEnclosureTexts) {
  const Bytes table = Join({Structure(0, {1, 2, 0, 0}, {"BIOS vendor", "1.0"}), System24("Maker", "Box 5", "Rev A"),
                            Enclosure(10), Structure(127, {}, {})});
  bool found = false;
  SmbiosSystemInfo info = ParseSmbiosTable(table.data(), table.size(), &found);
  EXPECT_TRUE(found);
  EXPECT_EQ(info.manufacturer, "Maker");
  EXPECT_EQ(info.product_name, "Box 5");
  EXPECT_EQ(info.version, "Rev A");
  EXPECT_EQ(info.serial_number, "SN-1");
  EXPECT_EQ(info.sku_number, "SKU-9");
  EXPECT_EQ(info.chassis_kind, "NoteBook");
  EXPECT_EQ(info.enclosure_manufacturer, "Case maker");
  EXPECT_EQ(info.enclosure_version, "v2");
  EXPECT_EQ(info.enclosure_serial, "CSN");
  EXPECT_EQ(info.enclosure_asset_tag, "TAG");
}

TEST(SmbiosTest, ChassisKinds) {
  struct {
    uint8_t chassis;
    const char* kind;
  } cases[] = {{10, "NoteBook"}, {14, "NoteBook"}, {0x8A, "Desktop"}, {3, "Desktop"}, {9, "Desktop"}};
  for (const auto& c : cases) {
    const Bytes table = Enclosure(c.chassis);
    EXPECT_EQ(ParseSmbiosTable(table.data(), table.size()).chassis_kind, c.kind) << int(c.chassis);
  }
}

TEST(SmbiosTest, OldShortStructuresAreReadOnlyWithinTheirFormattedArea) {
  // SMBIOS 2.0: type 1 holds four string numbers (8 bytes), so the SKU's
  // offset falls into the strings that follow it.
  const Bytes table = Join({Structure(1, {1, 2, 3, 4}, {"Old maker", "Old box", "1", "SN"}), Enclosure(14)});
  const SmbiosSystemInfo info = ParseSmbiosTable(table.data(), table.size());
  EXPECT_EQ(info.manufacturer, "Old maker");
  EXPECT_EQ(info.serial_number, "SN");
  EXPECT_EQ(info.sku_number, "");
  // A type 3 of 6 bytes holds the maker and the chassis type only.
  const Bytes short_enclosure = Structure(3, {1, 10}, {"Case maker", "v2"});
  const SmbiosSystemInfo e = ParseSmbiosTable(short_enclosure.data(), short_enclosure.size());
  EXPECT_EQ(e.chassis_kind, "NoteBook");
  EXPECT_EQ(e.enclosure_manufacturer, "Case maker");
  EXPECT_EQ(e.enclosure_version, "");
  EXPECT_EQ(e.enclosure_asset_tag, "");
}

TEST(SmbiosTest, StringNumbersAndRepeatedStructures) {
  // Number 0 is no string; a number past the last string gives nothing.
  const Bytes first = Structure(1, {0, 9, 1, 2}, {"Only", "Two"});
  const Bytes table = Join({first, System24("Second", "Ignored", "x")});
  const SmbiosSystemInfo info = ParseSmbiosTable(table.data(), table.size());
  EXPECT_EQ(info.manufacturer, "");
  EXPECT_EQ(info.product_name, "");
  EXPECT_EQ(info.version, "Only");
  EXPECT_EQ(info.serial_number, "Two");
}

TEST(SmbiosTest, BrokenTablesEndTheWalkSafely) {
  const Bytes good = System24("Maker", "Box", "1");
  struct Case {
    const char* name;
    Bytes bytes;
    bool found;
  } cases[] = {
      {"empty", {}, false},
      {"one byte", {1}, false},
      {"formatted area past the end", {1, 40, 0, 0, 1, 2}, false},
      {"formatted length below the header", Join({{1, 2, 0, 0, 0, 0}, good}), false},
      {"strings without their double zero", {1, 8, 0, 0, 1, 2, 3, 4, 'a', 0, 'b'}, false},
      {"a good structure before a cut one", Join({good, {3, 9, 0, 0, 1}}), true},
  };
  for (const Case& c : cases) {
    bool found = !c.found;
    ParseSmbiosTable(c.bytes.data(), c.bytes.size(), &found);
    EXPECT_EQ(found, c.found) << c.name;
  }
  bool found = true;
  ParseSmbiosTable(nullptr, 10, &found);
  EXPECT_FALSE(found);
}

// Every cut of a good table, and random bytes, stay within the data (the
// sanitizer builds watch the reads).
TEST(SmbiosTest, CutAndRandomTablesAreReadWithinTheirBytes) {
  const Bytes good = Join({System24("Maker", "Box", "1"), Enclosure(10), Structure(127, {}, {})});
  for (size_t n = 0; n <= good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    cut.shrink_to_fit();
    ParseSmbiosTable(cut.data(), cut.size());
  }
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, static_cast<uint8_t>(seed >> 16); };
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes(next() % 64 + next() % 64);
    for (auto& b : bytes) b = next() % 4 == 0 ? 0 : next();
    if (bytes.size() > 1) bytes[0] = next() % 2 ? 1 : 3;
    ParseSmbiosTable(bytes.data(), bytes.size());
  }
  SUCCEED();
}

class FirmwareFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/devwarden-dmi-XXXXXX";
    root_ = mkdtemp(tmpl);
    for (const char* d : {"/sys", "/sys/firmware", "/sys/firmware/dmi", "/sys/firmware/dmi/tables", "/sys/class",
                          "/sys/class/dmi", "/sys/class/dmi/id"})
      ::mkdir((root_ + d).c_str(), 0755);
    std::ofstream(root_ + "/sys/class/dmi/id/sys_vendor") << "Kernel maker\n";
    std::ofstream(root_ + "/sys/class/dmi/id/product_name") << "Kernel box\n";
    std::ofstream(root_ + "/sys/class/dmi/id/product_version") << "K1\n";
    std::ofstream(root_ + "/sys/class/dmi/id/chassis_type") << "10\n";
  }
  void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }
  std::string root_;
};

TEST_F(FirmwareFolderTest, TheRawTableFirstThenTheKernelsTexts) {
  SmbiosSystemInfo info;
  ASSERT_TRUE(ReadSmbiosSystemInfo(root_, &info));  // no raw table: the texts
  EXPECT_EQ(info.manufacturer, "Kernel maker");
  EXPECT_EQ(info.version, "K1");
  EXPECT_EQ(info.chassis_kind, "NoteBook");
  EXPECT_EQ(info.serial_number, "");
  const Bytes table = Join({System24("Raw maker", "Raw box", "R1"), Enclosure(3)});
  std::ofstream(root_ + "/sys/firmware/dmi/tables/DMI", std::ios::binary)
      .write(reinterpret_cast<const char*>(table.data()), static_cast<std::streamsize>(table.size()));
  ASSERT_TRUE(ReadSmbiosSystemInfo(root_ + "/", &info));
  EXPECT_EQ(info.manufacturer, "Raw maker");
  EXPECT_EQ(info.chassis_kind, "Desktop");
  // A raw table without the wanted structures falls back to the texts.
  const Bytes other = Structure(0, {1, 2, 0, 0}, {"BIOS"});
  std::ofstream(root_ + "/sys/firmware/dmi/tables/DMI", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(other.data()), static_cast<std::streamsize>(other.size()));
  ASSERT_TRUE(ReadSmbiosSystemInfo(root_, &info));
  EXPECT_EQ(info.manufacturer, "Kernel maker");
  SmbiosSystemInfo untouched;
  untouched.manufacturer = "kept";
  EXPECT_FALSE(ReadSmbiosSystemInfo(root_ + "/nowhere", &untouched));
  EXPECT_EQ(untouched.manufacturer, "kept");
}

}  // namespace
}  // namespace devwarden
