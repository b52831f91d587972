// The program itself, started as a process the way the desktop starts it, in
// a private home with private XDG folders: what pages store lasts, the files
// holding it stay the user's own, a second start hands over to the first, and
// the command line and the settings file decide what the windows show. What
// the program does is seen from the test's web server and the X server.
#include <X11/Xatom.h>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "app/handover_message.h"
#include "settings/rendering_path.h"
#include "tests/support/files.h"
#include "tests/support/gui_test.h"
#include "tests/support/http_server.h"
#include "tests/support/not_regular_files.h"
#include "tests/support/private_folders.h"
#include "tests/support/secret_search.h"
#include "tests/support/x_input.h"
#include "window/window_limit.h"

namespace {

constexpr char kTitle[] = "Tavorinのお役立ちブラウザ";
constexpr int kProgramTimeoutMs = 30000;

using testsupport::ReadFile;

int Mode(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// One run of the program; it is killed if it still runs at the end.
class Program {
 public:
  Program(const std::string& root, const std::vector<std::string>& args, int serial) {
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE);
    for (const auto& [name, folder] : {std::pair{"HOME", "home"},
                                       {"XDG_DATA_HOME", "data"},
                                       {"XDG_CACHE_HOME", "cache"},
                                       {"XDG_CONFIG_HOME", "config"},
                                       {"XDG_RUNTIME_DIR", "runtime"},
                                       {"TMPDIR", "tmp"}}) {
      g_subprocess_launcher_setenv(launcher, name, (root + "/" + folder).c_str(), TRUE);
    }
    out_ = root + "/out-" + std::to_string(serial);
    err_ = root + "/err-" + std::to_string(serial);
    g_subprocess_launcher_set_stdout_file_path(launcher, out_.c_str());
    g_subprocess_launcher_set_stderr_file_path(launcher, err_.c_str());
    std::vector<const char*> argv{TAVORIN_BINARY};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    process_ = g_subprocess_launcher_spawnv(launcher, argv.data(), nullptr);
    g_object_unref(launcher);
    if (process_ == nullptr) {
      *ended_ = true;
      return;
    }
    g_subprocess_wait_async(process_, nullptr, &Program::Ended, new std::shared_ptr<bool>(ended_));
  }
  ~Program() {
    if (process_ == nullptr) return;
    if (!*ended_) g_subprocess_force_exit(process_);
    RunUntil([&] { return *ended_; });
    g_object_unref(process_);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return process_ != nullptr; }
  bool Running() const { return !*ended_; }
  bool WaitForEnd() {
    return RunUntil([&] { return *ended_; }, kProgramTimeoutMs);
  }
  // The exit status, or -1 when it did not exit by itself.
  int ExitStatus() const {
    return *ended_ && g_subprocess_get_if_exited(process_) ? g_subprocess_get_exit_status(process_)
                                                           : -1;
  }
  bool Killed() const { return *ended_ && g_subprocess_get_if_signaled(process_); }
  void Kill() { g_subprocess_send_signal(process_, SIGKILL); }
  pid_t Pid() const { return static_cast<pid_t>(std::stol(g_subprocess_get_identifier(process_))); }
  std::string Output() const { return ReadFile(out_); }
  std::string Errors() const { return ReadFile(err_); }

 private:
  static void Ended(GObject*, GAsyncResult*, gpointer data) {
    std::unique_ptr<std::shared_ptr<bool>> ended(static_cast<std::shared_ptr<bool>*>(data));
    **ended = true;
  }

  GSubprocess* process_ = nullptr;
  std::shared_ptr<bool> ended_ = std::make_shared<bool>(false);
  std::string out_, err_;
};

// A property of `window` as text or number; empty or -1 when it has none.
std::string TextProperty(Display* display, Window window, const char* name) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                     AnyPropertyType, &type, &format, &count, &after, &data);
  std::string text = data != nullptr && format == 8 ? std::string((char*)data, count) : "";
  if (data != nullptr) XFree(data);
  return text;
}

long NumberProperty(Display* display, Window window, const char* name) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, XA_CARDINAL,
                     &type, &format, &count, &after, &data);
  const long number = data != nullptr && count == 1 ? *reinterpret_cast<long*>(data) : -1;
  if (data != nullptr) XFree(data);
  return number;
}

std::vector<Window> ShownWindowsOf(pid_t pid) {
  Display* display = testsupport::DefaultXDisplay();
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  std::vector<Window> shown;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    return shown;
  }
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
    if (attributes.map_state != IsViewable) continue;
    if (NumberProperty(display, children[i], "_NET_WM_PID") != pid) continue;
    if (TextProperty(display, children[i], "_NET_WM_NAME") != kTitle) continue;
    shown.push_back(children[i]);
  }
  if (children != nullptr) XFree(children);
  return shown;
}

// The browser windows that `pid` shows on the screen. Windows of other
// processes come and go meanwhile: their errors are ignored.
std::vector<Window> WindowsOf(pid_t pid) {
  GdkDisplay* gdk_display = gdk_display_get_default();
  gdk_x11_display_error_trap_push(gdk_display);
  std::vector<Window> shown = ShownWindowsOf(pid);
  gdk_x11_display_error_trap_pop_ignored(gdk_display);
  return shown;
}

// The processes started for `root` (the program's and the engine's own).
std::vector<pid_t> ProcessesFor(const std::string& root) {
  std::vector<pid_t> found;
  const std::string marker = "XDG_DATA_HOME=" + root + "/data";
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string environment = ReadFile(entry.path().string() + "/environ");
    if (environment.find(marker + '\0') != std::string::npos) found.push_back(std::stoi(name));
  }
  return found;
}

// Sends `bytes` to the hand-over socket at `path` as a later start would, and
// returns the answer; with `stall`, the end of the message never comes.
std::string SendToRunningCopy(const std::string& path, const std::string& bytes, bool stall) {
  GSocket* socket =
      g_socket_new(G_SOCKET_FAMILY_UNIX, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_DEFAULT, nullptr);
  g_socket_set_timeout(socket, kProgramTimeoutMs / 1000);
  GSocketAddress* address = g_unix_socket_address_new(path.c_str());
  std::string answer;
  if (g_socket_connect(socket, address, nullptr, nullptr)) {
    // An oversized message is cut off by the running copy: the rest may not go.
    for (std::size_t sent = 0; sent < bytes.size();) {
      const gssize n =
          g_socket_send(socket, bytes.data() + sent, bytes.size() - sent, nullptr, nullptr);
      if (n <= 0) break;
      sent += std::size_t(n);
    }
    if (!stall) g_socket_shutdown(socket, FALSE, TRUE, nullptr);
    char chunk[16];
    for (gssize n; (n = g_socket_receive(socket, chunk, sizeof chunk, nullptr, nullptr)) > 0;) {
      answer.append(chunk, std::size_t(n));
    }
  }
  g_object_unref(address);
  g_object_unref(socket);
  return answer;
}

// A page that stores a cookie lasting a day and a local storage item, then
// tells the server it did.
TestHttpServer::Page StoringPage(const std::string& cookie, const std::string& item) {
  TestHttpServer::Page page;
  page.body = "<title>store</title><script>localStorage.setItem('" + item +
              "', 'kept'); fetch('/stored-" + item + "');</script>stored";
  page.headers.push_back({"Set-Cookie", cookie + "; Max-Age=86400; Path=/"});
  return page;
}

constexpr char kCheckingPage[] = R"html(<title>check</title><script>
fetch('/report?' + Object.keys(localStorage).sort().map(k => k + '=' + localStorage[k]).join('&'));
</script>checking)html";

// How the first run ends: the user closes it, the session ends it (SIGTERM),
// or it is killed.
enum class Ending { kClose, kTerminate, kKill };

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::MakePrivateRoot();
    server_.AddHtml("/home.html", "<title>home</title>home");
    server_.AddHtml("/other.html", "<title>other</title>other");
    server_.AddHtml("/check.html", kCheckingPage);
    server_.Add("/store-a.html", StoringPage("a=1", "a"));
    server_.Add("/store-b.html", StoringPage("b=2", "b"));
  }
  void TearDown() override {
    programs_.clear();
    WaitForEngineToEnd();
    testsupport::RemoveTree(root_);
  }

  Program& Start(const std::vector<std::string>& args = {}) {
    programs_.push_back(std::make_unique<Program>(root_, args, int(programs_.size())));
    EXPECT_TRUE(programs_.back()->Started());
    return *programs_.back();
  }

  // A run of the program that ended leaves no process on its profile behind.
  void WaitForEngineToEnd() {
    if (!RunUntil([&] { return ProcessesFor(root_).empty(); }, 15000)) {
      for (pid_t pid : ProcessesFor(root_)) kill(pid, SIGKILL);
      ADD_FAILURE() << "processes of the program outlived it";
    }
  }

  void WriteSettings(const std::string& text) {
    std::filesystem::create_directories(root_ + "/config/tavorin");
    std::ofstream(root_ + "/config/tavorin/tavorin.conf") << text;
  }
  void SetHomePage() { WriteSettings("[Tavorin]\nhome-page=" + server_.Url("/home.html") + "\n"); }

  int Asked(const std::string& path) const {
    return int(std::count(server_.Requests().begin(), server_.Requests().end(), path));
  }
  bool WaitUntilAsked(const std::string& path, int times = 1) {
    return RunUntil([&] { return Asked(path) >= times; }, kProgramTimeoutMs);
  }
  // The Cookie header of the last request for `path`.
  std::string CookiesSentWith(const std::string& path) const {
    for (std::size_t i = server_.Requests().size(); i-- > 0;) {
      if (server_.Requests()[i] != path) continue;
      auto cookie = server_.RequestHeaders()[i].find("cookie");
      return cookie != server_.RequestHeaders()[i].end() ? cookie->second : "";
    }
    return "";
  }
  // What a fresh run finds of the stored items, as the checking page reports it.
  std::string ReportedStorage() {
    for (const std::string& r : server_.Requests()) {
      if (r.starts_with("/report?")) return r.substr(8);
    }
    return "<no report>";
  }
  bool WaitForWindows(const Program& program, std::size_t count) {
    return RunUntil([&] { return WindowsOf(program.Pid()).size() == count; }, kProgramTimeoutMs);
  }
  // Closes every window as the user would; closing the main one ends the program.
  bool Close(Program& program) {
    for (Window w : WindowsOf(program.Pid())) testsupport::AskToClose(w);
    return program.WaitForEnd() && program.ExitStatus() == 0;
  }

  void End(Program& program, Ending ending) {
    switch (ending) {
      case Ending::kClose:
        ASSERT_TRUE(Close(program));
        break;
      case Ending::kTerminate:
        kill(program.Pid(), SIGTERM);
        ASSERT_TRUE(program.WaitForEnd());
        EXPECT_EQ(program.ExitStatus(), 0);
        break;
      case Ending::kKill:
        program.Kill();
        ASSERT_TRUE(program.WaitForEnd());
        EXPECT_TRUE(program.Killed());
        break;
    }
  }

  std::string Data(const std::string& name = "") const { return root_ + "/data/tavorin/" + name; }

  std::string root_;
  TestHttpServer server_;
  std::vector<std::unique_ptr<Program>> programs_;
};

class LastingDataTest : public ProgramTest, public ::testing::WithParamInterface<Ending> {
 protected:
  void End(Program& program) { ProgramTest::End(program, GetParam()); }
};

TEST_P(LastingDataTest, ACookieAndLocalStorageAreThereInTheNextRun) {
  Program& first = Start({server_.Url("/store-a.html")});
  ASSERT_TRUE(WaitUntilAsked("/stored-a"));
  RunFor(1000);
  End(first);
  WaitForEngineToEnd();
  // Only a killed run leaves its socket behind; the next run must not take
  // it for a live copy.
  EXPECT_EQ(std::filesystem::exists(Data("instance")), GetParam() == Ending::kKill);
  Program& second = Start({server_.Url("/check.html")});
  ASSERT_TRUE(RunUntil([&] { return ReportedStorage() != "<no report>"; }, kProgramTimeoutMs));
  EXPECT_EQ(CookiesSentWith("/check.html"), "a=1");
  EXPECT_EQ(ReportedStorage(), "a=kept");
  EXPECT_TRUE(Close(second));
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& info) {
  constexpr const char* kNames[] = {"Close", "Terminate", "Kill"};
  return kNames[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EndedBy, LastingDataTest,
                         ::testing::Values(Ending::kClose, Ending::kTerminate, Ending::kKill),
                         EndingName);

TEST_F(ProgramTest, TheProfileIsTheUsersOwnAndLooseModesAreNarrowed) {
  // Left open to others by an earlier version, or by hand.
  std::filesystem::create_directories(Data("localstorage"));
  std::ofstream(Data("localstorage/old.localstorage")) << "token";
  chmod(Data().c_str(), 0755);
  chmod(Data("localstorage").c_str(), 0755);
  chmod(Data("localstorage/old.localstorage").c_str(), 0644);
  Program& program = Start({server_.Url("/store-a.html")});
  ASSERT_TRUE(WaitUntilAsked("/stored-a"));
  EXPECT_EQ(Mode(Data()), 0700);
  EXPECT_EQ(Mode(root_ + "/cache/tavorin"), 0700);
  EXPECT_EQ(Mode(Data("cookies.sqlite")), 0600);
  EXPECT_EQ(Mode(Data("lock")), 0600);
  EXPECT_EQ(Mode(Data("localstorage")), 0700);
  EXPECT_EQ(Mode(Data("localstorage/old.localstorage")), 0600);
  ASSERT_TRUE(Close(program));
  WaitForEngineToEnd();
  EXPECT_EQ(Mode(Data("cookies.sqlite")), 0600);  // after the engine wrote to it
  EXPECT_NE(ReadFile(Data("cookies.sqlite")).find("a"), std::string::npos);
}

TEST_F(ProgramTest, ASecondStartHandsOverToTheFirstAndNoCookieIsLost) {
  SetHomePage();
  Program& first = Start({server_.Url("/store-a.html")});
  ASSERT_TRUE(WaitUntilAsked("/stored-a"));
  ASSERT_TRUE(WaitForWindows(first, 1));
  Program& second = Start({server_.Url("/store-b.html")});
  ASSERT_TRUE(second.WaitForEnd());
  EXPECT_EQ(second.ExitStatus(), 0);
  EXPECT_TRUE(WaitUntilAsked("/stored-b"));  // loaded by the first copy
  EXPECT_TRUE(WaitForWindows(first, 2));
  // Started with no address: a new window with the home page.
  Program& third = Start();
  ASSERT_TRUE(third.WaitForEnd());
  EXPECT_EQ(third.ExitStatus(), 0);
  EXPECT_TRUE(WaitUntilAsked("/home.html"));
  EXPECT_TRUE(WaitForWindows(first, 3));
  EXPECT_EQ(Asked("/home.html"), 1);
  ASSERT_TRUE(Close(first));
  WaitForEngineToEnd();
  Program& last = Start({server_.Url("/check.html")});
  ASSERT_TRUE(RunUntil([&] { return ReportedStorage() != "<no report>"; }, kProgramTimeoutMs));
  EXPECT_EQ(CookiesSentWith("/check.html"), "a=1; b=2");
  EXPECT_EQ(ReportedStorage(), "a=kept&b=kept");
  EXPECT_TRUE(Close(last));
}

TEST_F(ProgramTest, WithNoAddressTheMainWindowShowsTheHomePageOfTheSettings) {
  SetHomePage();
  Program& program = Start();
  ASSERT_TRUE(WaitUntilAsked("/home.html"));
  ASSERT_TRUE(WaitForWindows(program, 1));
  RunFor(500);
  EXPECT_EQ(WindowsOf(program.Pid()).size(), 1u);
  EXPECT_EQ(program.Errors().find("tavorin: 設定ファイル"), std::string::npos);
  EXPECT_TRUE(Close(program));
}

TEST_F(ProgramTest, AnAddressLoadsInPlaceOfTheHomePageAndEachFurtherOneInAWindowOfItsOwn) {
  SetHomePage();
  struct Case {
    std::vector<std::string> paths;
  };
  for (const Case& c : {Case{{"/other.html"}}, Case{{"/other.html", "/check.html"}}}) {
    std::vector<std::string> addresses;
    for (const std::string& path : c.paths) addresses.push_back(server_.Url(path));
    Program& program = Start(addresses);
    for (const std::string& path : c.paths) ASSERT_TRUE(WaitUntilAsked(path));
    EXPECT_TRUE(WaitForWindows(program, c.paths.size()));
    RunFor(500);
    EXPECT_EQ(WindowsOf(program.Pid()).size(), c.paths.size());
    EXPECT_EQ(Asked("/home.html"), 0);
    ASSERT_TRUE(Close(program));
    WaitForEngineToEnd();
  }
}

TEST_F(ProgramTest, HelpAndVersionArePrintedAndTheProgramEnds) {
  struct Case {
    const char* option;
    std::string output;
    int status;
  };
  const Case cases[] = {
      {"--help", "使い方: tavorin [オプション] [アドレス...]\n", 0},
      {"--version", std::string("tavorin ") + TAVORIN_VERSION + "\n", 0},
      {"--no-such-option", "", 2},
  };
  for (const Case& c : cases) {
    Program& program = Start({c.option});
    ASSERT_TRUE(program.WaitForEnd()) << c.option;
    EXPECT_EQ(program.ExitStatus(), c.status) << c.option;
    EXPECT_EQ(program.Output().substr(0, c.output.size()), c.output) << c.option;
    if (c.status != 0) {
      EXPECT_NE(program.Errors().find(c.option), std::string::npos);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(Data()));  // none of them touched the profile
}

// The lines of `text` that start with `start`.
int LinesStartingWith(const std::string& text, const std::string& start) {
  int count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) count += line.starts_with(start);
  return count;
}

TEST_F(ProgramTest, AFaultySettingsFileIsSaidInOneLineAndTheProgramStarts) {
  struct Case {
    const char* name;
    std::function<void()> make;
    int lines;
    bool not_a_file = false;  // said as a broken store is, over the window too
  };
  const std::string file = root_ + "/config/tavorin/tavorin.conf";
  const Case cases[] = {
      {"missing, as on a new install", [] {}, 0},
      {"empty", [&] { WriteSettings(""); }, 1},
      {"malformed", [&] { WriteSettings("[Tavorin\nhome-page\n"); }, 1},
      {"unreadable", [&] { std::filesystem::create_directories(file); }, 1, true},
      {"a FIFO", [&] { testsupport::PlaceNotRegular(file, testsupport::NotRegular::kFifo); }, 1,
       true},
      {"a script for a home page",
       [&] { WriteSettings("[Tavorin]\nhome-page=javascript:alert(1)\n"); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(root_ + "/config/tavorin");
    c.make();
    Program& program = Start();
    ASSERT_TRUE(WaitForWindows(program, 1));
    const std::string line =
        c.not_a_file ? "tavorin: 設定ファイル (" + file + "): 通常のファイルではありません"
                     : "tavorin: 設定ファイル " + file + ": ";
    EXPECT_EQ(LinesStartingWith(program.Errors(), line), c.lines) << program.Errors();
    EXPECT_EQ(LinesStartingWith(program.Errors(), "tavorin: 設定ファイル"), c.lines);
    ASSERT_TRUE(Close(program));
    WaitForEngineToEnd();
  }
}

// A FIFO where the windows are kept would hold the start for ever: the main
// window shows at once, the file is said, and the FIFO stays as it was.
TEST_F(ProgramTest, AFifoInPlaceOfTheKeptWindowsIsSaidAndTheStartGoesOn) {
  SetHomePage();
  const std::string kept = Data("session.ini");
  ASSERT_TRUE(testsupport::PlaceNotRegular(kept, testsupport::NotRegular::kFifo));
  Program& program = Start();
  ASSERT_TRUE(WaitForWindows(program, 1));
  EXPECT_TRUE(WaitUntilAsked("/home.html"));
  EXPECT_TRUE(RunUntil([&] {
    return LinesStartingWith(program.Errors(),
                             "tavorin: ウィンドウの状態 (" + kept +
                                 "): 通常のファイルではないため読みませんでした") == 1;
  })) << program.Errors();
  ASSERT_TRUE(Close(program));
  EXPECT_EQ(std::filesystem::symlink_status(kept).type(), std::filesystem::file_type::fifo);
}

TEST_F(ProgramTest, AStartOpensAtMostTwentyWindowsAndSaysHowManyAddressesItLeft) {
  std::vector<std::string> addresses;
  for (int i = 0; i < 25; ++i) addresses.push_back(server_.Url("/other.html#" + std::to_string(i)));
  Program& program = Start(addresses);
  ASSERT_TRUE(WaitForWindows(program, kMaxWindowsPerRequest));
  RunFor(1000);
  EXPECT_EQ(WindowsOf(program.Pid()).size(), kMaxWindowsPerRequest);
  EXPECT_EQ(LinesStartingWith(program.Errors(),
                              "tavorin: 一度に開けるウィンドウは 20 個までのため、"
                              "残りの 5 個のアドレスは開きませんでした。"),
            1);
  EXPECT_TRUE(Close(program));
}

// A hand-over carrying all of `addresses`, past the cap EncodeHandOver keeps to.
std::string Frame(const std::vector<std::string>& addresses) {
  std::string message = EncodeHandOver("", {});
  const std::uint32_t fields = std::uint32_t(addresses.size() + 1);
  for (int i = 0; i < 4; ++i) message[24 + i] = char(fields >> (24 - 8 * i));
  for (const std::string& a : addresses) {
    for (int i = 0; i < 4; ++i) message += char(a.size() >> (24 - 8 * i));
    message += a;
  }
  return message;
}

TEST_F(ProgramTest, TheRunningCopyOpensWellFormedHandOversOnlyAndAtMostTwentyWindowsOfOne) {
  Program& first = Start({server_.Url("/home.html")});
  ASSERT_TRUE(WaitForWindows(first, 1));
  const std::string socket = Data("instance");
  std::vector<std::string> many;
  for (int i = 0; i < 22; ++i) many.push_back(server_.Url("/other.html#" + std::to_string(i)));
  std::string random;
  for (int i = 0; i < 4096; ++i) random.push_back(char(g_random_int_range(0, 256)));
  const std::string one = EncodeHandOver("", {server_.Url("/check.html")});
  struct Case {
    const char* name;
    std::string message;
    const char* answer;
    std::size_t windows;  // new ones
    bool stall = false;
  };
  const Case cases[] = {
      {"well-formed", one, "OK", 1},
      {"22 addresses", Frame(many), "OK", kMaxWindowsPerRequest},
      {"random bytes", random, "NO", 0},
      {"cut short", one.substr(0, one.size() - 2), "NO", 0},
      {"oversized", one + std::string(2 * kLargestHandOver, 'a'), "NO", 0},
      {"never ends", one.substr(0, 10), "", 0, true},
  };
  std::size_t windows = 1;
  int dropped = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SendToRunningCopy(socket, c.message, c.stall), c.answer);
    windows += c.windows;
    dropped += c.windows == 0;
    EXPECT_TRUE(WaitForWindows(first, windows));
    RunFor(1000);
    EXPECT_EQ(WindowsOf(first.Pid()).size(), windows);
    EXPECT_EQ(LinesStartingWith(first.Errors(), "tavorin: 引き継ぎのメッセージ"), dropped);
  }
  EXPECT_EQ(Asked("/check.html"), 1);
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(Close(first));
}

// Eight connections that send a valid header a byte a second hold every place
// the copy reads at once: each is dropped 10 s after it opened, two more are
// told the copy is busy, and a start meanwhile waits, says so and is served.
TEST_F(ProgramTest, ABusyCopyDropsTricklersInTimeAndAStartMeanwhileWaitsItsTurn) {
  Program& first = Start({server_.Url("/home.html")});
  ASSERT_TRUE(WaitForWindows(first, 1));
  const std::string header = EncodeHandOver("", {server_.Url("/home.html")});
  GSocketAddress* address = g_unix_socket_address_new(Data("instance").c_str());
  std::vector<GSocket*> sockets(10);
  for (GSocket*& s : sockets) {
    s = g_socket_new(G_SOCKET_FAMILY_UNIX, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_DEFAULT,
                     nullptr);
    ASSERT_TRUE(g_socket_connect(s, address, nullptr, nullptr));
  }
  g_object_unref(address);
  Program& second = Start({server_.Url("/other.html")});
  std::vector<std::size_t> open_for(sockets.size(), 0);  // seconds, counted as bytes go
  for (std::size_t sent = 0; std::ranges::count(open_for, 0) > 0 && sent < 20; ++sent) {
    for (GSocket* s : sockets)
      g_socket_send_with_blocking(s, &header[sent], 1, FALSE, nullptr, nullptr);
    RunFor(1000);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
      if (open_for[i] == 0 && g_socket_condition_check(sockets[i], G_IO_HUP) != 0)
        open_for[i] = sent + 1;
    }
  }
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    char answer[8] = {};
    g_socket_receive_with_blocking(sockets[i], answer, sizeof answer - 1, FALSE, nullptr, nullptr);
    EXPECT_EQ(std::string(answer), i < 8 ? "" : "BUSY") << i;
    EXPECT_NEAR(double(open_for[i]), i < 8 ? 10.5 : 1.0, 0.5) << i;  // dropped within a second
    g_object_unref(sockets[i]);
  }
  ASSERT_TRUE(second.WaitForEnd());
  EXPECT_EQ(second.ExitStatus(), 0) << second.Errors();
  EXPECT_NE(second.Errors().find("tavorin: 起動中の Tavorin が混み合っています"),
            std::string::npos);
  EXPECT_TRUE(WaitForWindows(first, 2));
  EXPECT_EQ(LinesStartingWith(first.Errors(), "tavorin: 引き継ぎのメッセージが 10 秒"), 8);
  EXPECT_TRUE(Close(first));
}

// Windows that come back. The first run has two windows: the main one went
// from /sess-a.html to /sess-b.html (a back/forward list of two), the other
// shows /sess-c.html; both are moved. How the run ends and the setting decide
// what the next run brings back.
struct RestoreRow {
  const char* name;
  const char* setting;  // the value of restore-windows; null: not in the file
  Ending ending;
  bool offered;   // the next run asks first, and Space on 元に戻す answers
  bool restored;  // the windows come back (at once, or when asked)
};

class RestoreTest : public ProgramTest, public ::testing::WithParamInterface<RestoreRow> {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // Never cached: every load is seen here. The first page goes on to the
    // second once, as a link followed would.
    for (const auto& [path, body] : std::vector<std::pair<std::string, std::string>>{
             {"/sess-a.html",
              "<title>a</title><script>if (history.length == 1) "
              "setTimeout(() => location.href = '/sess-b.html', 0);</script>a"},
             {"/sess-b.html", "<title>b</title>b"},
             {"/sess-c.html", "<title>c</title>c"}}) {
      TestHttpServer::Page page;
      page.body = body;
      page.headers.push_back({"Cache-Control", "no-store"});
      server_.Add(path, page);
    }
  }
  bool Kept(const std::string& text) {
    return ReadFile(Data("session.ini")).find(text) != std::string::npos;
  }
  static std::pair<int, int> Origin(Window window) {  // on the screen
    Display* display = testsupport::DefaultXDisplay();
    int x = -1, y = -1;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return {x, y};
  }
  // Real keys into `window`, with the pointer in it (focus follows it here).
  static void Keys(Window window, std::initializer_list<KeySym> keys) {
    const auto [x, y] = Origin(window);
    testsupport::MovePointer(x + 20, y + 20);
    XSetInputFocus(testsupport::DefaultXDisplay(), window, RevertToParent, CurrentTime);
    for (KeySym k : keys) testsupport::FakeKey(k, true);
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k) testsupport::FakeKey(*k, false);
  }
  std::vector<std::pair<int, int>> Origins(const Program& program) {
    std::vector<std::pair<int, int>> origins;
    for (Window w : WindowsOf(program.Pid())) origins.push_back(Origin(w));
    std::sort(origins.begin(), origins.end());
    return origins;
  }
};

TEST_P(RestoreTest, TheWindowsOfTheLastRunComeBackAsTheSettingSays) {
  const RestoreRow& row = GetParam();
  WriteSettings(std::string("[Tavorin]\nhome-page=") + server_.Url("/home.html") + "\n" +
                (row.setting ? std::string("restore-windows=") + row.setting + "\n" : ""));
  Program& first = Start({server_.Url("/sess-a.html"), server_.Url("/sess-c.html")});
  ASSERT_TRUE(WaitUntilAsked("/sess-b.html"));
  ASSERT_TRUE(WaitUntilAsked("/sess-c.html"));
  ASSERT_TRUE(WaitForWindows(first, 2));
  std::vector<Window> windows = WindowsOf(first.Pid());
  std::sort(windows.begin(), windows.end(),
            [](Window a, Window b) { return Origin(a) < Origin(b); });
  const std::vector<std::pair<int, int>> kept{{60, 50}, {900, 500}};
  for (int i = 0; i < 2; ++i) {  // the main window: made first, placed first
    XMoveWindow(testsupport::DefaultXDisplay(), windows[i], kept[i].first, kept[i].second);
  }
  XFlush(testsupport::DefaultXDisplay());
  const bool never = row.setting != nullptr && std::string(row.setting) == "never";
  if (!never) {
    ASSERT_TRUE(
        RunUntil([&] { return Kept("sess-b.html") && Kept("left=900"); }, kProgramTimeoutMs));
  }
  if (row.ending == Ending::kClose) {  // the main window only: the other one stays to the end
    testsupport::AskToClose(windows[0]);
    ASSERT_TRUE(first.WaitForEnd());
    EXPECT_EQ(first.ExitStatus(), 0);
  } else {
    ProgramTest::End(first, row.ending);
  }
  WaitForEngineToEnd();
  if (never) {
    EXPECT_FALSE(std::filesystem::exists(Data("session.ini")));
  }
  const int b_before = Asked("/sess-b.html");
  Program& second = Start();
  if (row.offered || !row.restored) {
    ASSERT_TRUE(WaitUntilAsked("/home.html"));
    ASSERT_TRUE(WaitForWindows(second, 1));
  }
  if (row.offered) {
    RunFor(1000);  // nothing comes back before the user says so
    EXPECT_EQ(Asked("/sess-b.html"), b_before);
    Keys(WindowsOf(second.Pid()).front(), {XK_space});
  }
  if (!row.restored) {
    RunFor(3000);
    EXPECT_EQ(WindowsOf(second.Pid()).size(), 1u);
    EXPECT_EQ(Asked("/sess-b.html"), b_before);
    EXPECT_TRUE(Close(second));
    return;
  }
  // The main window takes the last run's main window, the other opens beside it.
  ASSERT_TRUE(WaitUntilAsked("/sess-b.html", b_before + 1));
  ASSERT_TRUE(WaitUntilAsked("/sess-c.html", 2));
  ASSERT_TRUE(WaitForWindows(second, 2));
  EXPECT_TRUE(RunUntil([&] { return Origins(second) == kept; }, kProgramTimeoutMs));
  // Its back/forward list came with it: Back goes to the first page.
  const int a_before = Asked("/sess-a.html");
  std::vector<Window> restored = WindowsOf(second.Pid());
  auto main = std::find_if(restored.begin(), restored.end(),
                           [&](Window w) { return Origin(w) == kept[0]; });
  ASSERT_NE(main, restored.end());
  Keys(*main, {XK_Alt_L, XK_Left});
  EXPECT_TRUE(WaitUntilAsked("/sess-a.html", a_before + 1));
  // Brought back at once, the main window loads no home page first.
  EXPECT_EQ(Asked("/home.html"), row.offered ? 1 : 0);
  EXPECT_TRUE(Close(second));
}

const RestoreRow kRestoreRows[] = {
    {"AskAfterKill", "ask", Ending::kKill, true, true},
    {"DefaultAfterKill", nullptr, Ending::kKill, true, true},
    {"AskAfterClose", "ask", Ending::kClose, false, false},
    {"AskAfterTerminate", "ask", Ending::kTerminate, false, false},
    {"AlwaysAfterKill", "always", Ending::kKill, false, true},
    {"AlwaysAfterClose", "always", Ending::kClose, false, true},
    {"NeverAfterKill", "never", Ending::kKill, false, false},
};

INSTANTIATE_TEST_SUITE_P(Setting, RestoreTest, ::testing::ValuesIn(kRestoreRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The sizes of the icons a window offers the window manager (_NET_WM_ICON:
// width, height and the pixels, for each icon in turn).
std::vector<long> IconSizes(Window window) {
  Display* display = testsupport::DefaultXDisplay();
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 1 << 20,
                     False, XA_CARDINAL, &type, &format, &count, &after, &data);
  std::vector<long> sizes;
  const long* values = reinterpret_cast<const long*>(data);
  for (unsigned long at = 0; data != nullptr && at + 2 <= count;
       at += 2 + values[at] * values[at + 1]) {
    if (values[at] != values[at + 1]) sizes.push_back(-1);
    sizes.push_back(values[at]);
  }
  if (data != nullptr) XFree(data);
  std::sort(sizes.begin(), sizes.end());
  return sizes;
}

// Whether the program's own process loaded a vendor's GLX library: on X11
// the toolkit does so only when it sets up OpenGL. (The engine's own EGL
// display loads the driver itself on either path.)
bool LoadedAGlDriver(pid_t pid) {
  return ReadFile("/proc/" + std::to_string(pid) + "/maps").find("/libGLX_") != std::string::npos;
}

TEST_F(ProgramTest, TheWindowOffersItsIconsAndTheToolkitSetsUpOpenGLOnlyOnTheGpuPath) {
  struct Case {
    const char* setting;
    bool gl;
  };
  const Case cases[] = {
      {"never", false},
      {"always", true},
      {"auto", HasRenderNode()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    WriteSettings("[Tavorin]\nhome-page=" + server_.Url("/home.html") +
                  "\nhardware-acceleration=" + c.setting + "\n");
    Program& program = Start();
    ASSERT_TRUE(WaitForWindows(program, 1));
    EXPECT_EQ(LoadedAGlDriver(program.Pid()), c.gl);
    // In each size a window manager asks for.
    EXPECT_EQ(IconSizes(WindowsOf(program.Pid()).front()),
              (std::vector<long>{16, 24, 32, 48, 64, 128}));
    ASSERT_TRUE(Close(program));
    WaitForEngineToEnd();
  }
}

// Under a path holding `secret`, a page that stores it every way a site can
// and logs in with it; the answer to the login tells the server.
void AddSecretPages(TestHttpServer& server, const std::string& secret) {
  std::string body = R"html(<title>@</title><form id=f method=post action=login>
<input name=user value=@><input type=password name=pass value=@></form><script>
document.cookie = 'c=@; Max-Age=86400'; localStorage.l = '@'; sessionStorage.s = '@';
const db = indexedDB.open('d', 1);
db.onupgradeneeded = () => db.result.createObjectStore('s');
db.onsuccess = () => { const t = db.result.transaction('s', 'readwrite');
  t.objectStore('s').put('@', 'k'); t.oncomplete = () => f.submit(); };</script>)html";
  for (std::size_t at; (at = body.find('@')) != std::string::npos;) body.replace(at, 1, secret);
  TestHttpServer::Page page, logged_in;
  page.body = body;
  logged_in.body = "<script>fetch('done')</script>";
  page.headers = {{"Set-Cookie", "h=" + secret + "; Max-Age=86400"},
                  {"Cache-Control", "max-age=600"}};
  logged_in.headers = {{"Set-Cookie", "session=" + secret + "; Max-Age=86400"}};
  server.Add("/" + secret + "/page.html", page);
  server.Add("/" + secret + "/login", logged_in);
}

TEST_F(ProgramTest, APrivateWindowLeavesNothingOnDiskNorInItsOutput) {
  const auto start = std::filesystem::file_time_type::clock::now();
  const std::string tag = std::to_string(g_random_int()) + "q" + std::to_string(g_random_int());
  const std::string kept = "kept" + tag, secret = "private" + tag;
  AddSecretPages(server_, kept);
  AddSecretPages(server_, secret);
  Program& first = Start({server_.Url("/" + kept + "/page.html")});
  ASSERT_TRUE(WaitUntilAsked("/" + kept + "/done"));
  // Asked of the running copy, as a user would from a terminal.
  Program& second = Start({"--private", server_.Url("/" + secret + "/page.html?" + secret)});
  ASSERT_TRUE(second.WaitForEnd());
  EXPECT_EQ(second.ExitStatus(), 0);
  ASSERT_TRUE(WaitUntilAsked("/" + secret + "/done"));
  EXPECT_NE(CookiesSentWith("/" + secret + "/done").find("session=" + secret), std::string::npos);
  // An address refused is said without it.
  Program& third =
      Start({"--private", "http://127.0.0.1/" + secret + std::string(kLongestAddress, 'a')});
  ASSERT_TRUE(third.WaitForEnd());
  EXPECT_NE(third.Errors().find("開きません"), std::string::npos);
  RunFor(2000);  // the history and the session file are written meanwhile
  End(first, Ending::kTerminate);
  WaitForEngineToEnd();
  // What an ordinary window stored is found: the search works.
  EXPECT_FALSE(testsupport::FilesHolding(root_, kept, start).empty());
  EXPECT_EQ(testsupport::FilesHolding(root_, secret, start), std::vector<std::string>{});
  EXPECT_EQ(testsupport::FilesHolding(g_get_tmp_dir(), secret, start), std::vector<std::string>{});
}

}  // namespace
