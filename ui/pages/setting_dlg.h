// CSettingDlg: the settings window ("wnd_xml\setting_wnd.xml"), modal over
// the main window. It edits four settings of the configuration
// (CConfigMgr): what closing the main window does, the download folder,
// where the phone installs apps and whether downloaded apps are installed
// when a phone connects, and can put them back to their defaults. Nothing
// is written before OK; OK starts disabled and is enabled by the first
// change (and stays so while the window is open).
//
// OK writes in a fixed order: the folder, the automatic install, the close
// type, the install location, then - after "恢复默认设置" - the defaults
// (CConfigMgr::ResetSettings), which override the automatic install and the
// close type chosen after the reset.
//
// Threading: UI thread only; the window runs a nested message loop.
#pragma once

#include <cstdint>

#include "qenui/UIlib.h"

class CSettingDlg : public DuiLib::WindowImplBaseNew {
 public:
  // Runs the window modally over `owner`; 1 when the settings were written,
  // 2 when it was cancelled (or could not be created).
  static DuiLib::UINT ShowSettings(DuiLib::HWND owner);

  CSettingDlg();

  void Apply();
  void ResetToDefaults();

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"SettingWnd"; }
  void InitAfterCreate() override;
  void WindowInitNotify(DuiLib::TNotifyUI& msg) override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  void SelectChangedNotify(DuiLib::TNotifyUI& msg) override;
  void LinkNotify(DuiLib::TNotifyUI& msg) override;

 private:
  void EnableOk();
  void BrowseFolder();
  void OpenFolder();
  DuiLib::COptionUI* LocationOption(int32_t location) const;
  DuiLib::COptionUI* CloseOption(int32_t close_type) const;

  DuiLib::CTabLayoutUI* tabset_ = nullptr;
  DuiLib::CControlUI* floder_edit_ = nullptr;
  DuiLib::CControlUI* ok_ = nullptr;
  DuiLib::CCheckBoxUI* auto_install_app_ = nullptr;
  DuiLib::COptionUI* btn_hidetotask_ = nullptr;
  DuiLib::COptionUI* btn_closeapp_ = nullptr;
  DuiLib::COptionUI* locations_[3] = {};
  int32_t install_location_ = 0;  // the chosen one
  bool reset_ = false;
};
