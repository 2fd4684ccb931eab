#include "app/web/app_suggestion.h"

#include <cstdlib>
#include <memory>

#include "app/web/easy_curl_get.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/base/url_encode.h"

std::string CompletionHost() {
  const char* host = std::getenv(kCompletionHostEnv);
  std::string text = (host != nullptr && host[0] != '\0') ? host : kDefaultCompletionHost;
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

std::string AppNameCompleteUrl(const std::u16string& keyword) {
  // The system's ANSI code page is UTF-8: one conversion gives the UTF-8 bytes.
  return CompletionHost() + "/handler/InteractionHandler.ashx?action=AppNameComplete&name=" +
         UrlEncode(WStringToAnsi(keyword));
}

bool QueryAppNames(const std::u16string& keyword, std::vector<std::u16string>* names) {
  names->clear();
  EasyCurlGet get;
  const std::string url = AppNameCompleteUrl(keyword);
  if (!get.Perform(url.c_str()) || get.GetLength() == 0) return false;
  if (!ParseAppNames(get.GetData(), get.GetLength(), names)) {
    PD_LOG_WARNING("AppNameComplete: the reply is not an array of names");
    return false;
  }
  return true;
}

CAppSearchThread::CAppSearchThread(Callback on_done) : base::WinThread(u""), on_done_(std::move(on_done)) {
  query_ = [](const std::u16string& keyword, std::vector<std::u16string>* names) {
    return QueryAppNames(keyword, names);
  };
}

CAppSearchThread::~CAppSearchThread() { Stop(); }

void CAppSearchThread::Search(const std::u16string& keyword) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    keyword_ = keyword;
    if (running_) return;  // the running worker picks it up
    running_ = true;
  }
  if (!Start()) {
    std::lock_guard<std::mutex> hold(lock_);
    running_ = false;
  }
}

void CAppSearchThread::Run() {
  PD_LOG_TRACE("AppSearchThread start");
  // A short pause lets a burst of typing settle; a stop ends the worker.
  if (WaitForStop(100)) {
    std::lock_guard<std::mutex> hold(lock_);
    running_ = false;
    return;
  }
  results_.clear();
  for (;;) {
    std::u16string keyword;
    {
      std::lock_guard<std::mutex> hold(lock_);
      keyword = keyword_;
    }
    query_(keyword, &results_);
    PD_LOG_TRACE("AppSearchThread end keyword=%s result size=%d", WStringToAnsi(keyword).c_str(),
                 static_cast<int>(results_.size()));
    if (WaitForStop(0)) break;  // the owner is going: nobody to tell
    if (on_done_) on_done_(results_);
    // The comparison and the end of the run are one step, so a keyword
    // given after it starts a new run.
    std::lock_guard<std::mutex> hold(lock_);
    if (keyword_ == keyword) {
      running_ = false;
      return;
    }
  }
  std::lock_guard<std::mutex> hold(lock_);
  running_ = false;
}
