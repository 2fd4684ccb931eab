// The first-paint yardstick of the start-up benchmark: the smallest GTK3
// program that draws what the main window shows at its first paint in text:
// the caption band with the title and the search placeholder, and the
// navigation with its section and option texts and the connection box, in
// the main layout's fonts and sizes (the same face list and pixel sizes as
// our cairo renderer) on the same 1000x680 window, X11 back end. Like the
// main window, its close button turns red under the pointer (the benchmark's
// hover probe).
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 680;
constexpr const char* kFaces = "Noto Sans CJK SC,WenQuanYi Micro Hei";
// The close button: the last of the caption band's buttons (right inset 8).
constexpr GdkRectangle kCloseButton = {960, 9, 32, 32};

struct Text {
  const char* text;
  int x, y;  // top-left of the line
  int size;  // pixels
  bool bold;
  double r, g, b;
};

// The texts of the main window's first paint, at their places in the layout.
const Text kTexts[] = {
    {"Zelvik手游助手", 52, 14, 16, true, 1, 1, 1},
    {"应用市场搜索", 456, 17, 12, false, 0.53, 0.53, 0.53},
    {"我的手机", 16, 68, 12, false, 0.4, 0.4, 0.4},
    {"手机首页", 52, 102, 12, false, 0.13, 0.13, 0.13},
    {"应用", 52, 140, 12, false, 0.13, 0.13, 0.13},
    {"联系人", 52, 178, 12, false, 0.13, 0.13, 0.13},
    {"短信", 52, 216, 12, false, 0.13, 0.13, 0.13},
    {"图片", 52, 254, 12, false, 0.13, 0.13, 0.13},
    {"音乐", 52, 292, 12, false, 0.13, 0.13, 0.13},
    {"视频", 52, 330, 12, false, 0.13, 0.13, 0.13},
    {"应用市场", 16, 383, 12, false, 0.4, 0.4, 0.4},
    {"热门游戏", 52, 417, 12, false, 1, 1, 1},
    {"精选合集", 52, 455, 12, false, 0.13, 0.13, 0.13},
    {"游戏分类", 52, 493, 12, false, 0.13, 0.13, 0.13},
    {"游戏排行", 52, 531, 12, false, 0.13, 0.13, 0.13},
    {"请连接手机", 16, 613, 12, true, 0.13, 0.13, 0.13},
    {"我的手机", 64, 638, 12, false, 0.53, 0.53, 0.53},
};

bool g_close_hot = false;

void Fill(cairo_t* cr, double x, double y, double w, double h, double r, double g, double b) {
  cairo_set_source_rgb(cr, r, g, b);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

gboolean Draw(GtkWidget*, cairo_t* cr, gpointer) {
  Fill(cr, 0, 0, kWidth, kHeight, 0.96, 0.97, 0.98);
  Fill(cr, 0, 0, kWidth, 50, 0.12, 0.44, 0.82);        // caption band
  Fill(cr, 448, 10, 280, 30, 1, 1, 1);                  // search box
  Fill(cr, 0, 50, 176, kHeight - 50, 1, 1, 1);          // navigation
  Fill(cr, 8, 366, 160, 1, 0.89, 0.91, 0.93);           // its separator
  Fill(cr, 8, 407, 160, 36, 0.12, 0.44, 0.82);          // the selected store option
  Fill(cr, 8, 604, 160, 64, 0.96, 0.97, 0.98);          // the connection box
  Fill(cr, 16, 634, 144, 26, 1, 1, 1);                  // its button
  Fill(cr, 177, 50, kWidth - 177, 40, 1, 1, 1);         // the store page's toolbar
  if (g_close_hot) Fill(cr, kCloseButton.x, kCloseButton.y, kCloseButton.width, kCloseButton.height, 0.9, 0.22, 0.21);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  for (const Text& t : kTexts) {
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, kFaces);
    pango_font_description_set_absolute_size(font, t.size * PANGO_SCALE);
    pango_font_description_set_weight(font, t.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, t.text, -1);
    cairo_set_source_rgb(cr, t.r, t.g, t.b);
    cairo_move_to(cr, t.x, t.y);
    pango_cairo_show_layout(cr, layout);
  }
  g_object_unref(layout);
  return TRUE;
}

void SetCloseHot(GtkWidget* area, bool hot) {
  if (hot == g_close_hot) return;
  g_close_hot = hot;
  gtk_widget_queue_draw_area(area, kCloseButton.x, kCloseButton.y, kCloseButton.width, kCloseButton.height);
}

gboolean Motion(GtkWidget* area, GdkEventMotion* event, gpointer) {
  const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
  SetCloseHot(area, x >= kCloseButton.x && x < kCloseButton.x + kCloseButton.width && y >= kCloseButton.y &&
                        y < kCloseButton.y + kCloseButton.height);
  return FALSE;
}

gboolean Leave(GtkWidget* area, GdkEventCrossing*, gpointer) {
  SetCloseHot(area, false);
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  gdk_set_allowed_backends("x11");
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_window_set_title(GTK_WINDOW(window), "Zelvik手游助手");
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
  g_signal_connect(area, "draw", G_CALLBACK(Draw), nullptr);
  g_signal_connect(area, "motion-notify-event", G_CALLBACK(Motion), nullptr);
  g_signal_connect(area, "leave-notify-event", G_CALLBACK(Leave), nullptr);
  gtk_container_add(GTK_CONTAINER(window), area);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
