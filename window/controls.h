// The few control kinds the window is built from, with the geometry rules of
// its layout: controls sit at fixed positions and keep their sizes, and a
// container narrower than its row clips its controls instead of growing.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/fixed.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

#include <string>
#include <string_view>
#include <vector>

struct Rgb {
  double r, g, b;
};

// A docked panel: its own colour and a raised bevel; clips its children.
class TPanel : public Gtk::Fixed {
 public:
  TPanel(const char* name, Rgb colour, int height);
  Rgb Colour() const { return colour_; }
  void SetColour(Rgb colour) {
    colour_ = colour;
    queue_draw();
  }

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;

 private:
  Rgb colour_;
};

// A framed group with a bold caption; children are placed relative to its
// outer corner.
class TGroupBox : public Gtk::Fixed {
 public:
  TGroupBox(const char* name, const char* caption, int width, int height);
  Gtk::Label& Caption() { return caption_; }

 protected:
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;

 private:
  Gtk::Label caption_;
};

// A push button whose caption never widens it: a long caption is clipped.
class TButton : public Gtk::Button {
 public:
  TButton(const char* name, const char* caption);
  std::string Caption() const;
};

// A button showing a 25 x 25 bitmap, centred, with the bitmap's bottom-left
// colour drawn transparent.
class TBitBtn : public Gtk::Button {
 public:
  TBitBtn(const char* name, std::string_view glyph);
  Gtk::Image& Glyph() { return image_; }

 private:
  // On a scaled screen the pixels are multiplied, not smoothed, so the
  // bitmap stays sharp.
  void ShowAtScale();

  Glib::RefPtr<Gdk::Pixbuf> glyph_;
  Gtk::Image image_;
};

// A label that reports no minimum size, so the control around it keeps the
// size it was given and clips the text.
class TLabel : public Gtk::Label {
 public:
  explicit TLabel(const char* text) : Gtk::Label(text) {}

 protected:
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;
  void get_preferred_height_vfunc(int& minimum, int& natural) const override;
};

// Places `child` in `parent` at the given position and size.
void Place(Gtk::Fixed& parent, Gtk::Widget& child, int left, int top, int width, int height);

// Loads a bitmap and makes the colour of its bottom-left pixel transparent.
Glib::RefPtr<Gdk::Pixbuf> LoadGlyph(std::string_view name);

// The program's icon for its windows in several sizes, from the program
// itself rather than the icon theme.
std::vector<Glib::RefPtr<Gdk::Pixbuf>> WindowIcons();
