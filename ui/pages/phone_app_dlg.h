// CPhoneAppDlg: the apps page. It lists the connected phone's apps
// (CMyAppList), installs apk files chosen by the user, removes one or the
// checked apps, starts updates (one, or every app with one), ignores an
// app's update and opens the ignored updates, and follows the app manager
// and the task manager through the window messages 1241-1251 and 1253 that
// the main window hands it.
//
// It keeps the page controllers' common shape (CPageController: the handled flag
// for its own numbers and the count of what reached it) and reaches the
// phone side only through PhonePagesSide().
//
// Threading: UI thread only.
#pragma once

#include <cstdint>

#include "ui/pages/my_app_list.h"
#include "ui/pages/page_controller.h"

class CPhoneAppDlg : public CPageController {
 public:
  explicit CPhoneAppDlg(DuiLib::CPaintManagerUI* pm) : CPageController(pm, {{1241, 1251}, {1253, 1253}}) {}

  void Init() override;
  // Showing the page loads the list (the apps option selected while connected).
  void Show() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                bool& bHandled) override;
  void Clear() override;

  void LoadList();
  void RebuildList();
  void UpdateAllRows();
  void UpdateRow(uint32_t key);
  void AddRow(uint32_t key);
  void RemoveRow(uint32_t key, DuiLib::LPARAM result);
  void UpdateIgnoredCount();
  void UpdateListState();

  CMyAppList* List() const { return list_; }

 private:
  void ShowBusy(bool busy);
  void ShowBadge(int count);
  void UninstallChecked();
  void UninstallOne(DuiLib::CControlUI* sender);
  void InstallApkFiles();
  void UpdateAll();
  void ShowIgnoredUpdates();
  void RetryInstall(DuiLib::CControlUI* sender);
  void OnRowCheckBox(DuiLib::CControlUI* box);
  // Rows left showing "卸载中..." whose removal is no longer queued get
  // their own view back.
  void RefreshStuckRows();

  CMyAppList* list_ = nullptr;
  DuiLib::CControlUI* ignored_update_btn_ = nullptr;
  DuiLib::CControlUI* unistallapp_btn_ = nullptr;
  DuiLib::CControlUI* app_toless_tips_ = nullptr;
  DuiLib::CControlUI* refreshapp_btn_ = nullptr;
  DuiLib::CControlUI* addapp_btn_ = nullptr;
  DuiLib::CCheckBoxUI* app_chk_ = nullptr;
  DuiLib::CTabLayoutUI* tab_app_load_ = nullptr;
  DuiLib::CSequenceUI* app_loading_ = nullptr;
  DuiLib::CControlUI* app_onekeyupdate_ = nullptr;
  DuiLib::CLabelUI* app_update_num_ = nullptr;
};
