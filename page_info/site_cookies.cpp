#include "page_info/site_cookies.h"

#include <webkit2/webkit2.h>

namespace {

WebKitCookieManager* ManagerOf(WebKitWebView* view) {
  WebKitWebsiteDataManager* data =
      webkit_web_context_get_website_data_manager(webkit_web_view_get_context(view));
  return webkit_website_data_manager_get_cookie_manager(data);
}

std::string Expiry(SoupCookie* cookie) {
  GDateTime* expires = soup_cookie_get_expires(cookie);
  if (expires == nullptr) return "ブラウザを閉じるまで";
  GDateTime* local = g_date_time_to_local(expires);
  gchar* text = g_date_time_format(local, "%Y-%m-%d %H:%M:%S");
  std::string result = text != nullptr ? text : "";
  g_free(text);
  g_date_time_unref(local);
  return result;
}

const char* YesNo(bool value) { return value ? "はい" : "いいえ"; }

void Fetched(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::function<void(SiteCookies)>> done(
      static_cast<std::function<void(SiteCookies)>*>(data));
  GList* list =
      webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
  SiteCookies cookies;
  for (GList* item = list; item != nullptr; item = item->next) {
    cookies.push_back(std::make_shared<TSiteCookie>(static_cast<SoupCookie*>(item->data)));
  }
  g_list_free(list);  // the cookies are theirs now
  (*done)(std::move(cookies));
}

void Deleted(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::function<void(bool)>> done(static_cast<std::function<void(bool)>*>(data));
  (*done)(
      webkit_cookie_manager_delete_cookie_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr));
}

}  // namespace

TSiteCookie::TSiteCookie(SoupCookie* cookie) : cookie_(cookie) {}

TSiteCookie::~TSiteCookie() { soup_cookie_free(cookie_); }

std::string TSiteCookie::Text() const {
  return std::string(soup_cookie_get_name(cookie_)) + "\t" + soup_cookie_get_domain(cookie_) +
         "\t" + soup_cookie_get_path(cookie_) + "\t" + Expiry(cookie_) +
         "\tSecure: " + YesNo(soup_cookie_get_secure(cookie_)) +
         "\tHttpOnly: " + YesNo(soup_cookie_get_http_only(cookie_));
}

void FetchSiteCookies(WebKitWebView* view, std::function<void(SiteCookies)> done) {
  const gchar* uri = webkit_web_view_get_uri(view);
  if (uri == nullptr) {
    done({});
    return;
  }
  webkit_cookie_manager_get_cookies(ManagerOf(view), uri, nullptr, Fetched,
                                    new std::function<void(SiteCookies)>(std::move(done)));
}

void DeleteSiteCookie(WebKitWebView* view, const TSiteCookie& cookie,
                      std::function<void(bool)> done) {
  webkit_cookie_manager_delete_cookie(ManagerOf(view), cookie.Cookie(), nullptr, Deleted,
                                      new std::function<void(bool)>(std::move(done)));
}
