// The markers and the distribution id read from the installer's own file name.
#include <gtest/gtest.h>

#include "setupaide/setupaide_internal.h"
#include "setupaide/tests/test_support.h"

namespace {

struct NameCase {
  const char* path;
  int unid;  // with default 7
  bool slient;
  bool desk;
  bool menu;
};

const NameCase kNameCases[] = {
    {"/opt/x/Setup_2057_slient_d.exe", 2057, true, true, false},
    {"/opt/x/Setup_slient_2057.exe", 7, true, false, false},  // no number right after the first "_"
    {"Setup_2057_D", 2057, false, true, false},                // upper case marker
    {"Setup_ 42_m_d_SLIENT", 42, true, true, true},            // blanks before the number, all markers
    {"Setup_-3", -3, false, false, false},                     // signed
    {"Setup_0_m", 7, false, false, true},                      // 0 gives the default
    {"Setup", 7, false, false, false},                         // no "_"
    {"C:\\dl\\Setup_99.exe", 99, false, false, false},         // backslash path
    {"/a.b/Setup_12", 12, false, false, false},                // the dot of a folder is no extension
};

TEST(SetupaideOwnName, MarkersAndIdFromNameTable) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(c.path);
    const std::string name = setupaide::FileNameWithoutExtension(c.path);
    EXPECT_EQ(setupaide::UnidFromName(name, 7), c.unid);
    EXPECT_EQ(setupaide::NameHasMarker(name, "_slient"), c.slient);
    EXPECT_EQ(setupaide::NameHasMarker(name, "_d"), c.desk);
    EXPECT_EQ(setupaide::NameHasMarker(name, "_m"), c.menu);
  }
}

TEST(SetupaideOwnName, ExportsReadTheRunningProgramsFileName) {
  const std::string dir = setupaide_test::MakeTempDir();
  ASSERT_FALSE(dir.empty());
  const std::string copy = dir + "/Setup_2057_slient_d.exe";
  ASSERT_TRUE(setupaide_test::CopyExecutable(SETUPAIDE_PROBE, copy));
  int code = -1;
  EXPECT_EQ(setupaide_test::RunAndRead({copy, SETUPAIDE_LIBRARY, "names"}, &code), "2057 1 1 0\n");
  EXPECT_EQ(code, 0);
  setupaide_test::RemoveTree(dir);
}

}  // namespace
