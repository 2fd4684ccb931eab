// The per-program firewall rule.
#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"

namespace {

// The longest program path the rule takes (a 260-character buffer with its NUL).
constexpr size_t kMaxRulePath = 259;

}  // namespace

bool AppendFireWallRule(const char16_t* path) {
  if (path == nullptr) return false;
  const std::u16string text(path);
  if (text.size() > kMaxRulePath) {
    setupaide::DebugOutput("AppendFireWallRule: path longer than 259 characters, refused");
    return false;
  }
  // Linux firewalls (nftables, iptables) filter by address and port, not by
  // program: there is no rule to add for a program file.
  setupaide::DebugOutput("AppendFireWallRule: no per-program firewall rule on this platform: " +
                         setupaide::ToUtf8(text));
  return false;
}
