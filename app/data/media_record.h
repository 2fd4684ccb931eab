// The music and video files of the phone as the agent reports them, the
// folder a video is grouped under, and the orders the two lists keep.
// Parsers are pure: they read the attributes of the document's current
// element.
#pragma once

#include <cstdint>
#include <string>

class CXmlDocument;

// One music file of the phone (reply element `music`).
struct MusicRecord {
  uint8_t stale = 0;        // cleared whenever the record is filled
  int32_t id = 0;           // the agent's key of the file
  std::u16string name;      // display name
  std::u16string file;      // path on the phone
  int64_t size = 0;         // bytes
  int64_t duration = 0;     // whole seconds
  std::u16string artist;
  std::u16string albums;    // album name
  int64_t mt = 0;           // modification time as sent (the sort key)
};

// One video file of the phone (reply element `video`).
struct VideoRecord {
  uint8_t stale = 0;
  int32_t id = 0;
  std::u16string file;      // path on the phone
  std::u16string folder;    // VideoFolderOf(file): sorting and grouping
  std::u16string name;
  int64_t size = 0;         // bytes
  int64_t duration = 0;     // whole seconds
  int64_t mt = 0;           // modification time as sent
};

// The current `music` / `video` element: "id", "file", "name", "size",
// "duration" (milliseconds, stored as whole seconds), "artist", "albums",
// "mt"; a missing number is 0, a missing text empty.
MusicRecord ReadMusicRecord(const CXmlDocument& document);
VideoRecord ReadVideoRecord(const CXmlDocument& document);

// "sdcard/" + the path after its first "/storage/sdcard0/" (the whole path
// when it has none), cut after its last "/":
// "/storage/sdcard0/Movies/a.mp4" -> "sdcard/Movies/"; "a.mp4" -> "sdcard/".
std::u16string VideoFolderOf(const std::u16string& path);

// Music: newest first (larger mt first). Video: by folder, then by name,
// both ignoring case. Strict orders for a stable sort.
bool MusicBefore(const MusicRecord& a, const MusicRecord& b);
bool VideoBefore(const VideoRecord& a, const VideoRecord& b);

// Compares as wcsicmp does: character by character after folding A-Z to
// a-z; <0, 0 or >0.
int CompareIgnoringCase(const std::u16string& a, const std::u16string& b);
