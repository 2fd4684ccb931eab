#include "ui/message_box/message_wnd.h"

#include "app/config/config_mgr.h"

using namespace DuiLib;

namespace {

constexpr char16_t kDefaultCaption[] = u" 提示";
constexpr char16_t kDefaultOk[] = u"确定";
constexpr char16_t kDefaultCancel[] = u"取消";

const char16_t* IconFor(int kind) {
  switch (kind & 0xF0) {
    case 0x10: return u"file='png/ICON_BIG_ERROR.png' dest='9,9,41,41'";
    case 0x20:
    case 0x30: return u"file='png/ICON_BIG_WARNING.png' dest='9,9,41,41'";
    case 0x40: return u"file='png/ICON_BIG_INFO.png' dest='9,9,41,41'";
    case 0x80: return u"file='png/ICON_BIG_OK.png' dest='9,9,41,41'";
    default: return nullptr;
  }
}

template <typename T>
T* FindAs(CPaintManagerUI& pm, const char16_t* name, const char16_t* iface) {
  CControlUI* c = pm.FindControl(name);
  return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
}

}  // namespace

CMessageWnd::CMessageWnd(const std::u16string& text, const std::u16string& caption, const std::u16string& ok_text,
                         const std::u16string& cancel_text, int kind, int countdown, int reminder_id)
    : kind_(kind),
      text_(text),
      caption_(caption),
      ok_text_(ok_text),
      cancel_text_(cancel_text),
      reminder_id_(reminder_id),
      countdown_(countdown) {
  InitWinParam(u"wnd_xml\\msg_wnd.xml");
}

bool CMessageWnd::IsTicked() const { return check_ ? check_->GetCheck() : ticked_; }

LRESULT CMessageWnd::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
  // The tick outlives the window's controls.
  ticked_ = check_ && check_->GetCheck();
  check_ = nullptr;
  bHandled = false;
  return 0;
}

void CMessageWnd::SetIcon() {
  CLabelUI* icon = FindAs<CLabelUI>(m_PaintManager, u"iconlab", u"Label");
  if (!icon) return;  // the shipped layout has no icon label
  if (const char16_t* image = IconFor(kind_)) {
    icon->SetBkImage(image);
  } else {
    icon->SetVisible(false);
    if (CControlUI* hor = m_PaintManager.FindControl(u"icon_hor")) hor->SetFixedWidth(20);
  }
}

void CMessageWnd::InitAfterCreate() {
  SetIcon();
  CControlUI* ok = m_PaintManager.FindControl(u"okbtn");
  CControlUI* cancel = m_PaintManager.FindControl(u"cancelbtn");
  if ((kind_ & 0x0F) == 0) {
    // OK only: the OK button takes the middle.
    if (cancel) cancel->SetVisible(false);
    if (ok) {
      SIZE xy = ok->GetFixedXY();
      if (ok->IsFloat()) ok->SetFixedXY(MakeSize(xy.cx + 110, xy.cy));
      else ok->SetPadding(MakeRect(ok->GetPadding().left + 110, ok->GetPadding().top, 0, 0));
      ok->SetFixedWidth(90);
      ok->SetFixedHeight(30);
    }
  }
  check_ = FindAs<CCheckBoxUI>(m_PaintManager, u"check_notips", u"CheckBox");
  if (check_) {
    check_->SetVisible(reminder_id_ != 0);
    check_->SetCheck(true, false);
  }
  if (CControlUI* title = m_PaintManager.FindControl(u"titlelabel")) title->SetText(caption_.c_str());
  if (CControlUI* text = m_PaintManager.FindControl(u"msglab")) text->SetText(text_.c_str());
  if (cancel) cancel->SetText(cancel_text_.c_str());
  if (ok) ok->SetText(ok_text_.c_str());
}

void CMessageWnd::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  CDuiString name = msg.pSender->GetName();
  if (name == u"okbtn") Close(IDOK);
  else if (name == u"cancelbtn" || name == u"closebtn") Close(IDCANCEL);
}

LRESULT CMessageWnd::ResponseDefaultKeyEvent(WPARAM wParam) {
  if (wParam == VK_ESCAPE) {
    Close(IDCANCEL);
    return 1;  // consumed
  }
  return 0;  // Enter and the rest go to the library
}

void ApplyReminderChoice(int result, int reminder_id, bool ticked) {
  CConfigMgr* config = CConfigMgr::Instance();
  if (result == IDOK) {
    bool on = !ticked;
    switch (reminder_id) {
      case 1: config->SetSmsTips(on); break;
      case 2: config->SetContactTips(on); break;
      case 3: config->SetMusicTips(on); break;
      case 4: config->SetVideoTips(on); break;
      case 5: config->SetPictureTips(on); break;
      case 6: config->SetAutoInstallTips(on); break;
      case 7: config->SetDelOffTaskTips(on); break;
      default: break;  // 0: no tick, nothing to store
    }
  } else if (reminder_id == 6 && ticked) {
    config->SetAutoInstallFlag(false);
  }
}

int ShowMessageBoxEx(HWND parent, const char16_t* text, const char16_t* caption, const char16_t* ok_text,
                     const char16_t* cancel_text, int kind, int countdown, int reminder_id) {
  CMessageWnd box(text ? text : u"", caption ? caption : kDefaultCaption, ok_text ? ok_text : kDefaultOk,
                  cancel_text ? cancel_text : kDefaultCancel, kind, countdown, reminder_id);
  if (!box.Create(parent, u"QENMsgBox", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 600, 400)) return IDCANCEL;
  box.CenterWindow();
  int result = static_cast<int>(box.ShowModal());
  if (result != IDOK) result = IDCANCEL;
  ApplyReminderChoice(result, reminder_id, box.IsTicked());
  return result;
}

int ShowMessageBox(HWND parent, const char16_t* text, const char16_t* caption, int kind, int countdown,
                   int reminder_id) {
  return ShowMessageBoxEx(parent, text, caption, nullptr, nullptr, kind, countdown, reminder_id);
}
