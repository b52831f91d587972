#include "start_page/start_page_html.h"

#include <glib.h>

#include "start_page/start_page.h"

namespace {

constexpr char kStyle[] = R"(
:root { color-scheme: light dark; font-family: "IPAPGothic", sans-serif; }
body { margin: 0 auto; padding: 2em 4vw; max-width: 60em; }
h1 { font-size: 1.4em; margin: 0 0 1em; }
h2 { font-size: 1.1em; margin: 1.5em 0 .5em; }
form { display: flex; gap: .5em; }
input { flex: 1; min-width: 0; font-size: 1.1em; padding: .4em; }
button { font-size: 1.1em; padding: .4em 1em; }
ul { list-style: none; padding: 0; margin: 0; display: grid; gap: .5em;
     grid-template-columns: repeat(auto-fill, minmax(14em, 1fr)); }
a { display: block; padding: .6em; border: 1px solid #8886; border-radius: 6px;
    text-decoration: none; color: inherit; overflow: hidden; }
a:hover, a:focus { border-color: #36c; outline: 2px solid #36c; }
.title { display: block; font-weight: bold; white-space: nowrap; overflow: hidden;
         text-overflow: ellipsis; }
.host { display: block; font-size: .85em; opacity: .75; white-space: nowrap; overflow: hidden;
        text-overflow: ellipsis; }
.note { opacity: .8; }
)";

std::string Escaped(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
  std::string result = escaped;
  g_free(escaped);
  return result;
}

std::string Entry(const StartPageEntry& entry, const std::string& id) {
  const std::string host = ShownHost(entry.url);
  // Without a title, the address itself tells two pages of one site apart.
  const std::string& title = entry.title.empty() ? entry.url : entry.title;
  return "<li><a id=\"" + id + "\" href=\"" + Escaped(entry.url) + "\"><span class=\"title\">" +
         Escaped(title) + "</span><span class=\"host\">" + Escaped(host) + "</span></a></li>\n";
}

std::string Section(const char* id, const char* heading, const char* none,
                    const std::vector<StartPageEntry>& entries) {
  std::string html = std::string("<section aria-labelledby=\"") + id + "-heading\"><h2 id=\"" + id +
                     "-heading\">" + heading + "</h2>\n";
  if (entries.empty())
    return html + "<p class=\"note\" id=\"" + id + "\">" + none + "</p></section>\n";
  html += std::string("<ul id=\"") + id + "\">\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    html += Entry(entries[i], std::string(id) + "-" + std::to_string(i));
  }
  return html + "</ul></section>\n";
}

std::string SearchBox() {
  return std::string("<form role=\"search\" method=\"get\" action=\"") + kStartPageSearch +
         "\"><input type=\"search\" name=\"q\" id=\"search\" aria-label=\"検索する言葉\" "
         "placeholder=\"検索する言葉\" autocomplete=\"off\"><button type=\"submit\" "
         "id=\"search-button\">検索</button></form>\n";
}

constexpr char kPrivateNote[] =
    "<p class=\"note\" id=\"private-note\">プライベートウィンドウです。見たページは履歴に残らず、"
    "Cookie やサイトのデータ、キャッシュは最後のプライベートウィンドウを閉じると消えます。"
    "ダウンロードしたファイルとブックマークは残ります。</p>\n";

}  // namespace

const char kStartPagePolicy[] =
    "default-src 'none'; style-src 'unsafe-inline'; form-action about:; "
    "frame-ancestors 'none'; base-uri 'none'";

std::string ShownHost(const std::string& url) {
  GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (uri == nullptr) return "";
  std::string host;
  if (g_strcmp0(g_uri_get_scheme(uri), "file") == 0) {
    host = "ファイル";
  } else if (g_uri_get_host(uri) != nullptr) {
    host = g_uri_get_host(uri);
  }
  g_uri_unref(uri);
  return host;
}

std::string StartPageHtml(const StartPageContent& content) {
  const char* title = content.private_window ? "プライベートウィンドウ" : "スタートページ";
  std::string html =
      std::string("<!doctype html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">") +
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">" +
      "<meta http-equiv=\"Content-Security-Policy\" content=\"" + kStartPagePolicy + "\">" +
      "<title>" + title + "</title><style>" + kStyle + "</style></head>\n<body>\n<main>\n<h1>" +
      title + "</h1>\n" + SearchBox();
  if (content.private_window) return html + kPrivateNote + "</main></body></html>\n";
  html += Section("most-visited", "よく見るサイト", "まだ見たサイトはありません。",
                  content.most_visited);
  html += Section("bookmarks", "ブックマーク", "ブックマークはありません。", content.bookmarks);
  return html + "</main></body></html>\n";
}
