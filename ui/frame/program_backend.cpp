#include "ui/frame/program_backend.h"

#include "app/bindings/stat_library.h"
#include "app/connect/connect_mgr.h"
#include "app/data/phone.h"

void CProgramFrameBackend::StartConnection() {
  InstallPhoneFactory();
  CConnectMgr::Instance()->Start();
}
bool CProgramFrameBackend::IsPhoneConnected() { return CConnectMgr::Instance()->IsConnected(); }
bool CProgramFrameBackend::ReConnect(bool force) { return CConnectMgr::Instance()->ReConnect(force); }
void CProgramFrameBackend::CreatePhone() { CConnectMgr::Instance()->CreatePhone(); }
void CProgramFrameBackend::ReleaseConnection() { CConnectMgr::Release(); }
void CProgramFrameBackend::ReportUserAction(int id) {
  if (id != 0) StatAction(id, "", 0, false);
}
