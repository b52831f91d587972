#include "logins/keyring.h"

#include <libsecret/secret.h>

#include <memory>
#include <utility>

namespace {

constexpr char kNoKeyring[] =
    "キーリング（Secret Service）が応答しないため、パスワードは保存されません。";
constexpr char kLocked[] = "キーリングのロックが解除されないため、パスワードは保存されません。";

const SecretSchema* LoginSchema() {
  static const SecretSchema schema = {"org.tavorin.Login",
                                      SECRET_SCHEMA_NONE,
                                      {{"origin", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"action", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"username", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                      0,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      nullptr};
  return &schema;
}

// What a failed call says to the user; the error itself may name the item.
KeyringProblem ProblemOf(const GError* error) {
  const bool locked = g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED) ||
                      g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
  return locked ? kLocked : kNoKeyring;
}

// A callback carried through the library's user data.
template <typename Callback>
gpointer Carry(Callback callback) {
  return new Callback(std::move(callback));
}
template <typename Callback>
std::unique_ptr<Callback> Take(gpointer data) {
  return std::unique_ptr<Callback>(static_cast<Callback*>(data));
}

GHashTable* Attributes(const TSavedLogin& login, bool all) {
  GHashTable* attributes = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
  g_hash_table_insert(attributes, const_cast<char*>("origin"), g_strdup(login.origin.c_str()));
  if (all) {
    g_hash_table_insert(attributes, const_cast<char*>("action"), g_strdup(login.action.c_str()));
    g_hash_table_insert(attributes, const_cast<char*>("username"),
                        g_strdup(login.username.c_str()));
  }
  return attributes;
}

std::string Attribute(GHashTable* attributes, const char* name) {
  const auto* value = static_cast<const char*>(g_hash_table_lookup(attributes, name));
  return value != nullptr ? value : "";
}

TSavedLogin LoginOf(SecretItem* item) {
  GHashTable* attributes = secret_item_get_attributes(item);
  TSavedLogin login{Attribute(attributes, "origin"), Attribute(attributes, "action"),
                    Attribute(attributes, "username"), ""};
  g_hash_table_unref(attributes);
  SecretValue* secret = secret_item_get_secret(item);
  if (secret != nullptr) {
    const gchar* text = secret_value_get_text(secret);
    if (text != nullptr) login.password = text;
    secret_value_unref(secret);
  }
  return login;
}

void Searched(GObject*, GAsyncResult* result, gpointer data) {
  auto found = Take<LoginsFound>(data);
  GError* error = nullptr;
  GList* items = secret_service_search_finish(nullptr, result, &error);
  if (error != nullptr) {
    (*found)({}, ProblemOf(error));
    g_error_free(error);
    return;
  }
  std::vector<TSavedLogin> logins;
  for (GList* item = items; item != nullptr; item = item->next) {
    auto* secret_item = SECRET_ITEM(item->data);
    if (!secret_item_get_locked(secret_item)) logins.push_back(LoginOf(secret_item));
  }
  g_list_free_full(items, g_object_unref);
  (*found)(std::move(logins), "");
}

void Search(const TSavedLogin& login, bool all, SecretSearchFlags flags, LoginsFound found) {
  GHashTable* attributes = Attributes(login, all);
  secret_service_search(nullptr, LoginSchema(), attributes,
                        static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | flags), nullptr,
                        Searched, Carry(std::move(found)));
  g_hash_table_unref(attributes);
}

void Unlocked(GObject* source, GAsyncResult* result, gpointer data) {
  auto done = Take<KeyringDone>(data);
  GList* unlocked = nullptr;
  GError* error = nullptr;
  secret_service_unlock_finish(SECRET_SERVICE(source), result, &unlocked, &error);
  const bool ok = error == nullptr && unlocked != nullptr;
  g_list_free_full(unlocked, g_object_unref);
  g_clear_error(&error);
  (*done)(ok ? "" : kLocked);
}

void CollectionFound(GObject*, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  SecretCollection* collection = secret_collection_for_alias_finish(result, &error);
  g_clear_error(&error);
  if (collection == nullptr || !secret_collection_get_locked(collection)) {
    (*Take<KeyringDone>(data))(collection != nullptr ? "" : kNoKeyring);
    if (collection != nullptr) g_object_unref(collection);
    return;
  }
  GList* objects = g_list_append(nullptr, collection);
  secret_service_unlock(secret_collection_get_service(collection), objects, nullptr, Unlocked,
                        data);
  g_list_free(objects);
  g_object_unref(collection);
}

void ServiceFound(GObject*, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  SecretService* service = secret_service_get_finish(result, &error);
  if (service == nullptr) {
    g_clear_error(&error);
    (*Take<KeyringDone>(data))(kNoKeyring);
    return;
  }
  secret_collection_for_alias(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr,
                              CollectionFound, data);
  g_object_unref(service);
}

// A store or a clear has ended: `Finish` is the library's end of that call.
template <gboolean (*Finish)(GAsyncResult*, GError**)>
void Ended(GObject*, GAsyncResult* result, gpointer data) {
  auto done = Take<KeyringDone>(data);
  GError* error = nullptr;
  Finish(result, &error);
  const KeyringProblem problem = error != nullptr ? ProblemOf(error) : "";
  g_clear_error(&error);
  (*done)(problem);
}

}  // namespace

void CheckKeyring(KeyringDone done) {
  secret_service_get(SECRET_SERVICE_NONE, nullptr, ServiceFound, Carry(std::move(done)));
}

void StoreLogin(const TSavedLogin& login, KeyringDone done) {
  // Unlocked first: a locked collection takes no item.
  CheckKeyring([login, done = std::move(done)](const KeyringProblem& problem) {
    if (!problem.empty()) {
      done(problem);
      return;
    }
    const std::string label = "Tavorin: " + login.username + " @ " + login.origin;
    GHashTable* attributes = Attributes(login, true);
    secret_password_storev(LoginSchema(), attributes, SECRET_COLLECTION_DEFAULT, label.c_str(),
                           login.password.c_str(), nullptr, Ended<secret_password_store_finish>,
                           Carry(done));
    g_hash_table_unref(attributes);
  });
}

void FindLogins(const std::string& origin, LoginsFound found) {
  Search({origin, "", "", ""}, false, SECRET_SEARCH_LOAD_SECRETS, std::move(found));
}

void ListLogins(LoginsFound found) {
  GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
  secret_service_search(nullptr, LoginSchema(), attributes,
                        static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK),
                        nullptr, Searched, Carry(std::move(found)));
  g_hash_table_unref(attributes);
}

void LoadPassword(const TSavedLogin& login, LoginsFound found) {
  Search(login, true,
         static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS),
         std::move(found));
}

void DeleteLogin(const TSavedLogin& login, KeyringDone done) {
  GHashTable* attributes = Attributes(login, true);
  secret_password_clearv(LoginSchema(), attributes, nullptr, Ended<secret_password_clear_finish>,
                         Carry(std::move(done)));
  g_hash_table_unref(attributes);
}
