// The connection manager over a fake devwarden table and a fake adb: the
// device list, the attempts that end before the agent (state sequences as a
// table), the driver download and install path, reconnects, the lock around
// starting an attempt and the phone handed out while a worker disconnects.
#include "app/connect/connect_mgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/adb/tests/closed_port.h"
#include "app/connect/tests/connect_test_support.h"
#include "app/connect/tests/fake_devwarden.h"
#include "foundation/base/code_page.h"

namespace {

using connect_test::FakeDevice;
using connect_test::FakeDevwardenApi;
using connect_test::FakeDevwardenState;
using connect_test::PostLog;
using connect_test::ProgramSetup;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class ConnectMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeDevwardenState::Get().Reset();
    // A fake adb: "devices" lists the contents of the file "devices".
    const std::string dir = setup_.folder().path();
    adb_ = setup_.folder().Script("fake_adb", "[ \"$1\" = -s ] && shift 2\n"
                                              "if [ \"$1\" = devices ]; then echo 'List of devices attached';"
                                              " cat '" + dir + "/devices' 2>/dev/null; fi\nexit 0\n");
    setenv("PHONEDECK_ADB", adb_.c_str(), 1);
    setenv("PHONEDECK_AGENT_PORT", std::to_string(agent_port_.port()).c_str(), 1);
    manager_ = std::make_unique<CConnectMgr>(FakeDevwardenApi());
    manager_->Start();
    const auto start = Clock::now();
    while (FakeDevwardenState::Get().device_callback.load() == nullptr && ElapsedMs(start) < 5000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(FakeDevwardenState::Get().device_callback.load(), nullptr);
  }
  void TearDown() override {
    manager_.reset();
    unsetenv("PHONEDECK_ADB");
    unsetenv("PHONEDECK_AGENT_PORT");
  }
  void Devices(const std::string& lines) { setup_.folder().Write("devices", lines); }
  void Plug(int handle, const FakeDevice& device = FakeDevice()) {
    FakeDevwardenState::Get().Add(handle, device);
    FakeDevwardenState::Get().Event(PNP_EVENT_ARRIVAL, handle);
  }

  ProgramSetup setup_;
  const testing_support::ClosedPort agent_port_;  // nothing answers there
  std::string adb_;
  std::unique_ptr<CConnectMgr> manager_;
  PostLog posts_;
};

TEST_F(ConnectMgrTest, DetectionStartsWithAndroidOnlyAndADriverFolder) {
  FakeDevwardenState& fake = FakeDevwardenState::Get();
  const auto start = Clock::now();
  while (fake.DownloadPath().empty() && ElapsedMs(start) < 5000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(fake.detect_class.load(), PNP_CLASS_ANDROID);
  EXPECT_EQ(fake.starts.load(), 1);
  EXPECT_EQ(fake.DownloadPath(), AnsiToWString(setup_.folder().path() + "/drivers"));
  manager_.reset();
  EXPECT_EQ(fake.uninits.load(), 1) << "devwarden is stopped before the manager goes";
}

TEST_F(ConnectMgrTest, DeviceListFollowsArrivalsAndRemovals) {
  FakeDevice apple;
  apple.class_bits = PNP_CLASS_APPLE;
  Plug(7, apple);
  EXPECT_EQ(manager_->GetDeviceCount(), 0u) << "an Apple device is not listed";
  Plug(11);
  FakeDevice second;
  second.serial = u"SECOND";
  second.hardware_ids = std::u16string(u"USB\\VID_12D1\0", 14);  // no product id
  Plug(12, second);
  ASSERT_EQ(manager_->GetDeviceCount(), 2u);
  EXPECT_EQ(manager_->GetCurrentDevice(), 11);
  std::u16string serial, manufacturer, product, vid, pid;
  manager_->GetCurrentDeviceStrings(serial, manufacturer, product, vid, pid);
  EXPECT_EQ(serial, u"SER123");
  EXPECT_EQ(manufacturer, u"Zelvik");
  EXPECT_EQ(product, u"Z1");
  EXPECT_EQ(vid, u"18D1");
  EXPECT_EQ(pid, u"4EE7");

  FakeDevwardenState::Get().Event(PNP_EVENT_REMOVAL, 12);
  EXPECT_EQ(manager_->GetDeviceCount(), 1u);
  EXPECT_TRUE(posts_.States().empty()) << "unplugging another device posts nothing";
  FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 99);
  EXPECT_TRUE(posts_.States().empty()) << "events of unknown devices start nothing";

  manager_->CreatePhone();
  std::shared_ptr<IPhone> phone = manager_->GetPhone();
  ASSERT_NE(phone, nullptr);
  EXPECT_EQ(FakeDevwardenState::Get().Event(PNP_EVENT_REMOVAL, 11), 1);
  EXPECT_EQ(posts_.States(), std::vector<int>{kConn_Phone_Remove});
  EXPECT_EQ(posts_.All().back().wParam, 11u);
  EXPECT_EQ(manager_->GetDeviceCount(), 0u);
  EXPECT_EQ(manager_->GetPhone(), nullptr);
  EXPECT_FALSE(manager_->IsConnected());
  EXPECT_EQ(manager_->GetCurrentSerial(), u"");
}

TEST_F(ConnectMgrTest, DisplayNameFromTheModelRecord) {
  Plug(11);
  EXPECT_EQ(manager_->GetPhoneDisplayName(u"zsim"), u"Zelvik/Z1 Sim");
  EXPECT_EQ(FakeDevwardenState::Get().AdbName(), u"zsim");
  FakeDevice nameless;
  nameless.model = u"";
  FakeDevwardenState::Get().Add(11, nameless);
  EXPECT_EQ(manager_->GetPhoneDisplayName(u"zsim"), u"");
}

// Attempts that end before the agent is reached.
struct AttemptCase {
  const char* name;
  FakeDevice device;
  std::string adb_devices;  // lines after the header
  std::vector<int> states;
  std::vector<std::string> reports;
  long min_ms;
};
void PrintTo(const AttemptCase& c, std::ostream* os) { *os << c.name; }

class ConnectAttemptTest : public ConnectMgrTest, public ::testing::WithParamInterface<AttemptCase> {};

TEST_P(ConnectAttemptTest, StatesInOrder) {
  const AttemptCase& c = GetParam();
  Devices(c.adb_devices);
  Plug(21, c.device);
  const auto start = Clock::now();
  FakeDevwardenState::Get().Event(PNP_EVENT_QUERY_FINISHED, 21);
  ASSERT_TRUE(posts_.WaitFor());
  EXPECT_GE(ElapsedMs(start), c.min_ms);
  EXPECT_EQ(posts_.States(), c.states);
  for (const PostedMessage& m : posts_.All()) EXPECT_EQ(m.wParam, 21u);
  EXPECT_EQ(setup_.ConnectStatuses(c.reports.size()), c.reports);
}

FakeDevice With(int mode, int status, int drivers, int download) {
  FakeDevice d;
  d.serial = u"SERIAL-21";
  d.mode = mode;
  d.status = status;
  d.driver_count = drivers;
  d.download_result = download;
  return d;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectAttemptTest,
    ::testing::Values(
        AttemptCase{"debugging_off", With(1, 0, 0, 1), "", {1, 2, 3},
                    {"kConn_Start", "kConn_Phone_Open_debug"}, 1000},
        AttemptCase{"offline", With(0, 0, 0, 1), "SERIAL-21\toffline\n", {1, 2, 4, 5},
                    {"kConn_Start", "kConn_Phone_offline"}, 3000},
        AttemptCase{"not_listed_no_driver_problem", With(0, 0, 1, 1), "OTHER\tdevice\n", {1, 2, 4, 16},
                    {"kConn_Start", "kConn_Failed"}, 3000},
        AttemptCase{"not_listed_no_package", With(0, 3, 0, 1), "", {1, 2, 4, 16},
                    {"kConn_Start", "kConn_Failed"}, 3000},
        AttemptCase{"driver_download_starts", With(0, 3, 2, 1), "", {1, 2, 4, 10},
                    {"kConn_Start", "kConn_DownloadDrv"}, 3000},
        AttemptCase{"driver_download_cannot_start", With(0, 4, 1, 0), "", {1, 2, 4, 11},
                    {"kConn_Start", "kConn_DownloadDrv_failed"}, 3000}),
    [](const ::testing::TestParamInfo<AttemptCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectMgrTest, DriverDownloadProgressAndInstall) {
  struct Case {
    const char* name;
    int update_result;
    int end_state;
  } cases[] = {
      {"installed", 1, kConn_SetupDrv_end},
      {"install failed (0)", 0, kConn_SetupDrv_failed},
      {"install failed (-1)", -1, kConn_SetupDrv_failed},
  };
  FakeDevwardenState& fake = FakeDevwardenState::Get();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device;
    device.update_result = c.update_result;
    Plug(31, device);
    posts_.Clear();
    const int refreshes = fake.refreshes.load();
    fake.Download(31, 4, 1000, 10, 55);
    fake.Download(31, 5);  // other statuses: nothing
    fake.Download(31, 6, 1000, 1000, 0);
    ASSERT_TRUE(posts_.WaitFor(c.end_state, 5000));
    EXPECT_EQ(posts_.States(), (std::vector<int>{kConn_SetupDrv, c.end_state}));
    ASSERT_EQ(posts_.Progress().size(), 2u);
    EXPECT_EQ(posts_.Progress()[0].status, 4);
    EXPECT_EQ(posts_.Progress()[0].value, 55u);
    EXPECT_EQ(posts_.Progress()[0].first, 1000u);
    EXPECT_EQ(posts_.Progress()[0].second, 10u);
    const auto start = Clock::now();
    while (fake.refreshes.load() == refreshes && ElapsedMs(start) < 5000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(fake.refreshes.load(), refreshes + 1);
    FakeDevwardenState::Get().Event(PNP_EVENT_REMOVAL, 31);
  }
  posts_.Clear();
  Plug(31);
  fake.Download(31, 7);
  EXPECT_EQ(posts_.States(), std::vector<int>{kConn_DownloadDrv_failed});
  EXPECT_TRUE(posts_.Progress().empty());
  // Without a main window the progress record cannot be posted: it is freed
  // (the sanitizer build sees a leak otherwise).
  CConfigMgr::Instance()->SetMainWnd(0);
  fake.Download(31, 4);
  CConfigMgr::Instance()->SetMainWnd(connect_test::kMainWnd);
  EXPECT_TRUE(posts_.Progress().empty());
}

TEST_F(ConnectMgrTest, ReconnectNeedsAPhoneUnlessForced) {
  EXPECT_FALSE(manager_->ReConnect(false));
  EXPECT_TRUE(manager_->ReConnect(true)) << "an empty list starts nothing but still answers true";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(posts_.States().empty());
  EXPECT_TRUE(setup_.ConnectStatuses().empty());

  Plug(41, With(1, 0, 0, 1));
  manager_->CreatePhone();
  EXPECT_TRUE(manager_->ReConnect(false));
  ASSERT_TRUE(posts_.WaitFor());
  EXPECT_EQ(posts_.States(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(setup_.ConnectStatuses(3),
            (std::vector<std::string>{"kConn_ReStart", "kConn_Start", "kConn_Phone_Open_debug"}));
  EXPECT_EQ(manager_->GetPhone(), nullptr) << "an attempt drops the earlier phone";
}

TEST_F(ConnectMgrTest, OneAttemptAtATimeWhateverThreadsAsk) {
  Plug(51, With(1, 0, 0, 1));
  std::atomic<bool> go{false};
  std::vector<std::thread> askers;
  for (int i = 0; i < 8; ++i) {
    askers.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      manager_->StartConnect(51);
    });
  }
  go.store(true);
  for (std::thread& t : askers) t.join();
  ASSERT_TRUE(posts_.WaitFor());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(posts_.States(), (std::vector<int>{1, 2, 3}));
  // Idle again: the next request starts a new attempt.
  posts_.Clear();
  FakeDevwardenState::Get().Event(PNP_EVENT_CHANGED, 51);
  ASSERT_TRUE(posts_.WaitFor());
  EXPECT_EQ(posts_.States(), (std::vector<int>{1, 2, 3}));
}

TEST_F(ConnectMgrTest, APageKeepsItsPhoneWhileAWorkerDisconnects) {
  struct Phone : IPhone {
    explicit Phone(std::atomic<int>* alive) : alive_(alive) { ++*alive_; }
    ~Phone() override { --*alive_; }
    void Init(const std::u16string& serial) override { serial_ = serial; }
    bool IsConnected() override { return true; }
    void GetScreenShot(const char16_t*) override {}
    std::atomic<int>* alive_;
    std::u16string serial_;
  };
  static std::atomic<int> alive{0};
  SetPhoneFactory([]() -> std::shared_ptr<IPhone> { return std::make_shared<Phone>(&alive); });
  Plug(61);
  std::shared_ptr<IPhone> created = manager_->CreatePhone();
  EXPECT_EQ(created, manager_->CreatePhone()) << "one phone while connected";
  EXPECT_EQ(static_cast<Phone*>(created.get())->serial_, u"SER123");
  EXPECT_TRUE(manager_->IsConnected());
  created.reset();

  std::shared_ptr<IPhone> page_copy = manager_->GetPhone();
  std::thread worker([this] { manager_->Disconnect(); });
  worker.join();
  EXPECT_EQ(manager_->GetPhone(), nullptr);
  EXPECT_FALSE(manager_->IsConnected());
  EXPECT_EQ(alive.load(), 1) << "the page's phone lives on";
  EXPECT_TRUE(page_copy->IsConnected());
  page_copy.reset();
  EXPECT_EQ(alive.load(), 0);
  SetPhoneFactory(nullptr);
}

}  // namespace
