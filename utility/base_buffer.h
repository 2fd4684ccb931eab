// Two value classes of libutility.so: buffer_t, a growable byte buffer, and
// CCommunicationAddr, a datagram peer (dotted IPv4 text and port with an IP
// type, a net type and a domain name).
#pragma once

#include <cstdint>
#include <string>

#include "utility/utility_export.h"

class UTILITY_API buffer_t {
 public:
  buffer_t();  // empty, growth step 16,384
  explicit buffer_t(uint32_t growthStep);
  buffer_t(uint32_t capacity, uint32_t growthStep);
  buffer_t(const void* data, uint32_t length);
  // Copies take their own storage.
  buffer_t(const buffer_t& other);
  buffer_t& operator=(const buffer_t& other);
  virtual ~buffer_t();

  unsigned char* buffer() const;  // the storage; null until allocated
  uint32_t size() const;          // the capacity, not the length
  uint32_t length() const { return m_length; }  // bytes written so far

  // Frees the storage, then allocates exactly capacity bytes.
  bool reset(uint32_t capacity, uint32_t growthStep);
  // Appends n bytes, growing by the step plus n when they do not fit; the
  // data is dropped when the storage cannot grow.
  void write(const void* data, uint32_t n);
  // Grows the capacity to at least n, then sets the length to n.
  void reserve(uint32_t n);
  // Drops the first n bytes; n above the length empties the buffer.
  void descard(uint32_t n);

 protected:
  void clear();
  void resize(uint32_t n);

 private:
  unsigned char* m_data;
  uint32_t m_length;
  uint32_t m_capacity;
  uint32_t m_growthStep;
};

class UTILITY_API CCommunicationAddr {
 public:
  CCommunicationAddr();
  CCommunicationAddr(const char* ip, uint16_t port, uint8_t ipType);
  CCommunicationAddr(const CCommunicationAddr& other);
  ~CCommunicationAddr();

  // Equal when the IP texts and ports are equal; types and domains are not compared.
  virtual bool operator==(const CCommunicationAddr& other) const;
  virtual CCommunicationAddr& operator=(const CCommunicationAddr& other);
  virtual void SetPortA(uint16_t port);
  virtual void SetNetType(uint8_t netType);
  virtual void SetIpType(uint8_t ipType);
  virtual void SetIp(const char* ip);
  virtual void SetDomain(const char* domain);
  virtual uint16_t GetPort() const;
  virtual uint8_t GetNetType() const;
  virtual uint8_t GetIpType() const;
  // The stored texts, valid until the next change.
  virtual const char* GetIp() const;
  virtual const char* GetDomain() const;

 private:
  uint8_t m_netType;
  uint8_t m_ipType;
  uint16_t m_port;
  std::string m_ip;
  std::string m_domain;
};
