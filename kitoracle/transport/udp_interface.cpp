#include "transport/udp_interface.h"

#include <string>

#include "base/base_proc.h"
#include "base/kit_log.h"
#include "platform/dynamic_library.h"

namespace kitoracle {

std::atomic<int> CUDPInterface::udpIndex_{0};

bool CUDPInterface::InitUDPInterface() {
  std::string folder = BaseGetModuleFileName(nullptr);
  if (folder.empty()) {
    KIT_LOG("error BaseGetModuleFilePath");
    return false;
  }
  if (module_ == nullptr) {
    std::string error;
    module_ = platform::LoadLibraryFrom(folder, "relaylink.dll", &error);
    KIT_LOG("LoadLibrary relaylink.dll");
    if (module_ == nullptr) {
      KIT_LOG("error LoadLibrary %s%s (%s)", folder.c_str(), platform::LibraryFileName("relaylink").c_str(),
              error.c_str());
      return false;
    }
  }
  int users = ++udpIndex_;
  KIT_LOG("InitUDPInterface g_udpindex[%d]", users);
  struct Entry {
    const char* name;
    const char* missing;
  };
  static const Entry kEntries[] = {
      {"RELAYLINKInit", "error GetProcAddress RELAYLINKInit"},
      {"RELAYLINKFini", "error GetProcAddress RELAYLINKFini"},
      {"RELAYLINKSendToSync", "error GetProcAddress RELAYLINKSyncSendTo"},
      {"RELAYLINKSendToAsyn", "error GetProcAddress RELAYLINKAsynSendTo"},
      {"RELAYLINKRecvFrom", "error GetProcAddress UDPRecvFrom"},
  };
  void* found[5] = {};
  for (int i = 0; i < 5; ++i) {
    found[i] = platform::FindSymbol(module_, kEntries[i].name);
    if (found[i] == nullptr) {
      KIT_LOG("%s", kEntries[i].missing);
      CloseUDPInterface();
      return false;
    }
  }
  init_ = reinterpret_cast<PfnInit>(found[0]);
  fini_ = reinterpret_cast<PfnFini>(found[1]);
  syncSendTo_ = reinterpret_cast<PfnSyncSendTo>(found[2]);
  asynSendTo_ = reinterpret_cast<PfnAsynSendTo>(found[3]);
  recvFrom_ = reinterpret_cast<PfnRecvFrom>(found[4]);
  return true;
}

void CUDPInterface::CloseUDPInterface() {
  int users = --udpIndex_;
  KIT_LOG("CloseUDPInterface g_udpindex[%d]", users);
  if (users >= 1) return;
  init_ = nullptr;
  fini_ = nullptr;
  syncSendTo_ = nullptr;
  asynSendTo_ = nullptr;
  recvFrom_ = nullptr;
  if (module_ == nullptr) {
    KIT_LOG("error NULL == g_hUdpMod, interface has not init");
    return;
  }
  platform::FreeLibrary(module_);
  module_ = nullptr;
}

bool CUDPInterface::UDPInit(const char* host, int port) {
  PfnInit init = init_;
  if (init == nullptr) {
    KIT_LOG("error NULL == m_pfnUDPInit. Please call InitInterface first.");
    return false;
  }
  return init(host, port);
}

int CUDPInterface::UDPSyncSendTo(uint8_t type, const uint8_t* send, int sendLength, uint8_t* reply, int replyCapacity,
                                 int timeout) {
  PfnSyncSendTo sendTo = syncSendTo_;
  if (sendTo == nullptr) {
    KIT_LOG("error NULL == m_pfnUDPSyncSendTo. Please call InitInterface first.");
    return 0;
  }
  return sendTo(type, reinterpret_cast<const char*>(send), sendLength, reinterpret_cast<char*>(reply), replyCapacity,
                timeout);
}

int CUDPInterface::UDPAsynSendTo(uint8_t type, const uint8_t* buffer, int length) {
  PfnAsynSendTo sendTo = asynSendTo_;
  if (sendTo == nullptr) {
    KIT_LOG("error NULL == m_pfnUDPAsynSendTo. Please call InitInterface first.");
    return 0;
  }
  return sendTo(type, reinterpret_cast<const char*>(buffer), length);
}

}  // namespace kitoracle
