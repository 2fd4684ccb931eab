// The connection states that message 1227 carries in lParam, with the names
// the log writes for them.
#pragma once

enum ConnState {
  kConn_ReStart = 0,
  kConn_Start = 1,
  kConn_CheckAndroidMode = 2,
  kConn_Phone_Open_debug = 3,
  kConn_CheckAdbMode = 4,
  kConn_Phone_offline = 5,
  kConn_CheckPhoneServer = 6,
  kConn_InstallPhoneApk = 7,
  kConn_InstallFailed = 8,
  kConn_Start_PhoneServer = 9,
  kConn_DownloadDrv = 10,
  kConn_DownloadDrv_failed = 11,
  kConn_SetupDrv = 12,
  kConn_SetupDrv_end = 13,
  kConn_SetupDrv_failed = 14,
  kConn_Socket_failed = 15,
  kConn_Failed = 16,
  kConn_Sucess = 17,
  kConn_Cancel = 18,
  kConn_Phone_Remove = 19,
  kConn_none = 20,
};

// "kConn_Start" for 1; "unknown" outside 0-20.
const char* ConnStateName(int state);
