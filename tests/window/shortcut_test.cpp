// The window's shortcuts, pressed for real through the X server, in the main
// window and in a secondary one, each shown by what it does; find in page;
// Enter in the address box.
#include <X11/keysym.h>
#include <atk/atk.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "browser/find_bar.h"
#include "browser/zoom.h"
#include "tests/support/form_fixture.h"
// clang-format off: the X headers define None, Bool and more, so they come last
#include "tests/support/x_input.h"
// clang-format on

namespace {

using testsupport::DefaultXDisplay;
using testsupport::FakeKey;
using testsupport::FocusWindow;

// Every page logs its keydowns where the next page of the window sees them.
constexpr char kLogScript[] = R"html(<script>
  window.log = JSON.parse(sessionStorage.log || '[]');
  document.addEventListener('keydown', e => {
    if (['Control', 'Shift', 'Alt'].includes(e.key)) return;
    log.push(e.key);
    sessionStorage.log = JSON.stringify(log);
  });
</script>)html";

constexpr char kFindText[] = R"html(<meta charset="utf-8">
<p>apple</p><p>Apple</p><p>APPLE</p>
<p>りんご と リンゴ</p><p>東京駅 と 東京タワー</p>)html";

// Answers the print dialog with Cancel wherever it is run.
class PrintDialogCloser {
 public:
  PrintDialogCloser() : source_(g_timeout_add(20, &PrintDialogCloser::Tick, this)) {}
  ~PrintDialogCloser() { g_source_remove(source_); }
  int seen() const { return seen_; }

 private:
  static gboolean Tick(gpointer data) {
    auto* self = static_cast<PrintDialogCloser*>(data);
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l != nullptr; l = l->next) {
      auto* w = GTK_WIDGET(l->data);
      if (g_strcmp0(G_OBJECT_TYPE_NAME(w), "GtkPrintUnixDialog") != 0) continue;
      if (!gtk_widget_get_mapped(w)) continue;
      ++self->seen_;
      gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
    }
    g_list_free(toplevels);
    return G_SOURCE_CONTINUE;
  }

  guint source_;
  int seen_ = 0;
};

class ShortcutTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    for (const char* path : {"/a.html", "/keys.html"}) {
      server_.AddHtml(path, std::string("<meta charset=\"utf-8\"><input id=box>") + kLogScript);
    }
    server_.AddHtml("/find.html", std::string(kFindText) + kLogScript);
    TestHttpServer::Page slow;
    slow.body = "<p>slow</p>";
    slow.delay_ms = 60000;
    server_.Add("/slow.html", slow);
  }

 public:
  TFormHTML* SecondWindow() {
    auto* second = new TFormHTML(Application);
    second->move(320, 175);
    second->show();
    return second;
  }

  WebKitWebView* View(TFormHTML* form) { return form->CppWebBrowser1->View(); }

  void Open(TFormHTML* form, const std::string& path) {
    form->EditURL->set_text(server_.Url(path));
    form->ButtonOpenClick();
    ASSERT_TRUE(WaitForPage(form, server_.Url(path)));
  }

  // Keyboard focus in the page, pointer over it.
  void FocusPage(TFormHTML* form) {
    ASSERT_TRUE(FocusWindow(form->gobj()));
    gtk_widget_grab_focus(GTK_WIDGET(View(form)));
    RunScript(View(form),
              "document.getElementById('box') && document.getElementById('box').focus()");
    RunFor(100);
  }

  // Modifiers first, the key last; released in the reverse order.
  void Press(std::initializer_list<guint> keys) {
    for (guint k : keys) FakeKey(k, true);
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k) FakeKey(*k, false);
    RunFor(150);
  }

  std::string KeyDowns(TFormHTML* form) {
    return RunScript(View(form), "sessionStorage.log || '[]'").value_or("?");
  }

  int InnerWidth(TFormHTML* form) {
    return std::stoi(RunScript(View(form), "innerWidth").value_or("0"));
  }

  std::size_t RequestsFor(const std::string& path) {
    std::size_t n = 0;
    for (const std::string& r : server_.Requests()) n += r == path;
    return n;
  }
};

struct Before {
  std::size_t requests;  // of /keys.html
  int inner_width;
};

class ShortcutTableTest : public ShortcutTest, public ::testing::WithParamInterface<bool> {
 public:
  bool Loaded(TFormHTML* form, const std::string& path) {
    return webkit_web_view_get_uri(View(form)) == server_.Url(path) &&
           !webkit_web_view_is_loading(View(form));
  }
  bool Reloaded(TFormHTML* form, const Before& before, bool bypassing_cache) {
    const std::string cache = server_.RequestHeader(server_.Requests().size() - 1, "Cache-Control");
    return RequestsFor("/keys.html") == before.requests + 1 && Loaded(form, "/keys.html") &&
           (cache == "no-cache") == bypassing_cache;
  }
  bool Zoomed(TFormHTML* form, const Before& before, int percent) {
    const int width = InnerWidth(form);
    return form->CppWebBrowser1->Zoom().Percent() == percent &&
           (percent > 100 ? width < before.inner_width : width > before.inner_width);
  }
  bool AddressSelected(TFormHTML* form) {
    int start = 0, end = 0;
    return form->EditURL->has_focus() && form->EditURL->get_selection_bounds(start, end) &&
           start == 0 && end == form->EditURL->get_text_length();
  }
  void StartSlowLoad(TFormHTML* form) {
    form->EditURL->set_text(server_.Url("/slow.html"));
    form->ButtonOpenClick();
    RunUntil([form] { return form->CppWebBrowser1->Loading(); });
  }

  PrintDialogCloser print_closer_;
};

using T = ShortcutTableTest;

// One row per input: what is pressed, what it does, and whether the page
// still gets the keydown.
struct Case {
  const char* name;
  std::vector<guint> keys;  // modifiers first
  unsigned button;          // a mouse button pressed with the modifiers instead, or 0
  const char* keydown;      // the page's name for the key
  bool reaches_page;
  void (*before)(T&, TFormHTML*);  // or null
  bool (*done)(T&, TFormHTML*, const Before&);
};

void GoBackFirst(T& t, TFormHTML* form) {
  form->CppWebBrowser1->GoBack();
  RunUntil([&] { return t.Loaded(form, "/a.html"); });
}

void ZoomFirst(T&, TFormHTML* form) { form->CppWebBrowser1->Zoom().In(); }
void SlowLoadFirst(T& t, TFormHTML* form) { t.StartSlowLoad(form); }

constexpr auto kReloaded = [](T& t, TFormHTML* f, const Before& b) {
  return t.Reloaded(f, b, false);
};
constexpr auto kReloadedFresh = [](T& t, TFormHTML* f, const Before& b) {
  return t.Reloaded(f, b, true);
};
constexpr auto kBack = [](T& t, TFormHTML* f, const Before&) { return t.Loaded(f, "/a.html"); };
constexpr auto kForward = [](T& t, TFormHTML* f, const Before&) {
  return t.Loaded(f, "/keys.html");
};
constexpr auto kAddress = [](T& t, TFormHTML* f, const Before&) { return t.AddressSelected(f); };
constexpr auto kZoomIn = [](T& t, TFormHTML* f, const Before& b) { return t.Zoomed(f, b, 110); };
constexpr auto kZoomOut = [](T& t, TFormHTML* f, const Before& b) { return t.Zoomed(f, b, 90); };
constexpr auto kNothing = [](T&, TFormHTML*, const Before&) { return true; };

const Case kCases[] = {
    {"F5", {XK_F5}, 0, "F5", false, nullptr, kReloaded},
    {"Ctrl+R", {XK_Control_L, XK_r}, 0, "r", false, nullptr, kReloaded},
    {"Shift+F5", {XK_Shift_L, XK_F5}, 0, "F5", false, nullptr, kReloadedFresh},
    {"Ctrl+Shift+R", {XK_Control_L, XK_Shift_L, XK_r}, 0, "R", false, nullptr, kReloadedFresh},
    {"Alt+Left", {XK_Alt_L, XK_Left}, 0, "ArrowLeft", false, nullptr, kBack},
    {"Alt+Right", {XK_Alt_L, XK_Right}, 0, "ArrowRight", false, GoBackFirst, kForward},
    {"mouse back", {}, 8, "", false, nullptr, kBack},
    {"mouse forward", {}, 9, "", false, GoBackFirst, kForward},
    {"Alt+Home",
     {XK_Alt_L, XK_Home},
     0,
     "Home",
     false,
     nullptr,
     [](T& t, TFormHTML* f, const Before&) { return t.Loaded(f, "/home.html"); }},
    {"Ctrl+L", {XK_Control_L, XK_l}, 0, "l", false, nullptr, kAddress},
    {"F6", {XK_F6}, 0, "F6", false, nullptr, kAddress},
    {"Alt+D", {XK_Alt_L, XK_d}, 0, "d", false, nullptr, kAddress},
    {"Escape stops a load", {XK_Escape}, 0, "Escape", false, SlowLoadFirst, kForward},
    {"Escape with nothing loading", {XK_Escape}, 0, "Escape", true, nullptr, kNothing},
    {"a key the window does not use", {XK_Control_L, XK_b}, 0, "b", true, nullptr, kNothing},
    {"Ctrl+F",
     {XK_Control_L, XK_f},
     0,
     "f",
     false,
     nullptr,
     [](T&, TFormHTML* f, const Before&) {
       TFindBar& bar = f->CppWebBrowser1->FindBar();
       return bar.get_visible() && bar.Entry().has_focus();
     }},
    {"Ctrl+plus", {XK_Control_L, XK_Shift_L, XK_plus}, 0, "+", false, nullptr, kZoomIn},
    {"Ctrl+=", {XK_Control_L, XK_equal}, 0, "=", false, nullptr, kZoomIn},
    {"Ctrl+minus", {XK_Control_L, XK_minus}, 0, "-", false, nullptr, kZoomOut},
    {"Ctrl+0",
     {XK_Control_L, XK_0},
     0,
     "0",
     false,
     ZoomFirst,
     [](T& t, TFormHTML* f, const Before& b) { return t.Zoomed(f, b, 100); }},
    {"Ctrl+wheel up", {XK_Control_L}, 4, "", false, nullptr, kZoomIn},
    {"Ctrl+wheel down", {XK_Control_L}, 5, "", false, nullptr, kZoomOut},
    {"Ctrl+P",
     {XK_Control_L, XK_p},
     0,
     "p",
     false,
     nullptr,
     [](T& t, TFormHTML*, const Before&) { return t.print_closer_.seen() == 1; }},
};

void Input(const Case& c) {
  for (guint k : c.keys) FakeKey(k, true);
  if (c.button != 0) {
    XTestFakeButtonEvent(DefaultXDisplay(), c.button, True, CurrentTime);
    XTestFakeButtonEvent(DefaultXDisplay(), c.button, False, CurrentTime);
    XSync(DefaultXDisplay(), False);
  }
  for (auto k = c.keys.rbegin(); k != c.keys.rend(); ++k) FakeKey(*k, false);
}

TEST_P(ShortcutTableTest, EachShortcutActsOnItsOwnWindow) {
  TFormHTML* form = GetParam() ? SecondWindow() : form_;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Open(form, "/a.html");
    Open(form, "/keys.html");
    if (c.before != nullptr) c.before(*this, form);
    FocusPage(form);
    RunScript(View(form), "log.length = 0; sessionStorage.log = '[]'");
    const Before before{RequestsFor("/keys.html"), InnerWidth(form)};
    Input(c);
    EXPECT_TRUE(RunUntil([&] { return c.done(*this, form, before); }));
    RunFor(150);
    const std::string keydown = std::string("\"") + c.keydown + "\"";
    EXPECT_EQ(KeyDowns(form).find(keydown) != std::string::npos, c.reaches_page) << KeyDowns(form);
    form->CppWebBrowser1->Zoom().Reset();  // for the next row
    form->CppWebBrowser1->FindBar().Close();
  }
}

TEST_P(ShortcutTableTest, CtrlWClosesTheWindowAsItsCloseButtonDoes) {
  TFormHTML* form = GetParam() ? SecondWindow() : form_;
  Open(form, "/keys.html");
  FocusPage(form);
  // The main window's close would end this binary's application: counted
  // there, and let through in a secondary window.
  int closes = 0;
  form->signal_delete_event().connect(
      [&](GdkEventAny*) {
        ++closes;
        return !GetParam();
      },
      false);
  Press({XK_Control_L, XK_w});
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(Application->Terminated());
  if (GetParam()) {
    // Hidden and kept, its page left: nothing of it goes on behind the close.
    EXPECT_FALSE(form->get_visible());
    EXPECT_TRUE(RunUntil(
        [&] { return std::string(webkit_web_view_get_uri(View(form))) == "about:blank"; }));
  } else {
    EXPECT_EQ(KeyDowns(form), "[]");
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, ShortcutTableTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Secondary" : "Main"; });

TEST_F(ShortcutTest, PagesPrintThroughTheSameDialog) {
  PrintDialogCloser closer;
  Open(form_, "/keys.html");
  RunScript(View(form_), "setTimeout(() => print(), 0); 1");
  EXPECT_TRUE(RunUntil([&] { return closer.seen() == 1; }));
}

TEST_F(ShortcutTest, ZoomLevelShowsBrieflyWhileNotNormal) {
  Open(form_, "/keys.html");
  TZoom& zoom = form_->CppWebBrowser1->Zoom();
  zoom.In();
  EXPECT_TRUE(zoom.Indicator().get_mapped());
  EXPECT_EQ(zoom.Indicator().get_text(), "110 %");
  EXPECT_TRUE(RunUntil([&] { return !zoom.Indicator().get_mapped(); }));
  zoom.Reset();
  EXPECT_FALSE(zoom.Indicator().get_mapped());
  for (int i = 0; i < 20; ++i) zoom.Out();
  EXPECT_EQ(zoom.Percent(), 30);
  for (int i = 0; i < 20; ++i) zoom.In();
  EXPECT_EQ(zoom.Percent(), 300);
}

class FindTest : public ShortcutTest {
 protected:
  void SetUp() override {
    ShortcutTest::SetUp();
    Open(form_, "/find.html");
    FocusPage(form_);
    RunScript(View(form_), "log.length = 0; sessionStorage.log = '[]'");
    Press({XK_Control_L, XK_f});
    ASSERT_TRUE(Bar().Entry().has_focus());
  }
  TFindBar& Bar() { return form_->CppWebBrowser1->FindBar(); }
  bool StatusIs(const std::string& status) {
    return RunUntil([&] { return Bar().StatusText() == status; }, 5000);
  }
  std::string Selected() {
    return RunScript(View(form_), "getSelection().toString()").value_or("?");
  }
};

TEST_F(FindTest, StepsThroughSeveralMatchesBothWays) {
  for (guint k : {XK_a, XK_p, XK_p, XK_l, XK_e}) Press({k});
  ASSERT_TRUE(StatusIs("3 件中 1 件目")) << Bar().StatusText();
  EXPECT_EQ(Selected(), "apple");
  struct Step {
    std::initializer_list<guint> keys;
    const char* status;
    const char* selected;
  };
  const Step steps[] = {
      {{XK_Return}, "3 件中 2 件目", "Apple"},
      {{XK_F3}, "3 件中 3 件目", "APPLE"},
      {{XK_Control_L, XK_g}, "3 件中 1 件目", "apple"},  // wraps
      {{XK_Shift_L, XK_Return}, "3 件中 3 件目", "APPLE"},
      {{XK_Shift_L, XK_F3}, "3 件中 2 件目", "Apple"},
      {{XK_Control_L, XK_Shift_L, XK_g}, "3 件中 1 件目", "apple"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.status);
    Press(s.keys);
    EXPECT_EQ(Bar().StatusText(), s.status);
    EXPECT_TRUE(RunUntil([&] { return Selected() == s.selected; }, 3000)) << Selected();
  }
  EXPECT_EQ(KeyDowns(form_), "[]");
}

TEST_F(FindTest, NoMatchIsMarked) {
  for (guint k : {XK_q, XK_x, XK_z}) Press({k});
  ASSERT_TRUE(StatusIs("見つかりません"));
  EXPECT_TRUE(Bar().Entry().get_style_context()->has_class(GTK_STYLE_CLASS_ERROR));
  Press({XK_BackSpace});
  Press({XK_BackSpace});
  Press({XK_BackSpace});
  EXPECT_TRUE(StatusIs(""));
  EXPECT_FALSE(Bar().Entry().get_style_context()->has_class(GTK_STYLE_CLASS_ERROR));
}

TEST_F(FindTest, MatchesJapaneseText) {
  struct Case {
    const char* text;
    const char* status;
  };
  const Case cases[] = {
      {"東京", "2 件中 1 件目"},   {"東京タワー", "1 件中 1 件目"},
      {"りんご", "2 件中 1 件目"},  // hiragana and katakana fold together
      {"ﾀﾜｰ", "1 件中 1 件目"},     // so do half-width and full-width
      {"大阪", "見つかりません"},
  };
  for (const Case& c : cases) {
    Bar().Entry().set_text(c.text);
    EXPECT_TRUE(StatusIs(c.status)) << c.text << ": " << Bar().StatusText();
  }
}

TEST_F(FindTest, EscapeClosesTheStripAndGivesTheFocusBack) {
  Bar().Entry().set_text("apple");
  ASSERT_TRUE(StatusIs("3 件中 1 件目"));
  Press({XK_Escape});
  EXPECT_FALSE(Bar().get_visible());
  EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(View(form_))));
  EXPECT_EQ(KeyDowns(form_), "[]");
  // The page has the keys again.
  Press({XK_b});
  EXPECT_EQ(KeyDowns(form_), "[\"b\"]");
}

TEST_F(FindTest, TheStripIsNamedAndUsableByKeyboard) {
  Bar().Entry().set_text("apple");
  ASSERT_TRUE(StatusIs("3 件中 1 件目"));
  AtkObject* status = nullptr;
  for (const char* name : {"FindEntry", "FindPrevious", "FindNext", "FindClose", "FindStatus"}) {
    SCOPED_TRACE(name);
    std::vector<Gtk::Widget*> found;
    for (Gtk::Widget* w : Bar().get_children()) {
      if (w->get_name() == name) found.push_back(w);
    }
    ASSERT_EQ(found.size(), 1u);
    AtkObject* a = gtk_widget_get_accessible(found[0]->gobj());
    const gchar* accessible = atk_object_get_name(a);
    EXPECT_TRUE(accessible != nullptr && *accessible != '\0');
    if (std::string(name) == "FindStatus") status = a;
  }
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(atk_object_get_role(status), ATK_ROLE_STATUSBAR);
  EXPECT_STREQ(atk_object_get_name(status), "3 件中 1 件目");
  // Tab leaves the entry for the strip's buttons; Escape closes from there.
  Press({XK_Tab});
  Gtk::Widget* focus = form_->get_focus();
  ASSERT_NE(focus, nullptr);
  EXPECT_EQ(focus->get_name(), "FindPrevious");
  Press({XK_Tab});
  Press({XK_Return});  // "次へ"
  EXPECT_EQ(Bar().StatusText(), "3 件中 2 件目");
  Press({XK_Escape});
  EXPECT_FALSE(Bar().get_visible());
  EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(View(form_))));
}

// Enter in the address box loads its text once; the Enter that commits an
// input method's text only commits it.
TEST_F(ShortcutTest, EnterCommittingAConversionDoesNotNavigate) {
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text(server_.Url("/ime"));
  form_->EditURL->set_position(-1);
  // The toolkit's own input method: Ctrl+Shift+U, the code point, Enter.
  Press({XK_Control_L, XK_Shift_L, XK_u});
  for (guint k : {XK_3, XK_0, XK_4, XK_2}) Press({k});
  const std::size_t requests = server_.Requests().size();
  Press({XK_Return});
  RunFor(300);
  EXPECT_EQ(form_->EditURL->get_text(), server_.Url("/imeあ"));
  EXPECT_EQ(server_.Requests().size(), requests);
  Press({XK_Return});
  ASSERT_TRUE(RunUntil([&] { return server_.Requests().size() > requests; }));
  RunFor(300);
  EXPECT_EQ(server_.Requests().size(), requests + 1);
  EXPECT_EQ(server_.Requests().back(), "/imeあ");
}

}  // namespace

int main(int argc, char** argv) {
  // The toolkit's own input method, whatever the desktop has.
  g_setenv("GTK_IM_MODULE", "gtk-im-context-simple", TRUE);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment());
  return RUN_ALL_TESTS();
}
