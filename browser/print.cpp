#include <webkit2/webkit2.h>

#include "browser/cpp_web_browser.h"

namespace {

void Finished(WebKitPrintOperation* operation, gpointer) { g_object_unref(operation); }

}  // namespace

// The desktop's print dialog for the page, as the page's own print() shows it.
void TCppWebBrowser::Print() {
  WebKitPrintOperation* operation = webkit_print_operation_new(View());
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(gobj()));
  GtkWindow* parent = gtk_widget_is_toplevel(toplevel) ? GTK_WINDOW(toplevel) : nullptr;
  if (webkit_print_operation_run_dialog(operation, parent) ==
      WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    // Printing goes on after the dialog; the operation lives until it ends.
    g_signal_connect(operation, "finished", G_CALLBACK(Finished), nullptr);
  } else {
    g_object_unref(operation);
  }
}
