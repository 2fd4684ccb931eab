// Services beside the task engine: the firewall rules of the first start,
// the identity sent with reports, the hash report and the plain download
// behind P2SPWininetDown.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace swarmload {

// Asks for the rules of the host program and of "QENService" beside it;
// always true (each rule's outcome is logged).
bool Qen_Add_FireWall();
// This platform's firewalls filter by address and port, not by program:
// there is no rule to add. Logs that and answers false.
bool ReplaceFirewallRule(const std::u16string& program_path);

// The 32-bit "UnionID" under SOFTWARE\QENSoft\Hollowmere2013, machine
// first, then user; false when neither can be read.
bool ReadUnionId(uint32_t* union_id);
// The 16-byte machine identifier from libHostmark.so in the program folder.
bool GetMachineIdentity(uint8_t identity[16]);
// Sends the report text through kitoracle's DSDownloadStatReport (kind 10);
// its result, or 0 when kitoracle is not bound.
int ReportDownloadState(const std::u16string& text, const uint8_t identity[16], uint32_t union_id);

// The identity one report site keeps between reports. Threading: Send may
// be called from any thread; `mutex` guards the cached values.
struct ReportIdentity {
  std::mutex mutex;
  uint32_t union_id = 0;
  uint8_t identity[16] = {0};

  // Reads what is still missing, then sends the hash report
  // {"Hash1":"<expected>","Hash2":"<computed>"}.
  void SendHashReport(const std::u16string& expected, const std::u16string& computed);
};

// GET `url` into `file`: the body goes to a temporary name in the same
// folder and is renamed into place only when the transfer ended without an
// error and the status was 2xx; false otherwise, leaving no partial file
// under `file`.
bool WininetDownload(const std::u16string& url, const std::u16string& file);

}  // namespace swarmload
