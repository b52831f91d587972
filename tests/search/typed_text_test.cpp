// Address or words: what the address box opens for what is typed.
#include "search/typed_text.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "search/search_engine.h"

namespace {

constexpr char kEngine[] = "https://search.example/find?lang=ja&q=%s";

struct Row {
  const char* typed;
  TypedKind kind;
  const char* opened;  // what the box loads, with kEngine as the search site
};

constexpr TypedKind A = TypedKind::kAddress;
constexpr TypedKind W = TypedKind::kWords;

const Row kRows[] = {
    {"https://www.rakuten.co.jp/", A, "https://www.rakuten.co.jp/"},
    {"about:blank", A, "about:blank"},
    {"javascript:document.title='x'", A, "javascript:document.title='x'"},
    {"www.rakuten.co.jp", A, "http://www.rakuten.co.jp"},
    {"  example.co.jp/a?b=1#c ", A, "http://example.co.jp/a?b=1#c"},
    {"楽天.jp/a", A, "http://楽天.jp/a"},
    {"localhost", A, "http://localhost"},
    {"LocalHost:3000/x", A, "http://LocalHost:3000/x"},
    {"127.0.0.1:8080/a", A, "http://127.0.0.1:8080/a"},
    {"[::1]:8080/", A, "http://[::1]:8080/"},
    {"[fe80::1]", A, "http://[fe80::1]"},
    {"/tmp/a b.html", A, "file:///tmp/a%20b.html"},
    {"file:/tmp/a.html", A, "file:/tmp/a.html"},
    {"FILE:///tmp/a.html", A, "FILE:///tmp/a.html"},
    {"127.0.0.1:8080", A, "http://127.0.0.1:8080"},
    {"りんご 青森", W,
     "https://search.example/find?lang=ja&q=%E3%82%8A%E3%82%93%E3%81%94%20%E9%9D%92%E6%A3%AE"},
    {"りんご\u3000青森", W,
     "https://search.example/find?lang=ja&q=%E3%82%8A%E3%82%93%E3%81%94%E3%80%80%E9%9D%92%E6%A3%"
     "AE"},
    {"ipad", W, "https://search.example/find?lang=ja&q=ipad"},
    {"example.co.jp shoes", W, "https://search.example/find?lang=ja&q=example.co.jp%20shoes"},
    {"?www.rakuten.co.jp", W, "https://search.example/find?lang=ja&q=www.rakuten.co.jp"},
    {"? a&b=c", W, "https://search.example/find?lang=ja&q=a%26b%3Dc"},
    {"3.14", W, "https://search.example/find?lang=ja&q=3.14"},
    {"1.2.3", W, "https://search.example/find?lang=ja&q=1.2.3"},
    {"localhost:http", W, "https://search.example/find?lang=ja&q=localhost%3Ahttp"},
    {"example.jp:99999", W, "https://search.example/find?lang=ja&q=example.jp%3A99999"},
    {"e.g.", W, "https://search.example/find?lang=ja&q=e.g."},
    {"100%", W, "https://search.example/find?lang=ja&q=100%25"},
    {"?", W, ""},
    {"   ", W, ""},
};

// Decided from the text alone: in a folder holding a file named like each
// text (a download folder may be the working folder), nothing opens a file.
TEST(TypedTextTest, AddressOrWords) {
  SetSearchEngine(kEngine);
  gchar* folder = g_dir_make_tmp("tavorin-typed-XXXXXX", nullptr);
  ASSERT_NE(folder, nullptr);
  gchar* was = g_get_current_dir();
  ASSERT_EQ(g_chdir(folder), 0);
  for (const Row& row : kRows) {
    if (std::string(row.typed).find('/') == std::string::npos && *row.typed != '\0') {
      g_file_set_contents(row.typed, "a local file", -1, nullptr);
    }
  }
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.typed);
    EXPECT_EQ(KindOfTyped(row.typed), row.kind);
    EXPECT_EQ(AddressForTyped(row.typed), row.opened);
  }
  g_chdir(was);
  g_free(was);
  std::filesystem::remove_all(folder);
  g_free(folder);
}

}  // namespace
