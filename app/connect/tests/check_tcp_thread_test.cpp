// The keep-alive against peers that refuse, accept and close, and accept and hang.
#include "app/connect/check_tcp_thread.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "app/adb/tests/closed_port.h"
#include "app/connect/tests/test_listener.h"

namespace {

using connect_test::TestListener;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(CheckTcp, OneCheckAgainstEachPeer) {
  std::mutex lock;
  std::vector<std::string> texts;
  TestListener reads_and_closes([&](int fd, const std::atomic<bool>& stopping) {
    const std::string text = TestListener::ReadUntilNul(fd, stopping);
    std::lock_guard<std::mutex> hold(lock);
    texts.push_back(text);
  });
  TestListener hangs([](int, const std::atomic<bool>& stopping) { TestListener::Hang(stopping); });
  // Answers a byte at a time without end, each well inside the receive time-out.
  TestListener trickles([](int fd, const std::atomic<bool>& stopping) {
    while (!stopping.load() && ::send(fd, "x", 1, MSG_NOSIGNAL) == 1)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  });
  const testing_support::ClosedPort refusing;

  struct Case {
    const char* name;
    int port;
    int result;
  } cases[] = {
      {"accepts, reads and closes: alive", reads_and_closes.port(), 0},
      {"refuses", refusing.port(), -1},
      {"accepts and hangs: fails after the receive time-out", hangs.port(), -1},
      {"trickles without end: fails after the receive time-out", trickles.port(), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCheckTcpThread thread(c.port);
    const auto start = Clock::now();
    EXPECT_EQ(thread.CheckTcp() < 0 ? -1 : 0, c.result);
    EXPECT_LT(ElapsedMs(start), 2 * CCheckTcpThread::kSocketTimeoutMs + 1000);
  }
  std::lock_guard<std::mutex> hold(lock);
  // The probe connection sends nothing; the second carries the text and its NUL.
  ASSERT_EQ(texts.size(), 2u);
  const std::string& text = texts[0].empty() ? texts[1] : texts[0];
  EXPECT_EQ(text.rfind("sever alive on:", 0), 0u) << text;
  EXPECT_EQ(text.back(), '\0');
  EXPECT_TRUE(texts[0].empty() || texts[1].empty());
}

TEST(CheckTcp, ThreadEndsWithTheFailedFlagAtTheFirstFailure) {
  const testing_support::ClosedPort refusing;
  CCheckTcpThread thread(refusing.port());
  const auto start = Clock::now();
  ASSERT_TRUE(thread.Start());
  while (thread.GetState() != base::WinThread::kIdle && ElapsedMs(start) < 10000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(thread.GetState(), base::WinThread::kIdle);
  EXPECT_EQ(thread.GetFailed(), 1);
  EXPECT_GE(ElapsedMs(start), static_cast<long>(CCheckTcpThread::kIntervalMs) - 50) << "one wait first";

  // Started again for a new phone: the loop runs afresh, without the old failure.
  EXPECT_TRUE(thread.StartUnlessRunning());
  EXPECT_EQ(thread.GetFailed(), 0);
  EXPECT_FALSE(thread.StartUnlessRunning()) << "already running";
  thread.Stop();
}

TEST(CheckTcp, StopEndsAThreadWhosePeerHangs) {
  TestListener hangs([](int, const std::atomic<bool>& stopping) { TestListener::Hang(stopping); });
  TestListener alive([](int fd, const std::atomic<bool>& stopping) { TestListener::ReadUntilNul(fd, stopping); });
  for (int port : {alive.port(), hangs.port()}) {
    CCheckTcpThread thread(port);
    ASSERT_TRUE(thread.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));  // inside the first check
    const auto start = Clock::now();
    thread.Stop();
    // At most the rest of one check: two connects and a receive, each bounded.
    EXPECT_LT(ElapsedMs(start), static_cast<long>(CCheckTcpThread::kIntervalMs) + 3 * CCheckTcpThread::kSocketTimeoutMs);
    EXPECT_EQ(thread.GetFailed(), port == hangs.port() ? 1 : 0);
  }
}

}  // namespace
