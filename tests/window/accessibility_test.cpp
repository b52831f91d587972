// The window as a screen reader and a keyboard-only user meet it: the names,
// roles and relations its widgets give through ATK, and the script-dialog
// strip reached and answered with real key presses.
#include <X11/keysym.h>
#include <atk/atk.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/form_fixture.h"
// clang-format off: the X headers define None, Bool and more, so they come last
#include "tests/support/x_input.h"
// clang-format on

namespace {

using testsupport::FakeKey;
using testsupport::FocusWindow;

std::string Name(GtkWidget* widget) {
  const gchar* name = atk_object_get_name(gtk_widget_get_accessible(widget));
  return name != nullptr ? name : "";
}

AtkRole Role(GtkWidget* widget) { return atk_object_get_role(gtk_widget_get_accessible(widget)); }

// The widgets around the page, depth first; the page is read by the engine.
void Collect(GtkWidget* widget, std::vector<GtkWidget*>& out) {
  out.push_back(widget);
  if (!GTK_IS_CONTAINER(widget) || WEBKIT_IS_WEB_VIEW(widget)) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* c = children; c != nullptr; c = c->next) Collect(GTK_WIDGET(c->data), out);
  g_list_free(children);
}

GtkWidget* Find(Gtk::Widget* root, const std::string& name) {
  std::vector<GtkWidget*> all;
  Collect(root->gobj(), all);
  for (GtkWidget* w : all) {
    if (name == gtk_widget_get_name(w)) return w;
  }
  return nullptr;
}

// The objects that `widget` has in relation `type`.
std::vector<AtkObject*> Targets(GtkWidget* widget, AtkRelationType type) {
  std::vector<AtkObject*> targets;
  AtkRelationSet* set = atk_object_ref_relation_set(gtk_widget_get_accessible(widget));
  if (AtkRelation* relation = atk_relation_set_get_relation_by_type(set, type)) {
    GPtrArray* array = atk_relation_get_target(relation);
    for (guint i = 0; i < array->len; ++i)
      targets.push_back(ATK_OBJECT(g_ptr_array_index(array, i)));
  }
  g_object_unref(set);
  return targets;
}

// Their names.
std::vector<std::string> Related(GtkWidget* widget, AtkRelationType type) {
  std::vector<std::string> names;
  for (AtkObject* target : Targets(widget, type)) {
    const gchar* name = atk_object_get_name(target);
    names.push_back(name != nullptr ? name : "");
  }
  return names;
}

// Every shown part of `widget` has its place: Tab goes by the places.
bool LaidOut(GtkWidget* widget) {
  std::vector<GtkWidget*> parts;
  Collect(widget, parts);
  for (GtkWidget* part : parts) {
    if (gtk_widget_is_visible(part) && gtk_widget_get_allocated_width(part) <= 1) return false;
  }
  return true;
}

bool Showing(GtkWidget* widget) {
  AtkStateSet* states = atk_object_ref_state_set(gtk_widget_get_accessible(widget));
  const bool showing = atk_state_set_contains_state(states, ATK_STATE_SHOWING);
  g_object_unref(states);
  return showing;
}

// `widget` as it draws itself, one 0xRRGGBB value per pixel.
std::vector<guint32> Snapshot(GtkWidget* widget, int& width, int& height) {
  width = gtk_widget_get_allocated_width(widget);
  height = gtk_widget_get_allocated_height(widget);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<guint32> pixels;
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const guint32*>(data + y * stride);
    for (int x = 0; x < width; ++x) pixels.push_back(row[x] & 0xFFFFFF);
  }
  cairo_surface_destroy(surface);
  return pixels;
}

class AccessibilityTest : public FormTest {
 protected:
  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }

  std::string Title() {
    const gchar* title = webkit_web_view_get_title(View());
    return title != nullptr ? title : "";
  }

  // Loads a page that runs `script` for its title, and waits for the strip.
  GtkWidget* ShowDialog(const std::string& path, const std::string& script) {
    server_.AddHtml(path, "<script>document.title = '[' + " + script + " + ']'</script>");
    form_->EditURL->set_text(server_.Url(path));
    form_->ButtonOpenClick();
    GtkWidget* strip = nullptr;
    RunUntil([&] {
      strip = Find(form_->CppWebBrowser1, "ScriptDialog");
      return strip != nullptr && gtk_widget_get_mapped(strip) && LaidOut(strip);
    });
    return strip;
  }

  std::string Focused() {
    Gtk::Widget* focus = form_->get_focus();
    return focus != nullptr ? std::string(focus->get_name()) : "";
  }

  void Press(guint keysym) {
    FakeKey(keysym, true);
    FakeKey(keysym, false);
    RunFor(150);
  }
};

TEST_F(AccessibilityTest, EveryButtonAndEntryHasItsName) {
  const std::map<std::string, std::string> expected{
      {"ButtonGoHome", "Amazon Japan"},
      {"ButtonGoBack", "Store Mix"},
      {"ButtonGoForward", "ビッダーズ"},
      {"ButtonVeldaLabl", "Pelloria"},
      {"ButtonFile", "このソフトは・・"},
      {"ButtonRefresh", "楽　天"},
      {"Button11", "Web 通"},
      {"Button12", "Amema ﾗﾝｷﾝｸﾞ"},
      {"Button13", "楽　天 Books"},
      {"Button14", "Norrvikご紹介"},
      {"Button15", "Shop あまなつ"},
      {"BitBtn6", "Yahoo! JAPAN"},
      {"BitBtn7", "Google"},
      {"EditURL", "アドレス"},
      {"ButtonOpen", "GO"},
      {"BitBtn1", "ホームページへ"},
      {"BitBtn4", "戻るボタン"},
      {"BitBtn2", "進むボタン"},
      {"BitBtn3", "停止ボタン"},
      {"BitBtn5", "再度用見込みボタン"},
      {"Button1", "A8ネット"},
      {"Button2", "JaNet"},
      {"Button3", "電 脳 卸"},
      {"Button4", "ﾊﾞﾘｭｰｺｰﾏｽ"},
      {"Button5", "ｱｸｾｽﾄﾚｰﾄﾞ"},
      {"Button6", "ﾄﾗﾌｨｯｸｹﾞｰﾄ"},
      {"Button7", "Link Share"},
      {"Button8", "ﾊﾞﾅｰﾌﾞﾘｯｼﾞ"},
      {"Button9", "Quenmore"},
      {"Button10", "日払いｱﾌｨﾘｴｲﾄ"},
  };
  std::vector<GtkWidget*> all;
  Collect(GTK_WIDGET(form_->gobj()), all);
  std::map<std::string, std::string> named;
  for (GtkWidget* w : all) {
    const AtkRole role = Role(w);
    if (role != ATK_ROLE_PUSH_BUTTON && role != ATK_ROLE_TEXT && role != ATK_ROLE_ENTRY) continue;
    named[gtk_widget_get_name(w)] = Name(w);
  }
  EXPECT_EQ(named, expected);
}

TEST_F(AccessibilityTest, CaptionsLabelTheAddressBoxAndTheGroupsAndGoSaysWhatItDoes) {
  GtkWidget* box = GTK_WIDGET(form_->EditURL->gobj());
  EXPECT_EQ(Related(box, ATK_RELATION_LABELLED_BY), std::vector<std::string>{"アドレス"});
  EXPECT_EQ(Targets(GTK_WIDGET(form_->Label1->gobj()), ATK_RELATION_LABEL_FOR),
            std::vector<AtkObject*>{gtk_widget_get_accessible(box)});
  EXPECT_EQ(form_->Label1->get_mnemonic_keyval(), GDK_KEY_VoidSymbol);  // no shortcut appears
  for (auto [group, caption] :
       {std::pair<TGroupBox*, std::string>{form_->GroupBox1, "ショップ リスト"},
        {form_->GroupBox2, "検索など"}}) {
    EXPECT_EQ(Name(GTK_WIDGET(group->gobj())), caption);
    EXPECT_EQ(Related(GTK_WIDGET(group->gobj()), ATK_RELATION_LABELLED_BY),
              std::vector<std::string>{caption});
  }
  const gchar* description =
      atk_object_get_description(gtk_widget_get_accessible(GTK_WIDGET(form_->ButtonOpen->gobj())));
  EXPECT_STREQ(description, "アドレス欄のページを開きます");
}

TEST_F(AccessibilityTest, ScriptDialogStripIsAnAlertThatReadsItsMessage) {
  struct Case {
    const char* script;
    const char* message;
  };
  const Case cases[] = {
      {"alert('保存しました')", "保存しました"},
      {"confirm('削除してよろしいですか')", "削除してよろしいですか"},
      {"prompt('お名前は', '')", "お名前は"},
  };
  int page = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    GtkWidget* strip = ShowDialog("/said" + std::to_string(++page) + ".html", c.script);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(Role(strip), ATK_ROLE_ALERT);
    EXPECT_EQ(Name(strip), c.message);
    EXPECT_TRUE(RunUntil([&] { return Showing(strip); }, 2000));
    std::vector<GtkWidget*> parts;
    Collect(strip, parts);
    for (GtkWidget* part : parts) {
      if (!gtk_widget_is_visible(part)) continue;
      if (GTK_IS_BUTTON(part) || GTK_IS_ENTRY(part)) {
        EXPECT_FALSE(Name(part).empty()) << gtk_widget_get_name(part);
      }
      if (GTK_IS_ENTRY(part)) {
        EXPECT_EQ(Related(part, ATK_RELATION_LABELLED_BY), std::vector<std::string>{c.message});
      }
    }
    gtk_button_clicked(GTK_BUTTON(Find(form_->CppWebBrowser1, "ScriptDialogOK")));
    ASSERT_TRUE(RunUntil([&] { return !gtk_widget_get_visible(strip); }));
    EXPECT_FALSE(Showing(strip));
  }
}

TEST_F(AccessibilityTest, TabReachesTheScriptDialogStripAndEscapeAnswersIt) {
  struct Case {
    const char* script;
    std::vector<std::string> tabbed;  // the focus after each Tab from the last picture button
    guint answer_key;
    const char* result;
  };
  const Case cases[] = {
      {"alert('お知らせ')", {"ScriptDialogOK"}, XK_Escape, "[undefined]"},
      {"confirm('よろしいですか')", {"ScriptDialogOK", "ScriptDialogCancel"}, XK_Escape, "[false]"},
      {"prompt('お名前', '既定')",
       {"ScriptDialogEntry", "ScriptDialogOK", "ScriptDialogCancel"},
       XK_Escape,
       "[null]"},
      {"prompt('お名前', '既定')", {"ScriptDialogEntry"}, XK_Escape, "[null]"},
      {"confirm('よろしいですか')", {"ScriptDialogOK"}, XK_Return, "[true]"},
  };
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  int page = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    form_->BitBtn5->grab_focus();  // the strip does not take the focus from the window's controls
    GtkWidget* strip = ShowDialog("/keys" + std::to_string(++page) + ".html", c.script);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(Focused(), "BitBtn5");
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < c.tabbed.size(); ++i) {
      Press(XK_Tab);
      seen.push_back(Focused());
    }
    EXPECT_EQ(seen, c.tabbed);
    Press(c.answer_key);
    EXPECT_TRUE(RunUntil([&] { return Title() == c.result; })) << Title();
    EXPECT_FALSE(gtk_widget_get_visible(strip));
    EXPECT_TRUE(gtk_widget_has_focus(GTK_WIDGET(View())));  // back to the page, not lost
  }
}

// Each side of a focused button, within a few pixels of its edge, changes
// clearly along most of its length when the window shows the keyboard focus;
// the picture buttons have no caption to mark it otherwise.
TEST_F(AccessibilityTest, KeyboardFocusShowsARingAroundEveryButton) {
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  const std::vector<Gtk::Widget*> buttons{form_->BitBtn6, form_->BitBtn7,    form_->BitBtn1,
                                          form_->BitBtn4, form_->BitBtn2,    form_->BitBtn3,
                                          form_->BitBtn5, form_->ButtonOpen, form_->Button12};
  constexpr int kBand = 4;
  constexpr int kContrast = 96;
  for (Gtk::Widget* button : buttons) {
    SCOPED_TRACE(button->get_name());
    button->grab_focus();
    ASSERT_TRUE(RunUntil([&] { return button->has_focus(); }, 2000));
    int w = 0, h = 0;
    form_->set_focus_visible(false);
    const std::vector<guint32> plain = Snapshot(button->gobj(), w, h);
    form_->set_focus_visible(true);
    const std::vector<guint32> ringed = Snapshot(button->gobj(), w, h);
    // Pixels changed per side: the columns of the top and bottom bands, the
    // rows of the left and right bands.
    int top = 0, bottom = 0, left = 0, right = 0;
    // Changed enough to be told apart, not a faint tint.
    auto changed = [&](int x, int y) {
      const guint32 a = plain[y * w + x], b = ringed[y * w + x];
      for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) >= kContrast) return true;
      }
      return false;
    };
    for (int x = 0; x < w; ++x) {
      bool t = false, b = false;
      for (int d = 0; d < kBand; ++d) {
        t = t || changed(x, d);
        b = b || changed(x, h - 1 - d);
      }
      top += t;
      bottom += b;
    }
    for (int y = 0; y < h; ++y) {
      bool l = false, r = false;
      for (int d = 0; d < kBand; ++d) {
        l = l || changed(d, y);
        r = r || changed(w - 1 - d, y);
      }
      left += l;
      right += r;
    }
    EXPECT_GE(top * 4, w * 3);
    EXPECT_GE(bottom * 4, w * 3);
    EXPECT_GE(left * 4, h * 3);
    EXPECT_GE(right * 4, h * 3);
  }
}

TEST_F(AccessibilityTest, CrashNoticeIsAnAlert) {
  webkit_web_view_terminate_web_process(View());
  std::string alert;
  EXPECT_TRUE(RunUntil([&] {
    alert =
        RunScript(View(), "(document.querySelector('[role=alert]') || {innerText: ''}).innerText")
            .value_or("");
    return !alert.empty();
  }));
  EXPECT_NE(alert.find("このページはクラッシュしました"), std::string::npos) << alert;
  EXPECT_NE(alert.find("「更新」ボタンで再度読み込みます。"), std::string::npos) << alert;
}

}  // namespace
