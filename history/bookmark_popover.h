// The small box under the address box that Ctrl+D opens: the page's name,
// editable, with 追加 (keep it, or keep the new name) and 削除 (forget it).
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/popover.h>

#include <functional>
#include <string>

class BookmarkStore;

class TBookmarkPopover : public Gtk::Popover {
 public:
  using Store = std::function<BookmarkStore*()>;
  TBookmarkPopover(Gtk::Widget& under, Store store);

  // Shows the popover for the page at `url` named `title`.
  void Open(const std::string& url, const std::string& title);

  Gtk::Entry& Name() { return name_; }
  Gtk::Button& Add() { return add_; }
  Gtk::Button& Remove() { return remove_; }
  Gtk::Label& Heading() { return heading_; }

 private:
  void Keep();
  void Forget();

  Store store_;
  std::string url_;
  Gtk::Box column_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::Box buttons_{Gtk::ORIENTATION_HORIZONTAL, 6};
  Gtk::Label heading_;
  Gtk::Entry name_;
  Gtk::Button add_{"追加"};
  Gtk::Button remove_{"削除"};
};
