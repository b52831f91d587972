// The user's answers to a site's requests (the location, notifications,
// further downloads), kept with the engine context of the view that asked:
// for the program's run in ordinary windows, and in private windows only
// while one of them is open. The two never see each other's answers.
#pragma once

#include <map>
#include <memory>
#include <string>

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebView WebKitWebView;

// The answers of one `table` ("permissions", "downloads") kept in `context`.
std::map<std::string, bool>& KeptAnswers(WebKitWebContext* context, const char* table);
std::map<std::string, bool>& KeptAnswers(WebKitWebView* view, const char* table);

// A hold on `view`'s context, for an answer that comes after the view went.
std::shared_ptr<WebKitWebContext> AnswersPlace(WebKitWebView* view);
