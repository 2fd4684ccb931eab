// What the main window needs of the phone side, through one narrow seam.
// The connection manager, the task manager and the statistics report are
// reached only through IFrameBackend: the program sets its own
// (program_backend.h); where none is set (tests of the window alone) the
// null back end stands in (no phone is ever connected, nothing is started).
//
// Threading: UI thread only. SetFrameBackend runs before the main window is
// created and after it is gone.
#pragma once

class CAutoTaskMgr;
class DownloadListener;

class IFrameBackend {
 public:
  virtual ~IFrameBackend() = default;
  // The connection manager (created on first use) starts watching for phones.
  virtual void StartConnection() = 0;
  // The task manager starts (on a worker: it returns at once).
  virtual void InitTasks() = 0;
  // The task manager's start has ended (until then a request to open the
  // task window is kept). Back ends without a task manager have nothing to wait for.
  virtual bool TasksStarted() { return true; }
  // The task manager singleton handed to the store pages (null while none exists).
  virtual CAutoTaskMgr* TaskManager() = 0;
  // What takes the store pages' download requests (the task manager; null while none exists).
  virtual DownloadListener* DownloadRequests() = 0;
  virtual bool IsPhoneConnected() = 0;
  // Reconnects the current device; false when no new attempt was started.
  virtual bool ReConnect(bool force) = 0;
  // Creates the phone front object once the connection succeeded.
  virtual void CreatePhone() = 0;
  // Deletes the connection-manager singleton, then the task-manager singleton.
  virtual void ReleaseConnection() = 0;
  virtual void ReleaseTasks() = 0;
  // Counts a numbered user action in the statistics (id 0 counts nothing).
  virtual void ReportUserAction(int id) = 0;
};

// The back end in use; the null one until another is set. Not owned.
IFrameBackend* FrameBackend();
void SetFrameBackend(IFrameBackend* backend);  // null restores the null back end
