// The pieces of the device setup: reading a bus id, the rule's text and
// file, the device's node, and running udevadm.
#ifndef OUTSIDE_KITPLANTER_SRC_UDEV_RULE_H_
#define OUTSIDE_KITPLANTER_SRC_UDEV_RULE_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kitplanter {

struct UsbId {
  uint16_t vendor_id;
  uint16_t product_id;
};

// "USB\VID_18d1&PID_4ee7" (any case, anything may follow) -> its ids.
std::optional<UsbId> ParseBusId(const std::u16string& bus_id);

// The rule for a vendor's devices, and its file name.
std::string RuleText(uint16_t vendor_id);
std::string RuleFileName(uint16_t vendor_id);

enum class WriteResult { kWritten, kUnchanged, kFailed };
// Writes `text` to folder/name through a temporary file and a rename; a file
// that already holds exactly `text` is left alone. *error gets the reason of
// a failure.
WriteResult WriteRuleFile(const std::string& folder, const std::string& name, const std::string& text,
                          std::string* error);

// The device nodes of the present USB devices with these ids, from the
// sysfs tree below sysfs_root (their busnum and devnum), below dev_root.
std::vector<std::string> FindDeviceNodes(const std::string& sysfs_root, const std::string& dev_root, UsbId id);
// The node opens for reading and writing.
bool NodeUsable(const std::string& node);

// Runs a program (argv[0] searched in PATH when it has no '/') with its
// output discarded; its exit code, or -1 when it could not be started, was
// killed, did not end within `timeout` (it is then asked to end, and killed
// when it does not within a second) or its end could not be learnt.
int RunTool(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

}  // namespace kitplanter

#endif  // OUTSIDE_KITPLANTER_SRC_UDEV_RULE_H_
