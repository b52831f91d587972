// The settings file and the addresses a person writes.
#include "settings/settings.h"

#include <glib/gstdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "browser/developer_tools.h"
#include "browser/user_address.h"
#include "search/search_engine.h"
#include "start_page/start_page.h"
#include "tests/support/gui_test.h"
#include "tests/support/http_server.h"
#include "tests/support/private_folders.h"
#include "window/form_html.h"

namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::MakePrivateRoot();
    file_ = root_ + "/tavorin.conf";
  }
  void TearDown() override { testsupport::RemoveTree(root_); }

  std::string Write(const std::string& text) {
    std::ofstream(file_, std::ios::binary) << text;
    return file_;
  }

  std::string root_;
  std::string file_;
};

// Bytes of no text format, with terminal escapes among them.
std::string Garbage() {
  std::string bytes = "\x1b]0;title\x07\x1b[2J";
  for (int i = 0; i < 800; ++i) bytes.push_back(char((i * 37 + 11) % 256));
  return bytes;
}

TEST_F(SettingsFileTest, WhatIsWrongGivesTheDefaultsForWhatItAffectsAndIsSaid) {
  const std::string kGarbage = Garbage();
  const std::string home = g_get_home_dir();
  const TSettings defaults = DefaultSettings();
  struct Case {
    const char* name;
    std::optional<std::string> text;  // none: no file; "/": a folder in its place
    std::string home_page, download_folder;
    std::optional<std::string> problem;  // a part of the line; none: no line
    bool keep_history = true;
  };
  const Case cases[] = {
      {"missing, as on a new install", std::nullopt, kStartPageAddress, defaults.download_folder,
       std::nullopt},
      {"empty", "", kStartPageAddress, defaults.download_folder, ": 空です。"},
      {"unreadable", "/", kStartPageAddress, defaults.download_folder,
       ": 通常のファイルではありません"},
      {"malformed", "[Tavorin\nhome-page=http://a/\n", kStartPageAddress, defaults.download_folder,
       ": 書式が正しくありません ("},
      {"not UTF-8", "[Tavorin]\nhome-page=http://a/\xff\n", kStartPageAddress,
       defaults.download_folder,
       ": home-page の値が UTF-8 ではありません。その項目は既定の設定を使います"},
      {"other group", "[Other]\nhome-page=http://a/\n", kStartPageAddress, defaults.download_folder,
       ": [Tavorin] グループがありません。既定の設定を使います"},
      {"both set", "[Tavorin]\nhome-page=http://a/b\ndownload-folder=/srv/dl\n", "http://a/b",
       "/srv/dl", std::nullopt},
      {"the user's blank page stays", "[Tavorin]\nhome-page=about:blank\n", "about:blank",
       defaults.download_folder, std::nullopt},
      {"the start page named", "[Tavorin]\nhome-page=tavorin://start/\n", kStartPageAddress,
       defaults.download_folder, std::nullopt},
      {"home-relative folder, bare host", "[Tavorin]\nhome-page=a.example\ndownload-folder=~/dl\n",
       "http://a.example", home + "/dl", std::nullopt},
      {"empty values", "[Tavorin]\nhome-page=\ndownload-folder=\n", kStartPageAddress,
       defaults.download_folder, std::nullopt},
      {"relative folder", "[Tavorin]\nhome-page=http://a/\ndownload-folder=dl\n", "http://a/",
       defaults.download_folder,
       ": download-folder の値 \"dl\" が絶対パスではありません。その項目は既定の設定を使います"},
      {"javascript: home page", "[Tavorin]\nhome-page=javascript:alert(1)\n", kStartPageAddress,
       defaults.download_folder,
       ": home-page の値 \"javascript:alert(1)\" はウェブかファイルのアドレスではありません。"
       "その項目は既定の設定を使います"},
      {"data: home page", "[Tavorin]\nhome-page=data:text/html,<p>x\n", kStartPageAddress,
       defaults.download_folder,
       "\"data:text/html,<p>x\" はウェブかファイルのアドレスではありません"},
      {"view-source: home page", "[Tavorin]\nhome-page=view-source:http://a/\n", kStartPageAddress,
       defaults.download_folder,
       "\"view-source:http://a/\" はウェブかファイルのアドレスではありません"},
      {"unparseable home page", "[Tavorin]\nhome-page=http://a:99999/\n", kStartPageAddress,
       defaults.download_folder, "\"http://a:99999/\" はウェブかファイルのアドレスではありません"},
      {"host name with a space", "[Tavorin]\nhome-page=exa mple.com\n", kStartPageAddress,
       defaults.download_folder, "\"exa mple.com\" はウェブかファイルのアドレスではありません"},
      {"file home page", "[Tavorin]\nhome-page=/srv/start.html\n", "file:///srv/start.html",
       defaults.download_folder, std::nullopt},
      {"host and port", "[Tavorin]\nhome-page=localhost:8080/x\n", "http://localhost:8080/x",
       defaults.download_folder, std::nullopt},
      {"long folder with escapes",
       "[Tavorin]\ndownload-folder=dl/\x1b[2J" + std::string(200, 'x') + "\n", kStartPageAddress,
       defaults.download_folder,
       ": download-folder の値 \"dl/\\x1B[2J" + std::string(73, 'x') +
           "\"… が絶対パスではありません"},
      {"garbage", kGarbage, kStartPageAddress, defaults.download_folder,
       ": 書式が正しくありません ("},
      {"history off", "[Tavorin]\nkeep-history=false\n", kStartPageAddress,
       defaults.download_folder, std::nullopt, false},
      {"history on", "[Tavorin]\nkeep-history=true\n", kStartPageAddress, defaults.download_folder,
       std::nullopt, true},
      {"history neither", "[Tavorin]\nkeep-history=no\n", kStartPageAddress,
       defaults.download_folder, ": keep-history の値 \"no\" は true か false ではありません",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(file_);
    if (c.text == "/") {
      std::filesystem::create_directory(file_);
    } else if (c.text) {
      Write(*c.text);
    }
    std::string problem = "not cleared";
    const TSettings settings = ReadSettings(file_, problem);
    EXPECT_EQ(settings.home_page, c.home_page);
    EXPECT_EQ(settings.download_folder, c.download_folder);
    EXPECT_EQ(settings.keep_history, c.keep_history);
    if (!c.problem) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_TRUE(problem.starts_with("設定ファイル " + file_ + ": ")) << problem;
      EXPECT_NE(problem.find(*c.problem), std::string::npos) << problem;
      // Nothing raw reaches the terminal, and the line stays a line.
      EXPECT_TRUE(std::none_of(problem.begin(), problem.end(), [](unsigned char b) {
        return b < 0x20 || b == 0x7f;
      })) << problem;
      EXPECT_LT(problem.size(), 500u) << problem;
    }
  }
}

// Keys that take one of a few words: a word of its own sets it, anything
// else is said and gives that key's default, and nothing else is spoilt.
TEST_F(SettingsFileTest, WordValuedKeysTakeTheirWordsAndTheirDefaultOtherwise) {
  using HA = HardwareAcceleration;
  using RW = RestoreWindows;
  struct Row {
    const char* line;
    RW restore;
    HA acceleration;
    const char* problem;  // a part of the line; null: none
  };
  const Row rows[] = {
      {"", RW::kAsk, HA::kAuto, nullptr},
      {"restore-windows=ask\n", RW::kAsk, HA::kAuto, nullptr},
      {"restore-windows=always\n", RW::kAlways, HA::kAuto, nullptr},
      {"restore-windows=never\n", RW::kNever, HA::kAuto, nullptr},
      {"restore-windows=sometimes\n", RW::kAsk, HA::kAuto,
       "restore-windows の値 \"sometimes\" は ask、always、never のどれでもありません"},
      {"hardware-acceleration=\n", RW::kAsk, HA::kAuto, nullptr},
      {"hardware-acceleration=auto\n", RW::kAsk, HA::kAuto, nullptr},
      {"hardware-acceleration= always \n", RW::kAsk, HA::kAlways, nullptr},
      {"hardware-acceleration=never\n", RW::kAsk, HA::kNever, nullptr},
      {"hardware-acceleration=yes\n", RW::kAsk, HA::kAuto,
       ": hardware-acceleration の値 \"yes\" は auto、always、never のどれでもありません。"
       "その項目は既定の設定を使います"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::string problem;
    const TSettings settings =
        ReadSettings(Write(std::string("[Tavorin]\nhome-page=http://a/\n") + row.line), problem);
    EXPECT_EQ(settings.restore_windows, row.restore);
    EXPECT_EQ(settings.hardware_acceleration, row.acceleration);
    EXPECT_EQ(settings.home_page, "http://a/");
    if (row.problem == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
    }
  }
}

TEST_F(SettingsFileTest, SearchSiteAndDeveloperToolsTakeGoodValuesAndTheDefaultOtherwise) {
  const std::string google = kDefaultSearchEngine;
  struct Row {
    const char* line;
    std::string search;
    bool tools;
    const char* problem;  // a part of the line; null: none
  };
  const Row rows[] = {
      {"", google, true, nullptr},
      {"search-engine=https://search.yahoo.co.jp/search?p=%s\n",
       "https://search.yahoo.co.jp/search?p=%s", true, nullptr},
      {"search-engine=https://search.example/?q=\n", google, true, "言葉の入る %s がありません"},
      {"search-engine=javascript:alert(%s)\n", google, true,
       "http か https のアドレスではありません"},
      {"search-engine=https:///?q=%s\n", google, true, "http か https のアドレスではありません"},
      {"search-engine=https://a/?q=%s&r=%s\n", google, true, "%s が二つ以上あります"},
      {"developer-tools=false\n", google, false, nullptr},
      {"developer-tools=off\n", google, true, "developer-tools の値 \"off\" は true か false"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::string problem;
    const TSettings settings = ReadSettings(Write(std::string("[Tavorin]\n") + row.line), problem);
    EXPECT_EQ(settings.search_engine, row.search);
    EXPECT_EQ(settings.developer_tools, row.tools);
    if (row.problem == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
    }
  }
}

TEST(DefaultDownloadFolder, IsAnAbsolutePathOtherThanTheHomeFolder) {
  const std::string folder = DefaultDownloadFolder();
  EXPECT_TRUE(g_path_is_absolute(folder.c_str()));
  EXPECT_NE(folder, g_get_home_dir());
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string text = uri;
  g_free(uri);
  return text;
}

TEST(AddressFromUser, SchemesAreKeptPathsBecomeFileAddressesAndHostsGetHttp) {
  const std::string root = testsupport::MakePrivateRoot();
  std::ofstream(root + "/page one.html") << "page";
  struct Case {
    std::string written, address;
  };
  const Case cases[] = {
      {"", ""},
      {"http://127.0.0.1:8080/a?b#c", "http://127.0.0.1:8080/a?b#c"},
      {"https://例え.jp/", "https://例え.jp/"},
      {"about:blank", "about:blank"},
      {"data:text/html,<p>x", "data:text/html,<p>x"},
      {"file:///tmp/x.html", "file:///tmp/x.html"},
      {"www.example.com", "http://www.example.com"},
      {"localhost:8080/x", "http://localhost:8080/x"},
      {"javascript:alert(1)", "javascript:alert(1)"},  // kept, for the address gate to refuse
      {"/no/such/page one.html", "file:///no/such/page%20one.html"},
      {"./no-such.html", FileUri(root + "/no-such.html")},
      {"page one.html", FileUri(root + "/page one.html")},  // an existing file
      {"no-such.html", "http://no-such.html"},
  };
  gchar* cwd = g_get_current_dir();
  ASSERT_EQ(g_chdir(root.c_str()), 0);
  for (const Case& c : cases) EXPECT_EQ(AddressFromUser(c.written), c.address) << c.written;
  g_chdir(cwd);
  g_free(cwd);
  testsupport::RemoveTree(root);
}

TEST(SettingsApplied, HomePageLoadsAndWordsGoToTheSearchSite) {
  TestHttpServer server;
  server.AddHtml("/mine.html", "<title>mine</title>mine");
  server.AddHtml("/find", "<title>found</title>found");
  server.AddHtml("/other.html", "<title>other</title>other");
  const std::string root = testsupport::MakePrivateRoot();
  const std::string file = root + "/tavorin.conf";
  std::ofstream(file) << "[Tavorin]\nhome-page=" << server.Url("/mine.html")
                      << "\nsearch-engine=" << server.Url("/find?s=%s&ie=UTF-8")
                      << "\ndeveloper-tools=false\n";
  std::string problem;
  ApplySettings(ReadSettings(file, problem));
  EXPECT_EQ(problem, "");
  EXPECT_FALSE(DeveloperTools());
  Application->CreateForm(FormHTML);
  FormHTML->show();
  WebKitWebView* view = FormHTML->CppWebBrowser1->View();
  EXPECT_FALSE(webkit_settings_get_enable_developer_extras(webkit_web_view_get_settings(view)));
  EXPECT_TRUE(WaitForLoad(view, server.Url("/mine.html")));
  FormHTML->EditURL->set_text(server.Url("/other.html"));
  FormHTML->ButtonOpen->clicked();
  EXPECT_TRUE(WaitForLoad(view, server.Url("/other.html")));
  FormHTML->BitBtn1->clicked();
  EXPECT_TRUE(WaitForLoad(view, server.Url("/mine.html")));
  EXPECT_EQ(std::count(server.Requests().begin(), server.Requests().end(), "/mine.html"), 2);
  FormHTML->EditURL->set_text("青森 りんご");
  FormHTML->ButtonOpen->clicked();
  EXPECT_TRUE(WaitForLoad(
      view, server.Url("/find?s=%E9%9D%92%E6%A3%AE%20%E3%82%8A%E3%82%93%E3%81%94&ie=UTF-8")));
  SetSearchEngine(kDefaultSearchEngine);
  Application->DestroyForms();
  FormHTML = nullptr;
  TCppWebBrowser::SetDefaultHomePage("about:blank");
  SetDeveloperTools(true);
  testsupport::RemoveTree(root);
}

}  // namespace
