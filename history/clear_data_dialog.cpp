#include "history/clear_data_dialog.h"

#include <gtkmm/box.h>
#include <gtkmm/grid.h>

namespace {

struct PeriodRow {
  ClearPeriod period;
  const char* id;
  const char* text;
};

constexpr PeriodRow kPeriods[] = {
    {ClearPeriod::kLastHour, "hour", "過去 1 時間"},
    {ClearPeriod::kToday, "today", "今日"},
    {ClearPeriod::kEverything, "all", "すべて"},
};

constexpr char kDialogKey[] = "tavorin-clear-data-dialog";

}  // namespace

TClearDataDialog::TClearDataDialog(Gtk::Window& parent, HistoryStore* history, Cleared cleared)
    : Gtk::Dialog("閲覧データの消去", parent, true),
      history_(history),
      cleared_(std::move(cleared)) {
  set_name("ClearDataDialog");
  set_resizable(false);
  for (const PeriodRow& row : kPeriods) period_.append(row.id, row.text);
  period_.set_active_id("hour");
  period_label_.set_mnemonic_widget(period_);
  history_box_.set_active(history_ != nullptr);
  history_box_.set_sensitive(history_ != nullptr);
  site_data_box_.set_active(true);
  cache_box_.set_active(true);
  auto* grid = Gtk::manage(new Gtk::Grid());
  grid->set_row_spacing(6);
  grid->set_column_spacing(12);
  grid->set_border_width(12);
  grid->attach(period_label_, 0, 0);
  grid->attach(period_, 1, 0);
  grid->attach(history_box_, 0, 1, 2);
  grid->attach(site_data_box_, 0, 2, 2);
  grid->attach(cache_box_, 0, 3, 2);
  get_content_area()->pack_start(*grid, Gtk::PACK_EXPAND_WIDGET);
  add_button("キャンセル", Gtk::RESPONSE_CANCEL);
  clear_ = add_button("消去", Gtk::RESPONSE_ACCEPT);
  clear_->get_style_context()->add_class("destructive-action");
  set_default_response(Gtk::RESPONSE_ACCEPT);
  for (Gtk::CheckButton* box : {&history_box_, &site_data_box_, &cache_box_}) {
    box->signal_toggled().connect([this] { ChoiceChanged(); });
  }
  signal_response().connect([this](int response) { Answered(response); });
  show_all();
}

ClearChoice TClearDataDialog::Choice() const {
  ClearChoice choice;
  choice.history = history_box_.get_active();
  choice.cookies_and_site_data = site_data_box_.get_active();
  choice.cache = cache_box_.get_active();
  for (const PeriodRow& row : kPeriods) {
    if (period_.get_active_id() == row.id) choice.period = row.period;
  }
  return choice;
}

// Nothing chosen, nothing to confirm.
void TClearDataDialog::ChoiceChanged() {
  const ClearChoice choice = Choice();
  clear_->set_sensitive(!clearing_ &&
                        (choice.history || choice.cookies_and_site_data || choice.cache));
}

void TClearDataDialog::Answered(int response) {
  if (clearing_) return;
  if (response != Gtk::RESPONSE_ACCEPT) {
    hide();
    return;
  }
  clearing_ = true;
  set_sensitive(false);
  ClearKeptData(Choice(), history_, [this, alive = std::weak_ptr<bool>(alive_)](bool) {
    if (alive.expired()) return;
    clearing_ = false;
    set_sensitive(true);
    hide();
    if (cleared_) cleared_();
  });
}

void OpenClearDataDialog(Gtk::Window& parent, HistoryStore* history,
                         TClearDataDialog::Cleared cleared) {
  auto* dialog = static_cast<TClearDataDialog*>(parent.get_data(kDialogKey));
  if (dialog == nullptr || !(dialog->get_visible() || dialog->Clearing())) {
    dialog = new TClearDataDialog(parent, history, std::move(cleared));
    // It lives as long as the window it belongs to, or until the next one.
    parent.set_data(kDialogKey, dialog,
                    [](gpointer d) { delete static_cast<TClearDataDialog*>(d); });
  }
  dialog->present();
}
