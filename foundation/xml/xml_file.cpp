// Whole-file reading and writing of CXmlDocument texts: byte-order marks,
// encoding detection and conversion, with a result record for every step.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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
  int bytesPerChar;
};

// Tested in this order; the first full match wins.
constexpr ByteOrderMark kMarks[] = {
    {"\xEF\xBB\xBF", 3, u"UTF-8", XML_DOC_UTF8BOM, 1},
    {"\xFF\xFE", 2, u"UTF-16LE", XML_DOC_UTF16LE, 2},
    {"\xFE\xFF", 2, u"UTF-16BE", XML_DOC_UTF16BE, 2},
};
constexpr uint32_t kMarkFlags = XML_DOC_UTF8BOM | XML_DOC_UTF16LE | XML_DOC_UTF16BE;
constexpr uint32_t kStreamFlags = XML_DOC_READING | XML_DOC_WRITING;
constexpr long long kMaxFileBytes = static_cast<long long>(xml::kMaxTextLength);

// One whole-file transfer. Owns its FILE handle; used by one thread.
class FileStream {
 public:
  FileStream(std::u16string* result, uint32_t flags) : result_(result), flags_(flags) {}
  ~FileStream() {
    if (file_) std::fclose(file_);
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
        bytesPerChar_ = mark.bytesPerChar;
        encoding_ = mark.encoding;
        markLength_ = static_cast<long long>(mark.length);
        break;
      }
    }
    if (markLength_ == 0) {
      const std::u16string block = xml::Utf8ToUtf16(head.data(), head.size());
      encoding_ = xml::DeclaredEncoding(block.data(), block.size());
      if (encoding_.empty() && !head.empty() && head[0] == '<') encoding_ = u"UTF-8";
    } else {
      Record(u"bom");
    }
    if (std::fseek(file_, markLength_, SEEK_SET) != 0) return Fail(errno);
    return true;
  }

  bool OpenWrite(const std::string& path) {
    flags_ |= XML_DOC_WRITING;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return Fail(errno);
    for (const ByteOrderMark& mark : kMarks) {
      if (flags_ & mark.flag) {
        encoding_ = mark.encoding;
        markFlag_ = mark.flag;
        bytesPerChar_ = mark.bytesPerChar;
        if (std::fwrite(mark.bytes, 1, mark.length, file_) != mark.length) return Fail(errno);
        Record(u"bom");
        break;
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
    const int rc = std::fclose(file_);
    file_ = nullptr;
    flags_ &= ~kStreamFlags;
    if (rc != 0) return Fail(errno);
    return true;
  }

  bool Fail(int code) {
    Error(code ? code : EIO);
    if (file_) std::fclose(file_);
    file_ = nullptr;
    flags_ &= ~kStreamFlags;
    return false;
  }

  uint32_t Flags() const { return flags_ & ~kStreamFlags; }
  std::u16string& Encoding() { return encoding_; }
  int BytesPerChar() const { return bytesPerChar_; }
  // The mark read or written (0 = none).
  uint32_t MarkFlag() const { return markFlag_; }

 private:
  std::u16string* result_;
  uint32_t flags_;
  std::FILE* file_ = nullptr;
  std::u16string encoding_;
  long long size_ = 0;
  long long markLength_ = 0;
  int bytesPerChar_ = 1;
  uint32_t markFlag_ = 0;
};

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
    if (encoding) stream.Encoding() = *encoding;
    std::string bytes;
    ok = stream.ReadAll(bytes);
    if (ok) {
      const bool wide = stream.BytesPerChar() == 2;
      const size_t chars = bytes.size() / stream.BytesPerChar();
      stream.Record(u"read", &stream.Encoding(), xml::kRecordEncoding | xml::kRecordLength,
                    static_cast<int>(chars));
      if (wide) {
        const bool bigEndian = stream.MarkFlag() == XML_DOC_UTF16BE;
        text = xml::TextConverter::ToUtf16(bytes, bigEndian ? u"UTF-16BE" : u"UTF-16LE");
        const size_t before = text.size();
        text.erase(std::remove(text.begin(), text.end(), u'\0'), text.end());
        const int nulls = static_cast<int>(before - text.size());
        if (nulls) stream.Record(u"nulls_removed", nullptr, xml::kRecordCount, nulls);
        if (bigEndian) stream.Record(u"endian_swap");
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
        text = xml::TextConverter::ToUtf16(bytes, stream.Encoding());
        const std::u16string utf16 = u"UTF-16";
        stream.Record(u"converted_to", &utf16, xml::kRecordEncoding | xml::kRecordLength,
                      static_cast<int>(text.size()));
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
    std::string bytes;
    size_t chars = 0;
    if (stream.BytesPerChar() == 2) {
      const bool bigEndian = stream.MarkFlag() == XML_DOC_UTF16BE;
      bytes = xml::TextConverter::FromUtf16(text, bigEndian ? u"UTF-16BE" : u"UTF-16LE", nullptr);
      chars = text.size();
      if (bigEndian) stream.Record(u"endian_swap");
    } else {
      bool lost = false;
      bytes = xml::TextConverter::FromUtf16(text, stream.Encoding(), &lost);
      const std::u16string utf16 = u"UTF-16";
      stream.Record(u"converted_from", &utf16, xml::kRecordEncoding | xml::kRecordLength,
                    static_cast<int>(text.size()));
      if (lost) stream.Record(u"conversion_loss");
      chars = bytes.size();
    }
    ok = stream.WriteAll(bytes);
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
