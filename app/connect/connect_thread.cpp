#include "app/adb/adb_output.h"
#include "app/adb/adbcmd_tool.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_mgr.h"
#include "app/web/stat_report.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {
constexpr int kCancelled = -1;  // the attempt was cut short: it posts no final state
}  // namespace

CConnectThread::CConnectThread(CConnectMgr* manager) : base::WinThread(u"connect_thread"), manager_(manager) {}

CConnectThread::~CConnectThread() { Stop(); }

void CConnectThread::PostState(int state) { CConnectMgr::PostState(device_.load(), state); }

void CConnectThread::ReportState(int state) {
  std::u16string serial, manufacturer, product, vid, pid;
  manager_->GetCurrentDeviceStrings(serial, manufacturer, product, vid, pid);
  ReportConnectStat(kStatConnect, state, WStringToAnsi(manufacturer).c_str(), WStringToAnsi(product).c_str(),
                    WStringToAnsi(vid).c_str(), WStringToAnsi(pid).c_str(), WStringToAnsi(serial).c_str());
}

void CConnectThread::Run() {
  const int32_t handle = device_.load();
  if (manager_ == nullptr || handle == 0) return;
  manager_->DropPhone();  // drops any earlier phone
  PD_LOG_INFO("connect phone ------ start!");
  PostState(kConn_Start);
  ReportState(kConn_Start);

  const DevwardenApi& api = manager_->Api();
  PostState(kConn_CheckAndroidMode);
  if (api.GetAndroidCurrentMode(handle) != 0) {
    if (WaitForStop(kDebugOffPauseMs)) return;  // the owner is going away
    PostState(kConn_Phone_Open_debug);
    ReportState(kConn_Phone_Open_debug);
    PD_LOG_INFO("please open debug mode !");
    return;
  }

  char16_t serial_buffer[64] = {};
  api.GetDeviceSerialNumber(handle, serial_buffer);
  serial_buffer[63] = u'\0';
  const std::u16string serial(serial_buffer);
  PD_LOG_INFO("kConn_CheckAdbMode !");
  PostState(kConn_CheckAdbMode);
  CAdbCmdTool* adb_tool = CAdbCmdTool::Instance();
  adb_tool->SetSerial(serial.c_str());

  int adb_state = adb::kDeviceNotListed;
  bool stopping = false;  // the owner is going away: no further step
  for (int i = 0; i < kAdbStateTries && !stopping; ++i) {
    adb_state = adb_tool->GetDeviceState(serial.c_str());
    if (adb_state == adb::kDeviceReady) break;
    stopping = WaitForStop(kAdbStateWaitMs);
  }

  int result = kConn_Failed;
  switch (stopping ? -1 : adb_state) {
    case adb::kDeviceReady:
      result = CheckPhoneServer();
      break;
    case adb::kDeviceNotReady:
      PD_LOG_INFO("kConn_Phone_offline !");
      result = kConn_Phone_offline;
      break;
    case adb::kDeviceNotListed:
      // adb cannot see the phone: a driver problem with a known package is
      // mended by downloading it (the download callback carries on).
      if (api.GetDeviceStatus(handle) != 0 && api.GetUpdateDriverCount(handle) > 0) {
        PD_LOG_INFO(" PNP_DownLoadDriver !");
        result = api.DownLoadDriver(handle) != 0 ? kConn_DownloadDrv : kConn_DownloadDrv_failed;
      }
      break;
    default:
      break;
  }
  PD_LOG_INFO("connect phone  ------ end !");
  if (result == kCancelled) return;  // disconnected or going away: no final state
  ReportState(result);
  PostState(result);
}

int CConnectThread::CheckPhoneServer() {
  PD_LOG_INFO("kConn_CheckPhoneServer !");
  PostState(kConn_CheckPhoneServer);
  CAdbCmdTool* adb_tool = CAdbCmdTool::Instance();
  adb_tool->ForwardPorts();

  const bool alive = manager_->CheckAgent(&control_);
  if (control_.IsCancelled()) return kCancelled;
  bool need_install = !alive;
  if (!alive) need_install = !adb_tool->IsPackageInstalled(kAgentPackage);

  const std::u16string apk = CConfigMgr::Instance()->GetAgentApkPath();
  if (!need_install) {
    int phone_version = 0;
    int package_version = 0;
    bool both_read = false;
    if (adb_tool->GetPackageVersionCode(kAgentPackage, &phone_version)) {
      both_read = adb_tool->GetApkVersionCode(apk.c_str(), &package_version);
    }
    PD_LOG_INFO("Connect [check Package Version] android_version_code=%d apk_version_code=%d", phone_version,
                package_version);
    if (both_read && phone_version < package_version) need_install = true;
  }

  bool install_ok = !need_install;
  if (need_install) {
    PD_LOG_INFO("connect ------ InstallApk !");
    PostState(kConn_InstallPhoneApk);
    int code = adb_tool->InstallApk(apk.c_str(), true, true);
    if (code != 1) code = adb_tool->RetryInstall(apk.c_str(), code, true);
    install_ok = code == 1;
    ReportApkStat(kStatInstall, install_ok ? kStatSuccess : kStatFailed, kAgentDisplayName,
                  WStringToAnsi(kAgentPackage).c_str());
  }

  PostState(kConn_Start_PhoneServer);
  if (!install_ok) return kConn_InstallFailed;
  if (alive && !need_install) return kConn_Sucess;

  // Not running, or just installed (an install stops the old agent): start
  // it and let the polls decide.
  PD_LOG_INFO("connect ------ StartAnriodAssist !");
  manager_->StartAgentApp();
  for (int i = 0; i < kAgentPolls; ++i) {
    if (WaitForStop(kAgentPollWaitMs)) break;
    if (manager_->CheckAgent(&control_)) return kConn_Sucess;
    if (control_.IsCancelled()) return kCancelled;
  }
  return kConn_Socket_failed;
}
