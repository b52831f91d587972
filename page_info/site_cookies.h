// The cookies the engine keeps for a page's address, in words, and taking
// one away.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _SoupCookie SoupCookie;

class TSiteCookie {
 public:
  explicit TSiteCookie(SoupCookie* cookie);  // takes it
  ~TSiteCookie();
  TSiteCookie(const TSiteCookie&) = delete;
  TSiteCookie& operator=(const TSiteCookie&) = delete;

  // name, domain, path, expiry, secure and HttpOnly, separated by tabs.
  std::string Text() const;
  SoupCookie* Cookie() const { return cookie_; }

 private:
  SoupCookie* cookie_;
};

using SiteCookies = std::vector<std::shared_ptr<TSiteCookie>>;

// Calls `done` with the cookies for the page in `view` once the engine has
// them: none on failure.
void FetchSiteCookies(WebKitWebView* view, std::function<void(SiteCookies)> done);
// Deletes `cookie` from the context of `view`; `done` gets whether it went.
void DeleteSiteCookie(WebKitWebView* view, const TSiteCookie& cookie,
                      std::function<void(bool)> done);
