#include "window/store_trouble_notice.h"

#include <glib.h>

#include <string>

#include "store/store_trouble.h"
#include "window/form_html.h"
#include "window/notice_bar.h"

namespace {

constexpr guint kWaitForWindowMs = 200;

std::string& Lines() {
  static std::string lines;
  return lines;
}

// The main window may not be made yet when a store is first opened.
gboolean ShowLines(gpointer) {
  if (FormHTML == nullptr) return G_SOURCE_CONTINUE;
  TNoticeBar::Show(*FormHTML->CppWebBrowser1, Lines());
  return G_SOURCE_REMOVE;
}

void Said(const StoreTrouble& trouble) {
  const std::string line =
      trouble.what + "を使えません: " + trouble.file + " (" + trouble.reason + ")";
  std::string& lines = Lines();
  if (lines.find(line) != std::string::npos) return;
  lines += (lines.empty() ? "" : "\n") + line;
  if (ShowLines(nullptr) == G_SOURCE_CONTINUE) g_timeout_add(kWaitForWindowMs, ShowLines, nullptr);
}

}  // namespace

void ShowStoreTroubles() { OnStoreTrouble(Said); }
