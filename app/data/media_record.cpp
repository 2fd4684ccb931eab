#include "app/data/media_record.h"

#include "app/data/data_mgr.h"
#include "foundation/xml/xml_document.h"

namespace {

constexpr char16_t kSdcardRoot[] = u"/storage/sdcard0/";

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

MusicRecord ReadMusicRecord(const CXmlDocument& document) {
  MusicRecord record;
  record.id = ReadDecimal(document.GetAttribute(u"id"));
  record.file = document.GetAttribute(u"file");
  record.name = document.GetAttribute(u"name");
  record.size = ReadDecimal64(document.GetAttribute(u"size"));
  record.duration = ReadDecimal64(document.GetAttribute(u"duration")) / 1000;
  record.artist = document.GetAttribute(u"artist");
  record.albums = document.GetAttribute(u"albums");
  record.mt = ReadDecimal64(document.GetAttribute(u"mt"));
  return record;
}

VideoRecord ReadVideoRecord(const CXmlDocument& document) {
  VideoRecord record;
  record.id = ReadDecimal(document.GetAttribute(u"id"));
  record.file = document.GetAttribute(u"file");
  record.folder = VideoFolderOf(record.file);
  record.name = document.GetAttribute(u"name");
  record.duration = ReadDecimal64(document.GetAttribute(u"duration")) / 1000;
  record.size = ReadDecimal64(document.GetAttribute(u"size"));
  record.mt = ReadDecimal64(document.GetAttribute(u"mt"));
  return record;
}

std::u16string VideoFolderOf(const std::u16string& path) {
  std::u16string folder = path;
  const size_t root = folder.find(kSdcardRoot);
  if (root != std::u16string::npos) folder = folder.substr(root + (sizeof(kSdcardRoot) / sizeof(char16_t) - 1));
  folder = u"sdcard/" + folder;
  const size_t slash = folder.rfind(u'/');
  if (slash != std::u16string::npos) folder.resize(slash + 1);
  return folder;
}

int CompareIgnoringCase(const std::u16string& a, const std::u16string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = Fold(a[i]);
    const char16_t y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool MusicBefore(const MusicRecord& a, const MusicRecord& b) { return a.mt > b.mt; }

bool VideoBefore(const VideoRecord& a, const VideoRecord& b) {
  const int folder = CompareIgnoringCase(a.folder, b.folder);
  if (folder != 0) return folder < 0;
  return CompareIgnoringCase(a.name, b.name) < 0;
}
