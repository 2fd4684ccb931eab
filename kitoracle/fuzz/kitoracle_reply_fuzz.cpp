// Fuzzes every reply parser of the search service and the conversion of
// parsed drivers and software into the flat records: the first byte picks
// the parser, the rest follows the parser's own two leading bytes. Also the
// file name taken from a download server's headers and the HTTP reply
// framing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/http_send.h"
#include "wire/items.h"
#include "wire/replies.h"

using namespace kitoracle;

namespace {

std::unique_ptr<Reply> Pick(uint8_t which) {
  switch (which % 16) {
    case 0:
      return std::make_unique<DeviceDescReply>(false);
    case 1:
      return std::make_unique<DeviceDescReply>(true);
    case 2:
      return std::make_unique<BrandProductReply>();
    case 3:
      return std::make_unique<TextReply>(0x23, 0);
    case 4:
      return std::make_unique<TextReply>(0x0B, 1);
    case 5:
      return std::make_unique<ByteReply>(0x29, 0);
    case 6:
      return std::make_unique<DriverListReply>(0x25, 0, true);
    case 7:
      return std::make_unique<DriverListReply>(0x27, 0xF0, false);
    case 8:
      return std::make_unique<CommonNewestReply>(0x19);
    case 9:
      return std::make_unique<CommonNewestReply>(0x21);
    case 10:
      return std::make_unique<PrintCacheReply>();
    case 11:
      return std::make_unique<ServerResReply>();
    case 12:
      return std::make_unique<SoftwareListReply>();
    case 13:
      return std::make_unique<PluginListReply>();
    case 14:
      return std::make_unique<TextReply>(0x38, 0);
    default:
      return nullptr;
  }
}

const uint8_t kLeading[15][2] = {{0x17, 0}, {0x17, 0xF0}, {0x03, 0x02}, {0x23, 0}, {0x0B, 1},
                                 {0x29, 0}, {0x25, 0},    {0x27, 0xF0}, {0x19, 0}, {0x21, 0},
                                 {0x21, 0}, {0x55, 0},    {0x09, 1},    {0x40, 0}, {0x38, 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t which = data[0] % 16;
  if (which == 15) {
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t cut = text.find('\n');
    std::string url = cut == std::string::npos ? text : text.substr(0, cut);
    (void)ResourceFileName(text, url);
    std::vector<uint8_t> out(4096);
    ReceiveState receive;
    receive.buffer = out.data();
    for (size_t at = 1; at < size;) {
      size_t n = 1 + data[at] % 64;
      if (n > size - at) n = size - at;
      if (receive.Accept(data + at, n) == 0) break;
      at += n;
    }
    return 0;
  }
  // The reply lies at the end of its own allocation: any read past it is caught.
  std::vector<uint8_t> reply(size + 1);
  reply[0] = kLeading[which][0];
  reply[1] = kLeading[which][1];
  std::copy(data + 1, data + size, reply.begin() + 2);
  std::unique_ptr<Reply> parser = Pick(which);
  if (parser->ParseBuffer(reply.data(), reply.size()) <= 0) return 0;
  if (auto* list = dynamic_cast<DriverListReply*>(parser.get())) {
    FreeDriverRecords(MakeDriverRecords(list->drivers), uint8_t(list->drivers.size()));
  } else if (auto* common = dynamic_cast<CommonNewestReply*>(parser.get())) {
    FreeDriverRecords(MakeDriverRecords(common->further), uint8_t(common->further.size()));
  } else if (auto* soft = dynamic_cast<SoftwareListReply*>(parser.get())) {
    SSoftInfo* records = AllocRecords<SSoftInfo>(soft->software.size());
    for (size_t i = 0; records != nullptr && i < soft->software.size(); ++i) {
      GetSoftInfoFromSoftItem(&records[i], &soft->software[i]);
    }
    FreeRecords(records);
  }
  return 0;
}
