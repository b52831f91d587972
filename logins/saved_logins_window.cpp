#include "logins/saved_logins_window.h"

#include <glibmm/main.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/liststore.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treerowreference.h>
#include <gtkmm/treeview.h>

#include <memory>
#include <optional>
#include <vector>

#include "logins/keyring.h"

namespace {

constexpr char kHidden[] = "●●●●●●●●";

struct Columns : Gtk::TreeModelColumnRecord {
  Columns() {
    add(site);
    add(username);
    add(password);
    add(origin);
    add(action);
  }
  Gtk::TreeModelColumn<Glib::ustring> site, username, password, origin, action;
};

class TSavedLogins : public Gtk::Window {
 public:
  TSavedLogins();
  ~TSavedLogins() override { *alive_ = false; }

 private:
  void Load();
  void Listed(const std::vector<TSavedLogin>& logins, const KeyringProblem& problem);
  std::optional<TSavedLogin> Selected();
  void ShowPassword();
  void Delete();
  // Whether the window is still there when the keyring answers.
  template <typename Call>
  auto IfAlive(Call call) {
    return [alive = alive_, call](auto&&... args) {
      if (*alive) call(args...);
    };
  }

  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  Columns columns_;
  Glib::RefPtr<Gtk::ListStore> store_ = Gtk::ListStore::create(columns_);
  Gtk::Box layout_{Gtk::ORIENTATION_VERTICAL, 6};
  Gtk::ScrolledWindow scroller_;
  Gtk::TreeView list_{store_};
  Gtk::Label status_;
  Gtk::Box buttons_{Gtk::ORIENTATION_HORIZONTAL, 6};
  Gtk::Button show_{"パスワードを表示"};
  Gtk::Button delete_{"削除"};
  Gtk::Button close_{"閉じる"};
};

TSavedLogins::TSavedLogins() {
  set_name("SavedLogins");
  set_title("保存されたパスワード");
  set_default_size(560, 360);
  set_border_width(8);
  list_.set_name("SavedLoginsList");
  list_.append_column("サイト", columns_.site);
  list_.append_column("ユーザー名", columns_.username);
  list_.append_column("パスワード", columns_.password);
  scroller_.add(list_);
  scroller_.set_vexpand(true);
  status_.set_name("SavedLoginsStatus");
  status_.set_xalign(0);
  show_.set_name("SavedLoginsShow");
  delete_.set_name("SavedLoginsDelete");
  close_.set_name("SavedLoginsClose");
  buttons_.pack_start(show_, false, false);
  buttons_.pack_start(delete_, false, false);
  buttons_.pack_end(close_, false, false);
  layout_.pack_start(scroller_, true, true);
  layout_.pack_start(status_, false, false);
  layout_.pack_start(buttons_, false, false);
  add(layout_);
  show_.signal_clicked().connect([this] { ShowPassword(); });
  delete_.signal_clicked().connect([this] { Delete(); });
  close_.signal_clicked().connect([this] { hide(); });
  show_all_children();
  Load();
}

void TSavedLogins::Load() {
  status_.set_text("読み込み中…");
  ListLogins(IfAlive([this](const std::vector<TSavedLogin>& logins, const KeyringProblem& problem) {
    Listed(logins, problem);
  }));
}

void TSavedLogins::Listed(const std::vector<TSavedLogin>& logins, const KeyringProblem& problem) {
  store_->clear();
  for (const TSavedLogin& login : logins) {
    Gtk::TreeRow row = *store_->append();
    const auto scheme_end = login.origin.find("://");
    row[columns_.site] =
        scheme_end == std::string::npos ? login.origin : login.origin.substr(scheme_end + 3);
    row[columns_.username] = login.username;
    row[columns_.password] = kHidden;
    row[columns_.origin] = login.origin;
    row[columns_.action] = login.action;
  }
  if (!problem.empty()) {
    status_.set_text(problem);
  } else {
    status_.set_text(logins.empty() ? "保存されたパスワードはありません。" : "");
  }
}

std::optional<TSavedLogin> TSavedLogins::Selected() {
  Gtk::TreeIter selected = list_.get_selection()->get_selected();
  if (!selected) return std::nullopt;
  const Gtk::TreeRow row = *selected;
  return TSavedLogin{Glib::ustring(row[columns_.origin]), Glib::ustring(row[columns_.action]),
                     Glib::ustring(row[columns_.username]), ""};
}

// The password is loaded only now, and only into the row asked for.
void TSavedLogins::ShowPassword() {
  const std::optional<TSavedLogin> login = Selected();
  if (!login) return;
  Gtk::TreeRowReference row(store_, store_->get_path(list_.get_selection()->get_selected()));
  LoadPassword(*login, IfAlive([this, row](const std::vector<TSavedLogin>& found,
                                           const KeyringProblem& problem) {
    if (!problem.empty()) status_.set_text(problem);
    if (found.empty() || !row.is_valid()) return;
    (*store_->get_iter(row.get_path()))[columns_.password] = found.front().password;
  }));
}

void TSavedLogins::Delete() {
  const std::optional<TSavedLogin> login = Selected();
  if (!login) return;
  DeleteLogin(*login, IfAlive([this](const KeyringProblem& problem) {
    if (!problem.empty()) status_.set_text(problem);
    Load();
  }));
}

TSavedLogins*& Open() {
  static TSavedLogins* open = nullptr;
  return open;
}

}  // namespace

void ShowSavedLogins(Gtk::Window* parent) {
  if (Open() == nullptr) {
    Open() = new TSavedLogins();
    // Closed is gone: the passwords shown go with it.
    Open()->signal_hide().connect([] {
      TSavedLogins* closed = Open();
      Open() = nullptr;
      Glib::signal_idle().connect_once([closed] { delete closed; });
    });
  }
  if (parent != nullptr) Open()->set_transient_for(*parent);
  Open()->present();
}

Gtk::Window* SavedLoginsWindow() { return Open(); }
