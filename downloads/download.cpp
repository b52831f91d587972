#include "downloads/download.h"

#include <glib/gstdio.h>
#include <webkit2/webkit2.h>

#include <utility>

#include "downloads/folder.h"
#include "downloads/name.h"

namespace {

// What the download is called until the engine suggests a name.
std::string NameFromAddress(const gchar* uri) {
  gchar* base = g_path_get_basename(uri != nullptr ? uri : "");
  std::string name = download_name::Safe(base);
  g_free(base);
  return name;
}

}  // namespace

struct TDownload::Signals {
  static gboolean DecideDestination(WebKitDownload*, gchar* suggested, TDownload* self) {
    return self->DecideDestination(suggested != nullptr ? suggested : "");
  }
  static void ReceivedData(WebKitDownload*, guint64, TDownload* self) { self->changed_.emit(); }
  static void Failed(WebKitDownload*, GError* error, TDownload* self) {
    self->engine_failed_ = true;
    if (!self->failure_.empty()) {  // ours, given when we stopped it
      self->End(State::kFailed);
    } else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR,
                               WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
      self->End(State::kCancelled);
    } else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION)) {
      self->Fail("ファイルに書き込めませんでした");
    } else {
      self->Fail("接続が途中で切れました");
    }
  }
  // Also follows a failure. The engine takes a connection closed early for
  // the end of the data: what the response announced says otherwise.
  static void Finished(WebKitDownload*, TDownload* self) {
    if (self->engine_failed_) return;
    if (self->CutShort()) {
      self->failure_ = "接続が途中で切れました";
      self->End(State::kFailed);
    } else {
      self->Finish();
    }
  }
};

TDownload::TDownload(WebKitDownload* download)
    : download_(WEBKIT_DOWNLOAD(g_object_ref(download))) {
  name_ = NameFromAddress(webkit_uri_request_get_uri(webkit_download_get_request(download_)));
  g_signal_connect(download_, "decide-destination", G_CALLBACK(Signals::DecideDestination), this);
  g_signal_connect(download_, "received-data", G_CALLBACK(Signals::ReceivedData), this);
  g_signal_connect(download_, "failed", G_CALLBACK(Signals::Failed), this);
  g_signal_connect(download_, "finished", G_CALLBACK(Signals::Finished), this);
}

std::unique_ptr<TDownload> TDownload::Saved(const std::string& path, std::string note) {
  std::unique_ptr<TDownload> saved(new TDownload());
  saved->path_ = path;
  gchar* base = g_path_get_basename(path.c_str());
  saved->name_ = base;
  g_free(base);
  saved->named_ = true;
  saved->note_ = std::move(note);
  GStatBuf info;
  if (g_stat(path.c_str(), &info) == 0) saved->size_ = info.st_size;
  saved->state_ = State::kDone;
  return saved;
}

std::unique_ptr<TDownload> TDownload::NotSaved(std::string name, std::string failure) {
  std::unique_ptr<TDownload> failed(new TDownload());
  failed->name_ = std::move(name);
  failed->named_ = true;
  failed->failure_ = std::move(failure);
  failed->state_ = State::kFailed;
  return failed;
}

TDownload::~TDownload() {
  if (download_ == nullptr) return;
  g_signal_handlers_disconnect_by_data(download_, this);
  if (state_ == State::kActive) webkit_download_cancel(download_);
  file_.Discard();
  g_object_unref(download_);
}

void TDownload::Cancel() {
  if (state_ == State::kActive && download_ != nullptr) webkit_download_cancel(download_);
}

std::string TDownload::Address() const {
  if (download_ == nullptr) return "";
  const gchar* uri = webkit_uri_request_get_uri(webkit_download_get_request(download_));
  return uri != nullptr ? uri : "";
}

bool TDownload::SentData() const {
  if (download_ == nullptr) return false;
  const gchar* method = webkit_uri_request_get_http_method(webkit_download_get_request(download_));
  return method != nullptr && g_strcmp0(method, "GET") != 0 && g_strcmp0(method, "HEAD") != 0;
}

WebKitWebView* TDownload::View() const {
  return download_ != nullptr ? webkit_download_get_web_view(download_) : nullptr;
}

guint64 TDownload::Received() const {
  return download_ != nullptr ? webkit_download_get_received_data_length(download_) : size_;
}

guint64 TDownload::Total() const {
  if (download_ == nullptr) return size_;
  WebKitURIResponse* response = webkit_download_get_response(download_);
  const guint64 length = response != nullptr ? webkit_uri_response_get_content_length(response) : 0;
  return length < G_MAXINT64 ? length : 0;  // an unknown length comes as -1
}

// A length announced for encoded data counts the encoded bytes, not the
// decoded ones the engine writes: only a plain body can be measured.
bool TDownload::CutShort() const {
  WebKitURIResponse* response = webkit_download_get_response(download_);
  if (response == nullptr || Total() == 0) return false;
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* encoding =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
  if (encoding != nullptr && g_ascii_strcasecmp(encoding, "identity") != 0) return false;
  return Received() != Total();
}

// The engine would write to the final name and, when that exists, fail and
// delete the user's file: it only ever sees a temporary name of ours.
bool TDownload::DecideDestination(const std::string& suggested) {
  name_ = download_name::Safe(preferred_.empty() ? suggested : preferred_);
  named_ = true;
  const std::string folder = DownloadFolder();
  std::string error;
  if (!MakeFolder(folder, &error)) {
    Fail("保存先のフォルダ " + folder + " を作れませんでした（" + error + "）");
  } else if (!file_.Reserve(folder)) {
    Fail("保存先のフォルダ " + folder + " に書き込めませんでした（" + file_.Error() + "）");
  } else {
    webkit_download_set_allow_overwrite(download_, TRUE);  // the reserved file is ours
    webkit_download_set_destination(download_, file_.TemporaryPath().c_str());
  }
  changed_.emit();
  return TRUE;
}

// Stops the download with `reason`; the engine's failure notice ends it.
void TDownload::Fail(std::string reason) {
  failure_ = std::move(reason);
  if (engine_failed_) {
    End(State::kFailed);
  } else {
    webkit_download_cancel(download_);
  }
}

void TDownload::Finish() {
  if (state_ != State::kActive) return;
  path_ = file_.Commit(name_);
  if (path_.empty()) {
    failure_ = "保存できませんでした（" + file_.Error() + "）";
    End(State::kFailed);
    return;
  }
  gchar* base = g_path_get_basename(path_.c_str());
  name_ = base;
  g_free(base);
  End(State::kDone);
}

void TDownload::End(State state) {
  if (state_ != State::kActive) return;
  file_.Discard();
  state_ = state;
  changed_.emit();
}
