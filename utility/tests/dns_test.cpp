// The DNS client against a small DNS server of our own on loopback: A
// records, CNAME chains, full names, broken answers and time-outs. No query
// leaves the machine: every look-up names the loopback server, and the names
// that fall through to the system resolver ("localhost") are answered from
// the hosts file.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "utility/base_dns.h"
#include "utility/base_string.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Answers each query with what the responder returns (nothing: silence).
class LoopbackDnsServer {
 public:
  using Responder = std::function<std::vector<Bytes>(const Bytes& query)>;

  explicit LoopbackDnsServer(Responder responder) : m_responder(std::move(responder)) {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~LoopbackDnsServer() {
    m_stop = true;
    m_thread.join();
    close(m_fd);
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
  int Queries() const { return m_queries; }
  Bytes LastQuery() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
  }

 private:
  void Serve() {
    while (!m_stop) {
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[1500];
      sockaddr_in from{};
      socklen_t len = sizeof(from);
      const ssize_t n = recvfrom(m_fd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n <= 0) continue;
      const Bytes query(buf, buf + n);
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last = query;
      }
      ++m_queries;
      for (const Bytes& reply : m_responder(query)) {
        sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
      }
    }
  }

  Responder m_responder;
  int m_fd = -1;
  uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_queries{0};
  std::mutex m_mutex;
  Bytes m_last;
  std::thread m_thread;
};

// --- Building answers ---------------------------------------------------------

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

Bytes EncodedName(const std::string& name) {
  Bytes out;
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    out.push_back(static_cast<uint8_t>(dot - start));
    out.insert(out.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  out.push_back(0);
  return out;
}

// Header and question of the answer to query, with ancount answers to follow.
Bytes AnswerHead(const Bytes& query, uint16_t ancount) {
  Bytes b(query.begin(), query.begin() + 2);  // the query's id
  Put16(b, 0x8180);
  Put16(b, 1);
  Put16(b, ancount);
  Put16(b, 0);
  Put16(b, 0);
  b.insert(b.end(), query.begin() + 12, query.end());
  return b;
}

const Bytes kPointerToQuestion = {0xC0, 0x0C};

void AddRecord(Bytes& b, const Bytes& owner, uint16_t type, const Bytes& rdata) {
  b.insert(b.end(), owner.begin(), owner.end());
  Put16(b, type);
  Put16(b, 1);      // class IN
  Put16(b, 0);
  Put16(b, 60);     // TTL
  Put16(b, static_cast<uint16_t>(rdata.size()));
  b.insert(b.end(), rdata.begin(), rdata.end());
}

void AddA(Bytes& b, const char* ip, const Bytes& owner = kPointerToQuestion) {
  in_addr a;
  inet_pton(AF_INET, ip, &a);
  const auto* p = reinterpret_cast<const uint8_t*>(&a.s_addr);
  AddRecord(b, owner, 1, Bytes(p, p + 4));
}

std::string Dotted(uint32_t address) {
  in_addr a;
  a.s_addr = address;
  return inet_ntoa(a);
}

std::vector<std::string> Resolve(const std::string& server, const char* name, int max = 8,
                                 int timeoutMs = 2000) {
  uint32_t addresses[8] = {0};
  const int n = DNS::GetHostByNameEx(server.c_str(), name, addresses, max, timeoutMs);
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(Dotted(addresses[i]));
  return out;
}

class DnsClient : public ::testing::Test {
 protected:
  void SetUp() override {
    DNS::CleanDnsBuffer();
    // A name that neither our resolver nor the system's can look up (a
    // label over 63 characters), resolved without any traffic: the failed
    // system look-up turns our own resolver back on for the next test.
    const std::string unresolvable(70, 'q');
    EXPECT_EQ(DNS::GetHostByName("127.0.0.1:9", unresolvable.c_str(), 100), 0u);
  }
  void TearDown() override { DNS::CleanDnsBuffer(); }
};

TEST_F(DnsClient, QueryIsTheWireFormatOfOneARecordQuestion) {
  LoopbackDnsServer server([](const Bytes&) { return std::vector<Bytes>{}; });
  Resolve(server.Address(), "a.b", 1, 200);  // silence: the answer does not matter here
  const Bytes expected = {0x03, 0xE7, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0,
                          0x01, 'a', 0x01, 'b', 0x00, 0, 1, 0, 1};
  EXPECT_EQ(server.LastQuery(), expected);
}

TEST_F(DnsClient, AnswersARecordsInOrderAndCachesThem) {
  LoopbackDnsServer server([](const Bytes& q) {
    Bytes r = AnswerHead(q, 2);
    AddA(r, "10.0.0.1");
    AddA(r, "10.0.0.2");
    return std::vector<Bytes>{r};
  });
  EXPECT_EQ(Resolve(server.Address(), "two.example"), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(Resolve(server.Address(), "two.example"), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(server.Queries(), 1) << "a cached name costs no traffic";
  EXPECT_EQ(Dotted(DNS::GetHostByName(server.Address().c_str(), "two.example", 1000)), "10.0.0.1");
  DNS::CleanDnsBuffer();
  Resolve(server.Address(), "two.example");
  EXPECT_EQ(server.Queries(), 2);
}

TEST_F(DnsClient, KeepsThreeAddressesAndCopiesUpToMax) {
  LoopbackDnsServer server([](const Bytes& q) {
    Bytes r = AnswerHead(q, 4);
    AddA(r, "10.0.0.1");
    AddA(r, "10.0.0.2");
    AddA(r, "10.0.0.3");
    AddA(r, "10.0.0.4");
    return std::vector<Bytes>{r};
  });
  EXPECT_EQ(Resolve(server.Address(), "four.example").size(), 3u);
  EXPECT_EQ(Resolve(server.Address(), "four.example", 2), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
}

TEST_F(DnsClient, FollowsCnameChainToTheARecord) {
  LoopbackDnsServer server([](const Bytes& q) {
    Bytes r = AnswerHead(q, 3);
    AddRecord(r, kPointerToQuestion, 5, EncodedName("mid.example"));
    // A CNAME whose data is 4 bytes long (a label and a pointer): no address.
    AddRecord(r, Bytes{0xC0, 0x0C}, 5, Bytes{0x01, 'x', 0xC0, 0x0C});
    AddA(r, "192.0.2.7", EncodedName("x.alias.example"));  // full name, not compressed
    return std::vector<Bytes>{r};
  });
  EXPECT_EQ(Resolve(server.Address(), "alias.example"), (std::vector<std::string>{"192.0.2.7"}));
}

// Broken answers give no address from the packet: the look-up falls through
// to the system resolver, which knows "localhost" from the hosts file.
TEST_F(DnsClient, BrokenAnswersYieldNothingFromThePacket) {
  using Mangle = std::function<Bytes(const Bytes& query)>;
  const std::vector<std::pair<const char*, Mangle>> cases = {
      {"cut inside the header", [](const Bytes& q) { return Bytes(q.begin(), q.begin() + 8); }},
      {"cut inside the record",
       [](const Bytes& q) {
         Bytes r = AnswerHead(q, 1);
         AddA(r, "10.9.9.9");
         r.resize(r.size() - 3);
         return r;
       }},
      {"record length past the end",
       [](const Bytes& q) {
         Bytes r = AnswerHead(q, 1);
         AddRecord(r, kPointerToQuestion, 1, Bytes{10, 9, 9, 9});
         r[r.size() - 6] = 0xFF;  // RDLENGTH high byte
         return r;
       }},
      {"more answers counted than sent",
       [](const Bytes& q) {
         Bytes r = AnswerHead(q, 40);
         r.push_back(0x3F);  // a label length running off the end
         return r;
       }},
      {"another query id",
       [](const Bytes& q) {
         Bytes r = AnswerHead(q, 1);
         AddA(r, "10.9.9.9");
         r[0] ^= 0xFF;
         return r;
       }},
  };
  for (const auto& c : cases) {
    DNS::CleanDnsBuffer();
    SetUp();
    LoopbackDnsServer server([&c](const Bytes& q) { return std::vector<Bytes>{c.second(q)}; });
    EXPECT_EQ(Resolve(server.Address(), "localhost", 8, 1000), (std::vector<std::string>{"127.0.0.1"}))
        << c.first;
    EXPECT_EQ(server.Queries(), 1) << c.first;
  }
}

TEST_F(DnsClient, TimeOutSwitchesToTheSystemResolverUntilItFails) {
  LoopbackDnsServer silent([](const Bytes&) { return std::vector<Bytes>{}; });
  EXPECT_EQ(Resolve(silent.Address(), "localhost", 8, 300), (std::vector<std::string>{"127.0.0.1"}));
  EXPECT_EQ(silent.Queries(), 1);

  // Our resolver is now off: the next look-up goes straight to the system.
  DNS::CleanDnsBuffer();
  EXPECT_EQ(Resolve(silent.Address(), "localhost", 8, 300), (std::vector<std::string>{"127.0.0.1"}));
  EXPECT_EQ(silent.Queries(), 1);

  // A failed system look-up turns it on again.
  SetUp();
  Resolve(silent.Address(), "localhost", 8, 300);
  EXPECT_EQ(silent.Queries(), 2);
}

TEST_F(DnsClient, RefusesMissingArguments) {
  uint32_t a[2];
  EXPECT_EQ(DNS::GetHostByNameEx("127.0.0.1:9", nullptr, a, 2, 100), 0);
  EXPECT_EQ(DNS::GetHostByNameEx("127.0.0.1:9", "", a, 2, 100), 0);
  EXPECT_EQ(DNS::GetHostByNameEx("127.0.0.1:9", "x.y", nullptr, 2, 100), 0);
  EXPECT_EQ(DNS::GetHostByNameEx("127.0.0.1:9", "x.y", a, 0, 100), 0);
}

TEST_F(DnsClient, ConcurrentLookUpsOfDifferentNames) {
  LoopbackDnsServer server([](const Bytes& q) {
    // The first label's length names the address: "nX..." → 10.0.0.<len>.
    Bytes r = AnswerHead(q, 1);
    const std::string ip = "10.0.0." + std::to_string(q[12]);
    AddA(r, ip.c_str());
    return std::vector<Bytes>{r};
  });
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 1; t <= 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = std::string(static_cast<size_t>(t), 'n') + ".example";
      for (int i = 0; i < 20; ++i) {
        if (Resolve(server.Address(), name.c_str()) != std::vector<std::string>{"10.0.0." + std::to_string(t)}) {
          ++wrong;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(DnsClient, Domain2IpUsesTheConfiguredServer) {
  LoopbackDnsServer server([](const Bytes& q) {
    Bytes r = AnswerHead(q, 1);
    AddA(r, "10.1.2.3");
    return std::vector<Bytes>{r};
  });
  setenv("PHONEDECK_DNS_SERVER", server.Address().c_str(), 1);
  EXPECT_EQ(Domain2Ip("dispatch.example"), "10.1.2.3");
  EXPECT_EQ(server.Queries(), 1);
}

}  // namespace
