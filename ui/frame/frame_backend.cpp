#include "ui/frame/frame_backend.h"

#include "app/bindings/stat_library.h"

namespace {

// No connection or task manager: nothing starts, no phone is connected,
// a reconnect starts no attempt. User actions still reach the statistics
// library.
class NullFrameBackend : public IFrameBackend {
 public:
  void StartConnection() override {}
  void InitTasks() override {}
  CAutoTaskMgr* TaskManager() override { return nullptr; }
  DownloadListener* DownloadRequests() override { return nullptr; }
  bool IsPhoneConnected() override { return false; }
  bool ReConnect(bool) override { return false; }
  void CreatePhone() override {}
  void ReleaseConnection() override {}
  void ReleaseTasks() override {}
  void ReportUserAction(int id) override {
    if (id != 0) StatAction(id, "", 0, false);
  }
};

NullFrameBackend g_null_backend;
IFrameBackend* g_backend = &g_null_backend;  // UI thread only

}  // namespace

IFrameBackend* FrameBackend() { return g_backend; }
void SetFrameBackend(IFrameBackend* backend) { g_backend = backend ? backend : &g_null_backend; }
