// Shell services of the GTK host: message boxes, file and folder choosers,
// "open" through GIO's default handler, and the tray.
#include <gio/gio.h>

#include <cstdio>
#include <cstring>

#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkTray.h"

namespace DuiLib {

namespace {

GtkWindow* OwnerWindow(CGtkHost* host, HWND owner) {
  GtkWidget* w = host->NativeWindow(owner);
  return w ? GTK_WINDOW(w) : nullptr;
}

// Runs a dialog in a nested GTK loop; posted messages and timers keep flowing.
int RunDialog(CGtkHost* host, GtkWidget* dialog) {
  host->ArmDrainForNestedLoop();
  return gtk_dialog_run(GTK_DIALOG(dialog));
}

// "*.jpg;*.png" → patterns for both letter cases (GTK matches case-sensitively).
void AddPatterns(GtkFileFilter* filter, const CDuiString& patterns) {
  std::string all = patterns.ToUtf8();
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(';', start);
    if (end == std::string::npos) end = all.size();
    std::string p = all.substr(start, end - start);
    while (!p.empty() && p.front() == ' ') p.erase(0, 1);
    while (!p.empty() && p.back() == ' ') p.pop_back();
    if (!p.empty()) {
      std::string upper = p, lower = p;
      for (auto& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      for (auto& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      gtk_file_filter_add_pattern(filter, lower.c_str());
      if (upper != lower) gtk_file_filter_add_pattern(filter, upper.c_str());
    }
    start = end + 1;
  }
}

}  // namespace

int CGtkHost::MessageBox(HWND hOwner, const CDuiString& text, const CDuiString& caption, UINT type) {
  GtkMessageType kind = GTK_MESSAGE_INFO;
  UINT icon = type & 0xF0;
  if (icon == MB_ICONERROR) kind = GTK_MESSAGE_ERROR;
  else if (icon == MB_ICONWARNING) kind = GTK_MESSAGE_WARNING;
  else if (icon == MB_ICONQUESTION) kind = GTK_MESSAGE_QUESTION;
  UINT buttons = type & 0x0F;
  GtkWidget* d = gtk_message_dialog_new(OwnerWindow(this, hOwner), GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE, "%s",
                                        text.ToUtf8().c_str());
  gtk_window_set_title(GTK_WINDOW(d), caption.ToUtf8().c_str());
  if (buttons == MB_YESNO) {
    gtk_dialog_add_button(GTK_DIALOG(d), "否", IDNO);
    gtk_dialog_add_button(GTK_DIALOG(d), "是", IDYES);
  } else if (buttons == MB_OKCANCEL) {
    gtk_dialog_add_button(GTK_DIALOG(d), "取消", IDCANCEL);
    gtk_dialog_add_button(GTK_DIALOG(d), "确定", IDOK);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(d), "确定", IDOK);
  }
  int r = RunDialog(this, d);
  gtk_widget_destroy(d);
  if (r == IDOK || r == IDCANCEL || r == IDYES || r == IDNO) return r;
  // Closed by the window manager: the box's "no" answer.
  return buttons == MB_YESNO ? IDNO : buttons == MB_OKCANCEL ? IDCANCEL : IDOK;
}

bool CGtkHost::ChooseFiles(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths) {
  if (!paths) return false;
  paths->clear();
  GtkFileChooserAction action = request.bSave ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
  GtkWidget* d = gtk_file_chooser_dialog_new(request.sTitle.ToUtf8().c_str(), OwnerWindow(this, hOwner), action,
                                             "取消", GTK_RESPONSE_CANCEL, request.bSave ? "保存" : "打开",
                                             GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* fc = GTK_FILE_CHOOSER(d);
  gtk_file_chooser_set_local_only(fc, TRUE);
  if (request.bSave) {
    gtk_file_chooser_set_do_overwrite_confirmation(fc, TRUE);
    if (!request.sFileName.IsEmpty()) gtk_file_chooser_set_current_name(fc, request.sFileName.ToUtf8().c_str());
  } else {
    gtk_file_chooser_set_select_multiple(fc, request.bMultiSelect);
  }
  if (!request.sPattern.IsEmpty()) {
    GtkFileFilter* f = gtk_file_filter_new();
    gtk_file_filter_set_name(f, (request.sFilterName.IsEmpty() ? request.sPattern : request.sFilterName).ToUtf8().c_str());
    AddPatterns(f, request.sPattern);
    gtk_file_chooser_add_filter(fc, f);
  }
  if (RunDialog(this, d) == GTK_RESPONSE_ACCEPT) {
    GSList* files = gtk_file_chooser_get_filenames(fc);
    for (GSList* l = files; l; l = l->next) {
      paths->push_back(CDuiString::FromUtf8(static_cast<char*>(l->data)));
      g_free(l->data);
    }
    g_slist_free(files);
  }
  gtk_widget_destroy(d);
  return !paths->empty();
}

bool CGtkHost::ChooseFolder(HWND hOwner, const CDuiString& title, CDuiString* folder) {
  if (!folder) return false;
  GtkWidget* d = gtk_file_chooser_dialog_new(title.ToUtf8().c_str(), OwnerWindow(this, hOwner),
                                             GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "取消", GTK_RESPONSE_CANCEL,
                                             "选择", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(d), TRUE);
  if (!folder->IsEmpty()) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(d), folder->ToUtf8().c_str());
  bool ok = false;
  if (RunDialog(this, d) == GTK_RESPONSE_ACCEPT) {
    if (char* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d))) {
      *folder = CDuiString::FromUtf8(name);
      g_free(name);
      ok = true;
    }
  }
  gtk_widget_destroy(d);
  return ok;
}

bool CGtkHost::ShellOpen(const CDuiString& target) {
  std::string t = target.ToUtf8();
  if (t.empty()) return false;
  // An address opens with its scheme's handler, a file or folder with the
  // handler of its type; the target is one argument, whatever it holds.
  std::string uri = t;
  if (char* scheme = g_uri_parse_scheme(t.c_str())) {
    g_free(scheme);
  } else {
    GFile* file = g_file_new_for_path(t.c_str());
    char* fileUri = g_file_get_uri(file);
    uri = fileUri;
    g_free(fileUri);
    g_object_unref(file);
  }
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
    std::fprintf(stderr, "qenui: cannot open %s: %s\n", t.c_str(), error ? error->message : "no handler");
    g_clear_error(&error);
    return false;
  }
  return true;
}

bool CGtkHost::TrayIcon(UINT op, const TTrayIcon& icon) {
  if (!m_tray) m_tray = std::make_unique<CGtkTray>();
  return m_tray->Apply(op, icon);
}

bool CGtkHost::TrayEmbedded() const { return m_tray && m_tray->Embedded(); }
GtkStatusIcon* CGtkHost::TrayStatusIcon(UINT id) const { return m_tray ? m_tray->StatusIcon(id) : nullptr; }

}  // namespace DuiLib
