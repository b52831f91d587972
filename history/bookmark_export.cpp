#include "history/bookmark_export.h"

#include <glibmm/main.h>
#include <gtkmm/messagedialog.h>
#include <sigc++/adaptors/track_obj.h>

#include "store/bookmark_html.h"
#include "store/bookmark_store.h"

namespace {

void TellFailure(Gtk::Window& parent, const std::string& error) {
  Gtk::MessageDialog told(parent, "ブックマークを書き出せませんでした", false, Gtk::MESSAGE_ERROR,
                          Gtk::BUTTONS_CLOSE, true);
  told.set_secondary_text(error);
  told.run();
}

}  // namespace

Gtk::FileChooserDialog& ExportBookmarks(Gtk::Window& parent, const BookmarkStore& store) {
  auto* chooser = new Gtk::FileChooserDialog(parent, "ブックマークのエクスポート",
                                             Gtk::FILE_CHOOSER_ACTION_SAVE);
  chooser->add_button("キャンセル(_C)", Gtk::RESPONSE_CANCEL);
  chooser->add_button("保存(_S)", Gtk::RESPONSE_ACCEPT);
  chooser->set_default_response(Gtk::RESPONSE_ACCEPT);
  chooser->set_do_overwrite_confirmation(true);
  chooser->set_modal(true);
  chooser->set_current_name("bookmarks.html");
  // Owned by `parent`: closing the history window takes it along.
  parent.set_data(kBookmarkExportKey, chooser,
                  [](gpointer dialog) { delete static_cast<Gtk::FileChooserDialog*>(dialog); });
  chooser->signal_response().connect([chooser, &parent, &store](int response) {
    const std::string path = chooser->get_filename();
    chooser->hide();
    std::string error;
    if (response == Gtk::RESPONSE_ACCEPT && !path.empty() &&
        !SaveBookmarksHtml(path, store.All(), error)) {
      TellFailure(parent, error);
    }
    // Not from inside its own handler.
    Glib::signal_idle().connect_once(sigc::track_obj(
        [&parent] { g_object_set_data(G_OBJECT(parent.gobj()), kBookmarkExportKey, nullptr); },
        parent));
  });
  chooser->present();
  return *chooser;
}
