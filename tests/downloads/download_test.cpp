// Downloads in a real window: where they are saved, what is never lost, and
// the strip that shows them. Pages are served on 127.0.0.1; each test has a
// Downloads folder of its own.
#include <glib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "browser/permission_bar.h"
#include "downloads/bar.h"
#include "downloads/folder.h"
#include "tests/support/files.h"
#include "window/window_limit.h"
// Last: the X headers define None and more.
#include "tests/support/navigation_support.h"

namespace {

namespace fs = std::filesystem;

using testsupport::ReadFile;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TestHttpServer::Page Attachment(std::string body, const std::string& disposition) {
  TestHttpServer::Page page;
  page.body = std::move(body);
  page.type = "text/csv";
  page.headers = {{"Content-Disposition", disposition}};
  return page;
}

// slow.csv, whose connection stays open after its first 50 000 bytes.
TestHttpServer::Page HeldDownload() {
  TestHttpServer::Page page = Attachment(std::string(200000, 'a'), "attachment; filename=slow.csv");
  page.cut_after = 50000;
  page.hold = true;
  return page;
}

std::vector<TDownloadRow*> Rows(TFormHTML* form) {
  std::vector<TDownloadRow*> rows;
  for (Gtk::Widget* child : form->CppWebBrowser1->get_children()) {
    auto* bar = dynamic_cast<TDownloadBar*>(child);
    if (bar == nullptr) continue;
    for (Gtk::Widget* child : bar->get_children()) {
      auto* row = dynamic_cast<TDownloadRow*>(child);
      if (row != nullptr && row->get_visible()) rows.push_back(row);
    }
  }
  return rows;
}

TDownloadBar* Bar(TFormHTML* form) {
  for (Gtk::Widget* child : form->CppWebBrowser1->get_children()) {
    if (auto* bar = dynamic_cast<TDownloadBar*>(child)) return bar;
  }
  return nullptr;
}

std::vector<TDownload*> Downloads(TFormHTML* form) {
  TDownloadBar* bar = Bar(form);
  return bar != nullptr ? bar->Downloads() : std::vector<TDownload*>{};
}

// A part of `row` by its widget name.
template <typename T>
T& Part(Gtk::Widget& row, const std::string& name) {
  for (Gtk::Widget* child : dynamic_cast<Gtk::Container&>(row).get_children()) {
    if (child->get_name() == name) return dynamic_cast<T&>(*child);
  }
  throw std::runtime_error("no " + name);
}

std::string RowStatus(TDownloadRow* row) {
  return Part<Gtk::Label>(*row, "DownloadStatus").get_text();
}

class DownloadTest : public FormTest {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("tavorin-home-XXXXXX", nullptr);
    home_ = dir;
    g_free(dir);
    folder_ = home_ / "Downloads";
    fs::create_directory(folder_);
    SetDownloadFolder(folder_);
    TDownloadBar::SetLauncher([this](const std::string& uri, std::string*) {
      launched_.push_back(uri);
      return true;
    });
    FormTest::SetUp();
    server_.Add("/report.csv", Attachment("new,data\n", "attachment; filename=\"report.csv\""));
  }
  void TearDown() override {
    FormTest::TearDown();
    TDownloadBar::SetLauncher(nullptr);
    SetDownloadFolder("");
    fs::remove_all(home_);
  }

  void Open(TFormHTML* form, const std::string& path) {
    form->EditURL->set_text(server_.Url(path));
    form->ButtonOpen->clicked();
  }

  // Waits until `form` has `count` downloads that have all ended.
  bool Ended(TFormHTML* form, std::size_t count, int timeout_ms = 5000) {
    return RunUntil(
        [&] {
          std::vector<TDownload*> all = Downloads(form);
          return all.size() == count && std::all_of(all.begin(), all.end(), [](TDownload* d) {
                   return d->state() != TDownload::State::kActive;
                 });
        },
        timeout_ms);
  }

  fs::path home_;
  fs::path folder_;
  std::vector<std::string> launched_;
};

TEST_F(DownloadTest, TheSameNameTwiceKeepsTheUsersFileAndNumbersTheNewOne) {
  std::ofstream(folder_ / "report.csv") << "the user's own\n";
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 1));
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 2));
  RunFor(200);
  EXPECT_EQ(ReadFile(folder_ / "report.csv"), "the user's own\n");
  EXPECT_EQ(ReadFile(folder_ / "report (1).csv"), "new,data\n");
  EXPECT_EQ(ReadFile(folder_ / "report (2).csv"), "new,data\n");
  EXPECT_EQ(Names(folder_),
            (std::set<std::string>{"report.csv", "report (1).csv", "report (2).csv"}));
  EXPECT_EQ(Names(home_), std::set<std::string>{"Downloads"});
  std::vector<TDownloadRow*> rows = Rows(form_);
  EXPECT_EQ(rows[0]->Download().state(), TDownload::State::kDone);
  EXPECT_EQ(Part<Gtk::Label>(*rows[0], "DownloadName").get_text(), "report (1).csv");
  EXPECT_EQ(Part<Gtk::Label>(*rows[1], "DownloadName").get_text(), "report (2).csv");
  EXPECT_EQ(RowStatus(rows[0]), "完了しました（9 B）");
  EXPECT_EQ(webkit_web_view_get_uri(form_->CppWebBrowser1->View()), server_.Url("/home.html"))
      << "the page stays";
  EXPECT_TRUE(launched_.empty()) << "nothing is opened without a click";
}

TEST_F(DownloadTest, ADownloadLinkSavesUnderTheNameItGives) {
  std::ofstream(folder_ / "note.txt") << "mine";
  server_.AddHtml(
      "/page.html",
      R"(<a id="dl" href="/data" download="note.txt" style="display:block;height:40px">get</a>)");
  server_.AddHtml("/data", "downloaded note");
  Open(form_, "/page.html");
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/page.html")));
  ASSERT_TRUE(navtest::ClickElement(form_, "dl"));
  ASSERT_TRUE(Ended(form_, 1));
  EXPECT_EQ(ReadFile(folder_ / "note.txt"), "mine");
  EXPECT_EQ(ReadFile(folder_ / "note (1).txt"), "downloaded note");
  EXPECT_EQ(Names(folder_), (std::set<std::string>{"note.txt", "note (1).txt"}));
}

TEST_F(DownloadTest, AResponseThePageCannotShowIsSaved) {
  TestHttpServer::Page page;
  page.body = std::string(3000, 'z');
  page.type = "application/x-tavorin-test";
  server_.Add("/files/archive.bin", page);
  Open(form_, "/files/archive.bin");
  ASSERT_TRUE(Ended(form_, 1));
  EXPECT_EQ(ReadFile(folder_ / "archive.bin"), page.body);
}

TEST_F(DownloadTest, ADownloadCutOffHalfwayLeavesNothing) {
  TestHttpServer::Page page = Attachment(std::string(200000, 'a'), "attachment; filename=cut.csv");
  page.cut_after = 100000;
  server_.Add("/cut.csv", page);
  Open(form_, "/cut.csv");
  ASSERT_TRUE(Ended(form_, 1));
  TDownloadRow* row = Rows(form_)[0];
  EXPECT_EQ(row->Download().state(), TDownload::State::kFailed);
  EXPECT_EQ(RowStatus(row), "失敗しました: 接続が途中で切れました");
  RunFor(300);
  EXPECT_EQ(Names(folder_), std::set<std::string>{});
  EXPECT_FALSE(Part<Gtk::Button>(*row, "DownloadOpen").get_visible());
  EXPECT_TRUE(Part<Gtk::Button>(*row, "DownloadClose").get_visible());
}

TEST_F(DownloadTest, ADownloadCancelledFromTheStripLeavesNothing) {
  server_.Add("/slow.csv", HeldDownload());
  Open(form_, "/slow.csv");
  ASSERT_TRUE(RunUntil(
      [&] { return Rows(form_).size() == 1 && Rows(form_)[0]->Download().Received() > 0; }));
  TDownloadRow* row = Rows(form_)[0];
  EXPECT_NE(RowStatus(row).find("ダウンロード中"), std::string::npos) << RowStatus(row);
  EXPECT_NE(RowStatus(row).find("%"), std::string::npos) << "the size is known: " << RowStatus(row);
  EXPECT_FALSE(Names(folder_).empty()) << "the data is on its way";
  Gtk::Button& cancel = Part<Gtk::Button>(*row, "DownloadCancel");
  ASSERT_TRUE(RunUntil([&] { return cancel.get_mapped(); }));
  // A click on a busy machine can come before the button has seen the pointer.
  for (int i = 0; i < 3 && !row->Ended(); ++i) {
    ASSERT_TRUE(testsupport::FocusWindow(form_->gobj()));
    navtest::ClickWidget(cancel);
    RunUntil([&] { return row->Ended(); }, 3000);
  }
  ASSERT_TRUE(Ended(form_, 1));
  EXPECT_EQ(row->Download().state(), TDownload::State::kCancelled);
  EXPECT_EQ(RowStatus(row), "キャンセルしました");
  RunFor(300);
  EXPECT_EQ(Names(folder_), std::set<std::string>{});
}

// Closing a window leaves its page, not what it downloads.
TEST_F(DownloadTest, ADownloadGoesOnAfterItsWindowIsClosed) {
  server_.Add("/slow.csv", HeldDownload());
  TFormHTML* second = form_->OpenWindow(TWindowKind::kNormal, *form_);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(RunUntil([&] { return second->get_mapped(); }));
  Open(second, "/slow.csv");
  ASSERT_TRUE(RunUntil(
      [&] { return Rows(second).size() == 1 && Rows(second)[0]->Download().Received() > 0; }));
  testsupport::AskToClose(GDK_WINDOW_XID(second->get_window()->gobj()));
  ASSERT_TRUE(RunUntil([&] { return !second->get_visible(); }));
  ASSERT_TRUE(RunUntil([&] {
    const gchar* uri = webkit_web_view_get_uri(second->CppWebBrowser1->View());
    return uri != nullptr && std::string(uri) == "about:blank";
  }));
  RunFor(500);
  EXPECT_EQ(Rows(second)[0]->Download().state(), TDownload::State::kActive);
  EXPECT_TRUE(StillDownloading(*second->CppWebBrowser1));
}

TEST_F(DownloadTest, AMissingDownloadsFolderIsMade) {
  const fs::path folder = home_ / "new" / "ダウンロード";
  SetDownloadFolder(folder);
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 1));
  EXPECT_EQ(ReadFile(folder / "report.csv"), "new,data\n");
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(DownloadTest, AFolderThatCannotBeMadeIsSaidInTheStrip) {
  std::ofstream(home_ / "blocker") << "a file where the folder would go";
  SetDownloadFolder(home_ / "blocker" / "Downloads");
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 1));
  TDownloadRow* row = Rows(form_)[0];
  EXPECT_EQ(row->Download().state(), TDownload::State::kFailed);
  EXPECT_TRUE(RowStatus(row).starts_with("失敗しました: 保存先のフォルダ")) << RowStatus(row);
  EXPECT_EQ(Names(home_), (std::set<std::string>{"Downloads", "blocker"}));
}

constexpr std::size_t kBig = 3000000;

// How a download ends, from the server's answer and what the user does.
struct Ending {
  const char* name;
  std::optional<std::size_t> cut = std::nullopt;  // after so many of kBig bytes
  bool length = true;                             // announced
  enum class Act { kNone, kCancel, kRetry } act = Act::kNone;
  bool blocked = false;        // the folder cannot be made
  bool users_file = false;     // a file of the user's has the name already
  const char* link = nullptr;  // clicked on a link that gives this name, not the server
  bool form = false;           // the answer to a form's POST
  TDownload::State state = TDownload::State::kDone;
  const char* status = "完了しました（2.9 MB）";                   // its start
  std::map<std::string, std::size_t> saved = {{"end.bin", kBig}};  // name → size
};

using enum TDownload::State;
using enum Ending::Act;
constexpr const char* kCut = "失敗しました: 接続が途中で切れました";

const Ending kEndings[] = {
    {.name = "complete"},
    {.name = "cut_with_length", .cut = 600000, .state = kFailed, .status = kCut, .saved = {}},
    // Without a length the end of the connection is the end of the data.
    {.name = "cut_without_length",
     .cut = 600000,
     .length = false,
     .status = "完了しました（585.9 KB）",
     .saved = {{"end.bin", 600000}}},
    {.name = "cancelled",
     .cut = 50000,
     .act = kCancel,
     .state = kCancelled,
     .status = "キャンセルしました",
     .saved = {}},
    {.name = "failed",
     .blocked = true,
     .state = kFailed,
     .status = "失敗しました: 保存先のフォルダ",
     .saved = {}},
    {.name = "retried", .cut = 600000, .act = kRetry},
    {.name = "retried_to_a_fresh_name",
     .cut = 600000,
     .act = kRetry,
     .users_file = true,
     .saved = {{"end.bin", 4}, {"end (1).bin", kBig}}},
    {.name = "retried_link_keeps_its_name",
     .cut = 600000,
     .act = kRetry,
     .link = "note.txt",
     .saved = {{"note.txt", kBig}}},
    // The address alone may give another file: no retry, and the row says why.
    {.name = "cut_from_a_form_is_not_retried",
     .cut = 600000,
     .form = true,
     .state = kFailed,
     .status = "失敗しました: "
               "接続が途中で切れました（フォームの送信で得たファイルのため再試行できません）",
     .saved = {}},
};

void PrintTo(const Ending& e, std::ostream* out) { *out << e.name; }

class DownloadEndTest : public DownloadTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(DownloadEndTest, EndsAsTheConnectionAndTheUserSay) {
  const Ending& e = GetParam();
  TestHttpServer::Page page =
      Attachment(std::string(kBig, 'e'), "attachment; filename=\"end.bin\"");
  page.type = "application/octet-stream";
  page.cut_after = e.cut;
  page.announce_length = e.length;
  page.hold = e.act == kCancel;
  if (e.link != nullptr) page.headers.clear();
  server_.Add("/end.bin", page);
  if (e.users_file || e.blocked) std::ofstream(folder_ / "end.bin") << "mine";
  if (e.blocked) SetDownloadFolder(folder_ / "end.bin" / "Downloads");
  if (e.link != nullptr || e.form) {
    server_.AddHtml("/page.html",
                    e.form ? R"(<form method="post" action="/end.bin"><input name="q" value="k">
                       <button id="dl" style="height:40px">get</button></form>)"
                           : std::string(R"(<a id="dl" href="/end.bin" download=")") + e.link +
                                 R"(" style="display:block;height:40px">get</a>)");
    Open(form_, "/page.html");
    ASSERT_TRUE(WaitForPage(form_, server_.Url("/page.html")));
    ASSERT_TRUE(navtest::ClickElement(form_, "dl"));
  } else {
    Open(form_, "/end.bin");
  }
  ASSERT_TRUE(RunUntil([&] { return Rows(form_).size() == 1; }));
  TDownloadRow* row = Rows(form_)[0];
  if (e.act == kCancel) {
    ASSERT_TRUE(RunUntil([&] { return row->Download().Received() > 0; }));
    Part<Gtk::Button>(*row, "DownloadCancel").clicked();
  }
  ASSERT_TRUE(Ended(form_, 1, 20000));
  if (e.act == kRetry) {
    ASSERT_EQ(RowStatus(row), kCut);
    page.cut_after.reset();
    server_.Add("/end.bin", page);
    Gtk::Button& retry = Part<Gtk::Button>(*row, "DownloadRetry");
    ASSERT_TRUE(retry.get_visible());
    retry.clicked();
    EXPECT_TRUE(Downloads(form_).empty()) << "the failed row gives way";
    ASSERT_TRUE(Ended(form_, 1, 20000));
    EXPECT_EQ(std::count(server_.Requests().begin(), server_.Requests().end(), "/end.bin"), 2);
    row = Rows(form_)[0];
  }
  EXPECT_EQ(row->Download().state(), e.state);
  EXPECT_TRUE(RowStatus(row).starts_with(e.status)) << RowStatus(row);
  EXPECT_EQ(Part<Gtk::Button>(*row, "DownloadRetry").get_visible(), e.state == kFailed && !e.form);
  EXPECT_EQ(Part<Gtk::Button>(*row, "DownloadOpen").get_visible(), e.state == kDone);
  RunFor(300);
  std::map<std::string, std::size_t> saved;
  for (const std::string& name : Names(folder_)) saved[name] = fs::file_size(folder_ / name);
  if (e.blocked) saved.erase("end.bin");
  EXPECT_EQ(saved, e.saved) << "and no temporary file";
}

INSTANTIATE_TEST_SUITE_P(Endings, DownloadEndTest, ::testing::ValuesIn(kEndings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, TheStripShowsThreeRowsAndFoldsTheRestIntoTheList) {
  server_.Add("/slow.csv", HeldDownload());
  Open(form_, "/slow.csv");
  ASSERT_TRUE(RunUntil([&] { return Downloads(form_).size() == 1; }));
  for (std::size_t n = 2; n <= 5; ++n) {
    Open(form_, "/report.csv");
    ASSERT_TRUE(RunUntil([&] { return Downloads(form_).size() == n; }));
  }
  ASSERT_TRUE(RunUntil([&] { return Downloads(form_)[4]->state() == TDownload::State::kDone; }));
  TDownloadBar* bar = Bar(form_);
  std::vector<TDownloadRow*> rows = Rows(form_);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(&rows[0]->Download(), Downloads(form_)[2]) << "the newest show";
  Gtk::Button& more = Part<Gtk::Button>(Part<Gtk::Box>(*bar, "DownloadFold"), "DownloadMore");
  EXPECT_TRUE(more.is_visible());
  EXPECT_EQ(more.get_label(), "他 2 件");

  more.clicked();
  TDownloadList& list = bar->List();
  ASSERT_TRUE(RunUntil([&] { return list.get_mapped(); }));
  ASSERT_EQ(list.Rows().size(), 5u);
  EXPECT_EQ(&list.Rows()[0]->Download(), Downloads(form_)[0]);
  EXPECT_TRUE(Part<Gtk::Button>(*list.Rows()[0], "DownloadCancel").get_visible());
  Part<Gtk::Button>(*list.Rows()[1], "DownloadClose").clicked();
  ASSERT_TRUE(RunUntil([&] { return list.Rows().size() == 4; }));
  EXPECT_EQ(more.get_label(), "他 1 件");
  EXPECT_EQ(Rows(form_).size(), 3u);

  Gtk::Button& clear = Part<Gtk::Button>(*list.get_child(), "DownloadListClear");
  EXPECT_EQ(clear.get_label(), "完了したものを消去");
  clear.clicked();
  ASSERT_TRUE(RunUntil([&] { return Downloads(form_).size() == 1; }));
  EXPECT_EQ(Downloads(form_)[0]->state(), TDownload::State::kActive) << "a running one stays";
  EXPECT_TRUE(RunUntil([&] { return list.Rows().size() == 1; }));
  EXPECT_FALSE(more.is_visible());
  EXPECT_EQ(Rows(form_).size(), 1u);
  EXPECT_EQ(Names(folder_).count("report.csv"), 1u) << "clearing a row keeps its file";
}

// A page that fills itself with frames, each answering with a file.
std::string FramesPage(int frames) {
  return R"(<a id="dl" href="/report.csv" download style="display:block;height:40px">get</a>
<script>onload = () => { for (let i = 0; i < )" +
         std::to_string(frames) + R"(; ++i) {
  const f = document.createElement('iframe'); f.src = '/f' + i + '.csv'; document.body.append(f);
} }</script>)";
}

TPermissionBar* Question(TFormHTML* form) {
  for (Gtk::Widget* child : form->CppWebBrowser1->get_children()) {
    auto* bar = dynamic_cast<TPermissionBar*>(child);
    if (bar != nullptr && bar->get_visible()) return bar;
  }
  return nullptr;
}

struct FloodCase {
  const char* name;
  const char* button;  // the answer
  std::size_t saved;   // of the four frames' files, and again when the page comes again
  bool asked_again;    // when the page comes again
};

const FloodCase kFloods[] = {
    {"allowed", "PermissionAllow", 4, false},
    {"denied", "PermissionDeny", 1, false},
    {"dismissed", "PermissionClose", 1, true},
};

void PrintTo(const FloodCase& c, std::ostream* out) { *out << c.name; }

class DownloadFloodTest : public DownloadTest, public ::testing::WithParamInterface<FloodCase> {};

TEST_P(DownloadFloodTest, FurtherDownloadsWithoutAClickWaitForTheAnswer) {
  const FloodCase& c = GetParam();
  server_.AddHtml("/frames.html", FramesPage(4));
  for (int i = 0; i < 4; ++i) {
    const std::string name = "f" + std::to_string(i) + ".csv";
    server_.Add("/" + name, Attachment(name, "attachment; filename=" + name));
  }
  for (std::size_t visit = 1; visit <= 2; ++visit) {
    SCOPED_TRACE(visit);
    const std::size_t before = Downloads(form_).size();
    Open(form_, "/frames.html");
    if (visit == 1 || c.asked_again) {
      ASSERT_TRUE(RunUntil([&] { return Question(form_) != nullptr; }, 10000));
      ASSERT_TRUE(Ended(form_, before + 1));
      RunFor(300);
      EXPECT_EQ(Downloads(form_).size(), before + 1) << "the others wait";
      EXPECT_EQ(Part<Gtk::Label>(*Question(form_), "PermissionMessage").get_text(),
                "このサイトが複数のファイルをダウンロードしようとしています");
      Part<Gtk::Button>(*Question(form_), c.button).clicked();
      EXPECT_EQ(Question(form_), nullptr) << "one answer for all of them";
    } else {
      ASSERT_TRUE(Ended(form_, before + c.saved, 10000));
      RunFor(500);
      EXPECT_EQ(Question(form_), nullptr) << "the site's answer holds";
    }
    ASSERT_TRUE(Ended(form_, visit * c.saved, 10000));
    RunFor(300);
    EXPECT_EQ(Names(folder_).size(), visit * c.saved) << "and nothing left of the others";
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, DownloadFloodTest, ::testing::ValuesIn(kFloods),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, DownloadsTheUserClicksForAreNeverHeld) {
  server_.AddHtml("/frames.html", FramesPage(1));
  server_.Add("/f0.csv", Attachment("f0", "attachment; filename=f0.csv"));
  Open(form_, "/frames.html");
  ASSERT_TRUE(Ended(form_, 1));
  for (std::size_t n = 2; n <= 3; ++n) {
    ASSERT_TRUE(navtest::ClickElement(form_, "dl"));
    ASSERT_TRUE(Ended(form_, n));
  }
  EXPECT_EQ(Question(form_), nullptr);
  EXPECT_EQ(Names(folder_), (std::set<std::string>{"f0.csv", "report.csv", "report (1).csv"}));
}

TEST_F(DownloadTest, APageThatReloadsItselfDoesNotGetAnotherFirstDownload) {
  server_.AddHtml("/again.html", R"(<script>onload = () => {
  const f = document.createElement('iframe'); f.src = '/f0.csv'; document.body.append(f);
  if (!sessionStorage.again) { sessionStorage.again = 1; setTimeout(() => location.reload(), 300); }
}</script>)");
  server_.Add("/f0.csv", Attachment("f0", "attachment; filename=f0.csv"));
  Open(form_, "/again.html");
  ASSERT_TRUE(RunUntil([&] { return Question(form_) != nullptr; }, 10000));
  EXPECT_EQ(Downloads(form_).size(), 1u);
}

struct HostileName {
  const char* disposition;
  const char* saved_as;
};

TEST_F(DownloadTest, HostileNamesLandSafelyInTheDownloadsFolder) {
  // The engine makes some of them safe itself, and adds the type's extension.
  const HostileName cases[] = {
      {"attachment; filename=\"../../.bashrc\"", "bashrc.csv"},
      {"attachment; filename*=UTF-8''..%2F..%2F.bashrc", "bashrc (1).csv"},
      {"attachment; filename=\"a/b.txt\"", "b.txt"},
      {"attachment; filename=\".hidden\"", "hidden.csv"},
      {"attachment; filename*=UTF-8''evil%01%0A%1B.txt", "evil___.txt"},
      {"attachment; filename*=UTF-8''%E2%80%AEfdp.exe", "_fdp.exe"},
  };
  std::size_t n = 0;
  std::set<std::string> expected;
  for (const HostileName& c : cases) {
    const std::string path = "/hostile" + std::to_string(n++);
    server_.Add(path, Attachment("x", c.disposition));
    Open(form_, path);
    ASSERT_TRUE(Ended(form_, n)) << c.disposition;
    EXPECT_EQ(Downloads(form_).back()->Name(), c.saved_as) << c.disposition;
    expected.insert(c.saved_as);
    EXPECT_EQ(Names(home_), std::set<std::string>{"Downloads"}) << c.disposition;
  }
  RunFor(200);
  EXPECT_EQ(Names(folder_), expected);
}

TEST_F(DownloadTest, ATargetBlankLinkToAFileLeavesNoEmptyWindow) {
  server_.AddHtml("/links.html",
                  R"(<a id="blank" href="/report.csv" target="_blank"
                     style="display:block;height:40px">report</a>)");
  Open(form_, "/links.html");
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/links.html")));
  ASSERT_TRUE(navtest::ClickElement(form_, "blank"));
  ASSERT_TRUE(Ended(form_, 1)) << "the download shows where the link was clicked";
  ASSERT_EQ(Application->Forms().size(), 2u);
  auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
  EXPECT_TRUE(RunUntil([&] { return !opened->get_visible(); }));
  EXPECT_TRUE(Rows(opened).empty());
  EXPECT_TRUE(form_->get_visible());
  EXPECT_EQ(ReadFile(folder_ / "report.csv"), "new,data\n");
}

TEST_F(DownloadTest, AWindowThatShowedAPageStaysForItsDownload) {
  server_.AddHtml("/links.html",
                  R"(<a id="blank" href="/later.html" target="_blank"
                     style="display:block;height:40px">later</a>)");
  server_.AddHtml("/later.html", "<script>onload = () => location = '/report.csv'</script>");
  Open(form_, "/links.html");
  ASSERT_TRUE(WaitForPage(form_, server_.Url("/links.html")));
  ASSERT_TRUE(navtest::ClickElement(form_, "blank"));
  ASSERT_TRUE(RunUntil([&] { return Application->Forms().size() == 2; }));
  auto* opened = dynamic_cast<TFormHTML*>(Application->Forms().back());
  ASSERT_TRUE(Ended(opened, 1));
  RunFor(200);
  EXPECT_TRUE(opened->get_visible());
  EXPECT_TRUE(Rows(form_).empty());
}

// Tab from the last button above the page reaches the strip.
void TabIntoStrip(TFormHTML* form) {
  ASSERT_TRUE(testsupport::FocusWindow(form->gobj()));
  form->BitBtn5->grab_focus();
  testsupport::FakeKey(XK_Tab, true);
  testsupport::FakeKey(XK_Tab, false);
  RunFor(100);
}

void Press(guint keysym) {
  testsupport::FakeKey(keysym, true);
  testsupport::FakeKey(keysym, false);
  RunFor(150);
}

TEST_F(DownloadTest, TheStripIsAnnouncedAndWorksFromTheKeyboard) {
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 1));
  TDownloadRow* row = Rows(form_)[0];
  AtkObject* accessible = gtk_widget_get_accessible(GTK_WIDGET(row->gobj()));
  EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_NOTIFICATION);
  EXPECT_EQ(std::string(atk_object_get_name(accessible)), "report.csv: 完了しました（9 B）");
  const std::pair<const char*, const char*> names[] = {{"DownloadCancel", "キャンセル"},
                                                       {"DownloadOpen", "開く"},
                                                       {"DownloadFolder", "フォルダを開く"},
                                                       {"DownloadClose", "閉じる"}};
  for (auto [part, name] : names) {
    Gtk::Widget& button = Part<Gtk::Button>(*row, part);
    EXPECT_EQ(std::string(atk_object_get_name(gtk_widget_get_accessible(button.gobj()))), name);
  }
  TabIntoStrip(form_);
  EXPECT_TRUE(Part<Gtk::Button>(*row, "DownloadOpen").has_focus());
  Press(XK_Tab);
  ASSERT_TRUE(Part<Gtk::Button>(*row, "DownloadFolder").has_focus());
  EXPECT_TRUE(launched_.empty());
  Press(XK_space);
  EXPECT_EQ(launched_, std::vector<std::string>{"file://" + folder_.string()});
  Press(XK_Escape);
  EXPECT_TRUE(RunUntil([&] { return Rows(form_).empty() && !Bar(form_)->get_visible(); }));
  EXPECT_TRUE(RunUntil([&] { return Bar(form_)->Downloads().empty(); }));
}

TEST_F(DownloadTest, OpenHandsTheSavedFileToTheDesktop) {
  Open(form_, "/report.csv");
  ASSERT_TRUE(Ended(form_, 1));
  Part<Gtk::Button>(*Rows(form_)[0], "DownloadOpen").clicked();
  EXPECT_EQ(launched_, std::vector<std::string>{"file://" + (folder_ / "report.csv").string()});
}

TEST_F(DownloadTest, EscapeLeavesARunningDownloadAlone) {
  server_.Add("/slow.csv", HeldDownload());
  Open(form_, "/slow.csv");
  ASSERT_TRUE(RunUntil([&] { return Rows(form_).size() == 1; }));
  TabIntoStrip(form_);
  TDownloadRow* row = Rows(form_)[0];
  ASSERT_TRUE(Part<Gtk::Button>(*row, "DownloadCancel").has_focus());
  Press(XK_Escape);
  EXPECT_EQ(Rows(form_).size(), 1u);
  EXPECT_EQ(row->Download().state(), TDownload::State::kActive);
  Press(XK_Return);
  ASSERT_TRUE(Ended(form_, 1));
  EXPECT_EQ(row->Download().state(), TDownload::State::kCancelled);
}

}  // namespace

TAVORIN_GUI_TEST_MAIN()
