// The windows of a run brought back in the next one, within one process: the
// last run is the fixture's window going from page to page under a session of
// its own, ended normally or dropped as a kill leaves it.
#include "window/window_session.h"

#include <webkit2/webkit2.h>

#include <algorithm>
#include <optional>

#include "tests/support/files.h"
#include "tests/support/form_fixture.h"
#include "tests/support/private_folders.h"
#include "tests/support/secret_search.h"
#include "window/restore_bar.h"

namespace {

struct SessionRow {
  const char* name;
  RestoreWindows policy;
  bool ended_normally;
  bool offered;          // the strip shows; its 元に戻す is then clicked
  bool restored;         // the main window has the last run's back/forward list
  bool cleared = false;  // history was cleared: only the page shown comes back
  // The setting changed while the run went on; the next run then asks, so
  // that it shows what the file kept.
  std::optional<RestoreWindows> changed_to = std::nullopt;
};

class SessionFixture : public FormTest {
 protected:
  void SetUp() override {
    root_ = testsupport::MakePrivateRoot();
    file_ = root_ + "/session.ini";
    for (const char* page : {"/a.html", "/b.html"}) server_.AddHtml(page, "<title>t</title>x");
    FormTest::SetUp();
  }
  void TearDown() override {
    FormTest::TearDown();
    testsupport::RemoveTree(root_);
  }

  void Go(const std::string& path) {
    form_->CppWebBrowser1->Navigate(WideString::FromUtf8(server_.Url(path)), nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_TRUE(WaitForPage(form_, server_.Url(path)));
  }
  // The addresses of the main window's back/forward list, the current one last.
  std::vector<std::string> History() {
    WebKitBackForwardList* list =
        webkit_web_view_get_back_forward_list(form_->CppWebBrowser1->View());
    std::vector<std::string> uris;
    GList* back = webkit_back_forward_list_get_back_list(list);
    for (GList* i = g_list_last(back); i != nullptr; i = i->prev) {
      uris.push_back(webkit_back_forward_list_item_get_uri(WEBKIT_BACK_FORWARD_LIST_ITEM(i->data)));
    }
    g_list_free(back);
    WebKitBackForwardListItem* current = webkit_back_forward_list_get_current_item(list);
    if (current != nullptr) uris.push_back(webkit_back_forward_list_item_get_uri(current));
    return uris;
  }
  TRestoreBar* Strip() {
    for (Gtk::Widget* child : form_->CppWebBrowser1->get_children()) {
      if (auto* bar = dynamic_cast<TRestoreBar*>(child)) return bar;
    }
    return nullptr;
  }

  std::string root_, file_;
};

class WindowSessionTest : public SessionFixture,
                          public ::testing::WithParamInterface<SessionRow> {};

TEST_P(WindowSessionTest, TheNextRunOffersOrBringsBackTheWindowsAsTheSettingSays) {
  const SessionRow& row = GetParam();
  const std::vector<std::string> last{server_.Url("/home.html"), server_.Url("/a.html"),
                                      server_.Url("/b.html")};
  {
    TWindowSession run(file_, row.policy);
    EXPECT_EQ(run.Open(false), TSavedWindow());
    run.Start(*form_);
    Go("/a.html");
    Go("/b.html");
    ASSERT_EQ(History(), last);
    if (row.changed_to) {
      TSettings settings = DefaultSettings();
      settings.restore_windows = *row.changed_to;
      ApplySettings(settings);
    }
    if (row.changed_to.value_or(row.policy) != RestoreWindows::kNever) {
      ASSERT_TRUE(RunUntil(
          [&] { return testsupport::ReadFile(file_).find("b.html") != std::string::npos; }));
    } else {
      RunFor(1500);  // past the next write that was due
      EXPECT_FALSE(g_file_test(file_.c_str(), G_FILE_TEST_EXISTS));
    }
    if (row.cleared) {
      TWindowSession::ForgetBackForwardLists();
      ASSERT_TRUE(RunUntil([&] {
        const TSavedSession kept = SessionFromText(testsupport::ReadFile(file_));
        return !kept.windows.empty() && kept.windows[0].state.empty();
      }));
    }
    if (row.ended_normally) run.End();
  }
  FormTest::TearDown();
  FormTest::SetUp();  // the next run, on the same file
  TWindowSession run(file_, row.changed_to ? RestoreWindows::kAsk : row.policy);
  const TSavedWindow kept = run.Open(false);
  if (!kept.state.empty()) {  // the main window is made with it, as at start
    Application->DestroyForms();
    Application->CreateForm(FormHTML, kept.address, kept.state);
    form_ = FormHTML;
    form_->show();
  }
  run.Start(*form_);
  TRestoreBar* strip = Strip();
  EXPECT_EQ(strip != nullptr && strip->get_visible(), row.offered);
  if (row.offered && strip != nullptr) {
    for (Gtk::Widget* child : strip->get_children()) {
      if (child->get_name() == "RestoreWindows") static_cast<Gtk::Button*>(child)->clicked();
    }
    EXPECT_FALSE(strip->get_visible());
  }
  if (row.restored) {
    EXPECT_TRUE(WaitForPage(form_, server_.Url("/b.html")));
    const std::vector<std::string> shown_last{last[0], last[2]};  // home, then the page shown
    EXPECT_EQ(History(), row.cleared ? shown_last : last);
  } else {
    RunFor(300);
    EXPECT_EQ(History(), std::vector<std::string>{server_.Url("/home.html")});
  }
  EXPECT_EQ(Application->Forms().size(), 1u);
}

const SessionRow kRows[] = {
    {"AskAfterACrash", RestoreWindows::kAsk, false, true, true},
    {"AskAfterANormalEnd", RestoreWindows::kAsk, true, false, false},
    {"AlwaysAfterANormalEnd", RestoreWindows::kAlways, true, false, true},
    {"AlwaysAfterACrash", RestoreWindows::kAlways, false, false, true},
    {"NeverAfterACrash", RestoreWindows::kNever, false, false, false},
    {"AskAfterACrashWithHistoryCleared", RestoreWindows::kAsk, false, true, true, true},
    {"NeverChosenWhileRunningKeepsNothing", RestoreWindows::kAsk, false, false, false, false,
     RestoreWindows::kNever},
    {"AskChosenWhileRunningKeepsTheWindows", RestoreWindows::kNever, false, true, true, false,
     RestoreWindows::kAsk},
};

// A login posted, then the run killed: no file holds the password in any
// form, and the entry comes back as its address, not posted again.
TEST_F(WindowSessionTest, ALoginPostedIsNeitherKeptNorSentAgain) {
  constexpr char kPassword[] = "Hk7qZw93pw";
  server_.AddHtml("/login.html",
                  "<form method=post action=/done><input name=user value=hanako>"
                  "<input type=password name=pw></form>");
  server_.AddHtml("/done", "<title>done</title>done");
  const std::vector<std::string> folders{root_, g_get_user_data_dir(), g_get_user_config_dir(),
                                         g_get_user_cache_dir()};
  {
    TWindowSession run(file_, RestoreWindows::kAlways);
    run.Open(false);
    run.Start(*form_);
    Go("/login.html");
    // As the user types it: the page itself never holds it.
    RunScript(form_->CppWebBrowser1->View(), std::string("document.forms[0].pw.value = '") +
                                                 kPassword + "'; document.forms[0].submit()");
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/done")));
    Go("/a.html");
    ASSERT_TRUE(
        RunUntil([&] { return testsupport::ReadFile(file_).find("a.html") != std::string::npos; }));
    EXPECT_EQ(testsupport::FileHoldingSecret(folders, kPassword), "");
  }
  ASSERT_EQ(std::ranges::count(server_.Methods(), "POST"), 1);
  FormTest::TearDown();
  FormTest::SetUp();
  TWindowSession run(file_, RestoreWindows::kAlways);
  const TSavedWindow kept = run.Open(false);
  ASSERT_FALSE(kept.state.empty()) << "the list itself is kept";
  Application->DestroyForms();
  Application->CreateForm(FormHTML, kept.address, kept.state);
  form_ = FormHTML;
  form_->show();
  run.Start(*form_);
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/a.html")));
  form_->CppWebBrowser1->GoBack();
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/done")));
  EXPECT_EQ(std::ranges::count(server_.Methods(), "POST"), 1);
  EXPECT_EQ(server_.Methods().back(), "GET");
  EXPECT_EQ(testsupport::FileHoldingSecret(folders, kPassword), "");
}

// What a copied or damaged profile may keep: a page of another kind than
// http, https or file, as the main window's page or in its back/forward list.
struct GateRow {
  const char* name;
  std::vector<std::string> visited;  // the kept list, the current page last; a path is the server's
  std::string address;               // the kept address
  std::string shown;                 // what the main window shows in the next run
  std::vector<std::string> history;  // and its back/forward list
};

void PrintTo(const GateRow& row, std::ostream* out) { *out << row.name; }

class KeptAddressGateTest : public SessionFixture, public ::testing::WithParamInterface<GateRow> {
 protected:
  std::string Url(const std::string& page) {
    return page.starts_with('/') ? server_.Url(page) : page;
  }
};

TEST_P(KeptAddressGateTest, OnlyWebAndFileAddressesComeBackAndAnyOtherGivesTheHomePage) {
  const GateRow& row = GetParam();
  for (const std::string& page : row.visited) {
    form_->NavigateTo(Url(page));  // as the user's own: any page but a script
    ASSERT_TRUE(WaitForPage(form_, Url(page)));
  }
  const std::string state = row.visited.empty() ? "" : form_->CppWebBrowser1->SessionState();
  TSavedWindow window{0, 0, 700, 500, false, Url(row.address), state};
  testsupport::WriteFile(file_, SessionText({{window}, true}));
  FormTest::TearDown();
  FormTest::SetUp();  // the next run, as it starts
  TWindowSession run(file_, RestoreWindows::kAlways);
  const TSavedWindow kept = run.Open(false);
  Application->DestroyForms();
  Application->CreateForm(FormHTML, kept.address, kept.state);
  form_ = FormHTML;
  form_->show();
  run.Start(*form_);
  EXPECT_TRUE(WaitForPage(form_, Url(row.shown)));
  RunFor(300);
  std::vector<std::string> history;
  for (const std::string& page : row.history) history.push_back(Url(page));
  EXPECT_EQ(History(), history);
}

constexpr char kFakeLogin[] = "data:text/html,<h1>Rakuten login</h1><input type=password>";

const GateRow kGateRows[] = {
    {"ADataPageAsTheMainWindow", {}, kFakeLogin, "/home.html", {"/home.html"}},
    {"AScriptAsTheMainWindow", {}, "javascript:document.title='x'", "/home.html", {"/home.html"}},
    {"ADataPageInTheBackList",
     {kFakeLogin, "/a.html"},
     "/a.html",
     "/a.html",
     {"/home.html", "/a.html"}},
    {"ADataPageAsTheCurrentPageOfTheList",
     {"/a.html", kFakeLogin},
     kFakeLogin,
     "/home.html",
     {"/home.html"}},
};

INSTANTIATE_TEST_SUITE_P(Kept, KeptAddressGateTest, ::testing::ValuesIn(kGateRows),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Setting, WindowSessionTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
