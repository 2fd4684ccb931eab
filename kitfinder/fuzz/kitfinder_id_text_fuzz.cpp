// libFuzzer target: the ID texts that come from the search service's answers
// (a driver's setup parameters with their device-ID prefix, device-ID text)
// and from the host (hardware-ID lists): every reading ends and stays inside
// its buffer, and the matched-IDs buffer is never overrun.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "id_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  const kitfinder::SetupPrefix prefix = kitfinder::ParseSetupPrefix(text.data(), text.size());
  int32_t ids[8];
  kitfinder::AnalyzeIds(text.data(), text.size(), ids, 8);
  const std::vector<std::u16string> hardware = kitfinder::HardwareIdStrings(text.data(), text.size());
  kitfinder::HardwareIdListLength(text.data(), text.size());
  std::vector<char16_t> matched(64);
  kitfinder::MatchedIdsWriter writer(matched.data(), matched.size(), 2);
  for (const std::u16string& id : hardware) writer.AddId(id);
  writer.CloseGroup();
  if (prefix.present) writer.AddId(prefix.rest);
  writer.CloseGroup();
  writer.Finish();
  return 0;
}
