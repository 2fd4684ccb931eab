// CVideoDlg: the video page. The phone's videos in "myvideolist" (a
// CVideoList), with import ("addvideo_btn"), export with the progress of
// each file ("exportvideo_btn"), delete ("delvideo_btn"), refresh
// ("refreshvideo_btn") and select all ("video_chk"); the video manager's
// messages 1285-1288 keep the list. The shared behaviour is CMediaPage's.
//
// Threading: UI thread only.
#pragma once

#include "ui/pages/media_page.h"

class CVideoDlg : public CMediaPage {
 public:
  explicit CVideoDlg(DuiLib::CPaintManagerUI* pm);

  // The page option was chosen: load the list (the manager skips a loaded one).
  void Show() override;

 protected:
  void Refresh() override;
  void AddAllRows() override;
  void InsertRow(int32_t id) override;
};
