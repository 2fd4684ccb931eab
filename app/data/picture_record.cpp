#include "app/data/picture_record.h"

#include <time.h>

#include <algorithm>

#include "app/data/data_mgr.h"
#include "app/data/phone_transfer.h"
#include "app/data/sms_utility.h"
#include "foundation/xml/xml_document.h"

namespace {

// Local midnight of day 1 of the month of `t` (daylight flag 0), or -1.
int64_t MonthStart(int64_t t) {
  const time_t when = static_cast<time_t>(t);
  struct tm local {};
  if (localtime_r(&when, &local) == nullptr) return -1;
  struct tm start {};
  start.tm_year = local.tm_year;
  start.tm_mon = local.tm_mon;
  start.tm_mday = 1;
  start.tm_isdst = 0;
  return static_cast<int64_t>(mktime(&start));
}

}  // namespace

ImageRecord ReadImageListEntry(const CXmlDocument& document) {
  ImageRecord record;
  record.stale = 1;
  record.id = ReadDecimal(document.GetAttribute(u"id"));
  record.addtm = ReadDecimal64(document.GetAttribute(u"addtm"));
  record.modtm = ReadDecimal64(document.GetAttribute(u"modtm"));
  return record;
}

void ReadImageDetails(const CXmlDocument& document, ImageRecord& record) {
  record.addtm = ReadDecimal64(document.GetAttribute(u"addtm"));
  record.modtm = ReadDecimal64(document.GetAttribute(u"modtm"));
  record.size = ReadDecimal64(document.GetAttribute(u"size"));
  record.file = document.GetAttribute(u"file");
  record.thumb = document.GetAttribute(u"thumb");
  record.bucket = document.GetAttribute(u"bucket");
  record.width = ReadDecimal(document.GetAttribute(u"width"));
  record.height = ReadDecimal(document.GetAttribute(u"height"));
  record.stale = 0;
}

bool ImageNewerFirst(const ImageRecord& a, const ImageRecord& b) { return a.modtm > b.modtm; }

int64_t AlbumKeyOf(int64_t modtm, int64_t addtm) {
  const int64_t key = MonthStart(modtm);
  return key != -1 ? key : MonthStart(addtm);
}

std::vector<PictureAlbum> BuildAlbums(const std::vector<ImageRecord>& images) {
  std::vector<PictureAlbum> albums;
  for (const ImageRecord& image : images) {
    const int64_t key = AlbumKeyOf(image.modtm, image.addtm);
    auto it = std::find_if(albums.begin(), albums.end(), [key](const PictureAlbum& a) { return a.key == key; });
    if (it == albums.end()) {
      albums.push_back(PictureAlbum{key, {}});
      it = albums.end() - 1;
    }
    it->images.push_back(image.id);
  }
  std::stable_sort(albums.begin(), albums.end(), [](const PictureAlbum& a, const PictureAlbum& b) { return a.key > b.key; });
  return albums;
}

std::u16string ImageCacheFile(const std::u16string& folder, const std::u16string& phone_path) {
  return folder + MakeTextKey(phone_path) + u".jpg";
}

std::u16string ThumbnailCacheFile(const std::u16string& folder, const std::u16string& thumb_path) {
  const std::u16string name = FileNameOf(thumb_path);
  return IsPlainFileName(name) ? folder + name : std::u16string();
}
