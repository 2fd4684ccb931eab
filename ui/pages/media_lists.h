// The list controls of the music and video pages: one row per file on the
// phone with its check box, its name and the texts of media_text.h.
//
// CMusicList ("MusicList"): rows "wnd_xml\musiclist_item.xml" with
// music_checkbox, music_name, music_timelong, music_artist, music_album,
// music_size. CVideoList ("VideoList"): rows "wnd_xml\videolist_item.xml"
// with video_checkbox, video_name, video_type, video_timelong, video_dir,
// video_size. A row's user data is the record's id; its check box carries
// the same id and the row as its tag. Missing sub-controls are skipped.
//
// Threading: UI thread only.
#pragma once

#include "app/data/media_record.h"
#include "ui/controls/list_ui_ex.h"

class CMusicList : public CListUIEx {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"MusicListUI"; }
  // Builds a row (appended when index < 0, else inserted) and fills it;
  // false for no record or when the row cannot be built or added.
  bool AddMusic(const MusicRecord* record, int index);
  static void FillRow(DuiLib::CControlUI* row, const MusicRecord* record);

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};

class CVideoList : public CListUIEx {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"VideoListUI"; }
  bool AddVideo(const VideoRecord* record, int index);
  static void FillRow(DuiLib::CControlUI* row, const VideoRecord* record);

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};
