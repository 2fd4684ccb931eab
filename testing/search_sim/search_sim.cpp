#include "search_sim.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "testing/serve_after_bind.h"

namespace searchsim {
namespace {

// Hardware IDs name the same device whatever the case of their letters (the
// client writes its hexadecimal digits in lower case).
bool SameHardwareId(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Strict reading of a request: every read past the end marks it short.
class In {
 public:
  explicit In(const Bytes& b) : b_(b) {}
  uint64_t Int(int width) {
    if (p_ + size_t(width) > b_.size()) {
      short_ = true;
      p_ = b_.size();
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v |= uint64_t(b_[p_ + size_t(i)]) << (8 * i);
    p_ += size_t(width);
    return v;
  }
  uint8_t U8() { return uint8_t(Int(1)); }
  uint16_t U16() { return uint16_t(Int(2)); }
  uint32_t U32() { return uint32_t(Int(4)); }
  std::string Str() {
    size_t n = U16();
    return short_ ? std::string() : Raw(n);
  }
  std::string Raw(size_t n) {
    if (p_ + n > b_.size()) {
      short_ = true;
      p_ = b_.size();
      return std::string();
    }
    std::string s(b_.begin() + long(p_), b_.begin() + long(p_ + n));
    p_ += n;
    return s;
  }
  bool Short() const { return short_; }
  bool Trailing() const { return !short_ && p_ != b_.size(); }

 private:
  const Bytes& b_;
  size_t p_ = 2;  // after command and sub-command
  bool short_ = false;
};

class Out {
 public:
  Out(uint8_t command, uint8_t sub) { bytes = {command, sub}; }
  Out& Int(uint64_t v, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    return *this;
  }
  Out& U8(uint64_t v) { return Int(v, 1); }
  Out& U16(uint64_t v) { return Int(v, 2); }
  Out& U32(uint64_t v) { return Int(v, 4); }
  Out& U64(uint64_t v) { return Int(v, 8); }
  Out& Raw(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
    return *this;
  }
  Out& Str(const std::string& s) {
    U16(s.size());
    return Raw(s.data(), s.size());
  }
  Out& Soft(const FixtureSoftware& s) {
    for (uint32_t v : s.values) U32(v);
    Raw(s.key, 16);
    U64(s.value64).U8(s.byte1).U8(s.byte2);
    for (const std::string& t : s.texts) Str(t);
    return *this;
  }
  Out& Driver(const FixtureDriver& d, const std::string& setupPrefix = "") {
    U32(d.driverId).Raw(d.digest, 16).U64(d.fileSize).U64(d.fileVersion).U32(d.publishDate);
    U8(d.level).U8(d.isSign).U8(d.packageType).U8(d.installType).U8(d.driverType);
    for (int i = 0; i < 7; ++i) Str(i == 0 ? setupPrefix + d.texts[i] : d.texts[i]);
    U8(d.software.size());
    for (const FixtureSoftware& s : d.software) Soft(s);
    return *this;
  }
  Bytes bytes;
};

std::string Hex(const std::string& raw) { return HexOf(reinterpret_cast<const uint8_t*>(raw.data())); }

bool KnownId(const Fixture& f, int32_t id) {
  return std::any_of(f.devices.begin(), f.devices.end(), [id](const FixtureDevice& d) { return d.deviceId == id; });
}

std::vector<int32_t> ReadIds(In& in, size_t n) {
  std::vector<int32_t> ids;
  for (size_t i = 0; i < n && !in.Short(); ++i) ids.push_back(int32_t(in.U32()));
  return ids;
}

bool AnyKnown(const Fixture& f, const std::vector<int32_t>& ids) {
  return std::any_of(ids.begin(), ids.end(), [&f](int32_t id) { return KnownId(f, id); });
}

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

SearchServiceSim::SearchServiceSim() = default;

SearchServiceSim::~SearchServiceSim() { Stop(); }

std::string SearchServiceSim::SearchUrl() const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + "/drvsearch.ashx";
}

std::string SearchServiceSim::FileUrl(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + "/files/" + name;
}

std::string SearchServiceSim::RedirectUrl(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + "/redirect/" + name;
}

void SearchServiceSim::ExportEnvironment(int probeWaitMs) const {
  setenv("PHONEDECK_DS_DISPATCH_HOST", "127.0.0.1", 1);
  std::string port = std::to_string(DispatchPort());
  setenv("PHONEDECK_DS_DISPATCH_PORTS", (port + "," + port).c_str(), 1);
  setenv("PHONEDECK_DS_SEARCH_URL", SearchUrl().c_str(), 1);
  setenv("PHONEDECK_DS_PROBE_WAIT_MS", std::to_string(probeWaitMs).c_str(), 1);
}

bool SearchServiceSim::Start() {
  if (!StartHttp()) return false;
  fixture_ = MakeFixture(httpPort_);
  std::vector<relaylink::DispatchEntry> entries;
  for (uint8_t service : {6, 21, 22, 28, 30}) {
    auto peer = std::make_unique<udpsim::UdpPeerSim>();
    bool ok = peer->Start([this, service](const std::vector<uint8_t>& payload) {
      {
        std::lock_guard<std::mutex> hold(mutex_);
        requests_.push_back({"udp", service, payload});
      }
      Bytes reply;
      if (!Answer(service, payload, &reply)) return Bytes();
      if (dropUdp_ > 0) {
        --dropUdp_;
        return Bytes();  // a lost reply
      }
      return reply;
    });
    if (!ok) return false;
    udpsim::ReplyShape shape;
    shape.silentOnEmpty = true;
    peer->SetShape(shape);
    entries.push_back({service, peer->Port(), peer->Port(), peer->Port(), "127.0.0.1"});
    peers_[service] = std::move(peer);
  }
  return dispatch_.Start(entries);
}

bool SearchServiceSim::StartHttp() {
  http_ = std::make_unique<httplib::Server>();
  http_->Post("/drvsearch.ashx", [this](const httplib::Request& req, httplib::Response& res) {
    HttpHeaders h;
    h.contentLength = req.get_header_value("Content-Length");
    h.serverId = req.get_header_value("ServerID");
    h.unionId = req.get_header_value("UnionID");
    h.hostmark = req.get_header_value("HOSTMARK");
    h.clientVersion = req.get_header_value("ClientVersion");
    {
      std::lock_guard<std::mutex> hold(mutex_);
      lastHeaders_ = h;
    }
    const std::string& body = req.body;
    bool hexOk = h.hostmark.size() == 32 && std::all_of(h.hostmark.begin(), h.hostmark.end(), [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                 });
    if (h.contentLength != std::to_string(body.size()) || !IsDigits(h.serverId) || !IsDigits(h.unionId) || !hexOk ||
        !IsDigits(h.clientVersion)) {
      Error("http: bad headers");
      res.status = 400;
      return;
    }
    if (body.size() < 11 || body[0] != 0 || body[5] != 1 || body.substr(6, 5) != std::string(5, '\0') ||
        uint8_t(body[3]) != 0 || uint8_t(body[4]) != 0 || (uint8_t(body[2]) & 0x80) != 0) {
      Error("http: bad package header");
      res.status = 400;
      return;
    }
    long service = std::strtol(h.serverId.c_str(), nullptr, 10);
    Bytes packet(body.begin() + 11, body.end());
    {
      std::lock_guard<std::mutex> hold(mutex_);
      requests_.push_back({"http", uint8_t(service), packet});
    }
    Bytes reply;
    if (service > 255 || !Answer(uint8_t(service), packet, &reply) || reply.empty()) {
      res.status = 400;
      return;
    }
    std::string out = std::string("\0\x12\x34\0\0\x01\0\0\0\0\0", 11);
    out.append(reinterpret_cast<const char*>(reply.data()), reply.size());
    res.set_content(out, "application/octet-stream");
  });
  auto serveFile = [this](const httplib::Request& req, httplib::Response& res) {
    ++fileRequests_;
    std::string name = req.matches[1];
    auto it = fixture_.files.find(name);
    if (it == fixture_.files.end()) {
      res.status = 404;
      return;
    }
    res.set_header("Content-Disposition",
                   "attachment; filename=\"" + name + "\"; size=" + std::to_string(it->second.size()));
    res.set_content(it->second, "application/octet-stream");
  };
  http_->Get(R"(/files/([A-Za-z0-9_.-]+))", serveFile);
  http_->Get(R"(/redirect/([A-Za-z0-9_.-]+))", [this](const httplib::Request& req, httplib::Response& res) {
    ++fileRequests_;
    res.set_redirect("/files/" + std::string(req.matches[1]) + "?from=redirect");
  });
  int port = http_->bind_to_any_port("127.0.0.1");
  if (port <= 0) return false;
  httpPort_ = uint16_t(port);
  return testing_support::ServeAfterBind(*http_, &httpThread_);
}

void SearchServiceSim::Stop() {
  dispatch_.Stop();
  for (auto& peer : peers_) peer.second->Stop();
  peers_.clear();
  if (http_) http_->stop();
  if (httpThread_.joinable()) httpThread_.join();
  http_.reset();
}

std::vector<Received> SearchServiceSim::Requests() {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

std::vector<std::string> SearchServiceSim::Errors() {
  std::lock_guard<std::mutex> hold(mutex_);
  return errors_;
}

HttpHeaders SearchServiceSim::LastHttpHeaders() {
  std::lock_guard<std::mutex> hold(mutex_);
  return lastHeaders_;
}

void SearchServiceSim::Clear() {
  std::lock_guard<std::mutex> hold(mutex_);
  requests_.clear();
  errors_.clear();
}

void SearchServiceSim::SetRawReply(uint8_t command, Bytes reply) {
  std::lock_guard<std::mutex> hold(mutex_);
  rawReplies_[command] = std::move(reply);
}

void SearchServiceSim::SetDispatchEmpty(bool empty) {
  dispatch_.SetRawReply(empty ? relaylink::EncodeServerList({}) : Bytes());
}

void SearchServiceSim::Error(const std::string& text) {
  std::lock_guard<std::mutex> hold(mutex_);
  errors_.push_back(text);
}

bool SearchServiceSim::Answer(uint8_t service, const Bytes& packet, Bytes* reply) {
  if (packet.size() < 2) {
    Error("short packet on service " + std::to_string(service));
    return false;
  }
  const Fixture& f = fixture_;
  uint8_t command = packet[0], sub = packet[1];
  In in(packet);
  Bytes answer;
  bool known = true;
  auto onService = [&](uint8_t wanted) { return service == wanted; };

  if (onService(21) && command == 0x16 && (sub == 0 || sub == 0xF0)) {
    uint8_t n = in.U8();
    std::vector<int32_t> ids;
    std::string desc, cls;
    for (uint8_t i = 0; i < n && !in.Short(); ++i) {
      std::string id = in.Str();
      int32_t found = 0;
      for (const FixtureDevice& d : f.devices) {
        if (SameHardwareId(d.hardwareId, id)) {
          found = d.deviceId;
          desc = d.description;
          cls = d.className;
        }
      }
      ids.push_back(found);
    }
    Out out(0x17, sub);
    out.U8(ids.size());
    for (int32_t id : ids) out.U32(uint32_t(id));
    if (!ids.empty()) out.Str(desc).Str(cls);
    answer = out.bytes;
  } else if (onService(21) && command == 0x02 && sub == 0x02) {
    std::string brand = in.Str(), product = in.Str(), version = in.Str();
    in.U8();
    bool hit = brand == f.brandText && product == f.productText;
    answer = Out(0x03, 0x02)
                 .U32(hit ? uint32_t(f.brandId) : 0)
                 .U32(hit ? uint32_t(f.productId) : 0)
                 .Str(hit ? f.brandName : "")
                 .Str(hit ? f.productName : "")
                 .bytes;
  } else if ((onService(30) || onService(28)) && command == 0x22 && sub == 0) {
    std::string vendor = in.Str(), product = in.Str();
    uint8_t count = in.U8();
    if (count != 3) {
      Error("0x22: text count " + std::to_string(count));
      return false;
    }
    for (int i = 0; i < 3; ++i) in.Str();
    bool hit = vendor == f.phoneVendor && product == f.phoneProduct;
    answer = Out(0x23, 0).Str(hit ? f.phoneXml : f.unknownPhoneXml).bytes;
  } else if (onService(21) && command == 0x24 && sub == 0) {
    int32_t brand = int32_t(in.U32()), product = int32_t(in.U32());
    in.U32();
    in.U8();
    in.U32();
    in.U16();
    in.U8();
    in.U8();
    Out out(0x25, 0);
    bool hit = brand == f.brandId && product == f.productId;
    out.U8(hit ? 1 : 0);
    if (hit) out.U8(1).Driver(f.recommended);
    answer = out.bytes;
  } else if (onService(21) && command == 0x18 && sub == 0) {
    in.Raw(4 + 4 + 4 + 1 + 4 + 2 + 1);
    std::vector<int32_t> ids = ReadIds(in, in.U8());
    uint8_t pairs = in.U8();
    for (uint8_t i = 0; i < pairs && !in.Short(); ++i) {
      in.Str();
      in.Str();
    }
    in.U8();
    in.U8();
    if (std::count(ids.begin(), ids.end(), 0) != 0) {
      Error("0x18: a zero device ID was sent");
      return false;
    }
    Out out(0x19, 0);
    bool hit = AnyKnown(f, ids);
    out.U8(hit ? 1 : 0).U8(hit ? 1 : 0);
    if (hit) out.U8(1).Driver(f.recommended).Driver(f.newest);
    answer = out.bytes;
  } else if (onService(21) && command == 0x20 && sub == 0) {
    in.Raw(4 + 4 + 4 + 2 + 1 + 1 + 1 + 4);
    std::vector<int32_t> first = ReadIds(in, in.U8());
    in.U8();
    in.U32();
    std::vector<int32_t> second = ReadIds(in, in.U8());
    in.U8();
    Out out(0x21, 0);
    bool hit = AnyKnown(f, first) && AnyKnown(f, second);
    out.U8(hit ? 1 : 0).U8(0);
    if (hit) out.U8(2).Driver(f.recommended);
    answer = out.bytes;
  } else if (onService(21) && command == 0x0A && sub == 1) {
    uint32_t id = in.U32();
    in.U32();
    std::string text = id == f.recommended.driverId ? f.recommended.description : std::string();
    answer = Out(0x0B, 1).Str(text).bytes;
  } else if (onService(21) && command == 0x26 && (sub == 0 || sub == 0xF0)) {
    in.Raw(4 + 4 + 4 + 2 + 1);
    uint8_t devices = in.U8();
    std::vector<int32_t> matched;
    for (uint8_t d = 0; d < devices && !in.Short(); ++d) {
      for (int32_t id : ReadIds(in, in.U8())) {
        if (KnownId(f, id)) matched.push_back(id);
      }
    }
    in.U8();
    Out out(0x27, sub);
    out.U8(matched.empty() ? 0 : 1);
    if (!matched.empty()) out.Driver(f.recommended, "<" + std::to_string(matched[0]) + ">");
    answer = out.bytes;
  } else if (onService(21) && command == 0x28 && sub == 0) {
    in.U32();
    in.U32();
    std::vector<int32_t> ids = ReadIds(in, in.U8());
    answer = Out(0x29, 0).U8(AnyKnown(f, ids) ? 5 : 0).bytes;
  } else if (onService(22) && command == 0x20 && sub == 0) {
    uint8_t one = in.U8();
    std::string key = in.Raw(16);
    if (one != 1) {
      Error("0x20 print cache: the byte after the sub-command is not 1");
      return false;
    }
    bool hit = !in.Short() && std::memcmp(key.data(), f.printKey, 16) == 0;
    answer = Out(0x21, 0).U8(hit ? 1 : 0).Str(hit ? f.printText : "").bytes;
  } else if (onService(6) && command == 0x54 && sub == 0) {
    std::string digest = in.Raw(16);
    Out out(0x55, 0);
    auto it = in.Short() ? f.resources.end() : f.resources.find(Hex(digest));
    out.U16(it == f.resources.end() ? 0 : 1);
    if (it != f.resources.end()) out.Str(it->second).Str("");
    answer = out.bytes;
  } else if (onService(21) && command == 0x0C && sub == 1) {
    in.U32();
    std::vector<int32_t> ids = ReadIds(in, in.U8());
    answer = Out(0x0D, 1).U8(AnyKnown(f, ids) ? 1 : 0).bytes;
  } else if (onService(21) && command == 0x14 && sub == 1) {
    in.U32();
    in.U32();
    in.U32();
    uint8_t result = in.U8();
    answer = Out(0x15, 1).U8(result == 1 ? 1 : 2).bytes;
  } else if (onService(21) && command == 0x08 && sub == 1) {
    int32_t brand = int32_t(in.U32()), product = int32_t(in.U32());
    in.U32();
    in.U16();
    Out out(0x09, 1);
    bool hit = brand == f.brandId && product == f.productId;
    out.U8(hit ? f.brandSoftware.size() : 0);
    if (hit) {
      for (const FixtureSoftware& s : f.brandSoftware) out.Soft(s);
    }
    answer = out.bytes;
  } else if (onService(22) && command == 0x39 && sub == 0) {
    in.U8();
    in.U16();
    Out out(0x40, 0);
    out.U8(1).Raw(f.pluginIdentity, 16);
    for (const std::string& t : f.pluginTexts) out.Str(t);
    answer = out.bytes;
  } else if (onService(22) && command == 0x37 && sub == 0) {
    in.Raw(4 + 4 + 2 + 4);
    in.Raw(in.U8());
    answer = Out(0x38, 0).Str(f.cloudSwitch).bytes;
  } else if (onService(22) && command == 0x33 && sub == 0) {
    in.Raw(4 + 4 + 2 + 4);
    answer = Out(0x34, 0).U8(f.calendarStart).bytes;
  } else if (onService(22) && command == 0x41 && sub == 0) {
    std::string head = in.Raw(37 - 2);
    if (!in.Short() && in.Trailing()) {
      std::string text = in.Str();
      (void)text;
    }
    if (!in.Short() &&
        (head.substr(0, 2) != std::string(2, '\0') || head.substr(22, 10) != std::string(10, '\0') || head[34] != 0)) {
      Error("0x41: nonzero reserved bytes");
      return false;
    }
    answer.clear();  // a report gets no reply
  } else {
    known = false;
  }
  if (!known) {
    Error("unknown command " + std::to_string(command) + "/" + std::to_string(sub) + " on service " +
          std::to_string(service));
    return false;
  }
  if (in.Short()) {
    Error("short packet: command " + std::to_string(command));
    return false;
  }
  if (in.Trailing()) {
    Error("trailing bytes: command " + std::to_string(command));
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(mutex_);
    auto raw = rawReplies_.find(command);
    if (raw != rawReplies_.end()) {
      answer = raw->second;
      rawReplies_.erase(raw);
    }
  }
  *reply = answer;
  return true;
}

}  // namespace searchsim
