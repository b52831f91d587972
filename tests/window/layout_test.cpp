// The window's layout, read back from the realised widgets.
#include <gtkmm/tooltip.h>

#include <string>
#include <vector>

#include "tests/support/form_fixture.h"
#include "tests/support/x_input.h"  // last: the X headers define Button1 and more

namespace {

struct Geometry {
  const char* name;
  const char* parent;
  int left, top, width, height;
  const char* caption;  // null: not a captioned button
};

const Geometry kControls[] = {
    {"Panel1", "window", 0, 0, 792, 72, nullptr},
    {"Panel2", "window", 0, 72, 792, 41, nullptr},
    {"CppWebBrowser1", "window", 0, 113, 792, 425, nullptr},
    {"Panel3", "window", 0, 538, 792, 35, nullptr},
    {"ButtonGoHome", "Panel1", 361, 13, 103, 25, "Amazon Japan"},
    {"ButtonGoBack", "Panel1", 7, 41, 75, 25, "Store Mix"},
    {"ButtonGoForward", "Panel1", 85, 13, 75, 25, "ビッダーズ"},
    {"ButtonVeldaLabl", "Panel1", 362, 40, 103, 25, "Pelloria"},
    {"ButtonFile", "Panel1", 477, 45, 86, 21, "このソフトは・・"},
    {"ButtonRefresh", "Panel1", 7, 13, 75, 25, "楽　天"},
    {"GroupBox1", "Panel1", 1, 1, 469, 68, nullptr},
    {"GroupBox2", "Panel1", 472, 2, 96, 67, nullptr},
    {"Button11", "Panel1", 85, 40, 75, 25, "Web 通"},
    {"Button12", "Panel1", 163, 13, 93, 25, "Amema ﾗﾝｷﾝｸﾞ"},
    {"Button13", "Panel1", 163, 40, 93, 25, "楽　天 Books"},
    {"Button14", "Panel1", 260, 13, 100, 25, "Norrvikご紹介"},
    {"Button15", "Panel1", 260, 40, 99, 25, "Shop あまなつ"},
    {"BitBtn6", "Panel1", 477, 14, 40, 29, nullptr},
    {"BitBtn7", "Panel1", 522, 14, 40, 29, nullptr},
    {"Label1", "Panel2", 5, 12, 48, 13, nullptr},
    {"EditURL", "Panel2", 55, 8, 425, 23, nullptr},
    {"ButtonOpen", "Panel2", 489, 5, 30, 30, "GO"},
    {"BitBtn4", "Panel2", 527, 5, 30, 30, nullptr},
    {"BitBtn1", "Panel2", 559, 5, 30, 30, nullptr},
    {"BitBtn3", "Panel2", 592, 5, 30, 30, nullptr},
    {"BitBtn2", "Panel2", 625, 5, 30, 30, nullptr},
    {"BitBtn5", "Panel2", 657, 4, 30, 31, nullptr},
    {"Button1", "Panel3", 6, 6, 75, 25, "A8ネット"},
    {"Button2", "Panel3", 81, 6, 75, 25, "JaNet"},
    {"Button3", "Panel3", 157, 6, 75, 25, "電 脳 卸"},
    {"Button4", "Panel3", 233, 6, 75, 25, "ﾊﾞﾘｭｰｺｰﾏｽ"},
    {"Button5", "Panel3", 309, 6, 75, 25, "ｱｸｾｽﾄﾚｰﾄﾞ"},
    {"Button6", "Panel3", 385, 6, 75, 25, "ﾄﾗﾌｨｯｸｹﾞｰﾄ"},
    {"Button7", "Panel3", 461, 6, 75, 25, "Link Share"},
    {"Button8", "Panel3", 537, 6, 75, 25, "ﾊﾞﾅｰﾌﾞﾘｯｼﾞ"},
    {"Button9", "Panel3", 613, 6, 75, 25, "Quenmore"},
    {"Button10", "Panel3", 689, 6, 85, 25, "日払いｱﾌｨﾘｴｲﾄ"},
};

void Collect(Gtk::Widget* w, std::vector<Gtk::Widget*>& out) {
  out.push_back(w);
  if (auto* c = dynamic_cast<Gtk::Container*>(w)) {
    for (Gtk::Widget* child : c->get_children()) Collect(child, out);
  }
}

Gtk::Widget* Find(Gtk::Window& window, const std::string& name) {
  std::vector<Gtk::Widget*> all;
  Collect(&window, all);
  for (Gtk::Widget* w : all) {
    if (w->get_name() == name) return w;
  }
  return nullptr;
}

struct FontInfo {
  double px;
  bool bold;
  std::string family;
};

FontInfo FontOf(Gtk::Widget& w) {
  PangoFontDescription* desc = nullptr;
  GtkStyleContext* ctx = gtk_widget_get_style_context(w.gobj());
  gtk_style_context_get(ctx, gtk_style_context_get_state(ctx), "font", &desc, nullptr);
  double size = pango_font_description_get_size(desc) / double(PANGO_SCALE);
  if (!pango_font_description_get_size_is_absolute(desc)) size = size * 96.0 / 72.0;
  FontInfo f{size, pango_font_description_get_weight(desc) >= PANGO_WEIGHT_BOLD,
             pango_font_description_get_family(desc)};
  pango_font_description_free(desc);
  return f;
}

Gtk::Widget& TextWidget(Gtk::Widget& w) {
  auto* bin = dynamic_cast<Gtk::Bin*>(&w);
  return bin != nullptr && bin->get_child() != nullptr ? *bin->get_child() : w;
}

guint32 PixelAt(Gtk::Window& window, int x, int y) {
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(window.get_window()->gobj(), x, y, 1, 1);
  const guint8* p = gdk_pixbuf_get_pixels(shot);
  const guint32 rgb = (p[0] << 16) | (p[1] << 8) | p[2];
  g_object_unref(shot);
  return rgb;
}

}  // namespace

class LayoutTest : public FormTest {
 protected:
  Gtk::Widget& Control(const std::string& name) {
    Gtk::Widget* w = Find(*form_, name);
    if (w == nullptr) ADD_FAILURE() << "no control " << name;
    return *w;
  }
  void ExpectGeometry(const Geometry& g) {
    SCOPED_TRACE(g.name);
    Gtk::Widget& w = Control(g.name);
    Gtk::Widget& parent =
        std::string(g.parent) == "window" ? *form_->get_child() : Control(g.parent);
    int x = -1, y = -1;
    ASSERT_TRUE(w.translate_coordinates(parent, 0, 0, x, y));
    EXPECT_EQ(x, g.left);
    EXPECT_EQ(y, g.top);
    EXPECT_EQ(w.get_allocated_width(), g.width);
    EXPECT_EQ(w.get_allocated_height(), g.height);
  }
};

TEST_F(LayoutTest, EveryControlAtItsPositionAndSizeWithItsCaption) {
  EXPECT_EQ(form_->get_title(), "Tavorinのお役立ちブラウザ");
  int x = 0, y = 0;
  form_->get_position(x, y);
  EXPECT_EQ(x, 297);
  EXPECT_EQ(y, 152);
  for (const Geometry& g : kControls) {
    ExpectGeometry(g);
    if (g.caption == nullptr) continue;
    auto* button = dynamic_cast<TButton*>(&Control(g.name));
    ASSERT_NE(button, nullptr) << g.name;
    EXPECT_EQ(button->Caption(), g.caption) << g.name;
  }
  EXPECT_EQ(form_->GroupBox1->Caption().get_text(), "ショップ リスト");
  EXPECT_EQ(form_->GroupBox2->Caption().get_text(), "検索など");
  EXPECT_EQ(form_->Label1->get_text(), "アドレス");
}

TEST_F(LayoutTest, FontsAskForTheJapaneseFaceAtTheirSizes) {
  struct Expected {
    Gtk::Widget* widget;
    double px;
    bool bold;
  };
  const Expected fonts[] = {
      {form_->ButtonRefresh, 12, false},
      {form_->Button12, 12, false},
      {form_->Button10, 12, false},
      {&form_->GroupBox1->Caption(), 12, true},
      {&form_->GroupBox2->Caption(), 12, true},
      {form_->Label1, 13, true},
      {form_->EditURL, 15, false},
      {form_->ButtonOpen, 13, true},
  };
  for (const Expected& e : fonts) {
    SCOPED_TRACE(e.widget->get_name());
    FontInfo f = FontOf(TextWidget(*e.widget));
    EXPECT_NEAR(f.px, e.px, 0.01);
    EXPECT_EQ(f.bold, e.bold);
    EXPECT_EQ(f.family.rfind("ＭＳ Ｐゴシック", 0), 0u) << f.family;
    EXPECT_NE(f.family.find("IPAPGothic"), std::string::npos) << f.family;
  }
}

TEST_F(LayoutTest, TooltipsOnExactlyTheSixControlsThatHaveOne) {
  const std::map<std::string, std::string> tips{
      {"ButtonOpen", "進むボタン"}, {"BitBtn4", "戻るボタン"}, {"BitBtn1", "ホームページへ"},
      {"BitBtn3", "停止ボタン"},    {"BitBtn2", "進むボタン"}, {"BitBtn5", "再度用見込みボタン"},
  };
  std::vector<Gtk::Widget*> all;
  Collect(form_, all);
  int with_tip = 0;
  for (Gtk::Widget* w : all) {
    auto it = tips.find(w->get_name());
    const std::string tip = w->get_tooltip_text();
    if (it == tips.end()) {
      EXPECT_TRUE(tip.empty()) << w->get_name() << " has tooltip " << tip;
    } else {
      EXPECT_EQ(tip, it->second) << w->get_name();
      ++with_tip;
    }
  }
  EXPECT_EQ(with_tip, 6);
}

TEST_F(LayoutTest, PanelsShowTheirColours) {
  ASSERT_TRUE(RunUntil([&] { return PixelAt(*form_, 700, 30) == 0xC0C1A4; }, 3000));
  EXPECT_EQ(PixelAt(*form_, 750, 72 + 20), 0xE1DED2u);
  EXPECT_EQ(PixelAt(*form_, 785, 538 + 17), 0xE1DED2u);
}

// What the engine draws reaches the window on the screen.
TEST_F(LayoutTest, ThePageIsDrawnInTheWindow) {
  server_.AddHtml("/blue.html", "<body style='background:#3366cc'></body>");
  form_->EditURL->set_text(server_.Url("/blue.html"));
  form_->ButtonOpen->clicked();
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/blue.html")));
  EXPECT_TRUE(RunUntil([&] { return PixelAt(*form_, 400, 113 + 200) == 0x3366CC; }, 5000));
}

// The icon comes with the program, installed or not, in the sizes window
// managers and task switchers ask for.
TEST_F(LayoutTest, TheWindowCarriesTheProgramsIcon) {
  std::vector<int> sizes;
  for (const Glib::RefPtr<Gdk::Pixbuf>& icon : form_->get_icon_list()) {
    EXPECT_EQ(icon->get_width(), icon->get_height());
    sizes.push_back(icon->get_width());
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128}));
}

TEST_F(LayoutTest, TabOrderRunsThroughThePanelsAndFirstFocusIsAmazon) {
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  ASSERT_NE(form_->get_focus(), nullptr);
  EXPECT_EQ(form_->get_focus()->get_name(), "ButtonGoHome");
  const std::vector<std::string> expected{
      "ButtonGoHome",  "ButtonGoBack", "ButtonGoForward", "ButtonVeldaLabl", "ButtonFile",
      "ButtonRefresh", "Button11",     "Button12",        "Button13",        "Button14",
      "Button15",      "BitBtn6",      "BitBtn7",         "EditURL",         "ButtonOpen",
      "BitBtn1",       "BitBtn4",      "BitBtn2",         "BitBtn3",         "BitBtn5"};
  std::vector<std::string> seen{form_->get_focus()->get_name()};
  for (std::size_t i = 1; i < expected.size(); ++i) {
    form_->child_focus(Gtk::DIR_TAB_FORWARD);
    seen.push_back(form_->get_focus() != nullptr ? std::string(form_->get_focus()->get_name())
                                                 : "");
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(LayoutTest, ResizingStretchesPanelsAndGivesTheBrowserTheRest) {
  for (auto [w, h] : {std::pair{500, 400}, std::pair{1000, 800}}) {
    SCOPED_TRACE(w);
    form_->resize(w, h);
    ASSERT_TRUE(RunUntil(
        [&] { return form_->get_allocated_width() == w && form_->get_allocated_height() == h; }));
    RunFor(50);
    for (auto [panel, height] : {std::pair{form_->Panel1, 72}, std::pair{form_->Panel2, 41},
                                 std::pair{form_->Panel3, 35}}) {
      EXPECT_EQ(panel->get_allocated_width(), w);
      EXPECT_EQ(panel->get_allocated_height(), height);
    }
    EXPECT_EQ(form_->CppWebBrowser1->get_allocated_height(), h - 72 - 41 - 35);
    int x = 0, y = 0;
    form_->Button10->translate_coordinates(*form_->Panel3, 0, 0, x, y);
    EXPECT_EQ(x, 689);  // clipped at 500, never moved
    EXPECT_EQ(form_->Button10->get_allocated_width(), 85);
  }
}

// Run with GDK_SCALE=2 (its own ctest entry): the glyphs are drawn at the
// screen's scale with their pixels multiplied, not smoothed.
TEST_F(LayoutTest, GlyphsStaySharpOnAScaledScreen) {
  const int scale = form_->get_scale_factor();
  if (scale == 1) GTEST_SKIP() << "needs GDK_SCALE=2";
  Glib::RefPtr<Gdk::Pixbuf> glyph = LoadGlyph("stop");
  cairo_surface_t* surface = nullptr;
  g_object_get(form_->BitBtn3->Glyph().gobj(), "surface", &surface, nullptr);
  ASSERT_NE(surface, nullptr);
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> held(surface,
                                                                          cairo_surface_destroy);
  double sx = 0, sy = 0;
  cairo_surface_get_device_scale(surface, &sx, &sy);
  EXPECT_EQ(sx, scale);
  ASSERT_EQ(cairo_image_surface_get_width(surface), 25 * scale);
  // Every device pixel of a source pixel's block has that pixel's colour.
  const guint8* src = glyph->get_pixels();
  const unsigned char* dst = cairo_image_surface_get_data(surface);
  const int src_stride = glyph->get_rowstride(),
            dst_stride = cairo_image_surface_get_stride(surface);
  int differing = 0;
  for (int y = 0; y < 25 * scale; ++y) {
    for (int x = 0; x < 25 * scale; ++x) {
      const guint8* s = src + (y / scale) * src_stride + (x / scale) * 4;
      const auto argb = *reinterpret_cast<const guint32*>(dst + y * dst_stride + x * 4);
      if (s[3] == 0) {
        differing += (argb >> 24) != 0;  // transparent stays transparent
      } else {
        const guint32 rgb = (s[0] << 16) | (s[1] << 8) | s[2];
        differing += (argb & 0xFFFFFF) != rgb || (argb >> 24) != 0xFF;
      }
    }
  }
  EXPECT_EQ(differing, 0);
}
