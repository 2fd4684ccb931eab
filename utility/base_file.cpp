// CBaseFile: a buffered file stream with the system's mode numbers.
#include <sys/types.h>
#include <unistd.h>

#include "utility/base_file.h"
#include "utility/os/os_env.h"

namespace {

const char* StreamMode(uint32_t mode) {
  switch (mode & 0xFFF) {
    case 1: return "r";
    case 2: case 3: return "r+";
    case 5: case 6: case 7: return "a+";
    case 8: case 10: return "w";
    case 11: return "w+";
    case 17: return "rb";
    case 18: case 19: return "r+b";
    case 26: return "wb";
    case 27: return "w+b";
    default: return nullptr;
  }
}

}  // namespace

CBaseFile::CBaseFile() : m_open(false), m_file(nullptr) {}

CBaseFile::~CBaseFile() {
  if (m_file != nullptr) std::fclose(m_file);
}

bool CBaseFile::Open(const char* path, uint32_t mode) {
  if (m_file != nullptr && !Close()) return false;
  const char* streamMode = StreamMode(mode);
  if (path == nullptr || streamMode == nullptr) return false;
  m_file = std::fopen(utility_os::NativePath(path).c_str(), streamMode);
  m_open = m_file != nullptr;
  return m_open;
}

bool CBaseFile::Close() {
  if (m_file != nullptr) {
    if (std::fclose(m_file) != 0) {
      // The stream is gone whatever fclose says; only the result tells.
      m_file = nullptr;
      m_open = false;
      return false;
    }
  }
  m_file = nullptr;
  m_open = false;
  return true;
}

int CBaseFile::Read(void* buffer, int count) {
  if (!m_open || m_file == nullptr) return 0;
  if (buffer == nullptr || count <= 0) return 0;
  const size_t n = std::fread(buffer, 1, static_cast<size_t>(count), m_file);
  if (n == 0 && std::ferror(m_file)) return -1;
  return static_cast<int>(n);
}

int CBaseFile::Write(const void* buffer, int count) {
  if (!m_open || m_file == nullptr) return 0;
  if (buffer == nullptr || count <= 0) return 0;
  const size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), m_file);
  if (n < static_cast<size_t>(count) && std::ferror(m_file)) return -1;
  return static_cast<int>(n);
}

bool CBaseFile::Seek(int origin, int64_t offset) {
  if (!m_open || m_file == nullptr) return false;
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: return false;
  }
  return fseeko(m_file, static_cast<off_t>(offset), whence) == 0;
}

bool CBaseFile::IsOpen() { return m_open; }

int64_t CBaseFile::GetFileSize() {
  if (!m_open || m_file == nullptr) return 0;
  const off_t here = ftello(m_file);
  if (here < 0 || fseeko(m_file, 0, SEEK_END) != 0) return 0;
  const off_t size = ftello(m_file);
  fseeko(m_file, here, SEEK_SET);
  return size < 0 ? 0 : static_cast<int64_t>(size);
}

bool CBaseFile::SetFileSize(int64_t size) {
  if (!m_open || m_file == nullptr || size < 0) return false;
  std::fflush(m_file);
  return ftruncate(fileno(m_file), static_cast<off_t>(size)) == 0;
}

bool CBaseFile::IsEof() { return m_file != nullptr && std::feof(m_file) != 0; }
