#include "browser/zoom.h"

#include <glibmm/main.h>
#include <gtkmm/cssprovider.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>

#include "browser/site_zoom.h"

namespace {

constexpr std::array<int, 14> kSteps{30,  50,  67,  80,  90,  100, 110,
                                     120, 133, 150, 170, 200, 240, 300};
constexpr int kNormal = 100;
constexpr unsigned kShowLevelMs = 1500;

// Every zoom control of the program: a site's level follows it everywhere.
std::set<TZoom*>& Controls() {
  static std::set<TZoom*> controls;
  return controls;
}

// Ctrl with the wheel zooms instead of scrolling the page.
gboolean Scrolled(GtkWidget*, GdkEventScroll* event, TZoom* zoom) {
  if ((event->state & GDK_CONTROL_MASK) == 0) return FALSE;
  if (event->direction == GDK_SCROLL_UP) zoom->Wheel(-1);
  if (event->direction == GDK_SCROLL_DOWN) zoom->Wheel(1);
  if (event->direction == GDK_SCROLL_SMOOTH) zoom->Wheel(event->delta_y);
  return TRUE;
}

}  // namespace

TZoom::TZoom(WebKitWebView* view)
    : view_(WEBKIT_WEB_VIEW(g_object_ref(view))),
      area_(Gtk::manage(new Gtk::Overlay())),
      label_(Gtk::manage(new Gtk::Label())) {
  gtk_container_add(GTK_CONTAINER(area_->gobj()), GTK_WIDGET(view));
  label_->set_name("ZoomLevel");
  label_->set_halign(Gtk::ALIGN_END);
  label_->set_valign(Gtk::ALIGN_START);
  label_->set_margin_top(8);
  label_->set_margin_end(8);
  label_->set_no_show_all(true);
  auto css = Gtk::CssProvider::create();
  css->load_from_data(
      "label { background-color: rgba(0, 0, 0, 0.7); color: white; padding: 4px 10px;"
      " border-radius: 4px; }");
  label_->get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  area_->add_overlay(*label_);
  area_->set_overlay_pass_through(*label_, true);
  area_->show();
  gtk_widget_add_events(GTK_WIDGET(view_), GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
  g_signal_connect(view_, "scroll-event", G_CALLBACK(Scrolled), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(LoadChanged), this);
  Controls().insert(this);
}

// The view's handlers went with it if its container destroyed it first.
TZoom::~TZoom() {
  Controls().erase(this);
  hide_timer_.disconnect();
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_unref(view_);
}

int TZoom::Percent() const {
  return static_cast<int>(std::lround(webkit_web_view_get_zoom_level(view_) * 100));
}

void TZoom::In() {
  const int now = Percent();
  auto next = std::upper_bound(kSteps.begin(), kSteps.end(), now);
  Choose(next != kSteps.end() ? *next : kSteps.back());
}

void TZoom::Out() {
  const int now = Percent();
  auto next = std::lower_bound(kSteps.begin(), kSteps.end(), now);
  Choose(next != kSteps.begin() ? *std::prev(next) : kSteps.front());
}

void TZoom::Reset() { Choose(kNormal); }

// A touchpad scrolls in small deltas: a step per notch's worth.
void TZoom::Wheel(double delta) {
  wheel_ += delta;
  while (wheel_ <= -1) {
    wheel_ += 1;
    In();
  }
  while (wheel_ >= 1) {
    wheel_ -= 1;
    Out();
  }
}

void TZoom::Choose(int percent) {
  Set(percent);
  if (webkit_web_view_is_ephemeral(view_)) {
    private_percent_ = percent;
    return;
  }
  if (site_.empty()) return;
  KeepSiteZoom(site_, percent);
  for (TZoom* other : Controls()) {
    const bool follows =
        other != this && other->site_ == site_ && !webkit_web_view_is_ephemeral(other->view_);
    if (follows && other->Percent() != percent) other->Set(percent);
  }
}

void TZoom::LoadChanged(WebKitWebView*, int event, TZoom* self) {
  if (event == WEBKIT_LOAD_COMMITTED) self->Committed();
}

void TZoom::Committed() {
  const std::string site = ZoomSiteOf(webkit_web_view_get_uri(view_));
  const bool same_private_site =
      webkit_web_view_is_ephemeral(view_) && private_percent_ != 0 && site == site_;
  if (!same_private_site) private_percent_ = 0;
  site_ = site;
  const int percent = same_private_site ? private_percent_ : SiteZoom(site_);
  if (percent != Percent()) Set(percent);
}

void TZoom::Set(int percent) {
  webkit_web_view_set_zoom_level(view_, percent / 100.0);
  ShowLevel(percent);
}

void TZoom::ShowLevel(int percent) {
  hide_timer_.disconnect();
  if (percent == kNormal) {
    label_->hide();
    return;
  }
  label_->set_text(std::to_string(percent) + " %");
  label_->show();
  hide_timer_ = Glib::signal_timeout().connect(
      [this] {
        label_->hide();
        return false;
      },
      kShowLevelMs);
}
