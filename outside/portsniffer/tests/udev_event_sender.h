// Sends synthetic events in the udev daemon's own netlink message format
// (multicast group 2), as a test's stand-in for the udev daemon. Use it only
// inside a private network namespace: every listener of the namespace sees it.
#ifndef PORTSNIFFER_TESTS_UDEV_EVENT_SENDER_H_
#define PORTSNIFFER_TESTS_UDEV_EVENT_SENDER_H_

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace portsniffer {

// The filter hash that libudev's monitor filter compares (MurmurHash2, seed 0).
inline uint32_t FilterHash(const std::string& s) {
  const uint32_t m = 0x5bd1e995;
  uint32_t h = static_cast<uint32_t>(s.size());
  const unsigned char* d = reinterpret_cast<const unsigned char*>(s.data());
  size_t len = s.size();
  while (len >= 4) {
    uint32_t k;
    std::memcpy(&k, d, 4);
    k *= m;
    k ^= k >> 24;
    k *= m;
    h *= m;
    h ^= k;
    d += 4;
    len -= 4;
  }
  switch (len) {
    case 3: h ^= d[2] << 16; [[fallthrough]];
    case 2: h ^= d[1] << 8; [[fallthrough]];
    case 1: h ^= d[0]; h *= m;
  }
  h ^= h >> 13;
  h *= m;
  h ^= h >> 15;
  return h;
}

// Sends one event in the udev daemon's own message format to group 2.
inline bool SendUdevEvent(const std::string& action, const std::string& devpath, const std::string& devtype) {
  struct Header {
    char prefix[8];
    uint32_t magic, header_size, properties_off, properties_len;
    uint32_t filter_subsystem_hash, filter_devtype_hash, filter_tag_bloom_hi, filter_tag_bloom_lo;
  } h{};
  std::string props;
  for (const std::string& p : {"ACTION=" + action, "DEVPATH=" + devpath, std::string("SUBSYSTEM=usb"),
                               "DEVTYPE=" + devtype, std::string("SEQNUM=7")}) {
    props += p;
    props.push_back('\0');
  }
  std::memcpy(h.prefix, "libudev", 8);
  h.magic = htonl(0xfeedcafe);
  h.header_size = sizeof h;
  h.properties_off = sizeof h;
  h.properties_len = static_cast<uint32_t>(props.size());
  h.filter_subsystem_hash = htonl(FilterHash("usb"));
  h.filter_devtype_hash = htonl(FilterHash(devtype));
  std::string msg(reinterpret_cast<const char*>(&h), sizeof h);
  msg += props;
  int s = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (s < 0) return false;
  sockaddr_nl dst{};
  dst.nl_family = AF_NETLINK;
  dst.nl_groups = 2;
  bool ok = sendto(s, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&dst), sizeof dst) ==
            static_cast<ssize_t>(msg.size());
  close(s);
  return ok;
}

}  // namespace portsniffer

#endif  // PORTSNIFFER_TESTS_UDEV_EVENT_SENDER_H_
