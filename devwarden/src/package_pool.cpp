#include "package_pool.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "base/base_string.h"
#include "foundation/base/log.h"

namespace devwarden {

namespace {

constexpr uint32_t kPollIntervalMs = 1000;

}  // namespace

bool IsFinalStatus(int status) {
  return status == 1 || status == 5 || status == 6 || status == 7 || status == 10;
}

PackagePool::PackagePool() : base::WinThread(u"PackagePool") {}

PackagePool::~PackagePool() {
  Stop();
  base::CSingleLock hold(&lock_);
  downloads_.clear();
  packages_.clear();
}

void PackagePool::SetCallback(PnpDownloadCallback callback, uintptr_t context) {
  base::CSingleLock hold(&lock_);
  callback_ = callback;
  context_ = context;
}

int PackagePool::AddPackage(std::unique_ptr<DriverPackage> package) {
  if (!package) return 0;
  const PackageKey key = package->GetKey();
  base::CSingleLock hold(&lock_);
  if (packages_.count(key)) return 0;  // the new one is freed on return
  packages_.emplace(key, std::shared_ptr<DriverPackage>(std::move(package)));
  PD_LOG_TRACE("PackagePool: Add Package hash%s packagepool count=%d", KeyToHexA(key.data()).c_str(),
               static_cast<int>(packages_.size()));
  return 1;
}

std::shared_ptr<DriverPackage> PackagePool::FindPackage(const PackageKey& key) {
  base::CSingleLock hold(&lock_);
  auto it = packages_.find(key);
  return it == packages_.end() ? nullptr : it->second;
}

size_t PackagePool::PackageCount() {
  base::CSingleLock hold(&lock_);
  return packages_.size();
}

bool PackagePool::HasDownload(int device) {
  base::CSingleLock hold(&lock_);
  return downloads_.count(device) != 0;
}

int PackagePool::StartDownLoad(int device, const PackageKey& key) {
  std::shared_ptr<DriverPackage> package;
  {
    base::CSingleLock hold(&lock_);
    if (downloads_.count(device)) return 1;
    auto it = packages_.find(key);
    if (it == packages_.end()) return 0;
    package = it->second;
  }
  if (!package->StartDownload()) return 0;  // outside the lock: binding and starting may take a while
  base::CSingleLock hold(&lock_);
  Entry entry;
  entry.key = key;
  downloads_[device] = entry;
  PD_LOG_TRACE("PackagePool: StartDownLoad Package id:%d hash%s", device, KeyToHexA(key.data()).c_str());
  return 1;
}

void PackagePool::StopDownLoad(int device) {
  base::CSingleLock hold(&lock_);
  auto entry = downloads_.find(device);
  if (entry == downloads_.end()) return;
  auto package = packages_.find(entry->second.key);
  if (package == packages_.end()) return;
  package->second->StopDownload();
  PD_LOG_TRACE("PackagePool: StopDownLoad Package id:%d hash%s", device, KeyToHexA(entry->second.key.data()).c_str());
}

void PackagePool::GetDownLoadInfo(int device, uint64_t* total, uint64_t* downloaded, int* speed) {
  uint64_t sum_total = 0, sum_downloaded = 0;
  int sum_speed = 0;
  {
    base::CSingleLock hold(&lock_);
    auto entry = downloads_.find(device);
    if (entry != downloads_.end()) {
      auto package = packages_.find(entry->second.key);
      if (package != packages_.end()) {
        const uint64_t size = package->second->TotalSize();
        const DriverPackage::Progress p = package->second->GetProgress();
        sum_total += size;
        sum_downloaded += p.status == kDownloadFinished ? size : p.downloaded;
        sum_speed += p.speed;
      }
    }
  }
  if (total) *total = sum_total;
  if (downloaded) *downloaded = sum_downloaded;
  if (speed) *speed = sum_speed;
}

int PackagePool::AllFinished(const PackageKey& key) {
  std::shared_ptr<DriverPackage> package = FindPackage(key);
  if (!package) return 1;
  return package->GetProgress().status == kDownloadFinished ? 1 : 0;
}

int PackagePool::Install(const PackageKey& key, int class_bits, const std::u16string& bus_id) {
  std::shared_ptr<DriverPackage> package = FindPackage(key);
  if (!package) return 1;
  int reboot = 0;
  return InstallDrv(package.get(), class_bits, bus_id.c_str(), &reboot);
}

void PackagePool::PollOnce() {
  base::CSingleLock hold(&lock_);
  for (auto it = downloads_.begin(); it != downloads_.end();) {
    auto package = packages_.find(it->second.key);
    if (package == packages_.end()) {
      ++it;
      continue;
    }
    Entry& entry = it->second;
    DriverPackage& p = *package->second;
    int status = p.Status();
    uint64_t total = p.TotalSize();
    uint64_t downloaded = p.Downloaded();
    int speed = 0;
    if (status == kDownloadRunning) {
      // Half the growth over the entry's last two polls; a download that
      // restarted (fewer bytes than before) reports 0, not a wrapped value.
      speed = downloaded > entry.previous ? static_cast<int>(std::min<uint64_t>((downloaded - entry.previous) >> 1,
                                                                                 INT32_MAX))
                                          : 0;
      entry.previous = entry.latest;
      entry.latest = downloaded;
    }
    const bool final_status = IsFinalStatus(status);  // whatever the callback writes back
    if (callback_) callback_(it->first, &status, &total, &downloaded, &speed, context_);
    // The next entry follows the erased one: no entry is reported twice.
    it = final_status ? downloads_.erase(it) : std::next(it);
  }
}

void PackagePool::Run() {
  while (!WaitForStop(0)) {
    PollOnce();
    if (WaitForStop(kPollIntervalMs)) break;
  }
}

}  // namespace devwarden
