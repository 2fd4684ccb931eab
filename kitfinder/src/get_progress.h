// CGetProgress: the query front, one per process. It keeps what the host
// said about two machines ("slots": 0 another machine or device, 1 this PC;
// any non-zero slot number means 1), answers the driver queries from the SQL
// cache first (slot 1 only) and from kitoracle otherwise, stores fresh
// answers back into the cache, and sends the statistics reports.
//
// Threading: devwarden queries from one thread per device while its host
// thread may call the setters. One lock (mu_) guards every member below it:
// the bindings, both slots, their resolved flags and the settings. It is held
// only to copy or store state, never across a service or cache call (Init's
// binding aside): the calls run on a copy, outside the lock (kitoracle
// serialises the exchanges). A slot is resolved once: resolving_[slot] lets
// one thread at a time resolve that slot, across its exchange; the queries
// of that slot wait for the answer they need, everything else goes on.
#ifndef KITFINDER_SRC_GET_PROGRESS_H_
#define KITFINDER_SRC_GET_PROGRESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "kitoracle/driver_records.h"
#include "kitoracle_interface.h"
#include "ledgerbox_interface.h"
#include "module_folder.h"

namespace kitfinder {

// Characters of the matched-IDs buffer the USB driver query fills: the size
// devwarden gives it. Nothing is written past it.
constexpr size_t kMatchedIdsCapacity = 1024;
// Characters of the cloud-switch document.
constexpr int kCloudSwitchCapacity = 4096;

class CGetProgress {
 public:
  using NowStamp = int32_t (*)();

  // The process-wide front, made once on first use (also by the export that
  // runs first on any thread); null when it cannot be made. Holders keep it
  // alive past DestroyInstance.
  static std::shared_ptr<CGetProgress> GetInstance();
  // Drops the process-wide front; the next GetInstance makes a fresh one.
  static void DestroyInstance();

  CGetProgress();  // opens the log
  ~CGetProgress();
  CGetProgress(const CGetProgress&) = delete;
  CGetProgress& operator=(const CGetProgress&) = delete;

  // Binds kitoracle and runs its DSInit, then binds the cache, both from
  // `folder` (with a trailing '/'; empty: this library's own folder). A
  // second call releases the earlier cache binding first.
  int Init(const std::string& folder = std::string());
  // Closes and unloads the cache; kitoracle stays loaded.
  void Release();
  // Tests: the hour stamp of "now".
  void SetNowStamp(NowStamp now);

  void SetMajorAppID(int app_id);
  void SetClientVer(uint64_t version);
  void SetUnionID(int union_id);
  void SetDisplayType(int type);
  void SetBrandStr(int slot, const char16_t* brand, const char16_t* product, const char16_t* version);
  void SetSystemInfo(int slot, int os_id, int16_t language, uint8_t computer_type);

  int GetBrandName(int slot, char16_t* brand_name, char16_t* product_name);
  int GetBrandSoftware(int slot, SSoftInfo** soft, uint8_t* count);
  int GetPciDrvInfo(int slot, const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                    char16_t* desc2);
  int GetPciSpecialDrvInfo(int slot, const SQueryDevInfo* first, const SQueryDevInfo* second, SDrvInfo** drivers,
                           uint8_t* count, char16_t* desc1, char16_t* desc2);
  int GetDrvDesc(int slot, int driver_id, char16_t* buffer, int* length);
  int GetMobileProductInfo(int vendor_id, int product_id, const char16_t* text1, const char16_t* text2,
                           const char16_t* text3, char16_t* result, int capacity);

  // Several USB devices in one query, slot 1; `lists` holds one hardware-ID
  // list per device. The matched-IDs buffer (when given) receives at most
  // `matched_capacity` characters.
  int GetUsbDrvInfo(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched, size_t matched_capacity,
                    SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2);
  int CheckPeripheralDevice(const char16_t* list, uint8_t* result);
  int IsDriverOSSupply(const SQueryDevInfo* device, int value, uint8_t* result);
  int ReportDrvInstResult(const SQueryDevInfo* device, int os_id, int file_id, int os_install_date, uint8_t result);
  void ComputerInfoReport();
  bool StatReport(int kind, const char16_t* text);
  std::u16string GetCloudSwitch();
  int GetQenAdType();
  bool IsStartCalendar();

 private:
  // What one query works on, copied under the lock.
  struct Context {
    SSysInfo sys{};
    CDSInterface ds;
    CLedgerboxInterface sc;  // empty unless the cache serves this slot
    bool cache = false;
    int32_t now = 0;
    uint64_t client_version = 0;
    int union_id = 0;
    int display_type = 0;
    int16_t other_language = 0;  // slot 0's language (cloud switch, calendar)
  };

  // A query's out array and count: both given with its inputs (else
  // `missing` is logged) and both empty on entry (else "error parameter2").
  template <typename Record>
  static int CheckOutputs(bool inputs_given, Record** array, uint8_t* count, const char* missing) {
    if (!inputs_given || !array || !count) {
      KIT_LOG("%s", missing);
      return DS_ERROR_PARAMETER;
    }
    if (*array || *count) {
      KIT_LOG("error parameter2");
      return DS_ERROR_PARAMETER;
    }
    return DS_ERROR_SUCCESS;
  }
  // Resolves the slot when needed and copies the state; a non-zero result
  // is the resolution's error, logged with the caller's slot.
  int Prepare(int slot, Context* ctx);
  // Copies the state without resolving.
  Context Snapshot(int slot);
  // Resolves the slot unless it is resolved (resolving_[slot] taken here,
  // mu_ not held).
  int ResolveSlot(int slot);
  // The exchange of a resolution, on copies: `slot` in, resolved out.
  static int SrcSysInfo(int s, const CDSInterface& ds, const CLedgerboxInterface* cache, int32_t now, SSysInfo* slot);
  // The drivers a service query left in `request` to the caller (a copy of
  // this library); the service's array is freed.
  static int HandOutAnswer(const CDSInterface& ds, const SDevInfo& request, SDrvInfo** drivers, uint8_t* count);
  // The device IDs of a cached record, or of the service's device query;
  // fills `ids` (zeroed) and the record's descriptions and ID text.
  int DeviceIdsFor(const Context& ctx, SDevCacheInfo* record, bool use_cached_ids, int32_t** ids, uint8_t* id_count,
                   const char* error_empty, const char* error_alloc);

  std::mutex resolving_[2];  // one resolution of a slot at a time; taken before mu_, held across its exchange
  std::mutex mu_;
  CDSInterface ds_;
  CLedgerboxInterface sc_;
  SSysInfo sys_[2];
  bool resolved_[2] = {false, false};
  uint64_t client_version_ = 0;
  int union_id_ = 0;
  uint8_t major_app_id_ = 1;
  int display_type_ = 0;
  bool ledgerbox_ = false;  // the cache is bound and initialised
  NowStamp now_stamp_;
};

}  // namespace kitfinder

#endif  // KITFINDER_SRC_GET_PROGRESS_H_
