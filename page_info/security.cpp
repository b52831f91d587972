#include "page_info/security.h"

#include <webkit2/webkit2.h>

#include <utility>

namespace {

constexpr char kInsecureKey[] = "tavorin-insecure-content";
constexpr char kRefusalKey[] = "tavorin-tls-refusal";

struct Problem {
  GTlsCertificateFlags flag;
  const char* words;
};

constexpr Problem kProblems[] = {
    {G_TLS_CERTIFICATE_UNKNOWN_CA, "発行者が信頼されていません"},
    {G_TLS_CERTIFICATE_BAD_IDENTITY, "サイトの名前と合いません"},
    {G_TLS_CERTIFICATE_NOT_ACTIVATED, "まだ有効になっていません"},
    {G_TLS_CERTIFICATE_EXPIRED, "有効期限が切れています"},
    {G_TLS_CERTIFICATE_REVOKED, "取り消されています"},
    {G_TLS_CERTIFICATE_INSECURE, "安全でない方式です"},
    {G_TLS_CERTIFICATE_GENERIC_ERROR, "ほかの問題があります"},
};

// A page the engine refused for its certificate: its address and problems.
struct Refusal {
  std::string uri;
  GTlsCertificateFlags errors;
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

void InsecureContent(WebKitWebView* view, WebKitInsecureContentEvent, gpointer) {
  g_object_set_data(G_OBJECT(view), kInsecureKey, GINT_TO_POINTER(1));
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_COMMITTED) g_object_set_data(G_OBJECT(view), kInsecureKey, nullptr);
}

gboolean TlsRefused(WebKitWebView* view, gchar* uri, GTlsCertificate*, GTlsCertificateFlags errors,
                    gpointer) {
  g_object_set_data_full(G_OBJECT(view), kRefusalKey,
                         new Refusal{uri != nullptr ? uri : "", errors},
                         [](gpointer data) { delete static_cast<Refusal*>(data); });
  return FALSE;  // the engine shows its error page
}

std::string Take(gchar* text) {
  std::string result = text != nullptr ? text : "";
  g_free(text);
  return result;
}

}  // namespace

Security Judge(const Connection& c) {
  if (StartsWith(c.uri, "http:")) return Security::kNotSecure;
  if (!StartsWith(c.uri, "https:")) return Security::kNone;
  const bool trusted = c.has_certificate && c.errors == 0;
  return trusted && !c.insecure_content ? Security::kSecure : Security::kNotSecure;
}

void WatchSecurity(WebKitWebView* view) {
  g_signal_connect(view, "insecure-content-detected", G_CALLBACK(InsecureContent), nullptr);
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), nullptr);
  g_signal_connect(view, "load-failed-with-tls-errors", G_CALLBACK(TlsRefused), nullptr);
}

Connection ConnectionOf(WebKitWebView* view) {
  Connection c;
  const gchar* uri = webkit_web_view_get_uri(view);
  c.uri = uri != nullptr ? uri : "";
  GTlsCertificate* certificate = nullptr;
  c.has_certificate = webkit_web_view_get_tls_info(view, &certificate, &c.errors) && certificate;
  c.insecure_content = g_object_get_data(G_OBJECT(view), kInsecureKey) != nullptr;
  return c;
}

std::string CertificateProblems(GTlsCertificateFlags errors) {
  std::string words;
  for (const Problem& p : kProblems) {
    if ((errors & p.flag) != 0) words += (words.empty() ? "" : "、") + std::string(p.words);
  }
  return words;
}

std::string DescribeConnection(WebKitWebView* view) {
  const Connection c = ConnectionOf(view);
  std::string text;
  GTlsCertificate* certificate = nullptr;
  GTlsCertificateFlags errors = GTlsCertificateFlags(0);
  if (StartsWith(c.uri, "https:") && webkit_web_view_get_tls_info(view, &certificate, &errors) &&
      certificate != nullptr) {
    text += "接続: TLS で暗号化されています\n";
    text += "証明書の発行先: " + Take(g_tls_certificate_get_subject_name(certificate)) + "\n";
    text += "証明書の発行者: " + Take(g_tls_certificate_get_issuer_name(certificate)) + "\n";
    const std::string problems = CertificateProblems(errors);
    text += "証明書の問題: " + (problems.empty() ? std::string("なし") : problems) + "\n";
  } else {
    text += "接続: 暗号化されていません\n";
  }
  if (c.insecure_content) text += "保護されていない内容を読み込みました\n";
  auto* refusal = static_cast<Refusal*>(g_object_get_data(G_OBJECT(view), kRefusalKey));
  if (refusal != nullptr && refusal->uri == c.uri) {
    text += "エンジンが拒否した証明書: " + CertificateProblems(refusal->errors) + "\n";
  }
  return text;
}
