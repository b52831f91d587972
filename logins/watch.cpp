#include "logins/watch.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "logins/bar.h"
#include "logins/chooser.h"
#include "logins/keyring.h"
#include "logins/never.h"
#include "logins/page_script.h"

namespace {

struct Watch {
  WebKitWebView* view;
  Gtk::Box* browser;
  std::string page_origin;  // of the page committed last
};
using WeakWatch = std::weak_ptr<Watch>;

// What the page's script sent or asked.
struct Request {
  std::string kind, origin, action;
  TSavedLogin login;
  GdkRectangle area{};
};

// The reply to one question of the page's script; null when nothing better
// was given before it goes.
class Reply {
 public:
  Reply(WebKitScriptMessageReply* reply, JSCValue* message)
      : reply_(webkit_script_message_reply_ref(reply)),
        context_(JSC_CONTEXT(g_object_ref(jsc_value_get_context(message)))) {}
  ~Reply() {
    if (reply_ != nullptr) Give(jsc_value_new_null(context_));
    g_object_unref(context_);
  }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;

  void Fill(const TSavedLogin& login) {
    JSCValue* value = jsc_value_new_object(context_, nullptr, nullptr);
    JSCValue* fields = jsc_value_new_object(context_, nullptr, nullptr);
    Set(fields, "username", jsc_value_new_string(context_, login.username.c_str()));
    Set(fields, "password", jsc_value_new_string(context_, login.password.c_str()));
    Set(value, "login", fields);
    Give(value);
  }
  void Choose() {
    JSCValue* value = jsc_value_new_object(context_, nullptr, nullptr);
    Set(value, "choose", jsc_value_new_boolean(context_, TRUE));
    Give(value);
  }

 private:
  static void Set(JSCValue* object, const char* name, JSCValue* value) {
    jsc_value_object_set_property(object, name, value);
    g_object_unref(value);
  }
  void Give(JSCValue* value) {
    if (reply_ == nullptr) return;
    webkit_script_message_reply_return_value(reply_, value);
    g_object_unref(value);
    webkit_script_message_reply_unref(reply_);
    reply_ = nullptr;
  }

  WebKitScriptMessageReply* reply_;
  JSCContext* context_;
};

std::string Text(JSCValue* message, const char* name) {
  JSCValue* value = jsc_value_object_get_property(message, name);
  std::string text;
  if (jsc_value_is_string(value)) {
    gchar* chars = jsc_value_to_string(value);
    text = chars;
    g_free(chars);
  }
  g_object_unref(value);
  return text;
}

int Number(JSCValue* message, const char* name) {
  JSCValue* value = jsc_value_object_get_property(message, name);
  const int number = jsc_value_is_number(value) ? static_cast<int>(jsc_value_to_double(value)) : 0;
  g_object_unref(value);
  return number;
}

Request Parse(JSCValue* message) {
  Request request;
  if (!jsc_value_is_object(message)) return request;
  request.kind = Text(message, "kind");
  request.origin = Text(message, "origin");
  request.action = Text(message, "action");
  request.login = {request.origin, request.action, Text(message, "username"),
                   Text(message, "password")};
  request.area = {Number(message, "x"), Number(message, "y"), Number(message, "width"),
                  Number(message, "height")};
  return request;
}

std::string OriginOf(const char* uri) {
  WebKitSecurityOrigin* origin = uri != nullptr ? webkit_security_origin_new_for_uri(uri) : nullptr;
  if (origin == nullptr) return "";
  gchar* text = webkit_security_origin_to_string(origin);
  std::string result = text != nullptr ? text : "";
  g_free(text);
  webkit_security_origin_unref(origin);
  return result;
}

std::string SiteOf(const std::string& origin) {
  const auto scheme_end = origin.find("://");
  return scheme_end == std::string::npos ? origin : origin.substr(scheme_end + 3);
}

std::vector<TSavedLogin> ForAction(std::vector<TSavedLogin> logins, const std::string& action) {
  std::erase_if(logins, [&](const TSavedLogin& login) { return login.action != action; });
  return logins;
}

// Why logins cannot be saved is said once while the program runs.
void TellOnce(Watch& watch, const KeyringProblem& problem) {
  static bool told = false;
  if (told) return;
  told = true;
  TLoginBar::Of(*watch.browser).Tell(problem);
}

void Answered(const WeakWatch& weak, const TSavedLogin& login, TLoginBar::Answer answer) {
  if (answer == TLoginBar::Answer::kNever) AddNeverSaveLogins(login.origin);
  if (answer != TLoginBar::Answer::kSave) return;
  StoreLogin(login, [weak](const KeyringProblem& problem) {
    auto watch = weak.lock();
    if (watch && !problem.empty()) TellOnce(*watch, problem);
  });
}

// Offered when the keyring can take it and does not hold it already.
void Sent(const std::shared_ptr<Watch>& watch, const TSavedLogin& login) {
  if (NeverSaveLoginsFor(login.origin)) return;
  WeakWatch weak = watch;
  CheckKeyring([weak, login](const KeyringProblem& problem) {
    auto watch = weak.lock();
    if (!watch) return;
    if (!problem.empty()) {
      TellOnce(*watch, problem);
      return;
    }
    FindLogins(login.origin, [weak, login](std::vector<TSavedLogin> saved, const KeyringProblem&) {
      auto watch = weak.lock();
      if (!watch) return;
      bool change = false;
      for (const TSavedLogin& known : saved) {
        if (known.action != login.action || known.username != login.username) continue;
        if (known.password == login.password) return;
        change = true;
      }
      TLoginBar::Of(*watch->browser)
          .Offer(login.username, SiteOf(login.origin), change,
                 [weak, login](TLoginBar::Answer answer) { Answered(weak, login, answer); });
    });
  });
}

// A login form with saved logins to list; nothing of them goes to the page
// before the user chooses one.
void Find(const Request& request, std::shared_ptr<Reply> reply) {
  FindLogins(request.origin,
             [request, reply](std::vector<TSavedLogin> saved, const KeyringProblem&) {
               if (!ForAction(std::move(saved), request.action).empty()) reply->Choose();
             });
}

void Choose(const std::shared_ptr<Watch>& watch, const Request& request,
            std::shared_ptr<Reply> reply) {
  WeakWatch weak = watch;
  FindLogins(request.origin, [weak, request, reply](std::vector<TSavedLogin> saved,
                                                    const KeyringProblem&) {
    auto watch = weak.lock();
    const std::vector<TSavedLogin> logins = ForAction(std::move(saved), request.action);
    // The page may have moved on while the keyring answered.
    if (!watch || logins.empty() || request.origin != watch->page_origin) return;
    std::vector<std::string> usernames;
    for (const TSavedLogin& login : logins) usernames.push_back(login.username);
    // The page gives its own pixels; the view may be zoomed.
    const double zoom = webkit_web_view_get_zoom_level(watch->view);
    const GdkRectangle area{
        static_cast<int>(request.area.x * zoom), static_cast<int>(request.area.y * zoom),
        static_cast<int>(request.area.width * zoom), static_cast<int>(request.area.height * zoom)};
    ChooseLogin(GTK_WIDGET(watch->view), area, SiteOf(request.origin), usernames,
                [logins, reply](std::optional<std::size_t> index) {
                  if (index) reply->Fill(logins[*index]);
                });
  });
}

gboolean Received(WebKitUserContentManager*, JSCValue* message, WebKitScriptMessageReply* reply,
                  std::shared_ptr<Watch>* watch) {
  auto answer = std::make_shared<Reply>(reply, message);
  const Request request = Parse(message);
  // Only the page's own origin, and forms that go to a real origin.
  if (request.origin.empty() || request.origin != (*watch)->page_origin || request.action.empty() ||
      request.action == "null") {
    return TRUE;
  }
  // A private window's logins are not offered for saving; saved ones still fill.
  if (request.kind == "submit" && !request.login.password.empty() &&
      !webkit_web_view_is_ephemeral((*watch)->view)) {
    Sent(*watch, request.login);
  }
  if (request.kind == "find") Find(request, answer);
  if (request.kind == "choose") Choose(*watch, request, answer);
  return TRUE;
}

void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, std::shared_ptr<Watch>* watch) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  (*watch)->page_origin = OriginOf(webkit_web_view_get_uri(view));
  CloseLoginChoice(GTK_WIDGET(view));
}

void Forget(gpointer watch, GClosure*) { delete static_cast<std::shared_ptr<Watch>*>(watch); }

}  // namespace

void WatchLogins(WebKitWebView* view, Gtk::Box* browser) {
  auto* watch = new std::shared_ptr<Watch>(std::make_shared<Watch>(Watch{view, browser, ""}));
  WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
  const std::string signal = std::string("script-message-with-reply-received::") + kLoginChannel;
  g_signal_connect_data(manager, signal.c_str(), G_CALLBACK(Received), watch, Forget,
                        GConnectFlags(0));
  g_signal_connect(view, "load-changed", G_CALLBACK(LoadChanged), watch);
  webkit_user_content_manager_register_script_message_handler_with_reply(manager, kLoginChannel,
                                                                         kLoginWorld);
  WebKitUserScript* script = webkit_user_script_new_for_world(
      kLoginPageScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kLoginWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, script);
  webkit_user_script_unref(script);
}
