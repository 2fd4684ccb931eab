// A download listener that records the market page's requests (tests).
#pragma once

#include <string>
#include <vector>

#include "app/task/download_listener.h"

namespace market_test {

struct DownloadCall {
  std::u16string url, name, icon, package;
};

class RecordingDownloads : public DownloadListener {
 public:
  bool OnDownloadRequest(const std::u16string& url, const std::u16string& name, const std::u16string& icon,
                         const std::u16string& package) override {
    calls.push_back({url, name, icon, package});
    return true;
  }
  std::vector<DownloadCall> calls;
};

}  // namespace market_test
