// The program's phone side as the main window sees it: the connection
// manager (CConnectMgr) and the task manager (CAutoTaskMgr) behind
// IFrameBackend. The task manager is the store pages' download listener and
// the phone's download-task hooks; a new phone installs the downloaded apps
// waiting offline when the automatic install setting is on.
//
// Threading: UI thread only (as IFrameBackend).
#pragma once

#include "ui/frame/frame_backend.h"

class CProgramFrameBackend : public IFrameBackend {
 public:
  void StartConnection() override;
  void InitTasks() override;
  bool TasksStarted() override;
  CAutoTaskMgr* TaskManager() override;
  DownloadListener* DownloadRequests() override;
  bool IsPhoneConnected() override;
  bool ReConnect(bool force) override;
  void CreatePhone() override;
  void ReleaseConnection() override;
  void ReleaseTasks() override;
  void ReportUserAction(int id) override;
};
