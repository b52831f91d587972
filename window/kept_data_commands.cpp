#include "window/kept_data_commands.h"

#include "history/bookmark_popover.h"
#include "history/bookmarks.h"
#include "history/clear_data_dialog.h"
#include "history/history.h"
#include "history/history_window.h"
#include "window/form_html.h"

namespace {

constexpr char kPopoverKey[] = "tavorin-bookmark-popover";

}  // namespace

TBookmarkPopover& BookmarkPopover(TFormHTML& form) {
  auto* popover = static_cast<TBookmarkPopover*>(form.get_data(kPopoverKey));
  if (popover == nullptr) {
    // Managed: the popover belongs to the window and goes with it.
    popover = Gtk::manage(new TBookmarkPopover(*form.EditURL, &Bookmarks));
    form.set_data(kPopoverKey, popover);
  }
  return *popover;
}

void OfferBookmark(TFormHTML& form) {
  TCppWebBrowser& browser = *form.CppWebBrowser1;
  BookmarkPopover(form).Open(browser.LocationURL().ToUtf8(), browser.PageTitle());
}

void ShowHistory(TFormHTML& form) {
  OpenHistoryWindow(form, History(), Bookmarks(), [&form](const std::string& url) {
    form.NavigateTo(url, AddressFrom::kKept);
    form.present();
  });
}

void AskToClearData(TFormHTML& form) { OpenClearDataDialog(form, History()); }
