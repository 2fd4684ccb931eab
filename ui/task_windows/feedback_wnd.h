// CFeedbackWnd: the feedback window of the main window. It starts the
// feedback program Voicebox (from the program's folder; when it is not
// there the user is told so), opens the two support chat links in the
// browser and shows the presence pictures of the two support accounts,
// fetched from the chat service's web host by a worker.
//
// The chat service's web host is a deployment value: PHONEDECK_CHAT_HOST
// ("http://127.0.0.1:<port>" in tests). Without it no picture is fetched and
// the chat links open nothing (both logged).
//
// The worker belongs to the window: it holds a copy of everything it uses
// and posts its answer only while the window exists (the window withdraws
// its handle when it is destroyed); the window joins it when it is deleted.
//
// Threading: UI thread, except the presence worker.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "qenui/UIlib.h"

class CFeedbackWnd : public DuiLib::WindowImplBaseNew {
 public:
  static const char16_t kAccount1[];
  static const char16_t kAccount2[];

  CFeedbackWnd();
  ~CFeedbackWnd() override;

  // The chat service's web host, without a trailing "/" (empty when none is set).
  static std::string ChatHost();
  // The presence picture and the chat link of an account.
  static std::string PresenceUrl(const std::string& host, const std::u16string& account);
  static std::u16string ChatLink(const std::string& host, const std::u16string& account);

  const std::u16string& IconPath(int i) const { return icon_paths_[i]; }
  // The presence worker has ended (tests).
  void WaitForWorker();

  struct PresenceJob;

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"FeedbackWnd"; }
  DuiLib::LRESULT HandleCustomMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                      bool& bHandled) override;
  void InitAfterCreate() override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT OnDestroy(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;

 private:
  void StartVoicebox();

  std::u16string icon_paths_[2];
  std::shared_ptr<PresenceJob> job_;
  std::thread worker_;
};

// Opens the feedback window modally over `parent`; nothing while one is open.
void ShowFeedbackWnd(DuiLib::HWND parent);
// The open feedback window (null when none).
CFeedbackWnd* OpenFeedbackWnd();
