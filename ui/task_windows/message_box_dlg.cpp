#include "ui/task_windows/message_box_dlg.h"

#include <algorithm>

#include "app/core/message_ids.h"
#include "app/ftp/ftpcmd_tool.h"

using namespace DuiLib;

namespace {

constexpr DWORD kWsPopup = 0x80000000;
constexpr DWORD kWsExToolWindow = 0x80;

const BatchJobTexts kKinds[] = {
    {u"正在导出图片...", u"成功导出%d张图片。", nullptr, u"成功导出%d张图片，%d张失败。"},
    {u"正在导出音乐...", u"成功导出%d个音乐。", nullptr, u"成功导出%d个音乐，%d个失败。"},
    {u"正在导出视频...", u"成功导出%d个视频。", u"正在导出第%d个视频", u"成功导出%d个视频，%d个失败。"},
    {u"正在添加图片...", u"成功添加%d张图片。", nullptr, u"成功添加%d张图片，%d张失败。"},
    {u"正在添加视频...", u"成功添加%d个视频。", u"正在添加第%d个视频", u"成功添加%d个视频，%d个失败。"},
    {u"正在添加音乐...", u"成功添加%d个音乐。", u"正在添加第%d个音乐", u"成功添加%d个音乐，%d个失败。"},
    {u"正在删除图片...", u"成功删除%d张图片。", nullptr, u"成功删除%d张图片，%d张失败。"},
    {u"正在删除音乐...", u"成功删除%d个音乐。", nullptr, u"成功删除%d个音乐，%d个失败。"},
    {u"正在删除视频...", u"成功删除%d个视频。", nullptr, u"成功删除%d个视频，%d个失败。"},
    {u"正在删除联系人...", u"成功删除%d个联系人。", nullptr, u"成功删除%d个联系人，%d个失败。"},
};

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

void SetFormatted(CControlUI* c, const char16_t* format, int a) {
  if (!c || !format) return;
  CDuiString text;
  text.Format(format, a);
  c->SetText(text);
}

}  // namespace

BatchJobTexts BatchJobTextsOf(int32_t kind) {
  if (kind < 0 || kind >= static_cast<int32_t>(sizeof(kKinds) / sizeof(kKinds[0]))) return {u"", u"", nullptr, u""};
  return kKinds[kind];
}

CMessageBoxDlg::CMessageBoxDlg()
    : canceller_([](uintptr_t transfer) { return CFtpCmdTool::Instance()->Pause(transfer); }) {
  InitWinParam(u"wnd_xml\\export_wnd.xml");
}

CMessageBoxDlg::~CMessageBoxDlg() { StopWorker(); }

bool CMessageBoxDlg::StartWorker(std::function<void(const BatchJobControl&)> worker) {
  if (worker_.joinable() || !m_hWnd || !worker) return false;
  control_.window_ = m_hWnd;
  worker_ = std::thread([this, work = std::move(worker)] { work(control_); });
  return true;
}

void CMessageBoxDlg::StopWorker() {
  control_.stop_.store(true);
  if (worker_.joinable()) worker_.join();
}

void CMessageBoxDlg::InitAfterCreate() {
  CPaintManagerUI& pm = m_PaintManager;
  CControlUI* bar = pm.FindControl(u"export_progress");
  progress_ = bar ? static_cast<CProgressUI*>(bar->GetInterface(u"Progress")) : nullptr;
  ok_ = pm.FindControl(u"btn_ok");
  cancel_ = pm.FindControl(u"btn_cancel");
  num_ = pm.FindControl(u"lab_num");
  msg_ = pm.FindControl(u"lab_msg");
  if (msg_) msg_->SetText(BatchJobTextsOf(kind_).title);
}

void CMessageBoxDlg::WindowInitNotify(TNotifyUI&) {
  if (init_callback_) init_callback_(init_data_);
}

LRESULT CMessageBoxDlg::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bHandled = true;
  switch (uMsg) {
    case msg::kBatchProgress:
      OnProgress(static_cast<int>(wParam), static_cast<int>(lParam));
      break;
    case msg::kBatchFinished:
      Finish(static_cast<int>(wParam));
      break;
    case msg::kFtpProgress:
      OnTransferProgress(static_cast<uintptr_t>(wParam), static_cast<int>(lParam));
      break;
    default:
      bHandled = false;
      break;
  }
  return 0;
}

void CMessageBoxDlg::OnProgress(int total, int done) {
  const BatchJobTexts texts = BatchJobTextsOf(kind_);
  CDuiString count;
  count.Format(u"%d/%d", done, total);
  if (texts.per_item) {
    // The bar follows the transfer of the current file.
    if (total > 1) SetFormatted(msg_, texts.per_item, done);
    if (num_) num_->SetText(count);
    return;
  }
  if (progress_ && total > 0) progress_->SetValue(done * 100 / total);
  if (num_) num_->SetText(count);
  if (done == total && done != 0) Finish(done);
}

void CMessageBoxDlg::OnTransferProgress(uintptr_t transfer, int percent) {
  current_transfer_ = percent == 100 ? 0 : transfer;
  if (progress_) progress_->SetValue(percent);
}

void CMessageBoxDlg::Finish(int count) {
  const BatchJobTexts texts = BatchJobTextsOf(kind_);
  const int failed = std::min(std::max(control_.Failures(), 0), std::max(count, 0));
  if (failed == 0) {
    SetFormatted(msg_, texts.result, count);
  } else if (msg_) {
    CDuiString text;
    text.Format(texts.failed, count - failed, failed);
    msg_->SetText(text);
  }
  if (ok_) ok_->SetVisible(true);
  if (cancel_) cancel_->SetVisible(false);
  ShowCountdown();
  SetTimer(m_hWnd, kCountdownTimer, kCountdownElapse);
}

void CMessageBoxDlg::ShowCountdown() {
  SetFormatted(ok_, u"确定 ({c #009900}%d{/c})", countdown_);
  --countdown_;
}

LRESULT CMessageBoxDlg::OnTimer(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
  if (wParam != kCountdownTimer) {
    bHandled = false;
    return 0;
  }
  bHandled = true;
  if (countdown_ <= 0) {
    KillTimer(m_hWnd, kCountdownTimer);
    Close(IDOK);
  } else {
    ShowCountdown();
  }
  return 0;
}

void CMessageBoxDlg::Cancel() {
  if (current_transfer_ != 0 && canceller_) canceller_(current_transfer_);
  current_transfer_ = 0;
  Close(IDCANCEL);
}

void CMessageBoxDlg::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"btn_ok")) Close(IDOK);
  else if (Is(name, u"close_btn") || Is(name, u"btn_cancel")) Cancel();
}

LRESULT CMessageBoxDlg::ResponseDefaultKeyEvent(WPARAM wParam) {
  if (wParam != VK_ESCAPE) return 0;
  Cancel();
  return 1;
}

LRESULT CMessageBoxDlg::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
  // The worker ends with the window: it is told to stop and waited for.
  StopWorker();
  bHandled = false;
  return 0;
}

HWND ShowMessageBoxDlg(CMessageBoxDlg* dlg, HWND parent) {
  if (!dlg) return 0;
  HWND h = dlg->Create(parent, u"MessageBoxDlg", kWsPopup, kWsExToolWindow, 0, 0, 600, 400);
  if (h) dlg->CenterWindow();
  return h;
}
