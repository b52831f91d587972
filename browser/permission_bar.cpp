#include "browser/permission_bar.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "browser/strip_accessibility.h"

TPermissionBar& TPermissionBar::Of(Gtk::Box& browser) {
  for (Gtk::Widget* child : browser.get_children()) {
    if (auto* bar = dynamic_cast<TPermissionBar*>(child)) return *bar;
  }
  auto* bar = Gtk::manage(new TPermissionBar());
  browser.pack_start(*bar, false, false);
  browser.reorder_child(*bar, 0);
  // A hidden window's question can be neither seen nor answered.
  browser.signal_unmap().connect(sigc::mem_fun(*bar, &TPermissionBar::DenyAll));
  return *bar;
}

TPermissionBar::TPermissionBar() : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6) {
  set_name("PermissionBar");
  set_border_width(4);
  set_no_show_all(true);
  message_.set_name("PermissionMessage");
  message_.set_xalign(0);
  message_.set_line_wrap(true);
  pack_start(message_, true, true);
  const std::pair<Gtk::Button*, const char*> buttons[] = {
      {&allow_, "PermissionAllow"}, {&deny_, "PermissionDeny"}, {&close_, "PermissionClose"}};
  for (auto [button, name] : buttons) {
    button->set_name(name);
    pack_start(*button, false, false);
  }
  NameButton(close_, "閉じる");
  // Escape dismisses: the request is refused, and asked again next time.
  MakeAnnouncedStrip(*this, Atk::ROLE_ALERT, [this] { Reply(false, false); });
  allow_.signal_clicked().connect([this] { Reply(true, true); });
  deny_.signal_clicked().connect([this] { Reply(false, true); });
  close_.signal_clicked().connect([this] { Reply(false, false); });
  show_all_children();
}

TPermissionBar::~TPermissionBar() { DenyWaiting(); }

void TPermissionBar::Ask(WebKitPermissionRequest* request, std::string key, std::string question,
                         Remember remember) {
  std::shared_ptr<WebKitPermissionRequest> held(WEBKIT_PERMISSION_REQUEST(g_object_ref(request)),
                                                g_object_unref);
  Ask(
      std::move(key), std::move(question),
      [held](bool allow) {
        if (allow) {
          webkit_permission_request_allow(held.get());
        } else {
          webkit_permission_request_deny(held.get());
        }
      },
      std::move(remember));
}

void TPermissionBar::Ask(std::string key, std::string question, Answer answer, Remember remember) {
  waiting_.push_back({std::move(key), std::move(question), std::move(answer), std::move(remember)});
  if (waiting_.size() == 1) ShowFirst();
}

void TPermissionBar::DenyAll() {
  DenyWaiting();
  ShowFirst();
}

void TPermissionBar::DenyWaiting() {
  std::deque<Waiting> denied = std::move(waiting_);
  waiting_.clear();
  for (Waiting& waiting : denied) waiting.answer(false);
}

// Answers the first request and those of the same site and kind.
void TPermissionBar::Reply(bool allow, bool remember) {
  if (waiting_.empty()) return;
  const Waiting first = waiting_.front();
  if (remember) first.remember(allow);
  std::deque<Waiting> answered;
  std::erase_if(waiting_, [&](Waiting& waiting) {
    if (waiting.key != first.key) return false;
    answered.push_back(std::move(waiting));
    return true;
  });
  for (Waiting& waiting : answered) waiting.answer(allow);
  ShowFirst();
}

void TPermissionBar::ShowFirst() {
  if (waiting_.empty()) {
    const bool had_focus = get_focus_child() != nullptr;
    hide();
    if (had_focus && get_parent() != nullptr) get_parent()->child_focus(Gtk::DIR_TAB_FORWARD);
    return;
  }
  message_.set_text(waiting_.front().question);
  SetStripText(*this, waiting_.front().question);
  show();
}
