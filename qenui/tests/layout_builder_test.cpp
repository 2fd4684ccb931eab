// Layouts, the layout builder, text markup, image strings, strings and fonts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "qenui/UIlib.h"
#include "qenui/core/UIImage.h"
#include "qenui/core/UIText.h"
#include "qenui/headless/UITestDriver.h"
#include "qenui/tests/test_window.h"

using namespace DuiLib;
using namespace qenui_test;

TEST_F(QenuiTest, LayoutIsBuiltAndFoundByName) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(IsWindow(h));
  CPaintManagerUI& pm = w.PM();
  EXPECT_NE(pm.FindControl(u"closebtn"), nullptr);
  EXPECT_EQ(pm.FindControl(u"nothere"), nullptr);
  EXPECT_EQ(w.factory.made, 1);
  RECT rc;
  GetWindowRect(h, &rc);
  EXPECT_EQ(rc.Width(), 400);
  EXPECT_EQ(rc.Height(), 300);
  CControlUI* btn = pm.FindControl(u"closebtn");
  EXPECT_EQ(btn->GetFixedHeight(), 30);  // from the class default
  EXPECT_EQ(btn->GetPos().right, 400);
  CControlUI* floater = pm.FindControl(u"floater");
  EXPECT_EQ(floater->GetPos().left, 300);
  EXPECT_EQ(floater->GetPos().top, 260);
  btn->SetUserData(42);
  EXPECT_EQ(btn->GetUserData(), u"42");
  btn->SetTag(reinterpret_cast<UINT_PTR>(&w));
  EXPECT_EQ(btn->GetTag(), reinterpret_cast<UINT_PTR>(&w));
  DestroyWindow(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(w.finalCalled);
}

TEST_F(QenuiTest, BuilderCachesLayoutAndRejectsBadInput) {
  CDialogBuilder b;
  EXPECT_FALSE(b.GetMarkup()->IsValid());
  CControlUI* row1 = b.Create(u"wnd_xml/ROW.xml", nullptr, nullptr, nullptr);
  ASSERT_NE(row1, nullptr);
  EXPECT_TRUE(b.GetMarkup()->IsValid());
  CControlUI* row2 = b.Create(static_cast<IDialogBuilderCallback*>(nullptr), nullptr);
  ASSERT_NE(row2, nullptr);
  EXPECT_NE(row1, row2);
  EXPECT_NE(static_cast<CContainerUI*>(row2->GetInterface(u"Container"))->FindSubControl(u"row_btn"), nullptr);
  delete row1;
  delete row2;
  CDialogBuilder bad;
  EXPECT_EQ(bad.Create(u"wnd_xml/missing.xml"), nullptr);
  EXPECT_FALSE(bad.GetMarkup()->IsValid());
  std::u16string deep;
  for (int i = 0; i < 1000; ++i) deep += u"<Container>";
  for (int i = 0; i < 1000; ++i) deep += u"</Container>";
  for (const std::u16string& text : {std::u16string(u"<Window><Label></Window>"), std::u16string(u"<Label text=\"x></Label>"),
                                     std::u16string(u"<A/><B/>"), std::u16string(u"<Label text=x/>"), std::u16string(u""), deep}) {
    CDialogBuilder t;
    EXPECT_EQ(t.CreateFromText(text), nullptr) << CDuiString(text).Left(40).ToUtf8();
    EXPECT_FALSE(t.GetLastError().empty());
  }
}

TEST_F(QenuiTest, MarkupParserTable) {
  struct Case { const char16_t* in; const char* runs; };
  const Case cases[] = {
      {u"plain", "plain"},
      {u"<f 3>big</f> small", "[f3]big| small"},
      {u"{f 10}t{/f}", "[f10]t"},
      {u"{c #009900}ok{/c}", "[cFF009900]ok"},
      {u"a<n>b", "a|<n>|b"},
      {u"{a}link{/a}", "[a0]link"},
      {u"<<x>> {{y}", "<x>> {y}"},
      {u"<zz>kept", "<zz>kept"},
      {u"unclosed {f 1", "unclosed {f 1"},
  };
  for (const Case& c : cases) {
    TTextMarkup m = ParseTextMarkup(c.in);
    std::string out;
    for (auto& r : m.runs) {
      if (!out.empty()) out += "|";
      if (r.lineBreak) { out += "<n>"; continue; }
      if (r.font >= 0) out += "[f" + std::to_string(r.font) + "]";
      if (r.color) { char b[16]; snprintf(b, sizeof b, "[c%08X]", r.color); out += b; }
      if (r.link >= 0) out += "[a" + std::to_string(r.link) + "]";
      out += Utf16ToUtf8(r.text);
    }
    EXPECT_EQ(out, c.runs) << Utf16ToUtf8(c.in);
  }
  // Escaped phone or web text comes back unchanged as plain text.
  CDuiString evil(u"<f 1>{c #ff0000}<n>{a}");
  TTextMarkup m = ParseTextMarkup(EscapeMarkup(evil).str());
  ASSERT_EQ(m.runs.size(), 1u);
  EXPECT_EQ(m.runs[0].text, evil.str());
}

TEST_F(QenuiTest, TextWidthAndLinkNotification) {
  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  auto* label = static_cast<CLabelUI*>(w.PM().FindControl(u"titlelabel"));
  label->SetText(u"ab");
  label->SetFont(0);
  EXPECT_EQ(label->GetTextWidth(), 12);  // 2 ASCII at 12 px
  label->SetShowHtml(true);
  label->SetText(u"{f 10}中{/f}a");
  EXPECT_EQ(label->GetTextWidth(), 16 + 6);
  auto* root = static_cast<CContainerUI*>(w.PM().GetRoot());
  auto* text = new CTextUI;
  text->SetName(u"linktext");
  text->SetShowHtml(true);
  text->SetText(u"{a}go{/a}");
  text->SetFloat(true);
  text->SetAttribute(u"pos", u"0,260,100,280");
  root->Add(text);
  w.PM().NeedUpdate();
  CNotifyRecorder rec(&w.PM());
  DispatchNativeMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 270));
  DispatchNativeMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(3, 270));
  EXPECT_EQ(rec.Summary(), "link:linktext");
  CRecordingRenderTarget rt;
  PaintWindow(h, &rt, RECT());
  EXPECT_NE(rt.AllText().find(u"go"), std::u16string::npos);
  DestroyWindow(h);
}

TEST_F(QenuiTest, ImageStringsAndNineSliceDrawing) {
  struct Case { const char16_t* in; const char* file; RECT src; RECT corner; RECT dest; bool hasDest; };
  const Case cases[] = {
      {u"png/a.png", "png/a.png", {}, {}, {}, false},
      {u"file='png/btn.png' source='0,0,40,20' corner='4,4,4,4'", "png/btn.png", {0, 0, 40, 20}, {4, 4, 4, 4}, {}, false},
      {u"file='png/ICON_BIG_OK.png' dest='9,9,41,41'", "png/ICON_BIG_OK.png", {}, {}, {9, 9, 41, 41}, true},
      {u"file='x.png' corner='1,2,3,4' fade='128'", "x.png", {}, {1, 2, 3, 4}, {}, false},
  };
  for (const Case& c : cases) {
    TDrawInfo d = ParseDrawInfo(c.in);
    EXPECT_EQ(d.sFile.ToUtf8(), c.file);
    EXPECT_EQ(d.rcSource.right, c.src.right);
    EXPECT_EQ(d.rcCorner.left, c.corner.left);
    EXPECT_EQ(d.rcCorner.bottom, c.corner.bottom);
    EXPECT_EQ(d.bHasDest, c.hasDest);
    EXPECT_EQ(d.rcDest.right, c.dest.right);
  }
  EXPECT_EQ(ParseColor(u"#FF1F6FD1"), 0xFF1F6FD1u);
  EXPECT_EQ(ParseColor(u"#1F6FD1"), 0xFF1F6FD1u);
  EXPECT_EQ(ParseColor(u"0x80000000"), 0x80000000u);

  TImageInfo img;
  img.nX = 12;
  img.nY = 12;
  img.pixels.assign(144, 0xFF000000u);
  CRecordingRenderTarget rt;
  DrawImageSliced(&rt, img, MakeRect(0, 0, 100, 50), RECT(), MakeRect(4, 4, 4, 4), 255, false);
  ASSERT_EQ(rt.Ops().size(), 9u);  // four corners, four edges, the middle
  EXPECT_EQ(rt.Ops()[0].rc.right, 4);   // top-left corner keeps its size
  EXPECT_EQ(rt.Ops()[4].rc.left, 4);    // the middle stretches
  EXPECT_EQ(rt.Ops()[4].rc.right, 96);
  CRecordingRenderTarget hole;
  DrawImageSliced(&hole, img, MakeRect(0, 0, 100, 50), RECT(), MakeRect(4, 4, 4, 4), 255, true);
  EXPECT_EQ(hole.Ops().size(), 8u);
  CRecordingRenderTarget plain;
  DrawImageSliced(&plain, img, MakeRect(0, 0, 100, 50), MakeRect(0, 0, 6, 6), RECT(), 255, false);
  EXPECT_EQ(plain.Ops().size(), 1u);
}

TEST_F(QenuiTest, VerticalAndHorizontalLayoutSizes) {
  CDialogBuilder b;
  CControlUI* root = b.CreateFromText(
      u"<VerticalLayout childpadding=\"5\" inset=\"10,10,10,10\">"
      u"<Control name=\"fixed\" height=\"50\" padding=\"4,0,4,0\"/>"
      u"<Control name=\"grow\" minheight=\"30\"/>"
      u"<Control name=\"capped\" maxheight=\"20\" width=\"100\"/>"
      u"<HorizontalLayout name=\"row\" height=\"40\">"
      u"<Control name=\"left\" width=\"60\"/><Control name=\"mid\"/><Control name=\"right\" width=\"60\" maxwidth=\"40\"/>"
      u"</HorizontalLayout>"
      u"<Control name=\"hidden\" height=\"500\" visible=\"false\"/>"
      u"</VerticalLayout>");
  ASSERT_NE(root, nullptr);
  root->SetPos(MakeRect(0, 0, 300, 240));
  auto pos = [&](LPCTSTR n) {
    CControlUI* c = static_cast<CContainerUI*>(root)->FindSubControl(n);
    return c ? c->GetPos() : RECT();
  };
  struct Case { LPCTSTR name; long l, t, r, b; };
  // Inner 280x220 with 3 gaps of 5: fixed 50, row 40; "capped" would get half of
  // the 115 left but stops at 20, so "grow" takes the other 95.
  const Case cases[] = {
      {u"fixed", 14, 10, 286, 60},
      {u"grow", 10, 65, 290, 160},
      {u"capped", 10, 165, 110, 185},
      {u"row", 10, 190, 290, 230},
      {u"left", 10, 190, 70, 230},
      {u"mid", 70, 190, 250, 230},   // 280 - 60 - 40
      {u"right", 250, 190, 290, 230},
  };
  for (const Case& c : cases) {
    RECT r = pos(c.name);
    EXPECT_EQ(r.left, c.l) << CDuiString(c.name).ToUtf8();
    EXPECT_EQ(r.top, c.t) << CDuiString(c.name).ToUtf8();
    EXPECT_EQ(r.right, c.r) << CDuiString(c.name).ToUtf8();
    EXPECT_EQ(r.bottom, c.b) << CDuiString(c.name).ToUtf8();
  }
  delete root;
}

TEST_F(QenuiTest, StringFormatAndFontTable) {
  struct Case { CDuiString got; const char16_t* want; };
  CDuiString a, b, c, d, e, f;
  a.Format(u"%d-%u-%lu", -5, 7u, 123456789ul);
  b.Format(u"%s|%ls|%hs", u"宽", u"wide", "narrow");
  c.Format(u"%.2lfK/s", 3.14159);
  d.Format(u"%5s|%-3s|", u"ab", u"x");
  e.Format(u"%I64d %x %%", static_cast<long long>(1) << 40, 255u);
  f.Format(u"{f %d}%s{/f}", 10, u"链接");
  const Case cases[] = {{a, u"-5-7-123456789"}, {b, u"宽|wide|narrow"}, {c, u"3.14K/s"},
                        {d, u"   ab|x  |"}, {e, u"1099511627776 ff %"}, {f, u"{f 10}链接{/f}"}};
  for (const Case& k : cases) EXPECT_EQ(k.got, k.want);
  EXPECT_TRUE(u"abc" == CDuiString(u"abc"));
  EXPECT_EQ(CDuiString(u"Market_Index_Optn").CompareNoCase(u"market_index_optn"), 0);
  EXPECT_EQ(CDuiString::FromUtf8("Zelvik手游助手").ToUtf8(), "Zelvik手游助手");
  EXPECT_EQ(ParseInt(u"  42abc"), 42);

  TestWindow w;
  HWND h = w.Create(0, u"test", WS_POPUP, 0);
  TFontInfo* title = w.PM().GetFontInfo(10);
  EXPECT_EQ(title->iSize, 16);
  EXPECT_TRUE(title->bBold);
  EXPECT_EQ(title->tm.tmHeight, 20);  // fixed headless metrics: size + 4
  EXPECT_EQ(w.PM().GetFontInfo(99)->iSize, 12);  // unknown index: the default font
  DestroyWindow(h);
}

// Appends `n` rows of the test layout "row.xml" to the list.
static void AddRows(CListUI* list, CPaintManagerUI& pm, int n) {
  CDialogBuilder builder;
  for (int i = 0; i < n; ++i) {
    CControlUI* row = i == 0 ? builder.Create(u"WND_XML\\row.xml", nullptr, nullptr, &pm) : builder.Create(nullptr, &pm);
    ASSERT_NE(row, nullptr);
    row->SetUserData(i);
    ASSERT_TRUE(list->Add(row));
  }
  pm.UpdateLayout();
}

// A list of many rows lays out the rows in view (and the row holding the
// focus); every row has its place, and a row scrolled into view is laid
// out there and answers a click on what it holds.
TEST_F(QenuiTest, LongListRowsAreLaidOutWhereTheyAreSeen) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  ASSERT_NE(h, 0u);
  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  ASSERT_NE(list, nullptr);
  ASSERT_NO_FATAL_FAILURE(AddRows(list, w.PM(), 300));
  const auto button = [&](int i) {
    return static_cast<CContainerUI*>(list->GetItemAt(i)->GetInterface(u"Container"))->FindSubControl(u"row_btn");
  };
  // The rows in view and their buttons, and the place of every row.
  const auto check = [&](const char* when) {
    const RECT body = list->GetList()->GetPos();
    const long first_top = body.top - list->GetScrollPos().cy;
    for (int i = 0; i < list->GetCount(); ++i) {
      const RECT row = list->GetItemAt(i)->GetPos();
      ASSERT_EQ(row.top, first_top + 36 * i) << when << ", row " << i;
      ASSERT_EQ(row.Height(), 36) << when << ", row " << i;
      if (row.bottom <= body.top || row.top >= body.bottom) continue;
      const RECT b = button(i)->GetPos();
      EXPECT_EQ(b.right, row.right) << when << ", row " << i;
      EXPECT_EQ(b.Width(), 40) << when << ", row " << i;
      EXPECT_EQ(b.top, row.top) << when << ", row " << i;
    }
  };
  ASSERT_NO_FATAL_FAILURE(check("at the top"));
  list->EnsureVisible(250);
  ASSERT_NO_FATAL_FAILURE(check("scrolled down"));
  ASSERT_TRUE(ClickControl(button(250)));
  EXPECT_EQ(w.clicks.size(), 1u);
  EXPECT_EQ(w.clicks.back(), u"row_btn");
  // The row whose button holds the focus is laid out out of view as well.
  button(250)->SetFocus();
  ASSERT_EQ(w.PM().GetFocus(), button(250));
  list->SetScrollPos(MakeSize(0, 0));
  ASSERT_NO_FATAL_FAILURE(check("back at the top"));
  EXPECT_EQ(button(250)->GetPos().top, list->GetItemAt(250)->GetPos().top);
  EXPECT_EQ(button(250)->GetPos().right, list->GetItemAt(250)->GetPos().right);
  DestroyWindow(h);
}

// Emptying a list forgets the window's references into its rows (focus,
// hover, timers) and keeps those outside them; what was inside is deleted.
TEST_F(QenuiTest, RemovingEveryRowForgetsWhatWasInsideTheRows) {
  TestWindow w;
  HWND h = w.Create(0, u"t", WS_POPUP, 0);
  ASSERT_NE(h, 0u);
  auto* list = static_cast<CListUI*>(w.PM().FindControl(u"list"));
  ASSERT_NO_FATAL_FAILURE(AddRows(list, w.PM(), 3));
  auto* row = static_cast<CContainerUI*>(list->GetItemAt(1)->GetInterface(u"Container"));
  CControlUI* button = row->FindSubControl(u"row_btn");
  bool deleted = false;
  button->OnDestroy.push_back([&deleted](void*) { return deleted = true; });
  button->SetFocus();
  ASSERT_EQ(w.PM().GetFocus(), button);
  ASSERT_TRUE(w.PM().SetTimer(button, 5, 10));
  ASSERT_TRUE(w.PM().SetTimer(list, 6, 10));
  list->RemoveAll();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_TRUE(deleted);
  EXPECT_EQ(w.PM().GetFocus(), nullptr);
  EXPECT_TRUE(w.PM().KillTimer(list, 6));  // the list's own timer stays
  CControlUI* edit = w.PM().FindControl(u"edit");
  edit->SetFocus();
  ASSERT_NO_FATAL_FAILURE(AddRows(list, w.PM(), 1));
  list->RemoveAll();
  EXPECT_EQ(w.PM().GetFocus(), edit);  // a focus outside the rows stays
  host->Advance(50);  // the deleted button's timer is gone: nothing reaches it
  DestroyWindow(h);
}
