// App-name completion for the store search box: one query to the market's
// completion service (QueryAppNames) and the worker that answers the
// newest keyword typed (CAppSearchThread).
//
// The service host: PHONEDECK_COMPLETION_HOST (scheme, host and port, e.g.
// "http://127.0.0.1:8000"), default kDefaultCompletionHost.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/web/completion_reply.h"
#include "foundation/base/win_thread.h"

constexpr char kCompletionHostEnv[] = "PHONEDECK_COMPLETION_HOST";
constexpr char kDefaultCompletionHost[] = "http://127.0.0.1:8000";

// The completion host now (the environment, else the default).
std::string CompletionHost();
// host + "/handler/InteractionHandler.ashx?action=AppNameComplete&name=" + the
// keyword as UTF-8, URL-encoded (blank as "+", other bytes "%XX").
std::string AppNameCompleteUrl(const std::u16string& keyword);

// Clears `names`, asks the service for completions of `keyword` and fills
// `names`; true when at least one name came. A failed request or a reply
// that is not an array of strings leaves it empty.
bool QueryAppNames(const std::u16string& keyword, std::vector<std::u16string>* names);

// The completion worker. Search() (window thread) records the newest
// keyword and starts the worker when it is idle; the worker answers keywords
// until the newest one has been answered, calling `on_done` after each
// answer with the names for that keyword.
//
// Threading: Search and the destructor on the owner's thread; the callback
// runs on the worker. The worker fills its own list; `on_done` receives a
// copy, so a newer keyword's query never changes a list the window reads.
// The destructor stops and joins the worker before anything it uses goes.
class CAppSearchThread : public base::WinThread {
 public:
  using Callback = std::function<void(std::vector<std::u16string> names)>;

  explicit CAppSearchThread(Callback on_done);
  ~CAppSearchThread() override;

  void Search(const std::u16string& keyword);

  // The query (tests put a double in its place); QueryAppNames by default.
  using Query = std::function<bool(const std::u16string&, std::vector<std::u16string>*)>;
  void SetQuery(Query query) { query_ = std::move(query); }

 protected:
  void Run() override;

 private:
  Callback on_done_;
  Query query_;
  std::vector<std::u16string> results_;  // worker only
  std::mutex lock_;                      // guards keyword_ and running_ (owner and worker)
  std::u16string keyword_;
  bool running_ = false;  // true from Search's start until the worker leaves its loop
};
