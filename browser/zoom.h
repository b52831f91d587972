// The page's zoom in the steps users know from other browsers, with the level
// shown briefly over the page while it is not 100 %. A level the user sets is
// kept for the page's site and follows it into every window (see
// browser/site_zoom.h); a private view keeps its own, for its site, unstored.
#pragma once

#include <gtkmm/label.h>
#include <gtkmm/overlay.h>
#include <sigc++/connection.h>

#include <string>

typedef struct _WebKitWebView WebKitWebView;

class TZoom {
 public:
  // Ctrl+wheel on `view` zooms.
  explicit TZoom(WebKitWebView* view);
  ~TZoom();
  TZoom(const TZoom&) = delete;
  TZoom& operator=(const TZoom&) = delete;

  void In();
  void Out();
  void Reset();
  // Ctrl+wheel: up (negative) zooms in, one step a notch.
  void Wheel(double delta);
  // The level in percent, as the engine has it.
  int Percent() const;
  // The brief display of the level; visible while it is on screen.
  const Gtk::Label& Indicator() const { return *label_; }
  // The view with the level over it, to be packed where the view goes; its
  // container owns it.
  Gtk::Widget& Area() { return *area_; }

 private:
  // The user's choice of level for the page shown.
  void Choose(int percent);
  void Set(int percent);
  void ShowLevel(int percent);
  // A new page: the level of its site.
  void Committed();
  static void LoadChanged(WebKitWebView* view, int event, TZoom* self);

  WebKitWebView* view_;  // a reference of our own
  Gtk::Overlay* area_;
  Gtk::Label* label_;
  sigc::connection hide_timer_;
  double wheel_ = 0;  // turned but not yet a whole notch
  std::string site_;  // of the page shown
  // A private view's own level, for `site_` only.
  int private_percent_ = 0;
};
