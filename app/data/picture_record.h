// The photos of the phone as the agent reports them, the albums (one per
// calendar month, local time), and the names of their files in the
// per-phone caches. All pure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CXmlDocument;

// One photo.
struct ImageRecord {
  uint8_t stale = 1;             // set while the details are missing
  int32_t id = 0;
  int64_t addtm = 0;             // time added, as sent
  int64_t modtm = 0;             // modification time, seconds since 1970
  int64_t size = 0;              // bytes
  std::u16string file;           // phone path of the full image
  std::u16string thumb;          // phone path of the agent's thumbnail
  std::u16string bucket;         // the phone's album name
  int32_t width = 0;
  int32_t height = 0;
  std::u16string image_cache_path;      // local full image; empty until fetched
  std::u16string thumbnail_cache_path;  // local thumbnail; empty until fetched
};

// One calendar month: its key (local midnight of day 1, as a time value)
// and the ids of its photos, newest first.
struct PictureAlbum {
  int64_t key = 0;
  std::vector<int32_t> images;
};

// The name the pages use for the same record (its photos as records:
// CPhone::GetAlbumImages).
using AlbumRecord = PictureAlbum;

// An "image_list" element: id, addtm, modtm; the record stays stale.
ImageRecord ReadImageListEntry(const CXmlDocument& document);
// The details of an "image_info" element into `record` (its id is kept);
// clears the stale flag.
void ReadImageDetails(const CXmlDocument& document, ImageRecord& record);

// Larger modtm first (strict; equal modtm have no order of their own).
bool ImageNewerFirst(const ImageRecord& a, const ImageRecord& b);

// Local midnight of day 1 of the month of `modtm` (local time); from
// `addtm` when that cannot be computed; -1 when neither can.
int64_t AlbumKeyOf(int64_t modtm, int64_t addtm);

// The albums of `images` (in their order), larger key first.
std::vector<PictureAlbum> BuildAlbums(const std::vector<ImageRecord>& images);

// Cache file of the full image: folder + MakeTextKey(phone path) + ".jpg".
std::u16string ImageCacheFile(const std::u16string& folder, const std::u16string& phone_path);
// Cache file of the thumbnail: folder + the thumb path's file name; empty
// when that name is not a plain file name (empty, ".", "..").
std::u16string ThumbnailCacheFile(const std::u16string& folder, const std::u16string& thumb_path);
