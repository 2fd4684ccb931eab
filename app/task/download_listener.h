// DownloadListener: what receives the market page's download requests (the
// task manager implements it): a download-and-install task for the app at
// `url`, named `app_name`, with its icon at `icon_url` (may be empty) and its
// package name. True when a task was added.
//
// Threading: called on the UI thread.
#pragma once

#include <string>

class DownloadListener {
 public:
  virtual ~DownloadListener() = default;
  virtual bool OnDownloadRequest(const std::u16string& url, const std::u16string& app_name,
                                 const std::u16string& icon_url, const std::u16string& package_name) = 0;
};
