#include "browser/web_context.h"

#include <webkit2/webkit2.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser/cookie_times.h"
#include "browser/profile.h"

namespace {

std::vector<std::function<void(WebKitWebContext*)>>& ContextHooks() {
  static std::vector<std::function<void(WebKitWebContext*)>> hooks;
  return hooks;
}

WebKitWebContext*& MadeContext() {
  static WebKitWebContext* context = nullptr;
  return context;
}

std::optional<unsigned>& PageMemoryLimit() {
  static std::optional<unsigned> limit;
  return limit;
}

// Pages run in a sandbox where bubblewrap can start it; said if not.
void EnableSandbox(WebKitWebContext* context) {
  static bool told = false;  // once, not for each private context
  gchar* bwrap = g_find_program_in_path("bwrap");
  if (bwrap != nullptr) {
    webkit_web_context_set_sandbox_enabled(context, TRUE);
  } else if (!std::exchange(told, true)) {
    g_printerr("tavorin: bubblewrap not found; web pages run without the sandbox\n");
  }
  g_free(bwrap);
}

// Once the engine has made its cookie table, the times cookies are set are
// noted there; one call is enough.
void FirstCookieSet(WebKitCookieManager* cookies, gpointer) {
  NoteCookieTimes(ProfileCookieFile());
  g_signal_handlers_disconnect_by_func(cookies, reinterpret_cast<gpointer>(FirstCookieSet),
                                       nullptr);
}

// Cookies go to an SQLite store that exists, only the user's, before the
// engine opens it: the engine would make it readable by everyone.
void KeepCookies(WebKitWebsiteDataManager* manager) {
  const std::string store = ProfileCookieFile();
  if (!MakePrivateFile(store)) {
    g_printerr("tavorin: cannot use %s; cookies last only until the program ends\n", store.c_str());
    return;
  }
  WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(manager);
  webkit_cookie_manager_set_persistent_storage(cookies, store.c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  // The engine makes its table with the first cookie of a new profile.
  NoteCookieTimes(store);
  g_signal_connect(cookies, "changed", G_CALLBACK(FirstCookieSet), nullptr);
}

// What sites store goes to the program's profile. Without private folders
// for it nothing is kept on disk at all.
WebKitWebsiteDataManager* MakeDataManager() {
  const std::string data = ProfileDataFolder();
  const std::string cache = ProfileCacheFolder();
  if (!MakePrivateFolder(data) || !MakePrivateFolder(cache)) {
    g_printerr("tavorin: cannot make %s and %s private; nothing sites store is kept\n",
               data.c_str(), cache.c_str());
    return webkit_website_data_manager_new_ephemeral();
  }
  MakePrivateTree(data);
  const std::string storage = data + "/localstorage";
  if (!KeepFolderPrivate(storage)) {
    g_printerr(
        "tavorin: cannot watch %s; the sites' stored files there may be readable by others\n",
        storage.c_str());
  }
  WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
      "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
  KeepCookies(manager);
  return manager;
}

// The memory limit can only be given to a context as it is made.
WebKitWebContext* MakeContext(WebKitWebsiteDataManager* manager) {
  if (!PageMemoryLimit()) return webkit_web_context_new_with_website_data_manager(manager);
  WebKitMemoryPressureSettings* settings = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(settings, *PageMemoryLimit());
  webkit_memory_pressure_settings_set_kill_threshold(settings, 1.0);
  // A runaway page grows by hundreds of megabytes a second.
  webkit_memory_pressure_settings_set_poll_interval(settings, 0.5);
  auto* context =
      WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", manager,
                                      "memory-pressure-settings", settings, nullptr));
  webkit_memory_pressure_settings_free(settings);
  return context;
}

// Everything a made context needs before its first view.
void FinishContext(WebKitWebContext* context) {
  EnableSandbox(context);
  for (const auto& hook : ContextHooks()) hook(context);
}

WebKitWebContext* MakePageContext() {
  WebKitWebsiteDataManager* manager = MakeDataManager();
  WebKitWebContext* context = MakeContext(manager);
  g_object_unref(manager);  // the context holds it
  FinishContext(context);
  return context;
}

}  // namespace

WebKitWebContext* NewEphemeralContext() {
  WebKitWebsiteDataManager* manager = webkit_website_data_manager_new_ephemeral();
  WebKitWebContext* context = MakeContext(manager);
  g_object_unref(manager);
  FinishContext(context);
  return context;
}

WebKitWebContext* PageContext() {
  if (MadeContext() == nullptr) MadeContext() = MakePageContext();
  return MadeContext();
}

void AddContextHook(std::function<void(WebKitWebContext*)> hook) {
  if (MadeContext() != nullptr) hook(MadeContext());
  ContextHooks().push_back(std::move(hook));
}

void LimitPageMemory(unsigned megabytes) { PageMemoryLimit() = megabytes; }
