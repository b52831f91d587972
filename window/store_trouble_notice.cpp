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

guint& Showing() {
  static guint source = 0;
  return source;
}

// The main window may not be made yet when a store is first opened, or be in
// the making (its features are attached first): shown from the main loop.
gboolean ShowLines(gpointer) {
  if (FormHTML == nullptr) return G_SOURCE_CONTINUE;
  Showing() = 0;
  TNoticeBar::Show(*FormHTML->CppWebBrowser1, Lines());
  return G_SOURCE_REMOVE;
}

void Said(const StoreTrouble& trouble) {
  const std::string line =
      trouble.what + "を使えません: " + trouble.file + " (" + trouble.reason + ")";
  std::string& lines = Lines();
  if (lines.find(line) != std::string::npos) return;
  lines += (lines.empty() ? "" : "\n") + line;
  if (Showing() == 0) Showing() = g_timeout_add(kWaitForWindowMs, ShowLines, nullptr);
}

}  // namespace

void ShowStoreTroubles() { OnStoreTrouble(Said); }
