#include "error_pages/error_page_html.h"

#include <glib.h>

#include <array>

namespace {

struct Wording {
  ErrorKind kind;
  const char* title;
  const char* what;  // {host} and {port} are filled in
  const char* todo;
};

constexpr std::array kWordings{
    Wording{ErrorKind::kRefused, "接続が拒否されました",
            "{host} に接続できませんでした。サーバーが接続を受け付けていません。",
            "アドレスが正しいか確かめてください。サーバーが止まっているか再起動中かもしれません。"
            "しばらくしてから再試行してください。"},
    Wording{ErrorKind::kReset, "接続が切れました",
            "{host} との接続が、ページを受け取る前に切れました。",
            "しばらくしてから再試行してください。続く場合はサイトに問題があるかもしれません。"},
    Wording{ErrorKind::kHostNotFound, "サーバーが見つかりません",
            "{host} というサーバーが見つかりませんでした。",
            "アドレスの綴りを確かめてください。ネットワークにつながっているかも確かめてください。"},
    Wording{ErrorKind::kTimeout, "接続がタイムアウトしました",
            "{host} が時間内に応答しませんでした。",
            "サイトが混み合っているかもしれません。しばらくしてから再試行してください。"},
    Wording{
        ErrorKind::kNoNetwork, "ネットワークにつながっていません",
        "{host} に届きませんでした。このコンピューターはネットワークにつながっていないようです。",
        "ケーブルや Wi-Fi、プロキシの設定を確かめてから再試行してください。"},
    Wording{ErrorKind::kBlockedPort, "このポートには接続できません",
            "{host} のポート {port} はメールなどウェブ以外のサービスに使われるため、"
            "安全のため開きません。",
            "アドレスのポート番号が正しいか確かめてください。"},
    Wording{
        ErrorKind::kTooManyRedirects, "転送が多すぎます",
        "{host} のページは転送を繰り返していて、表示できません。",
        "このサイトの Cookie を削除すると直ることがあります。しばらくしてから再試行してください。"},
    Wording{ErrorKind::kCertificate, "安全な接続ができません",
            "{host} の証明書を信頼できません。第三者がこのサイトになりすましているおそれが"
            "あるため、ページを表示しません。",
            "前のページに戻ってください。問題が続く場合は、サイトの管理者に知らせてください。"},
    Wording{ErrorKind::kOther, "ページを表示できません", "{host} のページを読み込めませんでした。",
            "アドレスを確かめてから再試行してください。"},
};

const Wording& WordingOf(ErrorKind kind) {
  for (const Wording& wording : kWordings) {
    if (wording.kind == kind) return wording;
  }
  return kWordings.back();
}

std::string Escaped(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
  std::string result = escaped;
  g_free(escaped);
  return result;
}

std::string Filled(std::string text, const std::string& name, const std::string& value) {
  const std::size_t at = text.find(name);
  if (at != std::string::npos) text.replace(at, name.size(), value);
  return text;
}

constexpr char kStyle[] = R"(
:root { color-scheme: light dark; font-family: "IPAPGothic", sans-serif; }
body { margin: 0 auto; padding: 3em 4vw; max-width: 44em; line-height: 1.6; }
h1 { font-size: 1.5em; }
.detail { font-size: .9em; opacity: .8; overflow-wrap: anywhere; }
.actions { display: flex; gap: 1em; flex-wrap: wrap; margin-top: 2em; }
.actions a { padding: .5em 1.5em; border: 1px solid #8888; border-radius: 6px;
             text-decoration: none; color: inherit; }
.actions a:focus, .actions a:hover { outline: 2px solid #36c; }
)";

constexpr char kPolicy[] = "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'";

}  // namespace

const char kRetryAddress[] = "about:blank#tavorin-retry";
const char kBackAddress[] = "about:blank#tavorin-back";

std::string HostOf(const std::string& uri) {
  GUri* parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_NONE, nullptr);
  std::string host;
  if (parsed != nullptr && g_uri_get_host(parsed) != nullptr) host = g_uri_get_host(parsed);
  if (parsed != nullptr) g_uri_unref(parsed);
  return host.empty() ? uri : host;
}

std::string ErrorPageHtml(const ErrorFacts& facts) {
  const Wording& wording = WordingOf(facts.kind);
  const std::string host = "<strong>" + Escaped(HostOf(facts.uri)) + "</strong>";
  const std::string what =
      Filled(Filled(Escaped(wording.what), "{host}", host), "{port}", std::to_string(facts.port));
  std::string html =
      std::string("<!doctype html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">") +
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">" +
      "<meta http-equiv=\"Content-Security-Policy\" content=\"" + kPolicy + "\">" + "<title>" +
      wording.title + "</title><style>" + kStyle +
      "</style></head>\n<body>\n<main role=\"alert\">\n<h1 id=\"error-title\">" + wording.title +
      "</h1>\n<p id=\"error-what\">" + what + "</p>\n";
  if (!facts.detail.empty()) {
    const char* label = facts.kind == ErrorKind::kCertificate ? "証明書の問題" : "詳しく";
    html += std::string("<p class=\"detail\" id=\"error-detail\">") + label + ": " +
            Escaped(facts.detail) + "</p>\n";
  }
  html += "<p id=\"error-todo\">" + std::string(wording.todo) + "</p>\n";
  html += "<p class=\"detail\">アドレス: " + Escaped(facts.uri) + "</p>\n<div class=\"actions\">";
  if (facts.kind == ErrorKind::kCertificate) {
    html += std::string("<a id=\"back\" role=\"button\" href=\"") + kBackAddress + "\">戻る</a>";
  }
  html += std::string("<a id=\"retry\" role=\"button\" href=\"") + kRetryAddress + "\">再試行</a>";
  return html + "</div>\n</main></body></html>\n";
}
