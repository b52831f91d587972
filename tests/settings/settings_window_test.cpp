// The settings window: what each control writes, puts into effect or refuses;
// the file written back as it was written by hand; the default browser row.
#include "settings/settings_window.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "browser/cpp_web_browser.h"
#include "downloads/folder.h"
#include "history/history.h"
#include "history/history_window.h"
#include "settings/default_browser.h"
#include "settings/settings_writer.h"
#include "tests/support/dialog_closer.h"
#include "tests/support/files.h"
#include "tests/support/gui_test.h"
#include "tests/support/not_regular_files.h"
#include "window/form_html.h"
// Last: the X headers define names such as Button1.
#include "tests/support/key_input.h"
#include "tests/support/navigation_support.h"

namespace {

namespace fs = std::filesystem;

// The value of `key` in the file; nothing when it has none.
std::optional<std::string> FileValue(const std::string& path, const char* key) {
  GKeyFile* file = g_key_file_new();
  std::optional<std::string> value;
  if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    gchar* text = g_key_file_get_string(file, "Tavorin", key, nullptr);
    if (text != nullptr) value = text;
    g_free(text);
  }
  g_key_file_free(file);
  return value;
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::MakePrivateRoot();
    file_ = root_ + "/config/tavorin/tavorin.conf";
    window_ = std::make_unique<TSettingsWindow>(asker_, file_, [this] { return page_; });
    ASSERT_TRUE(testsupport::FocusWindow(window_->gobj()));
  }
  void TearDown() override {
    window_.reset();
    ApplySettings(DefaultSettings());
    testsupport::RemoveTree(root_);
  }

  // Types into `entry` as a person does after selecting what it held, and
  // ends with Enter.
  void Enter(Gtk::Entry& entry, const std::string& text) {
    entry.grab_focus();
    entry.set_text(text);
    testsupport::TypeKey(GDK_KEY_Return);
    testsupport::RunPending(30);
  }
  void Press(Gtk::Widget& control) {
    control.grab_focus();
    testsupport::TypeKey(GDK_KEY_space);
    testsupport::RunPending(30);
  }

  // A switch turns with an animation; its value changes at the end.
  void Flip(Gtk::Switch& control) {
    const bool was = control.get_active();
    Press(control);
    RunUntil([&] { return control.get_active() != was; }, 2000);
  }

  Gtk::Window asker_;
  std::string root_, file_;
  std::string page_ = "https://current.example.jp/item/7";
  std::unique_ptr<TSettingsWindow> window_;
};

TEST_F(SettingsWindowTest, EachChangeIsWrittenAppliedOrRefusedWithItsReason) {
  TSettingsWindow& w = *window_;
  const std::string folder = root_ + "/home/保存先";
  fs::create_directories(folder);
  const std::string plain_file = root_ + "/home/a-file";
  std::ofstream(plain_file) << "x";
  struct Case {
    const char* name;
    std::function<void()> act;
    const char* key;
    std::optional<std::string> written;  // the file's value after; none: no value
    std::string problem;                 // beside the control; empty: none
    std::function<bool()> applied = nullptr;
  };
  const Case cases[] = {
      {"a home page typed", [&] { Enter(w.HomePage(), "https://shop.example.jp/"); }, "home-page",
       "https://shop.example.jp/", "",
       [] { return TCppWebBrowser::DefaultHomePage() == "https://shop.example.jp/"; }},
      {"a script is no home page", [&] { Enter(w.HomePage(), "javascript:alert(1)"); }, "home-page",
       "https://shop.example.jp/", "ウェブかファイルのアドレスではありません",
       [] { return TCppWebBrowser::DefaultHomePage() == "https://shop.example.jp/"; }},
      {"the current page", [&] { Press(w.UseCurrentPage()); }, "home-page",
       "https://current.example.jp/item/7", "",
       [] { return TCppWebBrowser::DefaultHomePage() == "https://current.example.jp/item/7"; }},
      {"a folder that can be written", [&] { w.FolderChosen(folder); }, "download-folder", folder,
       "", [&] { return DownloadFolder() == folder; }},
      {"a folder that cannot", [&] { w.FolderChosen("/proc/sys"); }, "download-folder", folder,
       "このフォルダーには書き込めません", [&] { return DownloadFolder() == folder; }},
      {"a file is no folder", [&] { w.FolderChosen(plain_file); }, "download-folder", folder,
       "フォルダーではありません", nullptr},
      {"restore never", [&] { w.RestoreWindowsChoice().set_active_id("never"); }, "restore-windows",
       "never", ""},
      {"software rendering", [&] { w.AccelerationChoice().set_active_id("never"); },
       "hardware-acceleration", "never", ""},
      {"Yahoo! JAPAN",
       [&] { w.SearchChoice().set_active_id("https://search.yahoo.co.jp/search?p=%s"); },
       "search-engine", "https://search.yahoo.co.jp/search?p=%s", ""},
      {"a site of one's own without %s",
       [&] {
         w.SearchChoice().set_active_id("custom");
         Enter(w.CustomSearch(), "https://find.example.jp/?q=");
       },
       "search-engine", "https://search.yahoo.co.jp/search?p=%s", "言葉の入る %s がありません"},
      {"a site of one's own", [&] { Enter(w.CustomSearch(), "https://find.example.jp/?q=%s"); },
       "search-engine", "https://find.example.jp/?q=%s", ""},
      {"history off by its switch", [&] { Flip(w.KeepHistorySwitch()); }, "keep-history", "false",
       "", [] { return !KeepHistory(); }},
      {"developer tools off", [&] { Flip(w.DeveloperToolsSwitch()); }, "developer-tools", "false",
       ""},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(FileValue(file_, c.key), c.written) << c.name;
    // The reason may go on with the system's own words.
    EXPECT_EQ(w.ProblemOf(c.key).substr(0, c.problem.size()), c.problem) << c.name;
    EXPECT_EQ(w.ProblemOf(c.key).empty(), c.problem.empty()) << c.name;
    if (c.applied) {
      EXPECT_TRUE(c.applied()) << c.name;
    }
  }
  EXPECT_EQ(w.NoteOf("hardware-acceleration"), "次回の起動から有効");
  EXPECT_EQ(w.NoteOf("restore-windows"), "");
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  // What the file says now is what the window shows when it comes back.
  std::string problem;
  const TSettings read = ReadSettings(file_, problem);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(read.restore_windows, RestoreWindows::kNever);
  EXPECT_FALSE(read.developer_tools);
}

TEST_F(SettingsWindowTest, AHandWrittenFileKeepsEveryByteButTheChangedKey) {
  const std::string before =
      "# Tavorin, set up by hand\n"
      "\n"
      "[Tavorin]\n"
      "# the shop I open first\n"
      "home-page = https://old.example.jp/\n"
      "future-key=kept as it is\n"
      "keep-history=true   \n"
      "\n"
      "[Elsewhere]\n"
      "home-page=not ours";
  fs::create_directories(fs::path(file_).parent_path());
  std::ofstream(file_, std::ios::binary) << before;
  window_->Refresh();
  EXPECT_EQ(window_->HomePage().get_text(), "https://old.example.jp/");
  Enter(window_->HomePage(), "https://new.example.jp/");
  std::string after = before;
  after.replace(after.find("https://old"), 23, "https://new.example.jp/");
  EXPECT_EQ(testsupport::ReadFile(file_), after);

  // Another copy changed the file meanwhile: its keys stay, the user's win.
  std::ofstream(file_, std::ios::binary) << "[Tavorin]\nhome-page=https://other.example/\n"
                                            "restore-windows=always\n";
  Enter(window_->HomePage(), "https://mine.example.jp/");
  EXPECT_EQ(testsupport::ReadFile(file_),
            "[Tavorin]\nhome-page=https://mine.example.jp/\nrestore-windows=always\n");

  // Read-only or unreadable to the key file: nothing lost, and the window says why.
  for (const auto& [text, mode, reason] :
       {std::tuple{"[Tavorin]\nhome-page=https://ro.example/\n", 0444, "読み取り専用です"},
        std::tuple{"[Tavorin\nhome-page=broken\n", 0600, "書式が正しくありません"}}) {
    g_chmod(file_.c_str(), 0600);
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << text;
    g_chmod(file_.c_str(), mode);
    Enter(window_->HomePage(), "https://lost.example/");
    EXPECT_EQ(testsupport::ReadFile(file_), text);
    EXPECT_NE(window_->ProblemOf("home-page").find("保存できませんでした"), std::string::npos);
    EXPECT_NE(window_->ProblemOf("home-page").find(reason), std::string::npos);
  }
  g_chmod(file_.c_str(), 0600);

  // Two copies writing at once, each its own keys: every write is there.
  g_unlink(file_.c_str());
  auto writer = [this](const char* prefix) {
    for (int i = 0; i < 40; ++i) {
      EXPECT_EQ(WriteSettings(file_, {{prefix + std::to_string(i), "v"}}), "");
    }
  };
  std::thread one(writer, "one-"), two(writer, "two-");
  one.join();
  two.join();
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(FileValue(file_, ("one-" + std::to_string(i)).c_str()), "v") << i;
    EXPECT_EQ(FileValue(file_, ("two-" + std::to_string(i)).c_str()), "v") << i;
  }
}

// A FIFO in the file's place: a change is refused at once and the FIFO stays.
// Were it opened to be read, the window would wait for a writer; one comes
// after two seconds, long after the change, so that such a wait ends and is
// seen.
TEST_F(SettingsWindowTest, AFifoInTheFilesPlaceIsRefusedAtOnceAndNothingIsWritten) {
  ASSERT_TRUE(testsupport::PlaceNotRegular(file_, testsupport::NotRegular::kFifo));
  window_->Refresh();
  const std::string other_keys = "[Tavorin]\nhome-page=https://kept.example/\nkeep-history=false\n";
  std::atomic<bool> waited_on = false;
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const int fd = open(file_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;  // nobody reads it
      waited_on = true;
      (void)!write(fd, other_keys.data(), other_keys.size());
      close(fd);
      return;
    }
  });
  Flip(window_->DeveloperToolsSwitch());
  const bool answered = !waited_on;
  writer.join();
  EXPECT_TRUE(answered) << "the window waited on the FIFO";
  EXPECT_EQ(fs::symlink_status(file_).type(), fs::file_type::fifo);
  EXPECT_NE(window_->ProblemOf("developer-tools").find("保存できませんでした"), std::string::npos);
  EXPECT_NE(window_->ProblemOf("developer-tools").find("通常のファイルではない"), std::string::npos)
      << window_->ProblemOf("developer-tools");
}

// Another copy holding the file: the window goes on answering, and the change
// is written once the other is done.
TEST_F(SettingsWindowTest, AChangeWaitsForAnotherCopysWriteWithoutBlockingTheWindow) {
  fs::create_directories(fs::path(file_).parent_path());
  std::ofstream(file_) << "[Tavorin]\nhome-page=https://kept.example/\n";
  window_->Refresh();
  const int other = open(fs::path(file_).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  Flip(window_->DeveloperToolsSwitch());
  testsupport::RunPending(300);
  EXPECT_EQ(window_->ProblemOf("developer-tools"), "");
  EXPECT_EQ(FileValue(file_, "developer-tools"), std::nullopt);  // not yet: the other writes
  close(other);                                                  // and with it its lock
  EXPECT_TRUE(RunUntil([&] { return FileValue(file_, "developer-tools") == "false"; }, 3000));
  EXPECT_EQ(FileValue(file_, "home-page"), "https://kept.example/");
  EXPECT_EQ(window_->ProblemOf("developer-tools"), "");
}

// GIO answers from the real mimeapps.list of the private home the tests run in.
TEST_F(SettingsWindowTest, DefaultBrowserRowAndButtonFollowMimeappsList) {
  // GIO shows no entry whose program is not on the path; it is never run here.
  fs::create_directories(root_ + "/bin");
  std::ofstream(root_ + "/bin/tavorin") << "#!/bin/sh\nexit 1\n";
  fs::permissions(root_ + "/bin/tavorin", fs::perms::owner_all);
  const std::string path = g_getenv("PATH");
  g_setenv("PATH", (root_ + "/bin:" + path).c_str(), TRUE);
  const std::string applications = std::string(g_get_user_data_dir()) + "/applications";
  fs::create_directories(applications);
  fs::copy_file(TAVORIN_DESKTOP_ENTRY, applications + "/tavorin.desktop",
                fs::copy_options::overwrite_existing);
  std::ofstream(applications + "/other-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Other\nExec=true %U\n"
         "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n";
  const std::string mimeapps = std::string(g_get_user_config_dir()) + "/mimeapps.list";
  std::ofstream(mimeapps) << "[Default Applications]\nx-scheme-handler/http=other-browser.desktop\n"
                             "x-scheme-handler/https=other-browser.desktop\n"
                             "text/html=other-browser.desktop\n";
  ASSERT_TRUE(RunUntil([] {
    GAppInfo* app = g_app_info_get_default_for_type("x-scheme-handler/http", FALSE);
    const bool other =
        app != nullptr && g_str_equal(g_app_info_get_id(app), "other-browser.desktop");
    if (app != nullptr) g_object_unref(app);
    return other;
  }));
  window_->Refresh();
  EXPECT_EQ(window_->DefaultBrowserState().get_text(), "Tavorin は既定のブラウザではありません");
  ASSERT_TRUE(window_->MakeDefaultButton().get_sensitive());
  Press(window_->MakeDefaultButton());
  EXPECT_EQ(window_->DefaultBrowserState().get_text(), "Tavorin は既定のブラウザです");
  EXPECT_FALSE(window_->MakeDefaultButton().get_sensitive());
  EXPECT_EQ(window_->ProblemOf(""), "");
  GKeyFile* list = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(list, mimeapps.c_str(), G_KEY_FILE_NONE, nullptr));
  for (const char* type : {"x-scheme-handler/http", "x-scheme-handler/https", "text/html"}) {
    gchar* value = g_key_file_get_string(list, "Default Applications", type, nullptr);
    EXPECT_STREQ(value, "tavorin.desktop") << type;
    g_free(value);
  }
  g_key_file_free(list);
  g_unlink(mimeapps.c_str());
  g_setenv("PATH", path.c_str(), TRUE);
}

TEST(SettingsWindowKeys, CtrlCommaTheHistoryWindowAndThePageMenuOpenItTabMovesEscapeCloses) {
  Application->CreateForm(FormHTML);
  ASSERT_TRUE(testsupport::FocusWindow(FormHTML->gobj()));
  testsupport::TypeKey(GDK_KEY_comma, GDK_KEY_Control_L);
  Gtk::Window* settings = nullptr;
  ASSERT_TRUE(RunUntil([&] {
    settings = static_cast<TSettingsWindow*>(FormHTML->get_data("tavorin-settings-window"));
    return settings != nullptr && settings->get_visible();
  }));
  auto& window = *static_cast<TSettingsWindow*>(settings);
  EXPECT_EQ(window.get_transient_for(), FormHTML);
  ASSERT_TRUE(testsupport::FocusWindow(window.gobj()));
  EXPECT_EQ(window.get_title(), "設定");
  // Asked of the desktop once the window is up.
  EXPECT_TRUE(RunUntil([&] { return !window.DefaultBrowserState().get_text().empty(); }));
  EXPECT_EQ(window.HomePage().get_accessible()->get_name(), "ホームページ");
  EXPECT_EQ(window.KeepHistorySwitch().get_accessible()->get_name(), "履歴を残す");
  for (Gtk::Widget* control : std::initializer_list<Gtk::Widget*>{
           &window.UseCurrentPage(), &window.DownloadFolder(), &window.RestoreWindowsChoice(),
           &window.AccelerationChoice(), &window.SearchChoice(), &window.CustomSearch(),
           &window.DeveloperToolsSwitch(), &window.MakeDefaultButton()}) {
    EXPECT_NE(control->get_accessible()->get_name(), "") << control->get_name();
  }
  window.HomePage().grab_focus();
  // Tab goes down the rows, the focus landing in each control in turn.
  const std::vector<Gtk::Widget*> order = {&window.UseCurrentPage(), &window.DownloadFolder()};
  for (Gtk::Widget* next : order) {
    testsupport::TypeKey(GDK_KEY_Tab);
    EXPECT_TRUE(RunUntil(
        [&] {
          Gtk::Widget* focus = window.get_focus();
          return focus == next || (focus != nullptr && focus->is_ancestor(*next));
        },
        1000));
  }
  testsupport::TypeKey(GDK_KEY_Escape);
  EXPECT_TRUE(RunUntil([&] { return !window.get_visible(); }));

  ASSERT_TRUE(testsupport::FocusWindow(FormHTML->gobj()));
  testsupport::TypeKey(GDK_KEY_h, GDK_KEY_Control_L);
  THistoryWindow* history = nullptr;
  ASSERT_TRUE(RunUntil([&] {
    history = static_cast<THistoryWindow*>(FormHTML->get_data("tavorin-history-window"));
    return history != nullptr && history->get_visible();
  }));
  ASSERT_TRUE(history->SettingsButton().get_visible());
  history->SettingsButton().clicked();
  EXPECT_TRUE(RunUntil([&] { return window.get_visible(); }));
  window.hide();

  // A right click in the page: the menu offers 「設定…」, which opens it.
  ASSERT_TRUE(testsupport::FocusWindow(FormHTML->gobj()));
  std::map<std::string, Gtk::MenuItem*> items =
      navtest::OpenPageMenu(FormHTML->CppWebBrowser1->View());
  ASSERT_TRUE(items.contains("設定…"));
  items["設定…"]->activate();
  EXPECT_TRUE(RunUntil([&] { return window.get_visible(); }));
  Application->DestroyForms();
  FormHTML = nullptr;
}

}  // namespace

namespace {

// A build that is not installed: the desktop knows no tavorin.desktop until
// the user lets the program put an entry of the user's own.
struct UserEntryRow {
  const char* name;
  GtkResponseType answer;
  std::optional<std::string> there_before;  // a file already in the entry's place
  bool made_default;
  const char* problem;  // part of what the row says
};

TEST_F(SettingsWindowTest, ANotInstalledBuildOffersAnEntryOfTheUsersOwn) {
  const std::string entry = UserDesktopEntryFile();
  const std::string hidden =
      "[Desktop Entry]\nType=Application\nName=Mine\nExec=/usr/bin/true %U\nHidden=true\n";
  const UserEntryRow rows[] = {
      {"declined", GTK_RESPONSE_CANCEL, std::nullopt, false, ""},
      {"another file there", GTK_RESPONSE_OK, hidden, false, "置き換えませんでした"},
      {"accepted", GTK_RESPONSE_OK, std::nullopt, true, ""},
  };
  for (const UserEntryRow& row : rows) {
    SCOPED_TRACE(row.name);
    g_unlink(entry.c_str());
    if (row.there_before) {
      std::filesystem::create_directories(std::filesystem::path(entry).parent_path());
      std::ofstream(entry) << *row.there_before;
    }
    ASSERT_TRUE(RunUntil([] { return !DesktopEntryKnown(); }));
    window_->Refresh();
    testsupport::DialogCloser closer(row.answer);
    Press(window_->MakeDefaultButton());
    ASSERT_TRUE(RunUntil([&] { return !closer.seen().empty(); }));
    EXPECT_NE(closer.seen()[0].secondary.find(entry), std::string::npos);
    RunFor(300);
    if (row.made_default) {
      ASSERT_TRUE(RunUntil([&] {
        return window_->DefaultBrowserState().get_text() == "Tavorin は既定のブラウザです";
      }));
      struct stat status {};
      ASSERT_EQ(lstat(entry.c_str(), &status), 0);
      EXPECT_EQ(status.st_mode & 0777, 0644u);
      EXPECT_NE(testsupport::ReadFile(entry).find("Exec=\"" + RunningProgram() + "\" %U"),
                std::string::npos);
      EXPECT_TRUE(IsDefaultBrowser());
    } else {
      EXPECT_EQ(window_->DefaultBrowserState().get_text(),
                "Tavorin は既定のブラウザではありません");
      EXPECT_EQ(testsupport::ReadFile(entry), row.there_before.value_or(""));
    }
    EXPECT_NE(window_->ProblemOf("").find(row.problem), std::string::npos)
        << window_->ProblemOf("");
  }
  g_unlink(entry.c_str());
  g_unlink((std::string(g_get_user_config_dir()) + "/mimeapps.list").c_str());
}

}  // namespace
