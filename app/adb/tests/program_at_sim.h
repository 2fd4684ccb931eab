// Points the program code in a test process at the simulated phone: the
// agent and FTP ports the simulator forwarded, the agent's host, the
// phone's serial for adb and the phone's own folders of the settings. For a
// simulator started with --forward.
#pragma once

#include <string>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"

namespace testing_support {

inline void PointProgramAtSim(const PhoneSim& sim) {
  sim.ExportForwardedPorts();
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 0);  // 0: the configured port, the forwarded one
  const std::u16string serial = AnsiToWString(sim.Field("serial"));
  CAdbCmdTool::Instance()->SetSerial(serial.c_str());
  CConfigMgr::Instance()->SetPhonePaths(serial);
}

}  // namespace testing_support
