// The agent reply path end to end against a plain client with pugixml:
// bytes sent by a local agent stand-in on 127.0.0.1 until it closes, read
// and parsed into a document.
//   ours:      ExecuteRequest (connect, send the request, read the reply into
//              the reply buffer, hand it to the target) and the target's
//              CheckResponse (UTF-8 to UTF-16 and the parse).
//   baseline:  connect, send the same request, recv into a vector, pugixml
//              parses the bytes in place; the socket has the transport's
//              time-outs and linger, so the system calls are the same.
// Documents: list replies of contacts and messages of about 4 KB, 64 KB,
// 1 MB and 8 MB, and a text-heavy reply (nested threads of long message
// bodies in element text, Chinese and Latin). A third benchmark parses the
// same bytes with pugixml from memory, without the socket, and a fourth
// runs our reply check alone on the bytes in the buffer.
// Prints one ratio line per document (see testing/bench/ratio_report.h).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <pugixml.hpp>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/agent/base_response.h"
#include "app/agent/cmd_package.h"
#include "app/agent/socket_thread.h"
#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"
#include "testing/bench/ratio_report.h"

namespace {

const char* const kLatin[] = {"Zhang", "Li", "Wang", "Chen", "Liu", "Yang", "Huang", "Zhao"};
const char* const kHan[] = {"张伟", "李娜", "王芳", "陈静", "刘洋", "杨磊", "黄敏", "赵丽"};
const char* const kBodies[] = {
    "明天下午三点在公司楼下见，别忘了带上合同。",
    "See you at 3pm &amp; bring the contract, please.",
    "快递已放在门口的柜子里，取件码 4821。",
    "Your verification code is 583920. It expires in 10 minutes.",
};

// A contact_list / sms_list style reply of at least `size` bytes.
std::string ListReply(size_t size) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response result=\"1\">\r\n";
  const std::string end = "</response>\r\n";
  for (int i = 0; s.size() + end.size() < size; ++i) {
    const std::string n = std::to_string(i);
    if (i % 3 != 2) {
      s += "<c i=\"" + n + "\" n=\"" + kHan[i % 8] + " " + kLatin[(i / 8) % 8] + " &amp; " + n +
           "\"><g i=\"" + std::to_string(i % 5) + "\"/><p n=\"+86 138 0000 " +
           std::to_string(1000 + i % 9000) + "\"/><p n=\"010-6" + n + "\"/></c>\r\n";
    } else {
      s += "<sms thread=\"" + std::to_string(i % 40) + "\" contact=\"" + n +
           "\" type=\"1\" id=\"" + n + "\" addr=\"+86 139 1234 " + std::to_string(1000 + i % 9000) +
           "\" date=\"17000000" + n + "\" read=\"1\" body=\"" + kBodies[i % 4] +
           "\" errcode=\"0\"/>\r\n";
    }
  }
  return s + end;
}

// Nested threads of messages whose bodies are long element texts.
std::string TextReply(size_t size) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response result=\"1\">\r\n";
  const std::string end = "</response>\r\n";
  for (int t = 0; s.size() + end.size() < size; ++t) {
    s += "<thread id=\"" + std::to_string(t) + "\">\r\n";
    for (int m = 0; m < 6; ++m) {
      s += "  <sms id=\"" + std::to_string(t * 6 + m) + "\"><addr>+86 139 1234 " +
           std::to_string(1000 + t % 9000) + "</addr><body>";
      for (int k = 0; k < 8; ++k) s += kBodies[(t + m + k) % 4];
      s += "<part n=\"1\">" + std::string(kBodies[(t + m) % 4]) + " &lt;draft&gt;</part>";
      s += "</body></sms>\r\n";
    }
    s += "</thread>\r\n";
  }
  return s + end;
}

struct Doc {
  const char* name;
  std::string bytes;
};

std::vector<Doc>& Docs() {
  static std::vector<Doc> docs = {
      {"reply_4k", ListReply(4 << 10)},    {"reply_64k", ListReply(64 << 10)},
      {"reply_1m", ListReply(1 << 20)},    {"reply_8m", ListReply(8 << 20)},
      {"text_1m", TextReply(1 << 20)},
  };
  return docs;
}

// The agent stand-in: one connection at a time; reads the request up to
// "</request>", sends the current reply and closes.
class ReplyServer {
 public:
  ReplyServer() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(listen_fd_, 16);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ReplyServer() {
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    thread_.join();
    close(listen_fd_);
  }
  int port() const { return port_; }
  void SetReply(const std::string* reply) { reply_.store(reply); }

 private:
  void Serve() {
    std::string request;
    char chunk[4096];
    while (!stopping_) {
      const int fd = accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) return;
      request.clear();
      while (request.find("</request>") == std::string::npos) {
        const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
        if (n <= 0) break;
        request.append(chunk, static_cast<size_t>(n));
      }
      const std::string* reply = reply_.load();
      size_t sent = 0;
      while (reply != nullptr && sent < reply->size()) {
        const ssize_t n = send(fd, reply->data() + sent, reply->size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      close(fd);
    }
  }

  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<const std::string*> reply_{nullptr};
  std::thread thread_;
};

ReplyServer* g_server = nullptr;
std::u16string g_request;

// A data manager's part of the path: the reply check, which parses.
class ParsingTarget : public CBaseResponse {
 public:
  void OnResponse(CmdResponse& response) override {
    delete response.package;
    response.package = nullptr;
    CXmlDocument document;
    ok = CheckResponseStatus(response) && CheckResponse(document, response.reply);
  }
  bool ok = false;
};

void BM_AgentReply(benchmark::State& state) {
  const Doc& doc = Docs()[static_cast<size_t>(state.range(0))];
  g_server->SetReply(&doc.bytes);
  ParsingTarget target;
  for (auto _ : state) {
    CCmdPackage* package = new CCmdPackage(u"contact_list");
    package->SetRequest(g_request);
    package->SetTarget(&target);
    target.ok = false;
    ExecuteRequest(package);
    if (!target.ok) {
      state.SkipWithError("the reply did not parse");
      break;
    }
  }
  state.SetLabel(doc.name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
}

// connect, send, read to the close; the bytes in `reply`. The socket gets
// the options the agent transport must set (send and receive time-outs, a
// reset on close), so both sides make the same system calls.
bool PlainExchange(const std::string& request, std::vector<char>& reply) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval timeout{kAgentSocketTimeoutMs / 1000, (kAgentSocketTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  linger lin{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof(lin));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(g_server->port()));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size());
  char chunk[4096];
  for (ssize_t n = 0; ok && (n = recv(fd, chunk, sizeof(chunk), 0)) != 0;) {
    if (n < 0) ok = false;
    else reply.insert(reply.end(), chunk, chunk + n);
  }
  close(fd);
  return ok;
}

void BM_PlainPugixml(benchmark::State& state) {
  const Doc& doc = Docs()[static_cast<size_t>(state.range(0))];
  g_server->SetReply(&doc.bytes);
  const std::string request = WStringToMultiByte(g_request, CP_UTF8);
  for (auto _ : state) {
    std::vector<char> reply;
    pugi::xml_document parsed;
    const bool ok = PlainExchange(request, reply) &&
                    parsed.load_buffer_inplace(reply.data(), reply.size()) &&
                    parsed.child("response").attribute("result").as_int() == 1;
    if (!ok) {
      state.SkipWithError("the plain exchange failed");
      break;
    }
  }
  state.SetLabel(doc.name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
}

void BM_PugixmlParse(benchmark::State& state) {
  const Doc& doc = Docs()[static_cast<size_t>(state.range(0))];
  for (auto _ : state) {
    pugi::xml_document parsed;
    const pugi::xml_parse_result r = parsed.load_buffer(doc.bytes.data(), doc.bytes.size());
    benchmark::DoNotOptimize(r.status);
  }
  state.SetLabel(doc.name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
}

// The reply check alone (UTF-8 to UTF-16 and the parse) of a reply
// already in the buffer.
void BM_ReplyCheck(benchmark::State& state) {
  const Doc& doc = Docs()[static_cast<size_t>(state.range(0))];
  CBufferT<unsigned char> reply(512);
  reply.Append(reinterpret_cast<const unsigned char*>(doc.bytes.data()), doc.bytes.size());
  for (auto _ : state) {
    CXmlDocument document;
    if (!CheckResponse(document, reply)) {
      state.SkipWithError("the reply did not parse");
      break;
    }
  }
  state.SetLabel(doc.name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.bytes.size()));
}

void Documents(benchmark::internal::Benchmark* b) {
  for (size_t i = 0; i < Docs().size(); ++i) b->Arg(static_cast<int64_t>(i));
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_AgentReply)->Apply(Documents);
BENCHMARK(BM_PlainPugixml)->Apply(Documents);
BENCHMARK(BM_PugixmlParse)->Apply(Documents);
BENCHMARK(BM_ReplyCheck)->Apply(Documents);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ReplyServer server;
  g_server = &server;
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", server.port());
  {
    CXmlDocument request;
    BuildRequestXml(request, u"contact_list", u"GET");
    g_request = request.GetDocument();
  }
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (size_t i = 0; i < Docs().size(); ++i) {
    const std::string arg = "/" + std::to_string(i);
    const std::string name = Docs()[i].name;
    const bool text = name.compare(0, 4, "text") == 0;
    // The whole path against the same path with a plain client and pugixml.
    bench_ratio::PrintSpeedRatio(reporter, "agent_" + name, "BM_AgentReply" + arg,
                                 "BM_PlainPugixml" + arg, ">=", text ? 0.7 : 1.0);
    // The whole path against pugixml's parse alone of bytes in memory, and
    // our reply check alone against it.
    bench_ratio::PrintSpeedRatio(reporter, "agent_" + name + "_vs_parse_only",
                                 "BM_AgentReply" + arg, "BM_PugixmlParse" + arg, "", 0);
    bench_ratio::PrintSpeedRatio(reporter, "check_" + name + "_vs_parse_only",
                                 "BM_ReplyCheck" + arg, "BM_PugixmlParse" + arg, "", 0);
  }
  CSocketThreadMgr::Release();
  benchmark::Shutdown();
  return 0;
}
