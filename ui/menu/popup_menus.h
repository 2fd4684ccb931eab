// The two popup menus, both from "wnd_xml\menu_wnd.xml" (one list):
// - the main menu of the options button and the tray icon: "设置" (105),
//   "关于" (106) and, from the tray only, "退出" (107); a chosen item posts
//   35769 with its command to the owner (the menu base does that);
// - the contact menu that adds a field group (0 "电话", 1 "邮箱",
//   2 "聊天工具", 3 "地址") to the contact being edited: the chosen group
//   goes to the callback of whoever opened it.
// At most one of each is open; each deletes itself when its window is gone.
//
// Threading: UI thread only.
#pragma once

#include <functional>
#include <utility>

#include "qenui/UIlib.h"

class CMainMenu : public DuiLib::CMenuImplBase {
 public:
  explicit CMainMenu(bool with_exit) : with_exit_(with_exit) {}
  bool WithExit() const { return with_exit_; }

 protected:
  void InitItem() override;
  void OnFinalMessage(DuiLib::HWND hWnd) override;

 private:
  bool with_exit_;
};

class CContactMenu : public DuiLib::CMenuImplBase {
 public:
  explicit CContactMenu(std::function<void(int group)> on_group) : on_group_(std::move(on_group)) {}
  void Notify(DuiLib::TNotifyUI& msg) override;

 protected:
  void InitItem() override;
  void OnFinalMessage(DuiLib::HWND hWnd) override;

 private:
  std::function<void(int group)> on_group_;
};

// Opens the main menu at the cursor; with_exit adds the exit item (tray).
void ShowMainMenu(DuiLib::HWND owner, bool with_exit);
// Opens the contact menu top-most at `pt` (screen coordinates); a chosen
// group is handed to `on_group` (the menu is owned by `owner`, so it is gone
// before the owner's window and whatever lives with it).
void ShowContactMenu(DuiLib::HWND owner, DuiLib::POINT pt, std::function<void(int group)> on_group);

// The open menus (null when none is open).
CMainMenu* OpenMainMenu();
CContactMenu* OpenContactMenu();

constexpr DuiLib::LPCTSTR kMenuLayout = u"wnd_xml\\menu_wnd.xml";
constexpr int kMenuItemHeight = 25;
