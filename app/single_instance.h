// One copy of the program at a time runs on the user's profile. A later start
// hands its addresses to the copy that runs and ends, so two copies never
// share the profile's files.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct THandOver;

typedef struct _GSocketService GSocketService;
typedef struct _GCancellable GCancellable;

class TSingleInstance {
 public:
  using Opener = std::function<void(const THandOver& handover)>;
  enum class Role {
    kFirst,       // this copy has the profile
    kHandedOver,  // the copy that runs has opened the addresses
    kUnanswered,  // another copy has the profile but did not answer
    kRefused,     // the copy that runs took the message for a malformed one
  };

  TSingleInstance();
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Takes the profile for this copy, or hands `addresses` to the copy that
  // has it, waiting some seconds for a copy still starting or ending.
  Role Claim(const std::vector<std::string>& addresses, bool private_window = false);
  // In the first copy: from now on the hand-overs of later starts come to
  // `open` in the main loop; malformed ones are dropped with a line on
  // standard error.
  void Serve(Opener open);

 private:
  struct Incoming;

  std::string lock_path_;
  std::string socket_path_;
  int lock_fd_ = -1;
  bool locked_ = false;
  GSocketService* service_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  Opener open_;
  std::shared_ptr<int> reading_ = std::make_shared<int>(0);
};
