// Private windows from Ctrl+Shift+N and a page's click: their marks, the cookies
// they share apart from others until the last closes, their downloads' notice.
#include "window/private_window.h"

#include <atk/atk.h>

#include <filesystem>

#include "downloads/folder.h"
#include "tests/support/navigation_support.h"
#include "tests/support/private_folders.h"
#include "window/notice_bar.h"

namespace {

class PrivateWindowTest : public FormTest {
 protected:
  // Ctrl+Shift+N in `form`; the window it opened, with its home page.
  TFormHTML* PressCtrlShiftN(TFormHTML* form) {
    const std::size_t before = Application->Forms().size();
    if (!testsupport::FocusWindow(form->gobj())) return nullptr;
    for (guint key : {GDK_KEY_Control_L, GDK_KEY_Shift_L, GDK_KEY_n}) testsupport::FakeKey(key, 1);
    for (guint key : {GDK_KEY_n, GDK_KEY_Shift_L, GDK_KEY_Control_L}) testsupport::FakeKey(key, 0);
    if (!RunUntil([&] { return Application->Forms().size() == before + 1; })) return nullptr;
    auto* window = dynamic_cast<TFormHTML*>(Application->Forms().back());
    return window != nullptr && WaitForPage(window, server_.Url("/home.html")) ? window : nullptr;
  }

  // The cookie `form`'s page sends for /cookie.html.
  std::string CookieSentBy(TFormHTML* form) {
    form->NavigateTo(server_.Url("/cookie.html"));
    if (!WaitForPage(form, server_.Url("/cookie.html"))) return "<not loaded>";
    return server_.RequestHeader(server_.Requests().size() - 1, "cookie");
  }

  // What tells the user, a screen reader and the engine that `window` is private.
  void ExpectPrivate(TFormHTML* window) {
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Private());
    for (Gtk::Widget* row : std::initializer_list<Gtk::Widget*>{window->Panel2, window->EditURL}) {
      EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(row->gobj())),
                   "アドレス（プライベート）");
    }
    EXPECT_NE(window->get_title().find("プライベート"), std::string::npos);
    EXPECT_NE(window->Panel2->Colour().b, form_->Panel2->Colour().b);
    EXPECT_TRUE(webkit_web_view_is_ephemeral(window->CppWebBrowser1->View()));
  }

  // The notice strip shown over `window`'s page, if any.
  static Gtk::Label* Notice(TFormHTML* window) {
    for (Gtk::Widget* child : window->CppWebBrowser1->get_children()) {
      auto* bar = dynamic_cast<TNoticeBar*>(child);
      if (bar != nullptr && bar->get_visible()) {
        return dynamic_cast<Gtk::Label*>(bar->get_children().front());
      }
    }
    return nullptr;
  }
};

TEST_F(PrivateWindowTest, PrivateWindowsShareTheirCookiesApartFromOthersUntilTheLastCloses) {
  TestHttpServer::Page set, file;
  set.body = "<button id=pop onclick=\"window.open('/cookie.html')\">open</button>";
  set.headers = {{"Set-Cookie", "visitor=private; Max-Age=86400; Path=/"}};
  file.type = "text/csv";
  file.headers = {{"Content-Disposition", "attachment; filename=list.csv"}};
  server_.Add("/set.html", set);
  server_.Add("/list.csv", file);
  server_.AddHtml("/cookie.html", "cookie");
  EXPECT_FALSE(webkit_web_view_is_ephemeral(form_->CppWebBrowser1->View()));
  TFormHTML* first = PressCtrlShiftN(form_);
  ExpectPrivate(first);
  first->NavigateTo(server_.Url("/set.html"));
  ASSERT_TRUE(WaitForPage(first, server_.Url("/set.html")));
  EXPECT_EQ(CookieSentBy(form_), "");
  // Windows its pages open, and those the user opens beside it, are private
  // and see its cookie.
  ASSERT_TRUE(navtest::ClickElement(first, "pop"));
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 3; }));
  auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ExpectPrivate(opened);
  ASSERT_TRUE(WaitForPage(opened, server_.Url("/cookie.html")));
  EXPECT_EQ(server_.RequestHeader(server_.Requests().size() - 1, "cookie"), "visitor=private");
  TFormHTML* second = PressCtrlShiftN(first);
  ExpectPrivate(second);
  EXPECT_EQ(CookieSentBy(second), "visitor=private");
  // Downloads are saved as usual, and said once.
  const std::string folder = testsupport::MakePrivateRoot();
  SetDownloadFolder(folder);
  for (const std::string name : {"list.csv", "list (1).csv"}) {
    second->NavigateTo(server_.Url("/list.csv"));
    EXPECT_TRUE(RunUntil([&] { return std::filesystem::exists(folder + "/" + name); })) << name;
    Gtk::Label* notice = Notice(second);
    EXPECT_EQ(notice != nullptr ? notice->get_text() : "",
              name == "list.csv" ? kPrivateDownloadNotice : "");
    if (notice != nullptr) notice->get_parent()->hide();  // as its × does
  }
  SetDownloadFolder("");
  testsupport::RemoveTree(folder);
  // Closed, they are gone with what they shared.
  for (TFormHTML* window : {first, opened, second}) window->close();
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 1; }));
  TFormHTML* later = PressCtrlShiftN(form_);
  ExpectPrivate(later);
  EXPECT_EQ(CookieSentBy(later), "");
}

}  // namespace
