// How often a page that declares no encoding is read right, on the pages of
// bench/encoding_corpus.py served from a local server, for:
//  - the engine alone: a view with the engine's own detector as the program
//    sets it, nothing checked;
//  - the program's check alone: ICU's answer on the bytes;
//  - what the program does: a watched view, the pages walked through in one
//    view as on one site; right at the first reading and at the end, and how
//    many pages were read twice.
// Then the cost of a declared page: its load in a watched view against one in
// a view with no detection at all, alternating blocks in one run.
// Run under an X server (xvfb-run -a).
//
//   encoding_bench CORPUS_DIR [ROUNDS]   ROUNDS of the declared load, 200 unless given
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "browser/web_context.h"
#include "encoding/charset.h"
#include "encoding/page_encoding.h"
#include "platform/application.h"
#include "tests/support/http_server.h"
#include "tests/support/main_loop.h"
#include "tests/support/private_folders.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Page {
  std::string file, encoding, length, language, text;
  std::string bytes;
};

// The JSON string of the manifest, as UTF-8.
std::string Unquoted(const std::string& json) {
  std::string out;
  for (std::size_t i = 1; i + 1 < json.size(); ++i) {
    if (json[i] != '\\') {
      out += json[i];
      continue;
    }
    const char c = json[++i];
    if (c != 'u') {
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
      continue;
    }
    gunichar code = std::stoul(json.substr(i + 1, 4), nullptr, 16);
    i += 4;
    if (code >= 0xD800 && code < 0xDC00 && json.compare(i + 1, 2, "\\u") == 0) {
      const gunichar low = std::stoul(json.substr(i + 3, 4), nullptr, 16);
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      i += 6;
    }
    char utf8[6];
    out.append(utf8, g_unichar_to_utf8(code, utf8));
  }
  return out;
}

std::vector<Page> ReadCorpus(const std::string& dir) {
  std::vector<Page> pages;
  std::ifstream manifest(dir + "/manifest.tsv");
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    Page page;
    std::string quoted;
    std::getline(fields, page.file, '\t');
    std::getline(fields, page.encoding, '\t');
    std::getline(fields, page.length, '\t');
    std::getline(fields, page.language, '\t');
    std::getline(fields, quoted, '\t');
    page.text = Unquoted(quoted);
    std::ifstream file(dir + "/" + page.file, std::ios::binary);
    page.bytes.assign(std::istreambuf_iterator<char>(file), {});
    pages.push_back(std::move(page));
  }
  return pages;
}

constexpr char kText[] = "(document.getElementById('t') || document.body).textContent.trim()";

struct Walk {
  int commits = 0;
  std::vector<std::string> texts;  // at the end of each reading
};

void Changed(WebKitWebView* view, WebKitLoadEvent event, Walk* walk) {
  if (event == WEBKIT_LOAD_COMMITTED) ++walk->commits;
  if (event != WEBKIT_LOAD_FINISHED) return;
  const std::size_t at = walk->texts.size();
  walk->texts.emplace_back();
  // Asked now: a second reading that follows comes after the answer.
  webkit_web_view_evaluate_javascript(
      view, kText, -1, nullptr, nullptr, nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        auto* slot = static_cast<std::pair<Walk*, std::size_t>*>(data);
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        if (value != nullptr) {
          gchar* text = jsc_value_to_string(value);
          slot->first->texts[slot->second] = text;
          g_free(text);
          g_object_unref(value);
        }
        delete slot;
      },
      new std::pair<Walk*, std::size_t>(walk, at));
}

WebKitWebView* ViewInWindow(int x) {
  auto* window = new Gtk::Window();
  WebKitWebView* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(PageContext()));
  gtk_container_add(GTK_CONTAINER(window->gobj()), GTK_WIDGET(view));
  window->set_default_size(800, 600);
  window->move(x, 0);
  window->show_all();
  return view;
}

struct Tally {
  int pages = 0, first = 0, last = 0, twice = 0;
};

struct Result {
  bool engine, check, first, last;
  int readings;
};

// Loads `url` and lets whatever follows (a second reading) settle.
Walk Load(WebKitWebView* view, const std::string& url) {
  Walk walk;
  const gulong id = g_signal_connect(view, "load-changed", G_CALLBACK(Changed), &walk);
  webkit_web_view_load_uri(view, url.c_str());
  testsupport::RunUntil([&] { return !walk.texts.empty() && !walk.texts.back().empty(); }, 10000);
  testsupport::RunPending(150);
  testsupport::RunUntil([&] { return !webkit_web_view_is_loading(view); }, 10000);
  testsupport::RunUntil([&] { return !walk.texts.back().empty(); }, 3000);
  g_signal_handler_disconnect(view, id);
  return walk;
}

void Row(const char* name, const Tally& engine, const Tally& check, const Tally& shipped) {
  auto pct = [](int n, int of) { return of == 0 ? 0.0 : 100.0 * n / of; };
  std::printf("| %-13s | %5d | %5.1f %% | %5.1f %% | %5.1f %% | %5.1f %% | %4d |\n", name,
              engine.pages, pct(engine.first, engine.pages), pct(check.first, check.pages),
              pct(shipped.first, shipped.pages), pct(shipped.last, shipped.pages), shipped.twice);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double TimeLoad(WebKitWebView* view, const std::string& url) {
  bool done = false;
  Clock::time_point finished;
  auto on_change = +[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    if (event != WEBKIT_LOAD_FINISHED) return;
    auto* state = static_cast<std::pair<bool*, Clock::time_point*>*>(data);
    *state->second = Clock::now();
    *state->first = true;
  };
  std::pair<bool*, Clock::time_point*> state{&done, &finished};
  const gulong id = g_signal_connect(view, "load-changed", G_CALLBACK(on_change), &state);
  const Clock::time_point start = Clock::now();
  webkit_web_view_load_uri(view, url.c_str());
  testsupport::RunUntil([&] { return done; }, 10000);
  g_signal_handler_disconnect(view, id);
  return std::chrono::duration<double, std::milli>(finished - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: encoding_bench CORPUS_DIR [ROUNDS]\n");
    return 2;
  }
  const std::vector<Page> pages = ReadCorpus(argv[1]);
  const int rounds = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
  const std::string root = testsupport::PrivateFolders();
  if (!TApplication::StartToolkit()) {
    std::fprintf(stderr, "encoding_bench: no X display: run under xvfb-run -a\n");
    return 1;
  }
  TApplication application;
  Application = &application;
  TestHttpServer server;
  for (const Page& page : pages) {
    TestHttpServer::Page served;
    served.body = page.bytes;
    served.type = "text/html";
    server.Add("/" + page.file, served);
  }

  WebKitWebView* engine = ViewInWindow(0);
  UseEngineDetector(engine);
  WebKitWebView* shipped = ViewInWindow(820);
  WatchPageEncoding(shipped);
  std::vector<Result> results;
  for (const Page& page : pages) {
    const std::string url = server.Url("/" + page.file);
    Result result{};
    result.engine = Load(engine, url).texts.front() == page.text;
    const std::string detected = DetectedCharset(page.bytes);
    result.check = detected.empty() || SameCharset(detected, page.encoding);
    const Walk walk = Load(shipped, url);
    result.first = walk.texts.front() == page.text;
    result.last = walk.texts.back() == page.text;
    result.readings = walk.commits;
    results.push_back(result);
    if (!result.last || !result.engine || (result.first && result.readings > 1))
      std::fprintf(stderr, "%s %s %s: engine %s, shipped %s -> %s (%d readings)\n",
                   page.file.c_str(), page.encoding.c_str(), page.length.c_str(),
                   result.engine ? "right" : "wrong", result.first ? "right" : "wrong",
                   result.last ? "right" : "wrong", walk.commits);
  }

  std::map<std::string, std::vector<std::size_t>> by_encoding, by_length;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    by_encoding[pages[i].encoding].push_back(i);
    by_length[pages[i].length].push_back(i);
  }
  auto tally = [&](const std::vector<std::size_t>& which) {
    Tally engine_tally, check_tally, shipped_tally;
    for (std::size_t i : which) {
      const Result& r = results[i];
      ++engine_tally.pages, ++check_tally.pages, ++shipped_tally.pages;
      engine_tally.first += r.engine;
      check_tally.first += r.check;
      shipped_tally.first += r.first;
      shipped_tally.last += r.last;
      shipped_tally.twice += r.readings > 1;
    }
    return std::array<Tally, 3>{engine_tally, check_tally, shipped_tally};
  };
  std::printf(
      "| pages         | count | engine  | check   | first   | in the end | read twice |\n"
      "|---------------|------:|--------:|--------:|--------:|--------:|-----:|\n");
  for (const auto& [name, which] : by_encoding) {
    const auto t = tally(which);
    Row(name.c_str(), t[0], t[1], t[2]);
  }
  for (const char* length : {"8", "16", "32", "100", "1000", "markup"}) {
    const auto t = tally(by_length[length]);
    Row((std::string(length) + (std::string(length) == "markup" ? "" : " chars")).c_str(), t[0],
        t[1], t[2]);
  }
  std::vector<std::size_t> all(pages.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  const auto t = tally(all);
  Row("all", t[0], t[1], t[2]);

  // A declared page: the same bytes with their charset in the header.
  const Page& sample = pages.front();
  TestHttpServer::Page declared;
  declared.body = sample.bytes;
  declared.type = "text/html; charset=" + sample.encoding;
  server.Add("/declared", declared);
  // Two new views: the walk's is no longer like a new one.
  WebKitWebView* watched = ViewInWindow(0);
  WatchPageEncoding(watched);
  WebKitWebView* plain = ViewInWindow(820);
  std::vector<double> watched_ms, plain_ms;
  for (int done = 0; done < rounds; done += 10) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool watched_now = (turn == 0) == ((done / 10) % 2 == 0);
      for (int i = 0; i < 10; ++i) {
        (watched_now ? watched_ms : plain_ms)
            .push_back(TimeLoad(watched_now ? watched : plain, server.Url("/declared")));
      }
    }
  }
  std::printf(
      "declared page load: watched %.3f ms, no detection %.3f ms (medians of %d), "
      "ratio %.3f\n",
      Median(watched_ms), Median(plain_ms), rounds, Median(watched_ms) / Median(plain_ms));
  testsupport::RemoveTree(root);
  return 0;
}
