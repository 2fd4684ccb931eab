#include <gtest/gtest.h>
#include <dirent.h>

#include "foundation/base/code_page.h"
#include "foundation/base/ini_engine.h"
#include "foundation/base/ini_file.h"
#include "temp_dir.h"

#include <atomic>
#include <thread>

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::u16string Wide(const std::string& s) { return MultiByteToWString(s, CP_UTF8); }

class IniTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_ / "setting.ini";
  CIniFile ini_{Wide(path_)};
};

TEST(IniEngineTest, ReadSemanticsTable) {
  const std::string text =
      "\xEF\xBB\xBF"
      "top=ignored\r\n"
      "[Setting]\r\n"
      "  Name = Zelvik 手游 \r\n"
      "; comment=not a key\r\n"
      "quoted=\"  spaced  \"\r\n"
      "single='x'\r\n"
      "novalue\r\n"
      "empty=\r\n"
      "name=second wins not\r\n"
      "[other]\n"
      "k=v\n"
      "[SETTING]\n"
      "late=in a repeated section\n";
  struct Case {
    const char* section;
    const char* key;
    bool found;
    const char* value;
  } cases[] = {
      {"setting", "name", true, "Zelvik 手游"},  // case-insensitive, trimmed, first key wins
      {"SETTING", "NAME", true, "Zelvik 手游"},
      {"setting", "quoted", true, "  spaced  "},
      {"setting", "single", true, "x"},
      {"setting", "empty", true, ""},
      {"setting", "comment", false, ""},
      {"setting", "; comment", false, ""},
      {"setting", "novalue", false, ""},
      {"setting", "top", false, ""},
      {"setting", "late", false, ""},  // only the first section of a name counts
      {"other", "k", true, "v"},
      {"missing", "k", false, ""},
  };
  for (const Case& c : cases) {
    std::string value;
    EXPECT_EQ(base::ini::FindValue(text, c.section, c.key, &value), c.found) << c.section << "/" << c.key;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.key;
    }
  }
}

TEST(IniEngineTest, ParseProfileIntTable) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"42", 42},   {"  -17", -17}, {"+8", 8},       {"12abc", 12}, {"abc", 0},
               {"-", 0},     {"0x10", 0},    {"4294967295", -1}, {"2147483648", INT32_MIN}};
  for (const Case& c : cases) EXPECT_EQ(base::ini::ParseProfileInt(c.text), c.value) << c.text;
}

TEST(IniEngineTest, EditsKeepTheRestOfTheFile) {
  bool changed = false;
  const std::string text = "; head\r\n[a]\r\nKey=1\r\n\r\n[b]\r\nx=2\r\n";
  const std::string nine = "9";
  EXPECT_EQ(base::ini::SetValue(text, "A", "key", &nine, &changed),
            "; head\r\n[a]\r\nKey=9\r\n\r\n[b]\r\nx=2\r\n");  // the file's spelling and line ends stay
  std::string v = "3";
  EXPECT_EQ(base::ini::SetValue(text, "a", "y", &v, &changed), "; head\r\n[a]\r\nKey=1\r\ny=3\r\n\r\n[b]\r\nx=2\r\n");
  EXPECT_EQ(base::ini::SetValue(text, "a", "key", nullptr, &changed), "; head\r\n[a]\r\n\r\n[b]\r\nx=2\r\n");
  EXPECT_TRUE(changed);
  EXPECT_EQ(base::ini::SetValue(text, "c", "k", nullptr, &changed), text);
  EXPECT_FALSE(changed);
  EXPECT_EQ(base::ini::SetValue("[a]\nk=1", "c", "k", &v, &changed), "[a]\nk=1\n[c]\nk=3\n");
}

// What is damaged beyond reading (and so kept aside by its owner) and what
// merely holds lines the engine skips.
TEST(IniEngineTest, IsDamagedTextTable) {
  struct Case {
    const char* label;
    std::string text;
    bool damaged;
  } cases[] = {
      {"empty", "", false},
      {"blank lines", "\r\n  \r\n\t\n", false},
      {"comments only", "; nothing yet\r\n", false},
      {"a section", "[setting]\r\nsms_tips=0\r\n", false},
      {"marked, non-ASCII", "\xEF\xBB\xBF[setting]\r\ndownload_path=/home/u/下载\r\n", false},
      {"stray lines beside a section", "garbage line\r\n[setting]\r\nx=1\r\nmore garbage\r\n", false},
      {"keys without a section", "sms_tips=0\r\n", true},
      {"text without a section", "this is not a settings file\n", true},
      {"a zero byte", std::string("[setting]\r\nx=1\0\r\n", 17), true},
      {"a control byte", "[setting]\r\nx=\x01\r\n", true},
      {"not UTF-8", "[setting]\r\nx=\xC3\x28\r\n", true},
      {"cut UTF-8 at the end", "[setting]\r\nx=\xE4\xB8", true},
      {"random bytes", "\x9F\x12\xFEz[q\xC0\x80", true},
  };
  for (const Case& c : cases) EXPECT_EQ(base::ini::IsDamagedText(c.text), c.damaged) << c.label;
}

TEST_F(IniTest, RoundTripsThroughTheFile) {
  EXPECT_TRUE(ini_.WriteText(u"setting", u"path", u"/home/用户/下载"));
  EXPECT_TRUE(ini_.WriteInt(u"setting", u"count", -12));
  EXPECT_TRUE(ini_.WriteText(u"Setting", u"PATH", u"/tmp/新"));  // same key, other case
  std::u16string out;
  EXPECT_EQ(ini_.ReadText(u"SETTING", u"path", u"", out), 6u);
  EXPECT_EQ(out, u"/tmp/新");
  EXPECT_EQ(ini_.ReadInt(u"setting", u"count", 5), -12);
  EXPECT_EQ(ReadFile(path_), "[setting]\npath=/tmp/新\ncount=-12\n");
  // Nothing but the file is left behind by the atomic writes.
  DIR* dir = ::opendir(dir_.path().c_str());
  int entries = 0;
  while (struct dirent* e = ::readdir(dir)) entries += e->d_name[0] != '.';
  ::closedir(dir);
  EXPECT_EQ(entries, 1);
}

TEST_F(IniTest, NullValueDeletesTheKey) {
  ini_.WriteText(u"s", u"a", u"1");
  ini_.WriteText(u"s", u"b", u"2");
  EXPECT_TRUE(ini_.WriteText(u"s", u"A", nullptr));
  EXPECT_EQ(ReadFile(path_), "[s]\nb=2\n");
  EXPECT_TRUE(ini_.WriteText(u"s", u"gone", nullptr));  // nothing to delete is no failure
  CIniFile missing(Wide(dir_ / "none.ini"));
  EXPECT_TRUE(missing.WriteText(u"s", u"k", nullptr));
  EXPECT_FALSE(testing_support::ReadFile(dir_ / "none.ini").size() > 0);
}

TEST_F(IniTest, ReadTextDefaultsAndLimits) {
  std::u16string out = u"unchanged";
  EXPECT_EQ(ini_.ReadText(u"s", u"missing", u"", out), 0u);
  EXPECT_EQ(out, u"unchanged");
  EXPECT_EQ(ini_.ReadText(u"s", u"missing", u"x", out), 1u);
  EXPECT_EQ(out, u"x");
  EXPECT_EQ(ini_.ReadText(u"s", u"missing", nullptr, out), 0u);
  // A value longer than 255 characters arrives cut to 255, never overrunning.
  std::u16string longValue(300, u'字');
  ASSERT_TRUE(ini_.WriteText(u"s", u"long", longValue.c_str()));
  EXPECT_EQ(ini_.ReadText(u"s", u"long", u"", out), 255u);
  EXPECT_EQ(out, std::u16string(255, u'字'));
  EXPECT_EQ(ini_.ReadInt(u"s", u"missing", 7), 7);
  ini_.WriteText(u"s", u"blank", u"");
  EXPECT_EQ(ini_.ReadInt(u"s", u"blank", 7), 7);
  ini_.WriteText(u"s", u"digits", u" 15 apples");
  EXPECT_EQ(ini_.ReadInt(u"s", u"digits", 7), 15);
}

TEST_F(IniTest, RefusesNamesAndValuesThatBreakTheFile) {
  EXPECT_FALSE(ini_.WriteText(u"s", u"a=b", u"1"));
  EXPECT_FALSE(ini_.WriteText(u"s]", u"a", u"1"));
  EXPECT_FALSE(ini_.WriteText(u"s", u"a", u"line\nbreak"));
  EXPECT_FALSE(ini_.WriteText(u"", u"a", u"1"));
  CIniFile noPath;
  EXPECT_FALSE(noPath.WriteText(u"s", u"a", u"1"));
}

TEST_F(IniTest, ReadSectionDoubleNulList) {
  WriteFile(path_, "[apps]\ncom.a = 1\ncom.b=two\n[x]\ny=z\n");
  char16_t buffer[64];
  ini_.ReadSection(u"APPS", buffer, 64);
  EXPECT_EQ(std::u16string(buffer, 19), std::u16string(u"com.a=1\0com.b=two\0\0", 19));

  // Too small: cut, still double-NUL terminated inside the buffer.
  std::u16string small(12, u'#');
  ini_.ReadSection(u"apps", &small[0], 12);
  EXPECT_EQ(small, std::u16string(u"com.a=1\0co\0\0", 12));

  char16_t empty[4] = {u'#', u'#', u'#', u'#'};
  ini_.ReadSection(u"none", empty, 4);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(empty[1], 0);
}

TEST(IniFileTest, PathChangesWhileOtherThreadsUseTheFile) {
  // One thread moves the file between two paths (one per phone) while
  // another reads the path: it always sees one of the two whole.
  const std::u16string first = u"/tmp/" + std::u16string(300, u'a') + u".ini";
  const std::u16string second = u"/tmp/" + std::u16string(40, u'b') + u".ini";
  CIniFile ini(first);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      const std::u16string path = ini.GetFilePath();
      if (path != first && path != second) ++torn;
      ++reads;
    }
  });
  for (int i = 0; reads < 100000; ++i) ini.SetFilePath(i % 2 ? first : second);
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
