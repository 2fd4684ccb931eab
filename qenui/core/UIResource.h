// Where skin files come from: a folder, a zip file on disk, or a zip in
// memory (the archive linked into the program). Names inside the skin are
// matched with '/' or '\\' as separator and without regard to case.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "qenui/core/UIString.h"

struct zip;

namespace DuiLib {

class CSkinArchive {
 public:
  ~CSkinArchive();
  // Opens a zip held in memory (not copied: the bytes must outlive the archive).
  static std::unique_ptr<CSkinArchive> OpenMemory(const void* data, size_t size, std::string* error);
  static std::unique_ptr<CSkinArchive> OpenFile(const std::string& path, std::string* error);
  bool Read(const std::string& name, std::string* bytes, std::string* error);
  size_t EntryCount() const { return m_index.size(); }

 private:
  CSkinArchive() = default;
  bool BuildIndex(std::string* error);
  ::zip* m_zip = nullptr;
  std::string m_fileBytes;                     // a zip file read from disk
  std::map<std::string, long long> m_index;    // folded name → entry index
  std::mutex m_mu;                             // libzip handles are not thread-safe
};

// "wnd_xml\\Main.XML" → "wnd_xml/main.xml" (the folded key of a skin name).
std::string FoldSkinName(const std::string& name);

// Reads a file under `folder`, matching each path part without regard to case.
bool ReadFolderFile(const std::string& folder, const std::string& name, std::string* bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);

// The skin archive linked into the program (empty when none is linked).
bool GetEmbeddedSkin(const void** data, size_t* size);

}  // namespace DuiLib
