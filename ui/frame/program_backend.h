// The program's phone side as the main window sees it: the connection
// manager (CConnectMgr) behind IFrameBackend. The task manager is not built
// yet: its steps do nothing and the store pages get no task manager.
//
// Threading: UI thread only (as IFrameBackend).
#pragma once

#include "ui/frame/frame_backend.h"

class CProgramFrameBackend : public IFrameBackend {
 public:
  void StartConnection() override;
  void InitTasks() override {}
  CAutoTaskMgr* TaskManager() override { return nullptr; }
  DownloadListener* DownloadRequests() override { return nullptr; }
  bool IsPhoneConnected() override;
  bool ReConnect(bool force) override;
  void CreatePhone() override;
  void ReleaseConnection() override;
  void ReleaseTasks() override {}
  void ReportUserAction(int id) override;
};
