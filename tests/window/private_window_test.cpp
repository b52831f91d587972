// Private windows, opened with Ctrl+Shift+N pressed for real and by a page's
// click: how they are marked, which windows share their cookies, and that
// the cookies go with the last of them.
#include "window/private_window.h"

#include <atk/atk.h>

#include <filesystem>

#include "browser/web_context.h"
#include "downloads/folder.h"
#include "tests/support/form_fixture.h"
#include "tests/support/navigation_support.h"
#include "tests/support/private_folders.h"
#include "window/notice_bar.h"
// clang-format off: the X headers define None, Bool and more, so they come last
#include "tests/support/x_input.h"
// clang-format on

namespace {

class PrivateWindowTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    TestHttpServer::Page set;
    set.body =
        "<button id=pop onclick=\"window.open('/cookie.html')\" "
        "style='width:300px;height:40px'>open</button>";
    set.headers = {{"Set-Cookie", "visitor=private; Max-Age=86400; Path=/"}};
    server_.Add("/set.html", set);
    server_.AddHtml("/cookie.html", "cookie");
    TestHttpServer::Page file;
    file.body = "a,b\n";
    file.type = "text/csv";
    file.headers = {{"Content-Disposition", "attachment; filename=list.csv"}};
    server_.Add("/list.csv", file);
  }

  // Ctrl+Shift+N in `form`, pressed for real; the window it opened.
  TFormHTML* PressCtrlShiftN(TFormHTML* form) {
    const std::size_t before = Application->Forms().size();
    if (!testsupport::FocusWindow(form->gobj())) return nullptr;
    for (guint key : {GDK_KEY_Control_L, GDK_KEY_Shift_L, GDK_KEY_n})
      testsupport::FakeKey(key, true);
    for (guint key : {GDK_KEY_n, GDK_KEY_Shift_L, GDK_KEY_Control_L})
      testsupport::FakeKey(key, false);
    if (!RunUntil([&] { return Application->Forms().size() == before + 1; })) return nullptr;
    auto* window = dynamic_cast<TFormHTML*>(Application->Forms().back());
    return window != nullptr && WaitForPage(window, server_.Url("/home.html")) ? window : nullptr;
  }

  // The cookie `form`'s page sends for /cookie.html.
  std::string CookieSentBy(TFormHTML* form) {
    form->NavigateTo(server_.Url("/cookie.html"));
    if (!WaitForPage(form, server_.Url("/cookie.html"))) return "<not loaded>";
    const std::size_t last = server_.Requests().size() - 1;
    return server_.Requests()[last] == "/cookie.html" ? server_.RequestHeader(last, "cookie") : "?";
  }

  static std::string AccessibleName(Gtk::Widget& widget) {
    const gchar* name = atk_object_get_name(gtk_widget_get_accessible(widget.gobj()));
    return name != nullptr ? name : "";
  }

  // Everything that tells the user, and the engine, that `window` is private.
  void ExpectPrivate(TFormHTML* window) {
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Private());
    EXPECT_NE(window->get_title().find("プライベート"), std::string::npos);
    EXPECT_NE(AccessibleName(*window->EditURL).find("プライベート"), std::string::npos);
    EXPECT_NE(AccessibleName(*window->Panel2).find("プライベート"), std::string::npos);
    EXPECT_NE(window->Panel2->Colour().b, form_->Panel2->Colour().b);
    EXPECT_TRUE(webkit_web_view_is_ephemeral(window->CppWebBrowser1->View()));
  }
};

TEST_F(PrivateWindowTest, PrivateWindowsShareTheirCookiesApartFromOthersUntilTheLastCloses) {
  EXPECT_FALSE(webkit_web_view_is_ephemeral(form_->CppWebBrowser1->View()));
  TFormHTML* first = PressCtrlShiftN(form_);
  ExpectPrivate(first);
  first->NavigateTo(server_.Url("/set.html"));
  ASSERT_TRUE(WaitForPage(first, server_.Url("/set.html")));
  EXPECT_EQ(CookieSentBy(form_), "");
  // Windows its pages open, and those the user opens beside it, are private
  // and see its cookie.
  const std::size_t before = Application->Forms().size();
  ASSERT_TRUE(navtest::ClickElement(first, "pop"));
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == before + 1; }));
  auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ExpectPrivate(opened);
  ASSERT_TRUE(WaitForPage(opened, server_.Url("/cookie.html")));
  EXPECT_EQ(server_.RequestHeader(server_.Requests().size() - 1, "cookie"), "visitor=private");
  TFormHTML* second = PressCtrlShiftN(first);
  ExpectPrivate(second);
  EXPECT_EQ(CookieSentBy(second), "visitor=private");
  // Closed, they are gone, and so is what they shared.
  for (TFormHTML* window : {first, opened, second}) window->close();
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 1; }));
  TFormHTML* later = PressCtrlShiftN(form_);
  ExpectPrivate(later);
  EXPECT_EQ(CookieSentBy(later), "");
}

// The notice strip over `window`'s page, when shown.
TNoticeBar* Notice(TFormHTML* window) {
  for (Gtk::Widget* child : window->CppWebBrowser1->get_children()) {
    auto* bar = dynamic_cast<TNoticeBar*>(child);
    if (bar != nullptr && bar->get_visible()) return bar;
  }
  return nullptr;
}

TEST_F(PrivateWindowTest, DownloadsAreSavedAsUsualAndTheUserIsToldOnce) {
  const std::string folder = testsupport::MakePrivateRoot();
  SetDownloadFolder(folder);
  TFormHTML* window = PressCtrlShiftN(form_);
  ASSERT_NE(window, nullptr);
  for (const char* name : {"list.csv", "list (1).csv"}) {
    window->NavigateTo(server_.Url("/list.csv"));
    EXPECT_TRUE(RunUntil([&] { return std::filesystem::exists(folder + "/" + name); })) << name;
    if (std::string(name) == "list.csv") {
      ASSERT_NE(Notice(window), nullptr);
      auto* message = dynamic_cast<Gtk::Label*>(Notice(window)->get_children().front());
      EXPECT_EQ(message->get_text(), kPrivateDownloadNotice);
      Notice(window)->hide();  // as its × does
    } else {
      RunFor(500);
      EXPECT_EQ(Notice(window), nullptr) << "said once";
    }
  }
  SetDownloadFolder("");
  testsupport::RemoveTree(folder);
}

}  // namespace
