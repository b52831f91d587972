// A window's back/forward list carried over to a later run of the program.
#include <webkit2/webkit2.h>

#include <memory>

#include "browser/address_gate.h"
#include "browser/cpp_web_browser.h"

std::string TCppWebBrowser::SessionState() {
  WebKitWebViewSessionState* state = webkit_web_view_get_session_state(View());
  GBytes* bytes = webkit_web_view_session_state_serialize(state);
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string kept(data != nullptr ? data : "", size);
  g_bytes_unref(bytes);
  webkit_web_view_session_state_unref(state);
  return kept;
}

bool TCppWebBrowser::RestoreSession(const std::string& state) {
  // The engine reads a kept list only once it has started, with the first view.
  WebKitWebView* view = View();
  GBytes* bytes = g_bytes_new(state.data(), state.size());
  WebKitWebViewSessionState* session = webkit_web_view_session_state_new(bytes);
  g_bytes_unref(bytes);
  if (session == nullptr) return false;
  webkit_web_view_restore_session_state(view, session);
  webkit_web_view_session_state_unref(session);
  WebKitBackForwardList* list = webkit_web_view_get_back_forward_list(view);
  WebKitBackForwardListItem* current = webkit_back_forward_list_get_current_item(list);
  // A list from a damaged profile may name a page no kept address may be.
  if (current == nullptr || !MayOpen(webkit_back_forward_list_item_get_uri(current))) return false;
  // The engine restores the list only; the page is loaded as a step within it,
  // so that Back and Forward go on from there.
  loading_uri_ = webkit_back_forward_list_item_get_uri(current);
  std::shared_ptr<WebKitBackForwardListItem> item(
      WEBKIT_BACK_FORWARD_LIST_ITEM(g_object_ref(current)), g_object_unref);
  Ask([this, item] {
    Request([&](WebKitWebView* v) { webkit_web_view_go_to_back_forward_list_item(v, item.get()); });
  });
  return true;
}
