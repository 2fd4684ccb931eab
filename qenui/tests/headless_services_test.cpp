// Headless services (message boxes, choosers, tray, shell, browser), skin
// loading from memory, folders and zip files, pictures, combo and scrolling.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <thread>

#include "qenui/core/UIResource.h"
#include "qenui/tests/test_window.h"

using namespace DuiLib;
using namespace qenui_test;

TEST_F(QenuiTest, ScriptedMessageBoxesChoosersTrayAndShell) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  host->PushMessageBoxAnswer(IDOK);
  EXPECT_EQ(MessageBox(h, u"删除吗?", u"提示", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
  EXPECT_EQ(MessageBox(h, u"again", u"x", MB_OK), IDCANCEL);  // nothing scripted: cancelled
  ASSERT_EQ(host->MessageBoxCalls().size(), 2u);
  EXPECT_EQ(host->MessageBoxCalls()[0].text, u"删除吗?");

  TFileChooser req;
  req.sTitle = u"选择视频文件";
  req.bMultiSelect = true;
  host->PushFileChoice({u"/tmp/a.mp4", u"/tmp/b.mp4"});
  host->PushFileChoice({});
  std::vector<CDuiString> paths;
  EXPECT_TRUE(GetOpenFileNames(h, req, &paths));
  EXPECT_EQ(paths.size(), 2u);
  paths.clear();
  EXPECT_FALSE(GetOpenFileNames(h, req, &paths));
  EXPECT_TRUE(paths.empty());
  host->PushFolderChoice(CDuiString(u"/tmp/out"));
  host->PushFolderChoice(std::nullopt);
  CDuiString folder(u"keep");
  EXPECT_TRUE(BrowseForFolder(h, u"选择文件夹", &folder));
  EXPECT_EQ(folder, u"/tmp/out");
  EXPECT_FALSE(BrowseForFolder(h, u"选择文件夹", &folder));
  EXPECT_EQ(folder, u"/tmp/out");

  TTrayIcon icon;
  icon.hWnd = h;
  icon.uID = 107;
  icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon.uCallbackMessage = WM_USER + 270;
  icon.sTip = u"Zelvik手游助手";
  EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, icon));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, icon));
  EXPECT_TRUE(host->ClickTray(107, WM_LBUTTONDOWN));
  host->Advance(0);
  ASSERT_EQ(w.received.size(), 1u);
  EXPECT_EQ(w.received[0].m, WM_USER + 270u);
  EXPECT_EQ(w.received[0].w, 107u);
  EXPECT_EQ(w.received[0].l, static_cast<LPARAM>(WM_LBUTTONDOWN));
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, icon));
  EXPECT_FALSE(host->HasTrayIcon(107));
  EXPECT_FALSE(host->ClickTray(107, WM_LBUTTONDOWN));

  EXPECT_TRUE(SetLayeredWindowAttributes(h, 0, 200, LWA_ALPHA));
  EXPECT_EQ(host->Native(h)->opacity, 200);
  EXPECT_FALSE(SetLayeredWindowAttributes(h, 0xFF00FF, 0, LWA_COLORKEY));
  EXPECT_TRUE(ShellOpen(u"/tmp/out"));
  EXPECT_EQ(host->ShellOpened().back(), u"/tmp/out");
  DestroyWindow(h);
}

TEST_F(QenuiTest, CrossThreadRules) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  bool alive = false;
  LRESULT sent = 1;
  std::thread other([&] {
    alive = IsWindow(h);
    sent = SendMessage(h, WM_USER + 1, 0, 0);  // refused off the UI thread
  });
  other.join();
  EXPECT_TRUE(alive);
  EXPECT_EQ(sent, 0);
  EXPECT_TRUE(w.received.empty());
  DestroyWindow(h);
  std::thread later([&] { alive = IsWindow(h); });
  later.join();
  EXPECT_FALSE(alive);
}

namespace {
class Browser : public CWebBrowserEventHandler {
 public:
  void BeforeNavigate2(CWebBrowserUI*, const CDuiString& url, bool& cancel) override {
    before.push_back(url);
    cancel = url.Find(u"blocked") >= 0;
  }
  void NavigateComplete2(CWebBrowserUI*, const CDuiString& url) override { complete.push_back(url); }
  void NavigateError(CWebBrowserUI*, const CDuiString& url, int status, bool&) override { errors.push_back({url, status}); }
  void NewWindow3(CWebBrowserUI*, bool& cancel, const CDuiString& url) override { cancel = true; newWindows.push_back(url); }
  void CommandStateChange(long command, bool enable) override { commands.push_back({command, enable}); }
  HRESULT GetHostInfo(TBrowserHostInfo* info) override {
    if (!info) return E_INVALIDARG;
    info->cbSize = sizeof(*info);
    info->dwFlags = 0x40007;
    return S_OK;
  }
  std::vector<CDuiString> before, complete, newWindows;
  std::vector<std::pair<CDuiString, int>> errors;
  std::vector<std::pair<long, bool>> commands;
};
}  // namespace

TEST_F(QenuiTest, BrowserShellRecordsNavigationsAndFiresEvents) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  auto* web = new CWebBrowserUI;
  Browser handler;
  web->SetWebBrowserEventHandler(&handler);
  web->SetHomePage(u"http://127.0.0.1/market");
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(web);
  web->GoHome();
  web->Navigate2(u"http://127.0.0.1/blocked");
  web->Navigate2(u"about:blank");
  web->GoBack();
  auto* view = host->LastBrowserView();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->Navigations().size(), 3u);
  EXPECT_EQ(view->Navigations()[0], u"http://127.0.0.1/market");
  EXPECT_EQ(view->Navigations()[2], u"http://127.0.0.1/market");
  EXPECT_EQ(handler.before.size(), 3u);
  view->CompleteNavigation();
  view->FailNavigation(404);
  EXPECT_EQ(handler.complete, std::vector<CDuiString>{u"http://127.0.0.1/market"});
  ASSERT_EQ(handler.errors.size(), 1u);
  EXPECT_EQ(handler.errors[0].second, 404);
  // A cancelled new window navigates nowhere.
  view->OpenNewWindow(u"http://127.0.0.1/x?vorn=down&mavoid=7");
  EXPECT_EQ(handler.newWindows.size(), 1u);
  EXPECT_EQ(view->Navigations().size(), 3u);
  view->ChangeCommandState(2, true);
  EXPECT_EQ(handler.commands, (std::vector<std::pair<long, bool>>{{2, true}}));
  view->SetElementAttribute(u"info_7", u"name", u"游戏");
  CDuiString value;
  EXPECT_TRUE(web->GetElementAttribute(u"info_7", u"name", &value));
  EXPECT_EQ(value, u"游戏");
  bool found = false;
  EXPECT_FALSE(web->GetElementAttribute(u"info_7", u"ico", &value, &found));
  EXPECT_TRUE(found) << "the element is there without the attribute";
  EXPECT_FALSE(web->GetElementAttribute(u"info_70", u"name", &value, &found));
  EXPECT_FALSE(found);
  TBrowserHostInfo info{};
  EXPECT_EQ(web->QueryHostInfo(&info), S_OK);
  EXPECT_EQ(info.cbSize, 20u);
  EXPECT_EQ(web->QueryHostInfo(nullptr), E_INVALIDARG);
  DestroyWindow(h);
}

TEST_F(QenuiTest, SkinFromFolderZipFileAndMemoryWithAnyCase) {
  std::string bytes;
  EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(u"WND_XML\\Row.XML", &bytes));
  EXPECT_NE(bytes.find("row_btn"), std::string::npos);
  EXPECT_FALSE(CPaintManagerUI::LoadResourceFile(u"wnd_xml\\none.xml", &bytes));

  CPaintManagerUI::Term();
  CPaintManagerUI::SetResourcePath(u"" QENUI_TEST_SKIN_DIR);
  EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(u"wnd_xml\\ROW.xml", &bytes));
  EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(u"png/dot.PNG", &bytes));

  // A zip file on disk: write the embedded one out.
  const void* data;
  size_t size;
  ASSERT_TRUE(GetEmbeddedSkin(&data, &size));
  char dir[] = "/tmp/qenui_skin_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string zipPath = std::string(dir) + "/skin.zip";
  FILE* f = fopen(zipPath.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(data, 1, size, f);
  fclose(f);
  EXPECT_TRUE(CPaintManagerUI::SetResourceZip(CDuiString::FromUtf8(zipPath)));
  EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(u"Wnd_Xml/menu_wnd.xml", &bytes));
  // Not a zip: refused, the previous skin stays.
  std::string junkPath = std::string(dir) + "/junk.zip";
  f = fopen(junkPath.c_str(), "wb");
  fputs("not a zip", f);
  fclose(f);
  EXPECT_FALSE(CPaintManagerUI::SetResourceZip(CDuiString::FromUtf8(junkPath)));
  EXPECT_FALSE(CPaintManagerUI::SetResourceZip(CDuiString::FromUtf8(std::string(dir) + "/missing.zip")));
  EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(u"wnd_xml/row.xml", &bytes));
  unlink(zipPath.c_str());
  unlink(junkPath.c_str());
  rmdir(dir);
}

TEST_F(QenuiTest, PicturesDecodeCacheAndPaint) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  auto img = w.PM().GetImageEx(u"png\\dot.png");
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->nX, 2);
  EXPECT_EQ(img->nY, 3);
  EXPECT_EQ(img->pixels[0], 0xFFFF0000u);
  EXPECT_EQ(w.PM().GetImageEx(u"PNG/Dot.png"), img);  // cached under the folded name
  EXPECT_EQ(w.PM().GetImageEx(u"png/none.png"), nullptr);

  auto* pic = new CPngImageUI;
  pic->SetFloat(true);
  pic->SetAttribute(u"pos", u"10,100,30,130");
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(pic);
  EXPECT_FALSE(pic->SetImageBytes("garbage bytes"));
  EXPECT_FALSE(pic->SetImageBytes(std::string("\x89PNG\r\n\x1a\n", 8) + "truncated"));
  std::string png;
  ASSERT_TRUE(CPaintManagerUI::LoadResourceFile(u"png/dot.png", &png));
  ASSERT_TRUE(pic->SetImageBytes(png));
  w.PM().NeedUpdate();
  CRecordingRenderTarget rt;
  PaintWindow(h, &rt, RECT());
  bool drawn = false;
  for (auto& op : rt.Ops())
    if (op.kind == 'I' && op.rc.left == 10 && op.rc.top == 100 && op.rc.right == 30 && op.rc.bottom == 130) drawn = true;
  EXPECT_TRUE(drawn);
  DestroyWindow(h);
}

TEST_F(QenuiTest, ComboSelectionAndListScrolling) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  auto* combo = new CComboUI;
  combo->SetName(u"combo");
  for (const char16_t* t : {u"内部存储", u"SD卡"}) {
    auto* item = new CListLabelElementUI;
    item->SetText(t);
    combo->Add(item);
  }
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(combo);
  CNotifyRecorder rec(&w.PM());
  EXPECT_TRUE(combo->SelectItem(1));
  EXPECT_EQ(combo->GetText(), u"SD卡");
  EXPECT_FALSE(combo->SelectItem(5));
  EXPECT_EQ(rec.Summary(), "itemselect:combo");
  // Clicking the box opens the drop-down under it; clicking a row there chooses it.
  combo->SetFloat(true);
  combo->SetAttribute(u"pos", u"10,100,130,124");
  w.PM().UpdateLayout();
  rec.Clear();
  ASSERT_TRUE(ClickControl(combo));
  HWND drop = combo->GetDropWindow();
  ASSERT_NE(drop, 0u);
  RECT dropRc;
  GetWindowRect(drop, &dropRc);
  EXPECT_EQ(dropRc.Width(), 120);
  auto* dropList = static_cast<CListUI*>(CPaintManagerUI::GetManagerOf(drop)->GetRoot()->GetInterface(u"List"));
  ASSERT_EQ(dropList->GetCount(), 2);
  ASSERT_TRUE(ClickControl(dropList->GetItemAt(0)));
  host->Advance(0);
  EXPECT_EQ(combo->GetCurSel(), 0);
  EXPECT_EQ(combo->GetDropWindow(), 0u);
  EXPECT_FALSE(IsWindow(drop));
  EXPECT_EQ(rec.Summary(), "dropdown:combo,itemselect:combo");
  ClickControl(combo);  // open again, then the window goes away with its owner

  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  for (int i = 0; i < 20; ++i) {
    auto* row = new CListLabelElementUI;
    row->SetFixedHeight(36);
    row->SetUserData(i);
    list->Add(row);
  }
  w.PM().UpdateLayout();
  EXPECT_GT(list->GetScrollRange().cy, 0);
  rec.Clear();
  list->EnsureVisible(19);
  EXPECT_EQ(list->GetScrollPos().cy, list->GetScrollRange().cy);
  EXPECT_EQ(rec.Summary(), "scroll:list");
  CControlUI* last = list->GetItemAt(19);
  EXPECT_LE(last->GetPos().bottom, list->GetPos().bottom);
  rec.Clear();
  RECT rc = list->GetPos();
  POINT pt = MakePoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ClientToScreen(h, &pt);
  DispatchNativeMessage(h, WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(rec.Summary(), "scroll:list");
  EXPECT_LT(list->GetScrollPos().cy, list->GetScrollRange().cy);
  // Keyboard selection walks the rows.
  ClickControl(list->GetItemAt(list->GetCount() - 1));
  rec.Clear();
  PressKey(h, VK_UP);
  EXPECT_EQ(list->GetCurSel(), list->GetCount() - 2);
  std::string summary = rec.Summary();  // "scroll:list," first when the row was partly out of view
  EXPECT_EQ(summary.substr(summary.size() - 15), "itemselect:list");
  EXPECT_GE(list->GetItemAt(list->GetCount() - 2)->GetPos().top, list->GetList()->GetPos().top);
  DestroyWindow(h);
}

TEST_F(QenuiTest, NativeTextInputAndCaptionHitTest) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  SetWindowPos(h, 0, 100, 200, 0, 0, SWP_NOSIZE);
  CNotifyRecorder rec(&w.PM());
  ClickControl(w.PM(), u"edit");
  ITextInputClient* input = host->TextInputClient();
  ASSERT_NE(input, nullptr);
  input->OnTextInput(u"你好");
  input->OnTextInputKey(VK_RETURN);
  EXPECT_EQ(w.PM().FindControl(u"edit")->GetText(), u"你好");
  EXPECT_EQ(rec.Summary(), "textchanged:edit,return:edit");
  ClickControl(w.PM(), u"opt2");
  EXPECT_EQ(host->TextInputClient(), nullptr);

  // The caption band (50 px) moves the window, except over its buttons.
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(100 + 10, 200 + 10)), HTCAPTION);
  RECT btn = w.PM().FindControl(u"closebtn")->GetPos();
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(100 + btn.left + 2, 200 + btn.top + 2)), HTCLIENT);
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(100 + 10, 200 + 120)), HTCLIENT);
  DestroyWindow(h);
}

namespace {
// A small modal box: okbtn ends it with 1, cancelbtn and closebtn with 2.
class Box : public WindowImplBaseNew {
 public:
  Box() { InitWinParam(u"wnd_xml\\box_wnd.xml"); }
  LPCTSTR GetWindowClassName() const override { return u"BoxWnd"; }
  void ClickNotify(TNotifyUI& msg) override {
    if (msg.pSender->GetName() == u"okbtn") Close(IDOK);
    else Close(IDCANCEL);
  }
};
}  // namespace

TEST_F(QenuiTest, ScriptedModalBoxAnswersThroughItsButtons) {
  TestWindow owner;
  HWND ho = owner.Create(0, u"owner", WS_POPUP, 0);
  for (const char16_t* button : {u"okbtn", u"closebtn", u"cancelbtn"}) {
    Box box;
    HWND hb = box.Create(ho, u"QENMsgBox", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 600, 400);
    ASSERT_NE(hb, 0u);
    // The layout (with its included caption part) sets the size.
    RECT rc;
    GetWindowRect(hb, &rc);
    EXPECT_EQ(rc.Width(), 302);
    EXPECT_NE(box.GetPaintManager()->FindControl(u"caption_band"), nullptr);
    box.CenterWindow();
    host->PushModalScript([button](HWND h) { EXPECT_TRUE(ClickControl(h, button)); });
    UINT result = box.ShowModal();
    EXPECT_EQ(result, CDuiString(button) == u"okbtn" ? 1u : 2u) << CDuiString(button).ToUtf8();
  }
  DestroyWindow(ho);
}

TEST_F(QenuiTest, TileListPlacesRowsAsAGridAndScrolls) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  auto* grid = new CListUI;
  grid->SetName(u"picsub_list");
  grid->SetAttribute(u"tile", u"true");
  grid->SetAttribute(u"vscrollbar", u"true");
  grid->SetAttribute(u"childpadding", u"4");
  grid->SetFloat(true);
  grid->SetAttribute(u"pos", u"0,0,392,200");  // 384 px inside the 8-px scroll bar
  static_cast<CContainerUI*>(w.PM().GetRoot())->Add(grid);
  for (int i = 0; i < 7; ++i) {
    auto* cell = new CListContainerElementUI;
    cell->SetFixedWidth(120);
    cell->SetFixedHeight(100);
    cell->SetUserData(i);
    grid->Add(cell);
  }
  w.PM().UpdateLayout();
  // 384 px wide with 120 px cells and 4 px gaps: three columns.
  EXPECT_EQ(grid->GetItemAt(0)->GetPos().left, 0);
  EXPECT_EQ(grid->GetItemAt(1)->GetPos().left, 124);
  EXPECT_EQ(grid->GetItemAt(2)->GetPos().left, 248);
  EXPECT_EQ(grid->GetItemAt(3)->GetPos().left, 0);
  EXPECT_EQ(grid->GetItemAt(3)->GetPos().top, 104);
  EXPECT_EQ(grid->GetScrollRange().cy, 3 * 100 + 2 * 4 - 200);
  CNotifyRecorder rec(&w.PM());
  grid->EnsureVisible(6);
  EXPECT_EQ(rec.Summary(), "scroll:picsub_list");
  EXPECT_LE(grid->GetItemAt(6)->GetPos().bottom, 200);
  DestroyWindow(h);
}

// The pointer over a control shows its tooltip, or the nearest one up its
// parents; over nothing with a tooltip, or out of the window, none.
TEST_F(QenuiTest, TheTooltipFollowsThePointer) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  CControlUI* close = w.PM().FindControl(u"closebtn");
  CControlUI* opt1 = w.PM().FindControl(u"opt1");
  close->SetToolTip(u"关闭");
  opt1->GetParent()->SetToolTip(u"选项");
  auto over = [&](CControlUI* c) {
    const RECT rc = c->GetPos();
    SendMessage(h, WM_MOUSEMOVE, 0, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    return host->ToolTipOf(h);
  };
  EXPECT_EQ(over(close), u"关闭");
  EXPECT_EQ(over(opt1), u"选项");
  EXPECT_EQ(over(w.PM().FindControl(u"titlelabel")), u"");
  EXPECT_EQ(over(close), u"关闭");
  SendMessage(h, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(host->ToolTipOf(h), u"");
  DestroyWindow(h);
}
