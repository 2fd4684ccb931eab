// buffer_t and CCommunicationAddr.
#include "utility/base_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr uint32_t kDefaultStep = 0x4000;

unsigned char* Allocate(uint64_t bytes) {
  if (bytes > 0xFFFFFFFFull) return nullptr;
  return static_cast<unsigned char*>(std::malloc(bytes == 0 ? 1 : static_cast<size_t>(bytes)));
}
}  // namespace

buffer_t::buffer_t() : buffer_t(kDefaultStep) {}

buffer_t::buffer_t(uint32_t growthStep)
    : m_data(nullptr), m_length(0), m_capacity(0), m_growthStep(growthStep) {}

buffer_t::buffer_t(uint32_t capacity, uint32_t growthStep) : buffer_t(growthStep) {
  m_data = Allocate(static_cast<uint64_t>(capacity) + 1);
  if (m_data != nullptr) m_capacity = capacity;
}

buffer_t::buffer_t(const void* data, uint32_t length) : buffer_t(kDefaultStep) {
  m_data = Allocate(static_cast<uint64_t>(length) + 1);
  if (m_data == nullptr) return;
  if (length > 0 && data != nullptr) std::memcpy(m_data, data, length);
  m_length = m_capacity = length;
}

buffer_t::buffer_t(const buffer_t& other) : buffer_t(other.m_growthStep) { *this = other; }

buffer_t& buffer_t::operator=(const buffer_t& other) {
  if (this == &other) return *this;
  clear();
  m_growthStep = other.m_growthStep;
  if (other.m_data == nullptr) return *this;
  m_data = Allocate(static_cast<uint64_t>(other.m_capacity) + 1);
  if (m_data == nullptr) return *this;
  std::memcpy(m_data, other.m_data, other.m_length);
  m_length = other.m_length;
  m_capacity = other.m_capacity;
  return *this;
}

buffer_t::~buffer_t() { std::free(m_data); }

unsigned char* buffer_t::buffer() const { return m_data; }
uint32_t buffer_t::size() const { return m_capacity; }

bool buffer_t::reset(uint32_t capacity, uint32_t growthStep) {
  clear();
  m_data = Allocate(capacity);
  if (m_data == nullptr) return false;
  m_capacity = capacity;
  m_growthStep = growthStep;
  return true;
}

void buffer_t::clear() {
  std::free(m_data);
  m_data = nullptr;
  m_length = 0;
  m_capacity = 0;
}

void buffer_t::resize(uint32_t n) {
  unsigned char* grown = Allocate(static_cast<uint64_t>(n) + 1);
  if (grown == nullptr) return;
  const uint32_t keep = m_length < n ? m_length : n;
  if (keep > 0) std::memcpy(grown, m_data, keep);
  std::free(m_data);
  m_data = grown;
  m_length = keep;
  m_capacity = n;
}

void buffer_t::write(const void* data, uint32_t n) {
  if (data == nullptr || n == 0) return;
  if (m_capacity - m_length < n) {
    const uint64_t wanted = static_cast<uint64_t>(m_capacity) + m_growthStep + n;
    if (wanted < 0xFFFFFFFFull) resize(static_cast<uint32_t>(wanted));
  }
  if (m_data != nullptr && m_capacity - m_length >= n) {
    std::memcpy(m_data + m_length, data, n);
    m_length += n;
  }
}

void buffer_t::reserve(uint32_t n) {
  if (m_capacity < n || m_data == nullptr) resize(n);
  if (m_capacity >= n && m_data != nullptr) m_length = n;
}

void buffer_t::descard(uint32_t n) {
  if (n == 0) return;
  if (n >= m_length) {
    m_length = 0;
    return;
  }
  std::memmove(m_data, m_data + n, m_length - n);
  m_length -= n;
}

CCommunicationAddr::CCommunicationAddr() : m_netType(0), m_ipType(0), m_port(0) {}

CCommunicationAddr::CCommunicationAddr(const char* ip, uint16_t port, uint8_t ipType)
    : m_netType(0), m_ipType(ipType), m_port(port), m_ip(ip ? ip : "") {}

CCommunicationAddr::CCommunicationAddr(const CCommunicationAddr& other)
    : m_netType(other.m_netType), m_ipType(other.m_ipType), m_port(other.m_port),
      m_ip(other.m_ip), m_domain(other.m_domain) {}

CCommunicationAddr::~CCommunicationAddr() = default;

bool CCommunicationAddr::operator==(const CCommunicationAddr& other) const {
  return m_ip == other.m_ip && m_port == other.m_port;
}

CCommunicationAddr& CCommunicationAddr::operator=(const CCommunicationAddr& other) {
  m_netType = other.m_netType;
  m_ipType = other.m_ipType;
  m_port = other.m_port;
  m_ip = other.m_ip;
  m_domain = other.m_domain;
  return *this;
}

void CCommunicationAddr::SetPortA(uint16_t port) { m_port = port; }
void CCommunicationAddr::SetNetType(uint8_t netType) { m_netType = netType; }
void CCommunicationAddr::SetIpType(uint8_t ipType) { m_ipType = ipType; }
void CCommunicationAddr::SetIp(const char* ip) { m_ip = ip ? ip : ""; }
void CCommunicationAddr::SetDomain(const char* domain) { m_domain = domain ? domain : ""; }
uint16_t CCommunicationAddr::GetPort() const { return m_port; }
uint8_t CCommunicationAddr::GetNetType() const { return m_netType; }
uint8_t CCommunicationAddr::GetIpType() const { return m_ipType; }
const char* CCommunicationAddr::GetIp() const { return m_ip.c_str(); }
const char* CCommunicationAddr::GetDomain() const { return m_domain.c_str(); }
