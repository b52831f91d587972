// Helpers for the navigation and new-window tests: a recorder that stops
// navigations at the engine's decision, a local proxy that catches any request
// that would otherwise leave the machine, real pointer clicks and page scripts.
#pragma once

#include <gtkmm/menuitem.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser/web_context.h"
#include "tests/support/form_fixture.h"
#include "tests/support/widget_search.h"
#include "tests/support/x_input.h"  // last: the X headers define Button1 and more

namespace navtest {

// Records each navigation that the engine is about to make in `view` and,
// unless `let_through` accepts its address, stops it there. Connected after
// the component's own handler, so it runs only when the program let the
// navigation pass. Each record also goes to `log`, when given, as
// "decide:<uri>".
class NavigationStopper {
 public:
  using Filter = std::function<bool(const std::string& uri)>;

  explicit NavigationStopper(WebKitWebView* view, Filter let_through = nullptr,
                             std::vector<std::string>* log = nullptr)
      : view_(WEBKIT_WEB_VIEW(g_object_ref(view))),
        let_through_(std::move(let_through)),
        log_(log) {
    id_ = g_signal_connect(view_, "decide-policy", G_CALLBACK(&NavigationStopper::Decide), this);
  }
  ~NavigationStopper() {
    g_signal_handler_disconnect(view_, id_);
    g_object_unref(view_);
  }
  NavigationStopper(const NavigationStopper&) = delete;
  NavigationStopper& operator=(const NavigationStopper&) = delete;

  const std::vector<std::string>& uris() const { return uris_; }
  int stopped() const { return stopped_; }
  void Clear() { uris_.clear(); }

 private:
  static gboolean Decide(WebKitWebView*, WebKitPolicyDecision* decision,
                         WebKitPolicyDecisionType type, NavigationStopper* self) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const std::string uri =
        webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    self->uris_.push_back(uri);
    if (self->log_ != nullptr) self->log_->push_back("decide:" + uri);
    if (self->let_through_ && self->let_through_(uri)) return FALSE;
    ++self->stopped_;
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }

  WebKitWebView* view_;
  Filter let_through_;
  std::vector<std::string>* log_;
  gulong id_ = 0;
  std::vector<std::string> uris_;
  int stopped_ = 0;
};

// While it lives, every request of the engine except those to 127.0.0.1 goes
// to a proxy of our own on 127.0.0.1, which records it and answers 404. A
// request that got past the stoppers shows up here instead of on the network.
class ProxyTrap {
 public:
  ProxyTrap() {
    const char* direct[] = {"127.0.0.1", nullptr};
    WebKitNetworkProxySettings* settings =
        webkit_network_proxy_settings_new(trap_.Url("").c_str(), direct);
    webkit_website_data_manager_set_network_proxy_settings(
        Manager(), WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
    webkit_network_proxy_settings_free(settings);
  }
  ~ProxyTrap() {
    webkit_website_data_manager_set_network_proxy_settings(
        Manager(), WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
  }
  ProxyTrap(const ProxyTrap&) = delete;
  ProxyTrap& operator=(const ProxyTrap&) = delete;

  const std::vector<std::string>& Requests() const { return trap_.Requests(); }

 private:
  static WebKitWebsiteDataManager* Manager() {
    return webkit_web_context_get_website_data_manager(PageContext());
  }
  TestHttpServer trap_;
};

// The root-window position of `widget`'s point x, y.
inline std::pair<int, int> OnScreen(GtkWidget* widget, int x, int y) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  int tx = 0, ty = 0, ox = 0, oy = 0;
  gtk_widget_translate_coordinates(widget, top, x, y, &tx, &ty);
  gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
  return {ox + tx, oy + ty};
}

// A real press and release of a pointer button (the first unless said) at
// root x, y, after the pointer has rested there long enough for the target to
// see it.
inline void ClickAt(std::pair<int, int> at, unsigned button = 1) {
  testsupport::MovePointer(at.first, at.second);
  RunFor(100);
  Display* display = testsupport::DefaultXDisplay();
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XSync(display, False);
  RunFor(30);
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  XSync(display, False);
}

// Clicks the middle of `widget` with the real pointer.
inline void ClickWidget(Gtk::Widget& widget) {
  ClickAt(
      OnScreen(widget.gobj(), widget.get_allocated_width() / 2, widget.get_allocated_height() / 2));
}

// The items of the menus on the screen, by label.
inline std::map<std::string, Gtk::MenuItem*> ShownMenuItems() {
  std::map<std::string, Gtk::MenuItem*> items;
  for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
    if (!window->get_visible()) continue;
    testsupport::FindWidget<Gtk::MenuItem>(*window, [&](Gtk::MenuItem& item) {
      if (item.get_visible() && !item.get_label().empty()) items[item.get_label()] = &item;
      return false;
    });
  }
  return items;
}

// Opens the page's menu with a real right click in `view`: its items by label.
inline std::map<std::string, Gtk::MenuItem*> OpenPageMenu(WebKitWebView* view) {
  std::map<std::string, Gtk::MenuItem*> items;
  ClickAt(OnScreen(GTK_WIDGET(view), 100, 100), 3);
  RunUntil([&] {
    items = ShownMenuItems();
    return !items.empty();
  });
  return items;
}

// Opens the submenu `submenu` of the page's menu and clicks its item `label`,
// each with the real pointer; false when either is not shown.
inline bool ChooseInPageMenu(WebKitWebView* view, const std::string& submenu,
                             const std::string& label) {
  std::map<std::string, Gtk::MenuItem*> items = OpenPageMenu(view);
  if (!items.contains(submenu)) return false;
  ClickAt(
      OnScreen(GTK_WIDGET(items[submenu]->gobj()), 10, items[submenu]->get_allocated_height() / 2));
  Gtk::MenuItem* item = nullptr;
  RunUntil([&] {
    items = ShownMenuItems();
    item = items.contains(label) && items[label]->get_mapped() ? items[label] : nullptr;
    return item != nullptr;
  });
  if (item == nullptr) return false;
  RunFor(200);  // the submenu settles where it opens
  ClickAt(OnScreen(GTK_WIDGET(item->gobj()), 10, item->get_allocated_height() / 2));
  return true;
}

// Where the middle of the page element with id `id` is on the screen.
inline std::optional<std::pair<int, int>> ElementOnScreen(TFormHTML* form, const std::string& id) {
  WebKitWebView* view = form->CppWebBrowser1->View();
  const std::optional<std::string> centre = RunScript(
      view, "(() => { const r = document.getElementById('" + id +
                "').getBoundingClientRect(); return Math.round(r.left + r.width / 2) + ' ' + "
                "Math.round(r.top + r.height / 2); })()");
  int x = 0, y = 0;
  if (!centre || std::sscanf(centre->c_str(), "%d %d", &x, &y) != 2) return std::nullopt;
  return OnScreen(GTK_WIDGET(view), x, y);
}

// Clicks the middle of the page element with id `id` in `form`'s page with the
// real pointer, after giving `form` the focus. False when the element was not
// found. A strip that appears above the page moves it; the click waits until
// the element stays where it is.
inline bool ClickElement(TFormHTML* form, const std::string& id) {
  if (!testsupport::FocusWindow(form->gobj())) return false;
  std::optional<std::pair<int, int>> at = ElementOnScreen(form, id);
  for (int tries = 0; at && tries < 20; ++tries) {
    RunFor(100);
    const std::optional<std::pair<int, int>> again = ElementOnScreen(form, id);
    if (again == at) break;
    at = again;
  }
  if (!at) return false;
  ClickAt(*at);
  return true;
}

// The widget of that name and kind under `root`, or null.
template <typename T>
T* FindNamed(Gtk::Widget& root, const std::string& name) {
  if (root.get_name() == name) return dynamic_cast<T*>(&root);
  if (auto* container = dynamic_cast<Gtk::Container*>(&root)) {
    for (Gtk::Widget* child : container->get_children()) {
      if (T* found = FindNamed<T>(*child, name)) return found;
    }
  }
  return nullptr;
}

}  // namespace navtest
