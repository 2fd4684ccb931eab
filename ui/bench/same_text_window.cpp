// The yardstick of the start-up benchmark: the smallest GTK3 program that
// shows a painted window (X11 back end, as the program uses).
#include <gtk/gtk.h>

int main(int argc, char** argv) {
  gdk_set_allowed_backends("x11");
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 960, 640);
  gtk_window_set_title(GTK_WINDOW(window), "minimal");
  GtkWidget* area = gtk_drawing_area_new();
  g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
                     cairo_set_source_rgb(cr, 0.2, 0.5, 0.9);
                     cairo_paint(cr);
                     return TRUE;
                   }),
                   nullptr);
  gtk_container_add(GTK_CONTAINER(window), area);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
