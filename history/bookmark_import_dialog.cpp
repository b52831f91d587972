#include "history/bookmark_import_dialog.h"

#include <glibmm/main.h>
#include <gtkmm/filefilter.h>

namespace {

constexpr char kDialogKey[] = "tavorin-bookmark-import";
constexpr int kImportResponse = 1;
// Often enough for the bar to move smoothly, seldom enough to cost nothing.
constexpr unsigned kPollMilliseconds = 50;

Glib::RefPtr<Gtk::FileFilter> HtmlFilter() {
  auto filter = Gtk::FileFilter::create();
  filter->set_name("HTML ファイル");
  filter->add_mime_type("text/html");
  filter->add_pattern("*.html");
  filter->add_pattern("*.htm");
  return filter;
}

}  // namespace

TBookmarkImportDialog::TBookmarkImportDialog(Gtk::Window& parent, BookmarkStore& store,
                                             const std::string& home,
                                             std::function<void()> imported)
    : store_(store), imported_(std::move(imported)), found_(FindBookmarkSources(home)) {
  set_title("ブックマークのインポート");
  set_transient_for(parent);
  set_modal(true);
  set_default_size(480, -1);
  close_ = add_button("閉じる(_C)", Gtk::RESPONSE_CLOSE);
  import_ = add_button("インポート(_I)", kImportResponse);
  set_default_response(kImportResponse);
  for (std::size_t i = 0; i < found_.size(); ++i) source_.append(std::to_string(i), found_[i].name);
  source_.append(kHtmlId, "HTML ファイル（他のブラウザーから書き出したもの）");
  source_.set_active(0);
  source_label_.set_mnemonic_widget(source_);
  source_label_.set_halign(Gtk::ALIGN_START);
  html_file_.add_filter(HtmlFilter());
  html_file_.set_current_folder(home);
  progress_.set_no_show_all(true);
  outcome_.set_line_wrap(true);
  outcome_.set_selectable(true);
  outcome_.set_halign(Gtk::ALIGN_START);
  outcome_.set_xalign(0);
  column_.set_border_width(12);
  for (Gtk::Widget* part : std::initializer_list<Gtk::Widget*>{
           &source_label_, &source_, &html_file_, &progress_, &outcome_}) {
    column_.pack_start(*part, Gtk::PACK_SHRINK);
  }
  get_content_area()->pack_start(column_, Gtk::PACK_EXPAND_WIDGET);
  source_.signal_changed().connect([this] { ChoiceChanged(); });
  html_file_.signal_selection_changed().connect([this] { ChoiceChanged(); });
  signal_response().connect([this](int response) {
    if (response == kImportResponse) {
      Start();
    } else {
      Stop();
      hide();
    }
  });
  // A dialog over a window closed makes no sense; nor does its import.
  parent_hidden_ = parent.signal_hide().connect([this] {
    Stop();
    hide();
  });
  ChoiceChanged();
  column_.show_all();
}

TBookmarkImportDialog::~TBookmarkImportDialog() {
  parent_hidden_.disconnect();
  Stop();
}

void TBookmarkImportDialog::ChoiceChanged() {
  const bool html = source_.get_active_id() == kHtmlId;
  html_file_.set_sensitive(html && !Running());
  source_.set_sensitive(!Running());
  import_->set_sensitive(!Running() && (!html || !html_file_.get_filename().empty()));
}

void TBookmarkImportDialog::Start() {
  if (Running()) return;
  const std::string id = source_.get_active_id();
  BookmarkSource chosen{"", html_file_.get_filename(), BookmarkFormat::kHtml};
  if (id != kHtmlId) chosen = found_.at(std::stoul(id));
  if (chosen.path.empty()) return;
  running_ = std::make_unique<BookmarkImport>(store_, chosen.format, chosen.path);
  outcome_.set_text(chosen.name.empty() ? "読み込んでいます…"
                                        : chosen.name + " から読み込んでいます…");
  progress_.set_fraction(0);
  progress_.show();
  close_->set_label("キャンセル(_C)");
  ChoiceChanged();
  poll_ = Glib::signal_timeout().connect([this] { return Poll(); }, kPollMilliseconds);
}

bool TBookmarkImportDialog::Poll() {
  if (!running_->Finish()) {
    const double done = running_->Progress();
    if (done < 0) {
      progress_.pulse();
    } else {
      progress_.set_fraction(done);
    }
    return true;
  }
  const ImportSummary summary = running_->Summary();
  running_.reset();
  progress_.set_fraction(summary.error.empty() ? 1.0 : 0.0);
  outcome_.set_text(DescribeImport(summary));
  close_->set_label("閉じる(_C)");
  ChoiceChanged();
  if (summary.added > 0 && imported_) imported_();
  return false;
}

// Closing while it runs gives the import up: nothing of it is kept.
void TBookmarkImportDialog::Stop() {
  poll_.disconnect();
  running_.reset();
  progress_.hide();
  close_->set_label("閉じる(_C)");
  outcome_.set_text("");
  ChoiceChanged();
}

TBookmarkImportDialog& OpenBookmarkImport(Gtk::Window& parent, BookmarkStore& store,
                                          const std::string& home, std::function<void()> imported) {
  auto* dialog = static_cast<TBookmarkImportDialog*>(parent.get_data(kDialogKey));
  if (dialog == nullptr) {
    dialog = new TBookmarkImportDialog(parent, store, home, std::move(imported));
    parent.set_data(kDialogKey, dialog,
                    [](gpointer d) { delete static_cast<TBookmarkImportDialog*>(d); });
  }
  dialog->present();
  return *dialog;
}
