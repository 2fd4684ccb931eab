#include "app/data/phone_transfer.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

std::u16string FileNameOf(const std::u16string& path) {
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool IsPlainFileName(const std::u16string& name) {
  return !name.empty() && name != u"." && name != u".." && name.find(u'/') == std::u16string::npos &&
         name.find(u'\0') == std::u16string::npos;
}

bool IsExportFileName(const std::u16string& name) { return IsPlainFileName(name) && name[0] != u'.'; }

bool UploadToPhone(const std::u16string& local_path, const std::u16string& phone_path, FtpTransferContext* context) {
  const std::string local = WStringToAnsi(local_path);
  struct stat info {};
  if (!IsPlainFileName(FileNameOf(phone_path)) || stat(local.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    PD_LOG_ERROR("upload refused: %s is no regular file with a plain name", local.c_str());
    return false;
  }
  return CFtpCmdTool::Instance()->UploadFile(WStringToAnsi(phone_path).c_str(), local.c_str(), context);
}

bool DownloadFromPhone(const std::u16string& phone_path, const std::u16string& local_path,
                       FtpTransferContext* context, bool private_file) {
  const std::string target = WStringToAnsi(local_path);
  std::string temp = target + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    PD_LOG_ERROR("cannot create a temporary file beside %s", target.c_str());
    return false;
  }
  bool ok = private_file || fchmod(fd, 0644) == 0;
  if (close(fd) != 0) ok = false;
  ok = ok && CFtpCmdTool::Instance()->DownloadFileWithProgress(WStringToAnsi(phone_path).c_str(), temp.c_str(),
                                                                context);
  // rename replaces the target itself, never a file a link there points to.
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}
