#include "platform/version_record.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/text_case.h"

namespace platform {

const char* const kVersionValueNames[kVersionValueCount] = {
    "CompanyName",  "FileDescription", "FileVersion", "InternalName",    "LegalCopyright", "OriginalFileName",
    "ProductName",  "ProductVersion",  "Comments",    "LegalTrademarks", "PrivateBuild",   "SpecialBuild"};

namespace {

bool Fail(std::string* error, const char* why) {
  if (error != nullptr) *error = why;
  return false;
}

// Reads exactly `size` bytes at `offset`, refusing ranges beyond the file.
bool ReadAt(int fd, uint64_t fileSize, uint64_t offset, void* out, uint64_t size) {
  if (offset > fileSize || size > fileSize - offset) return false;
  auto* bytes = static_cast<uint8_t*>(out);
  while (size > 0) {
    ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    bytes += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<uint64_t>(n);
  }
  return true;
}

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

bool ReadVersionData(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
  data->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error, "cannot open file");
  FileCloser closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Fail(error, "not a regular file");
  const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

  Elf64_Ehdr header{};
  if (!ReadAt(fd, fileSize, 0, &header, sizeof header)) return Fail(error, "file too short for an ELF header");
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return Fail(error, "not an ELF file");
  if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
    return Fail(error, "not a little-endian ELF64 file");
  if (header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
    return Fail(error, "no usable section table");

  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!ReadAt(fd, fileSize, header.e_shoff, sections.data(), uint64_t{header.e_shnum} * sizeof(Elf64_Shdr)))
    return Fail(error, "section table beyond the end of the file");

  const Elf64_Shdr& names = sections[header.e_shstrndx];
  if (names.sh_type == SHT_NOBITS || names.sh_size > (uint64_t{16} << 20))
    return Fail(error, "bad section name table");
  std::vector<char> nameTable(names.sh_size);
  if (!ReadAt(fd, fileSize, names.sh_offset, nameTable.data(), names.sh_size))
    return Fail(error, "section name table beyond the end of the file");

  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= nameTable.size()) continue;
    const char* name = nameTable.data() + section.sh_name;
    size_t room = nameTable.size() - section.sh_name;
    if (strnlen(name, room) == room || std::strcmp(name, kVersionSectionName) != 0) continue;
    if (section.sh_type == SHT_NOBITS) return Fail(error, "version section holds no data");
    if (section.sh_size < sizeof(VersionSection)) return Fail(error, "version section too small");
    std::vector<uint8_t> bytes(sizeof(VersionSection));
    if (!ReadAt(fd, fileSize, section.sh_offset, bytes.data(), bytes.size()))
      return Fail(error, "version section beyond the end of the file");
    VersionSection record;
    std::memcpy(&record, bytes.data(), sizeof record);
    if (std::memcmp(record.magic, kVersionMagic, sizeof kVersionMagic) != 0 ||
        record.value_count != kVersionValueCount)
      return Fail(error, "version section has an unknown layout");
    data->swap(bytes);
    return true;
  }
  return Fail(error, "no version section");
}

bool QueryVersionValue(const std::vector<uint8_t>& data, const std::string& path, const uint8_t** value,
                       size_t* size) {
  if (data.size() < sizeof(VersionSection)) return false;
  const uint8_t* base = data.data();
  if (path == "\\") {
    *value = base + offsetof(VersionSection, fixed);
    *size = kFixedRecordSize;
    return true;
  }
  if (EqualNoCase(path, "\\VarFileInfo\\Translation")) {
    *value = base + offsetof(VersionSection, translation);
    *size = sizeof(uint32_t);
    return true;
  }
  static const char kStrings[] = "\\StringFileInfo\\";
  const size_t prefix = sizeof kStrings - 1;
  if (path.size() <= prefix + 9 || !EqualNoCase(path.substr(0, prefix), kStrings) || path[prefix + 8] != '\\')
    return false;
  uint32_t translation;
  std::memcpy(&translation, base + offsetof(VersionSection, translation), sizeof translation);
  char block[9];
  std::snprintf(block, sizeof block, "%04X%04X", translation & 0xFFFFu, translation >> 16);
  if (!EqualNoCase(path.substr(prefix, 8), block)) return false;
  const std::string name = path.substr(prefix + 9);
  for (size_t i = 0; i < kVersionValueCount; ++i) {
    if (!EqualNoCase(name, kVersionValueNames[i])) continue;
    const uint8_t* text = base + offsetof(VersionSection, values) + i * sizeof(VersionSection::values[0]);
    size_t units = 0;
    while (units < 128 && (text[units * 2] != 0 || text[units * 2 + 1] != 0)) ++units;
    if (units == 0 || units == 128) return false;  // absent, or not terminated
    *value = text;
    *size = units * 2;
    return true;
  }
  return false;
}

}  // namespace platform
