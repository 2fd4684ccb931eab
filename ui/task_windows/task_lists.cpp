#include "ui/task_windows/task_lists.h"

#include "app/adb/adb_output.h"
#include "app/task/p2sp_client.h"

using namespace DuiLib;

namespace {

CContainerUI* AsContainer(CControlUI* p) { return p ? static_cast<CContainerUI*>(p->GetInterface(u"Container")) : nullptr; }

CControlUI* Sub(CControlUI* row, LPCTSTR name) {
  CContainerUI* c = AsContainer(row);
  return c ? c->FindSubControl(name) : nullptr;
}

void SelectPage(CControlUI* row, LPCTSTR tab, int page) {
  if (page < 0) return;
  if (CControlUI* c = Sub(row, tab))
    if (auto* t = static_cast<CTabLayoutUI*>(c->GetInterface(u"TabLayout"))) t->SelectItem(page);
}

void SetSubText(CControlUI* row, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = Sub(row, name)) c->SetText(text.c_str());
}

void SetId(CControlUI* row, LPCTSTR name, const std::u16string& id) {
  if (CControlUI* c = Sub(row, name)) c->SetUserData(id.c_str());
}

CAnimationUI* Animation(CControlUI* row) {
  CControlUI* c = Sub(row, u"install_animation");
  return c ? static_cast<CAnimationUI*>(c->GetInterface(u"Animation")) : nullptr;
}

}  // namespace

TaskRowStatus TaskRowStatusOf(int state) {
  TaskRowStatus s;
  switch (state) {
    case kTaskWaitingDownload:
      s = {2, 2, 0, u"等待下载"};
      break;
    case kTaskDownloading:
      s = {0, 0, 0};
      s.speed_and_progress = true;
      break;
    case kTaskPaused:
      s = {0, 3, 0};
      break;
    case kTaskDownloaded:
      s = {2, 2, 0, u"下载完了"};
      s.wait_appname = true;
      break;
    case kTaskDownloadFailed:
      s = {1, 1, 0, nullptr, u"下载失败"};
      break;
    case kTaskWaitingInstall:
      s = {2, 2, 0, u"等待安装"};
      s.wait_appname = true;
      break;
    case kTaskReadingPackage:
      s = {2, 2, 1, u"文件解析中"};
      s.icon = true;
      break;
    case kTaskInstalling:
      s = {4, 4, 1};
      s.animation = 1;
      break;
    case kTaskInstalled:
      s.animation = -1;
      break;
    case kTaskInstallFailed:
      s = {1, 1, 0, nullptr, u"安装失败"};
      s.animation = -1;
      s.retry_tooltip = true;
      break;
    default:
      break;
  }
  return s;
}

std::u16string DownloadFailureText(int32_t engine_code) {
  if (engine_code == kEngineFailFile) return u"磁盘空间不足或下载文件夹不可写，未下载完的文件已删除";
  return std::u16string();
}

std::u16string TaskSpeedText(int32_t bytes_per_second) {
  const double kilobytes = bytes_per_second / 1024.0;
  CDuiString text;
  if (kilobytes > 1024) text.Format(u"%.2lfM/s", kilobytes / 1024);
  else text.Format(u"%.2lfK/s", kilobytes);
  return text.str();
}

CControlUI* BuildListRow(CListUIEx* list, CDialogBuilder& builder, bool& parsed, LPCTSTR layout) {
  return list->AddRowFromLayout(builder, parsed, layout);
}

// ---------------- CTaskOnlineList ----------------

void CTaskOnlineList::SetLogo(CControlUI* row, const std::u16string& icon_path) {
  CControlUI* logo = Sub(row, u"app_logo");
  if (!logo || icon_path.empty()) return;
  logo->SetBkImage(icon_path.c_str());
  logo->SetTag(reinterpret_cast<UINT_PTR>(row));
}

bool CTaskOnlineList::AddTask(const SOnlineTask& task) {
  CControlUI* row = BuildListRow(this, m_builder, m_bParsed, u"wnd_xml\\taskonlinelist_item.xml");
  if (!row) return false;
  const std::u16string id = TaskIdText(task.task_id);
  SetLogo(row, task.icon_path);
  ShowStatus(row, task);
  row->SetUserData(id.c_str());
  for (LPCTSTR name : {u"down_pause", u"task_cancle", u"down_continue", u"failed_retry"}) SetId(row, name, id);
  return true;
}

bool CTaskOnlineList::UpdateTask(uint32_t id) {
  CControlUI* row = FindRowByUserData(TaskIdText(id).c_str());
  if (!row || !m_pTasks) return false;
  std::unique_ptr<SOnlineTask> task = m_pTasks->FindOnlineTask(id);
  if (!task) return false;
  ShowStatus(row, *task);
  return true;
}

bool CTaskOnlineList::UpdateIcon(uint32_t id) {
  CControlUI* row = FindRowByUserData(TaskIdText(id).c_str());
  if (!row || !m_pTasks) return false;
  std::unique_ptr<SOnlineTask> task = m_pTasks->FindOnlineTask(id);
  if (!task) return false;
  SetLogo(row, task->icon_path);
  return true;
}

void CTaskOnlineList::ShowStatus(CControlUI* row, const SOnlineTask& task) {
  SetSubText(row, u"lab_appname", task.app_name);
  const TaskRowStatus s = TaskRowStatusOf(task.state);
  SelectPage(row, u"tab_task_state", s.state_page);
  SelectPage(row, u"tab_oprt_btn", s.oprt_page);
  SelectPage(row, u"tab_cancel_btn", s.cancel_page);
  if (s.wait_appname) SetSubText(row, u"wait_appname", task.app_name);
  if (s.wait_text) SetSubText(row, u"lbl_install_wait", s.wait_text);
  if (s.failed_text) SetSubText(row, u"failed_code", s.failed_text);
  if (s.icon) SetLogo(row, task.icon_path);
  if (s.speed_and_progress) {
    SetSubText(row, u"down_speed", TaskSpeedText(task.progress.speed));
    CControlUI* bar = Sub(row, u"download_progress");
    auto* progress = bar ? static_cast<CProgressUI*>(bar->GetInterface(u"Progress")) : nullptr;
    if (progress && task.progress.total_size != 0)
      progress->SetValue(static_cast<int>(task.progress.downloaded_size * 100 / task.progress.total_size));
  }
  if (CAnimationUI* animation = Animation(row)) {
    if (s.animation > 0) animation->StartAnimation(100);
    else if (s.animation < 0) animation->StopAnimation();
  }
  if (s.retry_tooltip) {
    const std::u16string why = adb::InstallErrorText(task.state_detail);
    if (CControlUI* retry = Sub(row, u"failed_retry"); retry && !why.empty()) retry->SetToolTip(why.c_str());
  }
  // A failed download says why on the row and its failure text (or nothing).
  if (task.state == kTaskDownloadFailed) {
    const std::u16string why = DownloadFailureText(task.state_detail);
    row->SetToolTip(why.c_str());
    if (CControlUI* failed = Sub(row, u"failed_code")) failed->SetToolTip(why.c_str());
  }
}

// ---------------- CTaskOfflineList ----------------

bool CTaskOfflineList::AddTask(const SOfflineTask& task) {
  CControlUI* row = BuildListRow(this, m_builder, m_bParsed, u"wnd_xml\\taskofflinelist_item.xml");
  if (!row) return false;
  const std::u16string id = TaskIdText(task.task_id);
  row->SetUserData(id.c_str());
  if (CControlUI* logo = Sub(row, u"app_logo")) {
    if (!task.icon_path.empty()) logo->SetBkImage(task.icon_path.c_str());
    logo->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  SetSubText(row, u"app_name", task.app_name);
  SetId(row, u"app_setup", id);
  SetId(row, u"app_delfile", id);
  return true;
}
