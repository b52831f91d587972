#include "private/file_chooser.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

namespace {

// Not one of the toolkit's accepting answers: those make the chooser note
// the files in the recent files before it answers.
constexpr int kChoose = 1;

std::vector<std::string> Chosen(GtkFileChooser* chooser) {
  std::vector<std::string> files;
  GSList* names = gtk_file_chooser_get_filenames(chooser);
  for (GSList* n = names; n != nullptr; n = n->next) {
    files.emplace_back(static_cast<char*>(n->data));
    g_free(n->data);
  }
  g_slist_free(names);
  return files;
}

// The page's request, answered once: by the user, or cancelled when the
// dialog goes with its window first.
constexpr char kRequest[] = "tavorin-file-request";

void Answered(GtkDialog* dialog, int response, gpointer) {
  auto* chooser = GTK_FILE_CHOOSER(dialog);
  std::vector<std::string> files;
  if (response == kChoose) files = Chosen(chooser);
  // A folder chosen is opened, as the toolkit's own answer does.
  if (files.size() == 1 && g_file_test(files.front().c_str(), G_FILE_TEST_IS_DIR)) {
    gtk_file_chooser_set_current_folder(chooser, files.front().c_str());
    return;
  }
  auto* request =
      static_cast<WebKitFileChooserRequest*>(g_object_steal_data(G_OBJECT(dialog), kRequest));
  if (request == nullptr) return;
  if (files.empty()) {
    webkit_file_chooser_request_cancel(request);
  } else {
    std::vector<const char*> names;
    for (const std::string& file : files) names.push_back(file.c_str());
    names.push_back(nullptr);
    webkit_file_chooser_request_select_files(request, names.data());
  }
  g_object_unref(request);
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

gboolean RunFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request, gpointer) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "ファイルの選択", GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr,
      GTK_FILE_CHOOSER_ACTION_OPEN, "キャンセル", GTK_RESPONSE_CANCEL, "開く", kChoose, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), kChoose);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(dialog),
                                       webkit_file_chooser_request_get_select_multiple(request));
  if (GtkFileFilter* filter = webkit_file_chooser_request_get_mime_types_filter(request)) {
    gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(dialog), filter);
  }
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  g_object_set_data_full(G_OBJECT(dialog), kRequest, g_object_ref(request), [](gpointer left) {
    auto* request = static_cast<WebKitFileChooserRequest*>(left);
    webkit_file_chooser_request_cancel(request);
    g_object_unref(request);
  });
  g_signal_connect(dialog, "response", G_CALLBACK(Answered), nullptr);
  gtk_widget_show(dialog);
  return TRUE;
}

}  // namespace

void KeepUploadsOutOfRecentFiles(WebKitWebView* view) {
  if (!webkit_web_view_is_ephemeral(view)) return;
  g_signal_connect(view, "run-file-chooser", G_CALLBACK(RunFileChooser), nullptr);
}
