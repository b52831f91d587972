// Saved logins in the desktop's keyring (the Secret Service), under the
// program's own schema in the default collection. Every call is
// asynchronous: the keyring may ask the user to unlock it. Nothing here
// writes a password anywhere but to the keyring.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TSavedLogin {
  std::string origin;  // of the page: scheme://host[:port]
  std::string action;  // origin the form was sent to
  std::string username;
  std::string password;  // empty when not loaded
};

// Why the keyring cannot be used, in words for the user; empty when it can.
using KeyringProblem = std::string;
using KeyringDone = std::function<void(const KeyringProblem& problem)>;
using LoginsFound =
    std::function<void(std::vector<TSavedLogin> logins, const KeyringProblem& problem)>;

// Whether a keyring answers with a default collection that is unlocked or
// that the user unlocks now.
void CheckKeyring(KeyringDone done);
// Stores `login`, replacing the one with the same origin, action and username.
void StoreLogin(const TSavedLogin& login, KeyringDone done);
// The unlocked logins of `origin`, with passwords; never asks to unlock.
void FindLogins(const std::string& origin, LoginsFound found);
// Every saved login, without passwords; asks to unlock.
void ListLogins(LoginsFound found);
// The password of `login`, through `found` as its only element.
void LoadPassword(const TSavedLogin& login, LoginsFound found);
void DeleteLogin(const TSavedLogin& login, KeyringDone done);
