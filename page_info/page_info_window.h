// The page information of a browser window: for its page, the way there
// (each redirect), the page's encoding and connection, the site's cookies
// and the answers given to its requests. Every part can be copied as text;
// addresses show as text and are never opened from here.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>

#include <memory>
#include <string>

#include "page_info/site_cookies.h"

typedef struct _WebKitWebView WebKitWebView;

class TPageInfoWindow : public Gtk::Window {
 public:
  // The window over `parent` for its page in `view`, made on first use and
  // brought up to date.
  static TPageInfoWindow& Show(Gtk::Window& parent, WebKitWebView* view);

  TPageInfoWindow(Gtk::Window& parent, WebKitWebView* view);
  ~TPageInfoWindow() override;

  // Each part as text, as "コピー" puts it on the clipboard.
  const std::string& TrailText() const { return trail_text_; }
  const std::string& PageText() const { return page_text_; }
  const std::string& CookiesText() const { return cookies_text_; }
  const std::string& PermissionsText() const { return permissions_text_; }
  // Whether the cookies asked for have come.
  bool CookiesShown() const { return cookies_shown_; }
  void Refresh();

 private:
  struct Signals;
  Gtk::Box& AddPart(const char* title, const char* name, const std::string* text);
  void RefreshSoon();
  void RefreshTrail();
  void RefreshPage();
  void RefreshCookies();
  void ShowCookies(SiteCookies cookies);
  void RefreshPermissions();
  void AddRow(Gtk::ListBox& list, const std::string& text, const char* button,
              std::function<void()> pressed);

  WebKitWebView* view_;  // a reference of our own
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  Gtk::Box parts_{Gtk::ORIENTATION_VERTICAL, 8};
  Gtk::TextView trail_;
  Gtk::Label page_;
  Gtk::ListBox cookies_;
  Gtk::ListBox permissions_;
  std::string trail_text_, page_text_, cookies_text_, permissions_text_;
  std::string encoding_;
  bool cookies_shown_ = false;
  sigc::connection trail_changed_, refresh_soon_;
};
