#include "browser/page_hooks.h"

#include <vector>

namespace {

template <typename Hook>
std::vector<Hook>& Hooks() {
  static std::vector<Hook> hooks;
  return hooks;
}

using ViewHook = std::function<void(WebKitWebView*, Gtk::Box&)>;
using UserLoadHook = std::function<void(WebKitWebView*)>;

}  // namespace

void AddViewHook(ViewHook hook) { Hooks<ViewHook>().push_back(std::move(hook)); }
void AddUserLoadHook(UserLoadHook hook) { Hooks<UserLoadHook>().push_back(std::move(hook)); }

void RunViewHooks(WebKitWebView* view, Gtk::Box& browser) {
  for (const ViewHook& hook : Hooks<ViewHook>()) hook(view, browser);
}

void RunUserLoadHooks(WebKitWebView* view) {
  for (const UserLoadHook& hook : Hooks<UserLoadHook>()) hook(view);
}
