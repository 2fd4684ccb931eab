// CIgnoreUpdateDlg: lists the phone's apps whose updates the user ignored
// (one CIgnoreList row each, from "wnd_xml\ignorelist_item.xml") and takes
// the checked ones off the ignore list. Only packages installed on the
// connected phone get a row.
//
// Threading: UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qenui/UIlib.h"
#include "ui/controls/list_ui_ex.h"

// What a row shows of an installed app.
struct IgnoredApp {
  uint32_t key = 0;  // the app's package key
  std::u16string app_name;
  std::u16string size_text;
  std::u16string icon_path;
  std::u16string version_name;      // installed
  std::u16string new_version_name;  // of the update
};

// What the window needs of the connected phone's app list (the phone
// facade's app operations).
class IIgnoredAppsPhone {
 public:
  virtual ~IIgnoredAppsPhone() = default;
  // False when no installed app has the package.
  virtual bool FindAppByPackage(const std::u16string& package, IgnoredApp* app) = 0;
  virtual bool UnignoreAppUpdate(uint32_t key) = 0;
};

class CIgnoreList : public CListUIEx {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"IgnoreListUI"; }
  bool AddApp(const IgnoredApp& app);

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

class CIgnoreUpdateDlg : public DuiLib::WindowImplBaseNew {
 public:
  // `phone` answers the connected phone, null while none is connected.
  explicit CIgnoreUpdateDlg(std::function<IIgnoredAppsPhone*()> phone);

  // The keys taken off the ignore list by the last removal.
  const std::vector<uint32_t>& RemovedKeys() const { return removed_; }
  CIgnoreList* List() const { return list_; }

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"IgnoreUpdateDlg"; }
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;
  void InitAfterCreate() override;
  void WindowInitNotify(DuiLib::TNotifyUI& msg) override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;

 private:
  void Fill();
  void OnRowBoxClicked();
  void RemoveChecked();

  std::function<IIgnoredAppsPhone*()> phone_;
  CIgnoreList* list_ = nullptr;
  DuiLib::CCheckBoxUI* all_ = nullptr;
  DuiLib::CControlUI* remove_ = nullptr;
  std::vector<uint32_t> removed_;
};

// Loads the layout, creates the window over `parent`, centres it and runs it
// modally; returns its result (1 after a removal, 2 when closed).
DuiLib::UINT ShowIgnoreUpdateDlg(CIgnoreUpdateDlg* dlg, DuiLib::HWND parent);
