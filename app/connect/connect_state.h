// The connection states of a phone link. The number travels as lParam of
// message 1227 (kConnectionState) and into the "connectstat" report by name.
#pragma once

enum ConnState : int {
  kConn_ReStart = 0,            // reported by the statistics of a reconnect only
  kConn_Start = 1,              // an attempt starts
  kConn_CheckAndroidMode = 2,   // USB-debugging check starts
  kConn_Phone_Open_debug = 3,   // USB debugging is off (end)
  kConn_CheckAdbMode = 4,       // adb state check starts
  kConn_Phone_offline = 5,      // adb lists the phone but not as ready (end)
  kConn_CheckPhoneServer = 6,   // agent check starts
  kConn_InstallPhoneApk = 7,    // the agent package is being installed
  kConn_InstallFailed = 8,      // the agent install failed (end)
  kConn_Start_PhoneServer = 9,  // agent start phase
  kConn_DownloadDrv = 10,       // driver download started (end of the attempt)
  kConn_DownloadDrv_failed = 11,
  kConn_SetupDrv = 12,          // driver download finished, installation starts
  kConn_SetupDrv_end = 13,
  kConn_SetupDrv_failed = 14,
  kConn_Socket_failed = 15,     // the agent does not answer after its start (end)
  kConn_Failed = 16,            // any other failure (end)
  kConn_Sucess = 17,            // the agent answers (end)
  kConn_Cancel = 18,
  kConn_Phone_Remove = 19,      // the current device was unplugged
  kConn_none = 20,
};

// "kConn_Start" for 1 and so on; empty for any other number.
const char* ConnStateName(int state);
