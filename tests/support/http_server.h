// A small HTTP server on 127.0.0.1 for the engine to load test pages from.
// It runs in the test's own main loop: requests are answered while the test
// waits in RunUntil.
#pragma once

#include <libsoup/soup.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TestHttpServer {
 public:
  struct Page {
    std::string body;
    std::string type = "text/html; charset=utf-8";
    int status = 200;
    std::string location;  // for redirects
    // More response headers.
    std::vector<std::pair<std::string, std::string>> headers;
    // The connection ends after this many bytes of the body, although the
    // headers announce all of it; with `hold`, it stays open instead.
    std::optional<std::size_t> cut_after;
    bool hold = false;
    // Without it, the headers give no length: the end of the connection is
    // the end of the body.
    bool announce_length = true;
    unsigned delay_ms = 0;  // the answer waits this long: a load under way
  };
  // A request's headers, names in lower case.
  using Headers = std::map<std::string, std::string>;

  // Serves https with `certificate`, when given; on `port`, else on a free one.
  explicit TestHttpServer(GTlsCertificate* certificate = nullptr, unsigned port = 0)
      : scheme_(certificate != nullptr ? "https" : "http") {
    server_ = soup_server_new("tls-certificate", certificate, nullptr);
    soup_server_add_handler(server_, nullptr, &TestHttpServer::Handle, this, nullptr);
    GError* error = nullptr;
    const SoupServerListenOptions https =
        certificate != nullptr ? SOUP_SERVER_LISTEN_HTTPS : SoupServerListenOptions(0);
    soup_server_listen_local(server_, port,
                             SoupServerListenOptions(SOUP_SERVER_LISTEN_IPV4_ONLY | https), &error);
    if (error != nullptr) g_error("test server: %s", error->message);
    GSList* uris = soup_server_get_uris(server_);
    port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  ~TestHttpServer() {
    for (GIOStream* held : held_) {
      g_io_stream_close(held, nullptr, nullptr);
      g_object_unref(held);
    }
    soup_server_disconnect(server_);
    for (GSource* source : delayed_) {
      g_source_destroy(source);
      g_source_unref(source);
    }
    g_object_unref(server_);
  }
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  void Add(const std::string& path, Page page) { pages_[path] = std::move(page); }
  void AddHtml(const std::string& path, std::string html) {
    Page page;
    page.body = std::move(html);
    Add(path, std::move(page));
  }
  std::string Url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Paths with query, in the order they were asked for.
  const std::vector<std::string>& Requests() const { return requests_; }
  // The method of each request ("GET", "POST"...), in the order of Requests().
  const std::vector<std::string>& Methods() const { return methods_; }
  // The headers of each request, in the order of Requests().
  const std::vector<Headers>& RequestHeaders() const { return request_headers_; }
  // A header of the request Requests()[index], by name in any case; empty
  // when the request had none.
  std::string RequestHeader(std::size_t index, const std::string& name) const {
    const Headers& headers = request_headers_.at(index);
    auto it = headers.find(Lower(name));
    return it != headers.end() ? it->second : "";
  }

 private:
  static void Handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*,
                     gpointer data) {
    auto* self = static_cast<TestHttpServer*>(data);
    GUri* uri = soup_server_message_get_uri(msg);
    const char* query = g_uri_get_query(uri);
    self->requests_.push_back(std::string(path) + (query ? std::string("?") + query : ""));
    self->methods_.push_back(soup_server_message_get_method(msg));
    Headers& headers = self->request_headers_.emplace_back();
    soup_message_headers_foreach(soup_server_message_get_request_headers(msg), &NoteHeader,
                                 &headers);
    auto it = self->pages_.find(path);
    if (it == self->pages_.end()) {
      soup_server_message_set_status(msg, 404, nullptr);
      soup_server_message_set_response(msg, "text/plain", SOUP_MEMORY_STATIC, "not found", 9);
      return;
    }
    const Page& page = it->second;
    if (page.cut_after) {
      self->SendCut(msg, page);
      return;
    }
    soup_server_message_set_status(msg, page.status, nullptr);
    for (const auto& [name, value] : page.headers) {
      soup_message_headers_append(soup_server_message_get_response_headers(msg), name.c_str(),
                                  value.c_str());
    }
    if (!page.location.empty()) {
      soup_message_headers_append(soup_server_message_get_response_headers(msg), "Location",
                                  page.location.c_str());
    }
    soup_server_message_set_response(msg, page.type.c_str(), SOUP_MEMORY_COPY, page.body.data(),
                                     page.body.size());
    if (page.delay_ms > 0) self->Delay(msg, page.delay_ms);
  }

  static std::string Lower(std::string text) {
    for (char& c : text) c = g_ascii_tolower(c);
    return text;
  }

  // Holds the answer back; a client that gives up first ends the wait.
  void Delay(SoupServerMessage* msg, unsigned ms) {
    soup_server_message_pause(msg);
    GSource* source = g_timeout_source_new(ms);
    g_source_set_callback(
        source,
        [](gpointer m) {
          soup_server_message_unpause(static_cast<SoupServerMessage*>(m));
          return G_SOURCE_REMOVE;
        },
        g_object_ref(msg), g_object_unref);
    g_source_attach(source, nullptr);
    g_signal_connect(msg, "disconnected",
                     G_CALLBACK(+[](SoupServerMessage*, GSource* s) { g_source_destroy(s); }),
                     source);
    delayed_.push_back(source);
  }

  static void NoteHeader(const char* name, const char* value, gpointer data) {
    gchar* lower = g_ascii_strdown(name, -1);
    std::string& kept = (*static_cast<Headers*>(data))[lower];
    kept += (kept.empty() ? "" : ", ") + std::string(value);
    g_free(lower);
  }

  // Writes the response by hand on the connection taken from the server.
  void SendCut(SoupServerMessage* msg, const Page& page) {
    // Said as a server that closes after the answer says it: the engine
    // then takes the end of the connection for the end of the data.
    std::string head =
        "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + page.type + "\r\n";
    if (page.announce_length)
      head += "Content-Length: " + std::to_string(page.body.size()) + "\r\n";
    for (const auto& [name, value] : page.headers) head += name + ": " + value + "\r\n";
    const std::string data =
        head + "\r\n" + page.body.substr(0, std::min(*page.cut_after, page.body.size()));
    GIOStream* stream = soup_server_message_steal_connection(msg);
    g_output_stream_write_all(g_io_stream_get_output_stream(stream), data.data(), data.size(),
                              nullptr, nullptr, nullptr);
    if (page.hold) {
      held_.push_back(stream);
      return;
    }
    g_io_stream_close(stream, nullptr, nullptr);
    g_object_unref(stream);
  }

  std::string scheme_;
  SoupServer* server_ = nullptr;
  std::vector<GIOStream*> held_;
  int port_ = 0;
  std::map<std::string, Page> pages_;
  std::vector<std::string> requests_;
  std::vector<Headers> request_headers_;
  std::vector<std::string> methods_;
  std::vector<GSource*> delayed_;
};
