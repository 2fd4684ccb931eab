// CPictureDlg: the pictures page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CPictureDlg : public CPageStub {
 public:
  explicit CPictureDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1274, 1280}}) {}
  void OnItemClick(DuiLib::TNotifyUI&) {}
  void OnItemDoubleClick(DuiLib::TNotifyUI&) {}
  void OnScroll(DuiLib::TNotifyUI&) {}
};
