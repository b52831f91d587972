#include "settings/default_browser.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstring>

#include "settings/message_text.h"

namespace {

// What other programs ask the desktop to open with "the web browser".
constexpr const char* kWebTypes[] = {"x-scheme-handler/http", "x-scheme-handler/https",
                                     "text/html"};

bool IsDefaultFor(const char* type) {
  GAppInfo* handler = g_app_info_get_default_for_type(type, FALSE);
  const bool ours = handler != nullptr && g_app_info_get_id(handler) != nullptr &&
                    std::strcmp(g_app_info_get_id(handler), kDesktopEntryId) == 0;
  if (handler != nullptr) g_object_unref(handler);
  return ours;
}

}  // namespace

const char kDesktopEntryId[] = "tavorin.desktop";

bool IsDefaultBrowser() {
  for (const char* type : kWebTypes) {
    if (!IsDefaultFor(type)) return false;
  }
  return true;
}

std::string MakeDefaultBrowser() {
  GDesktopAppInfo* entry = g_desktop_app_info_new(kDesktopEntryId);
  if (entry == nullptr) {
    return std::string("デスクトップ項目 ") + kDesktopEntryId + " がインストールされていません";
  }
  std::string problem;
  for (const char* type : kWebTypes) {
    GError* error = nullptr;
    if (!g_app_info_set_as_default_for_type(G_APP_INFO(entry), type, &error)) {
      problem = "既定のブラウザにできません (" + Tamed(error->message) + ")";
      g_error_free(error);
      break;
    }
  }
  g_object_unref(entry);
  // Said done only when the desktop now answers so.
  if (problem.empty() && !IsDefaultBrowser())
    problem = "デスクトップが既定のブラウザを変えませんでした";
  return problem;
}
