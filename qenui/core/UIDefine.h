// Basic types, Win32 message numbers and notification names of the UI library.
// Handles and message parameters are pointer-sized integers; nothing here
// pulls in a platform header.
#pragma once

#include <cstdint>
#include <cstddef>

namespace DuiLib {

using HWND = uintptr_t;       // window handle, never reused within a process
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT = unsigned int;
using UINT_PTR = uintptr_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using BOOL = int;
using TCHAR = char16_t;
using LPCTSTR = const char16_t*;
using LPTSTR = char16_t*;

class IRenderTarget;
using HDC = IRenderTarget*;   // what the paint operations draw on

struct POINT { long x = 0; long y = 0; };
struct SIZE { long cx = 0; long cy = 0; };
struct RECT {
  long left = 0, top = 0, right = 0, bottom = 0;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(POINT pt) const { return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom; }
};
inline RECT MakeRect(long l, long t, long r, long b) { RECT rc; rc.left = l; rc.top = t; rc.right = r; rc.bottom = b; return rc; }
inline POINT MakePoint(long x, long y) { POINT p; p.x = x; p.y = y; return p; }
inline SIZE MakeSize(long cx, long cy) { SIZE s; s.cx = cx; s.cy = cy; return s; }
bool IntersectRect(RECT* out, const RECT& a, const RECT& b);
inline bool PtInRect(const RECT* rc, POINT pt) { return rc->Contains(pt); }
inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline WPARAM MAKEWPARAM(int lo, int hi) { return (static_cast<WPARAM>(hi & 0xFFFF) << 16) | static_cast<WPARAM>(lo & 0xFFFF); }
inline LPARAM MAKELPARAM(int lo, int hi) { return static_cast<LPARAM>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF)); }
inline long GET_X_LPARAM(LPARAM l) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(l))); }
inline long GET_Y_LPARAM(LPARAM l) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(l))); }

// ---- Window messages (the numbers the system uses) ----
enum : UINT {
  WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010, WM_QUIT = 0x0012, WM_SHOWWINDOW = 0x0018, WM_SETCURSOR = 0x0020,
  WM_GETMINMAXINFO = 0x0024, WM_NCDESTROY = 0x0082, WM_NCACTIVATE = 0x0086, WM_NCHITTEST = 0x0084,
  WM_NCLBUTTONDOWN = 0x00A1, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104, WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_CONTEXTMENU = 0x007B,
  WM_MOUSEWHEEL = 0x020A, WM_MOUSELEAVE = 0x02A3, WM_MOUSEHOVER = 0x02A1,
  WM_USER = 0x0400, WM_APP = 0x8000,
};

// Private messages handled by the window base and the menu base.
enum : UINT {
  UIMSG_RESTORE_SHOW = WM_APP + 3000,  // 35768: restore, show and raise the window
  UIMSG_MENU_COMMAND = WM_APP + 3001,  // 35769: a menu item was chosen, wParam = its tag
  UIMSG_CALL = WM_APP + 3002,          // 35770: runs a PostCall's function (lParam), never reaches a window
  UIMSG_MENU_FOCUS_CHECK = WM_APP + 3003,  // 35771: a menu that lost the focus checks whether it is back
  UIMSG_ASYNC_NOTIFY = WM_APP + 3004,  // 35772: the paint manager sends its queued notifications
};

// WM_NCHITTEST results
enum : LRESULT { HTCLIENT = 1, HTCAPTION = 2 };
// WM_SYSCOMMAND codes
enum : UINT { SC_SIZE = 0xF000, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060, SC_RESTORE = 0xF120 };
// WM_SIZE wParam
enum : UINT { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
// ShowWindow commands
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3, SW_SHOWNOACTIVATE = 4,
             SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWNA = 8, SW_RESTORE = 9 };
// Window styles
enum : uint32_t {
  WS_OVERLAPPED = 0x00000000u, WS_POPUP = 0x80000000u, WS_CHILD = 0x40000000u, WS_MINIMIZE = 0x20000000u,
  WS_VISIBLE = 0x10000000u, WS_DISABLED = 0x08000000u, WS_CLIPSIBLINGS = 0x04000000u, WS_CLIPCHILDREN = 0x02000000u,
  WS_MAXIMIZE = 0x01000000u, WS_CAPTION = 0x00C00000u, WS_BORDER = 0x00800000u, WS_SYSMENU = 0x00080000u,
  WS_THICKFRAME = 0x00040000u, WS_MINIMIZEBOX = 0x00020000u, WS_MAXIMIZEBOX = 0x00010000u,
  WS_OVERLAPPEDWINDOW = 0x00CF0000u,
  WS_EX_TOPMOST = 0x00000008u, WS_EX_TOOLWINDOW = 0x00000080u, WS_EX_WINDOWEDGE = 0x00000100u,
  WS_EX_LAYERED = 0x00080000u,
};
// SetWindowPos flags
enum : UINT { SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOACTIVATE = 0x10,
              SWP_SHOWWINDOW = 0x40, SWP_HIDEWINDOW = 0x80 };
// Special z-order handles for SetWindowPos
constexpr HWND HWND_TOP = 0;
constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);

// Virtual keys
enum : UINT {
  VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
  VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
  VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_DELETE = 0x2E, VK_F4 = 0x73,
  VK_LBUTTON = 0x01, VK_RBUTTON = 0x02,
};
// Mouse key-state bits in wParam of mouse messages
enum : UINT { MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8 };

// Message box styles and results
enum : UINT { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNO = 0x4, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
              MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40 };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Text drawing styles
enum : UINT {
  DT_LEFT = 0x0, DT_TOP = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
  DT_END_ELLIPSIS = 0x8000,
};

// Tray icon flags (the recording tray and the GTK tray use the same record)
enum : UINT { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };
enum : UINT { NIF_MESSAGE = 1, NIF_ICON = 2, NIF_TIP = 4 };

// Control flags
enum : UINT { UIFLAG_TABSTOP = 0x1, UIFLAG_SETCURSOR = 0x2, UIFLAG_WANTRETURN = 0x4 };
// FindControl flags
enum : UINT { UIFIND_ALL = 0x0, UIFIND_VISIBLE = 0x1, UIFIND_ENABLED = 0x2, UIFIND_HITTEST = 0x4,
              UIFIND_TOP_FIRST = 0x8, UIFIND_ME_FIRST = 0x8000 };
// Control states
enum : UINT { UISTATE_FOCUSED = 0x1, UISTATE_SELECTED = 0x2, UISTATE_DISABLED = 0x4, UISTATE_HOT = 0x8,
              UISTATE_PUSHED = 0x10, UISTATE_READONLY = 0x20, UISTATE_CAPTURED = 0x40 };

// Events delivered to controls (CControlUI::DoEvent)
enum UIEVENT_TYPE {
  UIEVENT__FIRST = 1,
  UIEVENT__KEYBEGIN,
  UIEVENT_KEYDOWN, UIEVENT_KEYUP, UIEVENT_CHAR, UIEVENT_SYSKEY,
  UIEVENT__KEYEND,
  UIEVENT__MOUSEBEGIN,
  UIEVENT_MOUSEMOVE, UIEVENT_MOUSELEAVE, UIEVENT_MOUSEENTER, UIEVENT_MOUSEHOVER,
  UIEVENT_BUTTONDOWN, UIEVENT_BUTTONUP, UIEVENT_RBUTTONDOWN, UIEVENT_DBLCLICK, UIEVENT_CONTEXTMENU,
  UIEVENT_SCROLLWHEEL,
  UIEVENT__MOUSEEND,
  UIEVENT_KILLFOCUS, UIEVENT_SETFOCUS, UIEVENT_WINDOWSIZE, UIEVENT_SETCURSOR, UIEVENT_TIMER,
  UIEVENT_NOTIFY, UIEVENT_COMMAND,
  UIEVENT__LAST,
};

// Notification types (TNotifyUI::sType)
#define DUI_MSGTYPE_MENU u"menu"
#define DUI_MSGTYPE_LINK u"link"
#define DUI_MSGTYPE_TIMER u"timer"
#define DUI_MSGTYPE_CLICK u"click"
#define DUI_MSGTYPE_RETURN u"return"
#define DUI_MSGTYPE_SCROLL u"scroll"
#define DUI_MSGTYPE_DROPDOWN u"dropdown"
#define DUI_MSGTYPE_SETFOCUS u"setfocus"
#define DUI_MSGTYPE_KILLFOCUS u"killfocus"
#define DUI_MSGTYPE_ITEMCLICK u"itemclick"
#define DUI_MSGTYPE_ITEMDBCLICK u"itemdbclick"
#define DUI_MSGTYPE_TABSELECT u"tabselect"
#define DUI_MSGTYPE_ITEMSELECT u"itemselect"
#define DUI_MSGTYPE_ITEMEXPAND u"itemexpand"
#define DUI_MSGTYPE_WINDOWINIT u"windowinit"
#define DUI_MSGTYPE_BUTTONDOWN u"buttondown"
#define DUI_MSGTYPE_MOUSEENTER u"mouseenter"
#define DUI_MSGTYPE_MOUSELEAVE u"mouseleave"
#define DUI_MSGTYPE_TEXTCHANGED u"textchanged"
#define DUI_MSGTYPE_HEADERCLICK u"headerclick"
#define DUI_MSGTYPE_ITEMACTIVATE u"itemactivate"
#define DUI_MSGTYPE_VALUECHANGED u"valuechanged"
#define DUI_MSGTYPE_SELECTCHANGED u"selectchanged"
#define DUI_MSGTYPE_VK_UP u"vk_up"
#define DUI_MSGTYPE_VK_DOWN u"vk_down"

}  // namespace DuiLib
