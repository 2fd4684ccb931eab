#include "ui/task_windows/feedback_wnd.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/log.h"
#include "platform/start_program.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/small_windows/browser_opener.h"

using namespace DuiLib;

const char16_t CFeedbackWnd::kAccount1[] = u"2800001234";
const char16_t CFeedbackWnd::kAccount2[] = u"2800005678";

namespace {

constexpr DWORD kWsPopup = 0x80000000;
constexpr DWORD kWsExToolWindow = 0x80;

CFeedbackWnd* g_feedback = nullptr;

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

// The per-user temporary folder: made 0700 when missing; used only when it
// is a real folder (not a link) of this user that no one else may enter.
bool PrivateFolderReady(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

// What the presence worker uses, shared with the window: the window's
// handle is withdrawn under the lock when the window is destroyed.
// A presence picture is small: a larger or slower answer is dropped, and
// closing the window ends the fetch, so the window's end never waits on the
// chat host.
struct CFeedbackWnd::PresenceJob {
  static constexpr uint64_t kMaxPictureBytes = 1 << 20;
  static constexpr int kDeadlineS = 30;

  std::string urls[2];
  std::string paths[2];
  std::atomic<bool> cancel{false};  // set by the UI thread when the window goes
  std::mutex lock;                  // guards window
  HWND window = 0;

  void Run() {
    CFtpCmdTool tool;
    DownloadLimits limits;
    limits.max_bytes = kMaxPictureBytes;
    limits.deadline_s = kDeadlineS;
    limits.cancel = &cancel;
    for (int i = 0; i < 2; ++i) {
      if (!tool.DownloadFile(urls[i].c_str(), paths[i].c_str(), limits)) {
        PD_LOG_WARNING("feedback: presence picture %s not fetched", urls[i].c_str());
        return;
      }
    }
    std::lock_guard<std::mutex> hold(lock);
    if (window && DuiLib::IsWindow(window)) DuiLib::PostMessage(window, msg::kFeedbackAnswer, 0, 0);
  }
};

std::string CFeedbackWnd::ChatHost() {
  const char* host = std::getenv("PHONEDECK_CHAT_HOST");
  std::string h = host ? host : "";
  while (!h.empty() && h.back() == '/') h.pop_back();
  return h;
}

std::string CFeedbackWnd::PresenceUrl(const std::string& host, const std::u16string& account) {
  return host + "/pa?p=2:" + Utf16ToUtf8(account) + ":51";
}

std::u16string CFeedbackWnd::ChatLink(const std::string& host, const std::u16string& account) {
  return Utf8ToUtf16(host + "/msgrd?v=3&uin=" + Utf16ToUtf8(account) + "&site=qq&menu=yes");
}

CFeedbackWnd::CFeedbackWnd() { InitWinParam(u"wnd_xml\\feedback_wnd.xml"); }

CFeedbackWnd::~CFeedbackWnd() { WaitForWorker(); }

void CFeedbackWnd::WaitForWorker() {
  if (worker_.joinable()) worker_.join();
}

void CFeedbackWnd::InitAfterCreate() {
  const std::u16string temp = CConfigMgr::Instance()->GetTempDir();
  icon_paths_[0] = temp + u"/qqserver1.gif";
  icon_paths_[1] = temp + u"/qqserver2.gif";
  const std::string host = ChatHost();
  if (host.empty()) {
    PD_LOG_INFO("feedback: no chat service host set (PHONEDECK_CHAT_HOST), presence pictures not fetched");
    return;
  }
  if (!PrivateFolderReady(Utf16ToUtf8(temp))) {
    PD_LOG_WARNING("feedback: the temporary folder %s is not private, presence pictures not fetched",
                   Utf16ToUtf8(temp).c_str());
    return;
  }
  job_ = std::make_shared<PresenceJob>();
  job_->window = m_hWnd;
  const std::u16string accounts[2] = {kAccount1, kAccount2};
  for (int i = 0; i < 2; ++i) {
    job_->urls[i] = PresenceUrl(host, accounts[i]);
    job_->paths[i] = Utf16ToUtf8(icon_paths_[i]);
  }
  worker_ = std::thread([job = job_] { job->Run(); });
}

LRESULT CFeedbackWnd::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
  if (job_) {
    job_->cancel = true;
    std::lock_guard<std::mutex> hold(job_->lock);
    job_->window = 0;
  }
  bHandled = false;
  return 0;
}

LRESULT CFeedbackWnd::HandleCustomMessage(UINT uMsg, WPARAM, LPARAM, bool& bHandled) {
  bHandled = uMsg == msg::kFeedbackAnswer;
  if (!bHandled) return 0;
  const char16_t* names[2] = {u"btn_qq_link1", u"btn_qq_link2"};
  for (int i = 0; i < 2; ++i)
    if (CControlUI* c = m_PaintManager.FindControl(names[i])) c->SetBkImage(icon_paths_[i].c_str());
  return 0;
}

void CFeedbackWnd::StartVoicebox() {
  const std::u16string path = CConfigMgr::Instance()->GetAppFilePath(u"Voicebox");
  std::string why;
  if (platform::StartDetachedProgram(Utf16ToUtf8(path), &why)) return;
  PD_LOG_WARNING("feedback: Voicebox not started: %s", why.c_str());
  ShowMessageBox(m_hWnd, u"没有找到反馈程序Voicebox，请重新安装本程序后再试。", nullptr, 0x30, 0, 0);
}

void CFeedbackWnd::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  auto report = [](int action) { FrameBackend()->ReportUserAction(action); };
  if (Is(name, u"close_btn")) {
    report(61);
    Close(IDCANCEL);
  } else if (Is(name, u"btn_feedback_forum")) {
    report(64);
  } else if (Is(name, u"btn_feedback_message")) {
    report(64);
    StartVoicebox();
  } else if (Is(name, u"btn_qq_link1") || Is(name, u"btn_qq_link2")) {
    const bool first = Is(name, u"btn_qq_link1");
    report(first ? 62 : 63);
    const std::string host = ChatHost();
    if (host.empty()) PD_LOG_WARNING("feedback: no chat service host set, the chat link is not opened");
    else OpenUrlInBrowser(ChatLink(host, first ? kAccount1 : kAccount2));
  }
}

void ShowFeedbackWnd(HWND parent) {
  if (g_feedback) return;
  auto wnd = std::make_unique<CFeedbackWnd>();
  g_feedback = wnd.get();
  if (wnd->Create(parent, u"FeedbackWnd", kWsPopup, kWsExToolWindow, 0, 0, 600, 400)) {
    wnd->CenterWindow();
    wnd->ShowModal();
  }
  wnd.reset();
  g_feedback = nullptr;
}

CFeedbackWnd* OpenFeedbackWnd() { return g_feedback; }
