// The hover-text button, the link text, the group line, the thumbnail
// placement and painting, and the check-box row.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "ui/controls/tests/controls_fixture.h"

namespace controls_test {
namespace {

TEST_F(ControlsTest, ButtonStateShowsItsHotTextOnlyWhenItHasOne) {
  auto* btn = static_cast<CButtonStateUI*>(wnd.PM().FindControl(u"state_btn"));
  auto* plain = static_cast<CButtonStateUI*>(wnd.PM().FindControl(u"plain_state_btn"));
  HoverControl(btn);
  EXPECT_EQ(btn->GetText(), u"立即安装");
  HoverControl(plain);
  EXPECT_EQ(btn->GetText(), u"安装");
  EXPECT_EQ(plain->GetText(), u"安装");
  btn->SetText(u"重试");
  EXPECT_EQ(btn->GetNormalText(), u"重试");
  HoverControl(btn);
  HoverControl(plain);
  EXPECT_EQ(btn->GetText(), u"重试");
}

TEST_F(ControlsTest, LinkTextUsesItsLinkFontWhileHot) {
  auto* link = static_cast<CLinkTextUI*>(wnd.PM().FindControl(u"link"));
  EXPECT_EQ(link->GetLinkFont(), 10);
  HoverControl(link);
  EXPECT_EQ(link->GetText(), u"{f 10}abc{/f}");
  HoverControl(wnd.PM().FindControl(u"state_btn"));
  EXPECT_EQ(link->GetText(), u"abc");
}

TEST_F(ControlsTest, GroupDrawsItsLineAcrossTheTopEdge) {
  auto* group = static_cast<CListGroudUI*>(wnd.PM().FindControl(u"group"));
  wnd.PM().UpdateLayout();
  EXPECT_EQ(group->GetLineColor(), 0xFF00FF00u);
  EXPECT_EQ(group->GetLine()->GetBkColor(), 0xFF00FF00u);
  const RECT& rc = group->GetPos();
  const RECT& line = group->GetLine()->GetPos();
  EXPECT_EQ(line.top, rc.top);
  EXPECT_EQ(line.bottom, rc.top + 1);
  EXPECT_EQ(line.left, rc.left);
  EXPECT_EQ(line.right, rc.right);
  EXPECT_EQ(CListGroudUI().GetLineColor(), 0xFF050000u);
}

TEST(PlaceThumbnail, LargerPicturesAreCroppedAroundTheCentreSmallerOnesCentred) {
  struct Case { int w, h, W, H; RECT dest, source; };
  const Case cases[] = {
      {200, 100, 100, 100, MakeRect(0, 0, 100, 100), MakeRect(50, 0, 150, 100)},
      {50, 50, 100, 100, MakeRect(25, 25, 75, 75), MakeRect(0, 0, 50, 50)},
      {200, 50, 100, 100, MakeRect(0, 25, 100, 75), MakeRect(50, 0, 150, 50)},
      {50, 200, 100, 100, MakeRect(25, 0, 75, 100), MakeRect(0, 50, 50, 150)},
      {300, 200, 100, 100, MakeRect(0, 0, 100, 100), MakeRect(50, 0, 250, 200)},
      {100, 100, 100, 100, MakeRect(0, 0, 100, 100), MakeRect(0, 0, 100, 100)},
      {0, 100, 100, 100, RECT(), RECT()},
      {100, 100, 0, 100, RECT(), RECT()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.W << "x" << c.H);
    ThumbnailPlacement p = PlaceThumbnail(c.w, c.h, c.W, c.H);
    EXPECT_EQ(Str(p.dest), Str(c.dest));
    EXPECT_EQ(Str(p.source), Str(c.source));
  }
}

// Writes a w x h opaque PNG to a temporary file; returns its path.
std::string WritePng(int w, int h) {
  char path[] = "/tmp/thumb_test_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return {};
  close(fd);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGBA;
  std::vector<png_byte> pixels(static_cast<size_t>(w) * h * 4, 0xFF);
  if (!png_image_write_to_file(&image, path, 0, pixels.data(), 0, nullptr)) return {};
  return path;
}

TEST_F(ControlsTest, ThumbnailPaintsAFileCroppedAndASkinPictureTheLibrarysWay) {
  auto* thumb = static_cast<CThumbnailImageUI*>(wnd.PM().FindControl(u"thumb"));
  wnd.PM().UpdateLayout();
  const RECT rc = thumb->GetPos();
  const std::string file = WritePng(200, 50);
  ASSERT_FALSE(file.empty());
  thumb->SetBkImage(CDuiString::FromUtf8(file));
  CRecordingRenderTarget target;
  thumb->PaintBkImage(&target);
  ASSERT_EQ(target.Ops().size(), 1u);
  EXPECT_EQ(target.Ops()[0].kind, 'I');
  EXPECT_EQ(Str(target.Ops()[0].rc), Str(MakeRect(rc.left, rc.top + 25, rc.left + 100, rc.top + 75)));
  unlink(file.c_str());

  // A picture of the skin is stretched over the control, as the library's image control does.
  CThumbnailImageUI skinThumb;
  skinThumb.SetBkImage(u"png/dot.png");
  skinThumb.SetPos(rc, false);
  CRecordingRenderTarget skin;
  skinThumb.PaintBkImage(&skin);
  ASSERT_EQ(skin.Ops().size(), 1u);
  EXPECT_EQ(Str(skin.Ops()[0].rc), Str(rc));
}

TEST_F(ControlsTest, CheckBoxRowTogglesItsBoxOnClickAndKeepsTheLayerOfACheckedRow) {
  CDialogBuilder builder;
  auto* row = new CListContainerElementMultUI;
  builder.CreateFromText(
      u"<HorizontalLayout><CheckBox name=\"checkbox\" width=\"20\" visible=\"false\"/>"
      u"<Label name=\"titlelabel\" visible=\"false\"/><Label name=\"selectlabel\" width=\"5\" visible=\"false\"/>"
      u"</HorizontalLayout>",
      nullptr, &wnd.PM(), row);
  row->SetFixedHeight(30);
  list->Add(row);
  wnd.PM().UpdateLayout();
  auto* box = static_cast<CCheckBoxUI*>(row->FindSubControl(u"checkbox"));
  HoverControl(row);
  EXPECT_TRUE(box->IsVisible());
  EXPECT_TRUE(row->FindSubControl(u"titlelabel")->IsVisible());
  ClickControl(row);
  EXPECT_TRUE(box->GetCheck());
  EXPECT_TRUE(row->FindSubControl(u"selectlabel")->IsVisible());
  TEventUI leave;
  leave.Type = UIEVENT_MOUSELEAVE;
  row->DoEvent(leave);
  EXPECT_TRUE(row->FindSubControl(u"titlelabel")->IsVisible());  // checked: the layer stays
  ClickControl(row);
  EXPECT_FALSE(box->GetCheck());
  row->DoEvent(leave);
  EXPECT_FALSE(row->FindSubControl(u"titlelabel")->IsVisible());
}

}  // namespace
}  // namespace controls_test
