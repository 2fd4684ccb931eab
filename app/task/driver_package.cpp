#include "app/task/driver_package.h"

#include "foundation/base/crc32.h"
#include "foundation/base/log.h"

PNPDriverPackage::PNPDriverPackage(const std::u16string& url)
    : task_id_(Utf16LeCrc32(url)), url_(url), downloader_(url) {}

bool PNPDriverPackage::StartDownLoad() {
  if (downloader_.StartDownload(file_path_, 3)) return true;
  PD_LOG_TRACE("PNPDriverPackage: StartDownLoad err, status:%d", downloader_.GetStatus());
  return false;
}

void PNPDriverPackage::GetProgress(int32_t* status, uint64_t* downloaded, uint64_t* total, int32_t* speed) {
  *status = downloader_.GetStatus();
  *downloaded = downloader_.GetDownloadedSize();
  *total = downloader_.GetFileSize();
  *speed = downloader_.GetSpeed();
}
