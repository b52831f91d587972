// ブックマークのエクスポート: a save dialog for the bookmarks HTML file that
// other browsers import; a write that fails is told in a message box.
#pragma once

#include <gtkmm/filechooserdialog.h>
#include <gtkmm/window.h>

class BookmarkStore;

// Asks where to write the bookmarks of `store` and writes them there. The
// dialog belongs to `parent`, under kBookmarkExportKey, while it is shown.
Gtk::FileChooserDialog& ExportBookmarks(Gtk::Window& parent, const BookmarkStore& store);

inline constexpr char kBookmarkExportKey[] = "tavorin-bookmark-export";
