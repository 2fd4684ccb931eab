// Host lookups with a bounded wait: dotted texts, a name the machine knows
// without any network (localhost, from the hosts file), and no name.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "host_lookup.h"

namespace udp {
namespace {

TEST(HostLookupTest, DottedNamedAndUnknownHosts) {
  struct Case {
    const char* host;
    bool found;
    const char* address;
  } cases[] = {
      {"127.0.0.1", true, "127.0.0.1"},
      {"localhost", true, "127.0.0.1"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    in_addr out{};
    EXPECT_EQ(LookupIPv4(c.host, &out, 2000), c.found);
    if (c.found) {
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &out, text, sizeof text);
      EXPECT_STREQ(text, c.address);
    }
  }
}

}  // namespace
}  // namespace udp
