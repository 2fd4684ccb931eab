#include "ui/pages/media_page.h"

#include <memory>

#include "app/config/config_mgr.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/log.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/batch_run.h"

using namespace DuiLib;

namespace {

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

}  // namespace

HWND PagesOwnerWindow() { return static_cast<HWND>(CConfigMgr::Instance()->GetMainWnd()); }

CControlUI* FindPageControl(CPaintManagerUI* pm, const char16_t* name) {
  CControlUI* c = pm ? pm->FindControl(name) : nullptr;
  if (!c) PD_LOG_WARNING("page: control %s missing", CDuiString(name).ToUtf8().c_str());
  return c;
}

CMediaPage::CMediaPage(CPaintManagerUI* pm, const MediaPageSpec& spec)
    : CPageController(pm, {{spec.loaded_msg, spec.busy_msg}}), spec_(spec) {}

void CMediaPage::Init() {
  CPageController::Init();
  list_ = dynamic_cast<CListUIEx*>(FindPageControl<CControlUI>(pm_, spec_.list, u"Control"));
  if (list_) list_->SetCheckBoxName(spec_.row_box);
  all_ = FindPageControl<CCheckBoxUI>(pm_, spec_.all_box, u"CheckBox");
  add_ = FindPageControl<CControlUI>(pm_, spec_.add_btn, u"Control");
  del_ = FindPageControl<CControlUI>(pm_, spec_.del_btn, u"Control");
  export_ = FindPageControl<CControlUI>(pm_, spec_.export_btn, u"Control");
  refresh_ = FindPageControl<CControlUI>(pm_, spec_.refresh_btn, u"Control");
  load_tab_ = FindPageControl<CTabLayoutUI>(pm_, spec_.load_tab, u"TabLayout");
  loading_ = FindPageControl<CAnimationUI>(pm_, spec_.loading, u"Animation");
  EnableActions(false);
}

LRESULT CMediaPage::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  CPageController::HandleMessage(uMsg, wParam, lParam, bHandled);
  if (!bHandled) return 0;
  const auto id = static_cast<int32_t>(wParam);
  if (uMsg == spec_.loaded_msg) Fill();
  else if (uMsg == spec_.added_msg) InsertRow(id);
  else if (uMsg == spec_.removed_msg) OnRemoved(id);
  else if (uMsg == spec_.busy_msg) OnBusy(wParam != 0);
  return 0;
}

void CMediaPage::Clear() {
  CPageController::Clear();
  if (list_) list_->RemoveAll();
}

void CMediaPage::Fill() {
  if (!list_) return;
  list_->RemoveAll();
  if (all_) all_->SetCheck(false);
  AddAllRows();  // a long list goes on filling after this (the first rows are there)
  EnableActions(false);
  EnableControl(all_, list_->TotalCount() > 0);
  ShowView();
}

void CMediaPage::OnRemoved(int32_t id) {
  if (!list_) return;
  CDuiString text;
  text.Format(u"%d", id);
  list_->RemoveRowByUserData(text);
  EnableActions(list_->CheckedCount() > 0);
  EnableControl(all_, list_->TotalCount() > 0);
  ShowView();
}

void CMediaPage::ShowView() {
  if (load_tab_) load_tab_->SelectItem(list_ && list_->TotalCount() > 0 ? 0 : 2);
}

void CMediaPage::OnBusy(bool busy) {
  if (busy) {
    if (all_) {
      all_->SetEnabled(false);
      all_->SetCheck(false);
    }
    EnableControl(add_, false);
    EnableControl(refresh_, false);
    if (load_tab_) load_tab_->SelectItem(1);
    if (loading_) loading_->StartAnimation(100);
  } else {
    if (loading_) loading_->StopAnimation();
    if (load_tab_) load_tab_->SelectItem(0);
    EnableControl(all_, true);
    EnableControl(add_, true);
    EnableControl(refresh_, true);
  }
}

void CMediaPage::EnableActions(bool on) {
  EnableControl(del_, on);
  EnableControl(export_, on);
}

std::vector<int32_t> CMediaPage::TickedIds() const {
  std::vector<long long> ids;
  if (list_) list_->GetCheckedIds(ids);
  return std::vector<int32_t>(ids.begin(), ids.end());
}

void CMediaPage::OnAllBox() {
  const bool on = all_ && all_->GetCheck();
  if (list_) list_->CheckAll(on);
  EnableActions(on && list_ && list_->TotalCount() > 0);
}

void CMediaPage::OnRowBox(CControlUI* box) {
  if (!list_) return;
  list_->OnCheckBoxClicked(box);
  const int ticked = list_->CheckedCount();
  if (all_) all_->SetCheck(ticked > 0 && ticked == list_->TotalCount());
  EnableActions(ticked > 0);
}

void CMediaPage::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  struct Action {
    const char16_t* control;
    int stat;
    void (CMediaPage::*act)();
  };
  const Action actions[] = {
      {spec_.refresh_btn, spec_.stat_refresh, nullptr},
      {spec_.add_btn, spec_.stat_add, &CMediaPage::Import},
      {spec_.del_btn, spec_.stat_del, &CMediaPage::Delete},
      {spec_.export_btn, spec_.stat_export, &CMediaPage::Export},
      {spec_.all_box, spec_.stat_all, &CMediaPage::OnAllBox},
  };
  for (const Action& a : actions) {
    if (!Is(name, a.control)) continue;
    FrameBackend()->ReportUserAction(a.stat);
    if (a.act) (this->*a.act)();
    else Refresh();
    return;
  }
  if (Is(name, spec_.row_box)) OnRowBox(msg.pSender);
}

void CMediaPage::Import() {
  TFileChooser request;
  request.sTitle = spec_.chooser_title;
  request.sFilterName = spec_.filter_name;
  request.sPattern = spec_.filter_pattern;
  request.bMultiSelect = true;
  std::vector<CDuiString> chosen;
  if (!GetOpenFileNames(PagesOwnerWindow(), request, &chosen)) {
    PD_LOG_ERROR("GetOpenFileName Failed!");
    return;
  }
  auto paths = std::make_shared<std::vector<std::u16string>>();
  for (const CDuiString& p : chosen)
    if (!p.IsEmpty()) paths->push_back(p.str());
  if (paths->empty()) return;
  RunBatchJob(PagesOwnerWindow(), spec_.add_kind, static_cast<int>(paths->size()),
              [upload = spec_.upload_one, paths](int i, HWND box) {
                FtpTransferContext context;
                context.wnd = reinterpret_cast<uintptr_t>(box);
                return upload((*paths)[static_cast<size_t>(i)], &context);
              });
}

void CMediaPage::Export() {
  auto ids = std::make_shared<std::vector<int32_t>>(TickedIds());
  if (ids->empty()) return;
  CDuiString folder;
  if (!BrowseForFolder(PagesOwnerWindow(), spec_.folder_title, &folder) || folder.IsEmpty()) {
    PD_LOG_INFO("export: no folder chosen");
    return;
  }
  RunBatchJob(PagesOwnerWindow(), spec_.export_kind, static_cast<int>(ids->size()),
              [export_one = spec_.export_one, ids, dir = folder.str(),
               names = std::make_shared<ExportedNames>()](int i, HWND box) {
                FtpTransferContext context;
                context.wnd = reinterpret_cast<uintptr_t>(box);
                return export_one(dir, (*ids)[static_cast<size_t>(i)], &context, names.get());
              });
}

void CMediaPage::Delete() {
  auto ids = std::make_shared<std::vector<int32_t>>(TickedIds());
  if (ids->empty()) return;
  if (spec_.tips_on()) {
    CDuiString question;
    question.Format(spec_.delete_question, static_cast<int>(ids->size()));
    if (ShowMessageBox(PagesOwnerWindow(), question, nullptr, 0x21, 0, spec_.reminder_id) != 1) return;
  }
  RunBatchJob(PagesOwnerWindow(), spec_.delete_kind, static_cast<int>(ids->size()),
              [delete_one = spec_.delete_one, ids](int i, HWND) { return delete_one((*ids)[static_cast<size_t>(i)]); });
}
