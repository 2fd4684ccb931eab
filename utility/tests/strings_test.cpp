#include "utility/utility.h"
#include <gtest/gtest.h>
TEST(Strings, Dummy) {}
