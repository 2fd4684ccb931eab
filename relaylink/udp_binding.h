// libudp.so bound at run time from this library's own folder, each entry
// point looked up by its exported name.
#ifndef PHONEDECK_RELAYLINK_UDP_BINDING_H
#define PHONEDECK_RELAYLINK_UDP_BINDING_H

#include <string>

#include "udp/udp.h"

namespace relaylink {

struct UdpBinding {
  void* module = nullptr;
  decltype(&UDPSetRemoteReqProcessorCallback) SetRemoteReqProcessorCallback = nullptr;
  decltype(&UDPSetIsRequstCallback) SetIsRequstCallback = nullptr;
  decltype(&UDPInit) Init = nullptr;
  decltype(&UDPReset) Reset = nullptr;
  decltype(&UDPClose) Close = nullptr;
  decltype(&UDPCreate) Create = nullptr;
  decltype(&UDPFree) Free = nullptr;
  decltype(&UDPSendTo) SendTo = nullptr;
  decltype(&UDPSendToEx) SendToEx = nullptr;
  decltype(&UDPRecvFrom) RecvFrom = nullptr;
  decltype(&UDPSetProxy) SetProxy = nullptr;  // optional
};

// The folder this library was loaded from, with a trailing '/'.
std::string OwnFolder();

// Loads "libudp.so" beside this library (it stays mapped for the rest of the
// process); false (and logged) when the file or a required entry point is
// missing.
bool BindUdpLibrary(UdpBinding* binding);
void UnbindUdpLibrary(UdpBinding* binding);

}  // namespace relaylink

#endif  // PHONEDECK_RELAYLINK_UDP_BINDING_H
