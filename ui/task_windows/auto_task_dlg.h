// CAutoTaskDlg: the task list popup. One tab lists the tasks in progress,
// the other the downloaded apps not installed yet; the row buttons become
// task manager commands; the tab captions and the main window's task button
// follow the task counts. It hides itself when it loses activation (unless
// one of its message boxes is open: the delete confirmation, or the notice
// that the download folder could not be opened).
//
// An empty list shows a picture and one line in its place.
//
// It owns the task messages 1254-1260 (task id in wParam) that the main
// window offers it; each message reads the task manager's current state
// again, as copies.
//
// The task button toggles it. With a window manager, a press on the button
// first takes the focus from this window, which hides it; the click that
// follows must not show it again. The window watches the presses of the
// button's window for that.
//
// Threading: UI thread only.
#pragma once

#include "app/task/auto_task_view.h"
#include "qenui/UIlib.h"
#include "ui/pages/page_controller.h"
#include "ui/task_windows/task_lists.h"

class CAutoTaskDlg : public DuiLib::WindowImplBaseNew, public CPageController {
 public:
  CAutoTaskDlg();
  ~CAutoTaskDlg() override;

  // Creates the window hidden: "wnd_xml\autotask_wnd.xml", WS_POPUP, WS_EX_WINDOWEDGE.
  void Create(DuiLib::HWND parent);
  // The task manager the window reads and commands (not owned; null: none yet).
  void SetTaskManager(IAutoTaskMgr* manager);
  // The main window's task button and its "doing" animation.
  void SetStatusControls(DuiLib::CControlUI* button, DuiLib::CControlUI* animation);
  void SetTaskControls(DuiLib::CControlUI* button, DuiLib::CControlUI* animation) {
    SetStatusControls(button, animation);
  }
  // Shows the window with its left edge at x + 10 and its bottom edge at
  // y + 10, above the point. When it does not fit above in the work area it
  // opens below instead, its top at `below` (the button window's caption
  // bottom, which it then leaves uncovered). Moved as little as needed to
  // stay inside the work area.
  void ShowAt(int x, int y, int below);
  void ShowAt(int x, int y) { ShowAt(x, y, y + 10); }
  void ShowAt(DuiLib::POINT pt) { ShowAt(static_cast<int>(pt.x), static_cast<int>(pt.y)); }
  // The task button was clicked: hides the window when it is shown, or when
  // the press of this click took the focus from it (and so hid it already);
  // else shows it at the button (ShowAt).
  void Toggle(DuiLib::POINT pt, int below);
  DuiLib::POINT ShownAt() const { return at_; }
  void Hide();
  bool IsVisible() const;

  void UpdateCounts();
  void UpdateStatusLine();

  CTaskOnlineList* OnlineList() const { return online_; }
  CTaskOfflineList* OfflineList() const { return offline_; }

  using CPageController::HandleMessage;

 protected:
  using DuiLib::WindowImplBaseNew::HandleMessage;
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"AutoTaskDlg"; }
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;
  void InitAfterCreate() override;
  DuiLib::LRESULT OnNcActivate(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                               bool& bHandled) override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT ResponseDefaultKeyEvent(DuiLib::WPARAM wParam) override;
  // The task messages (after CPageController counted them).
  void Consume(uint32_t message, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam) override;

 private:
  void SetOfflineCaption(int count);
  // An empty list gives its place to a line that says what comes there.
  void ShowEmptyHints();
  void DeleteDownloadedApp(uint32_t id);
  // Whether the pointer is over the task button (on the screen).
  bool PointerOverTaskButton() const;

  // Sees the presses of the task button's window before its controls do.
  struct PressWatch : DuiLib::IMessageFilterUI {
    CAutoTaskDlg* owner = nullptr;
    DuiLib::CPaintManagerUI* manager = nullptr;  // where it is installed; null: nowhere
    DuiLib::LRESULT MessageHandler(DuiLib::UINT uMsg, DuiLib::WPARAM, DuiLib::LPARAM, bool& bHandled) override;
  };
  PressWatch press_watch_;
  // Hidden as it lost the focus with the pointer over the task button:
  // taken by the next press of the button's window.
  bool hidden_under_button_ = false;
  // The press of the click now going on hid the window.
  bool press_hid_ = false;

  bool confirming_ = false;
  CTaskOnlineList* online_ = nullptr;
  CTaskOfflineList* offline_ = nullptr;
  DuiLib::CTabLayoutUI* tab_ = nullptr;
  DuiLib::CControlUI* doing_page_ = nullptr;
  DuiLib::CControlUI* wait_page_ = nullptr;
  DuiLib::CControlUI* task_button_ = nullptr;
  DuiLib::CControlUI* task_animation_ = nullptr;
  IAutoTaskMgr* tasks_ = nullptr;
  DuiLib::POINT at_;
};
