#include "search/search_engine.h"

#include <glib.h>

#include "browser/user_address.h"
#include "search/typed_text.h"

namespace {

// Until the settings are applied: the settings' own default.
std::string& Engine() {
  static std::string engine = "https://www.google.co.jp/search?q=%s";
  return engine;
}

// "~/" is the shell's, which the address box has not got.
std::string HomeExpanded(const std::string& text) {
  if (!text.starts_with("~/")) return text;
  return std::string(g_get_home_dir()) + text.substr(1);
}

}  // namespace

void SetSearchEngine(const std::string& engine) { Engine() = engine; }

const std::string& SearchEngine() { return Engine(); }

std::string AddressForTyped(const std::string& typed) {
  const std::string words = SearchedWords(typed);
  if (words.empty()) return {};
  if (KindOfTyped(typed) == TypedKind::kAddress) return AddressFromTyped(HomeExpanded(words));
  return SearchAddress(Engine(), words);
}
