#include "downloads/page_picture.h"

#include <cairo.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr char kHeightScript[] =
    "Math.max(document.documentElement.scrollHeight,"
    " document.body ? document.body.scrollHeight : 0)";

// A picture the engine could not make is tried again half as tall, down
// to this many pixels.
constexpr int kShortestCut = 4096;

// One picture under way.
struct Taking {
  WebKitWebView* view;  // a reference of our own
  std::string path;
  PictureDone done;
  double page_height = 0;               // in the picture's pixels
  double limit = kMaxPictureHeight;     // the tallest picture asked for
  WebKitUserStyleSheet* cut = nullptr;  // holds the page to the height we can take
  void Uncut() {
    if (cut == nullptr) return;
    webkit_user_content_manager_remove_style_sheet(webkit_web_view_get_user_content_manager(view),
                                                   cut);
    webkit_user_style_sheet_unref(cut);
    cut = nullptr;
  }
  ~Taking() {
    Uncut();
    g_object_unref(view);
  }
};

// Pixels of the picture for each CSS pixel of the page.
double Scale(WebKitWebView* view) {
  return webkit_web_view_get_zoom_level(view) * gtk_widget_get_scale_factor(GTK_WIDGET(view));
}

// The page's body ends at `height` CSS pixels for as long as the picture is
// taken; the root's own overflow is kept from reaching the window.
void CutPage(Taking& taking, double height) {
  const std::string css = "html { overflow: hidden !important; } body { max-height: " +
                          std::to_string(static_cast<long>(height)) +
                          "px !important; overflow: hidden !important; margin-bottom: 0 "
                          "!important; padding-bottom: 0 !important; }";
  taking.cut = webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                           WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(webkit_web_view_get_user_content_manager(taking.view),
                                              taking.cut);
}

void Shoot(std::unique_ptr<Taking> taking);

void Taken(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Taking> taking(static_cast<Taking*>(data));
  GError* error = nullptr;
  cairo_surface_t* surface =
      webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, &error);
  // The engine's own limit is lower when memory is short: a shorter cut.
  const double tried = std::min(taking->page_height, taking->limit);
  if (surface == nullptr && tried / 2 >= kShortestCut) {
    g_error_free(error);
    taking->limit = std::floor(tried / 2);
    Shoot(std::move(taking));
    return;
  }
  if (surface == nullptr) {
    const std::string reason = error->message;
    g_error_free(error);
    taking->done(false, reason, false);
    return;
  }
  cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_write_to_png(surface, taking->path.c_str());
  }
  const int height = cairo_image_surface_get_height(surface);
  cairo_surface_destroy(surface);
  const bool cut = taking->cut != nullptr;
  PictureDone done = std::move(taking->done);
  taking.reset();  // the page takes its own length back
  if (status != CAIRO_STATUS_SUCCESS || height <= 0) {
    done(false, cairo_status_to_string(status), false);
  } else {
    done(true, "", cut);
  }
}

void Measured(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Taking> taking(static_cast<Taking*>(data));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  const double height =
      value != nullptr && jsc_value_is_number(value) ? jsc_value_to_double(value) : 0;
  if (value != nullptr) g_object_unref(value);
  taking->page_height = height * Scale(taking->view);
  Shoot(std::move(taking));
}

void Shoot(std::unique_ptr<Taking> taking) {
  taking->Uncut();
  const double scale = Scale(taking->view);
  if (taking->page_height > taking->limit) CutPage(*taking, std::floor(taking->limit / scale));
  WebKitWebView* page = taking->view;
  webkit_web_view_get_snapshot(page, WEBKIT_SNAPSHOT_REGION_FULL_DOCUMENT,
                               WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr, Taken, taking.release());
}

}  // namespace

void TakePagePicture(WebKitWebView* view, const std::string& path, PictureDone done) {
  auto* taking = new Taking{WEBKIT_WEB_VIEW(g_object_ref(view)), path, std::move(done)};
  webkit_web_view_evaluate_javascript(view, kHeightScript, -1, "tavorin-picture", nullptr, nullptr,
                                      Measured, taking);
}
