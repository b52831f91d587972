// Answers the application's modal message boxes from inside a test: while a
// DialogCloser lives, a timer finds each visible GtkMessageDialog among the
// toplevels, records it and responds to it, so the code that ran the box
// returns.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct SeenDialog {
  std::string title;
  std::string text;       // the primary text
  std::string secondary;  // empty when the box has none
  GtkMessageType type = GTK_MESSAGE_OTHER;
  // Other visible toplevels that were still sensitive while the box was up.
  int sensitive_others = 0;
};

class DialogCloser {
 public:
  explicit DialogCloser(GtkResponseType response = GTK_RESPONSE_OK, guint interval_ms = 10)
      : response_(response), source_(g_timeout_add(interval_ms, &DialogCloser::Tick, this)) {}
  ~DialogCloser() { g_source_remove(source_); }
  DialogCloser(const DialogCloser&) = delete;
  DialogCloser& operator=(const DialogCloser&) = delete;

  // Called with each box before it is answered, e.g. to look at the focus.
  void OnShown(std::function<void(GtkWindow*)> inspect) { inspect_ = std::move(inspect); }

  const std::vector<SeenDialog>& seen() const { return seen_; }

 private:
  static constexpr const char* kAnswered = "testsupport-dialog-answered";

  static gboolean Tick(gpointer self) {
    static_cast<DialogCloser*>(self)->AnswerVisible();
    return G_SOURCE_CONTINUE;
  }

  static int SensitiveOthers(GList* toplevels, GtkWidget* dialog) {
    int count = 0;
    for (GList* l = toplevels; l != nullptr; l = l->next) {
      auto* w = GTK_WIDGET(l->data);
      if (w != dialog && gtk_widget_get_visible(w) && gtk_widget_get_sensitive(w)) ++count;
    }
    return count;
  }

  static SeenDialog Describe(GtkWidget* dialog, GList* toplevels) {
    SeenDialog seen;
    const gchar* title = gtk_window_get_title(GTK_WINDOW(dialog));
    seen.title = title != nullptr ? title : "";
    gchar* text = nullptr;
    gchar* secondary = nullptr;
    g_object_get(dialog, "text", &text, "secondary-text", &secondary, "message-type", &seen.type,
                 nullptr);
    seen.text = text != nullptr ? text : "";
    seen.secondary = secondary != nullptr ? secondary : "";
    g_free(text);
    g_free(secondary);
    seen.sensitive_others = SensitiveOthers(toplevels, dialog);
    return seen;
  }

  void AnswerVisible() {
    GList* toplevels = gtk_window_list_toplevels();
    std::vector<GtkWidget*> answer;
    for (GList* l = toplevels; l != nullptr; l = l->next) {
      auto* w = GTK_WIDGET(l->data);
      if (!GTK_IS_MESSAGE_DIALOG(w) || !gtk_widget_get_mapped(w)) continue;
      if (g_object_get_data(G_OBJECT(w), kAnswered) != nullptr) continue;
      g_object_set_data(G_OBJECT(w), kAnswered, GINT_TO_POINTER(1));
      seen_.push_back(Describe(w, toplevels));
      answer.push_back(GTK_WIDGET(g_object_ref(w)));
    }
    g_list_free(toplevels);
    for (GtkWidget* w : answer) {
      if (inspect_) inspect_(GTK_WINDOW(w));
      gtk_dialog_response(GTK_DIALOG(w), response_);
      g_object_unref(w);
    }
  }

  GtkResponseType response_;
  guint source_;
  std::function<void(GtkWindow*)> inspect_;
  std::vector<SeenDialog> seen_;
};

}  // namespace testsupport
