#include "udp_binding.h"

#include <dlfcn.h>

#include "utility_link.h"

namespace relaylink {

std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) return std::string();
  std::string path(info.dli_fname);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

template <typename F>
static bool Look(void* module, const char* name, F* out) {
  *out = reinterpret_cast<F>(dlsym(module, name));
  return *out != nullptr;
}

bool BindUdpLibrary(UdpBinding* binding) {
  std::string path = OwnFolder() + "libudp.so";
  // Kept loaded once loaded: a later load would register libudp's exit
  // clean-up after relaylink's own, so at exit libudp would be torn down
  // before relaylink's teardown calls into it; and no late caller can run
  // into unmapped code.
  binding->module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (binding->module == nullptr) {
    const char* why = dlerror();
    Log("%s is not exist !!! %s", path.c_str(), why != nullptr ? why : "");
    return false;
  }
  void* m = binding->module;
  bool ok = Look(m, "UDPSetRemoteReqProcessorCallback", &binding->SetRemoteReqProcessorCallback);
  ok = Look(m, "UDPSetIsRequstCallback", &binding->SetIsRequstCallback) && ok;
  ok = Look(m, "UDPInit", &binding->Init) && ok;
  ok = Look(m, "UDPReset", &binding->Reset) && ok;
  ok = Look(m, "UDPClose", &binding->Close) && ok;
  ok = Look(m, "UDPCreate", &binding->Create) && ok;
  ok = Look(m, "UDPFree", &binding->Free) && ok;
  ok = Look(m, "UDPSendTo", &binding->SendTo) && ok;
  ok = Look(m, "UDPSendToEx", &binding->SendToEx) && ok;
  ok = Look(m, "UDPRecvFrom", &binding->RecvFrom) && ok;
  Look(m, "UDPSetProxy", &binding->SetProxy);
  if (!ok) Log("get udp.dll function address fail !!!");
  return ok;
}

void UnbindUdpLibrary(UdpBinding* binding) {
  if (binding->module != nullptr) dlclose(binding->module);
  *binding = UdpBinding{};
}

}  // namespace relaylink
