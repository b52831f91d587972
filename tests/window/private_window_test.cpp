// Private windows from Ctrl+Shift+N and a page's click: their marks, the cookies
// they share apart from others until the last closes, their downloads' notice.
#include "window/private_window.h"

#include <atk/atk.h>
#include <gtkmm/button.h>
#include <gtkmm/filechooserdialog.h>

#include <filesystem>
#include <fstream>

#include "browser/permission_bar.h"
#include "downloads/folder.h"
#include "tests/support/files.h"
#include "tests/support/navigation_support.h"
#include "tests/support/private_folders.h"
#include "tests/support/widget_search.h"
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

  // Presses `keys` together in `form`, as the user does.
  static void PressKeys(TFormHTML* form, std::initializer_list<guint> keys) {
    ASSERT_TRUE(testsupport::FocusWindow(form->gobj()));
    for (guint key : keys) testsupport::FakeKey(key, 1);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) testsupport::FakeKey(*key, 0);
  }

  static std::string TitleOf(TFormHTML* form) {
    return RunScript(form->CppWebBrowser1->View(), "document.title").value_or("");
  }

  // Clicks the page's button `ask` in `form`; whether the permission strip
  // then asks, and if so answers it with `button`.
  static bool AskedAtClick(TFormHTML* form, const char* button) {
    if (!navtest::ClickElement(form, "ask")) return false;
    auto* bar = navtest::FindNamed<TPermissionBar>(*form->CppWebBrowser1, "PermissionBar");
    const bool asked = RunUntil(
        [&] {
          bar = navtest::FindNamed<TPermissionBar>(*form->CppWebBrowser1, "PermissionBar");
          return bar != nullptr && bar->get_visible();
        },
        3000);
    if (!asked) return false;
    RunFor(300);  // laid out
    auto* answer = navtest::FindNamed<Gtk::Button>(*bar, button);
    navtest::ClickWidget(*answer);
    EXPECT_TRUE(RunUntil([&] { return !bar->get_visible(); })) << button;
    return true;
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

// What the desktop's recent files hold (the toolkit writes them in the data folder).
std::string RecentFiles() {
  return testsupport::ReadFile(std::string(g_get_user_data_dir()) + "/recently-used.xbel");
}

// The user picks `file` in the file chooser a page's file field opened and
// accepts it as Enter does.
bool Upload(TFormHTML* window, const std::string& file) {
  if (!navtest::ClickElement(window, "upload")) return false;
  Gtk::FileChooserDialog* chooser = nullptr;
  if (!RunUntil([&] { return (chooser = testsupport::ShownWindow<Gtk::FileChooserDialog>()); })) {
    return false;
  }
  chooser->set_filename(file);
  RunUntil([&] { return chooser->get_filename() == file; }, 3000);
  gtk_window_activate_default(GTK_WINDOW(chooser->gobj()));
  return RunUntil(
      [&] { return RunScript(window->CppWebBrowser1->View(), "upload.files.length") == "1"; });
}

TEST_F(PrivateWindowTest, FilesUploadedOrDownloadedInAPrivateWindowStayOutOfTheRecentFiles) {
  server_.AddHtml("/upload.html", "<input type=file id=upload style='width:300px;height:60px'>");
  const std::string folder = testsupport::MakePrivateRoot();
  const std::string secret = folder + "/private-upload-7q.txt";
  const std::string plain = folder + "/plain-upload-3k.txt";
  for (const std::string& file : {secret, plain}) std::ofstream(file) << "text";
  TFormHTML* window = PressCtrlShiftN(form_);
  ASSERT_NE(window, nullptr);
  window->NavigateTo(server_.Url("/upload.html"));
  ASSERT_TRUE(WaitForPage(window, server_.Url("/upload.html")));
  ASSERT_TRUE(Upload(window, secret));
  // A download from it neither.
  TestHttpServer::Page file;
  file.type = "text/csv";
  file.headers = {{"Content-Disposition", "attachment; filename=private-list-5z.csv"}};
  server_.Add("/list.csv", file);
  SetDownloadFolder(folder);
  window->NavigateTo(server_.Url("/list.csv"));
  EXPECT_TRUE(RunUntil([&] { return std::filesystem::exists(folder + "/private-list-5z.csv"); }));
  SetDownloadFolder("");
  // An ordinary window's upload goes there as the toolkit does it.
  form_->NavigateTo(server_.Url("/upload.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/upload.html")));
  ASSERT_TRUE(Upload(form_, plain));
  EXPECT_TRUE(RunUntil([] { return RecentFiles().find("plain-upload-3k") != std::string::npos; }))
      << "the recent files can be seen";
  RunFor(500);
  EXPECT_EQ(RecentFiles().find("private-upload-7q"), std::string::npos);
  EXPECT_EQ(RecentFiles().find("private-list-5z"), std::string::npos);
  window->close();
  testsupport::RemoveTree(folder);
}

TEST_F(PrivateWindowTest, AnswersGivenInPrivateWindowsStayThereAndGoWithTheLast) {
  server_.AddHtml("/ask.html",
                  "<button id=ask style='width:200px;height:60px' onclick="
                  "\"navigator.geolocation.getCurrentPosition(p => document.title = 'here',"
                  " e => document.title = 'error:' + e.code)\">ask</button>");
  TFormHTML* first = PressCtrlShiftN(form_);
  ASSERT_NE(first, nullptr);
  first->NavigateTo(server_.Url("/ask.html"));
  ASSERT_TRUE(WaitForPage(first, server_.Url("/ask.html")));
  ASSERT_TRUE(AskedAtClick(first, "PermissionAllow"));
  // Another private window open at the same time knows the answer.
  TFormHTML* second = PressCtrlShiftN(first);
  ASSERT_NE(second, nullptr);
  second->NavigateTo(server_.Url("/ask.html"));
  ASSERT_TRUE(WaitForPage(second, server_.Url("/ask.html")));
  EXPECT_FALSE(AskedAtClick(second, "PermissionDeny"));
  // An ordinary window does not: it asks, and keeps its own answer.
  form_->NavigateTo(server_.Url("/ask.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/ask.html")));
  EXPECT_TRUE(AskedAtClick(form_, "PermissionDeny"));
  EXPECT_TRUE(RunUntil([&] { return TitleOf(form_) == "error:1"; }));  // PERMISSION_DENIED
  // Once the last private window closed, a new one asks again.
  for (TFormHTML* window : {first, second}) window->close();
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 1; }));
  TFormHTML* later = PressCtrlShiftN(form_);
  ASSERT_NE(later, nullptr);
  later->NavigateTo(server_.Url("/ask.html"));
  ASSERT_TRUE(WaitForPage(later, server_.Url("/ask.html")));
  EXPECT_TRUE(AskedAtClick(later, "PermissionDeny"));
}

TEST_F(PrivateWindowTest, ThePageAPrivateWindowSavesSaysItStays) {
  const std::string folder = testsupport::MakePrivateRoot();
  SetDownloadFolder(folder);
  TFormHTML* window = PressCtrlShiftN(form_);
  ASSERT_NE(window, nullptr);
  PressKeys(window, {GDK_KEY_Control_L, GDK_KEY_s});
  EXPECT_TRUE(RunUntil([&] {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
      if (entry.path().extension() == ".mhtml") return true;
    }
    return false;
  }));
  Gtk::Label* notice = Notice(window);
  EXPECT_EQ(notice != nullptr ? notice->get_text() : "", kPrivateSaveNotice);
  window->close();
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 1; }));
  SetDownloadFolder("");
  testsupport::RemoveTree(folder);
}

}  // namespace
