// What relaylink takes from the utility library and the system: its log
// ("log/Relaylink.log" beside the program), name resolution, the network
// state, the INI reader and the temporary folder (the FunctionChecker traces
// are used where they stand).
#ifndef PHONEDECK_RELAYLINK_UTILITY_LINK_H
#define PHONEDECK_RELAYLINK_UTILITY_LINK_H

#include <string>

namespace relaylink {

bool OpenLog();
void CloseLog();
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Dotted text of a host name, or empty (the machine's name server, 2000 ms).
std::string Domain2Ip(const std::string& name);
// Dotted text of a host name asked of dnsServer (or the system's), or empty.
std::string ResolveWithServer(const std::string& dnsServer, const std::string& name, int timeoutMs);

// True when some network interface is up and running (loopback counts:
// a dispatch server on this machine is reachable without any other).
bool IsNetworkAlive();

// The folder of the running program, with a trailing '/'.
std::string ProgramFolder();
// A text or integer of an INI file ("key=value" lines under "[section]").
std::string IniReadStr(const std::string& path, const char* section, const char* key, const char* fallback);
int IniReadInt(const std::string& path, const char* section, const char* key, int fallback);

}  // namespace relaylink

#endif  // PHONEDECK_RELAYLINK_UTILITY_LINK_H
