#include "downloads/page_save.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "downloads/bar.h"
#include "downloads/file.h"
#include "downloads/folder.h"
#include "downloads/name.h"
#include "downloads/page_picture.h"

namespace {

constexpr char kCutNote[] = "ページが長すぎるため、途中までを保存しました";

// One save under way: the file reserved for it and the strip to tell.
struct Saving {
  explicit Saving(Gtk::Box& browser) { g_weak_ref_init(&strip, browser.gobj()); }
  ~Saving() {
    file.Discard();
    g_weak_ref_clear(&strip);
  }
  DownloadFile file;
  std::string name;
  GWeakRef strip;  // the window may close before the engine is done
};

// Whether `text` leaves a name once made safe: "..", "." or direction marks
// alone do not, nor the separators left of " . / .. ".
bool Names(const std::string& text) {
  const std::string safe = download_name::Safe(text);
  return !text.empty() && safe != download_name::kFallback &&
         safe.find_first_not_of("_. ") != std::string::npos;
}

// The page's title, else its host, else a word of our own.
std::string PageName(WebKitWebView* view, const char* extension) {
  const gchar* title = webkit_web_view_get_title(view);
  std::string name = title != nullptr ? title : "";
  if (!Names(name)) {
    name.clear();
    const gchar* uri = webkit_web_view_get_uri(view);
    GUri* parsed = uri != nullptr ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
    if (parsed != nullptr && g_uri_get_host(parsed) != nullptr) name = g_uri_get_host(parsed);
    if (parsed != nullptr) g_uri_unref(parsed);
  }
  const std::string stem = Names(name) ? download_name::Safe(name) : download_name::kFallback;
  return download_name::Safe(stem + extension);
}

void Tell(Saving& saving, std::unique_ptr<TDownload> shown) {
  GObject* strip = static_cast<GObject*>(g_weak_ref_get(&saving.strip));
  if (strip == nullptr) return;
  if (auto* browser = dynamic_cast<Gtk::Box*>(Glib::wrap(GTK_WIDGET(strip)))) {
    TDownloadBar::Of(*browser).AddSaved(std::move(shown));
  }
  g_object_unref(strip);
}

void Fail(Saving& saving, const std::string& reason) {
  Tell(saving, TDownload::NotSaved(saving.name, reason));
}

// Gives the written file its name, or says why it has none.
void Finish(Saving& saving, const std::string& note = {}) {
  const std::string path = saving.file.Commit(saving.name);
  if (path.empty()) {
    Fail(saving, "保存できませんでした（" + saving.file.Error() + "）");
  } else {
    Tell(saving, TDownload::Saved(path, note));
  }
}

// A file of our own in the download folder, or the reason there is none.
std::unique_ptr<Saving> Reserve(WebKitWebView* view, Gtk::Box& browser, const char* extension) {
  auto saving = std::make_unique<Saving>(browser);
  saving->name = PageName(view, extension);
  const std::string folder = DownloadFolder();
  std::string error;
  if (!MakeFolder(folder, &error)) {
    Fail(*saving, "保存先のフォルダ " + folder + " を作れませんでした（" + error + "）");
    return nullptr;
  }
  if (!saving->file.Reserve(folder)) {
    Fail(*saving,
         "保存先のフォルダ " + folder + " に書き込めませんでした（" + saving->file.Error() + "）");
    return nullptr;
  }
  return saving;
}

void PageSaved(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Saving> saving(static_cast<Saving*>(data));
  GError* error = nullptr;
  if (!webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(view), result, &error)) {
    Fail(*saving, std::string("保存できませんでした（") + error->message + "）");
    g_error_free(error);
    return;
  }
  Finish(*saving);
}

}  // namespace

void SavePageWhole(WebKitWebView* view, Gtk::Box& browser) {
  std::unique_ptr<Saving> saving = Reserve(view, browser, ".mhtml");
  if (!saving) return;
  GFile* file = g_file_new_for_path(saving->file.TemporaryPath().c_str());
  webkit_web_view_save_to_file(view, file, WEBKIT_SAVE_MODE_MHTML, nullptr, PageSaved,
                               saving.release());
  g_object_unref(file);
}

void SavePagePicture(WebKitWebView* view, Gtk::Box& browser) {
  std::shared_ptr<Saving> saving = Reserve(view, browser, ".png");
  if (!saving) return;
  TakePagePicture(view, saving->file.TemporaryPath(),
                  [saving](bool written, const std::string& failure, bool cut) {
                    if (!written) {
                      Fail(*saving, "保存できませんでした（" + failure + "）");
                    } else {
                      Finish(*saving, cut ? kCutNote : "");
                    }
                  });
}
