// Helpers for tests that drive windows headless: click, type, press keys,
// and record notifications.
#pragma once

#include <string>
#include <vector>

#include "qenui/UIlib.h"
#include "qenui/headless/HeadlessHost.h"

namespace DuiLib {

// Sends the mouse messages of a click at the centre of the control to its window.
bool ClickControl(CControlUI* pControl, UINT keyState = 0);
bool ClickControl(CPaintManagerUI& pm, LPCTSTR name, UINT keyState = 0);
// Clicks the named control of a window (e.g. "okbtn" of a modal box from a modal script).
bool ClickControl(HWND hWnd, LPCTSTR name);
bool DoubleClickControl(CControlUI* pControl);
bool RightClickControl(CControlUI* pControl);
bool HoverControl(CControlUI* pControl);
// Key-down (and key-up) of a virtual key to the window (reaches the focused control).
void PressKey(HWND hWnd, UINT vk);
// WM_CHAR for every character of the text.
void TypeText(HWND hWnd, const std::u16string& text);

// Records every notification of a paint manager as "type:sender".
class CNotifyRecorder : public INotifyUI {
 public:
  struct Entry { CDuiString type; CDuiString sender; WPARAM wParam; LPARAM lParam; };
  explicit CNotifyRecorder(CPaintManagerUI* pm) : m_pm(pm) { pm->AddNotifier(this); }
  ~CNotifyRecorder() override { m_pm->RemoveNotifier(this); }
  void Notify(TNotifyUI& msg) override {
    m_entries.push_back({msg.sType, msg.pSender ? msg.pSender->GetName() : CDuiString(), msg.wParam, msg.lParam});
  }
  const std::vector<Entry>& Entries() const { return m_entries; }
  // "click:ok,selectchanged:opt1" (mouseenter/mouseleave/setfocus/killfocus/timer left out unless asked)
  std::string Summary(bool all = false) const;
  void Clear() { m_entries.clear(); }

 private:
  CPaintManagerUI* m_pm;
  std::vector<Entry> m_entries;
};

}  // namespace DuiLib
