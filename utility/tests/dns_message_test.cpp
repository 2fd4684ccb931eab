#include "utility/dns_message.h"
#include <gtest/gtest.h>
TEST(DnsMessage, Dummy) {}
