// Headless task windows over the program's own skin, with a temporary user,
// the main window's recording phone side (statistics actions) and a fake task manager that
// keeps its records in two maps and records the commands it is given.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/task/auto_task_view.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/temp_user_fixture.h"

namespace task_windows_test {

using namespace DuiLib;

class FakeTaskMgr : public IAutoTaskMgr {
 public:
  std::unique_ptr<SOnlineTask> FindOnlineTask(uint32_t id) override {
    ++online_lookups;
    auto it = online.find(id);
    return it == online.end() ? nullptr : std::make_unique<SOnlineTask>(it->second);
  }
  std::unique_ptr<SOfflineTask> FindOfflineTask(uint32_t id) override {
    auto it = offline.find(id);
    return it == offline.end() ? nullptr : std::make_unique<SOfflineTask>(it->second);
  }
  void GetOfflineTasks(std::map<uint32_t, std::unique_ptr<SOfflineTask>>& tasks) override {
    for (const auto& [id, t] : offline) tasks[id] = std::make_unique<SOfflineTask>(t);
  }
  int GetOnlineTaskCount() override { return static_cast<int>(online.size()); }
  int GetOfflineTaskCount() override { return static_cast<int>(offline.size()); }
  int GetDoingTaskCount() override {
    int n = 0;
    for (const auto& [id, t] : online) n += IsTaskDoing(&t) ? 1 : 0;
    return n;
  }
  void PauseTask(uint32_t id) override { Record("PauseTask", id); }
  void ContinueTask(uint32_t id) override { Record("ContinueTask", id); }
  void RetryTask(uint32_t id) override { Record("RetryTask", id); }
  void DeleteOnlineTask(uint32_t id) override { Record("DeleteOnlineTask", id); }
  void DeleteOfflineTask(uint32_t id) override { Record("DeleteOfflineTask", id); }
  void InstallOfflineTask(uint32_t id) override { Record("InstallOfflineTask", id); }

  SOnlineTask& AddOnline(uint32_t id, int state, const std::u16string& name) {
    SOnlineTask& t = online[id];
    t.task_id = id;
    t.state = state;
    t.app_name = name;
    return t;
  }
  SOfflineTask& AddOffline(uint32_t id, const std::u16string& name) {
    SOfflineTask& t = offline[id];
    t.task_id = id;
    t.app_name = name;
    return t;
  }

  std::map<uint32_t, SOnlineTask> online;
  std::map<uint32_t, SOfflineTask> offline;
  std::vector<std::string> commands;
  int online_lookups = 0;

 private:
  void Record(const char* what, uint32_t id) { commands.push_back(std::string(what) + ":" + std::to_string(id)); }
};

class TaskWindowsTest : public ui_test::TempUserTest {
 public:
  void SetUp() override {
    ui_test::TempUserTest::SetUp();
    if (HasFatalFailure()) return;
    host->SetAutoAdvance(true);
    SetFrameBackend(&backend);
  }
  void TearDown() override {
    SetFrameBackend(nullptr);
    ui_test::TempUserTest::TearDown();
  }
  void Pump() {
    for (int i = 0; i < 5; ++i) PumpPendingMessages();
  }

  ui_test::FakeBackend backend;
  FakeTaskMgr tasks;
};

inline CControlUI* Sub(CControlUI* row, const char16_t* name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

inline int PageOf(CControlUI* row, const char16_t* tab) {
  CControlUI* c = Sub(row, tab);
  return c ? static_cast<CTabLayoutUI*>(c->GetInterface(u"TabLayout"))->GetCurSel() : -2;
}

inline std::u16string TextOf(CControlUI* row, const char16_t* name) {
  CControlUI* c = Sub(row, name);
  return c ? c->GetText().str() : u"<missing>";
}

}  // namespace task_windows_test
