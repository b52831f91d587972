// The history window, the bookmark popover and the clearing dialog, used
// with real keys and clicks through the X server, over stores on disk.
#include "history/history_window.h"

#include <X11/keysym.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "browser/profile.h"
#include "history/bookmark_export.h"
#include "history/bookmark_import_dialog.h"
#include "history/bookmark_popover.h"
#include "history/bookmarks.h"
#include "history/clear_data.h"
#include "history/clear_data_dialog.h"
#include "history/history.h"
#include "logins/saved_logins_window.h"
#include "store/bookmark_html.h"
#include "store/bookmark_store.h"
#include "store/history_store.h"
#include "tests/support/files.h"
#include "tests/support/hostile_bookmarks.h"
#include "tests/support/navigation_support.h"
#include "tests/support/private_folders.h"
#include "tests/support/widget_search.h"
#include "window/kept_data_commands.h"
#include "window/suggestion_list.h"
// clang-format off: the X headers define None, Bool and more, so they come last
#include "tests/support/key_input.h"
// clang-format on

namespace {

using testsupport::FakeKey;
using testsupport::FocusWindow;
using Rows = std::vector<std::string>;

constexpr std::int64_t kDay = G_TIME_SPAN_DAY;

void Press(guint keysym, std::initializer_list<guint> held = {}) {
  for (guint modifier : held) FakeKey(modifier, true);
  FakeKey(keysym, true);
  FakeKey(keysym, false);
  for (guint modifier : held) FakeKey(modifier, false);
  RunFor(30);
}

// The root position of the middle of a row's cell in `list`.
std::pair<int, int> RowOnScreen(Gtk::TreeView& list, const Gtk::TreeModel::Path& path, int column) {
  Gdk::Rectangle cell;
  list.get_cell_area(path, *list.get_column(column), cell);
  int x = 0, y = 0;
  list.convert_bin_window_to_widget_coords(cell.get_x() + cell.get_width() / 2,
                                           cell.get_y() + cell.get_height() / 2, x, y);
  return navtest::OnScreen(GTK_WIDGET(list.gobj()), x, y);
}

// The window or dialog that `owner` keeps under `key`, once it is there and mapped.
template <class T>
T* Shown(Glib::Object& owner, const char* key) {
  T* shown = nullptr;
  EXPECT_TRUE(RunUntil([&] {
    shown = static_cast<T*>(owner.get_data(key));
    return shown != nullptr && shown->get_mapped();
  }));
  return shown;
}

class HistoryWindowTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    folder_ = testsupport::MakePrivateRoot();
    history_ = HistoryStore::Open(folder_);
    bookmarks_ = BookmarkStore::Open(folder_);
    ASSERT_TRUE(history_ && bookmarks_);
    const std::int64_t now = HistoryStore::Now();
    for (auto [name, ago] :
         {std::pair{"delta", 3 * kDay}, {"gamma", kDay}, {"alpha", 2000000}, {"beta", 1000000}}) {
      server_.AddHtml("/" + std::string(name) + ".html",
                      std::string("<title>") + name + "</title>");
      history_->RecordVisit(Page(name), name, now - ago);
    }
    history_->Flush();
  }
  void TearDown() override {
    Application->DestroyForms();  // and with the window, its history window
    history_.reset();
    bookmarks_.reset();
    testsupport::RemoveTree(folder_);
    FormTest::TearDown();
  }

  std::string Page(const std::string& name) { return server_.Url("/" + name + ".html"); }

  THistoryWindow& Open() {
    window_ = &OpenHistoryWindow(*form_, history_.get(), bookmarks_.get(),
                                 [this](const std::string& url) { form_->NavigateTo(url); });
    EXPECT_TRUE(FocusWindow(window_->gobj()));
    return *window_;
  }

  // The import dialog as the user opens it: the bookmarks tab, then インポート…;
  // it looks for other browsers' files under `home`.
  TBookmarkImportDialog& ImportDialog(THistoryWindow& window, const std::string& home) {
    window.Tabs().set_current_page(1);
    auto& dialog = OpenBookmarkImport(window, *bookmarks_, home, [&window] { window.Refresh(); });
    dialog.hide();
    navtest::ClickWidget(window.ImportMarksButton());
    EXPECT_TRUE(RunUntil([&] { return dialog.get_mapped(); }));
    return dialog;
  }

  // The path of the row showing `url` in the pages tab.
  Gtk::TreeModel::Path PagePath(const std::string& url) {
    Gtk::TreeModel::Path found;
    window_->Pages().get_model()->foreach_path([&](const Gtk::TreeModel::Path& path) {
      Glib::ustring shown;
      window_->Pages().get_model()->get_iter(path)->get_value(2, shown);
      if (shown.raw() == url) found = path;
      return !found.empty();
    });
    return found;
  }

  std::string folder_;
  std::unique_ptr<HistoryStore> history_;
  std::unique_ptr<BookmarkStore> bookmarks_;
  THistoryWindow* window_ = nullptr;
};

TEST_F(HistoryWindowTest, PagesByDayNewestFirstAndTheSearchBoxNarrowsThem) {
  THistoryWindow& window = Open();
  const Rows shown = window.ShownRows();
  ASSERT_EQ(shown.size(), 7u);
  EXPECT_EQ(Rows(shown.begin(), shown.begin() + 6),
            (Rows{"# 今日", Page("beta"), Page("alpha"), "# 昨日", Page("gamma"), shown[5]}));
  EXPECT_TRUE(g_regex_match_simple("^# \\d{4}年\\d{1,2}月\\d{1,2}日（.+）$", shown[5].c_str(),
                                   G_REGEX_DEFAULT, G_REGEX_MATCH_DEFAULT))
      << shown[5];
  EXPECT_EQ(shown[6], Page("delta"));
  ASSERT_TRUE(window.Search().has_focus());
  testsupport::TypeText("amm");
  EXPECT_TRUE(RunUntil([&] { return window.ShownRows() == Rows{"# 昨日", Page("gamma")}; }));
  // Enter in the search box opens what it found, in the window that asked.
  Press(XK_Return);
  EXPECT_TRUE(WaitForPage(form_, Page("gamma")));
}

// Enter and a double click open the page in the window that asked.
TEST_F(HistoryWindowTest, EnterADoubleClickAndTheLoginsButton) {
  THistoryWindow& window = Open();
  window.Pages().grab_focus();
  window.Pages().set_cursor(PagePath(Page("alpha")));
  Press(XK_Return);
  EXPECT_TRUE(WaitForPage(form_, Page("alpha")));
  ASSERT_TRUE(FocusWindow(window.gobj()));
  const auto delta = RowOnScreen(window.Pages(), PagePath(Page("delta")), 1);
  navtest::ClickAt(delta);
  navtest::ClickAt(delta);
  EXPECT_TRUE(WaitForPage(form_, Page("delta")));
  // The saved logins open over the history.
  navtest::ClickWidget(window.LoginsButton());
  ASSERT_TRUE(RunUntil([&] { return SavedLoginsWindow() != nullptr; }));
  EXPECT_EQ(SavedLoginsWindow()->get_transient_for(), &window);
  SavedLoginsWindow()->close();
}

TEST_F(HistoryWindowTest, DeleteRemovesTheSelectedPagesAndAChosenDayWithAllItsPages) {
  THistoryWindow& window = Open();
  window.Pages().grab_focus();
  auto selection = window.Pages().get_selection();
  selection->select(PagePath(Page("beta")));
  selection->select(PagePath(Page("delta")));
  Press(XK_Delete);
  EXPECT_FALSE(history_->Find(Page("beta")));
  EXPECT_FALSE(history_->Find(Page("delta")));
  EXPECT_TRUE(history_->Find(Page("alpha")));
  EXPECT_EQ(window.ShownRows(), (Rows{"# 今日", Page("alpha"), "# 昨日", Page("gamma")}));
  selection->unselect_all();
  selection->select(Gtk::TreeModel::Path("1"));  // 昨日
  Press(XK_Delete);
  EXPECT_EQ(history_->Count(), 1u);
  EXPECT_EQ(window.ShownRows(), (Rows{"# 今日", Page("alpha")}));
}

TEST_F(HistoryWindowTest, BookmarksAreRenamedDeletedAndOpenedInTheirTab) {
  bookmarks_->Put(Page("alpha"), "first");
  bookmarks_->Put(Page("beta"), "second");
  THistoryWindow& window = Open();
  window.Tabs().set_current_page(1);
  Gtk::TreeView& marks = window.Marks();
  marks.get_selection()->select(Gtk::TreeModel::Path("1"));  // first, the older
  navtest::ClickWidget(window.RenameMarkButton());
  ASSERT_TRUE(RunUntil([&] { return marks.get_focus_child() != nullptr; }));
  Press(XK_a, {XK_Control_L});
  testsupport::TypeText("renamed");
  Press(XK_Return);
  EXPECT_TRUE(RunUntil([&] { return bookmarks_->Find(Page("alpha"))->name == "renamed"; }));

  marks.grab_focus();
  marks.get_selection()->unselect_all();
  marks.get_selection()->select(Gtk::TreeModel::Path("0"));
  Press(XK_Delete);
  EXPECT_FALSE(bookmarks_->Find(Page("beta")));
  ASSERT_EQ(marks.get_model()->children().size(), 1u);

  marks.get_selection()->select(Gtk::TreeModel::Path("0"));
  navtest::ClickWidget(window.OpenMarkButton());
  EXPECT_TRUE(WaitForPage(form_, Page("alpha")));
}

// A Chromium profile found under the home folder, then a cut-off HTML file,
// through the dialog; then the list written out where the user said.
TEST_F(HistoryWindowTest, BookmarksComeInFromAProfileByNameAndGoOutAsHtml) {
  bookmarks_->Put(Page("alpha"), "mine");
  const std::string home = folder_ + "/home";
  std::filesystem::create_directories(home + "/.config/chromium/Default");
  std::ofstream(home + "/.config/chromium/Default/Bookmarks")
      << R"({"roots": {"other": {"type": "folder", "name": "Other", "children": [
             {"type": "url", "name": "dup", "url": ")"
      << Page("alpha") << R"("},
             {"type": "url", "name": "x", "url": "javascript:history.back"},
             {"type": "folder", "name": "店", "children": [
               {"type": "url", "name": "Beta", "url": ")"
      << Page("beta") << R"("}]}]}}})";
  std::ofstream(home + "/cut.html") << "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p><DT><A HREF=";
  THistoryWindow& window = Open();
  auto& dialog = ImportDialog(window, home);
  ASSERT_TRUE(dialog.get_mapped());
  EXPECT_EQ(dialog.Source().get_active_text(), "Chromium（Default）");
  navtest::ClickWidget(dialog.ImportButton());
  ASSERT_TRUE(RunUntil([&] { return !dialog.Running() && !dialog.Outcome().get_text().empty(); }));
  EXPECT_EQ(dialog.Outcome().get_text(),
            "1 件のブックマークを追加しました。\n2 件は追加しませんでした（登録済み 1 件、"
            "http・https・file 以外のアドレス 1 件）。");
  EXPECT_EQ(dialog.Progress().get_fraction(), 1.0);
  EXPECT_EQ(window.Marks().get_model()->children().size(), 2u);
  EXPECT_EQ(bookmarks_->Find(Page("beta"))->name, "店 / Beta");

  dialog.Source().set_active_id("html");
  dialog.HtmlFile().set_filename(home + "/cut.html");
  ASSERT_TRUE(RunUntil([&] { return dialog.ImportButton().get_sensitive(); }));
  ASSERT_TRUE(FocusWindow(GTK_WINDOW(dialog.gobj())));
  Press(XK_i, {XK_Alt_L});  // its mnemonic
  EXPECT_TRUE(RunUntil([&] {
    return !dialog.Running() &&
           dialog.Outcome().get_text() ==
               "インポートできませんでした: ファイルが途中で切れているか、壊れています。\n"
               "ブックマークは変わっていません。";
  })) << dialog.Outcome().get_text();
  EXPECT_EQ(bookmarks_->All().size(), 2u);
  dialog.response(Gtk::RESPONSE_CLOSE);
  ASSERT_TRUE(RunUntil([&] { return !dialog.get_visible(); }));

  ASSERT_TRUE(FocusWindow(window.gobj()));
  navtest::ClickWidget(window.ExportMarksButton());
  auto* chooser = Shown<Gtk::FileChooserDialog>(window, kBookmarkExportKey);
  ASSERT_NE(chooser, nullptr);
  // An empty folder: GTK's list of files leaks the texts of the rows it draws.
  const std::string out_folder = home + "/out";
  std::filesystem::create_directories(out_folder);
  chooser->set_current_folder(out_folder);
  chooser->set_current_name("out.html");
  ASSERT_TRUE(RunUntil([&] { return chooser->get_filename() == out_folder + "/out.html"; }));
  RunFor(1000);  // the chooser has read the folder
  chooser->response(Gtk::RESPONSE_ACCEPT);
  ASSERT_TRUE(RunUntil([&] { return window.get_data(kBookmarkExportKey) == nullptr; }));
  const ForeignBookmarks out = ReadBookmarksHtml(testsupport::ReadFile(out_folder + "/out.html"));
  ASSERT_EQ(out.marks.size(), 2u);
  EXPECT_EQ(out.marks[0].title + out.marks[1].title, "店 / Betamine");  // newest first
}

// What the user does once インポート is clicked.
enum class Then { kAwaitOutcome, kCancel, kCloseBrowserWindow };

struct HostileImport {
  std::string (*bytes)();
  const char* where;  // under the home folder
  bool chosen_file;   // picked as an HTML file, not found as a profile
  Then then;
  const char* outcome;  // the start of what the dialog says, when awaited
};

class HostileImportTest : public HistoryWindowTest,
                          public ::testing::WithParamInterface<HostileImport> {};

// No file can crash the program, take its memory or keep a core busy: a
// Bookmarks file nested a million deep behind a comment, an 8 MB folder name
// over 2000 links, a places.sqlite that would be read forever, given up with
// キャンセル or by closing the history window. No private copy is left.
TEST_P(HostileImportTest, NeitherCrashesNorExhaustsNorKeepsACoreBusy) {
  const HostileImport& file = GetParam();
  const std::string home = folder_ + "/home";
  testsupport::WriteFile(home + "/" + file.where, file.bytes());
  const std::set<std::string> scratch_before = testsupport::ScratchFolders();
  THistoryWindow& window = Open();
  auto& dialog = ImportDialog(window, home);
  ASSERT_TRUE(dialog.get_mapped());
  if (file.chosen_file) {
    dialog.Source().set_active_id("html");
    dialog.HtmlFile().set_filename(home + "/" + file.where);
    ASSERT_TRUE(RunUntil([&] { return dialog.ImportButton().get_sensitive(); }));
  }
  testsupport::ResetPeakMemory();
  const long peak_before = testsupport::PeakMemoryMb();
  navtest::ClickWidget(dialog.ImportButton());
  switch (file.then) {
    case Then::kAwaitOutcome:
      ASSERT_TRUE(RunUntil(
          [&] { return !dialog.Running() && !dialog.Outcome().get_text().empty(); }, 30000));
      EXPECT_EQ(dialog.Outcome().get_text().raw().substr(0, std::string(file.outcome).size()),
                file.outcome);
      break;
    case Then::kCancel:
      RunFor(300);
      EXPECT_TRUE(dialog.Running());
      navtest::ClickWidget(*dialog.get_widget_for_response(Gtk::RESPONSE_CLOSE));
      EXPECT_TRUE(RunUntil([&] { return !dialog.get_visible(); }));
      break;
    case Then::kCloseBrowserWindow:
      // The dialog is modal: its window can go only with the browser window
      // that owns it, and the dialog with it.
      RunFor(300);
      EXPECT_TRUE(dialog.Running());
      form_->remove_data(Glib::QueryQuark("tavorin-history-window"));
      window_ = nullptr;
      break;
  }
  if (file.then != Then::kCloseBrowserWindow) {
    EXPECT_FALSE(dialog.Running());
  }
  // The window may still be drawing the bookmarks added; no other thread works.
  const double used = testsupport::OtherThreadsSeconds();
  RunFor(1000);
  EXPECT_LT(testsupport::OtherThreadsSeconds() - used, 0.05);
  EXPECT_EQ(testsupport::ScratchFolders(), scratch_before);
  if (file.then == Then::kAwaitOutcome) {
    // Read to its end, a file takes a few times its size at most. (What a
    // database given up made and freed meanwhile is no measure: the address
    // sanitizer keeps freed memory in quarantine.)
    EXPECT_LT(testsupport::PeakMemoryMb() - peak_before, 200);
  } else {
    EXPECT_TRUE(bookmarks_->All().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileImportTest,
    ::testing::Values(
        HostileImport{
            testsupport::DeepChromiumBookmarks, ".config/chromium/Default/Bookmarks", false,
            Then::kAwaitOutcome,
            "インポートできませんでした: Chromium 系ブラウザーのブックマークのファイルでは"
            "ありません。"},
        HostileImport{testsupport::LongFolderHtml, "long.html", true, Then::kAwaitOutcome,
                      "2000 件のブックマークを追加しました。"},
        HostileImport{testsupport::EndlessPlaces, ".mozilla/firefox/ab.default/places.sqlite",
                      false, Then::kAwaitOutcome,
                      "インポートできませんでした: Firefox のブックマークのデータベースでは"
                      "ありません。"},
        HostileImport{testsupport::SlowPlaces, ".mozilla/firefox/ab.default/places.sqlite", false,
                      Then::kCancel, ""},
        HostileImport{testsupport::SlowPlaces, ".mozilla/firefox/ab.default/places.sqlite", false,
                      Then::kCloseBrowserWindow, ""}));

// The period cleared leaves older pages; all time leaves no page on disk.
TEST_F(HistoryWindowTest, ClearingAPeriodAndHistoryOfAllTime) {
  ClearChoice choice;
  choice.cookies_and_site_data = choice.cache = false;
  choice.period = ClearPeriod::kLastHour;
  bool done = false;
  ClearKeptData(choice, history_.get(), [&](bool) { done = true; });
  ASSERT_TRUE(RunUntil([&] { return done; }));
  EXPECT_EQ(history_->Count(), 2u);
  EXPECT_TRUE(history_->Find(Page("gamma")));
  THistoryWindow& window = Open();
  navtest::ClickWidget(window.ClearButton());
  auto* dialog = Shown<TClearDataDialog>(window, "tavorin-clear-data-dialog");
  ASSERT_NE(dialog, nullptr);
  dialog->Period().set_active_id("all");
  dialog->SiteData().set_active(false);
  dialog->Cache().set_active(false);
  navtest::ClickWidget(dialog->ClearButton());
  ASSERT_TRUE(RunUntil([&] { return !dialog->get_visible(); }, 30000));
  EXPECT_EQ(history_->Count(), 0u);
  EXPECT_TRUE(window.ShownRows().empty());
  const std::string file = folder_ + "/" + HistoryStore::kFileName;
  const std::string bytes = testsupport::ReadFile(file) + testsupport::ReadFile(file + "-wal");
  EXPECT_EQ(bytes.find("gamma.html"), std::string::npos);
}

struct PeriodCase {
  const char* now;  // local, Asia/Tokyo
  ClearPeriod period;
  const char* start;  // empty: 0
};

class PeriodTest : public ::testing::TestWithParam<PeriodCase> {};

std::int64_t Tokyo(const char* text) {
  g_autoptr(GTimeZone) zone = g_time_zone_new_identifier("Asia/Tokyo");
  g_autoptr(GDateTime) moment = g_date_time_new_from_iso8601(text, zone);
  return g_date_time_to_unix(moment) * G_USEC_PER_SEC;
}

TEST_P(PeriodTest, BeginsWhereTheUserExpects) {
  g_setenv("TZ", "Asia/Tokyo", TRUE);
  const std::int64_t start = PeriodStart(GetParam().period, Tokyo(GetParam().now));
  EXPECT_EQ(start, *GetParam().start ? Tokyo(GetParam().start) : 0);
  g_unsetenv("TZ");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PeriodTest,
    ::testing::Values(
        PeriodCase{"2026-12-08T10:30:00", ClearPeriod::kLastHour, "2026-12-08T09:30:00"},
        PeriodCase{"2026-12-08T00:20:00", ClearPeriod::kLastHour, "2026-12-07T23:20:00"},
        PeriodCase{"2026-12-08T10:30:00", ClearPeriod::kToday, "2026-12-08T00:00:00"},
        PeriodCase{"2026-12-08T00:00:00", ClearPeriod::kToday, "2026-12-08T00:00:00"},
        PeriodCase{"2026-12-08T10:30:00", ClearPeriod::kEverything, ""}));

// Ctrl+D on a page, for real: the popover under the address box names the
// page; Enter keeps it under the typed name, 削除 forgets it.
TEST_F(FormTest, CtrlDKeepsThePageUnderAnEditableNameAndDeleteForgetsIt) {
  server_.AddHtml("/shop.html", "<title>Tea shop</title><p>tea</p>");
  form_->NavigateTo(server_.Url("/shop.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/shop.html")));
  ASSERT_TRUE(RunUntil([&] { return form_->CppWebBrowser1->PageTitle() == "Tea shop"; }));
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  Press(XK_d, {XK_Control_L});
  TBookmarkPopover& popover = BookmarkPopover(*form_);
  ASSERT_TRUE(RunUntil([&] { return popover.get_mapped() && popover.Name().has_focus(); }));
  EXPECT_EQ(popover.Name().get_text(), "Tea shop");
  EXPECT_EQ(popover.Heading().get_text(), "ブックマークに追加");
  EXPECT_FALSE(popover.Remove().get_sensitive());
  testsupport::TypeText("green tea");
  Press(XK_Return);
  ASSERT_TRUE(RunUntil([&] { return !popover.get_visible(); }));
  ASSERT_NE(Bookmarks(), nullptr);
  const auto kept = Bookmarks()->Find(server_.Url("/shop.html"));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->name, "green tea");
  struct stat status;
  ASSERT_EQ(stat((ProfileDataFolder() + "/" + BookmarkStore::kFileName).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  ASSERT_TRUE(FocusWindow(form_->gobj()));
  Press(XK_d, {XK_Control_L});
  ASSERT_TRUE(RunUntil([&] { return popover.get_mapped(); }));
  EXPECT_EQ(popover.Name().get_text(), "green tea");
  EXPECT_EQ(popover.Heading().get_text(), "ブックマーク済みです");
  // Once it has come to rest under the box.
  RunFor(500);
  navtest::ClickWidget(popover.Remove());
  EXPECT_TRUE(RunUntil([&] { return !Bookmarks()->Find(server_.Url("/shop.html")); }));
  // On a full disk (a file size limit stands in for it) 追加 does not say done.
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  Press(XK_d, {XK_Control_L});
  ASSERT_TRUE(RunUntil([&] { return popover.get_mapped() && popover.Name().has_focus(); }));
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{}, full{};
  getrlimit(RLIMIT_FSIZE, &limit);
  full = limit;
  full.rlim_cur = 0;
  setrlimit(RLIMIT_FSIZE, &full);
  popover.Add().clicked();
  setrlimit(RLIMIT_FSIZE, &limit);
  RunFor(300);
  EXPECT_TRUE(popover.get_visible());
  EXPECT_EQ(popover.Heading().get_text(), "ブックマークを保存できませんでした");
  EXPECT_FALSE(Bookmarks()->Find(server_.Url("/shop.html")));
  const std::string file = ProfileDataFolder() + "/" + BookmarkStore::kFileName;
  EXPECT_TRUE(RunUntil([&] {
    auto* notice = navtest::FindNamed<Gtk::Label>(*form_->CppWebBrowser1, "NoticeMessage");
    return notice != nullptr && notice->is_visible() &&
           notice->get_text().find("ブックマークを使えません: " + file) != std::string::npos;
  }));
}

// The user's bookmarks come before the history under the address box.
TEST_F(FormTest, BookmarksAreOfferedFirstAmongTheSuggestions) {
  ASSERT_NE(Bookmarks(), nullptr);
  ASSERT_NE(History(), nullptr);
  for (int i = 0; i < 2; ++i) History()->RecordVisit(server_.Url("/often.html"), "qzx often");
  History()->Flush();
  Bookmarks()->Put(server_.Url("/kept.html"), "qzx kept");
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text("");
  testsupport::TypeText("qzx");
  // After the search of the words.
  ASSERT_TRUE(RunUntil([&] { return form_->Suggestions().Offered().size() == 3; }));
  EXPECT_EQ(form_->Suggestions().Offered()[1].url, server_.Url("/kept.html"));
  EXPECT_EQ(form_->Suggestions().Offered()[2].url, server_.Url("/often.html"));
  Press(XK_Escape);
}

// An address kept with a character that reverses what follows (as an
// earlier import kept them) is offered escaped, never drawn raw.
TEST_F(FormTest, AnAddressThatHidesOrReordersIsOfferedEscaped) {
  ASSERT_NE(Bookmarks(), nullptr);
  Bookmarks()->Put(server_.Url("/zqv\u202Egnp.exe"), "");
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  form_->EditURL->grab_focus();
  form_->EditURL->set_text("");
  testsupport::TypeText("zqv");
  ASSERT_TRUE(RunUntil([&] {
    for (const Suggestion& offered : form_->Suggestions().Offered()) {
      if (offered.url == server_.Url("/zqv\u202Egnp.exe")) return true;
    }
    return false;
  }));
  int shown = 0;
  testsupport::FindWidget<Gtk::Label>(form_->Suggestions().List(), [&](Gtk::Label& label) {
    const std::string text = label.get_text();
    EXPECT_EQ(text.find("\u202E"), std::string::npos) << text;
    if (label.get_visible() && text.find("/zqv%E2%80%AEgnp.exe") != std::string::npos) ++shown;
    return false;
  });
  EXPECT_EQ(shown, 1);
  Press(XK_Escape);
}

// Ctrl+H and Ctrl+Shift+Delete, for real, from the browser window: the
// window lists what this window has shown.
TEST_F(FormTest, CtrlHOpensTheHistoryWindowAndCtrlShiftDeleteTheClearingDialog) {
  server_.AddHtml("/seen.html", "<title>seen</title>");
  form_->NavigateTo(server_.Url("/seen.html"));
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/seen.html")));
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  Press(XK_h, {XK_Control_L});
  auto* window = Shown<THistoryWindow>(*form_, "tavorin-history-window");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->get_transient_for(), form_);
  const Rows shown = window->ShownRows();
  EXPECT_NE(std::find(shown.begin(), shown.end(), server_.Url("/seen.html")), shown.end());
  ASSERT_TRUE(FocusWindow(window->gobj()));
  Press(XK_Escape);
  EXPECT_TRUE(RunUntil([&] { return !window->get_visible(); }));
  ASSERT_TRUE(FocusWindow(form_->gobj()));
  Press(XK_Delete, {XK_Control_L, XK_Shift_L});
  auto* dialog = Shown<TClearDataDialog>(*form_, "tavorin-clear-data-dialog");
  ASSERT_NE(dialog, nullptr);
  navtest::ClickWidget(*dialog->get_widget_for_response(Gtk::RESPONSE_CANCEL));
  EXPECT_TRUE(RunUntil([&] { return !dialog->get_visible(); }));
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
