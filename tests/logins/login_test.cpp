// Logins in the desktop keyring: offered when the user sends a login form,
// filled in again, and kept from frames, forms and pages they could leak to.
// The keyring is a real gnome-keyring-daemon on a bus of this binary's own.
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/treeview.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/web_context.h"
#include "logins/bar.h"
#include "logins/keyring.h"
#include "logins/never.h"
#include "logins/page_script.h"
#include "logins/saved_logins_window.h"
#include "private/private_context.h"
#include "tests/support/files.h"
#include "tests/support/keyring_session.h"
#include "tests/support/navigation_support.h"
#include "tests/support/not_regular_files.h"
#include "tests/support/widget_search.h"
// clang-format off: the X headers define None, Bool and more, so they come last
#include "tests/support/key_input.h"
// clang-format on

namespace {

constexpr char kQuestion[] = "このサイトのパスワードを保存しますか？";

// A login form at fixed places, and a way for a framing page to read it.
std::string LoginPage(const std::string& action = "/done", const std::string& extra = "") {
  return R"html(<title>login</title><style>body{margin:0}
input,button,p{position:absolute;left:10px;width:200px;height:30px;margin:0}</style>
<form id="form" action=")html" +
         action + R"html(" method="post">
<input id="user" name="user" type="text" style="top:10px">
<input id="pass" name="pass" type="password" style="top:50px">
<button id="go" type="submit" style="top:90px">login</button></form>
<p id="note" style="top:140px">note</p>
<script>addEventListener('message', e => e.source.postMessage(user.value + '|' + pass.value, '*'));
</script>)html" +
         extra;
}

std::string FramingPage(const std::string& src) {
  return R"html(<title>framing</title><style>body{margin:0}</style>
<iframe id="frame" src=")html" +
         src + R"html(" style="position:absolute;left:0;top:0;width:400px;height:300px;border:0">
</iframe><script>addEventListener('message', e => { window.got = e.data; });</script>)html";
}

GTlsCertificate* Certificate() {
  static GTlsCertificate* certificate = g_tls_certificate_new_from_file(TAVORIN_TEST_CERT, nullptr);
  return certificate;
}

std::string OriginOf(const TestHttpServer& server) {
  std::string url = server.Url("/");
  return url.substr(0, url.size() - 1);
}

template <typename T>
T* Find(Gtk::Widget& root, const std::string& name) {
  if (root.get_name() == name) return dynamic_cast<T*>(&root);
  if (auto* container = dynamic_cast<Gtk::Container*>(&root)) {
    for (Gtk::Widget* child : container->get_children()) {
      if (T* found = Find<T>(*child, name)) return found;
    }
  }
  return nullptr;
}

void Press(guint keysym, guint modifier = 0) {
  testsupport::TypeKey(keysym, modifier);
  RunFor(30);
}

// The keyring's answers, waited for: the logins of `origin`, or all of them.
std::vector<TSavedLogin> Saved(const std::string& origin = "") {
  bool done = false;
  std::vector<TSavedLogin> result;
  auto found = [&](std::vector<TSavedLogin> logins, const KeyringProblem&) {
    result = std::move(logins);
    done = true;
  };
  origin.empty() ? ListLogins(found) : FindLogins(origin, found);
  RunUntil([&] { return done; });
  return result;
}

void Seed(const std::string& origin, const std::string& user, const std::string& password) {
  bool done = false;
  const TSavedLogin login{origin, origin, user, password};
  StoreLogin(login, [&](const KeyringProblem&) { done = true; });
  RunUntil([&] { return done; });
}

void ForgetAll() {
  const std::vector<TSavedLogin> all = Saved();
  int left = static_cast<int>(all.size());
  for (const TSavedLogin& login : all) DeleteLogin(login, [&](const KeyringProblem&) { --left; });
  RunUntil([&] { return left == 0; });
}

// Whether a file under `folder` holds `text`.
bool AnyFileHolds(const std::string& folder, const std::string& text) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
    if (testsupport::ReadFile(entry.path()).find(text) != std::string::npos) return true;
  }
  return false;
}

// The never-save list's file replaced by a FIFO or a link to /dev/zero: read
// at once as no site, and never replaced by a list without what it held.
TEST(NeverSaveFile, AFifoOrAnEndlessDeviceInItsPlaceIsNeitherWaitedOnNorReplaced) {
  using testsupport::NotRegular;
  for (NotRegular kind : {NotRegular::kFifo, NotRegular::kEndlessDevice}) {
    ASSERT_TRUE(testsupport::PlaceNotRegular(NeverSaveFile(), kind));
    const auto type = std::filesystem::symlink_status(NeverSaveFile()).type();
    EXPECT_TRUE(testsupport::InLimitedChild([&] {
      return !NeverSaveLoginsFor("https://shop.example.jp") &&
             !AddNeverSaveLogins("https://shop.example.jp") &&
             std::filesystem::symlink_status(NeverSaveFile()).type() == type;
    }));
  }
  std::filesystem::remove(NeverSaveFile());
}

class LoginTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    webkit_web_context_allow_tls_certificate_for_host(PageContext(), Certificate(), "127.0.0.1");
    for (TestHttpServer* server : {&server_, &secure_, &other_}) {
      server->AddHtml("/login.html", LoginPage());
      server->AddHtml("/done", "<title>done</title>done");
    }
    secure_.AddHtml("/scripted.html",
                    LoginPage("/done",
                              "<script>user.value = 'bot'; pass.value = 'botpw1';"
                              "setTimeout(() => form.requestSubmit(), 300);</script>"));
    secure_.AddHtml("/changing.html",
                    LoginPage("/done",
                              "<script>form.onsubmit = () => { pass.value += 'x'; };"
                              "</script>"));
    secure_.AddHtml("/foreign.html", LoginPage(other_.Url("/done")));
    secure_.AddHtml("/after-click.html",
                    LoginPage("/done",
                              "<script>note.onclick = () => setTimeout(() => {"
                              "user.value = 'bot'; pass.value = 'botpw1'; form.requestSubmit();"
                              "}, Number(location.search.slice(1)));</script>"));
    secure_.AddHtml("/insert-text.html",
                    LoginPage("/done",
                              "<script>note.onclick = () => { user.focus();"
                              "document.execCommand('insertText', false, 'gina');"
                              "pass.focus(); document.execCommand('insertText', false, 'botpw1');"
                              "form.requestSubmit(); };</script>"));
    secure_.AddHtml("/replacing.html",
                    LoginPage("/done",
                              "<script>pass.onkeydown = (e) => { if (e.key.length !== 1) return;"
                              "e.preventDefault(); document.execCommand('insertText', false, 'Z');"
                              "};</script>"));
    secure_.AddHtml("/framed-same.html", FramingPage(secure_.Url("/login.html")));
    secure_.AddHtml("/framed-other.html", FramingPage(other_.Url("/login.html")));
  }
  void TearDown() override {
    FormTest::TearDown();
    ForgetAll();
    std::filesystem::remove(NeverSaveFile());
  }

  WebKitWebView* View(TFormHTML* form) { return form->CppWebBrowser1->View(); }

  void Load(TFormHTML* form, const std::string& url) {
    form->EditURL->set_text(url);
    form->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form, url));
  }

  // Clicks the page's point x, y as the user would.
  bool ClickPage(TFormHTML* form, int x, int y) {
    if (!testsupport::FocusWindow(form->gobj())) return false;
    navtest::ClickAt(navtest::OnScreen(GTK_WIDGET(View(form)), x, y));
    RunFor(100);
    return true;
  }

  // Types a login over whatever is in the form at the top left of the page
  // and sends it with Return.
  // With `paste`, the password goes in with Ctrl+V from the clipboard.
  void SendLogin(TFormHTML* form, const std::string& user, const std::string& password,
                 bool paste = false) {
    ASSERT_TRUE(ClickPage(form, 110, 25));
    Press(XK_a, XK_Control_L);
    testsupport::TypeText(user);
    ASSERT_TRUE(ClickPage(form, 110, 65));
    Press(XK_a, XK_Control_L);
    if (paste) {
      gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), password.c_str(), -1);
      Press(XK_v, XK_Control_L);
      RunFor(200);
    } else {
      testsupport::TypeText(password);
    }
    Press(XK_Return);
  }

  // The program's list of saved logins, open under a field of the page.
  Gtk::Widget* List(TFormHTML* form) {
    Gtk::Widget* focus = form->get_focus();
    return focus != nullptr && focus->get_name() == "LoginChooser" ? focus : nullptr;
  }
  bool Listed(TFormHTML* form) { return List(form) != nullptr; }
  // The site and the usernames the list names.
  std::vector<std::string> ListText(TFormHTML* form) {
    std::vector<std::string> text;
    if (!Listed(form)) return text;
    text.push_back(Find<Gtk::Label>(*List(form), "LoginChooserSite")->get_text());
    testsupport::FindWidget<Gtk::ListBoxRow>(*List(form), [&](Gtk::ListBoxRow& row) {
      text.push_back(dynamic_cast<Gtk::Label*>(row.get_child())->get_text());
      return false;
    });
    return text;
  }
  // Clicks the page's field at x, y and chooses the first saved login in
  // the list that opens, with Down and Enter.
  bool ClickAndChoose(TFormHTML* form, int x, int y) {
    if (!ClickPage(form, x, y) || !RunUntil([&] { return Listed(form); })) return false;
    Press(XK_Down);
    Press(XK_Return);
    return RunUntil([&] { return !Listed(form); });
  }

  TLoginBar* Bar(TFormHTML* form) { return Find<TLoginBar>(*form->CppWebBrowser1, "LoginBar"); }
  bool Shown(TFormHTML* form) { return Bar(form) != nullptr && Bar(form)->get_visible(); }
  bool Offered(TFormHTML* form) {
    return Shown(form) && Find<Gtk::Button>(*Bar(form), "LoginSave")->get_visible();
  }
  std::string Message(TFormHTML* form) {
    return Find<Gtk::Label>(*Bar(form), "LoginMessage")->get_text();
  }
  void Answer(TFormHTML* form, const std::string& button) {
    Find<Gtk::Button>(*Bar(form), button)->clicked();
  }

  bool Requested(const TestHttpServer& server, const std::string& path) {
    return RunUntil([&] { return std::ranges::count(server.Requests(), path) > 0; });
  }

  // "username|password" of the form in the page, or in its frame, as the page's scripts see them.
  std::string Fields(TFormHTML* form, bool in_frame) {
    if (!in_frame) return RunScript(View(form), "user.value + '|' + pass.value").value_or("");
    RunScript(View(form), "window.got = undefined; frames[0].postMessage('q', '*')");
    RunUntil([&] { return RunScript(View(form), "String(window.got)") != "undefined"; }, 3000);
    return RunScript(View(form), "String(window.got)").value_or("");
  }

  TestHttpServer secure_{Certificate()};
  TestHttpServer other_{Certificate()};
};

TEST_F(LoginTest, ASavedLoginGoesIntoThePageOnlyWhenTheUserChoosesItFromTheList) {
  ::testing::internal::CaptureStderr();
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "alice", "s3cret9");
  ASSERT_TRUE(RunUntil([&] { return Offered(form_); })) << "offered";
  EXPECT_EQ(Message(form_), kQuestion);
  EXPECT_TRUE(Saved(OriginOf(secure_)).empty()) << "nothing stored before 保存";
  Answer(form_, "LoginSave");
  ASSERT_TRUE(RunUntil([&] { return !Saved(OriginOf(secure_)).empty(); }));
  const TSavedLogin saved = Saved(OriginOf(secure_)).front();
  EXPECT_EQ(saved.username, "alice");
  EXPECT_EQ(saved.password, "s3cret9");
  EXPECT_EQ(saved.action, OriginOf(secure_));
  const std::string profile = g_get_user_data_dir();
  EXPECT_FALSE(AnyFileHolds(std::filesystem::path(profile).parent_path(), "s3cret9"))
      << "the password is only in the keyring";
  EXPECT_EQ(::testing::internal::GetCapturedStderr().find("s3cret9"), std::string::npos);

  // A window of its own, with nothing kept in memory from the first.
  Application->DestroyForms();
  auto* other = new TFormHTML(Application);
  other->show();
  Load(other, secure_.Url("/login.html"));
  RunFor(1000);
  EXPECT_EQ(Fields(other, false), "|") << "nothing of it at load";
  ASSERT_TRUE(ClickPage(other, 110, 155));
  RunFor(500);
  EXPECT_FALSE(Listed(other)) << "a click beside the form lists nothing";
  EXPECT_EQ(Fields(other, false), "|");
  ASSERT_TRUE(ClickPage(other, 110, 25));
  ASSERT_TRUE(RunUntil([&] { return Listed(other); }));
  EXPECT_EQ(ListText(other), (std::vector<std::string>{OriginOf(secure_).substr(8), "alice"}));
  RunFor(300);
  EXPECT_EQ(Fields(other, false), "|") << "the list alone gives nothing";
  Press(XK_Down);
  Press(XK_Return);
  EXPECT_TRUE(RunUntil([&] { return Fields(other, false) == "alice|s3cret9"; }))
      << Fields(other, false);

  ASSERT_TRUE(ClickPage(other, 110, 105));  // sends the same login again
  ASSERT_TRUE(Requested(secure_, "/done"));
  RunFor(1500);
  EXPECT_FALSE(Offered(other)) << "a login the keyring holds is not offered again";
}

TEST_F(LoginTest, APrivateWindowFillsASavedLoginButOffersNoneForSaving) {
  const std::shared_ptr<WebKitWebContext> context = PrivateContext();  // the window's own
  webkit_web_context_allow_tls_certificate_for_host(context.get(), Certificate(), "127.0.0.1");
  Seed(OriginOf(secure_), "alice", "s3cret9");
  auto* window = new TFormHTML(Application, {}, {}, TWindowKind::kPrivate);
  window->show();
  Load(window, secure_.Url("/login.html"));
  ASSERT_TRUE(ClickAndChoose(window, 110, 25));
  EXPECT_TRUE(RunUntil([&] { return Fields(window, false) == "alice|s3cret9"; }))
      << Fields(window, false);
  SendLogin(window, "bob", "other7pw");
  ASSERT_TRUE(Requested(secure_, "/done"));
  RunFor(2000);
  EXPECT_FALSE(Shown(window));
  EXPECT_EQ(Saved(OriginOf(secure_)).size(), 1u);
}

// Each case's button, or its name, names it.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// `never`: the site is in the profile's list.
struct AnswerCase {
  const char* name;
  bool stored, asked_again, never;
};

class LoginAnswerTest : public LoginTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(LoginAnswerTest, TheAnswerDecidesWhatIsStoredAndWhetherItIsAskedAgain) {
  const AnswerCase& c = GetParam();
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "bob", "pw4bob");
  ASSERT_TRUE(RunUntil([&] { return Offered(form_); }));
  Answer(form_, c.name);
  EXPECT_FALSE(Offered(form_));
  RunFor(500);
  EXPECT_EQ(RunUntil([&] { return !Saved(OriginOf(secure_)).empty(); }, c.stored ? 10000 : 1000),
            c.stored);
  EXPECT_EQ(NeverSaveLoginsFor(OriginOf(secure_)), c.never);
  EXPECT_FALSE(AnyFileHolds(std::filesystem::path(NeverSaveFile()).parent_path(), "pw4bob"));
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "bob", "pw4bob");
  EXPECT_EQ(RunUntil([&] { return Offered(form_); }, c.asked_again ? 10000 : 3000), c.asked_again);
}

INSTANTIATE_TEST_SUITE_P(Answers, LoginAnswerTest,
                         ::testing::Values(AnswerCase{"LoginSave", true, false, false},
                                           AnswerCase{"LoginNotNow", false, true, false},
                                           AnswerCase{"LoginNever", false, false, true}),
                         CaseName<AnswerCase>);

TEST_F(LoginTest, ALoginThatWouldReplaceASavedPasswordSaysSo) {
  Seed(OriginOf(secure_), "gina", "old4gina");
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "gina", "new4gina");
  ASSERT_TRUE(RunUntil([&] { return Offered(form_); }));
  EXPECT_EQ(Message(form_), "保存済みのパスワードを変更しますか");
  EXPECT_EQ(Find<Gtk::Label>(*Bar(form_), "LoginDetail")->get_text(),
            "gina — " + OriginOf(secure_).substr(8));
  Answer(form_, "LoginSave");
  EXPECT_TRUE(RunUntil([&] {
    const std::vector<TSavedLogin> saved = Saved(OriginOf(secure_));
    return saved.size() == 1 && saved.front().password == "new4gina";
  }));
}

// `page` on the https server; `typed` by the user into the form at the top
// left (the password `pasted`); `other_done`: the form goes to the other server.
struct SendCase {
  const char* name;
  const char* page;
  bool typed, other_done, offered, pasted = false;
};

class LoginSendTest : public LoginTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(LoginSendTest, OnlyALoginTheUserSendsFromThePagesOwnOriginIsOffered) {
  const SendCase& c = GetParam();
  Load(form_, secure_.Url(c.page));
  if (c.typed) SendLogin(form_, "carol", "pw4carol", c.pasted);
  if (!c.typed) {
    ASSERT_TRUE(ClickPage(form_, 110, 155));  // beside the form
  }
  ASSERT_TRUE(Requested(c.other_done ? other_ : secure_, "/done")) << "the form was sent";
  EXPECT_EQ(RunUntil([&] { return Offered(form_); }, c.offered ? 10000 : 2000), c.offered);
}

INSTANTIATE_TEST_SUITE_P(
    Sends, LoginSendTest,
    ::testing::Values(
        SendCase{"FrameOfTheSameOrigin", "/framed-same.html", true, false, true},
        SendCase{"PastedPassword", "/login.html", true, false, true, true},
        SendCase{"FrameOfAnotherOrigin", "/framed-other.html", true, true, false},
        SendCase{"ScriptWithoutUserAction", "/scripted.html", false, false, false},
        SendCase{"FieldsChangedAsSent", "/changing.html", true, false, false},
        SendCase{"ScriptSoonAfterClick", "/after-click.html?100", false, false, false},
        SendCase{"ScriptLateAfterClick", "/after-click.html?1500", false, false, false},
        SendCase{"InsertedByTheScriptAtAClick", "/insert-text.html", false, false, false},
        SendCase{"KeysReplacedByTheScript", "/replacing.html", true, false, false}),
    CaseName<SendCase>);

// `http`: the page comes from the http server; `in_frame`: the form is in the
// page's frame; `saved_for_other`: the login is saved for the other server's
// origin; `several`: and another one. Nothing is in the page before the user
// chooses in the program's list, which `listed` opens at a click in the
// username field.
struct FillCase {
  const char* name;
  const char* page;
  bool http, in_frame, saved_for_other, several, listed;
};

class LoginFillTest : public LoginTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(LoginFillTest, ALoginIsListedOnlyForTheOriginAndActionItWasSavedFor) {
  const FillCase& c = GetParam();
  const TestHttpServer& saved_on = c.http ? server_ : c.saved_for_other ? other_ : secure_;
  Seed(OriginOf(saved_on), "dave", "pw4dave");
  if (c.several) Seed(OriginOf(saved_on), "dora", "pw4dora");
  Load(form_, (c.http ? server_ : secure_).Url(c.page));
  RunFor(1000);
  EXPECT_EQ(Fields(form_, c.in_frame), "|") << "nothing at load";
  if (!c.listed) {
    ASSERT_TRUE(ClickPage(form_, 110, 25));
    RunFor(1500);
    EXPECT_FALSE(Listed(form_));
    EXPECT_EQ(Fields(form_, c.in_frame), "|");
    return;
  }
  ASSERT_TRUE(ClickAndChoose(form_, 110, 25));
  EXPECT_TRUE(RunUntil([&] {
    const std::string fields = Fields(form_, c.in_frame);
    return fields == "dave|pw4dave" || fields == "dora|pw4dora";
  })) << Fields(form_, c.in_frame);
}

INSTANTIATE_TEST_SUITE_P(
    Fills, LoginFillTest,
    ::testing::Values(
        FillCase{"FrameOfTheSameOrigin", "/framed-same.html", false, true, false, false, true},
        FillCase{"FrameOfAnotherOrigin", "/framed-other.html", false, true, true, false, false},
        FillCase{"FormToAnotherOrigin", "/foreign.html", false, false, false, false, false},
        FillCase{"HttpPage", "/login.html", true, false, false, false, true},
        FillCase{"SeveralLogins", "/login.html", false, false, false, true, true}),
    CaseName<FillCase>);

// The password goes in only at the user's choice in the list, opened by a
// click at `click`, in a form that shows and goes where the login was saved
// for; `extra` is put in the page; `choose`: the user chooses in the list if
// it opens; `sent`: the user then sends the form.
struct ActCase {
  const char* name;
  const char* extra;
  bool choose, filled, sent = false;
  int click = 25;
};

class LoginActTest : public LoginTest, public ::testing::WithParamInterface<ActCase> {};

TEST_P(LoginActTest, ThePasswordGoesOnlyIntoAFormTheUserSeesAndChoosesFor) {
  const ActCase& c = GetParam();
  Seed(OriginOf(secure_), "gina", "pw4gina");
  secure_.AddHtml("/act.html", LoginPage("/done",
                                         "<script>function away() { form.action = "
                                         "'https://127.0.0.2:9/done'; }</script>" +
                                             std::string(c.extra)));
  Load(form_, secure_.Url("/act.html"));
  RunFor(1000);
  ASSERT_TRUE(ClickPage(form_, 110, c.click));
  if (c.choose && RunUntil([&] { return Listed(form_); }, 2000)) {
    Press(XK_Down);
    Press(XK_Return);
  }
  RunFor(c.filled ? 0 : 1000);
  EXPECT_TRUE(RunUntil([&] { return Fields(form_, false) == (c.filled ? "gina|pw4gina" : "|"); },
                       c.filled ? 10000 : 100))
      << Fields(form_, false);
  if (!c.sent) return;
  ASSERT_TRUE(ClickPage(form_, 110, 105));
  RunFor(1000);
  EXPECT_EQ(std::ranges::count(secure_.Requests(), "/done"), 0);
  EXPECT_EQ(RunScript(View(form_), "pass.value"), "") << "taken out, not sent elsewhere";
}

// An element the user cannot see, stretched over the page or over the form.
constexpr char kUserOverThePage[] =
    "<style>#user{filter:opacity(0);left:0;top:0;width:100%;height:100%;z-index:9}</style>";
constexpr char kPasswordAndButtonUnseen[] = "<style>#pass,#go{filter:opacity(0)}</style>";

INSTANTIATE_TEST_SUITE_P(
    Acts, LoginActTest,
    ::testing::Values(
        ActCase{"Chosen", "", true, true}, ActCase{"ListedButNotChosen", "", false, false},
        ActCase{"UsernameUnseenOverThePage", kUserOverThePage, false, false, false, 155},
        ActCase{"PasswordAndButtonUnseen", kPasswordAndButtonUnseen, false, false, false, 65},
        ActCase{"DisplayNone", "<style>#form{display:none}</style>", true, false},
        ActCase{"Transparent", "<style>#form{opacity:0}</style>", true, false},
        ActCase{"OnePixel", "<style>#user,#pass{width:1px;height:1px}</style>", true, false},
        ActCase{"OffScreen", "<style>#user,#pass{left:-1000px}</style>", true, false},
        ActCase{"ActionMovedBeforeTheClick", "<script>setTimeout(away, 300)</script>", true, false},
        ActCase{"ActionMovedOnceFilled", "<script>pass.oninput = away</script>", true, true, true},
        ActCase{"GettersReplacedInThePage",
                "<script>const real = Element.prototype.getAttribute;"
                "Element.prototype.getAttribute = function(name) {"
                "return name === 'action' ? '/done' : real.call(this, name); };"
                "HTMLFormElement.prototype.__defineGetter__('action', () => location.origin);"
                "form.setAttribute('action', 'https://127.0.0.2:9/done');</script>",
                true, false},
        ActCase{"ButtonSendsElsewhere",
                "<script>go.setAttribute('formaction', 'https://127.0.0.2:9/done')</script>", true,
                true, true}),
    CaseName<ActCase>);

// Injected HTML without script: the password field and the button belong,
// by their `form` attribute, to a form that goes to another site.
TEST_F(LoginTest, AFieldIsJudgedByTheFormThatReallySendsIt) {
  Seed(OriginOf(secure_), "gina", "pw4gina");
  secure_.AddHtml("/owner.html", R"html(<title>owner</title><style>body{margin:0}
input,button{position:absolute;left:10px;width:200px;height:30px;margin:0}</style>
<form id="form" action="/login"><input id="user" name="u" style="top:10px">
<input id="pass" name="pass" type="password" form="x" style="top:50px">
<button id="go" form="x" style="top:90px">ログイン</button></form>
<form id="x" action=")html" + other_.Url("/done") +
                                     R"html(" method="post"></form>)html");
  Load(form_, secure_.Url("/owner.html"));
  RunFor(1000);
  EXPECT_EQ(Fields(form_, false), "|") << "nothing at load";
  for (int y : {25, 65}) {
    ASSERT_TRUE(ClickPage(form_, 110, y));
    RunFor(1000);
    EXPECT_FALSE(Listed(form_)) << y;
  }
  EXPECT_EQ(Fields(form_, false), "|");
  ASSERT_TRUE(ClickPage(form_, 110, 105));
  ASSERT_TRUE(Requested(other_, "/done"));
  EXPECT_TRUE(Saved(OriginOf(other_)).empty());
}

TEST_F(LoginTest, TheListTakesDownEnterEscapeAndClicksAndLetsTypingThrough) {
  Seed(OriginOf(server_), "erin", "pw4erin");
  Seed(OriginOf(server_), "frank", "pw4frank");
  Load(form_, server_.Url("/login.html"));
  RunFor(1000);
  ASSERT_EQ(Fields(form_, false), "|");
  ASSERT_TRUE(ClickPage(form_, 110, 25));
  ASSERT_TRUE(RunUntil([&] { return Listed(form_); })) << "the saved usernames are offered";
  std::vector<std::string> text = ListText(form_);
  std::sort(text.begin() + 1, text.end());
  EXPECT_EQ(text, (std::vector<std::string>{OriginOf(server_).substr(7), "erin", "frank"}));
  Press(XK_Escape);
  ASSERT_TRUE(RunUntil([&] { return !Listed(form_); }));
  ASSERT_TRUE(ClickPage(form_, 110, 25));
  ASSERT_TRUE(RunUntil([&] { return Listed(form_); }));
  Press(XK_z);
  EXPECT_FALSE(Listed(form_));
  EXPECT_TRUE(RunUntil([&] { return Fields(form_, false) == "z|"; })) << Fields(form_, false);
  ASSERT_TRUE(ClickAndChoose(form_, 110, 25));
  EXPECT_TRUE(RunUntil([&] {
    const std::string fields = Fields(form_, false);
    return fields == "erin|pw4erin" || fields == "frank|pw4frank";
  })) << Fields(form_, false);

  // The page sees the next click: the list never took a button's release
  // from it. Then a click on a row, and the window closed before the list
  // has gone.
  ASSERT_TRUE(ClickPage(form_, 110, 25));
  ASSERT_TRUE(RunUntil([&] { return Listed(form_); }));
  RunFor(500);
  auto* row =
      testsupport::FindWidget<Gtk::ListBoxRow>(*List(form_), [](Gtk::ListBoxRow&) { return true; });
  ASSERT_NE(row, nullptr);
  navtest::ClickWidget(*row);
  ASSERT_TRUE(RunUntil([&] { return !Listed(form_); }));
  Application->DestroyForms();
  FormHTML = nullptr;
  RunFor(500);
}

// What the engine allows: the page's scripts cannot reach the channel, and
// see at once whatever the isolated world puts into a field.
TEST_F(LoginTest, ThePageCannotReachTheChannelButSeesValuesTheScriptWorldSets) {
  Load(form_, secure_.Url("/login.html"));
  EXPECT_EQ(RunScript(View(form_),
                      "typeof (window.webkit && window.webkit.messageHandlers."
                      "tavorinLogins)"),
            "undefined");
  bool done = false;
  webkit_web_view_evaluate_javascript(
      View(form_),
      "pass.value = 'set-in-world'; typeof window.webkit.messageHandlers."
      "tavorinLogins",
      -1, kLoginWorld, nullptr, nullptr,
      [](GObject*, GAsyncResult*, gpointer data) { *static_cast<bool*>(data) = true; }, &done);
  ASSERT_TRUE(RunUntil([&] { return done; }));
  EXPECT_EQ(Fields(form_, false), "|set-in-world");
}

TEST_F(LoginTest, TheSavedLoginsWindowShowsThePasswordOnRequestAndDeletes) {
  Seed(OriginOf(secure_), "gina", "pw4gina");
  ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
  testsupport::SendKeySteps({{XK_Control_L, true},
                             {XK_Shift_L, true},
                             {XK_p, true},
                             {XK_p, false},
                             {XK_Shift_L, false},
                             {XK_Control_L, false}});
  ASSERT_TRUE(RunUntil([] { return SavedLoginsWindow() != nullptr; }));
  Gtk::Window& window = *SavedLoginsWindow();
  auto* list = Find<Gtk::TreeView>(window, "SavedLoginsList");
  auto model = list->get_model();
  ASSERT_TRUE(RunUntil([&] { return model->children().size() == 1; }));
  auto text = [&](int column) {
    Glib::ustring value;
    model->children().begin()->get_value(column, value);
    return std::string(value);
  };
  EXPECT_EQ(text(0), OriginOf(secure_).substr(8));
  EXPECT_EQ(text(1), "gina");
  EXPECT_EQ(text(2).find("pw4gina"), std::string::npos) << "hidden";
  list->get_selection()->select(model->children().begin());
  Find<Gtk::Button>(window, "SavedLoginsShow")->clicked();
  EXPECT_TRUE(RunUntil([&] { return text(2) == "pw4gina"; }));
  Find<Gtk::Button>(window, "SavedLoginsDelete")->clicked();
  EXPECT_TRUE(RunUntil([&] { return model->children().empty(); }));
  EXPECT_TRUE(Saved(OriginOf(secure_)).empty());
  window.hide();
}

// Run in processes of their own, whose keyring is locked or missing.
class LoginNoKeyringTest : public LoginTest {};

TEST_F(LoginNoKeyringTest, NothingIsOfferedAndTheStripSaysWhyOnce) {
  const char* keyring = g_getenv("TAVORIN_TEST_KEYRING");
  if (keyring == nullptr) GTEST_SKIP() << "for a locked or missing keyring";
  const std::string why =
      std::string(keyring) == "locked"
          ? "キーリングのロックが解除されないため、パスワードは保存されません。"
          : "キーリング（Secret Service）が応答しないため、パスワードは保存されません。";
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "hank", "pw4hank");
  ASSERT_TRUE(RunUntil([&] { return Shown(form_); }));
  EXPECT_EQ(Message(form_), why);
  EXPECT_FALSE(Offered(form_));
  Answer(form_, "LoginClose");
  Load(form_, secure_.Url("/login.html"));
  SendLogin(form_, "hank", "pw4hank");
  ASSERT_TRUE(Requested(secure_, "/done"));
  RunFor(2000);
  EXPECT_FALSE(Bar(form_)->get_visible()) << "said once";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  using Keyring = testsupport::KeyringSession::Keyring;
  const std::string keyring = g_getenv("TAVORIN_TEST_KEYRING") ?: "";
  std::unique_ptr<testsupport::KeyringSession> session;
  if (!GTEST_FLAG_GET(list_tests)) {
    session =
        std::make_unique<testsupport::KeyringSession>(keyring == "locked"    ? Keyring::kLocked
                                                      : keyring == "missing" ? Keyring::kMissing
                                                                             : Keyring::kUnlocked);
  }
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment());
  return RUN_ALL_TESTS();
}
