// A session bus of the test's own with a real gnome-keyring-daemon on it,
// whose login collection is made and unlocked with an empty password, so
// that tests never touch the desktop's bus or keyring. The bus offers no
// services to start: a prompt to unlock can never be answered, as when the
// user refuses it.
#pragma once

#include <glib.h>
#include <libsecret/secret.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/private_folders.h"

namespace testsupport {

class KeyringSession {
 public:
  enum class Keyring { kUnlocked, kLocked, kMissing };

  explicit KeyringSession(Keyring keyring) : root_(MakePrivateRoot()) {
    StartBus();
    if (keyring != Keyring::kMissing) StartKeyring();
    if (keyring == Keyring::kLocked) LockDefault();
  }
  ~KeyringSession() {
    for (GPid pid : {keyring_, bus_}) {
      if (pid == 0) continue;
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    RemoveTree(root_);
  }
  KeyringSession(const KeyringSession&) = delete;
  KeyringSession& operator=(const KeyringSession&) = delete;

 private:
  static GPid Spawn(std::vector<const char*> argv, char** envp, gint* in, gint* out) {
    argv.push_back(nullptr);
    GPid pid = 0;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv.data()), envp,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                              (out == nullptr ? G_SPAWN_STDOUT_TO_DEV_NULL : 0)),
                                  nullptr, nullptr, &pid, in, out, nullptr, nullptr)) {
      g_error("cannot start %s", argv[0]);
    }
    return pid;
  }

  void StartBus() {
    const std::string config = root_ + "/bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:dir=" << root_
                          << "/runtime</listen><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    const std::string config_arg = "--config-file=" + config;
    gint out = -1;
    bus_ = Spawn({"dbus-daemon", config_arg.c_str(), "--nofork", "--print-address=1"}, nullptr,
                 nullptr, &out);
    std::string address;
    char c = 0;
    while (read(out, &c, 1) == 1 && c != '\n') address += c;
    close(out);
    g_setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), TRUE);
  }

  void StartKeyring() {
    std::vector<std::string> environment = {
        "DBUS_SESSION_BUS_ADDRESS=" + std::string(g_getenv("DBUS_SESSION_BUS_ADDRESS")),
        "HOME=" + root_ + "/home", "XDG_DATA_HOME=" + root_ + "/data",
        "XDG_RUNTIME_DIR=" + root_ + "/runtime", "PATH=" + std::string(g_getenv("PATH"))};
    std::vector<const char*> envp;
    for (const std::string& entry : environment) envp.push_back(entry.c_str());
    envp.push_back(nullptr);
    gint in = -1;
    keyring_ = Spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                     const_cast<char**>(envp.data()), &in, nullptr);
    // The empty password, as one empty line: with no line at all the daemon
    // makes no login collection.
    if (write(in, "\n", 1) != 1) g_error("cannot unlock the keyring");
    close(in);
    for (int tries = 0; tries < 200; ++tries, g_usleep(50000)) {
      if (SecretCollection* collection = DefaultCollection()) return g_object_unref(collection);
    }
    g_error("the keyring made no default collection");
  }

  static SecretCollection* DefaultCollection() {
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    if (service == nullptr) return nullptr;
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr);
    g_object_unref(service);
    return collection;
  }

  static void LockDefault() {
    SecretCollection* collection = DefaultCollection();
    GList objects = {collection, nullptr, nullptr};
    secret_service_lock_sync(secret_collection_get_service(collection), &objects, nullptr, nullptr,
                             nullptr);
    g_object_unref(collection);
  }

  std::string root_;
  GPid bus_ = 0;
  GPid keyring_ = 0;
};

}  // namespace testsupport
