// A page's requests for the location and for notifications, put to the user
// in a strip: what the page receives for each answer, and what is remembered.
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <string>

#include "browser/permission_bar.h"
#include "tests/support/navigation_support.h"

namespace {

constexpr char kPage[] = R"html(<title>ready</title><script>let n = 0;</script>
<button id="notify" style="display:block;width:300px;height:40px"
  onclick="Notification.requestPermission().then(r => document.title = 'notify:' + r + ':' + ++n)"
  >notify</button>
<button id="where" style="display:block;width:300px;height:40px"
  onclick="navigator.geolocation.getCurrentPosition(
    p => document.title = 'where:' + p.coords.latitude + ':' + ++n,
    e => document.title = 'where-error:' + e.code + ':' + ++n)">where</button>)html";

std::string Title(TFormHTML* form) {
  const gchar* title = webkit_web_view_get_title(form->CppWebBrowser1->View());
  return title != nullptr ? title : "";
}

TPermissionBar* Bar(TFormHTML* form) {
  for (Gtk::Widget* child : form->CppWebBrowser1->get_children()) {
    if (auto* bar = dynamic_cast<TPermissionBar*>(child)) return bar;
  }
  return nullptr;
}

bool Asking(TFormHTML* form) { return Bar(form) != nullptr && Bar(form)->get_visible(); }

template <typename T>
T& Part(TFormHTML* form, const std::string& name) {
  for (Gtk::Widget* child : Bar(form)->get_children()) {
    if (child->get_name() == name) return dynamic_cast<T&>(*child);
  }
  throw std::runtime_error("no " + name);
}

void Press(guint keysym) {
  testsupport::FakeKey(keysym, true);
  testsupport::FakeKey(keysym, false);
  RunFor(150);
}

class PermissionTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    server_.AddHtml("/ask.html", kPage);
    server_.AddHtml("/other.html", "<title>other</title>other");
    // The desktop's location service, faked: a fixed place.
    manager_ = webkit_web_context_get_geolocation_manager(
        webkit_web_view_get_context(form_->CppWebBrowser1->View()));
    started_ = g_signal_connect(manager_, "start", G_CALLBACK(+[](WebKitGeolocationManager* m) {
                                  WebKitGeolocationPosition* p =
                                      webkit_geolocation_position_new(35.5, 139.5, 10);
                                  webkit_geolocation_manager_update_position(m, p);
                                  webkit_geolocation_position_free(p);
                                  return TRUE;
                                }),
                                nullptr);
    Load(form_, "/ask.html");
  }
  void TearDown() override {
    g_signal_handler_disconnect(manager_, started_);
    FormTest::TearDown();
  }

  void Load(TFormHTML* form, const std::string& path) {
    form->EditURL->set_text(server_.Url(path));
    form->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form, server_.Url(path)));
  }

  // Clicks `id` in the page and waits for the question.
  bool Ask(TFormHTML* form, const std::string& id) {
    return navtest::ClickElement(form, id) && RunUntil([&] { return Asking(form); });
  }

  bool TitleIs(TFormHTML* form, const std::string& title) {
    return RunUntil([&] { return Title(form) == title; });
  }

  std::string Host() const { return server_.Url("").substr(std::string("http://").size()); }

  WebKitGeolocationManager* manager_ = nullptr;
  gulong started_ = 0;
};

TEST_F(PermissionTest, AllowedNotificationsAreGrantedAndRememberedForTheSite) {
  ASSERT_TRUE(Ask(form_, "notify"));
  EXPECT_EQ(Part<Gtk::Label>(form_, "PermissionMessage").get_text(),
            Host() + " が通知の表示を求めています。");
  AtkObject* accessible = gtk_widget_get_accessible(GTK_WIDGET(Bar(form_)->gobj()));
  EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_ALERT);
  EXPECT_EQ(std::string(atk_object_get_name(accessible)), Host() + " が通知の表示を求めています。");
  EXPECT_EQ(Title(form_), "ready") << "the page waits for the answer";
  Part<Gtk::Button>(form_, "PermissionAllow").clicked();
  EXPECT_TRUE(TitleIs(form_, "notify:granted:1")) << Title(form_);
  EXPECT_FALSE(Asking(form_));
  ASSERT_TRUE(navtest::ClickElement(form_, "notify"));
  EXPECT_TRUE(TitleIs(form_, "notify:granted:2")) << Title(form_);
  EXPECT_FALSE(Asking(form_)) << "asked once per site";
  EXPECT_EQ(RunScript(form_->CppWebBrowser1->View(), "Notification.permission"), "granted");
}

TEST_F(PermissionTest, ADeniedLocationGivesThePageTheDenialAndIsRemembered) {
  ASSERT_TRUE(Ask(form_, "where"));
  EXPECT_EQ(Part<Gtk::Label>(form_, "PermissionMessage").get_text(),
            Host() + " が位置情報の使用を求めています。");
  Part<Gtk::Button>(form_, "PermissionDeny").clicked();
  EXPECT_TRUE(TitleIs(form_, "where-error:1:1")) << Title(form_);  // PERMISSION_DENIED
  ASSERT_TRUE(navtest::ClickElement(form_, "where"));
  EXPECT_TRUE(TitleIs(form_, "where-error:1:2")) << Title(form_);
  EXPECT_FALSE(Asking(form_));
}

TEST_F(PermissionTest, AnAllowedLocationReachesThePage) {
  ASSERT_TRUE(Ask(form_, "where"));
  Part<Gtk::Button>(form_, "PermissionAllow").clicked();
  EXPECT_TRUE(TitleIs(form_, "where:35.5:1")) << Title(form_);
}

TEST_F(PermissionTest, EscapeDismissesTheQuestionWhichDeniesButIsNotRemembered) {
  ASSERT_TRUE(Ask(form_, "notify"));
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  form_->BitBtn5->grab_focus();
  Press(XK_Tab);
  ASSERT_TRUE(Part<Gtk::Button>(form_, "PermissionAllow").has_focus());
  Press(XK_Tab);
  ASSERT_TRUE(Part<Gtk::Button>(form_, "PermissionDeny").has_focus());
  Press(XK_Tab);
  ASSERT_TRUE(Part<Gtk::Button>(form_, "PermissionClose").has_focus());
  EXPECT_EQ(std::string(atk_object_get_name(
                gtk_widget_get_accessible(Part<Gtk::Widget>(form_, "PermissionClose").gobj()))),
            "閉じる");
  Press(XK_Escape);
  EXPECT_TRUE(TitleIs(form_, "notify:denied:1")) << Title(form_);
  EXPECT_FALSE(Asking(form_));
  EXPECT_TRUE(Ask(form_, "notify")) << "asked again";
}

TEST_F(PermissionTest, TheKeyboardAnswersTheQuestion) {
  ASSERT_TRUE(Ask(form_, "where"));
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  form_->BitBtn5->grab_focus();
  Press(XK_Tab);
  ASSERT_TRUE(Part<Gtk::Button>(form_, "PermissionAllow").has_focus());
  Press(XK_Return);
  EXPECT_TRUE(TitleIs(form_, "where:35.5:1")) << Title(form_);
}

TEST_F(PermissionTest, LeavingThePageDeniesItsQuestion) {
  ASSERT_TRUE(Ask(form_, "where"));
  Load(form_, "/other.html");
  EXPECT_TRUE(RunUntil([&] { return !Asking(form_); }));
  Load(form_, "/ask.html");
  EXPECT_TRUE(Ask(form_, "where")) << "not remembered";
}

TEST_F(PermissionTest, ClosingTheWindowDeniesItsQuestion) {
  server_.AddHtml("/opener.html", R"(<a id="blank" href="/ask.html" target="_blank"
                  style="display:block;height:40px">ask</a>)");
  Load(form_, "/opener.html");
  ASSERT_TRUE(navtest::ClickElement(form_, "blank"));
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 2; }));
  auto* second = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ASSERT_TRUE(WaitForPage(second, server_.Url("/ask.html")));
  ASSERT_TRUE(Ask(second, "where"));
  gtk_window_close(second->gobj());
  EXPECT_TRUE(TitleIs(second, "where-error:1:1")) << Title(second);
  EXPECT_FALSE(Bar(second)->get_visible());
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
