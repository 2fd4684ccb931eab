// The tools the link shares between its threads, used from several threads
// at once: the shared instances made and released, and the adb tool's serial
// and device list written by one thread while another forwards the ports.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>
#include <vector>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/temp_folder.h"
#include "app/agent/socket_thread.h"
#include "app/ftp/ftpcmd_tool.h"

namespace {

// Every thread asks for the instance at once; all get the same one.
template <typename Tool>
void AllThreadsGetOneInstance() {
  Tool::Release();
  std::vector<Tool*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = Tool::Instance(); });
  for (std::thread& t : threads) t.join();
  for (Tool* tool : seen) EXPECT_EQ(tool, seen[0]);
  Tool::Release();
}

TEST(LinkSharedInstances, MadeOnceWhenAskedFromManyThreads) {
  AllThreadsGetOneInstance<CAdbCmdTool>();
  AllThreadsGetOneInstance<CSocketThreadMgr>();
  AllThreadsGetOneInstance<CFtpCmdTool>();
}

TEST(AdbToolState, SerialAndDeviceListUsedFromTwoThreads) {
  testing_support::TempFolder dir;
  const std::string adb =
      dir.Script("adb", "[ \"$1\" = devices ] && printf 'List of devices attached\\nA1\\tdevice\\n'\nexit 0\n");
  setenv("PHONEDECK_ADB", adb.c_str(), 1);
  CAdbCmdTool tool;
  std::thread connection([&tool] {
    for (int i = 0; i < 10; ++i) {
      tool.SetSerial(i % 2 ? u"SERIAL-ODD" : u"SERIAL-EVEN");
      tool.ListDevices();
    }
  });
  for (int i = 0; i < 4; ++i) {
    tool.ForwardPorts();
    EXPECT_LE(tool.GetDeviceMap().size(), 1u);
    const std::u16string serial = tool.GetSerial();
    EXPECT_TRUE(serial.empty() || serial == u"SERIAL-ODD" || serial == u"SERIAL-EVEN");
  }
  connection.join();
  EXPECT_EQ(tool.GetDeviceMap().count(u"A1"), 1u);
  unsetenv("PHONEDECK_ADB");
}

}  // namespace
