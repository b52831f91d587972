#include "window/controls.h"

#include <gdkmm/general.h>
#include <gdkmm/pixbufloader.h>
#include <gtkmm/image.h>

#include <map>

#include "data/resources.h"
#include "platform/exception.h"

namespace {

void Line(const Cairo::RefPtr<Cairo::Context>& cr, double x0, double y0, double x1, double y1) {
  cr->move_to(x0, y0);
  cr->line_to(x1, y1);
  cr->stroke();
}

}  // namespace

void TLabel::get_preferred_width_vfunc(int& minimum, int& natural) const {
  Gtk::Label::get_preferred_width_vfunc(minimum, natural);
  minimum = 0;
}

void TLabel::get_preferred_height_vfunc(int& minimum, int& natural) const {
  Gtk::Label::get_preferred_height_vfunc(minimum, natural);
  minimum = 0;
}

TPanel::TPanel(const char* name, Rgb colour, int height) : colour_(colour) {
  set_name(name);
  set_has_window(true);
  set_size_request(-1, height);
}

void TPanel::get_preferred_width_vfunc(int& minimum, int& natural) const {
  Gtk::Fixed::get_preferred_width_vfunc(minimum, natural);
  minimum = 0;
}

bool TPanel::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  const double w = get_allocated_width(), h = get_allocated_height();
  cr->set_source_rgb(colour_.r, colour_.g, colour_.b);
  cr->rectangle(0, 0, w, h);  // paint() would spill over the siblings
  cr->fill();
  cr->set_line_width(1);
  cr->set_source_rgb(1, 1, 1);
  Line(cr, 0.5, h - 1, 0.5, 0.5);
  Line(cr, 0.5, 0.5, w - 1, 0.5);
  cr->set_source_rgb(0.5, 0.5, 0.5);
  Line(cr, w - 0.5, 0, w - 0.5, h - 0.5);
  Line(cr, w - 0.5, h - 0.5, 0, h - 0.5);
  return Gtk::Fixed::on_draw(cr);
}

TGroupBox::TGroupBox(const char* name, const char* caption, int width, int height)
    : caption_(caption) {
  set_name(name);
  set_size_request(width, height);
  caption_.set_name("GroupBoxCaption");
  put(caption_, 8, 0);
  // Entering the group, a screen reader says which group it is.
  get_accessible()->set_name(caption);
  get_accessible()->add_relationship(Atk::RELATION_LABELLED_BY, caption_.get_accessible());
}

bool TGroupBox::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  const double w = get_allocated_width(), h = get_allocated_height();
  const double top = caption_.get_allocated_height() / 2.0;
  cr->set_line_width(1);
  // Etched frame: a shadow line with a highlight line inside it.
  cr->set_source_rgb(0.5, 0.5, 0.5);
  cr->rectangle(0.5, top + 0.5, w - 2, h - top - 2);
  cr->stroke();
  cr->set_source_rgb(1, 1, 1);
  cr->rectangle(1.5, top + 1.5, w - 2, h - top - 2);
  cr->stroke();
  // The caption interrupts the frame.
  Gtk::Allocation a = caption_.get_allocation();
  Gtk::Allocation self = get_allocation();
  auto* panel = dynamic_cast<TPanel*>(get_parent());
  Rgb bg = panel != nullptr ? panel->Colour() : Rgb{0.9, 0.9, 0.9};
  cr->set_source_rgb(bg.r, bg.g, bg.b);
  cr->rectangle(a.get_x() - self.get_x() - 2, 0, a.get_width() + 4, a.get_height());
  cr->fill();
  return Gtk::Fixed::on_draw(cr);
}

TButton::TButton(const char* name, const char* caption) {
  set_name(name);
  auto* label = Gtk::manage(new TLabel(caption));
  add(*label);
  set_can_default(false);
  set_focus_on_click(true);
}

std::string TButton::Caption() const {
  auto* label = dynamic_cast<const Gtk::Label*>(get_child());
  return label != nullptr ? std::string(label->get_text()) : std::string();
}

TBitBtn::TBitBtn(const char* name, std::string_view glyph) : glyph_(LoadGlyph(glyph)) {
  set_name(name);
  ShowAtScale();
  add(image_);
  set_can_default(false);
  property_scale_factor().signal_changed().connect([this] { ShowAtScale(); });
}

void TBitBtn::ShowAtScale() {
  const int scale = get_scale_factor();
  Glib::RefPtr<Gdk::Pixbuf> pixels = glyph_->scale_simple(
      glyph_->get_width() * scale, glyph_->get_height() * scale, Gdk::INTERP_NEAREST);
  cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(pixels->gobj(), scale, nullptr);
  gtk_image_set_from_surface(image_.gobj(), surface);
  cairo_surface_destroy(surface);
}

void Place(Gtk::Fixed& parent, Gtk::Widget& child, int left, int top, int width, int height) {
  child.set_size_request(width, height);
  parent.put(child, left, top);
}

namespace {

Glib::RefPtr<Gdk::Pixbuf> Decode(const char* type, std::string_view name) {
  std::span<const unsigned char> bytes = ResourceBytes(name);
  if (bytes.empty()) throw Exception("グリフがありません: " + std::string(name));
  auto loader = Gdk::PixbufLoader::create(type);
  loader->write(bytes.data(), bytes.size());
  loader->close();
  return loader->get_pixbuf();
}

Glib::RefPtr<Gdk::Pixbuf> DecodeGlyph(std::string_view name) {
  Glib::RefPtr<Gdk::Pixbuf> pixbuf = Decode("bmp", name);
  const guint8* corner =
      pixbuf->get_pixels() + (pixbuf->get_height() - 1) * pixbuf->get_rowstride();
  return pixbuf->add_alpha(true, corner[0], corner[1], corner[2]);
}

}  // namespace

// Decoded once: every window shows the same glyphs, and none changes them.
Glib::RefPtr<Gdk::Pixbuf> LoadGlyph(std::string_view name) {
  static std::map<std::string, Glib::RefPtr<Gdk::Pixbuf>, std::less<>> decoded;
  auto it = decoded.find(name);
  if (it == decoded.end()) it = decoded.emplace(name, DecodeGlyph(name)).first;
  return it->second;
}

std::vector<Glib::RefPtr<Gdk::Pixbuf>> WindowIcons() {
  static const std::vector<Glib::RefPtr<Gdk::Pixbuf>> icons = [] {
    std::vector<Glib::RefPtr<Gdk::Pixbuf>> decoded;
    for (int size : {16, 24, 32, 48, 64, 128}) {
      decoded.push_back(Decode("png", "tavorin-" + std::to_string(size)));
    }
    return decoded;
  }();
  return icons;
}
