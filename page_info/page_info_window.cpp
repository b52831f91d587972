#include "page_info/page_info_window.h"

#include <glibmm/main.h>
#include <gtkmm/button.h>
#include <gtkmm/clipboard.h>
#include <gtkmm/frame.h>
#include <gtkmm/scrolledwindow.h>
#include <webkit2/webkit2.h>

#include <optional>

#include "browser/page_site.h"
#include "browser/permission_request.h"
#include "downloads/gate.h"
#include "page_info/security.h"
#include "page_info/trail.h"
#include "page_info/trail_watch.h"

namespace {

constexpr char kKey[] = "tavorin-page-info";
// A page that moves on without end is shown at this pace at most.
constexpr unsigned kRefreshMs = 200;

struct KindName {
  const char* kind;
  const char* words;
};

constexpr KindName kKinds[] = {{"geolocation", "位置情報"}, {"notifications", "通知"}};
constexpr char kDownloadsWords[] = "複数のファイルのダウンロード";

std::string Answer(bool allowed) { return allowed ? "許可" : "ブロック"; }

void Copy(const std::string& text) { Gtk::Clipboard::get()->set_text(text); }

void EncodingRead(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::function<void(std::string)>> done(
      static_cast<std::function<void(std::string)>*>(data));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  std::string encoding;
  if (value != nullptr && jsc_value_is_string(value)) {
    gchar* text = jsc_value_to_string(value);
    encoding = text;
    g_free(text);
  }
  if (value != nullptr) g_object_unref(value);
  (*done)(encoding);
}

// Asked in a world of our own: the page's scripts cannot answer for it.
void ReadEncoding(WebKitWebView* view, std::function<void(std::string)> done) {
  webkit_web_view_evaluate_javascript(view, "document.characterSet", -1, "tavorin-page-info",
                                      nullptr, nullptr, EncodingRead,
                                      new std::function<void(std::string)>(std::move(done)));
}

}  // namespace

struct TPageInfoWindow::Signals {
  static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, TPageInfoWindow* self) {
    if (event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED) self->Refresh();
  }
};

TPageInfoWindow& TPageInfoWindow::Show(Gtk::Window& parent, WebKitWebView* view) {
  auto* window = static_cast<TPageInfoWindow*>(g_object_get_data(G_OBJECT(parent.gobj()), kKey));
  if (window == nullptr) {
    window = new TPageInfoWindow(parent, view);
    g_object_set_data_full(G_OBJECT(parent.gobj()), kKey, window,
                           [](gpointer data) { delete static_cast<TPageInfoWindow*>(data); });
  }
  window->Refresh();
  window->present();
  return *window;
}

TPageInfoWindow::TPageInfoWindow(Gtk::Window& parent, WebKitWebView* view)
    : view_(WEBKIT_WEB_VIEW(g_object_ref(view))) {
  set_name("PageInfo");
  set_title("ページの情報");
  set_transient_for(parent);
  set_default_size(640, 560);
  auto* scrolled = Gtk::manage(new Gtk::ScrolledWindow());
  scrolled->add(parts_);
  add(*scrolled);
  parts_.set_border_width(8);
  trail_.set_editable(false);
  trail_.set_wrap_mode(Gtk::WRAP_CHAR);
  trail_.get_accessible()->set_name("ここまでの経路");
  AddPart("ここまでの経路", "PageInfoTrail", &trail_text_).pack_start(trail_, true, true);
  page_.set_selectable(true);
  page_.set_xalign(0);
  page_.set_line_wrap(true);
  AddPart("ページ", "PageInfoPage", &page_text_).pack_start(page_, false, false);
  AddPart("Cookie", "PageInfoCookies", &cookies_text_).pack_start(cookies_, false, false);
  AddPart("権限", "PageInfoPermissions", &permissions_text_).pack_start(permissions_, false, false);
  cookies_.set_selection_mode(Gtk::SELECTION_NONE);
  permissions_.set_selection_mode(Gtk::SELECTION_NONE);
  if (sigc::signal<void()>* changed = TrailChanged(view_)) {
    trail_changed_ = changed->connect(sigc::mem_fun(*this, &TPageInfoWindow::RefreshSoon));
  }
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  show_all();
}

TPageInfoWindow::~TPageInfoWindow() {
  *alive_ = false;
  trail_changed_.disconnect();
  refresh_soon_.disconnect();
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_unref(view_);
}

// A part: its title, its "コピー" button, then what the caller puts in.
Gtk::Box& TPageInfoWindow::AddPart(const char* title, const char* name, const std::string* text) {
  auto* frame = Gtk::manage(new Gtk::Frame(title));
  auto* box = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL, 4));
  auto* copy = Gtk::manage(new Gtk::Button("コピー"));
  frame->set_name(name);
  box->set_border_width(6);
  copy->set_halign(Gtk::ALIGN_END);
  copy->get_accessible()->set_name(std::string(title) + "をコピー");
  copy->signal_clicked().connect([text] { Copy(*text); });
  box->pack_start(*copy, false, false);
  frame->add(*box);
  parts_.pack_start(*frame, false, false);
  return *box;
}

void TPageInfoWindow::Refresh() {
  RefreshTrail();
  RefreshPage();
  RefreshCookies();
  RefreshPermissions();
}

void TPageInfoWindow::RefreshSoon() {
  if (refresh_soon_.connected()) return;
  refresh_soon_ = Glib::signal_timeout().connect(
      [this] {
        RefreshTrail();
        RefreshPage();
        return false;
      },
      kRefreshMs);
}

void TPageInfoWindow::RefreshTrail() {
  const TPageTrail* trail = TrailOf(view_);
  trail_text_ = trail != nullptr ? trail->Text() : "";
  trail_.get_buffer()->set_text(trail_text_);
}

void TPageInfoWindow::RefreshPage() {
  const gchar* uri = webkit_web_view_get_uri(view_);
  page_text_ = std::string("アドレス: ") + (uri != nullptr ? uri : "") + "\n";
  page_text_ += "文字コード: " + (encoding_.empty() ? std::string("不明") : encoding_) + "\n";
  page_text_ += DescribeConnection(view_);
  page_.set_text(page_text_);
  ReadEncoding(view_, [this, alive = alive_](std::string encoding) {
    if (!*alive || encoding == encoding_) return;
    encoding_ = std::move(encoding);
    RefreshPage();
  });
}

void TPageInfoWindow::AddRow(Gtk::ListBox& list, const std::string& text, const char* button,
                             std::function<void()> pressed) {
  auto* row = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 6));
  auto* label = Gtk::manage(new Gtk::Label(text));
  label->set_xalign(0);
  label->set_selectable(true);
  row->pack_start(*label, true, true);
  if (pressed) {
    auto* action = Gtk::manage(new Gtk::Button(button));
    action->get_accessible()->set_name(std::string(button) + ": " + text);
    action->signal_clicked().connect(std::move(pressed));
    row->pack_end(*action, false, false);
  }
  row->show_all();
  list.append(*row);
}

void TPageInfoWindow::RefreshCookies() {
  FetchSiteCookies(view_, [this, alive = alive_](SiteCookies cookies) {
    if (*alive) ShowCookies(std::move(cookies));
  });
}

void TPageInfoWindow::ShowCookies(SiteCookies cookies) {
  for (Gtk::Widget* row : cookies_.get_children()) cookies_.remove(*row);
  cookies_text_.clear();
  for (const auto& cookie : cookies) {
    const std::string text = cookie->Text();
    cookies_text_ += text + "\n";
    AddRow(cookies_, text, "削除", [this, cookie] {
      DeleteSiteCookie(view_, *cookie, [this, alive = alive_](bool) {
        if (*alive) RefreshCookies();
      });
    });
  }
  if (cookies.empty()) AddRow(cookies_, "このサイトの Cookie はありません", "", nullptr);
  cookies_shown_ = true;
}

void TPageInfoWindow::RefreshPermissions() {
  for (Gtk::Widget* row : permissions_.get_children()) permissions_.remove(*row);
  permissions_text_.clear();
  const std::optional<PageSite> site = PageSiteOf(view_);
  const std::string origin = site ? site->origin : "";
  auto add = [this](const std::string& text, std::function<void()> reset) {
    permissions_text_ += text + "\n";
    AddRow(permissions_, text, "リセット", [this, reset = std::move(reset)] {
      reset();
      RefreshPermissions();
    });
  };
  const auto answers =
      site ? PermissionAnswers(view_, origin) : std::vector<std::pair<std::string, bool>>{};
  for (const auto& [kind, allowed] : answers) {
    const char* words = kind.c_str();
    for (const KindName& k : kKinds) {
      if (kind == k.kind) words = k.words;
    }
    add(std::string(words) + ": " + Answer(allowed),
        [this, origin, kind] { ForgetPermissionAnswer(view_, origin, kind); });
  }
  if (const std::optional<bool> downloads = site ? DownloadsAnswer(view_, origin) : std::nullopt) {
    add(std::string(kDownloadsWords) + ": " + Answer(*downloads),
        [this, origin] { ForgetDownloadsAnswer(view_, origin); });
  }
  if (permissions_text_.empty())
    AddRow(permissions_, "このサイトに答えた権限はありません", "", nullptr);
}
