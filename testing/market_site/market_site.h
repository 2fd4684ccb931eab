// The app market's web site on loopback, for tests and the demo: the four
// home pages of the market tabs, the search page, the app packages and
// icons, and the app-name completion service (cpp-httplib on 127.0.0.1,
// port chosen by the system).
//
// Paths (anything else is 404; a query it does not expect is 400):
//   /appmarket/game/Home.html, Choice.html, Classify.html, Ranking.html   no query
//   /appmarket/game/search.html?q=<text>[&type=game]
//   /appmarket/game/apk/<package>.apk?vorn=down&mavoid=<id>&vorn=from=<source>
//   /appmarket/game/icon/<id>.png                                          no query
//   /handler/InteractionHandler.ashx?action=AppNameComplete&name=<keyword>
//   extra answers a test adds before Start (hostile pages)                  no query
// Every page lists apps as the market does: a download link opened in a
// new window ("vorn=down", "mavoid=<id>", "vorn=from=<source>") and an
// element "info_<id>" whose attributes "name", "ico" and "package" describe
// the app. The completion service answers a JSON array of the names that
// contain the keyword.
//
// Threading: the server answers on its own threads; the knobs may be set
// from any thread (one lock guards them and the request log).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace market_site {

struct App {
  int id = 0;
  std::string name;     // UTF-8
  std::string package;
  std::string apk_file;   // the package file served
  std::string icon_file;  // the icon served
};

// The built-in catalogue over the packages and icons made at build time.
std::vector<App> DefaultCatalogue();

class MarketSite {
 public:
  explicit MarketSite(std::vector<App> apps = DefaultCatalogue());
  ~MarketSite();
  MarketSite(const MarketSite&) = delete;
  MarketSite& operator=(const MarketSite&) = delete;

  // An answer of the test's own at `path` (a plain path, no query): the
  // body with its content type and, when not empty, a Content-Disposition
  // header, sent after `delay_ms` (a resource that holds its page's load
  // open; keep it short: stopping the site waits for it). Added before Start.
  struct ExtraAnswer {
    std::string path;
    std::string content_type;
    std::string disposition;
    std::string body;
    int delay_ms = 0;
  };
  void AddAnswer(ExtraAnswer answer);

  // Binds 127.0.0.1 on a free port and serves on a thread; the port, or -1.
  int Start();
  void Stop();
  std::string Base() const;  // "http://127.0.0.1:<port>"

  // Completion knobs: a raw body for every completion answer (empty: the
  // normal answer), and a keyword whose answer waits until released.
  void SetCompletionBody(std::string body);
  void HoldCompletion(std::string keyword);
  void ReleaseCompletion();

  // Every request answered, as "<path>?<query>" (raw), and the decoded
  // keywords of the completion requests, in order.
  std::vector<std::string> Requests();
  std::vector<std::string> CompletionKeywords();
  // Waits (bounded) until `n` completion requests have arrived.
  bool WaitForCompletions(size_t n, int timeout_ms);

 private:
  void Route();
  std::string PageHtml(const std::string& title, const std::vector<const App*>& apps, const std::string& source) const;

  std::vector<App> apps_;
  std::vector<ExtraAnswer> extras_;  // set before Start, read-only after
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = -1;
  std::mutex lock_;  // guards everything below
  std::condition_variable changed_;
  std::string completion_body_;
  std::string held_keyword_;
  bool held_ = false;
  std::vector<std::string> requests_;
  std::vector<std::string> keywords_;
};

}  // namespace market_site
