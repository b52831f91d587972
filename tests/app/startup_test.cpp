// Start-up, the error message box and the end of the program.
#include "app/startup.h"

#include <glibmm/main.h>

#include "platform/exception.h"
#include "tests/support/dialog_closer.h"
#include "tests/support/form_fixture.h"

namespace {

using testsupport::DialogCloser;

TEST(ErrorBoxText, FullStopAddedOnlyAfterCharactersSortingAfterIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  const Case cases[] = {
      {"", ""},
      {"Access violation", "Access violation."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"value -", "value -"},
      {"version 2", "version 2."},
      {"path/", "path/."},
      {"クラスが登録されていません", "クラスが登録されていません."},
      {"終わり。", "終わり。."},
      {"a,", "a,"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(Startup, UncreatableComponentShowsThePlatformMessageAndEndsWithZero) {
  ComponentFactory previous = SetComponentFactory([] { return REGDB_E_CLASSNOTREG; });
  DialogCloser closer;
  EXPECT_EQ(RunApplication(), 0);
  SetComponentFactory(previous);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].title, "Tavorin");
  EXPECT_EQ(closer.seen()[0].text, "クラスが登録されていません.");
  EXPECT_EQ(closer.seen()[0].type, GTK_MESSAGE_ERROR);
  EXPECT_EQ(FormHTML, nullptr);
  EXPECT_TRUE(Application->Forms().empty());
  int visible = 0;
  for (Gtk::Window* w : Gtk::Window::list_toplevels()) visible += w->get_visible();
  EXPECT_EQ(visible, 0);
}

// Records the order in which windows are finalised.
void NoteGone(gpointer order, GObject* window) {
  static_cast<std::vector<GObject*>*>(order)->push_back(window);
}

TEST(Startup, ClosingTheMainWindowEndsTheRunAndDestroysEveryWindowNewestFirst) {
  TestHttpServer server;
  server.AddHtml("/home.html", "home");
  TCppWebBrowser::SetDefaultHomePage(server.Url("/home.html"));
  std::vector<GObject*> created, gone;
  // Once the main window shows its home page, open two more and close it.
  auto step = [&]() -> bool {
    if (FormHTML == nullptr || FormHTML->EditURL->get_text() != server.Url("/home.html"))
      return true;
    for (int i = 0; i < 2; ++i) new TFormHTML(Application);
    Application->Forms()[1]->hide();  // hidden windows are destroyed too
    for (TForm* f : Application->Forms()) {
      created.push_back(G_OBJECT(f->gobj()));
      g_object_weak_ref(G_OBJECT(f->gobj()), NoteGone, &gone);
    }
    gtk_window_close(FormHTML->gobj());
    return false;
  };
  sigc::connection c = Glib::signal_timeout().connect(step, 20);
  EXPECT_EQ(RunApplication(), 0);
  c.disconnect();
  TCppWebBrowser::SetDefaultHomePage("about:blank");
  ASSERT_EQ(created.size(), 3u);
  EXPECT_EQ(gone, (std::vector<GObject*>{created[2], created[1], created[0]}));
  EXPECT_TRUE(Application->Forms().empty());
  FormHTML = nullptr;
}

class ErrorInHandlerTest : public FormTest {};

TEST_F(ErrorInHandlerTest, ClickHandlerErrorIsShownAndTheWindowStaysUsable) {
  int clicks = 0;
  form_->ButtonGoHome->signal_clicked().connect([&] {
    ++clicks;
    throw Exception("Access violation");
  });
  // Keep the shortcut's own load from leaving the machine.
  form_->CppWebBrowser1->SetOnBeforeNavigate2([](TCppWebBrowser*, IDispatch*, Variant*, Variant*,
                                                 Variant*, Variant*, Variant*,
                                                 VARIANT_BOOL* cancel) { *cancel = VARIANT_TRUE; });
  DialogCloser closer;
  form_->ButtonGoHome->clicked();
  ASSERT_TRUE(RunUntil([&] { return closer.seen().size() == 1; }));
  EXPECT_EQ(closer.seen()[0].title, "Tavorin");
  EXPECT_EQ(closer.seen()[0].text, "Access violation.");
  EXPECT_EQ(closer.seen()[0].sensitive_others, 0);
  form_->ButtonGoHome->clicked();
  ASSERT_TRUE(RunUntil([&] { return closer.seen().size() == 2; }));
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(form_->get_sensitive());
}

TEST_F(ErrorInHandlerTest, BrowserEventHandlerErrorIsShownAndTheLoadGoesOn) {
  server_.AddHtml("/next.html", "next");
  form_->CppWebBrowser1->SetOnNavigateComplete2(
      [](TCppWebBrowser*, IDispatch*, Variant*) { throw Exception("壊れた"); });
  DialogCloser closer;
  form_->EditURL->set_text(server_.Url("/next.html"));
  form_->ButtonOpenClick();
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/next.html")));
  ASSERT_TRUE(RunUntil([&] { return !closer.seen().empty(); }));
  EXPECT_EQ(closer.seen()[0].text, "壊れた.");
}

}  // namespace
