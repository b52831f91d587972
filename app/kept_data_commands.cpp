#include "app/kept_data_commands.h"

#include "app/bookmark_popover.h"
#include "app/bookmarks.h"
#include "app/clear_data_dialog.h"
#include "app/form_html.h"
#include "app/history.h"
#include "app/history_window.h"

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
    form.NavigateTo(url);
    form.present();
  });
}

void AskToClearData(TFormHTML& form) { OpenClearDataDialog(form, History()); }
