// CMusicDlg: the music page. The phone's music in "mymusiclist" (a
// CMusicList), with import ("addmusic_btn"), export ("exportmusic_btn"),
// delete ("delmusic_btn"), refresh ("refreshmusic_btn") and select all
// ("music_chk"); the music manager's messages 1281-1284 keep the list.
// The shared behaviour is CMediaPage's.
//
// Threading: UI thread only.
#pragma once

#include "ui/pages/media_page.h"

class CMusicDlg : public CMediaPage {
 public:
  explicit CMusicDlg(DuiLib::CPaintManagerUI* pm);

  // The page option was chosen: load the list (the manager skips a loaded one).
  void Show() override;

 protected:
  void Refresh() override;
  void AddAllRows() override;
  void InsertRow(int32_t id) override;
};
