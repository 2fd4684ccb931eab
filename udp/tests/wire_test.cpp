// Datagram format, fragmentation and reassembly, SOCKS5 messages, the
// shared proxy record and the request tracker, over the pure code.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "datagram.h"
#include "proxy_settings.h"
#include "request_tracker.h"
#include "socks4.h"
#include "socks5.h"
#include "utility_link.h"

namespace udp {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Datagram(uint32_t id, uint8_t count, uint8_t index, const std::string& payload, uint8_t flags = 0) {
  Bytes out(kHeaderSize);
  DatagramHeader h;
  h.flags = flags;
  h.requestId = id;
  h.fragmentCount = count;
  h.fragmentIndex = index;
  WriteHeader(h, out.data());
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

TEST(DatagramTest, HeaderIsElevenLittleEndianBytes) {
  DatagramHeader h;
  h.flags = 0x04;
  h.requestId = 0x11223344;
  h.fragmentCount = 8;
  h.fragmentIndex = 7;
  h.crc = 0xA1B2C3D4;
  uint8_t out[kHeaderSize];
  WriteHeader(h, out);
  const uint8_t expected[] = {0x04, 0x44, 0x33, 0x22, 0x11, 8, 7, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(0, std::memcmp(out, expected, sizeof expected));
  ParsedDatagram parsed = ParseDatagram(out, sizeof out);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(0x11223344u, parsed.header.requestId);
  EXPECT_EQ(0xA1B2C3D4u, parsed.header.crc);
  EXPECT_EQ(0u, parsed.payloadLength);
}

TEST(DatagramTest, ParseRefusesShortAndOversizedDatagrams) {
  Bytes bytes(kMaxDatagram + 1, 0);
  EXPECT_FALSE(ParseDatagram(bytes.data(), kHeaderSize - 1).ok);
  EXPECT_FALSE(ParseDatagram(bytes.data(), kMaxDatagram + 1).ok);
  EXPECT_TRUE(ParseDatagram(bytes.data(), kMaxDatagram).ok);
  EXPECT_FALSE(ParseDatagram(nullptr, 20).ok);
}

TEST(DatagramTest, FragmentPlans) {
  struct Case {
    size_t length;
    bool ok;
    size_t fragments;
    size_t lastPiece;
  } cases[] = {
      {0, true, 0, 0},       {1, true, 1, 1},       {1289, true, 1, 1289}, {1290, true, 2, 1},
      {10312, true, 8, 1289}, {10313, false, 0, 0},
  };
  for (const Case& c : cases) {
    FragmentPlan plan = PlanFragments(c.length);
    EXPECT_EQ(c.ok, plan.ok) << c.length;
    EXPECT_EQ(c.fragments, plan.pieces.size()) << c.length;
    if (!plan.pieces.empty()) {
      EXPECT_EQ(c.lastPiece, plan.pieces.back().second) << c.length;
    }
  }
}

// Arrivals of a reply's fragments and what the waiting request makes of them.
TEST(DatagramTest, ReassemblyTable) {
  struct Case {
    const char* name;
    std::vector<Bytes> arrivals;
    bool complete;
    std::string joined;
  } cases[] = {
      {"one fragment", {Datagram(1, 1, 0, "abc")}, true, "abc"},
      {"eight fragments",
       {Datagram(1, 8, 0, "0"), Datagram(1, 8, 1, "1"), Datagram(1, 8, 2, "2"), Datagram(1, 8, 3, "3"),
        Datagram(1, 8, 4, "4"), Datagram(1, 8, 5, "5"), Datagram(1, 8, 6, "6"), Datagram(1, 8, 7, "7")},
       true,
       "01234567"},
      {"reordered", {Datagram(1, 2, 1, "world"), Datagram(1, 2, 0, "hello ")}, true, "hello world"},
      {"duplicated", {Datagram(1, 2, 0, "ab"), Datagram(1, 2, 0, "ab"), Datagram(1, 2, 1, "cd")}, true, "abcd"},
      {"lost", {Datagram(1, 3, 0, "ab"), Datagram(1, 3, 2, "ef")}, false, "abef"},
      {"empty payload", {Datagram(1, 1, 0, "")}, true, ""},
  };
  for (const Case& c : cases) {
    FragmentSet set;
    std::vector<std::pair<const uint8_t*, size_t>> kept;
    for (const Bytes& d : c.arrivals) {
      ParsedDatagram p = ParseDatagram(d.data(), d.size());
      if (set.Add(p.header) == FragmentSet::AddResult::kTaken) kept.emplace_back(d.data(), d.size());
    }
    EXPECT_EQ(c.complete, set.Complete()) << c.name;
    uint8_t out[64];
    JoinResult joined = JoinFragments(kept, out, sizeof out);
    EXPECT_EQ(c.joined, std::string(reinterpret_cast<char*>(out), joined.bytes)) << c.name;
  }
}

TEST(DatagramTest, JoinFillsTheBufferExactlyAndSkipsWhatDoesNotFit) {
  Bytes a = Datagram(1, 3, 0, "abcd"), b = Datagram(1, 3, 1, "efghij"), c = Datagram(1, 3, 2, "kl");
  std::vector<std::pair<const uint8_t*, size_t>> all = {{a.data(), a.size()}, {b.data(), b.size()}, {c.data(), c.size()}};
  uint8_t out[12];
  EXPECT_EQ(12u, JoinFragments(all, out, 12).bytes);
  JoinResult cut = JoinFragments(all, out, 8);
  EXPECT_EQ("abcdkl", std::string(reinterpret_cast<char*>(out), cut.bytes));
  EXPECT_EQ(1u, cut.skipped);
}

bool AlwaysRequest(unsigned char) { return true; }
bool IsR(unsigned char b) { return b == 'R'; }

TEST(DatagramTest, AnEmptyPayloadIsAlwaysAReply) {
  Bytes empty = Datagram(5, 1, 0, ""), request = Datagram(5, 1, 0, "R1"), reply = Datagram(5, 1, 0, "x");
  EXPECT_FALSE(IsRemoteRequest(ParseDatagram(empty.data(), empty.size()), &AlwaysRequest));
  EXPECT_TRUE(IsRemoteRequest(ParseDatagram(request.data(), request.size()), &IsR));
  EXPECT_FALSE(IsRemoteRequest(ParseDatagram(reply.data(), reply.size()), &IsR));
  EXPECT_FALSE(IsRemoteRequest(ParseDatagram(request.data(), request.size()), nullptr));
}

TEST(ChecksumTest, CrcAndCipher) {
  EXPECT_EQ(0x74FDAC3Du, Crc32(reinterpret_cast<const uint8_t*>("abc"), 3));
  EXPECT_EQ(0x64B221C3u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9));
  EXPECT_EQ(0xFFu, Crc32(nullptr, 0));
  Bytes data(2048);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  Bytes copy = data;
  CipherInPlace(copy.data(), copy.size());
  EXPECT_NE(data, copy);
  for (size_t i = 0; i < 1024; ++i) ASSERT_EQ(uint8_t(copy[i] ^ data[i]), uint8_t(copy[i + 1024] ^ data[i + 1024]));
  CipherInPlace(copy.data(), copy.size());
  EXPECT_EQ(data, copy);
}

TEST(Socks5Test, HandshakeMessages) {
  EXPECT_EQ((Bytes{0x05, 0x02, 0x00, 0x02}), socks5::Greeting());
  EXPECT_EQ((Bytes{0x01, 0x01, 'u', 0x01, 'p'}), socks5::UserPasswordRequest("u", "p"));
  EXPECT_EQ(1u + 1 + 255 + 1 + 255, socks5::UserPasswordRequest(std::string(300, 'a'), std::string(400, 'b')).size());
  EXPECT_EQ((Bytes{0x05, 0x03, 0x00, 0x01, 0, 0, 0, 0, 0x17, 0x7B}), socks5::AssociateRequest(6011));

  const uint8_t none[] = {0x05, 0x00}, auth[] = {0x05, 0x02}, refused[] = {0x05, 0xFF}, wrong[] = {0x04, 0x00};
  EXPECT_EQ(socks5::Method::kNone, socks5::ParseMethodReply(none, 2).method);
  EXPECT_EQ(socks5::Method::kUserPassword, socks5::ParseMethodReply(auth, 2).method);
  EXPECT_EQ(socks5::Method::kRefused, socks5::ParseMethodReply(refused, 2).method);
  EXPECT_FALSE(socks5::ParseMethodReply(wrong, 2).ok);
  EXPECT_FALSE(socks5::ParseMethodReply(none, 1).ok);
  const uint8_t accepted[] = {0x01, 0x00}, denied[] = {0x01, 0x01};
  EXPECT_TRUE(socks5::ParseUserPasswordReply(accepted, 2));
  EXPECT_FALSE(socks5::ParseUserPasswordReply(denied, 2));
}

TEST(Socks4Test, ConnectRepliesGrantOnlyWithEightBytesAnd5A) {
  struct Case {
    const char* name;
    Bytes reply;
    bool granted;
  } cases[] = {
      {"granted", {0x00, 0x5A, 0, 0, 0, 0, 0, 0}, true},
      {"rejected", {0x00, 0x5B, 0, 0, 0, 0, 0, 0}, false},
      {"no identd", {0x00, 0x5C, 0, 0, 0, 0, 0, 0}, false},
      {"version byte not 0", {0x04, 0x5A, 0, 0, 0, 0, 0, 0}, false},
      {"cut short", {0x00, 0x5A, 0, 0, 0, 0, 0}, false},
      {"nothing", {}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.granted, socks4::ParseConnectReply(c.reply.data(), c.reply.size())) << c.name;
  }
}

TEST(Socks5Test, AssociateReplies) {
  struct Case {
    const char* name;
    Bytes reply;
    bool ok;
    std::string host;
    uint16_t port;
  } cases[] = {
      {"ipv4", {5, 0, 0, 1, 10, 0, 0, 1, 0x1F, 0x90}, true, "10.0.0.1", 8080},
      {"name", {5, 0, 0, 3, 5, 'r', 'e', 'l', 'a', 'y', 0x04, 0x38}, true, "relay", 1080},
      {"ipv6", Bytes{5, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 80}, false, "", 0},
      {"unknown address type", {5, 0, 0, 9, 1, 2, 3, 4, 0, 80}, false, "", 0},
      {"refused", {5, 1, 0, 1, 10, 0, 0, 1, 0, 80}, false, "", 0},
      {"short", {5, 0, 0, 1, 10, 0, 0, 1, 0}, false, "", 0},
      {"name cut", {5, 0, 0, 3, 9, 'r', 'e', 'l', 'a', 'y'}, false, "", 0},
  };
  for (const Case& c : cases) {
    socks5::AssociateReply r = socks5::ParseAssociateReply(c.reply.data(), c.reply.size());
    EXPECT_EQ(c.ok, r.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(c.host, r.relayHost) << c.name;
      EXPECT_EQ(c.port, r.relayPort) << c.name;
    }
  }
  const uint8_t head[] = {5, 0, 0, 3, 5};
  EXPECT_EQ(12u, socks5::AssociateReplyLength(head, 5));
}

TEST(Socks5Test, RelayHeaders) {
  EXPECT_EQ((Bytes{0, 0, 0, 3, 7, 's', 'e', 'r', 'v', 'e', 'r', 's', 0x1F, 0x90}),
            socks5::UdpRequestHeader("servers", 8080));
  EXPECT_EQ((Bytes{0, 0, 0, 1, 192, 168, 1, 2, 0, 53}), socks5::UdpRequestHeader("192.168.1.2", 53));
  EXPECT_TRUE(socks5::UdpRequestHeader("", 53).empty());

  struct Case {
    const char* name;
    Bytes datagram;
    bool ok;
    size_t headerLength;
    std::string ip;
  } cases[] = {
      {"ipv4", {0, 0, 0, 1, 127, 0, 0, 1, 0x17, 0x7B, 'x'}, true, 10, "127.0.0.1"},
      {"name", {0, 0, 0, 3, 2, 'a', 'b', 0, 1, 'x'}, true, 9, ""},
      {"header longer than datagram", {0, 0, 0, 3, 200, 'a', 'b', 0, 1}, false, 0, ""},
      {"ipv6 cut", {0, 0, 0, 4, 0, 0, 0, 0, 0, 0}, false, 0, ""},
      {"seven bytes", {0, 0, 0, 1, 127, 0, 0}, false, 0, ""},
      {"unknown type", {0, 0, 0, 7, 127, 0, 0, 1, 0, 1}, false, 0, ""},
  };
  for (const Case& c : cases) {
    socks5::UdpDatagram d = socks5::ParseUdpDatagram(c.datagram.data(), c.datagram.size());
    EXPECT_EQ(c.ok, d.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(c.headerLength, d.headerLength) << c.name;
      EXPECT_EQ(c.ip, d.senderIp) << c.name;
    }
  }
}

TEST(ProxyRecordTest, TextsAreCutAndTerminatedInsideTheirFields) {
  SharedProxyRecord record{};
  std::memset(reinterpret_cast<char*>(&record) + 4, 'Z', sizeof record - 4);
  ProxySettings settings;
  settings.ip = std::string(40, '1');
  settings.port = 1080;
  settings.type = 5;
  settings.user = std::string(300, 'u');
  settings.password = std::string(300, 'p');
  FillProxyRecord(settings, &record);
  EXPECT_EQ('\0', record.ip[15]);
  EXPECT_EQ('\0', record.user[255]);
  EXPECT_EQ('\0', record.password[255]);
  ProxySettings back = ReadProxyRecord(record);
  EXPECT_EQ(std::string(15, '1'), back.ip);
  EXPECT_EQ(255u, back.user.size());
  EXPECT_EQ(1, record.enabled);
  EXPECT_TRUE(back.InUse());
}

TEST(ProxyRecordTest, ThePasswordNeverReachesTheLog) {
  std::string line = SetProxyLogLine("127.0.0.1", 1080, "alice", 5);
  EXPECT_EQ("CUDPInterface::SetProxy(127.0.0.1, 1080, alice, ***, 5)", line);
}

TEST(ProxyRecordTest, TwoProcessesShareTheSettings) {
  std::string name = "/pd-udp-test-" + std::to_string(getpid());
  setenv("PHONEDECK_UDP_PROXY_SHM", name.c_str(), 1);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ProxySettings s;
    s.ip = "127.0.0.1";
    s.port = 1080;
    s.type = 5;
    s.user = "alice";
    s.password = "secret";
    _exit(SharedProxy::Instance().Write(s) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ProxySettings seen = SharedProxy::Instance().Read();
  EXPECT_EQ("127.0.0.1", seen.ip);
  EXPECT_EQ(1080, seen.port);
  EXPECT_EQ("secret", seen.password);
  // And back: this process turns the proxy off, another one sees it.
  SharedProxy::Instance().Write(ProxySettings{});
  child = fork();
  if (child == 0) _exit(SharedProxy::Instance().Read().InUse() ? 1 : 0);
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  shm_unlink(name.c_str());
}

class RecordingSender : public PackageSender {
 public:
  int Send(const CBasePackage& package, const PeerAddress&) override {
    sent.emplace_back(package.Data(), package.Data() + package.Length());
    return fail ? -1 : int(package.Length());
  }
  std::vector<Bytes> sent;
  bool fail = false;
};

CBasePackage* Reply(uint32_t id, uint8_t count, uint8_t index, const std::string& payload) {
  CBasePackage* p = PackagePool::Instance().Take();
  p->BuildHeader(id, count, index, 0);
  p->Append(payload.data(), payload.size());
  return p;
}

TEST(RequestTrackerTest, AFreedRequestNoLongerTakesReplies) {
  CUdpCommandAction tracker;
  RecordingSender sender;
  tracker.SetSender(&sender);
  UdpRequestContext* context = tracker.Acquire(kStateReady, 2);
  uint32_t id = tracker.NextRequestId();
  context->sendPackage->BuildHeader(id, 1, 0, 0);
  ASSERT_TRUE(tracker.Send(context, CUdpCommandAction::kSend | CUdpCommandAction::kRegister));
  EXPECT_EQ(1u, tracker.PendingCount());
  tracker.Release(context);
  EXPECT_EQ(0u, tracker.PendingCount());
  CBasePackage* late = Reply(id, 1, 0, "late");
  EXPECT_FALSE(tracker.MatchReply(late));
  PackagePool::Instance().Give(late);
}

TEST(RequestTrackerTest, FailedSendLeavesNothingRegistered) {
  CUdpCommandAction tracker;
  RecordingSender sender;
  sender.fail = true;
  tracker.SetSender(&sender);
  UdpRequestContext* context = tracker.Acquire(kStateReady, 2);
  context->sendPackage->BuildHeader(tracker.NextRequestId(), 1, 0, 0);
  EXPECT_FALSE(tracker.Send(context, CUdpCommandAction::kSend | CUdpCommandAction::kRegister));
  EXPECT_EQ(0u, tracker.PendingCount());
  tracker.Release(context);
}

TEST(RequestTrackerTest, RepliesFindTheirOwnRequestsByIdInAnyOrder) {
  CUdpCommandAction tracker;
  RecordingSender sender;
  tracker.SetSender(&sender);
  EXPECT_EQ(1u, tracker.NextRequestId());  // the first id of a process is 1
  UdpRequestContext* a = tracker.Acquire(kStateReady, 1);
  UdpRequestContext* b = tracker.Acquire(kStateReady, 1);
  a->sendPackage->BuildHeader(10, 1, 0, 0);
  b->sendPackage->BuildHeader(11, 1, 0, 0);
  tracker.Send(a, 3);
  tracker.Send(b, 3);
  EXPECT_TRUE(tracker.MatchReply(Reply(11, 2, 1, "B2")));
  EXPECT_TRUE(tracker.MatchReply(Reply(10, 1, 0, "A")));
  EXPECT_TRUE(tracker.MatchReply(Reply(11, 2, 1, "B2")));  // duplicate, dropped
  EXPECT_TRUE(tracker.MatchReply(Reply(11, 2, 0, "B1")));
  CBasePackage* stray = Reply(99, 1, 0, "?");
  EXPECT_FALSE(tracker.MatchReply(stray));
  PackagePool::Instance().Give(stray);
  EXPECT_EQ(kStateComplete, tracker.Wait(a));
  EXPECT_EQ(kStateComplete, tracker.Wait(b));
  uint8_t out[16];
  EXPECT_EQ("A", std::string(reinterpret_cast<char*>(out), tracker.Join(a, out, sizeof out).bytes));
  EXPECT_EQ("B1B2", std::string(reinterpret_cast<char*>(out), tracker.Join(b, out, sizeof out).bytes));
  tracker.Release(a);
  tracker.Release(b);
}

}  // namespace
}  // namespace udp
