// CMusicDlg: the music page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CMusicDlg : public CPageStub {
 public:
  explicit CMusicDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1281, 1284}}) {}
};
