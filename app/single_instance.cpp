#include "app/single_instance.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/handover_message.h"
#include "browser/profile.h"

namespace {

constexpr char kLockName[] = "lock";
constexpr char kSocketName[] = "instance";
// A copy that is starting has not listened yet; one that is ending still
// holds the lock for a moment.
constexpr gint64 kClaimForUs = 10 * G_USEC_PER_SEC;
constexpr gulong kRetryAfterUs = 100 * 1000;
constexpr guint kConnectTimeoutS = 3;
// The copy that runs answers once the windows are made, which on a loaded
// machine takes a while for twenty of them.
constexpr guint kAnswerTimeoutS = 60;
// A later start sends its message at once; a connection that stays open
// longer, however it trickles, or more of them at a time, come from
// something else.
constexpr guint kMessageForS = 10;
constexpr int kMostAtOnce = 8;
// Told to a start that comes while every place is taken: its message was not
// read, so it may send it again. It waits longer than a place stays taken.
constexpr gint64 kBusyForUs = (kMessageForS + 5) * G_USEC_PER_SEC;
constexpr char kOpened[] = "OK";
constexpr char kRefused[] = "NO";
constexpr char kBusy[] = "BUSY";

// The desktop's startup notification of this start, then the addresses. No
// address means a new window.
std::string Message(const std::vector<std::string>& addresses, bool private_window) {
  const char* startup_id = g_getenv("DESKTOP_STARTUP_ID");
  return EncodeHandOver(startup_id != nullptr ? startup_id : "", addresses, private_window);
}

bool SendAll(GSocket* socket, const std::string& data) {
  for (std::size_t sent = 0; sent < data.size();) {
    const gssize n =
        g_socket_send(socket, data.data() + sent, data.size() - sent, nullptr, nullptr);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

std::string ReadAnswer(GSocket* socket) {
  std::string answer;
  char chunk[16];
  gssize n;
  while (answer.size() < sizeof kBusy &&
         (n = g_socket_receive(socket, chunk, sizeof chunk, nullptr, nullptr)) > 0) {
    answer.append(chunk, n);
  }
  return answer;
}

// What the copy listening at `path` answered to `addresses`, empty when it
// said nothing; none when the message did not reach it.
std::optional<std::string> HandOver(const std::string& path,
                                    const std::vector<std::string>& addresses,
                                    bool private_window) {
  GSocket* socket =
      g_socket_new(G_SOCKET_FAMILY_UNIX, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_DEFAULT, nullptr);
  if (socket == nullptr) return std::nullopt;
  g_socket_set_timeout(socket, kConnectTimeoutS);
  GSocketAddress* address = g_unix_socket_address_new(path.c_str());
  const bool sent = g_socket_connect(socket, address, nullptr, nullptr) &&
                    SendAll(socket, Message(addresses, private_window)) &&
                    g_socket_shutdown(socket, FALSE, TRUE, nullptr);
  std::optional<std::string> answer;
  if (sent) {
    g_socket_set_timeout(socket, kAnswerTimeoutS);
    answer = ReadAnswer(socket);
  }
  g_object_unref(address);
  g_object_unref(socket);
  return answer;
}

}  // namespace

// A later start's message, read as it comes.
struct TSingleInstance::Incoming {
  TSingleInstance* owner;
  GSocketConnection* connection;
  GCancellable* cancellable;
  std::shared_ptr<int> reading;  // connections being read, this one included
  std::string message{};
  char chunk[4096]{};
  bool dropped = false;
  guint deadline = 0;
  GCancellable* stopped = nullptr;  // the owner's: its end ends every read
  gulong on_stop = 0;

  // Every later start's connection is read to its end, then answered.
  static gboolean Start(GSocketService*, GSocketConnection* connection, GObject*, gpointer data) {
    auto* owner = static_cast<TSingleInstance*>(data);
    if (*owner->reading_ >= kMostAtOnce) {
      TellBusy(connection);
      return TRUE;
    }
    ++*owner->reading_;
    auto* incoming = new Incoming{owner, G_SOCKET_CONNECTION(g_object_ref(connection)),
                                  g_cancellable_new(), owner->reading_};
    incoming->stopped = G_CANCELLABLE(g_object_ref(owner->cancellable_));
    incoming->on_stop = g_cancellable_connect(
        incoming->stopped,
        G_CALLBACK(+[](GCancellable*, gpointer own) { g_cancellable_cancel(G_CANCELLABLE(own)); }),
        incoming->cancellable, nullptr);
    incoming->deadline = g_timeout_add_seconds(kMessageForS, &Incoming::TooLong, incoming);
    incoming->ReadMore();
    return TRUE;
  }

  // Unread, so that the start may send the same message again.
  static void TellBusy(GSocketConnection* connection) {
    GSocket* socket = g_socket_connection_get_socket(connection);
    g_socket_set_blocking(socket, FALSE);
    g_socket_send(socket, kBusy, std::strlen(kBusy), nullptr, nullptr);
    g_socket_close(socket, nullptr);
  }

  // Counted from the connection's start, not from its last byte.
  static gboolean TooLong(gpointer data) {
    auto* self = static_cast<Incoming*>(data);
    self->deadline = 0;
    std::fprintf(stderr, "tavorin: 引き継ぎのメッセージが %u 秒で届き終わらないため捨てました\n",
                 kMessageForS);
    self->dropped = true;
    g_cancellable_cancel(self->cancellable);
    return G_SOURCE_REMOVE;
  }

  ~Incoming() {
    --*reading;
    if (deadline != 0) g_source_remove(deadline);
    g_cancellable_disconnect(stopped, on_stop);
    g_object_unref(stopped);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    g_object_unref(connection);
    g_object_unref(cancellable);
  }

  void ReadMore() {
    g_input_stream_read_async(g_io_stream_get_input_stream(G_IO_STREAM(connection)), chunk,
                              sizeof chunk, G_PRIORITY_DEFAULT, cancellable, &Incoming::Read, this);
  }

  static void Read(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Incoming*>(data);
    GError* error = nullptr;
    const gssize n = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, &error);
    g_clear_error(&error);
    const bool more = n > 0 && self->message.size() + n <= kLargestHandOver;
    if (more) self->message.append(self->chunk, n);
    if (more) {
      self->ReadMore();
      return;
    }
    // A message past the limit is read no further: it is dropped anyway.
    if (n > 0) self->message.resize(kLargestHandOver + 1);
    if (n >= 0 && !self->dropped && !g_cancellable_is_cancelled(self->stopped)) self->Open();
    delete self;
  }

  // The answer goes back only after the windows are made: the later start
  // ends on it.
  void Open() {
    std::string problem;
    const std::optional<THandOver> handover = DecodeHandOver(message, problem);
    if (handover) {
      owner->open_(*handover);
    } else {
      std::fprintf(stderr, "tavorin: 引き継ぎのメッセージ (%zu バイト) を捨てました: %s\n",
                   message.size(), problem.c_str());
    }
    const char* answer = handover ? kOpened : kRefused;
    g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(connection)), answer,
                              std::strlen(answer), nullptr, nullptr, nullptr);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
  }
};

TSingleInstance::TSingleInstance()
    : lock_path_(ProfileDataFile(kLockName)), socket_path_(ProfileDataFile(kSocketName)) {}

TSingleInstance::~TSingleInstance() {
  if (service_ != nullptr) {
    g_cancellable_cancel(cancellable_);
    g_socket_service_stop(service_);
    g_socket_listener_close(G_SOCKET_LISTENER(service_));
    g_object_unref(service_);
    g_object_unref(cancellable_);
    unlink(socket_path_.c_str());  // still ours: the lock is held until the next line
  }
  if (lock_fd_ >= 0) close(lock_fd_);
}

TSingleInstance::Role TSingleInstance::Claim(const std::vector<std::string>& addresses,
                                             bool private_window) {
  // Without a profile folder nothing is kept on disk, so there is nothing to share.
  if (!MakePrivateFolder(ProfileDataFolder())) return Role::kFirst;
  lock_fd_ = open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (lock_fd_ < 0) {
    std::fprintf(stderr, "tavorin: %s を開けません (%s)\n", lock_path_.c_str(),
                 std::strerror(errno));
    return Role::kFirst;
  }
  gint64 give_up = g_get_monotonic_time() + kClaimForUs;
  bool told_busy = false;
  while (true) {
    // The kernel lets the lock go with the process that held it, however it ended.
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) {
      locked_ = true;
      return Role::kFirst;
    }
    if (errno != EWOULDBLOCK) {
      std::fprintf(stderr, "tavorin: %s をロックできません (%s)\n", lock_path_.c_str(),
                   std::strerror(errno));
      return Role::kFirst;
    }
    const std::optional<std::string> answer = HandOver(socket_path_, addresses, private_window);
    if (answer == kOpened) return Role::kHandedOver;
    if (answer == kRefused) return Role::kRefused;
    if (answer == kBusy && !told_busy) {
      told_busy = true;
      give_up = g_get_monotonic_time() + kBusyForUs;
      std::fprintf(stderr, "tavorin: 起動中の Tavorin が混み合っています。最大 %lld 秒待ちます\n",
                   static_cast<long long>(kBusyForUs / G_USEC_PER_SEC));
    }
    // Sent again, a message that was read would open its windows twice.
    if (answer && answer != kBusy) return Role::kUnanswered;
    if (g_get_monotonic_time() > give_up) return Role::kUnanswered;
    g_usleep(kRetryAfterUs);
  }
}

void TSingleInstance::Serve(Opener open) {
  if (!locked_) return;
  open_ = std::move(open);
  unlink(socket_path_.c_str());  // left by a copy that was killed
  service_ = g_socket_service_new();
  cancellable_ = g_cancellable_new();
  GSocketAddress* address = g_unix_socket_address_new(socket_path_.c_str());
  GError* error = nullptr;
  if (!g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                     G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, &error)) {
    std::fprintf(stderr, "tavorin: %s で待ち受けできません (%s); 次の起動は開けません\n",
                 socket_path_.c_str(), error->message);
    g_error_free(error);
  }
  g_object_unref(address);
  g_signal_connect(service_, "incoming", G_CALLBACK(Incoming::Start), this);
  g_socket_service_start(service_);
}
