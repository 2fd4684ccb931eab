#include "market_site.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "testing/serve_after_bind.h"

namespace market_site {

namespace {

constexpr char kGame[] = "/appmarket/game/";

struct HomePage {
  const char* path;
  const char* title;
  const char* source;
};
constexpr HomePage kHomePages[] = {
    {"/appmarket/game/Home.html", "热门游戏", "home"},
    {"/appmarket/game/Choice.html", "精选合集", "choice"},
    {"/appmarket/game/Classify.html", "游戏分类", "class"},
    {"/appmarket/game/Ranking.html", "游戏排行", "ranking"},
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Percent-decoding with "+" as a blank; false on a broken escape.
bool Decode(const std::string& in, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '+') {
      *out += ' ';
    } else if (in[i] == '%') {
      if (i + 2 >= in.size()) return false;
      int hi = HexValue(in[i + 1]), lo = HexValue(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      *out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      *out += in[i];
    }
  }
  return true;
}

// The query of a request target as the market writes it: "&"-separated
// parts, each a name up to the first "=" and the (decoded) rest as value,
// in order. False for a broken escape or a part without "=".
using Query = std::vector<std::pair<std::string, std::string>>;
bool ParseQuery(const std::string& target, Query* query) {
  query->clear();
  size_t q = target.find('?');
  if (q == std::string::npos) return true;
  std::string rest = target.substr(q + 1);
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('&', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    size_t eq = part.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::string value;
    if (!Decode(part.substr(eq + 1), &value)) return false;
    query->emplace_back(part.substr(0, eq), value);
    start = end + 1;
  }
  return true;
}

// The names of a query, in order.
std::vector<std::string> Names(const Query& query) {
  std::vector<std::string> names;
  for (const auto& p : query) names.push_back(p.first);
  return names;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::vector<App> DefaultCatalogue() {
  const std::string dir = MARKET_SITE_FILES;
  auto app = [&](int id, const char* name, const char* package) {
    return App{id, name, package, dir + "/" + package + ".apk", dir + "/icon_" + std::to_string(id) + ".png"};
  };
  return {app(1001, "坦克大战", "com.zelvik.tankwar"), app(1002, "坦克世界", "com.zelvik.tankworld"),
          app(1003, "开心消消乐", "com.zelvik.happymatch"), app(1004, "飞车竞速", "com.zelvik.racer")};
}

MarketSite::MarketSite(std::vector<App> apps) : apps_(std::move(apps)), server_(std::make_unique<httplib::Server>()) {}

MarketSite::~MarketSite() { Stop(); }

std::string MarketSite::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

int MarketSite::Start() {
  Route();
  // Each request on its own connection, and a connection the browser opened
  // ahead of a request it never sent is dropped after a second: Stop waits
  // for no idle connection longer than that.
  server_->set_keep_alive_max_count(1);
  server_->set_keep_alive_timeout(1);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return -1;
  if (!testing_support::ServeAfterBind(*server_, &thread_)) return -1;
  return port_;
}

void MarketSite::Stop() {
  ReleaseCompletion();
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

void MarketSite::AddAnswer(ExtraAnswer answer) { extras_.push_back(std::move(answer)); }

void MarketSite::SetCompletionBody(std::string body) {
  std::lock_guard<std::mutex> hold(lock_);
  completion_body_ = std::move(body);
}

void MarketSite::HoldCompletion(std::string keyword) {
  std::lock_guard<std::mutex> hold(lock_);
  held_keyword_ = std::move(keyword);
  held_ = true;
}

void MarketSite::ReleaseCompletion() {
  std::lock_guard<std::mutex> hold(lock_);
  held_ = false;
  changed_.notify_all();
}

std::vector<std::string> MarketSite::Requests() {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

std::vector<std::string> MarketSite::CompletionKeywords() {
  std::lock_guard<std::mutex> hold(lock_);
  return keywords_;
}

bool MarketSite::WaitForCompletions(size_t n, int timeout_ms) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&] { return keywords_.size() >= n; });
}

std::string MarketSite::PageHtml(const std::string& title, const std::vector<const App*>& apps,
                                 const std::string& source) const {
  // Fixed places: row i starts 56 + 72 i pixels down the page; its download
  // button spans x 340..428 and the row's middle 32 pixels.
  std::string html =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + Escape(title) +
      "</title><style>"
      "body{margin:0;font-family:'Noto Sans CJK SC','WenQuanYi Micro Hei',sans-serif;background:#F5F7FA;color:#222}"
      "h1{position:absolute;left:16px;top:0;margin:0;height:56px;line-height:56px;font-size:16px}"
      ".app{position:absolute;left:0;right:0;height:72px;background:#FFF;border-bottom:1px solid #E4E8EE}"
      ".app img{position:absolute;left:16px;top:12px;width:48px;height:48px;border-radius:8px}"
      ".app .name{position:absolute;left:80px;top:0;line-height:72px;font-size:14px}"
      ".app .down{position:absolute;left:340px;top:20px;width:88px;height:32px;line-height:32px;text-align:center;"
      "background:#1F6FD1;color:#FFF;border-radius:4px;text-decoration:none;font-size:12px}"
      ".empty{position:absolute;left:16px;top:56px;color:#666}"
      "</style></head><body><h1>" +
      Escape(title) + "</h1>";
  if (apps.empty()) html += "<div class=\"empty\">没有找到相关的游戏</div>";
  for (size_t i = 0; i < apps.size(); ++i) {
    const App& a = *apps[i];
    const std::string id = std::to_string(a.id);
    const std::string icon = Base() + kGame + "icon/" + id + ".png";
    const std::string link = Base() + kGame + "apk/" + a.package + ".apk?vorn=down&mavoid=" + id + "&vorn=from=" + source;
    html += "<div class=\"app\" style=\"top:" + std::to_string(56 + 72 * i) + "px\">";
    html += "<img src=\"" + icon + "\"><span class=\"name\">" + Escape(a.name) + "</span>";
    html += "<a class=\"down\" id=\"down_" + id + "\" href=\"" + Escape(link) + "\" target=\"_blank\">下载</a>";
    html += "<div id=\"info_" + id + "\" name=\"" + Escape(a.name) + "\" ico=\"" + Escape(icon) + "\" package=\"" +
            Escape(a.package) + "\"></div></div>";
  }
  return html + "</body></html>";
}

void MarketSite::Route() {
  httplib::Server& s = *server_;
  s.set_logger([this](const httplib::Request& req, const httplib::Response&) {
    std::lock_guard<std::mutex> hold(lock_);
    std::string target = req.target;
    requests_.push_back(target);
  });
  for (const HomePage& page : kHomePages) {
    s.Get(page.path, [this, page](const httplib::Request& req, httplib::Response& res) {
      if (req.target.find('?') != std::string::npos) { res.status = 400; return; }
      std::vector<const App*> all;
      for (const App& a : apps_) all.push_back(&a);
      res.set_content(PageHtml(page.title, all, page.source), "text/html; charset=utf-8");
    });
  }
  s.Get("/appmarket/game/search.html", [this](const httplib::Request& req, httplib::Response& res) {
    // "q=<text>" alone, or followed by "type=game".
    Query query;
    const bool ok = ParseQuery(req.target, &query) && !query.empty() && query[0].first == "q" &&
                    (query.size() == 1 || (query.size() == 2 && query[1].first == "type" && query[1].second == "game"));
    if (!ok) {
      res.status = 400;
      return;
    }
    const std::string q = query[0].second;
    std::vector<const App*> found;
    for (const App& a : apps_)
      if (!q.empty() && a.name.find(q) != std::string::npos) found.push_back(&a);
    res.set_content(PageHtml("“" + q + "”的搜索结果", found, "search"), "text/html; charset=utf-8");
  });
  s.Get(R"(/appmarket/game/apk/([A-Za-z0-9_.]+)\.apk)", [this](const httplib::Request& req, httplib::Response& res) {
    const App* app = nullptr;
    for (const App& a : apps_)
      if (a.package == req.matches[1].str()) app = &a;
    if (!app) { res.status = 404; return; }
    // The market's link: vorn=down&mavoid=<the app's id>&vorn=from=<source>.
    Query query;
    const bool ok = ParseQuery(req.target, &query) &&
                    Names(query) == std::vector<std::string>{"vorn", "mavoid", "vorn"} && query[0].second == "down" &&
                    query[1].second == std::to_string(app->id) && query[2].second.rfind("from=", 0) == 0 &&
                    query[2].second.size() > 5;
    if (!ok) {
      res.status = 400;
      return;
    }
    std::string body = ReadFile(app->apk_file);
    if (body.empty()) { res.status = 500; return; }
    res.set_content(body, "application/vnd.android.package-archive");
  });
  s.Get(R"(/appmarket/game/icon/(\d+)\.png)", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.target.find('?') != std::string::npos) { res.status = 400; return; }
    for (const App& a : apps_) {
      if (std::to_string(a.id) != req.matches[1].str()) continue;
      std::string body = ReadFile(a.icon_file);
      if (body.empty()) { res.status = 500; return; }
      res.set_content(body, "image/png");
      return;
    }
    res.status = 404;
  });
  for (const ExtraAnswer& extra : extras_) {
    s.Get(extra.path, [extra](const httplib::Request& req, httplib::Response& res) {
      if (req.target.find('?') != std::string::npos) { res.status = 400; return; }
      if (extra.delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(extra.delay_ms));
      if (!extra.disposition.empty()) res.set_header("Content-Disposition", extra.disposition);
      res.set_content(extra.body, extra.content_type);
    });
  }
  s.Get("/handler/InteractionHandler.ashx", [this](const httplib::Request& req, httplib::Response& res) {
    // "action=AppNameComplete&name=<keyword>", exactly.
    Query query;
    if (!ParseQuery(req.target, &query) || Names(query) != std::vector<std::string>{"action", "name"} ||
        query[0].second != "AppNameComplete") {
      res.status = 400;
      return;
    }
    const std::string keyword = query[1].second;
    std::string body;
    {
      std::unique_lock<std::mutex> hold(lock_);
      keywords_.push_back(keyword);
      changed_.notify_all();
      if (held_ && keyword == held_keyword_)
        changed_.wait_for(hold, std::chrono::seconds(10), [this] { return !held_; });
      body = completion_body_;
    }
    if (body.empty()) {
      body = "[";
      bool first = true;
      for (const App& a : apps_) {
        if (keyword.empty() || a.name.find(keyword) == std::string::npos) continue;
        body += (first ? "" : ",") + JsonString(a.name);
        first = false;
      }
      body += "]";
    }
    res.set_content(body, "application/json; charset=utf-8");
  });
}

}  // namespace market_site
