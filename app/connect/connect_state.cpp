#include "app/connect/connect_state.h"

const char* ConnStateName(int state) {
  static const char* const kNames[] = {
      "kConn_ReStart",         "kConn_Start",          "kConn_CheckAndroidMode", "kConn_Phone_Open_debug",
      "kConn_CheckAdbMode",    "kConn_Phone_offline",  "kConn_CheckPhoneServer", "kConn_InstallPhoneApk",
      "kConn_InstallFailed",   "kConn_Start_PhoneServer", "kConn_DownloadDrv",   "kConn_DownloadDrv_failed",
      "kConn_SetupDrv",        "kConn_SetupDrv_end",   "kConn_SetupDrv_failed",  "kConn_Socket_failed",
      "kConn_Failed",          "kConn_Sucess",         "kConn_Cancel",           "kConn_Phone_Remove",
      "kConn_none",
  };
  if (state < 0 || state >= static_cast<int>(sizeof kNames / sizeof kNames[0])) return "";
  return kNames[state];
}
