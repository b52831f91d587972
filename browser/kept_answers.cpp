#include "browser/kept_answers.h"

#include <webkit2/webkit2.h>

std::map<std::string, bool>& KeptAnswers(WebKitWebContext* context, const char* table) {
  using Answers = std::map<std::string, bool>;
  const std::string key = std::string("tavorin-answers-") + table;
  auto* answers = static_cast<Answers*>(g_object_get_data(G_OBJECT(context), key.c_str()));
  if (answers == nullptr) {
    answers = new Answers();
    g_object_set_data_full(G_OBJECT(context), key.c_str(), answers,
                           [](gpointer data) { delete static_cast<Answers*>(data); });
  }
  return *answers;
}

std::map<std::string, bool>& KeptAnswers(WebKitWebView* view, const char* table) {
  return KeptAnswers(webkit_web_view_get_context(view), table);
}

std::shared_ptr<WebKitWebContext> AnswersPlace(WebKitWebView* view) {
  return {WEBKIT_WEB_CONTEXT(g_object_ref(webkit_web_view_get_context(view))), g_object_unref};
}
