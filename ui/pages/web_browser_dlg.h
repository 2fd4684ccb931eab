// CWebBrowserDlg: one store browser page (stub until the page is built).
// The main window holds four: 0 home, 1 choice, 2 class, 3 ranking.
#pragma once

#include <string>
#include <vector>

#include "qenui/UIlib.h"

class CAutoTaskMgr;

class CWebBrowserDlg {
 public:
  explicit CWebBrowserDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}
  void SetIndex(int index) { index_ = index; }
  int GetIndex() const { return index_; }
  void Init() { ++inits_; }
  void SetTaskMgr(CAutoTaskMgr* mgr) { task_mgr_ = mgr; }
  int GetReload() const { return reload_; }
  void GoHomePage() { ++home_visits_; }
  void Search(const std::u16string& keyword) { searches_.push_back(keyword); }
  void OnClick(DuiLib::TNotifyUI&) { ++clicks_; }

  int Inits() const { return inits_; }
  int HomeVisits() const { return home_visits_; }
  int Clicks() const { return clicks_; }
  const std::vector<std::u16string>& Searches() const { return searches_; }

 private:
  DuiLib::CPaintManagerUI* pm_;
  int index_ = 0;
  int reload_ = 0;
  CAutoTaskMgr* task_mgr_ = nullptr;
  int inits_ = 0;
  int home_visits_ = 0;
  int clicks_ = 0;
  std::vector<std::u16string> searches_;
};
