// The shared proxy record under a predictable name: an object another user
// made first, or one others may open, is refused (no proxy); the user's own
// is used.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "proxy_settings.h"

namespace udp {
namespace {

TEST(SharedProxyRecordTest, OnlyTheUsersOwnPrivateObjectIsUsed) {
  struct Case {
    const char* name;
    uid_t owner;  // 0: the test's user
    mode_t mode;  // 0: made by the record itself
    bool used;
  } cases[] = {
      {"made by the record", 0, 0, true},
      {"the user's own, 0600", 0, 0600, true},
      {"the user's own, open to all", 0, 0666, false},
      {"made first by another user", 4242, 0600, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = "/pd-udp-proxy-test-" + std::to_string(getpid());
    shm_unlink(name.c_str());
    if (c.mode != 0) {
      int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(ftruncate(fd, sizeof(SharedProxyRecord)), 0);
      ASSERT_EQ(fchmod(fd, c.mode), 0);
      if (c.owner != 0) {
        ASSERT_EQ(fchown(fd, c.owner, c.owner), 0);
      }
      close(fd);
    }
    {
      SharedProxy proxy(name);
      EXPECT_EQ(proxy.IsMapped(), c.used);
      ProxySettings settings;
      settings.ip = "127.0.0.1";
      settings.port = 1080;
      settings.type = 1;
      EXPECT_EQ(proxy.Write(settings), c.used);
      EXPECT_EQ(proxy.Read().port, c.used ? 1080 : 0);
    }
    shm_unlink(name.c_str());
  }
}

}  // namespace
}  // namespace udp
