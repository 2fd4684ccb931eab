// The PC-side ports and tools of the phone link, with their defaults and
// the environment variables that move them (tests run several phones at
// once on free ports):
//   PHONEDECK_AGENT_PORT         agent commands          default 21220
//   PHONEDECK_FTP_PORT           agent FTP control       default 21210
//   PHONEDECK_FTP_PASSIVE_PORT   agent FTP data          default 21211
//   PHONEDECK_ADB                adb executable          default: see AdbProgram
//   PHONEDECK_AAPT               aapt executable
// The device-side ports are fixed by the agent app: 21220, 21210, 21211.
// The adb server's own port moves with ANDROID_ADB_SERVER_PORT, which adb
// reads itself (default 5037). Each function reads the environment when
// called; any thread.
#pragma once

#include <string>

namespace adb {

constexpr int kAgentDevicePort = 21220;
constexpr int kFtpDevicePort = 21210;
constexpr int kFtpPassiveDevicePort = 21211;
constexpr char kAgentHost[] = "127.0.0.1";
constexpr int kDefaultAdbServerPort = 5037;

int AgentPort();
int FtpPort();
int FtpPassivePort();
// The adb server's port as adb itself reads it.
int AdbServerPort();

// PHONEDECK_ADB when set; else the program's own copy (program folder +
// "adb/adb") when present; else "adb" from PATH (Debian's /usr/bin/adb).
std::string AdbProgram();
// The same for aapt (PHONEDECK_AAPT, program folder + "adb/aapt", "aapt").
std::string AaptProgram();

}  // namespace adb
