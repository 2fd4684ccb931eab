// The connection manager going away while its workers are busy: a hung
// agent exchange, a driver install still inside devwarden, a stop during the
// debugging-off pause, a keep-alive check of an unplugged phone; and
// finished install threads that are let go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/agent/socket_thread.h"
#include "app/agent/tests/fake_agent.h"
#include "app/connect/connect_mgr.h"
#include "app/connect/tests/connect_test_support.h"
#include "app/connect/tests/fake_devwarden.h"
#include "app/connect/tests/test_listener.h"

namespace {

using connect_test::FakeDevice;
using connect_test::FakeDevwardenState;
using connect_test::PostLog;
using connect_test::ProgramSetup;
using Clock = std::chrono::steady_clock;

// What the slow driver install below records.
struct InstallProbe {
  std::atomic<int> in_flight{0};
  std::atomic<int> in_flight_at_uninit{-1};
  std::atomic<int> calls_after_uninit{0};
  std::atomic<bool> uninit{false};
  void Reset() {
    in_flight = 0;
    in_flight_at_uninit = -1;
    calls_after_uninit = 0;
    uninit = false;
  }
};
InstallProbe g_probe;

// The fake table, with a driver install that takes a while and a record of
// calls into devwarden after it was stopped.
DevwardenApi ProbedApi() {
  DevwardenApi api = connect_test::FakeDevwardenApi();
  api.UnInit = [] {
    g_probe.in_flight_at_uninit = g_probe.in_flight.load();
    g_probe.uninit = true;
    ++FakeDevwardenState::Get().uninits;
  };
  api.UpdateDrvier = [](int) {
    if (g_probe.uninit) ++g_probe.calls_after_uninit;
    ++g_probe.in_flight;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    --g_probe.in_flight;
    ++FakeDevwardenState::Get().updates;
    return 1;
  };
  api.Refresh = [] {
    if (g_probe.uninit) ++g_probe.calls_after_uninit;
    ++FakeDevwardenState::Get().refreshes;
    return 1;
  };
  return api;
}

template <typename Pred>
bool WaitUntil(Pred pred, int timeout_ms = 10000) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pred()) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class ConnectTeardownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeDevwardenState::Get().Reset();
    g_probe.Reset();
    const std::string dir = setup_.folder().path();
    // "devices" lists SER123 as ready; every other command succeeds silently.
    adb_ = setup_.folder().Script("fake_adb", "[ \"$1\" = -s ] && shift 2\n"
                                              "if [ \"$1\" = devices ]; then echo 'List of devices attached';"
                                              " printf 'SER123\\tdevice\\n'; fi\nexit 0\n");
    setenv("PHONEDECK_ADB", adb_.c_str(), 1);
    manager_ = std::make_unique<CConnectMgr>(ProbedApi());
    manager_->Start();
    ASSERT_TRUE(WaitUntil([] { return FakeDevwardenState::Get().device_callback.load() != nullptr; }));
  }
  void TearDown() override {
    manager_.reset();
    posts_.Clear();  // frees what the posted messages carry
    unsetenv("PHONEDECK_ADB");
    unsetenv("PHONEDECK_AGENT_PORT");
  }
  void Plug(int handle, const FakeDevice& device = FakeDevice()) {
    FakeDevwardenState::Get().Add(handle, device);
    FakeDevwardenState::Get().Event(PNP_EVENT_ARRIVAL, handle);
  }
  // Destroys the manager on another thread; true when that ended within
  // `bound_ms` (far below the transport's own time-out).
  bool DestroyWithin(std::future<void>& done, int bound_ms) {
    done = std::async(std::launch::async, [this] { manager_.reset(); });
    return done.wait_for(std::chrono::milliseconds(bound_ms)) == std::future_status::ready;
  }

  ProgramSetup setup_;
  std::string adb_;
  std::unique_ptr<CConnectMgr> manager_;
  PostLog posts_;
};

TEST_F(ConnectTeardownTest, ClosingDuringAHungAgentCheckReturnsPromptly) {
  std::future<void> destroyed;  // outlives the agent: the agent's end frees a hung exchange
  testing_support::FakeAgent agent([](const std::string&, const std::string&) {
    return testing_support::AgentAnswer{testing_support::AgentAnswer::kHang, ""};
  });
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", agent.port());
  Plug(21);
  FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 21);
  ASSERT_TRUE(posts_.WaitFor(kConn_CheckPhoneServer, 10000));
  ASSERT_TRUE(WaitUntil([&] { return agent.Count("connect") >= 1; })) << "the agent check is under way";
  EXPECT_TRUE(DestroyWithin(destroyed, 5000)) << "teardown waited for the agent's time-out";
}

TEST_F(ConnectTeardownTest, DisconnectCutsAHungAgentCheckShort) {
  testing_support::FakeAgent agent([](const std::string&, const std::string&) {
    return testing_support::AgentAnswer{testing_support::AgentAnswer::kHang, ""};
  });
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", agent.port());
  Plug(21);
  FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 21);
  ASSERT_TRUE(WaitUntil([&] { return agent.Count("connect") >= 1; }));
  std::thread other([this] { manager_->Disconnect(); });
  other.join();
  // The attempt has ended when a new one can start and reach the agent.
  EXPECT_TRUE(WaitUntil([&] {
    FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 21);
    return agent.Count("connect") >= 2;
  }, 5000)) << "the attempt still waits on the agent";
  std::future<void> destroyed;
  EXPECT_TRUE(DestroyWithin(destroyed, 5000));
}

// Unplugging the phone stops the keep-alive that probed its agent, even in
// the middle of a check the agent never answers; the check cut short is no
// failure, and the next phone starts a keep-alive of its own.
TEST_F(ConnectTeardownTest, UnpluggingThePhoneStopsItsKeepAlive) {
  connect_test::TestListener hangs(
      [](int, const std::atomic<bool>& stopping) { connect_test::TestListener::Hang(stopping); });
  setenv("PHONEDECK_AGENT_PORT", std::to_string(hangs.port()).c_str(), 1);
  Plug(51);
  manager_->CreatePhone();
  CCheckTcpThread& keep_alive = CSocketThreadMgr::Instance()->CheckTcpThread();
  ASSERT_TRUE(keep_alive.StartUnlessRunning());
  ASSERT_TRUE(WaitUntil([&] { return hangs.accepted() >= 2; })) << "the check is waiting for the agent";
  std::thread devwarden([] { FakeDevwardenState::Get().Event(PNP_EVENT_REMOVAL, 51); });
  devwarden.join();
  EXPECT_EQ(manager_->GetPhone(), nullptr);
  EXPECT_EQ(keep_alive.GetState(), base::WinThread::kIdle) << "the keep-alive still probes the unplugged phone";
  EXPECT_EQ(keep_alive.GetFailed(), 0) << "a check cut short by the stop counted as a failure";
  EXPECT_TRUE(keep_alive.StartUnlessRunning()) << "the next phone starts its own keep-alive";
}

TEST_F(ConnectTeardownTest, DevwardenStopsOnlyAfterTheInstallThreadsEnd) {
  Plug(31);
  FakeDevwardenState::Get().Download(31, 6, 1000, 1000, 0);
  ASSERT_TRUE(WaitUntil([] { return g_probe.in_flight.load() == 1; }));
  manager_.reset();
  EXPECT_EQ(g_probe.in_flight_at_uninit.load(), 0) << "devwarden was stopped under a running install";
  EXPECT_EQ(g_probe.calls_after_uninit.load(), 0);
  EXPECT_EQ(FakeDevwardenState::Get().uninits.load(), 1);
}

TEST_F(ConnectTeardownTest, FinishedInstallThreadsAreLetGo) {
  Plug(31);
  for (int i = 0; i < 3; ++i) {
    posts_.Clear();
    FakeDevwardenState::Get().Download(31, 6, 1000, 1000, 0);
    ASSERT_TRUE(posts_.WaitFor(kConn_SetupDrv_end, 5000));
  }
  EXPECT_TRUE(WaitUntil([this] { return manager_->InstallThreadCount() == 0; }))
      << manager_->InstallThreadCount() << " finished install threads still held";
}

TEST_F(ConnectTeardownTest, AStopDuringTheDebuggingPausePostsNoFinalState) {
  FakeDevice debugging_off;
  debugging_off.mode = 1;
  Plug(41, debugging_off);
  FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 41);
  ASSERT_TRUE(posts_.WaitFor(kConn_CheckAndroidMode, 5000));
  manager_.reset();
  for (int state : posts_.States()) EXPECT_NE(state, kConn_Phone_Open_debug);
}

}  // namespace
