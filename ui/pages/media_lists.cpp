#include "ui/pages/media_lists.h"

#include <string>

#include "ui/pages/media_text.h"

using namespace DuiLib;

namespace {

CControlUI* Sub(CControlUI* row, LPCTSTR name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

void SetSubText(CControlUI* row, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = Sub(row, name)) c->SetText(text.c_str());
}

std::u16string IdText(int32_t id) {
  CDuiString s;
  s.Format(u"%d", id);
  return s.str();
}

// Row and box carry the id; the box knows its row.
void MarkRow(CControlUI* row, LPCTSTR box_name, int32_t id) {
  const std::u16string text = IdText(id);
  row->SetUserData(text.c_str());
  if (CControlUI* box = Sub(row, box_name)) {
    box->SetUserData(text.c_str());
    box->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
}

}  // namespace

bool CMusicList::AddMusic(const MusicRecord* record, int index) {
  if (!record) return false;
  CControlUI* row = AddRowFromLayout(m_builder, m_bParsed, u"wnd_xml\\musiclist_item.xml", index);
  if (!row) return false;
  FillRow(row, record);
  return true;
}

void CMusicList::FillRow(CControlUI* row, const MusicRecord* record) {
  if (!row || !record) return;
  MarkRow(row, u"music_checkbox", record->id);
  SetSubText(row, u"music_name", media_text::NameWithoutExtension(record->name));
  SetSubText(row, u"music_timelong", media_text::FormatDuration(record->duration));
  SetSubText(row, u"music_artist", record->artist);
  SetSubText(row, u"music_album", record->albums);
  SetSubText(row, u"music_size", media_text::FormatMusicSize(record->size));
}

bool CVideoList::AddVideo(const VideoRecord* record, int index) {
  if (!record) return false;
  CControlUI* row = AddRowFromLayout(m_builder, m_bParsed, u"wnd_xml\\videolist_item.xml", index);
  if (!row) return false;
  FillRow(row, record);
  return true;
}

void CVideoList::FillRow(CControlUI* row, const VideoRecord* record) {
  if (!row || !record) return;
  MarkRow(row, u"video_checkbox", record->id);
  SetSubText(row, u"video_name", media_text::NameWithoutExtension(record->name));
  SetSubText(row, u"video_type", media_text::ExtensionUpper(record->name));
  SetSubText(row, u"video_timelong", media_text::FormatDuration(record->duration));
  SetSubText(row, u"video_dir", record->folder);
  SetSubText(row, u"video_size", media_text::FormatVideoSize(record->size));
}
