// The market pages, the store search box and the suggestion popups on the
// headless back end, over the program's own skin: the browser page's
// home/error flow, new windows and download links on the headless browser
// double; the search box's placeholder, completion popup and keys; the
// popup's highlight and its size on a fake screen.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/bindings/lettermill_interface.h"
#include "app/core/message_ids.h"
#include "app/web/stat_report.h"
#include "foundation/base/tests/captured_log.h"
#include "ui/controls/list_ui_ex.h"
#include "ui/pages/market_links.h"
#include "ui/pages/tests/recording_downloads.h"
#include "ui/tests/frame_fixture.h"

namespace ui_test {
namespace {

bool Has(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// ---------------- the links, as tables ----------------

struct TextCase {
  const char16_t* in;
  const char16_t* out;
};

TEST(MarketLinks, LinkIdIsAfterTheLastMavoid) {
  const TextCase cases[] = {
      {u"http://m/a.apk?vorn=down&mavoid=1001&vorn=from=home", u"1001"},
      {u"http://m/a.apk?mavoid=1&vorn=down&mavoid=2002", u"2002"},
      {u"http://m/a.apk?vorn=down", u""},
      {u"http://m/a.apk?vorn=down&mavoid=", u""},
      {u"http://m/a.apk?vorn=down&mavoid=12\"></div><script>", u""},
      {u"http://m/a.apk?mavoid=123456789012345678901234567890123", u""},  // 33 characters
      {u"http://m/a.apk?mavoid=ab_c-9&x=1", u"ab_c-9"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(market::LinkId(c.in), c.out) << CDuiString(c.in).ToUtf8();
}

TEST(MarketLinks, SourceIsAfterTheFirstVornFrom) {
  const TextCase cases[] = {
      {u"http://m/a.apk?vorn=down&mavoid=1&vorn=from=search", u"search"},
      {u"http://m/a.apk?vorn=down&mavoid=1", u""},
      {u"http://m/a.apk?vorn=from=a&vorn=from=b", u"a&vorn=from=b"},
      {u"http://m/a.apk?VORN=FROM=x", u""},  // case matters here
      {u"http://m/a.apk?vorn=from=a\tb", u"ab"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(market::LinkSource(c.in), c.out) << CDuiString(c.in).ToUtf8();
  EXPECT_EQ(market::LinkSource(u"x?vorn=from=" + std::u16string(200, u'z')).size(), market::kMaxSourceLength);
  EXPECT_TRUE(market::IsDownloadLink(u"http://m/a.apk?VORN=Down&mavoid=1"));
  EXPECT_FALSE(market::IsDownloadLink(u"http://m/appmarket/game/Choice.html"));
}

TEST(MarketLinks, SearchUrlTrimsBlanksAndEncodesUtf8) {
  setenv(market::kMarketHostEnv, "http://127.0.0.1:8123/", 1);
  struct Case {
    int type;
    const char16_t* text;
    const char16_t* url;
  } cases[] = {
      {0, u"  a b  ", u"http://127.0.0.1:8123/appmarket/game/search.html?q=a+b&type=game"},
      {1, u"  a b  ", u"http://127.0.0.1:8123/appmarket/game/search.html?q=a+b"},
      {0, u"坦克", u"http://127.0.0.1:8123/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B&type=game"},
      {0, u"q&type=x", u"http://127.0.0.1:8123/appmarket/game/search.html?q=q%26type%3Dx&type=game"},
      {0, u"   ", u""},
      {0, u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(market::SearchUrl(c.type, c.text), c.url) << CDuiString(c.text).ToUtf8();
  EXPECT_EQ(market::HomePageUrl(2), u"http://127.0.0.1:8123/appmarket/game/Classify.html");
  EXPECT_EQ(market::HomePageUrl(4), u"");
  unsetenv(market::kMarketHostEnv);
  EXPECT_EQ(market::HomePageUrl(0), u"http://127.0.0.1:8000/appmarket/game/Home.html");
}

TEST(MarketLinks, RemoteFieldsAreBounded) {
  const TextCase names[] = {
      {u"坦克大战", u"坦克大战"},
      {u"../../.bashrc", u"bashrc"},
      {u"a/b\\c:d*e?f\"g<h>i|j", u"abcdefghij"},
      {u" .hidden. ", u"hidden"},
      {u"x\ny\x01z", u"xyz"},
  };
  for (const TextCase& c : names) EXPECT_EQ(market::SafeAppName(c.in), c.out) << CDuiString(c.in).ToUtf8();
  EXPECT_EQ(market::SafeAppName(std::u16string(100, u'坦')).size(), market::kMaxNameLength);
  EXPECT_EQ(market::SafePackageName(u"com.zelvik.tankwar"), u"com.zelvik.tankwar");
  EXPECT_EQ(market::SafePackageName(u"com.x; rm -rf /"), u"");
  EXPECT_EQ(market::SafePackageName(std::u16string(129, u'a')), u"");
  EXPECT_EQ(market::SafeIconUrl(u"http://127.0.0.1/i.png"), u"http://127.0.0.1/i.png");
  EXPECT_EQ(market::SafeIconUrl(u"file:///etc/passwd"), u"");
  EXPECT_EQ(market::SafeIconUrl(u"javascript:alert(1)"), u"");
  EXPECT_TRUE(market::IsAcceptableLink(u"http://127.0.0.1/a.apk?vorn=down"));
  EXPECT_FALSE(market::IsAcceptableLink(u"http://127.0.0.1/" + std::u16string(3000, u'a') + u"?vorn=down"));
  EXPECT_FALSE(market::IsAcceptableLink(u"ftp://127.0.0.1/a.apk?vorn=down"));
}

// ---------------- the pages in the main window ----------------

using market_test::DownloadCall;
using market_test::RecordingDownloads;

class MarketPageTest : public FrameTest {
 public:
  void SetUp() override {
    setenv(market::kMarketHostEnv, "http://127.0.0.1:8123", 1);
    backend.downloads = &downloads;
    FrameTest::SetUp();
  }
  void TearDown() override {
    FrameTest::TearDown();
    unsetenv(market::kMarketHostEnv);
  }
  CHeadlessBrowserView* View(int page) {
    CWebBrowserUI* browser = frame->Browser(page).Browser();
    return browser ? dynamic_cast<CHeadlessBrowserView*>(browser->GetWebBrowser2()) : nullptr;
  }
  void Select(const char16_t* option) {
    static_cast<COptionUI*>(PM().FindControl(option)->GetInterface(u"Option"))->Selected(true);
  }
  CEditUI* Edit() { return Control<CEditUI>(u"search_edit", u"Edit"); }

  RecordingDownloads downloads;
};

TEST_F(MarketPageTest, HomePagesLoadFirstThroughBlankAndErrorsShowTheOwnPage) {
  // Start-up selected the store home: its first home visit passes "about:blank".
  CHeadlessBrowserView* home = View(0);
  ASSERT_NE(home, nullptr);
  ASSERT_EQ(home->Navigations().size(), 2u);
  EXPECT_EQ(home->Navigations()[0], u"about:blank");
  EXPECT_EQ(home->Navigations()[1], u"http://127.0.0.1:8123/appmarket/game/Home.html");
  home->CompleteNavigation();
  EXPECT_EQ(TabOf(u"tab_ie_pages"), 0);
  EXPECT_EQ(frame->Browser(0).GetReload(), 0);
  EXPECT_EQ(frame->Browser(0).CurrentUrl(), u"http://127.0.0.1:8123/appmarket/game/Home.html");

  // A failed navigation shows the page's own error page.
  home->Navigate(u"http://127.0.0.1:8123/appmarket/game/missing.html");
  home->FailNavigation(404);
  EXPECT_EQ(TabOf(u"tab_ie_pages"), 1);
  EXPECT_EQ(TextOf(u"ie_error_title"), u"出错啦！");
  EXPECT_EQ(frame->Browser(0).GetReload(), 1);
  // Refresh on the error page goes home through "about:blank" instead.
  size_t before = home->Navigations().size();
  ClickControl(PM(), u"ie_refesh_btn");
  ASSERT_EQ(home->Navigations().size(), before + 2);
  EXPECT_EQ(home->Navigations()[before], u"about:blank");
  EXPECT_EQ(home->Navigations()[before + 1], u"http://127.0.0.1:8123/appmarket/game/Home.html");
  EXPECT_EQ(home->Refreshes(), 0);
  home->CompleteNavigation();
  ClickControl(PM(), u"ie_refesh_btn");
  EXPECT_EQ(home->Refreshes(), 1);

  // Another tab: its first selection goes home through "about:blank"; once
  // loaded, selecting it again keeps its page.
  Select(u"market_ranking_optn");
  CHeadlessBrowserView* ranking = View(3);
  ASSERT_NE(ranking, nullptr);
  ASSERT_EQ(ranking->Navigations().size(), 2u);
  EXPECT_EQ(ranking->Navigations()[1], u"http://127.0.0.1:8123/appmarket/game/Ranking.html");
  ranking->CompleteNavigation();
  Select(u"market_index_optn");
  Select(u"market_ranking_optn");
  EXPECT_EQ(ranking->Navigations().size(), 2u);
  // The toolbar acts on the page that shows.
  ClickControl(PM(), u"ie_index_btn");
  EXPECT_EQ(ranking->Navigations().size(), 3u);
}

TEST_F(MarketPageTest, HistoryButtonsFollowTheBrowser) {
  CHeadlessBrowserView* home = View(0);
  ASSERT_NE(home, nullptr);
  CControlUI* back = PM().FindControl(u"ie_back_btn");
  CControlUI* forward = PM().FindControl(u"ie_forward_btn");
  home->ChangeCommandState(2, true);
  home->ChangeCommandState(1, false);
  EXPECT_TRUE(back->IsEnabled());
  EXPECT_FALSE(forward->IsEnabled());
  home->ChangeCommandState(2, false);
  EXPECT_FALSE(back->IsEnabled());
  TBrowserHostInfo info{};
  EXPECT_EQ(frame->Browser(0).GetHostInfo(nullptr), E_INVALIDARG);
  EXPECT_EQ(frame->Browser(0).GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.cbSize, 20u);
  EXPECT_EQ(info.dwFlags, 0x40007u);
}

TEST_F(MarketPageTest, NewWindowsNeverOpenAndDownloadLinksBecomeRequests) {
  CHeadlessBrowserView* home = View(0);
  ASSERT_NE(home, nullptr);
  home->CompleteNavigation();
  size_t navigations = home->Navigations().size();
  // Not a download: refused, nothing starts.
  home->OpenNewWindow(u"http://127.0.0.1:8123/appmarket/game/Choice.html");
  EXPECT_EQ(home->Navigations().size(), navigations);
  EXPECT_TRUE(downloads.calls.empty());

  // A download link: the app's fields come from its element "info_<id>".
  home->SetElementAttribute(u"info_1001", u"name", u"坦克大战");
  home->SetElementAttribute(u"info_1001", u"ico", u"http://127.0.0.1:8123/appmarket/game/icon/1001.png");
  home->SetElementAttribute(u"info_1001", u"package", u"com.zelvik.tankwar");
  const std::u16string link =
      u"http://127.0.0.1:8123/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=9&mavoid=1001&vorn=from=home";
  home->OpenNewWindow(link);
  EXPECT_EQ(home->Navigations().size(), navigations);
  ASSERT_EQ(downloads.calls.size(), 1u);
  EXPECT_EQ(downloads.calls[0].url, link);
  EXPECT_EQ(downloads.calls[0].name, u"坦克大战");
  EXPECT_EQ(downloads.calls[0].icon, u"http://127.0.0.1:8123/appmarket/game/icon/1001.png");
  EXPECT_EQ(downloads.calls[0].package, u"com.zelvik.tankwar");

  // Without "mavoid=" the element "info_" is asked for: empty fields, still passed on.
  home->OpenNewWindow(u"http://127.0.0.1:8123/appmarket/game/apk/x.apk?vorn=down");
  ASSERT_EQ(downloads.calls.size(), 2u);
  EXPECT_EQ(downloads.calls[1].name, u"");
  EXPECT_EQ(downloads.calls[1].package, u"");

  // Hostile fields are cut down before they reach the task manager.
  home->SetElementAttribute(u"info_66", u"name", u"../../../.profile");
  home->SetElementAttribute(u"info_66", u"ico", u"file:///etc/passwd");
  home->SetElementAttribute(u"info_66", u"package", u"a;reboot");
  home->OpenNewWindow(u"http://127.0.0.1:8123/a.apk?vorn=down&mavoid=66");
  ASSERT_EQ(downloads.calls.size(), 3u);
  EXPECT_EQ(downloads.calls[2].name, u"profile");
  EXPECT_EQ(downloads.calls[2].icon, u"");
  EXPECT_EQ(downloads.calls[2].package, u"");
  // A link that is no web address, or too long, is refused.
  home->OpenNewWindow(u"file:///tmp/a.apk?vorn=down&mavoid=66");
  home->OpenNewWindow(u"http://127.0.0.1/" + std::u16string(3000, u'a') + u"?vorn=down");
  EXPECT_EQ(downloads.calls.size(), 3u);
}

// An attribute the link's element lacks and an element the page lacks are
// logged apart; the link is still passed on with empty fields.
TEST_F(MarketPageTest, UnreadableLinkFieldsAreLoggedByWhatIsMissing) {
  testing_support::CapturedLog log;
  ASSERT_TRUE(log.opened());
  CHeadlessBrowserView* home = View(0);
  ASSERT_NE(home, nullptr);
  home->SetElementAttribute(u"info_1001", u"name", u"坦克大战");
  home->OpenNewWindow(u"http://127.0.0.1:8123/a.apk?vorn=down&mavoid=1001");
  home->OpenNewWindow(u"http://127.0.0.1:8123/b.apk?vorn=down&mavoid=77");
  ASSERT_EQ(downloads.calls.size(), 2u);
  EXPECT_EQ(downloads.calls[0].name, u"坦克大战");
  EXPECT_EQ(downloads.calls[0].package, u"");
  const std::string text = log.Text();
  EXPECT_NE(text.find("getAttribute ico failed"), std::string::npos) << text;
  EXPECT_NE(text.find("getAttribute package failed"), std::string::npos) << text;
  EXPECT_EQ(text.find("getElementById info_1001 failed"), std::string::npos) << text;
  EXPECT_NE(text.find("getElementById info_77 failed"), std::string::npos) << text;
}

// The statistics service hears of every download link, as "download, start".
TEST_F(MarketPageTest, DownloadLinkIsReportedToTheStatistics) {
  const std::string program = home_ + "/program";
  ASSERT_EQ(std::system(("mkdir -p '" + program + "/log'").c_str()), 0);
  for (const char* name : {"libLettermill.so", "libTallyhand.so"}) {
    std::ifstream in(std::string(PD_BIN_DIR) + "/" + name, std::ios::binary);
    std::ofstream out(program + "/" + name, std::ios::binary);
    out << in.rdbuf();
  }
  CLettermillInterface::Release();  // bound again, from this test's program folder
  CLettermillInterface::Instance()->InitPost();
  httplib::Server stats;
  std::mutex seen_lock;
  std::vector<std::string> seen;
  stats.Post("/service/ClientRep.ashx", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> hold(seen_lock);
    seen.push_back(req.target + "\n" + req.body);
    res.set_content("ok", "text/plain");
  });
  const int port = stats.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { stats.listen_after_bind(); });
  while (!stats.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  setenv(kStatHostEnv, ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);

  CHeadlessBrowserView* home = View(0);
  ASSERT_NE(home, nullptr);
  home->SetElementAttribute(u"info_1001", u"name", u"坦克大战");
  home->SetElementAttribute(u"info_1001", u"package", u"com.zelvik.tankwar");
  home->OpenNewWindow(u"http://127.0.0.1:8123/a.apk?vorn=down&mavoid=1001&vorn=from=search");

  stats.stop();
  serving.join();
  unsetenv(kStatHostEnv);
  CLettermillInterface::Release();
  std::lock_guard<std::mutex> hold(seen_lock);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0],
            "/service/ClientRep.ashx?act=apkstat&uid=1110&hostmark=\n" +
                BuildApkStatJson(kStatDownload, kStatStart, "坦克大战", "com.zelvik.tankwar", "info_1001", "search"));
}

// The store search box: placeholder, completions, keys and the search.
TEST_F(MarketPageTest, SearchBoxPlaceholderFollowsTheFocus) {
  CEditUI* edit = Edit();
  ASSERT_NE(edit, nullptr);
  // Clicking into the box clears the placeholder, also in the native entry
  // that edits the text, so typing starts from nothing.
  ASSERT_TRUE(ClickControl(edit));
  EXPECT_EQ(edit->GetText(), u"");
  EXPECT_EQ(host->TextInputText(), u"");
  EXPECT_EQ(edit->GetTextColor(), 0xFF000000u);
  ASSERT_NE(host->TextInputClient(), nullptr);
  host->TextInputClient()->OnTextInput(u"qq");
  EXPECT_EQ(edit->GetText(), u"qq");
  // Left with text, the text stays; left empty, the placeholder comes back.
  PM().SetFocus(nullptr);
  EXPECT_EQ(edit->GetText(), u"qq");
  ASSERT_TRUE(ClickControl(edit));
  EXPECT_EQ(edit->GetText(), u"qq");
  host->TextInputClient()->OnTextInput(u"");
  PM().SetFocus(nullptr);
  EXPECT_EQ(edit->GetText(), u"应用市场搜索");
  EXPECT_EQ(edit->GetTextColor(), 0xFF888888u);
  // The search button with the placeholder does nothing.
  size_t navigations = View(0)->Navigations().size();
  ClickControl(PM(), u"search_btn");
  EXPECT_FALSE(Has(backend.actions, 28));
  EXPECT_EQ(View(0)->Navigations().size(), navigations);
}

TEST_F(MarketPageTest, EnterWithThePopupHiddenSearchesTheTypedTextInTheStoreHome) {
  std::vector<std::u16string> asked;
  std::mutex asked_lock;
  frame->AppSearch().SetQuery([&](const std::u16string& keyword, std::vector<std::u16string>* names) {
    std::lock_guard<std::mutex> hold(asked_lock);
    asked.push_back(keyword);
    names->clear();
    return false;
  });
  Select(u"market_choice_optn");
  CEditUI* edit = Edit();
  ASSERT_TRUE(ClickControl(edit));
  host->TextInputClient()->OnTextInput(u" 坦克 大战 ");
  ASSERT_FALSE(frame->SearchMenu().IsVisible());
  host->TextInputClient()->OnTextInputKey(VK_RETURN);
  // The store home comes forward with the search page.
  EXPECT_EQ(TabOf(u"tab_web_market"), 0);
  ASSERT_FALSE(View(0)->Navigations().empty());
  EXPECT_EQ(View(0)->Navigations().back(),
            u"http://127.0.0.1:8123/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B+%E5%A4%A7%E6%88%98&type=game");
  PM().SetFocus(nullptr);
  frame->AppSearch().Stop();
  std::lock_guard<std::mutex> hold(asked_lock);
  EXPECT_LE(asked.size(), 1u);
}

TEST_F(MarketPageTest, ChosenSuggestionSearchesAndAsksForNoCompletions) {
  std::vector<std::u16string> asked;
  std::mutex asked_lock;
  frame->AppSearch().SetQuery([&](const std::u16string& keyword, std::vector<std::u16string>* names) {
    std::lock_guard<std::mutex> hold(asked_lock);
    asked.push_back(keyword);
    *names = {u"坦克大战", u"坦克世界", u"坦克前线"};
    return true;
  });
  CEditUI* edit = Edit();
  ASSERT_TRUE(ClickControl(edit));
  host->TextInputClient()->OnTextInput(u"坦克");
  // The worker answers on its own thread; its post shows the popup.
  CSearchMenu& popup = frame->SearchMenu();
  for (int i = 0; i < 2000 && !popup.IsVisible(); ++i) {
    PumpPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(popup.IsVisible());
  EXPECT_EQ(popup.Items(), (std::vector<std::u16string>{u"坦克大战", u"坦克世界", u"坦克前线"}));
  EXPECT_EQ(frame->Suggestions(), popup.Items());
  // One key press in the box moves the highlight one row.
  PressKey(hwnd, VK_DOWN);
  Pump();
  EXPECT_EQ(popup.GetHotText(), u"坦克大战");
  host->TextInputClient()->OnTextInputKey(VK_DOWN);
  Pump();
  EXPECT_EQ(popup.GetHotText(), u"坦克世界");
  host->TextInputClient()->OnTextInputKey(VK_RETURN);
  EXPECT_EQ(edit->GetText(), u"坦克世界");
  EXPECT_FALSE(popup.IsVisible());
  EXPECT_EQ(View(0)->Navigations().back(),
            u"http://127.0.0.1:8123/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B%E4%B8%96%E7%95%8C&type=game");
  // Taking the suggestion started no completion; typing again does.
  frame->AppSearch().Stop();
  {
    std::lock_guard<std::mutex> hold(asked_lock);
    EXPECT_EQ(asked, std::vector<std::u16string>{u"坦克"});
  }
  PM().SetFocus(nullptr);
}

TEST_F(MarketPageTest, ClickedSuggestionFillsTheBoxAndSearches) {
  frame->OfferSuggestions({u"坦克大战", u"坦克世界"});
  SendMessage(hwnd, msg::kSearchSuggestions, 0, 0);
  CSearchMenu& popup = frame->SearchMenu();
  ASSERT_TRUE(popup.IsVisible());
  CNotifyRecorder rec(&PM());
  CListUI* list = static_cast<CListUI*>(popup.GetPaintManager()->FindControl(u"menulist")->GetInterface(u"List"));
  ASSERT_EQ(list->GetCount(), 2);
  ASSERT_TRUE(ClickControl(list->GetItemAt(1)));
  bool seen = false;
  for (const auto& e : rec.Entries())
    if (e.type == u"searchitem_click") {
      seen = true;
      EXPECT_EQ(e.wParam, 1u);
    }
  EXPECT_TRUE(seen);
  EXPECT_FALSE(popup.IsVisible());
  EXPECT_EQ(Edit()->GetText(), u"坦克世界");
  EXPECT_TRUE(Has(backend.actions, 28));
  EXPECT_EQ(View(0)->Navigations().back(),
            u"http://127.0.0.1:8123/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B%E4%B8%96%E7%95%8C&type=game");
}

// Closing the program while a completion query is on its way: the worker
// is stopped before the window goes, and its answer reaches no freed window.
TEST_F(MarketPageTest, TeardownDuringACompletionQuery) {
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false, released = false;
  frame->AppSearch().SetQuery([&](const std::u16string&, std::vector<std::u16string>* names) {
    std::unique_lock<std::mutex> hold(lock);
    entered = true;
    changed.notify_all();
    changed.wait_for(hold, std::chrono::seconds(10), [&] { return released; });
    *names = {u"坦克大战"};
    return true;
  });
  frame->AppSearch().Search(u"坦克");
  {
    std::unique_lock<std::mutex> hold(lock);
    ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(10), [&] { return entered; }));
  }
  std::thread releaser([&] {
    std::lock_guard<std::mutex> hold(lock);
    released = true;
    changed.notify_all();
  });
  DestroyWindow(hwnd);
  delete frame;
  frame = nullptr;
  releaser.join();
  Pump();
}

// ---------------- the popups alone ----------------

TEST_F(MarketPageTest, PopupSizesWrapsAndStaysInsideTheMainWindow) {
  CSearchMenu& popup = frame->SearchMenu();
  CEditUI* edit = Edit();
  // No items: placed and hidden.
  popup.Clear();
  popup.Popup(edit, 100, 100);
  EXPECT_FALSE(popup.IsVisible());
  popup.MoveHot(true);
  EXPECT_EQ(popup.GetHotText(), u"");
  // Three items: 3 x 25 + 4 high, 280 wide (the layout's width), shown.
  for (const char16_t* t : {u"一", u"二", u"三"}) popup.AddItem(t);
  popup.ShowItems();
  RECT main;
  GetWindowRect(hwnd, &main);
  popup.Popup(edit, main.left + 10, main.top + 60);
  ASSERT_TRUE(popup.IsVisible());
  RECT rc;
  GetWindowRect(popup.GetHWND(), &rc);
  EXPECT_EQ(rc.Width(), 280);
  EXPECT_EQ(rc.Height(), 79);
  EXPECT_EQ(edit->GetTag(), static_cast<UINT_PTR>(popup.GetHWND()));
  // Up from nothing and from the first row wraps to the last; down from the last to the first.
  popup.MoveHot(true);
  EXPECT_EQ(popup.GetHotText(), u"三");
  popup.MoveHot(false);
  EXPECT_EQ(popup.GetHotText(), u"一");
  popup.MoveHot(true);
  EXPECT_EQ(popup.GetHotText(), u"三");
  // Inside strictly: the border is outside.
  EXPECT_TRUE(popup.ContainsPoint(rc.left + 1, rc.top + 1));
  EXPECT_FALSE(popup.ContainsPoint(rc.left, rc.top + 1));
  // Forty items under a point 100 pixels above the main window's bottom: cut there.
  popup.Clear();
  for (int i = 0; i < 40; ++i) popup.AddItem(u"项" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
  popup.ShowItems();
  popup.Popup(edit, main.left + 10, main.bottom - 100);
  GetWindowRect(popup.GetHWND(), &rc);
  EXPECT_EQ(rc.bottom, main.bottom);
  EXPECT_EQ(rc.Height(), 100);
  // Escape hides it.
  SendMessage(popup.GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(popup.IsVisible());
}

// Records the picked row of a popup while its notification lasts.
class PickRecorder : public INotifyUI {
 public:
  explicit PickRecorder(CPaintManagerUI* pm) : pm_(pm) { pm->AddNotifier(this); }
  ~PickRecorder() override { pm_->RemoveNotifier(this); }
  void Notify(TNotifyUI& msg) override {
    if (msg.sType != u"searchitem_click" && msg.sType != u"searchcontactitem_click") return;
    picks.push_back(msg.sType.ToUtf8() + " " + std::to_string(msg.wParam) + " " +
                    CDuiString(reinterpret_cast<const char16_t*>(msg.lParam)).ToUtf8());
  }
  std::vector<std::string> picks;

 private:
  CPaintManagerUI* pm_;
};

TEST_F(MarketPageTest, ContactPopupHandsTheRowsUserData) {
  CContactSearchMenu popup;
  popup.Create(hwnd);
  ASSERT_TRUE(popup.IsCreated());
  CListUI* list = static_cast<CListUI*>(popup.GetPaintManager()->FindControl(u"menulist")->GetInterface(u"List"));
  ASSERT_NE(list, nullptr);
  EXPECT_NE(dynamic_cast<CListUIEx*>(list), nullptr);
  popup.AddItem(u"17", u"张三");
  popup.AddItem(u"23", u"李四");
  popup.ShowItems();
  popup.Popup(Edit(), 10, 10);
  PickRecorder rec(&PM());
  SendMessage(popup.GetHWND(), WM_KEYDOWN, VK_UP, 0);
  SendMessage(popup.GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(rec.picks, std::vector<std::string>{"searchcontactitem_click 0 23"});
  EXPECT_FALSE(popup.IsVisible());
  // The store popup hands the item's number and its key text.
  CSearchMenu& store = frame->SearchMenu();
  store.Clear();
  store.AddItem(u"坦克大战");
  store.AddItem(u"坦克世界");
  store.ShowItems();
  store.Popup(Edit(), 10, 10);
  store.MoveHot(true);
  SendMessage(store.GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(rec.picks.back(), "searchitem_click 1 坦克世界");
}

}  // namespace
}  // namespace ui_test
