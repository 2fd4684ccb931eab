// The union ID from the registry stand-in.
#include <gtest/gtest.h>

#include "app/config/config_mgr.h"
#include "app/config/tests/user_home.h"

namespace {

class UnionId : public config_test::TempUser {};

TEST_F(UnionId, RegistryValueCases) {
  struct Case {
    const char* file;  // nullptr: no registry file at all
    uint16_t id;
  };
  const Case cases[] = {
      {nullptr, 1110},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:00010457\n", 1111},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:00000000\n", 1110},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=hex:09,08\n", 0x0809},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=hex:\n", 1110},           // no data
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=sz:2057\n", 1110},        // a text
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=qword:0000000000000457\n", 1110},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:zz\n", 1110},       // malformed
      {"[hkey_current_user\\software\\zelviksoft\\zelvik]\nunionid=dword:2057\n", 0x2057},   // any case
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Other]\nUnionID=dword:2057\n", 1110},
      // The machine key comes first.
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:1\n"
       "[HKEY_LOCAL_MACHINE\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:2\n", 2},
      // A machine key without the value still decides: no fall-back to the user.
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:1\n"
       "[HKEY_LOCAL_MACHINE\\Software\\ZelvikSoft\\Zelvik]\nOther=dword:2\n", 1110},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:1\n"
       "[HKEY_LOCAL_MACHINE\\Software\\ZelvikSoft\\Zelvik]\n", 1110},
      {"[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:1\n"
       "[HKEY_LOCAL_MACHINE\\Software\\ZelvikSoft\\Other]\nUnionID=dword:2\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(no file)");
    std::remove((home_ + "/config/Zelvik/registry.ini").c_str());
    if (c.file != nullptr) {
      ASSERT_NO_FATAL_FAILURE(WriteFile("config/Zelvik/registry.ini", c.file));
    }
    EXPECT_EQ(ReadUnionIDFromRegistry(), c.id);
  }
}

TEST_F(UnionId, IsCachedForTheProcess) {
  WriteFile("config/Zelvik/registry.ini", "[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:0457\n");
  const uint16_t first = GetUnionID();
  WriteFile("config/Zelvik/registry.ini", "[HKEY_CURRENT_USER\\Software\\ZelvikSoft\\Zelvik]\nUnionID=dword:0458\n");
  EXPECT_EQ(GetUnionID(), first);
}

}  // namespace
