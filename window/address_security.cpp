#include "window/address_security.h"

#include <webkit2/webkit2.h>

#include "page_info/security.h"
#include "window/form_html.h"
#include "window/page_tools.h"

namespace {

struct Mark {
  Security security;
  const char* icon;
  const char* words;  // its tooltip and accessible name
};

constexpr Mark kMarks[] = {
    {Security::kSecure, "channel-secure-symbolic", "保護された通信"},
    {Security::kNotSecure, "dialog-warning-symbolic", "保護されていない通信"},
};

void NameIcon(Gtk::Entry& box, const char* words) {
  AtkObject* accessible = gtk_widget_get_accessible(GTK_WIDGET(box.gobj()));
  if (atk_object_get_n_accessible_children(accessible) == 0) return;
  AtkObject* icon = atk_object_ref_accessible_child(accessible, 0);  // the primary one
  if (icon == nullptr) return;
  atk_object_set_name(icon, words);
  atk_object_set_description(icon, "クリックするとページの情報を開きます");
  g_object_unref(icon);
}

// The window of `view`, looked up each time: the view may outlive it.
TFormHTML* FormOf(WebKitWebView* view) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return GTK_IS_WINDOW(top) ? dynamic_cast<TFormHTML*>(Glib::wrap(GTK_WINDOW(top))) : nullptr;
}

void Show(WebKitWebView* view) {
  TFormHTML* form = FormOf(view);
  if (form == nullptr || form->CppWebBrowser1->View() != view) return;
  Gtk::Entry& box = *form->EditURL;
  const Security security = SecurityOf(view);
  // A page moving within itself many times must not redraw the mark each time.
  constexpr char kShown[] = "tavorin-security-shown";
  const auto shown = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(box.gobj()), kShown));
  if (shown == static_cast<int>(security) + 1) return;
  g_object_set_data(G_OBJECT(box.gobj()), kShown, GINT_TO_POINTER(static_cast<int>(security) + 1));
  for (const Mark& mark : kMarks) {
    if (mark.security != security) continue;
    box.set_icon_from_icon_name(mark.icon, Gtk::ENTRY_ICON_PRIMARY);
    box.set_icon_tooltip_text(mark.words, Gtk::ENTRY_ICON_PRIMARY);
    NameIcon(box, mark.words);
    return;
  }
  box.unset_icon(Gtk::ENTRY_ICON_PRIMARY);
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent, gpointer) { Show(view); }
void UriChanged(WebKitWebView* view, GParamSpec*, gpointer) { Show(view); }
void InsecureContent(WebKitWebView* view, WebKitInsecureContentEvent, gpointer) { Show(view); }

}  // namespace

void ShowSecurityInAddressBox(TFormHTML& form) {
  WebKitWebView* view = form.CppWebBrowser1->View();
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
  g_signal_connect(view, "notify::uri", G_CALLBACK(UriChanged), nullptr);
  g_signal_connect(view, "insecure-content-detected", G_CALLBACK(InsecureContent), nullptr);
  form.EditURL->signal_icon_press().connect(
      [&form](Gtk::EntryIconPosition, const GdkEventButton*) { ShowPageInformation(form); });
  Show(view);
}
