// The market page against hostile pages of the loopback market site, in
// real windows on a private X server with WebKitGTK: whatever a page sends,
// the browser view never downloads by itself. A response it cannot show
// (an attachment, a type it has no viewer for, a link to download) is
// refused and the store page hears of it as a navigation error; nothing is
// written into the user's download folder, nor anywhere in $HOME. One row
// per hostile page; a screenshot of the refused page goes to
// <build>/screenshots/.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/base/tests/case_name.h"
#include "market_site.h"
#include "ui/pages/market_links.h"
#include "ui/tests/frame_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
namespace fs = std::filesystem;

constexpr char kMarker[] = "hostile-bytes-7f3a";  // in every body a download would write

class HostileMarketEnvironment : public ui_xvfb::XvfbWindowsEnvironment {
 public:
  HostileMarketEnvironment() : XvfbWindowsEnvironment("market_hostile_xvfb") {}
  void SetUp() override {
    // WebKit's sandbox and compositing need what a bare Xvfb lacks.
    setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    for (const char* v : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"}) unsetenv(v);
    XvfbWindowsEnvironment::SetUp();
    // The user's download folder, as the desktop names it (the browser
    // engine would save there, or into $HOME without one).
    const std::string home = std::getenv("HOME");
    fs::create_directories(home + "/Downloads");
    std::ofstream(home + "/user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
  }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new HostileMarketEnvironment);

// Every file under `folder` whose name or content carries the marker (or
// the attachment's name).
std::vector<std::string> Written(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    std::ifstream in(it->path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (name.find("xsessionrc") != std::string::npos || name.find("hostile") != std::string::npos ||
        bytes.find(kMarker) != std::string::npos)
      found.push_back(it->path().string());
  }
  return found;
}

// Every file under `folder`.
std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (!it->is_directory(ec)) found.push_back(it->path().string());
  return found;
}

struct HostilePage {
  const char* label;
  const char* path;  // opened in the store page
  bool refused;      // the store page shows its error page
  const char* held = nullptr;  // a resource that holds the page's load open past the refusal
};

const HostilePage kPages[] = {
    {"an attachment named xsessionrc", "/hostile/attach", true},
    {"a page that moves itself to an attachment", "/hostile/move.html", true},
    {"a type the view has no viewer for", "/hostile/binary", true},
    {"a link to download that the page clicks", "/hostile/link.html", true},
    {"a link to download clicked while the page still loads", "/hostile/link_held.html", true, "/hostile/held.png"},
    {"an attachment in an inline frame", "/hostile/frame.html", false},
};

class MarketHostilePage : public ::testing::TestWithParam<HostilePage> {
 protected:
  void SetUp() override {
    if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ui_xvfb::SkipReason();
    const std::string attachment = std::string("attachment; filename=\".xsessionrc\"");
    site_.AddAnswer({"/hostile/attach", "text/plain", attachment, std::string("xset b off # ") + kMarker});
    site_.AddAnswer({"/hostile/move.html", "text/html", "",
                     "<html><body>moving<script>location.href='/hostile/attach';</script></body></html>"});
    site_.AddAnswer({"/hostile/binary", "application/x-zelvik-unknown", "", std::string("\x01\x02") + kMarker});
    site_.AddAnswer({"/hostile/plain.txt", "text/plain", "", kMarker});
    site_.AddAnswer({"/hostile/link.html", "text/html", "",
                     "<html><body><a id='a' href='/hostile/plain.txt' download='hostile.txt'>x</a>"
                     "<script>document.getElementById('a').click();</script></body></html>"});
    site_.AddAnswer({"/hostile/link_held.html", "text/html", "",
                     "<html><body><a id='a' href='/hostile/plain.txt' download='hostile.txt'>x</a>"
                     "<script>document.getElementById('a').click();</script>"
                     "<img src='/hostile/held.png'></body></html>"});
    site_.AddAnswer({"/hostile/held.png", "image/png", "", "", 700});
    site_.AddAnswer({"/hostile/frame.html", "text/html", "",
                     "<html><body>framed<iframe src='/hostile/attach'></iframe></body></html>"});
    site_.AddAnswer({"/hostile/after.html", "text/html", "", "<html><body>after</body></html>"});
    ASSERT_GT(site_.Start(), 0);
    setenv(market::kMarketHostEnv, site_.Base().c_str(), 1);
    SetFrameBackend(&backend_);
    frame_ = ui_xvfb::ShowMainWindow();
    ASSERT_NE(frame_, nullptr);
  }
  void TearDown() override {
    if (frame_) {
      if (IsWindow(frame_->GetHWND())) DestroyWindow(frame_->GetHWND());
      ui_xvfb::PumpFor(100);
      delete frame_;
    }
    SetFrameBackend(nullptr);
    unsetenv(market::kMarketHostEnv);
    site_.Stop();
  }
  CWebBrowserDlg& Store() { return frame_->Browser(0); }
  // Opens `path` of the site in the store page; true once it loaded
  // (`refused` false) or its error page shows (`refused` true).
  bool Open(const std::string& path, bool refused) {
    const std::u16string url = CDuiString::FromUtf8(site_.Base() + path).str();
    Store().Browser()->Navigate2(url.c_str());
    return ui_xvfb::PumpUntil(
        [&] { return refused ? Store().GetReload() == 1 : Store().GetReload() == 0 && Store().CurrentUrl() == url; },
        60000);
  }

  market_site::MarketSite site_;
  ui_test::FakeBackend backend_;
  CMainFrame* frame_ = nullptr;
};

TEST_P(MarketHostilePage, NothingIsDownloadedAndTheStorePageHearsOfIt) {
  const HostilePage& page = GetParam();
  ASSERT_TRUE(ui_xvfb::PumpUntil([&] { return Store().GetReload() == 0; }, 60000)) << "the store home never loaded";
  ASSERT_TRUE(Open(page.path, page.refused)) << page.path;
  if (page.held) {
    // The refusal came while the page still loaded: the end of its load
    // leaves the error page up.
    auto served = [&] {
      const std::vector<std::string> requests = site_.Requests();
      return std::find(requests.begin(), requests.end(), page.held) != requests.end();
    };
    ASSERT_TRUE(ui_xvfb::PumpUntil(served, 10000)) << page.held;
    EXPECT_FALSE(ui_xvfb::PumpUntil([&] { return Store().GetReload() == 0; }, 2000)) << "the page showed as loaded";
  }
  if (page.refused) {
    ui_xvfb::PumpFor(200);
    ui_xvfb::Shot(frame_->GetHWND(), "market_refused_" + testing_support::IdentifierOf(page.label) + ".png");
  }
  // A page loaded after it: any download the hostile page started has
  // started by now.
  ASSERT_TRUE(Open("/hostile/after.html", false));
  const std::string home = std::getenv("HOME");
  EXPECT_EQ(Written(home), std::vector<std::string>{});
  EXPECT_EQ(Files(home + "/Downloads"), std::vector<std::string>{});  // the program's own folders only
}

INSTANTIATE_TEST_SUITE_P(Market, MarketHostilePage, ::testing::ValuesIn(kPages),
                         testing_support::NamedBy(&HostilePage::label));

}  // namespace
