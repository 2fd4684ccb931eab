// One statistics report as text (pure, for tests).
#pragma once

#include <cstdint>
#include <string>

namespace tallyhand {

struct Identity {
  uint16_t union_id = 0;
  uint8_t app_id = 0;
  uint64_t version = 0;
};

// {"appid":8,"event":"online","time":"2026-12-10 13:20:02","unionid":1111,
//  "version":"2.1.0.35"} plus "action", "flag" and "text" for actions; one
// line without a line end.
std::string BuildReport(const Identity& identity, const std::string& event, const std::string& time,
                        int action, const std::string& text, int flag);

// "a.b.c.d" from a 64-bit version (major in the high 16 bits).
std::string VersionText(uint64_t version);

}  // namespace tallyhand
