// The memory yardstick of the start-up benchmark: the smallest WebKitGTK
// program that shows a web page in a 1000x680 window (X11 back end), given
// the page's address; the benchmark points it at the store home page of the
// same loopback market site the program shows.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

int main(int argc, char** argv) {
  gdk_set_allowed_backends("x11");
  gtk_init(&argc, &argv);
  if (argc < 2) {
    g_printerr("usage: minimal_webkit_window <address>\n");
    return 2;
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1000, 680);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
