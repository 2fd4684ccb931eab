// Whole-file reading and writing of CXmlDocument texts: byte-order marks,
// encoding detection and conversion, with a result record for every step.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"
#include "foundation/xml/xml_result.h"

namespace {

using xml::AddResultRecord;

struct ByteOrderMark {
  const char* bytes;
  size_t length;
  const char16_t* encoding;
  uint32_t flag;
  unsigned int unitPage;  // code page of the units that follow (0: 8-bit)
};

// Tested in this order; the first full match wins.
constexpr ByteOrderMark kMarks[] = {
    {"\xEF\xBB\xBF", 3, u"UTF-8", XML_DOC_UTF8BOM, 0},
    {"\xFF\xFE", 2, u"UTF-16LE", XML_DOC_UTF16LE, CP_UTF16LE},
    {"\xFE\xFF", 2, u"UTF-16BE", XML_DOC_UTF16BE, CP_UTF16BE},
};
constexpr uint32_t kMarkFlags = XML_DOC_UTF8BOM | XML_DOC_UTF16LE | XML_DOC_UTF16BE;
constexpr uint32_t kStreamFlags = XML_DOC_READING | XML_DOC_WRITING;
constexpr long long kMaxFileBytes = static_cast<long long>(xml::kMaxTextLength);
// The error of a file whose encoding has no converter here: what iconv
// reports for a conversion it does not know.
constexpr int kNoConverter = EINVAL;

// A file without a mark whose first character `<` is written in 16- or 32-bit
// units: the zero bytes around it tell which.
struct UnitPattern {
  const char* bytes;  // '?' stands for any byte but zero
  const char16_t* encoding;
  unsigned int unitPage;
};
constexpr UnitPattern kUnitPatterns[] = {
    {"<\0\0\0", u"UTF-32LE", CP_UTF32LE},
    {"\0\0\0<", u"UTF-32BE", CP_UTF32BE},
    {"<\0?\0", u"UTF-16LE", CP_UTF16LE},
    {"\0<\0?", u"UTF-16BE", CP_UTF16BE},
};

bool MatchesUnitPattern(const std::string& head, const char* pattern) {
  if (head.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (pattern[i] == '?' ? head[i] == '\0' : head[i] != pattern[i]) return false;
  }
  return true;
}

size_t UnitBytes(unsigned int unitPage) {
  return unitPage == CP_UTF32LE || unitPage == CP_UTF32BE ? 4 : unitPage ? 2 : 1;
}

// One whole-file transfer. Owns its FILE handle; used by one thread. A write
// goes to a new file beside the target, which replaces the target only once
// everything was written and flushed: a failed save leaves the old file.
class FileStream {
 public:
  FileStream(std::u16string* result, uint32_t flags) : result_(result), flags_(flags) {}
  ~FileStream() {
    if (file_) std::fclose(file_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }

  void Error(int code) {
    std::string msg = code ? std::strerror(code) : "";
    const size_t cut = msg.find_first_of("\r\n");
    if (cut != std::string::npos) msg.resize(cut);
    const std::u16string text(msg.begin(), msg.end());
    Record(u"file_error", &text, xml::kRecordMsg | xml::kRecordN, code);
  }
  void Record(const char16_t* name, const std::u16string* value = nullptr, int flags = 0,
              int number1 = -1) {
    AddResultRecord(*result_, name, value, flags, number1);
  }

  bool OpenRead(const std::string& path) {
    flags_ |= XML_DOC_READING;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return Fail(errno);
    struct stat st {};
    if (::fstat(::fileno(file_), &st) != 0) return Fail(errno);
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    if (std::fseek(file_, 0, SEEK_END) != 0) return Fail(errno);
    const long long size = std::ftell(file_);
    if (size < 0) return Fail(errno);
    if (size > kMaxFileBytes) return Fail(EFBIG);
    size_ = size;
    if (std::fseek(file_, 0, SEEK_SET) != 0) return Fail(errno);
    std::string head(size_ < 1024 ? static_cast<size_t>(size_) : 1024, '\0');
    if (!head.empty() && std::fread(&head[0], 1, head.size(), file_) != head.size()) {
      return Fail(ferror(file_) ? errno : EIO);
    }
    flags_ &= ~kMarkFlags;
    markLength_ = 0;
    for (const ByteOrderMark& mark : kMarks) {
      if (head.size() >= mark.length && head.compare(0, mark.length, mark.bytes) == 0) {
        flags_ |= mark.flag;
        markFlag_ = mark.flag;
        unitPage_ = mark.unitPage;
        encoding_ = mark.encoding;
        markLength_ = static_cast<long long>(mark.length);
        break;
      }
    }
    if (markLength_ == 0) {
      for (const UnitPattern& pattern : kUnitPatterns) {
        if (MatchesUnitPattern(head, pattern.bytes)) {
          unitPage_ = pattern.unitPage;
          encoding_ = pattern.encoding;
          break;
        }
      }
    }
    if (markLength_ == 0 && unitPage_ == 0) {
      const std::u16string block = xml::Utf8ToUtf16(head.data(), head.size());
      encoding_ = xml::DeclaredEncoding(block.data(), block.size());
      if (encoding_.empty() && !head.empty() && head[0] == '<') encoding_ = u"UTF-8";
    } else if (markLength_ != 0) {
      Record(u"bom");
    }
    if (std::fseek(file_, markLength_, SEEK_SET) != 0) return Fail(errno);
    return true;
  }

  bool OpenWrite(const std::string& path) {
    flags_ |= XML_DOC_WRITING;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    temp_ = temp;
    target_ = path;
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      const int code = errno;
      ::close(fd);
      return Fail(code);
    }
    for (const ByteOrderMark& mark : kMarks) {
      if (flags_ & mark.flag) {
        encoding_ = mark.encoding;
        return WriteMark(mark);
      }
    }
    return true;
  }

  // Writes the mark of the UTF-16 code page `page` (1200 or 1201) when the
  // stream has none yet, so that the file reads back as UTF-16; the
  // encoding's name stays as it was given.
  bool MarkUtf16(unsigned int page) {
    if (markFlag_ != 0) return true;
    for (const ByteOrderMark& mark : kMarks) {
      if (mark.unitPage == page) {
        flags_ |= mark.flag;
        return WriteMark(mark);
      }
    }
    return true;
  }

  bool ReadAll(std::string& bytes) {
    bytes.assign(static_cast<size_t>(size_ - markLength_), '\0');
    if (!bytes.empty() && std::fread(&bytes[0], 1, bytes.size(), file_) != bytes.size()) {
      return Fail(ferror(file_) ? errno : EIO);
    }
    return true;
  }

  bool WriteAll(const std::string& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      return Fail(errno);
    }
    return true;
  }

  bool Close() {
    if (!file_) return true;
    std::FILE* file = file_;
    file_ = nullptr;
    flags_ &= ~kStreamFlags;
    if (temp_.empty()) {
      if (std::fclose(file) != 0) return Fail(errno);
      return true;
    }
    int code = 0;
    if (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) code = errno;
    if (std::fclose(file) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) code = errno;
    if (code != 0) return Fail(code);
    temp_.clear();
    return true;
  }

  bool Fail(int code) {
    Error(code ? code : EIO);
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    flags_ &= ~kStreamFlags;
    return false;
  }

  uint32_t Flags() const { return flags_ & ~kStreamFlags; }
  std::u16string& Encoding() { return encoding_; }
  // Code page of the file's 16- or 32-bit units; 0 for 8-bit files.
  unsigned int UnitPage() const { return unitPage_; }
  void SetUnitPage(unsigned int page) { unitPage_ = page; }
  bool HasUtf16Mark() const { return (markFlag_ & (XML_DOC_UTF16LE | XML_DOC_UTF16BE)) != 0; }

 private:
  bool WriteMark(const ByteOrderMark& mark) {
    markFlag_ = mark.flag;
    unitPage_ = mark.unitPage;
    if (std::fwrite(mark.bytes, 1, mark.length, file_) != mark.length) return Fail(errno);
    Record(u"bom");
    return true;
  }

  std::u16string* result_;
  uint32_t flags_;
  std::FILE* file_ = nullptr;
  std::string temp_;    // the new file while it is written (writing only)
  std::string target_;  // the file it replaces
  std::u16string encoding_;
  long long size_ = 0;
  long long markLength_ = 0;
  unsigned int unitPage_ = 0;
  uint32_t markFlag_ = 0;
};

// The code page of the 16- or 32-bit units of an encoding page; 0 when the
// page is one of bytes.
unsigned int UnitPageOf(int page) {
  if (page == xml::kCodePageUtf32) return CP_UTF32LE;
  const auto p = static_cast<unsigned int>(page);
  return p == CP_UTF16LE || p == CP_UTF16BE || p == CP_UTF32LE || p == CP_UTF32BE ? p : 0;
}

}  // namespace

bool CXmlDocument::ReadTextFile(const std::string& path, std::u16string& text,
                                std::u16string* result, uint32_t* flags,
                                const std::u16string* encoding) {
  std::u16string localResult;
  std::u16string& records = result ? *result : localResult;
  records.clear();
  text.clear();
  FileStream stream(&records, flags ? *flags : 0);
  bool ok = stream.OpenRead(path);
  if (ok) {
    if (encoding) {
      stream.Encoding() = *encoding;
      // Without a UTF-16 mark the caller's encoding decides the unit size.
      if (!stream.HasUtf16Mark()) stream.SetUnitPage(UnitPageOf(xml::CodePageFromName(*encoding)));
    }
    std::string bytes;
    ok = stream.ReadAll(bytes);
    if (ok) {
      const size_t unit = UnitBytes(stream.UnitPage());
      const size_t chars = bytes.size() / unit;
      stream.Record(u"read", &stream.Encoding(), xml::kRecordEncoding | xml::kRecordLength,
                    static_cast<int>(chars));
      if (unit > 1) {
        bytes.resize(chars * unit);
        CodePageToUtf16(bytes.data(), bytes.size(), stream.UnitPage(), &text);
        const size_t before = text.size();
        text.erase(std::remove(text.begin(), text.end(), u'\0'), text.end());
        const int nulls = static_cast<int>(before - text.size());
        if (nulls) stream.Record(u"nulls_removed", nullptr, xml::kRecordCount, nulls);
        if (stream.UnitPage() == CP_UTF16BE || stream.UnitPage() == CP_UTF32BE) {
          stream.Record(u"endian_swap");
        }
      } else {
        const size_t before = bytes.size();
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
        if (bytes.size() != before) {
          stream.Record(u"nulls_removed", nullptr, xml::kRecordCount,
                        static_cast<int>(before - bytes.size()));
        }
        if (stream.Encoding().empty()) {
          if (xml::TestUtf8(bytes.data(), bytes.size()).valid) {
            stream.Encoding() = u"UTF-8";
            stream.Record(u"read", &stream.Encoding(), xml::kRecordEncoding | xml::kRecordUpdate);
          }
          stream.Record(u"utf8_detection");
        }
        bool converted = false;
        text = xml::TextConverter::ToUtf16(bytes, stream.Encoding(), &converted);
        if (converted) {
          const std::u16string utf16 = u"UTF-16";
          stream.Record(u"converted_to", &utf16, xml::kRecordEncoding | xml::kRecordLength,
                        static_cast<int>(text.size()));
        } else {
          ok = stream.Fail(kNoConverter);  // the encoding has no converter here
        }
      }
    }
    if (ok) ok = stream.Close();
  }
  if (!ok) text.clear();
  if (flags) *flags = stream.Flags();
  return ok;
}

bool CXmlDocument::WriteTextFile(const std::string& path, const std::u16string& text,
                                 std::u16string* result, uint32_t* flags,
                                 const std::u16string* encoding) {
  std::u16string localResult;
  std::u16string& records = result ? *result : localResult;
  records.clear();
  FileStream stream(&records, flags ? *flags : 0);
  bool ok = stream.OpenWrite(path);
  if (ok) {
    if (encoding) {
      stream.Encoding() = *encoding;
    } else if (stream.Encoding().empty()) {
      stream.Encoding() = xml::DeclaredEncoding(text.data(), text.size());
      if (stream.Encoding().empty()) stream.Encoding() = u"UTF-8";
    }
    // A UTF-16 file gets its mark, so that it reads back as UTF-16.
    const unsigned int page = UnitPageOf(xml::CodePageFromName(stream.Encoding()));
    if (page == CP_UTF16LE || page == CP_UTF16BE) ok = stream.MarkUtf16(page);
  }
  if (ok) {
    std::string bytes;
    size_t chars = 0;
    if (stream.UnitPage() == CP_UTF16LE || stream.UnitPage() == CP_UTF16BE) {
      Utf16ToCodePage(text.data(), text.size(), stream.UnitPage(), &bytes, nullptr);
      chars = text.size();
      if (stream.UnitPage() == CP_UTF16BE) stream.Record(u"endian_swap");
    } else {
      bool lost = false;
      bool converted = false;
      bytes = xml::TextConverter::FromUtf16(text, stream.Encoding(), &lost, &converted);
      if (converted) {
        const std::u16string utf16 = u"UTF-16";
        stream.Record(u"converted_from", &utf16, xml::kRecordEncoding | xml::kRecordLength,
                      static_cast<int>(text.size()));
        if (lost) stream.Record(u"conversion_loss");
        chars = bytes.size();
      } else {
        ok = stream.Fail(kNoConverter);  // the old file stays as it was
      }
    }
    if (ok) ok = stream.WriteAll(bytes);
    if (ok) {
      stream.Record(u"write", &stream.Encoding(), xml::kRecordEncoding | xml::kRecordLength,
                    static_cast<int>(chars));
      ok = stream.Close();
    }
  }
  if (flags) *flags = stream.Flags();
  return ok;
}

bool CXmlDocument::LoadFile(const std::string& path) {
  uint32_t flags = flags_;
  std::u16string text;
  const bool read = ReadTextFile(path, text, &result_, &flags, nullptr);
  flags_ = flags & (XML_DOC_UTF8BOM | XML_DOC_UTF16LE | XML_DOC_UTF16BE);
  text_ = read ? std::move(text) : std::u16string();
  Parse();
  return read && CheckDocument();
}

bool CXmlDocument::LoadFile(const std::u16string& path) {
  return LoadFile(xml::Utf16ToUtf8(path.data(), path.size()));
}

bool CXmlDocument::SaveFile(const std::string& path) {
  uint32_t flags = flags_;
  const bool ok = WriteTextFile(path, text_, &result_, &flags, nullptr);
  flags_ = flags;
  return ok;
}

bool CXmlDocument::SaveFile(const std::u16string& path) {
  return SaveFile(xml::Utf16ToUtf8(path.data(), path.size()));
}

std::u16string CXmlDocument::GetDeclaredEncoding(const std::u16string& text) {
  return xml::DeclaredEncoding(text.data(), text.size());
}
