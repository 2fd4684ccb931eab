#include "ui/task_windows/auto_task_dlg.h"

#include <algorithm>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/folder_opener.h"

using namespace DuiLib;

namespace {

constexpr DWORD kWsPopup = 0x80000000;
constexpr DWORD kWsExWindowEdge = 0x100;
const char16_t kDeleteQuestion[] = u"删除任务的同时，会删除文件，您确定要删除该任务吗？";

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

CAnimationUI* AsAnimation(CControlUI* c) {
  return c ? static_cast<CAnimationUI*>(c->GetInterface(u"Animation")) : nullptr;
}

}  // namespace

CAutoTaskDlg::CAutoTaskDlg() : CPageController(nullptr, {{msg::kOnlineTaskAdded, msg::kTaskIconReady}}) {
  InitWinParam(u"wnd_xml\\autotask_wnd.xml");
  press_watch_.owner = this;
}

CAutoTaskDlg::~CAutoTaskDlg() {
  if (press_watch_.manager) press_watch_.manager->RemoveMessageFilter(&press_watch_);
}

void CAutoTaskDlg::Create(HWND parent) {
  WindowImplBaseNew::Create(parent, u"AutoTaskDlg", kWsPopup, kWsExWindowEdge);
}

void CAutoTaskDlg::SetTaskManager(IAutoTaskMgr* manager) {
  tasks_ = manager;
  if (online_) online_->SetTaskManager(manager);
}

void CAutoTaskDlg::SetStatusControls(CControlUI* button, CControlUI* animation) {
  task_button_ = button;
  task_animation_ = animation;
  if (press_watch_.manager) press_watch_.manager->RemoveMessageFilter(&press_watch_);
  press_watch_.manager = button ? button->GetManager() : nullptr;
  if (press_watch_.manager) press_watch_.manager->AddMessageFilter(&press_watch_);
}

LRESULT CAutoTaskDlg::PressWatch::MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) {
  bHandled = false;
  if (uMsg == WM_LBUTTONDOWN) {
    owner->press_hid_ = owner->hidden_under_button_;
    owner->hidden_under_button_ = false;
  }
  return 0;
}

bool CAutoTaskDlg::PointerOverTaskButton() const {
  CPaintManagerUI* pm = task_button_ ? task_button_->GetManager() : nullptr;
  if (!pm) return false;
  const RECT rc = task_button_->GetPos();
  POINT corner = MakePoint(rc.left, rc.top), pointer;
  if (!ClientToScreen(pm->GetPaintWindow(), &corner) || !GetCursorPos(&pointer)) return false;
  return MakeRect(corner.x, corner.y, corner.x + rc.Width(), corner.y + rc.Height()).Contains(pointer);
}

void CAutoTaskDlg::Toggle(POINT pt, int below) {
  const bool hid = press_hid_;
  press_hid_ = false;
  if (IsVisible()) Hide();
  else if (!hid) ShowAt(static_cast<int>(pt.x), static_cast<int>(pt.y), below);
}

CControlUI* CAutoTaskDlg::CreateControl(LPCTSTR pstrClass) {
  if (Is(pstrClass, u"TaskOnlineList")) return new CTaskOnlineList;
  if (Is(pstrClass, u"TaskOfflineList")) return new CTaskOfflineList;
  return nullptr;
}

void CAutoTaskDlg::InitAfterCreate() {
  // Found in this order; the search stops at the first one missing.
  CPaintManagerUI& pm = m_PaintManager;
  online_ = dynamic_cast<CTaskOnlineList*>(pm.FindControl(u"taskonlinelist"));
  if (!online_) return;
  online_->SetTaskManager(tasks_);
  offline_ = dynamic_cast<CTaskOfflineList*>(pm.FindControl(u"taskofflinelist"));
  if (!offline_) return;
  CControlUI* tab = pm.FindControl(u"tab_task_page");
  tab_ = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface(u"TabLayout")) : nullptr;
  if (!tab_) return;
  doing_page_ = pm.FindControl(u"taskdoing_page");
  if (!doing_page_) return;
  wait_page_ = pm.FindControl(u"taskwait_page");
  ShowEmptyHints();
}

void CAutoTaskDlg::ShowEmptyHints() {
  struct Pair { CListUIEx* list; const char16_t* hint; };
  for (const Pair& p : {Pair{online_, u"online_empty"}, Pair{offline_, u"offline_empty"}}) {
    CControlUI* hint = m_PaintManager.FindControl(p.hint);
    if (!p.list || !hint) continue;
    const bool empty = p.list->GetCount() == 0;
    hint->SetVisible(empty);
    p.list->SetVisible(!empty);
  }
}

void CAutoTaskDlg::ShowAt(int x, int y, int below) {
  if (!m_hWnd) return;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  at_ = MakePoint(x, y);
  // Left edge at x + 10, bottom edge at y + 10. A task button near the top
  // of the screen leaves no room above: the window then hangs below, where
  // it covers neither the button nor its neighbours. Kept inside the work area.
  const RECT work = CPaintManagerUI::GetHost()->GetWorkArea();
  long left = std::max(work.left, std::min<long>(x + 10, work.right - rc.Width()));
  long top = y + 10 - rc.Height();
  if (top < work.top) top = below;
  top = std::max(work.top, std::min<long>(top, work.bottom - rc.Height()));
  SetWindowPos(m_hWnd, 0, static_cast<int>(left), static_cast<int>(top), 0, 0,
               SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOSIZE);
}

void CAutoTaskDlg::Hide() {
  if (m_hWnd) ShowWindow(false, false);
}

bool CAutoTaskDlg::IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

void CAutoTaskDlg::SetOfflineCaption(int count) {
  if (!wait_page_) return;
  CDuiString text;
  text.Format(u"未安装(%d)", count);
  wait_page_->SetText(text);
}

void CAutoTaskDlg::UpdateCounts() {
  if (doing_page_) {
    CDuiString text;
    text.Format(u"任务列表(%d)", tasks_ ? tasks_->GetOnlineTaskCount() : 0);
    doing_page_->SetText(text);
  }
  UpdateStatusLine();
}

void CAutoTaskDlg::UpdateStatusLine() {
  if (!task_button_) return;
  const int doing = tasks_ ? tasks_->GetDoingTaskCount() : 0;
  CAnimationUI* animation = AsAnimation(task_animation_);
  if (doing > 0) {
    if (animation) animation->StartAnimation(100);
    CDuiString text;
    text.Format(u"%d个任务正在进行", doing);
    task_button_->SetText(text);
  } else {
    if (animation) animation->StopAnimation();
    task_button_->SetText(u"没有任务正在进行");
  }
}

void CAutoTaskDlg::Consume(uint32_t message, WPARAM wParam, LPARAM lParam) {
  const uint32_t id = static_cast<uint32_t>(wParam);
  switch (message) {
    case msg::kOnlineTaskAdded:
      if (tasks_ && online_)
        if (auto task = tasks_->FindOnlineTask(id)) online_->AddTask(*task);
      UpdateCounts();
      break;
    case msg::kOnlineTaskRemoved:
      if (online_) online_->RemoveTask(id);
      UpdateCounts();
      break;
    case msg::kOfflineTaskAdded:
      if (tasks_ && offline_)
        if (auto task = tasks_->FindOfflineTask(id)) offline_->AddTask(*task);
      SetOfflineCaption(tasks_ ? tasks_->GetOfflineTaskCount() : 0);
      break;
    case msg::kOfflineTaskRemoved:
      if (offline_) offline_->RemoveTask(id);
      SetOfflineCaption(tasks_ ? tasks_->GetOfflineTaskCount() : 0);
      break;
    case msg::kOnlineTaskChanged:
      if (online_) online_->UpdateTask(id);
      switch (lParam) {
        case kTaskWaitingDownload: case kTaskPaused: case kTaskDownloadFailed:
        case kTaskInstalled: case kTaskInstallFailed:
          UpdateStatusLine();
          break;
        default:
          break;
      }
      break;
    case msg::kTaskListLoaded: {
      std::map<uint32_t, std::unique_ptr<SOfflineTask>> copies;
      if (tasks_) tasks_->GetOfflineTasks(copies);
      if (offline_)
        for (const auto& [key, task] : copies)
          if (task) offline_->AddTask(*task);
      SetOfflineCaption(static_cast<int>(copies.size()));
      break;
    }
    case msg::kTaskIconReady:
      if (online_) online_->UpdateIcon(id);
      break;
    default:
      break;
  }
  ShowEmptyHints();
}

void CAutoTaskDlg::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  uint32_t id = 0;
  ParseTaskId(msg.pSender->GetUserData().str(), &id);
  auto report = [](int action) { FrameBackend()->ReportUserAction(action); };
  if (name == u"taskdoing_page") {
    report(502);
    if (tab_) tab_->SelectItem(0);
  } else if (name == u"taskwait_page") {
    report(503);
    if (tab_) tab_->SelectItem(1);
  } else if (name == u"down_pause") {
    report(506);
    if (tasks_) tasks_->PauseTask(id);
    UpdateStatusLine();
  } else if (name == u"task_cancle") {
    report(507);
    if (tasks_) tasks_->DeleteOnlineTask(id);
    UpdateStatusLine();
  } else if (Is(name, u"failed_retry")) {
    report(504);
    if (tasks_) tasks_->RetryTask(id);
    UpdateStatusLine();
  } else if (name == u"down_continue") {
    report(505);
    if (tasks_) tasks_->ContinueTask(id);
    UpdateStatusLine();
  } else if (name == u"app_setup") {
    report(508);
    if (tasks_) tasks_->InstallOfflineTask(id);
  } else if (Is(name, u"app_delfile")) {
    report(509);
    DeleteDownloadedApp(id);
  } else if (name == u"open_download_dir") {
    report(501);
    // Its message box must not hide this window as it takes the focus.
    confirming_ = true;
    OpenFolderOrTell(m_hWnd, CConfigMgr::Instance()->GetDownloadPath().c_str());
    confirming_ = false;
  }
}

void CAutoTaskDlg::DeleteDownloadedApp(uint32_t id) {
  if (CConfigMgr::Instance()->GetDelOffTaskTips()) {
    confirming_ = true;
    int answer = ShowMessageBox(m_hWnd, kDeleteQuestion, nullptr, 0x21, 0, 7);
    confirming_ = false;
    if (answer != 1) return;
  }
  if (tasks_) tasks_->DeleteOfflineTask(id);
}

LRESULT CAutoTaskDlg::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
  if (wParam == 0 && !confirming_ && IsVisible()) {
    hidden_under_button_ = PointerOverTaskButton();
    Hide();
  }
  bHandled = false;
  return 0;
}

LRESULT CAutoTaskDlg::ResponseDefaultKeyEvent(WPARAM wParam) { return wParam == VK_ESCAPE ? 1 : 0; }
