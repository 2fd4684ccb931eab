#include <gtest/gtest.h>

#include "foundation/base/singleton.h"

namespace {

struct Manager : base::Sigleton<Manager> {
  static inline int made = 0;
  Manager() { ++made; }
  int value = 0;
};

TEST(SingletonTest, OneInstanceMadeOnFirstUseAndDeletedByItsOwner) {
  Manager::made = 0;
  Manager* first = Manager::GetInstance();
  first->value = 7;
  EXPECT_EQ(Manager::GetInstance(), first);
  EXPECT_EQ(Manager::made, 1);
  Manager::DestroyInstance();
  EXPECT_EQ(Manager::GetInstance()->value, 0);  // a fresh one after teardown
  EXPECT_EQ(Manager::made, 2);
  Manager::DestroyInstance();
  Manager::DestroyInstance();  // nothing left: harmless
}

}  // namespace
