#include <gtest/gtest.h>
#include <elf.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "foundation/base/code_page.h"
#include "foundation/base/version_info.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "platform/version_record.h"
#include "temp_dir.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::u16string Wide(const std::string& s) { return MultiByteToWString(s, CP_UTF8); }

class LanguageScope {
 public:
  explicit LanguageScope(const char* lang) {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", lang, 1);
  }
  ~LanguageScope() { ::unsetenv("LANG"); }
};

TEST(VersionInfoTest, ReadsTheTestProgramsOwnRecord) {
  for (const char* lang : {"zh_CN.UTF-8", "en_US.UTF-8", "C"}) {
    LanguageScope scope(lang);
    CBase_FileVersionInfo info;
    ASSERT_TRUE(info.LoadFromModule(nullptr, true)) << lang;
    EXPECT_EQ(info.GetFileVersionText(), u"2.1.0.35");
    EXPECT_EQ(info.GetFileVersion64(), (uint64_t{2} << 48) | (uint64_t{1} << 32) | 35u);
    EXPECT_EQ(info.GetVersionPart(3), 2);
    EXPECT_EQ(info.GetVersionPart(2), 1);
    EXPECT_EQ(info.GetVersionPart(1), 0);
    EXPECT_EQ(info.GetVersionPart(0), 35);
    EXPECT_EQ(info.GetVersionPart(7), 0);
    EXPECT_EQ(info.GetFixedInfo().dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.GetFixedInfo().dwFileType, 1u);
    // The only translation (0x0804) is chosen in every language.
    EXPECT_EQ(info.GetValue(CBase_FileVersionInfo::kCompanyName), u"Zelvik");
    EXPECT_EQ(info.GetValue(CBase_FileVersionInfo::kProductName), u"Zelvik手游助手");
    EXPECT_EQ(info.GetValue(CBase_FileVersionInfo::kFileVersion), u"2.1.0.35");
    EXPECT_EQ(info.GetValue(CBase_FileVersionInfo::kInternalName), u"foundation_base_tests");
    EXPECT_FALSE(info.GetLegalCopyright().empty());
    EXPECT_TRUE(info.GetValue(CBase_FileVersionInfo::kPrivateBuild).empty());
    info.Reset();
    EXPECT_TRUE(info.GetFileVersionText().empty());
    EXPECT_EQ(info.GetFileVersion64(), 0u);
  }
}

TEST(VersionInfoTest, WithoutStringsOnlyTheFixedRecord) {
  CBase_FileVersionInfo info;
  ASSERT_TRUE(info.LoadFromFile(Wide(platform::ExecutablePath()), false));
  EXPECT_EQ(info.GetFileVersionText(), u"2.1.0.35");
  EXPECT_TRUE(info.GetValue(CBase_FileVersionInfo::kCompanyName).empty());
}

TEST(VersionInfoTest, QueryPathsTable) {
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(platform::ReadVersionData(platform::ExecutablePath(), &data, &error)) << error;
  struct Case {
    const char* path;
    bool found;
    size_t size;
  } cases[] = {
      {"\\", true, 52},
      {"\\VarFileInfo\\Translation", true, 4},
      {"\\varfileinfo\\translation", true, 4},
      {"\\StringFileInfo\\080404B0\\CompanyName", true, 12},
      {"\\StringFileInfo\\080404b0\\companyname", true, 12},
      {"\\StringFileInfo\\040904B0\\CompanyName", false, 0},
      {"\\StringFileInfo\\080404B0\\PrivateBuild", false, 0},
      {"\\StringFileInfo\\080404B0\\NoSuchName", false, 0},
      {"\\StringFileInfo\\080404B0", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    const uint8_t* value = nullptr;
    size_t size = 0;
    EXPECT_EQ(platform::QueryVersionValue(data, c.path, &value, &size), c.found) << c.path;
    if (c.found) {
      EXPECT_EQ(size, c.size) << c.path;
    }
  }
  uint32_t translation = 0;
  const uint8_t* value = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::QueryVersionValue(data, "\\VarFileInfo\\Translation", &value, &size));
  std::memcpy(&translation, value, 4);
  EXPECT_EQ(translation, 0x0804u | (1200u << 16));
}

TEST(VersionInfoTest, TranslationChoiceTable) {
  struct Case {
    std::vector<uint32_t> translations;
    uint16_t language;
    uint32_t chosen;
  } cases[] = {
      {{0x04B00409}, 0x0804, 0x04B00409},                          // only English: step 4 (low byte 9)
      {{0x04B00409, 0x04B00804}, 0x0804, 0x04B00804},              // exact
      {{0x04B00409, 0x04B01004}, 0x0804, 0x04B01004},              // same low byte
      {{0x04B00409, 0x04B00000}, 0x0804, 0x04B00000},              // neutral before English
      {{0x04B00411, 0x04B00409}, 0x0804, 0x04B00409},              // English before the first
      {{0x04B00411, 0x04B00412}, 0x0804, 0x04B00411},              // else the first
  };
  for (const Case& c : cases) {
    uint32_t chosen = 0;
    ASSERT_TRUE(CBase_FileVersionInfo::ChooseTranslation(c.translations.data(), c.translations.size() * 4,
                                                         c.language, &chosen));
    EXPECT_EQ(chosen, c.chosen);
  }
  uint32_t chosen = 0;
  EXPECT_FALSE(CBase_FileVersionInfo::ChooseTranslation(nullptr, 0, 0x0804, &chosen));
  uint32_t one = 0x04B00804;
  EXPECT_FALSE(CBase_FileVersionInfo::FindTranslation(&one, 4, 0x1004, &chosen, false));
  EXPECT_TRUE(CBase_FileVersionInfo::FindTranslation(&one, 4, 0x1004, &chosen, true));
}

// Copies of the test program, damaged in one way each, fail cleanly.
TEST(VersionInfoTest, TruncatedAndDamagedCopiesFailCleanly) {
  TempDir dir;
  const std::string original = ReadFile(platform::ExecutablePath());
  ASSERT_GT(original.size(), sizeof(Elf64_Ehdr));
  Elf64_Ehdr header;
  std::memcpy(&header, original.data(), sizeof header);

  // Offset of the version section's header in the section table.
  size_t versionHeader = 0;
  {
    Elf64_Shdr names;
    std::memcpy(&names, original.data() + header.e_shoff + header.e_shstrndx * sizeof(Elf64_Shdr), sizeof names);
    for (size_t i = 0; i < header.e_shnum; ++i) {
      Elf64_Shdr s;
      size_t at = header.e_shoff + i * sizeof(Elf64_Shdr);
      std::memcpy(&s, original.data() + at, sizeof s);
      if (std::strcmp(original.data() + names.sh_offset + s.sh_name, ".pd_version") == 0) versionHeader = at;
    }
  }
  ASSERT_NE(versionHeader, 0u);

  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"empty", [](std::string& b) { b.clear(); }},
      {"ten bytes", [](std::string& b) { b.resize(10); }},
      {"header only", [](std::string& b) { b.resize(sizeof(Elf64_Ehdr)); }},
      {"half", [](std::string& b) { b.resize(b.size() / 2); }},
      {"last byte cut", [](std::string& b) { b.resize(b.size() - 1); }},
      {"not elf", [](std::string& b) { b[1] = 'X'; }},
      {"section table far away",
       [](std::string& b) {
         uint64_t far = ~uint64_t{0} - 16;
         std::memcpy(&b[offsetof(Elf64_Ehdr, e_shoff)], &far, 8);
       }},
      {"bad name table index",
       [](std::string& b) {
         uint16_t bad = 0xFFFE;
         std::memcpy(&b[offsetof(Elf64_Ehdr, e_shstrndx)], &bad, 2);
       }},
      {"section data beyond the file",
       [versionHeader](std::string& b) {
         uint64_t far = b.size() - 10;
         std::memcpy(&b[versionHeader + offsetof(Elf64_Shdr, sh_offset)], &far, 8);
       }},
      {"section too small",
       [versionHeader](std::string& b) {
         uint64_t small = 16;
         std::memcpy(&b[versionHeader + offsetof(Elf64_Shdr, sh_size)], &small, 8);
       }},
      {"name offset beyond the table",
       [versionHeader](std::string& b) {
         uint32_t far = 0x7FFFFFFF;
         std::memcpy(&b[versionHeader + offsetof(Elf64_Shdr, sh_name)], &far, 4);
       }},
  };
  for (const Case& c : cases) {
    std::string bytes = original;
    c.damage(bytes);
    const std::string path = dir / "copy";
    WriteFile(path, bytes);
    std::vector<uint8_t> data;
    std::string error;
    EXPECT_FALSE(platform::ReadVersionData(path, &data, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    CBase_FileVersionInfo info;
    EXPECT_FALSE(info.LoadFromFile(Wide(path), true)) << c.name;
    EXPECT_TRUE(info.GetFileVersionText().empty()) << c.name;
  }
  // The undamaged copy reads back.
  WriteFile(dir / "good", original);
  CBase_FileVersionInfo info;
  EXPECT_TRUE(info.LoadFromFile(Wide(dir / "good"), true));
  EXPECT_FALSE(info.LoadFromFile(Wide(dir / "missing"), true));
}

TEST(VersionInfoTest, LibraryCarriesItsOwnRecordAndTitle) {
  std::string folder = platform::ExecutablePath();
  folder.resize(folder.rfind('/'));
  std::string error;
  void* probe = platform::LoadLibraryFrom(folder, "foundation_probe", &error);
  ASSERT_NE(probe, nullptr) << error;
  using TitleFn = void (*)(char*, size_t);
  auto title = reinterpret_cast<TitleFn>(platform::FindSymbol(probe, "ProbeModuleTitle"));
  ASSERT_NE(title, nullptr);
  char text[64];
  title(text, sizeof text);
  EXPECT_STREQ(text, "foundation_probe");  // "lib" and ".so" stripped
  CBase_FileVersionInfo info;
  ASSERT_TRUE(info.LoadFromModule(probe, true));
  EXPECT_EQ(info.GetFixedInfo().dwFileType, 2u);
  EXPECT_EQ(info.GetValue(CBase_FileVersionInfo::kOriginalFileName), u"libfoundation_probe.so");
  platform::FreeLibrary(probe);
}

}  // namespace
