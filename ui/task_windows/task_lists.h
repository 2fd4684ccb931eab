// The two lists of the task window: CTaskOnlineList (tasks in progress, one
// row per task from "wnd_xml\taskonlinelist_item.xml") and CTaskOfflineList
// (downloaded apps waiting to be installed, rows from
// "wnd_xml\taskofflinelist_item.xml"). A row and its buttons carry the task
// id as user data (TaskIdText).
//
// Threading: UI thread only; the task window calls these when a task
// message arrives.
#pragma once

#include <cstdint>
#include <string>

#include "app/task/auto_task_view.h"
#include "ui/controls/list_ui_ex.h"

// What an online row shows for a task state: the pages of its three tab
// layouts (-1: unchanged) and the texts and actions that go with them.
struct TaskRowStatus {
  int state_page = -1;                // "tab_task_state"
  int oprt_page = -1;                 // "tab_oprt_btn"
  int cancel_page = -1;               // "tab_cancel_btn"
  const char16_t* wait_text = nullptr;    // "lbl_install_wait"
  const char16_t* failed_text = nullptr;  // "failed_code"
  bool wait_appname = false;          // "wait_appname" shows the app name
  bool speed_and_progress = false;    // "down_speed" and "download_progress"
  bool icon = false;                  // "app_logo" shows the icon path (when set)
  int animation = 0;                  // "install_animation": 1 start, -1 stop, 0 untouched
  bool retry_tooltip = false;         // "failed_retry" explains the install result
};
TaskRowStatus TaskRowStatusOf(int state);

// Why a download failed, from the engine's fail code kept as the task's
// detail; empty when there is nothing to say beyond "下载失败".
std::u16string DownloadFailureText(int32_t engine_code);

// "%.2lfK/s" of the kilobytes per second, or "%.2lfM/s" above 1024 K/s.
std::u16string TaskSpeedText(int32_t bytes_per_second);

class CTaskOnlineList : public CListUIEx {
 public:
  ~CTaskOnlineList() override = default;
  DuiLib::LPCTSTR GetClass() const override { return u"TaskOnlineListUI"; }
  // Where UpdateTask and UpdateIcon take fresh copies of tasks (not owned).
  void SetTaskManager(IAutoTaskMgr* manager) { m_pTasks = manager; }

  bool AddTask(const SOnlineTask& task);
  // False when no row has the id (the task manager is not asked) or the
  // task manager has no such task.
  bool UpdateTask(uint32_t id);
  bool UpdateIcon(uint32_t id);
  bool RemoveTask(uint32_t id) { return RemoveRowByUserData(TaskIdText(id).c_str()); }

 private:
  void ShowStatus(DuiLib::CControlUI* row, const SOnlineTask& task);
  void SetLogo(DuiLib::CControlUI* row, const std::u16string& icon_path);

  IAutoTaskMgr* m_pTasks = nullptr;
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

class CTaskOfflineList : public CListUIEx {
 public:
  ~CTaskOfflineList() override = default;
  DuiLib::LPCTSTR GetClass() const override { return u"TaskOfflineListUI"; }
  bool AddTask(const SOfflineTask& task);
  bool RemoveTask(uint32_t id) { return RemoveRowByUserData(TaskIdText(id).c_str()); }

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

// A row built from the list's layout file (parsed once, then copied).
DuiLib::CControlUI* BuildListRow(CListUIEx* list, DuiLib::CDialogBuilder& builder, bool& parsed,
                                 DuiLib::LPCTSTR layout);
