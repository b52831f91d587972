#include "store/bookmark_html.h"

#include <glib.h>

#include <cstdlib>
#include <optional>

namespace {

constexpr std::size_t kLongestReference = 12;
constexpr std::string_view kDoctype = "<!DOCTYPE NETSCAPE-Bookmark-file-1>";
constexpr char kNotBookmarks[] = "ブックマークの HTML ファイルではありません。";
constexpr char kStopped[] = "取り消しました。";
constexpr char kTooLargeToConvert[] = "UTF-8 でないファイルが大きすぎるため読みませんでした。";
constexpr std::size_t kLargestConverted = 32 * 1024 * 1024;
constexpr char kBrokenOff[] = "ファイルが途中で切れているか、壊れています。";
constexpr char kHeader[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file.\n"
    "     It will be read and overwritten.\n"
    "     DO NOT EDIT! -->\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks</H1>\n"
    "<DL><p>\n";
// The browser's own top folders, whose names say nothing about a link.
constexpr const char* kRootFolderMarks[] = {"PERSONAL_TOOLBAR_FOLDER", "UNFILED_BOOKMARKS_FOLDER"};

struct Entity {
  std::string_view name;
  const char* text;
};
constexpr Entity kEntities[] = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() &&
         g_ascii_strncasecmp(text.data(), start.data(), start.size()) == 0;
}

// Finds `what` in `text` from `from`, ignoring case; npos when absent.
std::size_t FindNoCase(std::string_view text, std::string_view what, std::size_t from) {
  // Candidates by their first character, in either case, found by the
  // library's search rather than one comparison per byte.
  const char first[] = {g_ascii_tolower(what.front()), g_ascii_toupper(what.front())};
  const std::string_view firsts(first, first[0] == first[1] ? 1 : 2);
  for (std::size_t at = from; at + what.size() <= text.size(); ++at) {
    if ((at = text.find_first_of(firsts, at)) == std::string_view::npos) break;
    if (StartsWithNoCase(text.substr(at), what)) return at;
  }
  return std::string_view::npos;
}

void AppendCodePoint(std::string& out, unsigned long code) {
  const bool valid = code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
  gchar utf8[6];
  out.append(utf8, g_unichar_to_utf8(valid ? static_cast<gunichar>(code) : 0xFFFD, utf8));
}

// `text` with character references decoded; unknown ones stay as written.
// Only the first `most` bytes of it are of use: each comes from at most
// kLongestReference bytes of `text`, so the rest is never decoded.
std::string Decoded(std::string_view text, std::size_t most) {
  text = text.substr(0, (most + 1) * kLongestReference);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Only a short reference: a long run of "&" must not be searched again and again.
    const std::size_t end =
        text[i] == '&' ? text.substr(i, kLongestReference).find(';') : std::string_view::npos;
    if (end == std::string_view::npos) {
      out += text[i];
      continue;
    }
    const std::string name(text.substr(i + 1, end - 1));
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      char* rest = nullptr;
      const unsigned long code = std::strtoul(name.c_str() + (hex ? 2 : 1), &rest, hex ? 16 : 10);
      if (*rest != '\0' || rest == name.c_str() + (hex ? 2 : 1)) {
        out += text[i];
        continue;
      }
      AppendCodePoint(out, code);
      i += end;
      continue;
    }
    const Entity* known = nullptr;
    for (const Entity& entity : kEntities) {
      if (g_ascii_strcasecmp(name.c_str(), std::string(entity.name).c_str()) == 0) known = &entity;
    }
    if (known == nullptr) {
      out += text[i];
      continue;
    }
    out += known->text;
    i += end;
  }
  return out;
}

// One tag: its name upper-cased and its text between < and >.
struct Tag {
  std::string name;
  std::string_view inside;
};

// The value of attribute `name` in a tag's text, decoded; nullopt when absent.
std::optional<std::string> Attribute(std::string_view inside, std::string_view name,
                                     std::size_t most = kMaxHeldAddressBytes) {
  std::size_t at = 0;
  while ((at = FindNoCase(inside, name, at)) != std::string_view::npos) {
    const bool starts = at > 0 && g_ascii_isspace(inside[at - 1]);
    std::size_t p = at + name.size();
    while (p < inside.size() && g_ascii_isspace(inside[p])) ++p;
    if (!starts || p >= inside.size() || inside[p] != '=') {
      at += name.size();
      continue;
    }
    ++p;
    while (p < inside.size() && g_ascii_isspace(inside[p])) ++p;
    const char quote = p < inside.size() && (inside[p] == '"' || inside[p] == '\'') ? inside[p] : 0;
    const std::size_t begin = quote ? p + 1 : p;
    std::size_t end = begin;
    while (end < inside.size() &&
           (quote ? inside[end] != quote : !g_ascii_isspace(inside[end]) && inside[end] != '>')) {
      ++end;
    }
    return Decoded(inside.substr(begin, end - begin), most);
  }
  return std::nullopt;
}

class HtmlReader {
 public:
  HtmlReader(std::string_view text, const StopFlag& stop) : text_(text), stop_(stop) {}

  ForeignBookmarks Read() {
    ForeignBookmarks read;
    bool opened = false;
    for (std::size_t tags = 0; pos_ < text_.size(); ++tags) {
      if (tags % kTagsBetweenChecks == 0 && stop_.load(std::memory_order_relaxed)) {
        return ReadFailure(kStopped);
      }
      const std::optional<Tag> tag = NextTag();
      if (!tag) return ReadFailure(kBrokenOff);
      if (tag->name == "A") {
        std::optional<std::string> words = TextUntil("</A");
        if (!words) return ReadFailure(kBrokenOff);
        if (!read.Add(Attribute(tag->inside, "HREF").value_or(""), prefix_, *words,
                      AddDate(tag->inside))) {
          return ReadFailure(read.error);
        }
      } else if (tag->name == "H3") {
        std::optional<std::string> name = TextUntil("</H3");
        if (!name) return ReadFailure(kBrokenOff);
        folder_ = IsRootFolder(tag->inside) ? "" : CutText(*name, kMaxTitleBytes);
      } else if (tag->name == "DL") {
        opened = true;
        depths_.push_back(prefix_.size());
        // Cut, so that a long folder name is never copied for each link.
        if (!folder_.empty() && prefix_.size() < kMaxTitleBytes) {
          prefix_ += CutText(folder_, kMaxTitleBytes - prefix_.size());
          prefix_ += kFolderSeparator;
        }
        folder_.clear();
      } else if (tag->name == "/DL") {
        if (depths_.empty()) return ReadFailure(kBrokenOff);
        prefix_.resize(depths_.back());
        depths_.pop_back();
      }
    }
    if (!opened || !depths_.empty()) return ReadFailure(kBrokenOff);
    return read;
  }

 private:
  // Often enough to stop within a fraction of a second when told.
  static constexpr std::size_t kTagsBetweenChecks = 4096;

  static bool IsRootFolder(std::string_view inside) {
    for (const char* mark : kRootFolderMarks) {
      if (Attribute(inside, mark, 0)) return true;
    }
    return false;
  }

  static std::int64_t AddDate(std::string_view inside) {
    const std::string seconds = Attribute(inside, "ADD_DATE", 32).value_or("");
    const gint64 value = g_ascii_strtoll(seconds.c_str(), nullptr, 10);
    // Beyond the year 9999 is not a date.
    return value > 0 && value < 253402300800 ? value * G_USEC_PER_SEC : 0;
  }

  // The next tag from pos_, comments skipped; nullopt when one is left open.
  std::optional<Tag> NextTag() {
    for (;;) {
      const std::size_t open = text_.find('<', pos_);
      if (open == std::string_view::npos) {
        pos_ = text_.size();
        return Tag{};
      }
      if (text_.compare(open, 4, "<!--") == 0) {
        const std::size_t close = text_.find("-->", open + 4);
        if (close == std::string_view::npos) return std::nullopt;
        pos_ = close + 3;
        continue;
      }
      // The end of the tag: a ">" outside quotes.
      std::size_t close = open + 1;
      while ((close = text_.find_first_of(">\"'", close)) != std::string_view::npos &&
             text_[close] != '>') {
        close = text_.find(text_[close], close + 1);
        if (close != std::string_view::npos) ++close;
      }
      if (close == std::string_view::npos) return std::nullopt;
      pos_ = close + 1;
      const std::string_view inside = text_.substr(open + 1, close - open - 1);
      std::size_t name_end = 0;
      while (name_end < inside.size() && !g_ascii_isspace(inside[name_end])) ++name_end;
      gchar* name = g_ascii_strup(inside.data(), static_cast<gssize>(name_end));
      Tag tag{name, inside};
      g_free(name);
      return tag;
    }
  }

  // The decoded text from pos_ to the closing tag `close`, which is passed.
  std::optional<std::string> TextUntil(std::string_view close) {
    const std::size_t end = FindNoCase(text_, close, pos_);
    if (end == std::string_view::npos) return std::nullopt;
    const std::size_t after = text_.find('>', end);
    if (after == std::string_view::npos) return std::nullopt;
    std::string text = Decoded(text_.substr(pos_, end - pos_), kMaxTitleBytes);
    pos_ = after + 1;
    return text;
  }

  std::string_view text_;
  const StopFlag& stop_;
  std::size_t pos_ = 0;
  std::string prefix_;               // the open folders' names, each with a separator
  std::vector<std::size_t> depths_;  // prefix_'s length before each open folder
  std::string folder_;               // the name of the folder whose list comes next
};

// The charset named in the file's head, before its first list.
std::string DeclaredCharset(std::string_view text) {
  const std::string_view head = text.substr(0, FindNoCase(text, "<DL", 0));
  const std::size_t at = FindNoCase(head, "charset=", 0);
  if (at == std::string_view::npos) return "UTF-8";
  std::size_t end = at + 8;
  while (end < head.size() &&
         (g_ascii_isalnum(head[end]) || head[end] == '-' || head[end] == '_')) {
    ++end;
  }
  return std::string(head.substr(at + 8, end - at - 8));
}

std::string Escaped(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), -1);
  std::string out = escaped;
  g_free(escaped);
  return out;
}

}  // namespace

ForeignBookmarks ReadBookmarksHtml(std::string_view bytes, const StopFlag& stop) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  while (!bytes.empty() && g_ascii_isspace(bytes.front())) bytes.remove_prefix(1);
  if (!StartsWithNoCase(bytes, kDoctype)) return ReadFailure(kNotBookmarks);
  const std::string charset = DeclaredCharset(bytes);
  if (g_ascii_strcasecmp(charset.c_str(), "UTF-8") == 0 || charset.empty()) {
    // Read as it is, never copied: what is kept of it is made valid later
    // (titles) or has its stray bytes escaped (addresses).
    return HtmlReader(bytes, stop).Read();
  }
  // Converted, a file can grow threefold: only a small one.
  if (bytes.size() > kLargestConverted) return ReadFailure(kTooLargeToConvert);
  gsize length = 0;
  gchar* converted = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8",
                               charset.c_str(), nullptr, &length, nullptr);
  if (converted == nullptr) {
    return ReadFailure("文字コード " + charset + " のファイルを読めません。");
  }
  ForeignBookmarks read = HtmlReader(std::string_view(converted, length), stop).Read();
  g_free(converted);
  return read;
}

std::string WriteBookmarksHtml(const std::vector<Bookmark>& marks) {
  std::string out = kHeader;
  for (const Bookmark& mark : marks) {
    out += "    <DT><A HREF=\"" + Escaped(mark.url) + "\" ADD_DATE=\"" +
           std::to_string(mark.added / G_USEC_PER_SEC) + "\">" + Escaped(mark.name) + "</A>\n";
  }
  out += "</DL><p>\n";
  return out;
}

bool SaveBookmarksHtml(const std::string& path, const std::vector<Bookmark>& marks,
                       std::string& error) {
  const std::string text = WriteBookmarksHtml(marks);
  GError* failure = nullptr;
  if (g_file_set_contents_full(path.c_str(), text.data(), static_cast<gssize>(text.size()),
                               G_FILE_SET_CONTENTS_CONSISTENT, 0600, &failure)) {
    return true;
  }
  error = failure->message;
  g_error_free(failure);
  return false;
}
