// The page's zoom, per window, in the steps users know from other browsers,
// with the level shown briefly over the page while it is not 100 %.
#pragma once

#include <gtkmm/label.h>
#include <gtkmm/overlay.h>
#include <sigc++/connection.h>

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
  void Set(int percent);
  void ShowLevel(int percent);

  WebKitWebView* view_;  // a reference of our own
  Gtk::Overlay* area_;
  Gtk::Label* label_;
  sigc::connection hide_timer_;
  double wheel_ = 0;  // turned but not yet a whole notch
};
