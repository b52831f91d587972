// Another browser's bookmarks brought in from real files of each format, and
// Tavorin's written out and read back.
#include "store/bookmark_import.h"

#include <gtest/gtest.h>
#include <json-glib/json-glib.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/bookmark_filter.h"
#include "store/bookmark_html.h"
#include "tests/support/files.h"
#include "tests/support/hostile_bookmarks.h"
#include "tests/support/store_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;
using Names = std::vector<std::string>;

// Each mark read, as its address and title.
Names Links(const ForeignBookmarks& read) {
  Names links;
  for (const ForeignBookmark& mark : read.marks) links.push_back(mark.url + " " + mark.title);
  return links;
}

struct Link {
  const char* folder;  // "" at the top
  const char* title;
  const char* url;
};

// What each file holds: a folder, a link Tavorin keeps already, a script,
// an address in capitals without a path, a local file and one twice.
const Link kLinks[] = {{"買い物", "お茶 & 菓子", "https://shop.example/tea?a=1&b=2"},
                       {"", "kept elsewhere", "https://kept.example/"},
                       {"", "script", "javascript:alert(1)"},
                       {"", "capitals", "HTTP://Example.jp"},
                       {"", "local", "file:///home/user/note.html"},
                       {"買い物", "again", "https://shop.example/tea?a=1&b=2"}};

std::string HtmlOfLinks() {
  std::string html =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE><DL><p>\n"
      "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks bar</H3>\n<DL><p>\n";
  for (const Link& link : kLinks) {
    gchar* title = g_markup_escape_text(link.title, -1);
    gchar* url = g_markup_escape_text(link.url, -1);
    html += *link.folder ? "<DT><H3>" + std::string(link.folder) + "</H3><DL><p>" : "";
    html += "<DT><a href=\"" + std::string(url) + "\" ADD_DATE=\"1700000000\">" + title + "</a>\n";
    html += *link.folder ? "</DL><p>\n" : "";
    g_free(title);
    g_free(url);
  }
  return html + "</DL><p>\n</DL>\n";
}

std::string ChromiumOfLinks() {
  JsonBuilder* b = json_builder_new();
  json_builder_begin_object(b);
  json_builder_set_member_name(b, "roots");
  json_builder_begin_object(b);
  json_builder_set_member_name(b, "bookmark_bar");
  json_builder_begin_object(b);
  json_builder_set_member_name(b, "children");
  json_builder_begin_array(b);
  for (const Link& link : kLinks) {
    json_builder_begin_object(b);
    for (auto [name, value] : {std::pair{"type", *link.folder ? "folder" : "url"},
                               {"name", *link.folder ? link.folder : link.title}}) {
      json_builder_set_member_name(b, name);
      json_builder_add_string_value(b, value);
    }
    if (*link.folder) {
      json_builder_set_member_name(b, "children");
      json_builder_begin_array(b);
      json_builder_begin_object(b);
      for (auto [name, value] : {std::pair{"type", "url"}, {"name", link.title}}) {
        json_builder_set_member_name(b, name);
        json_builder_add_string_value(b, value);
      }
    }
    json_builder_set_member_name(b, "url");
    json_builder_add_string_value(b, link.url);
    if (*link.folder) json_builder_end_object(b), json_builder_end_array(b);
    json_builder_end_object(b);
  }
  json_builder_end_array(b);
  json_builder_end_object(b);
  json_builder_end_object(b);
  json_builder_end_object(b);
  JsonGenerator* out = json_generator_new();
  JsonNode* root = json_builder_get_root(b);
  json_generator_set_root(out, root);
  gchar* text = json_generator_to_data(out, nullptr);
  std::string json = text;
  g_free(text);
  json_node_unref(root);
  g_object_unref(out);
  g_object_unref(b);
  return json;
}

// Firefox's own tables, with its roots; a tag on the first link is no bookmark.
// Returned open, as a running Firefox holds it: locked, its rows still in the log.
sqlite3* MakePlaces(const fs::path& path) {
  fs::create_directories(path.parent_path());
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql =
      "PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
      "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);"
      "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER,"
      " parent INTEGER, position INTEGER, title LONGVARCHAR, dateAdded INTEGER,"
      " lastModified INTEGER, guid TEXT);"
      "INSERT INTO moz_bookmarks VALUES (1,2,NULL,0,0,'','0','0','root________'),"
      " (2,2,NULL,1,0,'menu',0,0,'menu________'), (3,2,NULL,1,1,'toolbar',0,0,'toolbar_____'),"
      " (4,2,NULL,1,2,'tags',0,0,'tags________'), (5,2,NULL,4,0,'mytag',0,0,'tagfolder001'),"
      " (6,2,NULL,3,0,'買い物',0,0,'userfolder01');";
  int id = 10;
  for (const Link& link : kLinks) {
    char* row = sqlite3_mprintf(
        "INSERT INTO moz_places VALUES (%d, %Q, NULL);"
        "INSERT INTO moz_bookmarks VALUES (%d, 1, %d, %d, %d, %Q, 1700000000000000, 0, 'b%d');",
        id, link.url, id, id, *link.folder ? 6 : 3, id, link.title, id);
    sql += row;
    sqlite3_free(row);
    ++id;
  }
  sql += "INSERT INTO moz_bookmarks VALUES (99, 1, 10, 5, 0, NULL, 0, 0, 'tagentry001');";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  return db;
}

class BookmarkImportTest : public testsupport::StoreTest<BookmarkStore> {
 protected:
  ImportSummary Import(BookmarkFormat format, const std::string& path) {
    BookmarkImport import(*store_, format, path);
    // Ends by itself, whatever the file does to the reader.
    for (int waited = 0; waited < 60000 && !import.Finish(); ++waited) g_usleep(1000);
    EXPECT_TRUE(import.Finish()) << "still reading " << path << " after a minute";
    EXPECT_EQ(import.Progress(), 1.0);
    return import.Summary();
  }
  Names NewTitles() const {
    Names titles;
    for (const Bookmark& b : store_->All()) {
      if (b.url != "https://kept.example/" && b.url != "https://old.example/") {
        titles.push_back(b.url + " " + b.name);
      }
    }
    std::sort(titles.begin(), titles.end());
    return titles;
  }
  const std::string home_ = root_ + "/home";
};

// Found under the home folder by name, read, checked, not doubled.
TEST_F(BookmarkImportTest, EachFormatFoundUnderHomeAndImportedOnce) {
  sqlite3* firefox = MakePlaces(home_ + "/.mozilla/firefox/x1y2.default-release/places.sqlite");
  testsupport::WriteFile(home_ + "/.config/google-chrome/Default/Bookmarks", ChromiumOfLinks());
  testsupport::WriteFile(home_ + "/bookmarks.html", HtmlOfLinks());
  const std::vector<BookmarkSource> found = FindBookmarkSources(home_);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "Firefox（default-release）");
  EXPECT_EQ(found[1].name, "Google Chrome（Default）");
  const std::pair<BookmarkFormat, std::string> files[] = {
      {found[0].format, found[0].path},
      {found[1].format, found[1].path},
      {BookmarkFormat::kHtml, home_ + "/bookmarks.html"}};
  for (const auto& [format, path] : files) {
    store_->Put("https://kept.example/", "mine");
    const ImportSummary summary = Import(format, path);
    EXPECT_EQ(DescribeImport(summary),
              "3 件のブックマークを追加しました。\n3 件は追加しませんでした（登録済み 2 件、"
              "http・https・file 以外のアドレス 1 件）。")
        << path;
    EXPECT_EQ(NewTitles(),
              (Names{"file:///home/user/note.html local", "http://Example.jp/ capitals",
                     "https://shop.example/tea?a=1&b=2 買い物 / お茶 & 菓子"}))
        << path;
    EXPECT_EQ(store_->Find("https://kept.example/")->name, "mine");
    Reopen();  // and on disk
    EXPECT_EQ(store_->All().size(), 4u);
    const std::vector<Bookmark> kept = store_->All();  // each removal reads them again
    for (const Bookmark& b : kept) {
      if (b.url != "https://kept.example/") store_->Remove(b.id);
    }
  }
  sqlite3_close(firefox);
}

struct BadFile {
  BookmarkFormat format;
  std::string bytes;
  const char* told;  // the start of what the user is told
};

class BadFileTest : public BookmarkImportTest, public ::testing::WithParamInterface<BadFile> {};

// Whatever the file, what was kept stays; a cut-off file adds nothing; no
// file takes more than a few times its size in memory.
TEST_P(BadFileTest, ToldClearlyAndNothingKeptIsLost) {
  store_->Put("https://old.example/", "old");
  const std::string path = root_ + "/file";
  testsupport::WriteFile(path, GetParam().bytes);
  testsupport::ResetPeakMemory();
  const long before = testsupport::PeakMemoryMb();
  const ImportSummary summary = Import(GetParam().format, path);
  EXPECT_LT(testsupport::PeakMemoryMb() - before, 150);
  EXPECT_EQ(DescribeImport(summary).substr(0, std::string(GetParam().told).size()),
            GetParam().told);
  Reopen();
  EXPECT_EQ(store_->Find("https://old.example/")->name, "old");
  if (!summary.error.empty()) {
    EXPECT_EQ(store_->All().size(), 1u);
  }
}

std::string Cut(const std::string& bytes) { return bytes.substr(0, bytes.size() * 2 / 3); }
const std::string kTop = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>";
const std::string kLong(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, BadFileTest,
    ::testing::Values(
        BadFile{BookmarkFormat::kHtml, "<html><a href='http://a.example/'>a</a>",
                "インポートできませんでした: ブックマークの HTML ファイルではありません。"},
        BadFile{BookmarkFormat::kHtml, Cut(HtmlOfLinks()),
                "インポートできませんでした: ファイルが途中で切れているか"},
        BadFile{BookmarkFormat::kHtml, kTop + "<DT><A HREF=\"http://a.example/\">a</A></DL></DL>",
                "インポートできませんでした: ファイルが途中で切れているか"},
        BadFile{BookmarkFormat::kHtml, kTop + "<DT><A HREF=\"http://a.example/\">a",
                "インポートできませんでした: ファイルが途中で切れているか"},
        BadFile{BookmarkFormat::kHtml, "", "インポートできませんでした: ブックマークの HTML"},
        // Hostile titles are cleaned and cut; odd addresses counted.
        BadFile{BookmarkFormat::kHtml,
                kTop + "<DT><A HREF=\"http://a.example/\">\xE2\x80\xAE\x01" + kLong +
                    "</A><DT><A HREF=\"http:///nohost\">n</A><DT><A HREF=\"data:text/html,x\">d</A>"
                    "<DT><A HREF=\"http://b.example/" +
                    std::string(70000, 'y') +
                    "\">y</A>"
                    "<DT><A>no address</A></DL>",
                "1 件のブックマークを追加しました。\n4 件は追加しませんでした（http・https・file "
                "以外のアドレス 1 件、読めないアドレス 2 件、長すぎるアドレス 1 件）。"},
        // A long run of "&" is read once, not once for each.
        BadFile{
            BookmarkFormat::kHtml,
            kTop + "<DT><A HREF=\"http://amp.example/\">" + std::string(300000, '&') + "</A></DL>",
            "1 件のブックマークを追加しました。"},
        BadFile{BookmarkFormat::kChromium, Cut(ChromiumOfLinks()),
                "インポートできませんでした: Chromium "
                "系ブラウザーのブックマークのファイルではありません。 ("},
        BadFile{BookmarkFormat::kChromium, "{\"roots\": 1}",
                "インポートできませんでした: Chromium 系"},
        BadFile{BookmarkFormat::kChromium, std::string(100000, '['),
                "インポートできませんでした: フォルダーの入れ子が深すぎます。"},
        // A comment hides a quote from a count that knows none: the file is no JSON.
        BadFile{BookmarkFormat::kChromium, testsupport::DeepChromiumBookmarks(),
                "インポートできませんでした: Chromium 系ブラウザーのブックマークのファイルでは"
                "ありません。 (0 バイト目"},
        BadFile{BookmarkFormat::kChromium, testsupport::DeepChromiumBookmarks().substr(8),
                "インポートできませんでした: フォルダーの入れ子が深すぎます。"},
        BadFile{BookmarkFormat::kChromium, "{\"roots\": {\"x\": \"/* [[[ */\"}} // tail",
                "インポートできませんでした: Chromium 系ブラウザーのブックマークのファイルでは"
                "ありません。 (30 バイト目"},
        // Bytes that are not UTF-8 are never copied, let alone tripled.
        BadFile{BookmarkFormat::kHtml, kTop + std::string(30 << 20, '\xFF'),
                "インポートできませんでした: ファイルが途中で切れているか"},
        // An 8 MB folder name is cut once, not copied for each of its links.
        BadFile{BookmarkFormat::kHtml, testsupport::LongFolderHtml(),
                "2000 件のブックマークを追加しました。"},
        BadFile{BookmarkFormat::kFirefox, testsupport::EndlessPlaces(),
                "インポートできませんでした: Firefox のブックマークのデータベースではありません。"},

        BadFile{
            BookmarkFormat::kFirefox, "SQLite format 3 but no more",
            "インポートできませんでした: Firefox のブックマークのデータベースではありません。"}));

// キャンセル, or the dialog closed, while a slow database is read: the
// import ends within a second, its processor use with it, and its private
// copy (0700 folder, 0600 file while it lasts) is gone.
TEST_F(BookmarkImportTest, GivingUpASlowDatabaseStopsItAtOnceAndRemovesItsCopy) {
  const std::string path = root_ + "/places.sqlite";
  testsupport::WriteFile(path, testsupport::SlowPlaces());
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
  const std::set<std::string> before = testsupport::ScratchFolders();
  auto import = std::make_unique<BookmarkImport>(*store_, BookmarkFormat::kFirefox, path);
  std::string scratch;
  for (int i = 0; i < 2000 && scratch.empty(); ++i) {
    for (const std::string& folder : testsupport::ScratchFolders()) {
      if (!before.count(folder) && fs::exists(folder + "/places.sqlite")) scratch = folder;
    }
    g_usleep(1000);
  }
  ASSERT_FALSE(scratch.empty());
  EXPECT_EQ(fs::status(scratch).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(scratch + "/places.sqlite").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  g_usleep(300000);
  EXPECT_FALSE(import->Finish());
  const gint64 asked = g_get_monotonic_time();
  import.reset();  // as キャンセル and closing the dialog do
  EXPECT_LT(g_get_monotonic_time() - asked, G_USEC_PER_SEC);
  const double used = testsupport::OtherThreadsSeconds();
  g_usleep(500000);
  EXPECT_LT(testsupport::OtherThreadsSeconds() - used, 0.05);
  EXPECT_FALSE(fs::exists(scratch));
  EXPECT_EQ(testsupport::ScratchFolders(), before);
  EXPECT_TRUE(store_->All().empty());
}

// A database that would keep a core busy for long is given up after its
// time limit, with a reason.
TEST_F(BookmarkImportTest, ASlowDatabaseIsGivenUpAfterItsTimeLimit) {
  const std::string path = root_ + "/places.sqlite";
  testsupport::WriteFile(path, testsupport::SlowPlaces());
  const gint64 start = g_get_monotonic_time();
  const ForeignBookmarks read = ReadFirefoxPlaces(path, kNeverStop, G_USEC_PER_SEC / 2);
  EXPECT_LT(g_get_monotonic_time() - start, G_USEC_PER_SEC);
  EXPECT_EQ(read.error, "読むのに時間がかかりすぎるため、やめました。");
  EXPECT_TRUE(read.marks.empty());
}

// Only a regular file is read: a FIFO is never waited on, a device never
// read whole, whatever the format.
TEST_F(BookmarkImportTest, OnlyARegularFileIsRead) {
  const std::string fifo = root_ + "/fifo", zero = root_ + "/zero", folder = root_ + "/folder";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", zero);
  fs::create_directories(folder);
  for (const BookmarkFormat format :
       {BookmarkFormat::kHtml, BookmarkFormat::kChromium, BookmarkFormat::kFirefox}) {
    for (const std::string& path : {fifo, zero, folder}) {
      EXPECT_EQ(DescribeImport(Import(format, path)),
                "インポートできませんでした: 通常のファイルではないため読みませんでした: " + path +
                    "\nブックマークは変わっていません。");
    }
  }
}

struct HtmlCase {
  std::string body;  // after the doctype
  Names read;        // each link's address and title
};

class HtmlReadTest : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(HtmlReadTest, LinksAndFoldersAsOtherBrowsersWriteThem) {
  const ForeignBookmarks read =
      ReadBookmarksHtml("\xEF\xBB\xBF <!doctype netscape-bookmark-file-1>" + GetParam().body);
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(Links(read), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HtmlReadTest,
    ::testing::Values(
        HtmlCase{"<dl><p><dt><a href='http://a.example/?x=1&amp;y=2'>&#x3042;&#12356;&lt;&gt; "
                 "&amp;amp; &bogus; &#0;</a></dl>",
                 {"http://a.example/?x=1&y=2 あい<> &amp; &bogus; \xEF\xBF\xBD"}},
        // Comments hide what they hold; a folder's list ends with its name.
        HtmlCase{"<!-- <DL> --><DL><DT><H3 ADD_DATE=\"1\">A &amp; B</H3><DL><DT><H3>C</H3><DL>"
                 "<DT><A HREF=\"http://c.example/\" ICON=\"data:x>y\">c</A></DL>"
                 "<DT><A HREF=\"http://ab.example/\">ab</A></DL><DT><A HREF=http://top.example/>"
                 "top</A><DD>a description</DL>",
                 {"http://c.example/ A & B / C / c", "http://ab.example/ A & B / ab",
                  "http://top.example/ top"}},
        HtmlCase{"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"
                 "<DL><DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other</H3><DL><DT><A "
                 "HREF=\"http://sjis.example/\">\x93\xFA\x96\x7B</A></DL></DL>",
                 {"http://sjis.example/ 日本"}}));

struct ChromiumCase {
  const char* json;
  Names read;         // each link's address and title
  const char* error;  // the start of the error, when the file is refused
};

class ChromiumReadTest : public BookmarkImportTest,
                         public ::testing::WithParamInterface<ChromiumCase> {};

// A folder's name comes after what it holds; a node that is no folder holds
// no bookmarks; escapes are decoded; nothing but strict JSON is read.
TEST_P(ChromiumReadTest, LinksAndFoldersAsChromiumWritesThem) {
  const std::string path = root_ + "/Bookmarks";
  testsupport::WriteFile(path, GetParam().json);
  const ForeignBookmarks read = ReadChromiumBookmarks(path);
  EXPECT_EQ(read.error.substr(0, std::string(GetParam().error).size()), GetParam().error);
  EXPECT_EQ(Links(read), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChromiumReadTest,
    ::testing::Values(
        ChromiumCase{R"({"checksum": "x", "roots": {"bookmark_bar": {"children": [
            {"children": [{"meta_info": {"name": "not this"}, "name": "\u3042\ud83c\udf75\ud800",
              "type": "url", "url": "http://a.example/"}], "name": "店 \"1\"", "type": "folder"},
            {"type": "url", "name": "x", "url": "http://b.example/", "children": [
              {"type": "url", "name": "in a link", "url": "http://c.example/"}]},
            {"type": "other", "children": [{"type": "url", "name": "odd", "url": "http://d.example/"}]}
          ], "name": "Bookmarks bar", "type": "folder"},
          "other": {"children": [{"date_added": "13300000000000000", "type": "url", "name": "o",
            "url": "http://o.example/"}], "type": "folder"}}, "version": 1})",
                     {"http://a.example/ 店 \"1\" / あ🍵\uFFFD", "http://b.example/ x",
                      "http://o.example/ o"},
                     ""},
        ChromiumCase{R"({"roots": {"other": {"children": [], "type": "folder"},}})",
                     {},
                     "Chromium 系ブラウザーのブックマークのファイルではありません。 (55 バイト目"},
        ChromiumCase{R"({"roots": {}} // a comment)", {}, "Chromium 系"},
        ChromiumCase{R"([{"roots": {}}])", {}, "Chromium 系"},
        ChromiumCase{R"("roots")", {}, "Chromium 系"}, ChromiumCase{"-12.5e3", {}, "Chromium 系"},
        ChromiumCase{"", {}, "Chromium 系"},
        ChromiumCase{
            R"({"roots": {"other": {"children": [{"type": "url", "url": "http://e.example/",
            "name": "e"}], "type": "folder"}}, "extra": [1, -2.5e+3, true, false, null, "s"]})",
            {"http://e.example/ e"},
            ""}));

struct AddressCase {
  std::string_view given;
  AddressVerdict verdict;
  const char* kept;
};

class AddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, OnlyPagesThatOpenHereAreTaken) {
  std::string kept;
  EXPECT_EQ(CheckAddress(GetParam().given, kept), GetParam().verdict) << GetParam().given;
  if (GetParam().verdict == AddressVerdict::kTaken) {
    EXPECT_EQ(kept, GetParam().kept);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressTest,
    ::testing::Values(
        AddressCase{" HTTPS://Shop.example?q=1 ", AddressVerdict::kTaken,
                    "https://Shop.example/?q=1"},
        AddressCase{"http://a.example:8080#top", AddressVerdict::kTaken,
                    "http://a.example:8080/#top"},
        AddressCase{"file:///home/u/a.html", AddressVerdict::kTaken, "file:///home/u/a.html"},
        AddressCase{"JavaScript:alert(1)", AddressVerdict::kOtherScheme, ""},
        AddressCase{"place:sort=8&maxResults=10", AddressVerdict::kOtherScheme, ""},
        AddressCase{"chrome://settings/", AddressVerdict::kOtherScheme, ""},
        AddressCase{"http:relative", AddressVerdict::kUnreadable, ""},
        AddressCase{"http://bad host/", AddressVerdict::kUnreadable, ""},
        AddressCase{"www.example.jp", AddressVerdict::kUnreadable, ""},
        AddressCase{"http://a.example/\r\nx", AddressVerdict::kUnreadable, ""},
        AddressCase{"", AddressVerdict::kUnreadable, ""},
        // What hides or reorders is kept escaped; in a host it is refused.
        AddressCase{"http://a.example/\u202Egnp.exe", AddressVerdict::kTaken,
                    "http://a.example/%E2%80%AEgnp.exe"},
        AddressCase{"https://a.example/a\u200Bb\u2066?q=\u3000\u3164#\xFF", AddressVerdict::kTaken,
                    "https://a.example/a%E2%80%8Bb%E2%81%A6?q=%E3%80%80%E3%85%A4#%FF"},
        AddressCase{"https://日本.example/お茶", AddressVerdict::kTaken,
                    "https://日本.example/お茶"},
        AddressCase{"http://shop\u202E.example/", AddressVerdict::kUnreadable, ""},
        AddressCase{"http://shop\u200B.example/", AddressVerdict::kUnreadable, ""},
        AddressCase{"http://shop.example/\0http://evil.example/"sv, AddressVerdict::kUnreadable,
                    ""}));

TEST(BookmarkTitleTest, CleanedOfHidingCharactersAndCut) {
  EXPECT_EQ(CleanTitle("\xE2\x80\xAE"
                       "abc\x07\n  def\xEF\xBB\xBF\xE2\x81\xA6 "),
            "abc def");
  const std::string cut = CleanTitle(kLong);
  EXPECT_EQ(g_utf8_strlen(cut.c_str(), -1), 256);
  EXPECT_EQ(cut.substr(cut.size() - 3), "…");
  EXPECT_EQ(CleanTitle(std::string(256, 'x')), std::string(256, 'x'));
}

// What is written is read back as it was, escaped or not; a failed write says so.
TEST_F(BookmarkImportTest, ExportedFileIsReadBackAsWritten) {
  store_->Put("https://a.example/?q=\"<b>\"&x='1'", "<script>alert(\"&amp;\")</script> 'あ'");
  store_->Put("file:///tmp/%E3%81%82.html", "ローカル");
  const std::string path = root_ + "/out.html";
  std::string error;
  ASSERT_TRUE(SaveBookmarksHtml(path, store_->All(), error)) << error;
  EXPECT_EQ(testsupport::ReadFile(path).find("<script>"), std::string::npos);
  const ForeignBookmarks read = ReadBookmarksHtml(testsupport::ReadFile(path));
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.marks.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.marks[i].url, store_->All()[i].url);
    EXPECT_EQ(read.marks[i].title, store_->All()[i].name);
    EXPECT_EQ(read.marks[i].added / G_USEC_PER_SEC, store_->All()[i].added / G_USEC_PER_SEC);
  }
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(SaveBookmarksHtml(root_ + "/no/such/folder/out.html", store_->All(), error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
