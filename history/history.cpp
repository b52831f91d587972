#include "history/history.h"

#include <glib.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "browser/cpp_web_browser.h"
#include "browser/page_visits.h"
#include "browser/profile.h"
#include "store/history_store.h"
#include "store/suggestion_source.h"

namespace {

struct Kept {
  bool keep = true;
  bool tried = false;  // to open the store: a profile it cannot open is not retried
  std::unique_ptr<HistoryStore> store;
  std::unique_ptr<HistorySuggestions> suggestions;
};

Kept& State() {
  static Kept kept;
  return kept;
}

constexpr guint kPreloadDelaySeconds = 2;
// A history another program holds is tried again this often, in the background.
constexpr guint kRetrySeconds = 5;

gboolean Retry(gpointer) {
  State().tried = false;
  History();
  return G_SOURCE_REMOVE;
}

gboolean Preload(gpointer) {
  if (State().store) State().store->Preload();
  return G_SOURCE_REMOVE;
}

}  // namespace

void SetKeepHistory(bool keep) { State().keep = keep; }
bool KeepHistory() { return State().keep; }

HistoryStore* History() {
  Kept& kept = State();
  if (!kept.keep) return nullptr;
  if (!kept.tried) {
    kept.tried = true;
    OpenProblem problem = OpenProblem::kNone;
    kept.store = HistoryStore::Open(ProfileDataFolder(), &problem);
    if (problem == OpenProblem::kLocked) g_timeout_add_seconds(kRetrySeconds, Retry, nullptr);
    if (kept.store) {
      kept.suggestions = std::make_unique<HistorySuggestions>(*kept.store);
      // Read for matching once the windows are up, not while they come up.
      g_timeout_add_seconds(kPreloadDelaySeconds, Preload, nullptr);
    }
  }
  return kept.store.get();
}

void CloseHistory() {
  Kept& kept = State();
  kept.suggestions.reset();
  kept.store.reset();
  kept.tried = false;
}

void RecordHistory(TCppWebBrowser& browser) {
  // A private window's pages are kept nowhere.
  if (webkit_web_view_is_ephemeral(browser.View())) return;
  TPageVisits& visits = browser.Visits();
  visits.SetOnVisit([](const std::string& url, const std::string& title) {
    if (HistoryStore* history = History()) history->RecordVisit(url, title);
  });
  visits.SetOnTitle([](const std::string& url, const std::string& title) {
    if (HistoryStore* history = History()) history->UpdateTitle(url, title);
  });
}

SuggestionSource* HistorySuggestionSource() {
  return History() != nullptr ? State().suggestions.get() : nullptr;
}
