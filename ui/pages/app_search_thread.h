// CAppSearchThread: app-name completion for the store search box (stub
// until the web query is built): it never finds suggestions, so the
// completion callback (which posts 1289) is never called.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CAppSearchThread {
 public:
  using Callback = std::function<void()>;
  CAppSearchThread(Callback on_done, std::vector<std::u16string>* results)
      : on_done_(std::move(on_done)), results_(results) {}
  void Search(const std::u16string& text) { last_query_ = text; ++queries_; }
  int Queries() const { return queries_; }
  const std::u16string& LastQuery() const { return last_query_; }

 private:
  Callback on_done_;
  std::vector<std::u16string>* results_;
  std::u16string last_query_;
  int queries_ = 0;
};
