// CSmsDlg: the SMS page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CSmsDlg : public CPageStub {
 public:
  explicit CSmsDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1267, 1267}, {1269, 1273}}) {}
  void OnItemSelect(DuiLib::TNotifyUI&) {}
};
