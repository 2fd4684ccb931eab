#include "record_codec.h"

#include <cstring>
#include <memory>
#include <new>

namespace ledgerbox {

namespace {
constexpr size_t kText = kDriverTextLength;
constexpr uint8_t kFormat = 1;  // first byte of every encoded value

class Writer {
 public:
  Writer() { out_.push_back(kFormat); }
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Raw(v, 2); }
  void U32(uint32_t v) { Raw(v, 4); }
  void U64(uint64_t v) { Raw(v, 8); }
  void Block(const uint8_t* p, size_t n) { out_.insert(out_.end(), p, p + n); }
  // The units of a field up to its NUL (at most `capacity`).
  void Text(const char16_t* field, size_t capacity = kText) {
    size_t n = 0;
    while (n < capacity && field[n]) ++n;
    U16(static_cast<uint16_t>(n));
    for (size_t i = 0; i < n; ++i) U16(field[i]);
  }
  Bytes Take() { return std::move(out_); }

 private:
  void Raw(uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  Bytes out_;
};

class Reader {
 public:
  explicit Reader(const Bytes& in) : in_(in) {
    ok_ = !in_.empty() && in_[0] == kFormat;
    pos_ = 1;
  }
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && pos_ == in_.size(); }
  uint8_t U8() { return static_cast<uint8_t>(Raw(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Raw(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Raw(4)); }
  uint64_t U64() { return Raw(8); }
  void Block(uint8_t* p, size_t n) {
    if (!Has(n)) return;
    std::memcpy(p, in_.data() + pos_, n);
    pos_ += n;
  }
  // Into a field of `capacity` units, which keeps room for its NUL.
  void Text(char16_t* field, size_t capacity = kText) {
    const size_t n = U16();
    if (!ok_ || n >= capacity) {
      ok_ = false;
      return;
    }
    for (size_t i = 0; i < n; ++i) field[i] = U16();
    for (size_t i = n; i < capacity; ++i) field[i] = 0;
  }

 private:
  bool Has(size_t n) {
    if (!ok_ || in_.size() - pos_ < n) ok_ = false;
    return ok_;
  }
  uint64_t Raw(int width) {
    if (!Has(static_cast<size_t>(width))) return 0;
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v |= static_cast<uint64_t>(in_[pos_ + i]) << (8 * i);
    pos_ += static_cast<size_t>(width);
    return v;
  }
  const Bytes& in_;
  size_t pos_ = 0;
  bool ok_ = false;
};

void WriteSoft(Writer& w, const SSoftInfo& s) {
  w.U32(s.dwValue1);
  w.U32(s.dwValue2);
  w.U32(s.dwValue3);
  w.U32(s.dwValue4);
  w.Block(s.byKey, sizeof s.byKey);
  w.Block(s.reserved, sizeof s.reserved);
  w.U64(static_cast<uint64_t>(s.i64Value));
  w.U8(s.cValue1);
  w.U8(s.cValue2);
  for (const char16_t* text : {s.szText1, s.szText2, s.szText3, s.szText4, s.szText5, s.szText6, s.szText7})
    w.Text(text);
}

void ReadSoft(Reader& r, SSoftInfo* s) {
  s->dwValue1 = r.U32();
  s->dwValue2 = r.U32();
  s->dwValue3 = r.U32();
  s->dwValue4 = r.U32();
  r.Block(s->byKey, sizeof s->byKey);
  r.Block(s->reserved, sizeof s->reserved);
  s->i64Value = static_cast<int64_t>(r.U64());
  s->cValue1 = r.U8();
  s->cValue2 = r.U8();
  for (char16_t* text : {s->szText1, s->szText2, s->szText3, s->szText4, s->szText5, s->szText6, s->szText7})
    r.Text(text);
}

void WriteSoftList(Writer& w, const SSoftInfo* soft, uint8_t count) {
  if (!soft) count = 0;
  w.U8(count);
  for (int i = 0; i < count; ++i) WriteSoft(w, soft[i]);
}

// A new[] array read from `r`; null for none or when the bytes are bad.
SSoftInfo* ReadSoftList(Reader& r, uint8_t* count) {
  *count = r.U8();
  if (!r.ok() || *count == 0) return nullptr;
  std::unique_ptr<SSoftInfo[]> soft(new (std::nothrow) SSoftInfo[*count]());
  if (!soft) return nullptr;
  for (int i = 0; i < *count; ++i) ReadSoft(r, &soft[i]);
  return r.ok() ? soft.release() : nullptr;
}
}  // namespace

Bytes DeviceKey(const SQueryDevInfo& device) {
  Writer w;
  w.Text(device.szClass);
  size_t i = 0;
  const size_t capacity = kHardwareIdListLength;
  while (i < capacity && device.szHardwareIDs[i]) {
    w.Text(device.szHardwareIDs + i, capacity - i);
    while (i < capacity && device.szHardwareIDs[i]) ++i;
    ++i;
  }
  w.U16(0);  // the list's closing empty string
  w.U8(device.cLocalDrvStatus);
  w.U32(static_cast<uint32_t>(device.iLocalDrvDate));
  w.U8(device.cNeedPackType);
  return w.Take();
}

Bytes EncodeDeviceDetails(const SDevCacheInfo& record) {
  Writer w;
  w.Text(record.szDesc1);
  w.Text(record.szDesc2);
  w.Text(record.szDeviceID);
  w.U32(static_cast<uint32_t>(record.iStamp));
  return w.Take();
}

bool DecodeDeviceDetails(const Bytes& bytes, SDevCacheInfo* record) {
  Reader r(bytes);
  SDevCacheInfo read = *record;
  r.Text(read.szDesc1);
  r.Text(read.szDesc2);
  r.Text(read.szDeviceID);
  read.iStamp = static_cast<int32_t>(r.U32());
  if (!r.AtEnd()) return false;
  *record = read;
  return true;
}

Bytes EncodeSysInfo(const SSysInfo& info) {
  Writer w;
  w.Text(info.szBrandStr);
  w.Text(info.szProductStr);
  w.Text(info.szProductVer);
  w.U32(static_cast<uint32_t>(info.iOSID));
  w.U16(static_cast<uint16_t>(info.sLanguage));
  w.U8(info.cComputerType);
  w.U32(static_cast<uint32_t>(info.iBrandID));
  w.U32(static_cast<uint32_t>(info.iProductID));
  w.Text(info.szBrandName);
  w.Text(info.szProductName);
  w.U32(static_cast<uint32_t>(info.iStamp));
  return w.Take();
}

bool DecodeSysInfo(const Bytes& bytes, SSysInfo* info) {
  Reader r(bytes);
  SSysInfo read{};
  r.Text(read.szBrandStr);
  r.Text(read.szProductStr);
  r.Text(read.szProductVer);
  read.iOSID = static_cast<int32_t>(r.U32());
  read.sLanguage = static_cast<int16_t>(r.U16());
  read.cComputerType = r.U8();
  read.iBrandID = static_cast<int32_t>(r.U32());
  read.iProductID = static_cast<int32_t>(r.U32());
  r.Text(read.szBrandName);
  r.Text(read.szProductName);
  read.iStamp = static_cast<int32_t>(r.U32());
  if (!r.AtEnd()) return false;
  *info = read;
  return true;
}

Bytes EncodeDrivers(const SDrvInfo* drivers, uint8_t count) {
  Writer w;
  if (!drivers) count = 0;
  w.U8(count);
  for (int i = 0; i < count; ++i) {
    const SDrvInfo& d = drivers[i];
    w.U8(d.cUpdateValue);
    w.U32(static_cast<uint32_t>(d.iDriverID));
    w.Block(d.byPackageKey, sizeof d.byPackageKey);
    w.Block(d.reserved, sizeof d.reserved);
    w.U64(static_cast<uint64_t>(d.i64DrvFileSize));
    w.U64(static_cast<uint64_t>(d.i64DrvFileVersion));
    w.U32(static_cast<uint32_t>(d.iDrvPublishDate));
    w.U8(d.cLevel);
    w.U8(d.cIsSign);
    w.U8(d.cPackgeType);
    w.U8(d.cInstallType);
    w.U8(d.cDriverType);
    for (const char16_t* text :
         {d.szSetupPara, d.szBrandStr, d.szVendorStr, d.szFileExt, d.szPopularVer, d.szDrvName, d.szDrvClassName})
      w.Text(text);
    WriteSoftList(w, d.pSoftInfo, d.cSoftCount);
  }
  return w.Take();
}

bool DecodeDrivers(const Bytes& bytes, SDrvInfo** drivers, uint8_t* count) {
  Reader r(bytes);
  const uint8_t n = r.U8();
  if (!r.ok()) return false;
  SDrvInfo* read = n ? new (std::nothrow) SDrvInfo[n]() : nullptr;
  if (n && !read) return false;
  for (int i = 0; i < n && r.ok(); ++i) {
    SDrvInfo& d = read[i];
    d.cUpdateValue = r.U8();
    d.iDriverID = static_cast<int32_t>(r.U32());
    r.Block(d.byPackageKey, sizeof d.byPackageKey);
    r.Block(d.reserved, sizeof d.reserved);
    d.i64DrvFileSize = static_cast<int64_t>(r.U64());
    d.i64DrvFileVersion = static_cast<int64_t>(r.U64());
    d.iDrvPublishDate = static_cast<int32_t>(r.U32());
    d.cLevel = r.U8();
    d.cIsSign = r.U8();
    d.cPackgeType = r.U8();
    d.cInstallType = r.U8();
    d.cDriverType = r.U8();
    for (char16_t* text :
         {d.szSetupPara, d.szBrandStr, d.szVendorStr, d.szFileExt, d.szPopularVer, d.szDrvName, d.szDrvClassName})
      r.Text(text);
    d.pSoftInfo = ReadSoftList(r, &d.cSoftCount);
    if (!d.pSoftInfo) d.cSoftCount = 0;
  }
  if (!r.AtEnd()) {
    FreeDrivers(read, n);
    return false;
  }
  *drivers = read;
  *count = n;
  return true;
}

void FreeDrivers(SDrvInfo* drivers, uint8_t count) {
  if (!drivers) return;
  for (int i = 0; i < count; ++i) delete[] drivers[i].pSoftInfo;
  delete[] drivers;
}

Bytes EncodeSoftware(const SSoftInfo* soft, uint8_t count) {
  Writer w;
  WriteSoftList(w, soft, count);
  return w.Take();
}

bool DecodeSoftware(const Bytes& bytes, SSoftInfo** soft, uint8_t* count) {
  Reader r(bytes);
  uint8_t n = 0;
  SSoftInfo* read = ReadSoftList(r, &n);
  if (!r.AtEnd()) {
    delete[] read;
    return false;
  }
  *soft = read;
  *count = read ? n : 0;
  return true;
}

Bytes JoinParts(const std::vector<Bytes>& parts) {
  Writer w;
  for (const Bytes& part : parts) {
    w.U32(static_cast<uint32_t>(part.size()));
    w.Block(part.data(), part.size());
  }
  return w.Take();
}

bool SplitParts(const Bytes& bytes, size_t count, std::vector<Bytes>* parts) {
  Reader r(bytes);
  std::vector<Bytes> read(count);
  for (Bytes& part : read) {
    const uint32_t n = r.U32();
    if (!r.ok() || n > bytes.size()) return false;
    part.resize(n);
    r.Block(part.data(), n);
  }
  if (!r.AtEnd()) return false;
  *parts = std::move(read);
  return true;
}

Bytes EncodeDescription(const std::u16string& text) {
  Writer w;
  w.U32(static_cast<uint32_t>(text.size()));
  for (char16_t unit : text) w.U16(unit);
  return w.Take();
}

bool DecodeDescription(const Bytes& bytes, std::u16string* text) {
  Reader r(bytes);
  const uint32_t n = r.U32();
  if (!r.ok() || n > bytes.size() / 2) return false;
  std::u16string read(n, u'\0');
  for (char16_t& unit : read) unit = r.U16();
  if (!r.AtEnd()) return false;
  *text = std::move(read);
  return true;
}

Bytes EncodeNumber(int32_t value) {
  Writer w;
  w.U32(static_cast<uint32_t>(value));
  return w.Take();
}

bool DecodeNumber(const Bytes& bytes, int32_t* value) {
  Reader r(bytes);
  const int32_t read = static_cast<int32_t>(r.U32());
  if (!r.AtEnd()) return false;
  *value = read;
  return true;
}

}  // namespace ledgerbox
