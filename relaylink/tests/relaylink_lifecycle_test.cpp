// relaylink's life in a process: started, finished and started again, then
// left at exit without its last Fini; and a last Fini while other threads
// are inside the exports (late calls fail cleanly).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "relaylink.h"
#include "udp_sim.h"
#include "udp_sim_test_support.h"

namespace {

constexpr uint8_t kSearch = 7;

// The private folders and names of one process's relaylink.
struct Scratch {
  Scratch() {
    char pattern[] = "/tmp/pd-relaylink-life-XXXXXX";
    folder = mkdtemp(pattern);
    setenv("TMPDIR", folder.c_str(), 1);
    shm = "/pd-relaylink-life-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm.c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
  }
  ~Scratch() {
    shm_unlink(shm.c_str());
    (void)!std::system(("rm -rf '" + folder + "'").c_str());
  }
  std::string folder, shm;
};

// Forked before any thread exists; the child runs everything.
TEST(RelaylinkLifecycleTest, InitFiniInitThenExitWithoutTheLastFini) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int code = 0;
    {
      Scratch scratch;
      udpsim::UdpPeerSim peer;
      udpsim::DispatchSim dispatch;
      char reply[16];
      bool ok = peer.Start(&udpsim::Echo) && dispatch.Start({{kSearch, peer.Port(), 0, 0, "127.0.0.1"}});
      ok = ok && RELAYLINKInit("127.0.0.1", dispatch.Port()) &&
           RELAYLINKSendToSync(kSearch, "one", 3, reply, sizeof reply, 1000) == 5;
      RELAYLINKFini();
      ok = ok && RELAYLINKInit("127.0.0.1", dispatch.Port()) &&
           RELAYLINKSendToSync(kSearch, "two", 3, reply, sizeof reply, 1000) == 5;
      code = ok ? 0 : 3;
      dispatch.Stop();
      peer.Stop();
    }
    std::exit(code);  // no last RELAYLINKFini: the library cleans up at exit
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(RelaylinkLifecycleTest, TheLastFiniWhileOtherThreadsAreInsideTheExports) {
  Scratch scratch;
  udpsim::UdpPeerSim peer;
  udpsim::DispatchSim dispatch;
  ASSERT_TRUE(peer.Start(&udpsim::Echo));
  ASSERT_TRUE(dispatch.Start({{kSearch, peer.Port(), 0, 0, "127.0.0.1"}}));
  ASSERT_TRUE(RELAYLINKInit("127.0.0.1", dispatch.Port()));
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  std::vector<std::thread> users;
  for (int t = 0; t < 3; ++t) {
    users.emplace_back([&] {
      char reply[16];
      while (!stop) {
        int rc = RELAYLINKSendToSync(kSearch, "hi", 2, reply, sizeof reply, 200);
        EXPECT_TRUE(rc == 4 || rc < 0) << rc;  // an answer, or a clean failure
        RELAYLINKSendToAsyn(kSearch, "hi", 2);
        RELAYLINKRecvFrom(0, reply, sizeof reply, 0);
        ++calls;
      }
    });
  }
  ASSERT_TRUE(udpsim::WaitFor([&] { return calls.load() >= 3; }, 5000));
  RELAYLINKFini();
  const int at_fini = calls.load();
  ASSERT_TRUE(udpsim::WaitFor([&] { return calls.load() >= at_fini + 6; }, 5000)) << "late calls hang";
  char reply[16];
  EXPECT_LT(RELAYLINKSendToSync(kSearch, "late", 4, reply, sizeof reply, 200), 0);
  stop = true;
  for (std::thread& t : users) t.join();
  dispatch.Stop();
  peer.Stop();
}

}  // namespace
