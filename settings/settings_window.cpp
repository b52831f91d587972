#include "settings/settings_window.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <glibmm/main.h>
#include <gtkmm/filechooserdialog.h>
#include <gtkmm/messagedialog.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "settings/default_browser.h"
#include "settings/settings_writer.h"
#include "start_page/start_page.h"

enum class Kind {
  kHomePage,
  kFolder,
  kRestore,
  kAcceleration,
  kSearch,
  kHistory,
  kDevTools,
  kDefaultBrowser
};

// What the window says of one key of tavorin.conf, in the order shown.
struct SettingRow {
  Kind kind;
  const char* key;  // null for the default browser, which is no key
  const char* title;
  const char* help;
  const char* note;  // beside the control, or null
};

namespace {

constexpr char kNextStart[] = "次回の起動から有効";

constexpr SettingRow kRows[] = {
    {.kind = Kind::kHomePage,
     .key = "home-page",
     .title = "ホームページ",
     .help = "新しいウィンドウとホームボタンが開くページ（ウェブかファイルのアドレス）",
     .note = nullptr},
    {.kind = Kind::kFolder,
     .key = "download-folder",
     .title = "ダウンロード先",
     .help = "ダウンロードしたファイルを保存するフォルダー",
     .note = nullptr},
    {.kind = Kind::kRestore,
     .key = "restore-windows",
     .title = "ウィンドウの復元",
     .help = "前回のウィンドウを起動時に元に戻すかどうか",
     .note = nullptr},
    {.kind = Kind::kAcceleration,
     .key = "hardware-acceleration",
     .title = "ハードウェアアクセラレーション",
     .help = "ページを GPU で描くかどうか（自動: GPU があれば使う）",
     .note = kNextStart},
    {.kind = Kind::kSearch,
     .key = "search-engine",
     .title = "検索サイト",
     .help = "アドレスボックスに入力した言葉を検索するサイト（その他: %s に言葉が入るアドレス）",
     .note = nullptr},
    {.kind = Kind::kHistory,
     .key = "keep-history",
     .title = "履歴を残す",
     .help = "見たページを記録するかどうか（オフ: 何も記録しない）",
     .note = nullptr},
    {.kind = Kind::kDevTools,
     .key = "developer-tools",
     .title = "開発者ツール",
     .help = "F12 とページのメニューで開発者ツールを開けるかどうか",
     .note = nullptr},
};

constexpr SettingRow kDefaultBrowserRow = {
    .kind = Kind::kDefaultBrowser,
    .key = nullptr,
    .title = "既定のブラウザ",
    .help = "ほかのプログラムがウェブのアドレスを開くブラウザ",
    .note = nullptr};

const char* KeyOf(Kind kind) {
  for (const SettingRow& row : kRows) {
    if (row.kind == kind) return row.key;
  }
  return "";
}

struct Choice {
  const char* value;  // as written in the file
  const char* text;
};

constexpr Choice kRestoreChoices[] = {
    {"ask", "正常に終了しなかったときに尋ねる"},
    {"always", "いつも元に戻す"},
    {"never", "元に戻さない（保存もしない）"},
};
constexpr Choice kAccelerationChoices[] = {
    {"auto", "自動"},
    {"always", "いつも使う"},
    {"never", "使わない"},
};
constexpr char kYahooJapan[] = "https://search.yahoo.co.jp/search?p=%s";
// Not a key of the file: the choice of an address of one's own.
constexpr const char* kCustom = "custom";
const Choice kSearchChoices[] = {
    {kDefaultSearchEngine, "Google"},
    {kYahooJapan, "Yahoo! JAPAN"},
    {kCustom, "その他のアドレス"},
};

template <std::size_t N>
void Fill(Gtk::ComboBoxText& box, const Choice (&choices)[N]) {
  for (const Choice& c : choices) box.append(c.value, c.text);
}

std::string Trimmed(const Glib::ustring& text) {
  gchar* copy = g_strstrip(g_strdup(text.c_str()));
  std::string trimmed = copy;
  g_free(copy);
  return trimmed;
}

bool IsPreset(const std::string& address) {
  return address == kDefaultSearchEngine || address == kYahooJapan;
}

std::string FolderProblem(const std::string& folder) {
  if (!g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) return "フォルダーではありません";
  if (g_access(folder.c_str(), W_OK) != 0) {
    return std::string("このフォルダーには書き込めません (") + g_strerror(errno) + ")";
  }
  return "";
}

Gtk::Label& SmallLabel(const std::string& text, const char* style) {
  auto* label = Gtk::manage(new Gtk::Label(text));
  label->set_xalign(0);
  label->set_line_wrap(true);
  label->get_style_context()->add_class(style);
  return *label;
}

constexpr const char* kWindowKey = "tavorin-settings-window";

std::vector<TSettingChange> ChangesOf(const std::map<std::string, std::string>& values) {
  std::vector<TSettingChange> changes;
  for (const auto& [key, value] : values) changes.push_back({key, value});
  return changes;
}

// While another copy writes the file: tried again this often, for two seconds.
constexpr unsigned kWriteRetryMs = 50;
constexpr int kWriteTries = 40;

}  // namespace

TSettingsWindow::TSettingsWindow(Gtk::Window& asker, std::string file, CurrentPage current_page)
    : file_(std::move(file)), current_page_(std::move(current_page)) {
  set_name("SettingsWindow");
  set_title("設定");
  set_transient_for(asker);
  set_default_size(640, -1);
  grid_.set_row_spacing(4);
  grid_.set_column_spacing(12);
  int index = 0;
  for (const SettingRow& row : kRows) AddRow(index++, row);
  default_box_.pack_start(default_state_, Gtk::PACK_SHRINK);
  default_box_.pack_start(make_default_, Gtk::PACK_SHRINK);
  AddRow(index, kDefaultBrowserRow);
  file_problem_.set_xalign(0);
  file_problem_.set_line_wrap(true);
  column_.set_border_width(12);
  column_.pack_start(file_problem_, Gtk::PACK_SHRINK);
  column_.pack_start(grid_, Gtk::PACK_SHRINK);
  add(column_);
  Connect();
  column_.show_all();
  FillFromFile();
  // The desktop's handlers are asked once the window is drawn: the first
  // question reads every desktop entry there is.
  make_default_.set_sensitive(false);
  asked_ = Glib::signal_idle().connect([this] {
    ShowDefaultBrowser();
    return false;
  });
}

// Destroying the window hides it after its controls are gone: nothing to keep then.
TSettingsWindow::~TSettingsWindow() {
  retry_.disconnect();
  // A change still waiting its turn is not lost with the window.
  if (!pending_.empty()) {
    const std::string problem = WriteSettings(file_, ChangesOf(pending_));
    if (!problem.empty())
      std::fprintf(stderr, "tavorin: 設定を保存できませんでした: %s\n", problem.c_str());
  }
  hidden_.disconnect();
  asked_.disconnect();
}

Gtk::Widget& TSettingsWindow::Control(const SettingRow& row) {
  switch (row.kind) {
    case Kind::kHomePage:
      return home_box_;
    case Kind::kFolder:
      return folder_;
    case Kind::kRestore:
      return restore_;
    case Kind::kAcceleration:
      return acceleration_;
    case Kind::kSearch:
      return search_box_;
    case Kind::kHistory:
      return keep_history_;
    case Kind::kDevTools:
      return developer_tools_;
    case Kind::kDefaultBrowser:
      return default_box_;
  }
  return home_box_;
}

Gtk::Widget& TSettingsWindow::Named(const SettingRow& row) {
  switch (row.kind) {
    case Kind::kHomePage:
      return home_;
    case Kind::kSearch:
      return search_;
    case Kind::kDefaultBrowser:
      return make_default_;
    default:
      return Control(row);
  }
}

// The title, then beside it the control with its note, help and reason.
void TSettingsWindow::AddRow(int index, const SettingRow& row) {
  auto* title = Gtk::manage(new Gtk::Label(row.title));
  title->set_xalign(0);
  title->set_yalign(0);
  title->set_margin_top(6);
  auto* cell = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 2));
  cell->set_margin_top(6);
  auto* line = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6));
  Gtk::Widget& control = Control(row);
  control.set_halign(Gtk::ALIGN_START);
  line->pack_start(control, Gtk::PACK_SHRINK);
  Gtk::Label& note = SmallLabel(row.note != nullptr ? row.note : "", "dim-label");
  line->pack_start(note, Gtk::PACK_SHRINK);
  cell->pack_start(*line, Gtk::PACK_SHRINK);
  cell->pack_start(SmallLabel(row.help, "dim-label"), Gtk::PACK_SHRINK);
  Gtk::Label& problem = row.key != nullptr ? SmallLabel("", "error") : default_problem_;
  if (row.key == nullptr) problem.set_xalign(0);
  cell->pack_start(problem, Gtk::PACK_SHRINK);
  grid_.attach(*title, 0, index);
  grid_.attach(*cell, 1, index);
  if (row.key != nullptr) {
    problems_[row.key] = &problem;
    notes_[row.key] = &note;
  }
  // The control that sets it is named by the row's title; the button that
  // makes Tavorin the default says what it does itself.
  if (row.kind != Kind::kDefaultBrowser) Named(row).get_accessible()->set_name(row.title);
  title->set_mnemonic_widget(Named(row));
}

void TSettingsWindow::Connect() {
  home_.set_width_chars(40);
  home_box_.pack_start(home_, Gtk::PACK_EXPAND_WIDGET);
  home_box_.pack_start(use_current_, Gtk::PACK_SHRINK);
  use_current_.get_accessible()->set_name("現在のページを使用");
  home_.signal_activate().connect([this] { HomePageEntered(); });
  home_.signal_focus_out_event().connect([this](GdkEventFocus*) {
    HomePageEntered();
    return false;
  });
  use_current_.signal_clicked().connect([this] {
    home_.set_text(current_page_ ? current_page_() : "");
    HomePageEntered();
  });
  folder_label_.set_ellipsize(Pango::ELLIPSIZE_MIDDLE);
  folder_label_.set_max_width_chars(40);
  folder_.add(folder_label_);
  folder_.signal_clicked().connect([this] { ChooseFolder(); });
  Fill(restore_, kRestoreChoices);
  restore_.signal_changed().connect([this] {
    if (!filling_) Save(KeyOf(Kind::kRestore), restore_.get_active_id());
  });
  Fill(acceleration_, kAccelerationChoices);
  acceleration_.signal_changed().connect([this] {
    if (!filling_) Save(KeyOf(Kind::kAcceleration), acceleration_.get_active_id());
  });
  Fill(search_, kSearchChoices);
  search_box_.pack_start(search_, Gtk::PACK_SHRINK);
  search_box_.pack_start(custom_search_, Gtk::PACK_SHRINK);
  custom_search_.set_width_chars(40);
  custom_search_.set_placeholder_text("https://example.jp/search?q=%s");
  custom_search_.get_accessible()->set_name("検索サイトのアドレス");
  custom_search_.set_no_show_all(true);
  search_.signal_changed().connect([this] { SearchChosen(); });
  custom_search_.signal_activate().connect([this] { CustomSearchEntered(); });
  custom_search_.signal_focus_out_event().connect([this](GdkEventFocus*) {
    CustomSearchEntered();
    return false;
  });
  keep_history_.property_active().signal_changed().connect([this] {
    if (!filling_) Save(KeyOf(Kind::kHistory), keep_history_.get_active() ? "true" : "false");
  });
  developer_tools_.property_active().signal_changed().connect([this] {
    if (!filling_) Save(KeyOf(Kind::kDevTools), developer_tools_.get_active() ? "true" : "false");
  });
  make_default_.get_accessible()->set_name("既定のブラウザにする");
  make_default_.signal_clicked().connect([this] { MakeDefault(); });
  // Closing only hides it; what was typed is kept as Enter would keep it.
  signal_delete_event().connect([this](GdkEventAny*) {
    hide();
    return true;
  });
  hidden_ = signal_hide().connect([this] {
    HomePageEntered();
    CustomSearchEntered();
  });
  signal_key_press_event().connect(
      [this](GdkEventKey* key) {
        if (key->keyval != GDK_KEY_Escape) return false;
        hide();
        return true;
      },
      false);
}

void TSettingsWindow::Refresh() {
  FillFromFile();
  ShowDefaultBrowser();
}

void TSettingsWindow::FillFromFile() {
  std::string problem;
  saved_ = ReadSettings(file_, problem);
  file_problem_.set_text(problem);
  file_problem_.set_visible(!problem.empty());
  filling_ = true;
  home_.set_text(saved_.home_page);
  ShowFolder(saved_.download_folder);
  restore_.set_active_id(RestoreWindowsText(saved_.restore_windows));
  acceleration_.set_active_id(HardwareAccelerationText(saved_.hardware_acceleration));
  const bool preset = IsPreset(saved_.search_engine);
  search_.set_active_id(preset ? saved_.search_engine : kCustom);
  custom_search_.set_text(preset ? "" : saved_.search_engine);
  custom_search_.set_visible(!preset);
  keep_history_.set_active(saved_.keep_history);
  developer_tools_.set_active(saved_.developer_tools);
  filling_ = false;
  for (auto& [key, label] : problems_) Say(*label, "");
}

Gtk::Label& TSettingsWindow::Problem(const std::string& key) { return *problems_.at(key); }

void TSettingsWindow::Say(Gtk::Label& label, const std::string& text) {
  label.set_text(text);
  label.set_visible(!text.empty());
}

std::string TSettingsWindow::ProblemOf(const std::string& key) {
  return key.empty() ? default_problem_.get_text().raw() : Problem(key).get_text().raw();
}

std::string TSettingsWindow::NoteOf(const std::string& key) {
  return notes_.at(key)->get_text().raw();
}

bool TSettingsWindow::Save(const char* key, const std::string& value) {
  pending_[key] = value;
  if (retry_.connected()) return true;  // goes with the write already waiting its turn
  return WritePending();
}

// Another copy writing the file is waited for on the main loop, never by
// sleeping on it: the window answers meanwhile.
bool TSettingsWindow::WritePending() {
  bool busy = false;
  const std::string problem = TryWriteSettings(file_, ChangesOf(pending_), busy);
  if (busy && ++tries_ < kWriteTries) {
    if (!retry_.connected()) {
      retry_ = Glib::signal_timeout().connect(
          [this] {
            retry_.disconnect();
            WritePending();
            return false;
          },
          kWriteRetryMs);
    }
    return true;
  }
  tries_ = 0;
  const std::map<std::string, std::string> written = std::exchange(pending_, {});
  for (const auto& [key, value] : written) {
    if (problem.empty()) {
      Say(Problem(key), "");
    } else {
      Refuse(key.c_str(), "保存できませんでした: " + problem);
    }
  }
  if (!problem.empty()) return false;
  // The file as now written, with what another copy wrote; all of it in effect.
  std::string ignored;
  saved_ = ReadSettings(file_, ignored);
  ApplySettings(saved_);
  return true;
}

bool TSettingsWindow::Keep(const char* key, const std::string& value, const std::string& saved) {
  if (value != saved) return Save(key, value);
  Say(Problem(key), "");
  return true;
}

void TSettingsWindow::Refuse(const char* key, const std::string& reason) {
  Say(Problem(key), reason);
}

void TSettingsWindow::HomePageEntered() {
  if (filling_) return;
  const char* key = KeyOf(Kind::kHomePage);
  const std::string text = Trimmed(home_.get_text());
  const auto address = HomePageAddress(text.empty() ? kStartPageAddress : text);
  if (!address) {
    Refuse(key, "ウェブかファイルのアドレスではありません");
    return;
  }
  if (Keep(key, *address, saved_.home_page)) home_.set_text(*address);
}

void TSettingsWindow::FolderChosen(const std::string& folder) {
  const char* key = KeyOf(Kind::kFolder);
  const std::string problem = FolderProblem(folder);
  if (!problem.empty()) {
    Refuse(key, problem);
    return;
  }
  if (Keep(key, folder, saved_.download_folder)) ShowFolder(folder);
}

void TSettingsWindow::ShowFolder(const std::string& folder) {
  folder_label_.set_text(folder);
  folder_.set_tooltip_text(folder);
  folder_.get_accessible()->set_description(folder);
}

// The chooser is made on demand: made with the window, it would cost the
// window a good part of its opening time.
void TSettingsWindow::ChooseFolder() {
  Gtk::FileChooserDialog chooser(*this, "ダウンロード先のフォルダー",
                                 Gtk::FILE_CHOOSER_ACTION_SELECT_FOLDER);
  chooser.add_button("キャンセル(_C)", Gtk::RESPONSE_CANCEL);
  chooser.add_button("選択(_S)", Gtk::RESPONSE_ACCEPT);
  chooser.set_default_response(Gtk::RESPONSE_ACCEPT);
  chooser.set_filename(saved_.download_folder);
  if (chooser.run() == Gtk::RESPONSE_ACCEPT) FolderChosen(chooser.get_filename());
}

void TSettingsWindow::SearchChosen() {
  if (filling_) return;
  const std::string chosen = search_.get_active_id();
  const bool custom = chosen == kCustom;
  custom_search_.set_visible(custom);
  if (custom) {
    custom_search_.grab_focus();
    if (!custom_search_.get_text().empty()) CustomSearchEntered();
    return;
  }
  Keep(KeyOf(Kind::kSearch), chosen, saved_.search_engine);
}

void TSettingsWindow::CustomSearchEntered() {
  if (filling_ || search_.get_active_id() != kCustom) return;
  const char* key = KeyOf(Kind::kSearch);
  const std::string address = Trimmed(custom_search_.get_text());
  const std::string problem = SearchEngineProblem(address);
  if (!problem.empty()) {
    Refuse(key, problem);
    return;
  }
  Keep(key, address, saved_.search_engine);
}

void TSettingsWindow::ShowDefaultBrowser() {
  const bool is_default = IsDefaultBrowser();
  default_state_.set_text(is_default ? "Tavorin は既定のブラウザです"
                                     : "Tavorin は既定のブラウザではありません");
  make_default_.get_accessible()->set_description(default_state_.get_text());
  make_default_.set_sensitive(!is_default);
}

void TSettingsWindow::MakeDefault() {
  if (DesktopEntryKnown()) {
    Say(default_problem_, MakeDefaultBrowser());
    ShowDefaultBrowser();
    return;
  }
  if (!AskForUserEntry()) return;
  const std::string problem = PutUserDesktopEntry();
  if (!problem.empty()) {
    Say(default_problem_, problem);
    return;
  }
  // The desktop learns of the new entry from a watch on its folder.
  auto tries = std::make_shared<int>(0);
  Glib::signal_timeout().connect(sigc::track_obj(
                                     [this, tries] {
                                       if (!DesktopEntryKnown() && ++*tries < kEntryWaitTries)
                                         return true;
                                       Say(default_problem_, MakeDefaultBrowser());
                                       ShowDefaultBrowser();
                                       return false;
                                     },
                                     *this),
                                 kEntryWaitMs);
}

bool TSettingsWindow::AskForUserEntry() {
  Gtk::MessageDialog ask(*this, "Tavorin はインストールされていないため、デスクトップが知りません",
                         false, Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_NONE, true);
  ask.set_secondary_text("あなた用のデスクトップ項目 " + UserDesktopEntryFile() +
                         " を作り、いま動いている Tavorin (" + RunningProgram() +
                         ") を既定のブラウザにしますか？");
  ask.add_button("キャンセル", Gtk::RESPONSE_CANCEL);
  ask.add_button("作成して既定にする", Gtk::RESPONSE_OK);
  ask.set_default_response(Gtk::RESPONSE_CANCEL);
  return ask.run() == Gtk::RESPONSE_OK;
}

TSettingsWindow& OpenSettingsWindow(Gtk::Window& asker, TSettingsWindow::CurrentPage current_page) {
  auto* window = static_cast<TSettingsWindow*>(asker.get_data(kWindowKey));
  if (window == nullptr) {
    window = new TSettingsWindow(asker, SettingsFile(), std::move(current_page));
    // It lives as long as the window that asked; closing it only hides it.
    asker.set_data(kWindowKey, window, [](gpointer w) { delete static_cast<TSettingsWindow*>(w); });
  } else if (!window->get_visible()) {
    window->Refresh();
  }
  window->present();
  return *window;
}
