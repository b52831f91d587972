// Pages that declare no encoding, in each encoding, read right from a local
// server; declared ones read as declared, once, whatever came before; the
// 「文字コード」 menu's choice read from the cache and held on the site.
// Nothing is fetched twice; each page reports each reading of it.
#include "encoding/page_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "window/encoding_menu.h"

// Last: the X headers define None and more.
#include "tests/support/navigation_support.h"

namespace {

constexpr char kJapanese[] =
    "楽天市場へようこそ。今日のおすすめ商品は青森県産のりんごです。送料無料でお届けします。"
    "ご注文はお早めにどうぞ。お問い合わせはメールでお願いいたします。";
constexpr char kWestern[] =
    "Bienvenue au café. Crème brûlée, façade naïve, déjà vu, garçon à la carte, Noël où très "
    "bientôt, señor año, Müller Straße.";

std::string Encoded(const std::string& text, const char* charset) {
  gsize length = 0;
  gchar* bytes = g_convert(text.c_str(), -1, charset, "UTF-8", nullptr, &length, nullptr);
  std::string encoded(bytes != nullptr ? bytes : "", length);
  g_free(bytes);
  return encoded;
}

// Each reading of the page runs its scripts: it tells the server, with the
// encoding it was read in.
constexpr char kReport[] =
    "<script>onload = () => fetch('/ran' + location.pathname + '?' + document.characterSet)"
    "</script>";
// A page that lies to scripts in its own world about its encoding.
constexpr char kLie[] =
    "<script>Object.defineProperty(Document.prototype, 'characterSet', "
    "{get() { return 'EUC-JP'; }})</script>";

std::string Html(const std::string& text, const char* charset, const std::string& head = "") {
  return Encoded("<html><head>" + head + kReport + "<title>t</title></head><body><p id=t>" + text +
                     "</p></body></html>",
                 charset);
}

struct Row {
  const char* path;
  std::string body;
  const char* type;  // the Content-Type header
  const char* text;  // what the page must read
  const char* read_as;
  bool once = false;  // declared: read once, as declared, at the first reading
};

class PageEncodingTest : public FormTest {
 protected:
  WebKitWebView* View() { return form_->CppWebBrowser1->View(); }
  std::string Script(const std::string& script) { return RunScript(View(), script).value_or("?"); }
  long Asked(const std::string& path) {
    const auto& asked = server_.Requests();
    return std::count(asked.begin(), asked.end(), path);
  }
  // Opens `url` and waits until the page reads as `charset`, and stays so.
  bool ReadsAs(const std::string& url, const std::string& charset) {
    form_->NavigateTo(url);
    if (!WaitForPage(form_, url)) return false;
    auto settled = [&] {
      return !webkit_web_view_is_loading(View()) && Script("document.characterSet") == charset;
    };
    if (!RunUntil(settled)) return false;
    RunFor(300);
    return settled();
  }
  // The encodings the page at `path` was read in, one for each reading.
  std::vector<std::string> Readings(const std::string& path) {
    std::vector<std::string> readings;
    const std::string prefix = "/ran" + path + "?";
    for (const std::string& asked : server_.Requests()) {
      if (asked.starts_with(prefix)) readings.push_back(asked.substr(prefix.size()));
    }
    return readings;
  }
  void Serve(const Row& row) {
    TestHttpServer::Page page;
    page.body = row.body;
    page.type = row.type;
    server_.Add(row.path, page);
  }
  std::string OnLocalhost(const std::string& path) {
    std::string url = server_.Url(path);
    return url.replace(url.find("127.0.0.1"), 9, "localhost");
  }
};

// One walk through the pages on one site, in one window: what was found for
// one page is never how the next is read.
TEST_F(PageEncodingTest, PagesReadAsDeclaredOrAsTheirBytesAre) {
  std::string long_text;
  while (long_text.size() < 300 * 1024) long_text += kJapanese;
  const Row rows[] = {
      {"/ascii", Html("plain", "UTF-8"), "text/html", "plain", "windows-1252", true},
      // Too few characters for the engine's detector: read again.
      {"/short-euc", Html("楽天市場", "EUC-JP"), "text/html", "楽天市場", "EUC-JP"},
      {"/meta-utf8", Html(kJapanese, "UTF-8", "<meta charset=utf-8>"), "text/html", kJapanese,
       "UTF-8", true},
      {"/sjis", Html(kJapanese, "SHIFT_JIS"), "text/html", kJapanese, "Shift_JIS"},
      {"/euc", Html(kJapanese, "EUC-JP"), "text/html", kJapanese, "EUC-JP"},
      {"/header-1252", Html(kJapanese, "UTF-8"), "text/html; charset=windows-1252", nullptr,
       "windows-1252", true},
      {"/utf8", Html(kJapanese, "UTF-8"), "text/html", kJapanese, "UTF-8"},
      {"/jis", Html(kJapanese, "ISO-2022-JP"), "text/html", kJapanese, "ISO-2022-JP"},
      {"/latin", Html(kWestern, "WINDOWS-1252"), "text/html", kWestern, "windows-1252"},
      {"/meta-sjis", Html(kJapanese, "SHIFT_JIS", "<meta charset=Shift_JIS>"), "text/html",
       kJapanese, "Shift_JIS", true},
      {"/short-sjis", Html("楽天市場", "SHIFT_JIS"), "text/html", "楽天市場", "Shift_JIS"},
      {"/meta-euc", Html(kJapanese, "EUC-JP", "<meta charset=\"euc-jp\">"), "text/html", kJapanese,
       "EUC-JP", true},
      {"/bom", "\xEF\xBB\xBF" + Html(kJapanese, "UTF-8"), "text/html", kJapanese, "UTF-8", true},
      // The check asks in a world of its own.
      {"/lying-euc", Html("楽天市場", "EUC-JP", kLie), "text/html", "楽天市場", "EUC-JP"},
      {"/plain-euc", Encoded(kJapanese, "EUC-JP"), "text/plain", kJapanese, "EUC-JP"},
      // Only the first 64 KiB are read, cut between characters.
      {"/long-euc", Html(long_text, "EUC-JP"), "text/html", long_text.c_str(), "EUC-JP"},
  };
  for (const Row& row : rows) Serve(row);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    form_->NavigateTo(server_.Url(row.path));
    ASSERT_TRUE(WaitForPage(form_, server_.Url(row.path)));
    auto settled = [&] {
      return !webkit_web_view_is_loading(View()) &&
             Script("document.characterSet") == row.read_as &&
             (row.text == nullptr || Script("document.body.textContent.trim()") == row.text);
    };
    EXPECT_TRUE(RunUntil(settled)) << Script("document.characterSet");
    RunFor(300);
    EXPECT_TRUE(settled());
    EXPECT_EQ(Asked(row.path), 1) << "fetched once";
    if (row.type == std::string("text/plain")) continue;  // no script to tell
    const std::vector<std::string> readings = Readings(row.path);
    if (row.once) {
      EXPECT_EQ(readings, std::vector<std::string>{row.read_as});
    } else {
      EXPECT_TRUE(!readings.empty() && readings.size() <= 2) << readings.size() << " readings";
    }
  }
}

// The answer to a form is read once, as the engine reads it: reading it
// again would send the form again, or show another answer.
TEST_F(PageEncodingTest, TheAnswerToAFormIsNeverReadAgain) {
  Serve({"/form", "<form method=post action=/posted><input name=q value=1></form>", "text/html",
         nullptr, "windows-1252"});
  Serve({"/posted", Html("楽天市場", "EUC-JP"), "text/html", nullptr, "EUC-JP"});
  form_->NavigateTo(server_.Url("/form"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/form")));
  Script("document.forms[0].submit()");
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/posted")));
  ASSERT_TRUE(RunUntil([&] { return !Readings("/posted").empty(); }));
  RunFor(1500);
  EXPECT_EQ(Readings("/posted").size(), 1u);
  EXPECT_EQ(Asked("/posted"), 1);
}

bool Marked(WebKitContextMenuItem* item) {
  GVariant* state = g_action_get_state(webkit_context_menu_item_get_gaction(item));
  const bool marked = g_variant_get_boolean(state);
  g_variant_unref(state);
  return marked;
}

// The submenu's captions, the marked one with *, those that cannot be
// chosen with -; and its items.
std::string MenuOf(TFormHTML& form, std::vector<WebKitContextMenuItem*>& items) {
  WebKitContextMenu* menu = webkit_context_menu_new();
  AddEncodingMenu(form, menu, nullptr);
  WebKitContextMenuItem* last = webkit_context_menu_last(menu);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  std::string shown = gtk_action_get_label(webkit_context_menu_item_get_action(last));
  G_GNUC_END_IGNORE_DEPRECATIONS
  shown += ":";
  items.clear();
  for (GList* i = webkit_context_menu_get_items(webkit_context_menu_item_get_submenu(last)); i;
       i = i->next) {
    auto* item = static_cast<WebKitContextMenuItem*>(i->data);
    GAction* action = webkit_context_menu_item_get_gaction(item);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    const std::string label = gtk_action_get_label(webkit_context_menu_item_get_action(item));
    G_GNUC_END_IGNORE_DEPRECATIONS
    items.push_back(WEBKIT_CONTEXT_MENU_ITEM(g_object_ref(item)));
    shown += std::string(Marked(item) ? "*" : "") + (g_action_get_enabled(action) ? "" : "-") +
             label + "|";
  }
  g_object_unref(menu);
  return shown;
}

TEST_F(PageEncodingTest, ChosenEncodingHoldsOnTheSiteAndComesFromTheCache) {
  const Row rows[] = {
      {"/sjis", Html(kJapanese, "SHIFT_JIS"), "text/html", kJapanese, "Shift_JIS"},
      {"/utf8", Html(kJapanese, "UTF-8"), "text/html", kJapanese, "UTF-8"},
      {"/form", "<form method=post action=/posted><input name=q value=1></form>", "text/html",
       nullptr, "Shift_JIS"},
      {"/posted", Html(kJapanese, "EUC-JP"), "text/html", kJapanese, "EUC-JP"},
      {"/meta-utf8", Html(kJapanese, "UTF-8", "<meta charset=utf-8>"), "text/html", kJapanese,
       "UTF-8"},
      // Declares what it is not: only a choice reads it right.
      {"/lies", Html(kJapanese, "EUC-JP"), "text/html; charset=windows-1252", kJapanese,
       "windows-1252"},
  };
  for (const Row& row : rows) Serve(row);
  ASSERT_TRUE(ReadsAs(server_.Url("/sjis"), "Shift_JIS"));
  std::vector<WebKitContextMenuItem*> items;
  EXPECT_EQ(MenuOf(*form_, items),
            "文字コード:*自動判別|UTF-8|Shift_JIS|EUC-JP|ISO-2022-JP|西欧 (windows-1252)|");
  ASSERT_EQ(items.size(), 6u);

  g_action_activate(webkit_context_menu_item_get_gaction(items[3]), nullptr);  // EUC-JP
  ASSERT_TRUE(RunUntil([&] { return Script("document.characterSet") == "EUC-JP"; }));
  EXPECT_EQ(Asked("/sjis"), 1) << "read again from the cache";
  EXPECT_EQ(MenuOf(*form_, items),
            "文字コード:自動判別|UTF-8|Shift_JIS|*EUC-JP|ISO-2022-JP|西欧 (windows-1252)|");

  // Held on the site, at the first reading; dropped off it: a declared page
  // there is read once, as declared.
  ASSERT_TRUE(ReadsAs(server_.Url("/utf8"), "EUC-JP"));
  EXPECT_EQ(Readings("/utf8"), std::vector<std::string>{"EUC-JP"});
  g_action_activate(webkit_context_menu_item_get_gaction(items[3]), nullptr);  // again: no reading
  ASSERT_TRUE(ReadsAs(OnLocalhost("/meta-utf8"), "UTF-8"));
  EXPECT_EQ(Script("document.body.textContent.trim()"), kJapanese);
  EXPECT_EQ(Readings("/meta-utf8"), std::vector<std::string>{"UTF-8"});
  EXPECT_EQ(Readings("/utf8"), std::vector<std::string>{"EUC-JP"});
  EXPECT_EQ(MenuOf(*form_, items),
            "文字コード:*自動判別|UTF-8|Shift_JIS|EUC-JP|ISO-2022-JP|西欧 (windows-1252)|");

  // A form's answer is not sent again for another reading. Plain ASCII
  // reads alike in any.
  ASSERT_TRUE(ReadsAs(OnLocalhost("/form"), "windows-1252"));
  Script("document.forms[0].submit()");
  ASSERT_TRUE(WaitForPage(form_, OnLocalhost("/posted")))
      << webkit_web_view_get_uri(View()) << " " << server_.Requests().back();
  EXPECT_EQ(MenuOf(*form_, items),
            "文字コード:*-自動判別|-UTF-8|-Shift_JIS|-EUC-JP|-ISO-2022-JP|-西欧 (windows-1252)|");
  g_action_activate(webkit_context_menu_item_get_gaction(items[1]), nullptr);
  RunFor(500);
  EXPECT_EQ(Asked("/posted"), 1);

  // A page that declares what it is not is read as chosen, and so is the
  // site's next page.
  ASSERT_TRUE(ReadsAs(server_.Url("/lies"), "windows-1252"));
  for (WebKitContextMenuItem* item : items) g_object_unref(item);
  MenuOf(*form_, items);
  g_action_activate(webkit_context_menu_item_get_gaction(items[3]), nullptr);  // EUC-JP
  ASSERT_TRUE(RunUntil([&] { return Script("document.characterSet") == "EUC-JP"; }));
  EXPECT_EQ(Script("document.body.textContent.trim()"), kJapanese);
  ASSERT_TRUE(ReadsAs(server_.Url("/sjis"), "EUC-JP"));
  for (WebKitContextMenuItem* item : items) g_object_unref(item);
}

// Each item of the menu reads the page in its own encoding, chosen as the
// user does: a right click, the submenu, the item.
TEST_F(PageEncodingTest, TheItemClickedIsTheEncodingThePageIsReadIn) {
  Serve({"/sjis", Html(kJapanese, "SHIFT_JIS"), "text/html", kJapanese, "Shift_JIS"});
  ASSERT_TRUE(ReadsAs(server_.Url("/sjis"), "Shift_JIS"));
  const std::pair<const char*, const char*> items[] = {
      {"EUC-JP", "EUC-JP"}, {"UTF-8", "UTF-8"}, {"自動判別", "Shift_JIS"}};
  for (const auto& [label, read_as] : items) {
    SCOPED_TRACE(label);
    ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
    ASSERT_TRUE(navtest::ChooseInPageMenu(View(), "文字コード", label));
    EXPECT_TRUE(RunUntil([&] { return Script("document.characterSet") == read_as; }))
        << Script("document.characterSet");
    RunFor(300);
    EXPECT_EQ(Script("document.characterSet"), read_as);
  }
  EXPECT_EQ(Asked("/sjis"), 1) << "read again from the cache";
}

}  // namespace
