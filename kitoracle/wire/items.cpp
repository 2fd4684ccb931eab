#include "wire/items.h"

#include <cstring>
#include <new>

#include "base/kit_log.h"
#include "wire/text.h"

namespace kitoracle {

SoftItem ReadSoftItem(PacketReader& reader) {
  SoftItem item;
  for (uint32_t& v : item.values) v = reader.U32();
  reader.Bytes(item.key, sizeof item.key);
  uint64_t low = reader.U32();
  uint64_t high = reader.U32();
  item.value64 = low | high << 32;
  item.byte1 = reader.U8();
  item.byte2 = reader.U8();
  for (std::string& t : item.texts) t = reader.Str();
  return item;
}

DrvItem ReadDrvItem(PacketReader& reader) {
  DrvItem item;
  item.driverId = reader.U32();
  reader.Bytes(item.digest, sizeof item.digest);
  item.fileSize = reader.U64();
  item.fileVersion = reader.U64();
  item.publishDate = reader.U32();
  item.level = reader.U8();
  item.isSign = reader.U8();
  item.packageType = reader.U8();
  item.installType = reader.U8();
  item.driverType = reader.U8();
  for (std::string& t : item.texts) t = reader.Str();
  uint8_t count = reader.U8();
  for (uint8_t i = 0; i < count && reader.ok(); ++i) item.software.push_back(ReadSoftItem(reader));
  return item;
}

void FreeRecords(void* records) {
  if (records != nullptr) ::operator delete[](records);
}

void FreeDriverRecords(SDrvInfo* records, uint8_t count) {
  if (records == nullptr) return;
  for (uint8_t i = 0; i < count; ++i) FreeRecords(records[i].pSoftInfo);
  FreeRecords(records);
}

bool GetSoftInfoFromSoftItem(SSoftInfo* record, const SoftItem* item) {
  if (record == nullptr || item == nullptr) {
    KIT_LOG("error parameter");
    return false;
  }
  record->dwValue1 = item->values[0];
  record->dwValue2 = item->values[1];
  record->dwValue3 = item->values[2];
  record->dwValue4 = item->values[3];
  std::memcpy(record->byKey, item->key, 16);
  record->i64Value = int64_t(item->value64);
  record->cValue1 = item->byte1;
  record->cValue2 = item->byte2;
  char16_t* fields[7] = {record->szText1, record->szText2, record->szText3, record->szText4,
                         record->szText5, record->szText6, record->szText7};
  for (int i = 0; i < 7; ++i) CopyToWide(item->texts[i], fields[i], kDriverTextLength);
  return true;
}

bool GetDrvInfoFromDrvItem(SDrvInfo* record, const DrvItem* item) {
  if (record == nullptr || item == nullptr) {
    KIT_LOG("error parameter");
    return false;
  }
  record->cUpdateValue = item->updateValue;
  record->iDriverID = int32_t(item->driverId);
  std::memcpy(record->byPackageKey, item->digest, 16);
  record->i64DrvFileSize = int64_t(item->fileSize);
  record->i64DrvFileVersion = int64_t(item->fileVersion);
  record->iDrvPublishDate = int32_t(item->publishDate);
  record->cLevel = item->level;
  record->cIsSign = item->isSign;
  record->cPackgeType = item->packageType;
  record->cInstallType = item->installType;
  record->cDriverType = item->driverType;
  char16_t* fields[7] = {record->szSetupPara,  record->szBrandStr, record->szVendorStr,   record->szFileExt,
                         record->szPopularVer, record->szDrvName,  record->szDrvClassName};
  for (int i = 0; i < 7; ++i) CopyToWide(item->texts[i], fields[i], kDriverTextLength);
  record->cSoftCount = uint8_t(item->software.size());
  record->pSoftInfo = nullptr;
  if (!item->software.empty()) {
    record->pSoftInfo = AllocRecords<SSoftInfo>(item->software.size());
    if (record->pSoftInfo == nullptr) {
      KIT_LOG("error new pDrvInfo->pSoftInfo");
      record->cSoftCount = 0;  // a count without its array would send readers past nothing
      return true;
    }
    for (size_t i = 0; i < item->software.size(); ++i)
      GetSoftInfoFromSoftItem(&record->pSoftInfo[i], &item->software[i]);
  }
  return true;
}

SDrvInfo* MakeDriverRecords(const std::vector<DrvItem>& items) {
  SDrvInfo* records = AllocRecords<SDrvInfo>(items.size());
  if (records == nullptr) return nullptr;
  for (size_t i = 0; i < items.size(); ++i) GetDrvInfoFromDrvItem(&records[i], &items[i]);
  return records;
}

}  // namespace kitoracle
