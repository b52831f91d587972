#include "window/shortcuts.h"

#include <gtk/gtk.h>

#include "browser/find_bar.h"
#include "browser/zoom.h"
#include "logins/saved_logins_window.h"
#include "window/form_html.h"
#include "window/kept_data_commands.h"
#include "window/page_tools.h"
#include "window/private_window.h"
#include "window/settings_command.h"

namespace {

using Command = void (*)(TFormHTML&);
// Whether a key is the window's now; a key that is not goes on to the focused
// control or the page.
using Condition = bool (*)(TFormHTML&);

void Reload(TFormHTML& f) { f.CppWebBrowser1->Refresh(); }
void ReloadBypassingCache(TFormHTML& f) { f.CppWebBrowser1->RefreshBypassingCache(); }
void Back(TFormHTML& f) { f.CppWebBrowser1->GoBack(); }
void Forward(TFormHTML& f) { f.CppWebBrowser1->GoForward(); }
void Home(TFormHTML& f) { f.CppWebBrowser1->GoHome(); }
void Stop(TFormHTML& f) { f.CppWebBrowser1->Stop(); }
void Close(TFormHTML& f) { f.close(); }  // as the close button does
void Print(TFormHTML& f) { f.CppWebBrowser1->Print(); }
void Find(TFormHTML& f) { f.CppWebBrowser1->FindBar().Open(); }
void FindNext(TFormHTML& f) { f.CppWebBrowser1->FindBar().Next(); }
void FindPrevious(TFormHTML& f) { f.CppWebBrowser1->FindBar().Previous(); }
void ZoomIn(TFormHTML& f) { f.CppWebBrowser1->Zoom().In(); }
void ZoomOut(TFormHTML& f) { f.CppWebBrowser1->Zoom().Out(); }
void ZoomReset(TFormHTML& f) { f.CppWebBrowser1->Zoom().Reset(); }
void SavedLogins(TFormHTML& f) { ShowSavedLogins(&f); }

void FocusAddress(TFormHTML& f) {
  f.EditURL->grab_focus();
  f.EditURL->select_region(0, -1);
}

// Escape in a strip above or below the page (find, a script's dialog, a
// download, a permission question) is the strip's; elsewhere it stops a load,
// and with nothing loading it belongs to the page.
bool LoadToStop(TFormHTML& f) {
  TCppWebBrowser& browser = *f.CppWebBrowser1;
  Gtk::Widget* focus = f.get_focus();
  const bool in_strip = focus != nullptr &&
                        focus->gobj() != reinterpret_cast<GtkWidget*>(browser.View()) &&
                        focus->is_ancestor(browser);
  return !in_strip && browser.Loading();
}

struct Shortcut {
  guint keyval;  // lower case
  guint modifiers;
  Command command;
  Condition when = nullptr;  // null: always
};

constexpr guint kCtrl = GDK_CONTROL_MASK;
constexpr guint kShift = GDK_SHIFT_MASK;
constexpr guint kAlt = GDK_MOD1_MASK;

constexpr Shortcut kShortcuts[] = {
    {GDK_KEY_F5, 0, Reload},
    {GDK_KEY_r, kCtrl, Reload},
    {GDK_KEY_F5, kShift, ReloadBypassingCache},
    {GDK_KEY_r, kCtrl | kShift, ReloadBypassingCache},
    {GDK_KEY_Left, kAlt, Back},
    {GDK_KEY_KP_Left, kAlt, Back},
    {GDK_KEY_Right, kAlt, Forward},
    {GDK_KEY_KP_Right, kAlt, Forward},
    {GDK_KEY_Home, kAlt, Home},
    {GDK_KEY_KP_Home, kAlt, Home},
    {GDK_KEY_l, kCtrl, FocusAddress},
    {GDK_KEY_F6, 0, FocusAddress},
    {GDK_KEY_d, kAlt, FocusAddress},
    {GDK_KEY_Escape, 0, Stop, LoadToStop},
    {GDK_KEY_w, kCtrl, Close},
    {GDK_KEY_f, kCtrl, Find},
    {GDK_KEY_F3, 0, FindNext},
    {GDK_KEY_g, kCtrl, FindNext},
    {GDK_KEY_F3, kShift, FindPrevious},
    {GDK_KEY_g, kCtrl | kShift, FindPrevious},
    // Plus is shifted on most layouts and not on some.
    {GDK_KEY_plus, kCtrl | kShift, ZoomIn},
    {GDK_KEY_plus, kCtrl, ZoomIn},
    {GDK_KEY_equal, kCtrl, ZoomIn},
    {GDK_KEY_KP_Add, kCtrl, ZoomIn},
    {GDK_KEY_minus, kCtrl, ZoomOut},
    {GDK_KEY_KP_Subtract, kCtrl, ZoomOut},
    {GDK_KEY_0, kCtrl, ZoomReset},
    {GDK_KEY_KP_0, kCtrl, ZoomReset},
    {GDK_KEY_p, kCtrl, Print},
    {GDK_KEY_p, kCtrl | kShift, SavedLogins},
    {GDK_KEY_d, kCtrl, OfferBookmark},
    {GDK_KEY_h, kCtrl, ShowHistory},
    {GDK_KEY_Delete, kCtrl | kShift, AskToClearData},
    {GDK_KEY_KP_Delete, kCtrl | kShift, AskToClearData},
    {GDK_KEY_comma, kCtrl, ShowSettings},
    {GDK_KEY_n, kCtrl | kShift, OpenPrivateWindow},
    {GDK_KEY_i, kCtrl, ShowPageInformation},
    {GDK_KEY_s, kCtrl, SavePage},
    {GDK_KEY_s, kCtrl | kShift, SavePicture},
    {GDK_KEY_F12, 0, InspectPage, CanInspect},
    {GDK_KEY_i, kCtrl | kShift, InspectPage, CanInspect},
};

struct MouseButton {
  guint button;
  Command command;
};

constexpr MouseButton kMouseButtons[] = {{8, Back}, {9, Forward}};

bool KeyPressed(TFormHTML& form, GdkEventKey& key) {
  if (form.CppWebBrowser1->RedeliverReturnedKey(&key)) return true;
  const guint keyval = gdk_keyval_to_lower(key.keyval);
  const guint modifiers = key.state & (kCtrl | kShift | kAlt);
  for (const Shortcut& s : kShortcuts) {
    if (s.keyval != keyval || s.modifiers != modifiers) continue;
    if (s.when != nullptr && !s.when(form)) return false;
    s.command(form);
    return true;
  }
  return false;
}

// Seen in the capture phase, before the page, which would take every button.
void ButtonPressed(GtkGestureMultiPress* gesture, gint, gdouble, gdouble, TFormHTML* form) {
  const guint button = gtk_gesture_single_get_current_button(GTK_GESTURE_SINGLE(gesture));
  for (const MouseButton& b : kMouseButtons) {
    if (b.button != button) continue;
    gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_CLAIMED);
    b.command(*form);
    return;
  }
  gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_DENIED);
}

}  // namespace

void BindShortcuts(TFormHTML& form) {
  form.signal_key_press_event().connect(
      [&form](GdkEventKey* key) { return KeyPressed(form, *key); }, false);
  GtkGesture* buttons = gtk_gesture_multi_press_new(GTK_WIDGET(form.gobj()));
  gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(buttons), 0);
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(buttons), GTK_PHASE_CAPTURE);
  g_signal_connect(buttons, "pressed", G_CALLBACK(ButtonPressed), &form);
  // The gesture lives as long as the window.
  g_object_set_data_full(G_OBJECT(form.gobj()), "tavorin-mouse-buttons", buttons, g_object_unref);
}
