#include "window/window_limit.h"

#include <algorithm>
#include <vector>

#include "downloads/bar.h"
#include "window/form_html.h"

bool StillDownloading(TCppWebBrowser& browser) {
  for (Gtk::Widget* child : browser.get_children()) {
    auto* bar = dynamic_cast<TDownloadBar*>(child);
    if (bar == nullptr) continue;
    for (TDownload* download : bar->Downloads()) {
      if (download->state() == TDownload::State::kActive) return true;
    }
  }
  return false;
}

namespace {

// Windows the user closed, which nothing brings back.
std::vector<TForm*> Reclaimable() {
  std::vector<TForm*> found;
  for (TForm* form : Application->Forms()) {
    if (form == Application->MainForm() || form->get_visible()) continue;
    auto* window = dynamic_cast<TFormHTML*>(form);
    if (window == nullptr || !StillDownloading(*window->CppWebBrowser1)) found.push_back(form);
  }
  return found;
}

std::string Count(std::size_t n) { return std::to_string(n) + " 個"; }

}  // namespace

std::size_t WindowRoom() {
  if (Application->Forms().size() >= kMaxWindows) {
    for (TForm* form : Reclaimable()) delete form;
  }
  const std::size_t open = Application->Forms().size();
  return open < kMaxWindows ? kMaxWindows - open : 0;
}

TWindowGrant GrantWindows(std::size_t wanted) {
  TWindowGrant grant;
  const std::size_t room = WindowRoom();
  grant.open = std::min({wanted, kMaxWindowsPerRequest, room});
  const std::size_t rest = wanted - grant.open;
  if (rest == 0) return grant;
  if (grant.open == kMaxWindowsPerRequest) {
    grant.notice = "一度に開けるウィンドウは " + Count(kMaxWindowsPerRequest) +
                   "までのため、残りの " + Count(rest) + "のアドレスは開きませんでした。";
  } else {
    grant.notice = "開いているウィンドウが上限の " + Count(kMaxWindows) + "に達したため、" +
                   Count(rest) +
                   "のアドレスは開きませんでした。ウィンドウを閉じてから開き直してください。";
  }
  return grant;
}

std::string WindowLimitNotice() {
  return "開いているウィンドウが上限の " + Count(kMaxWindows) +
         "に達したため、新しいウィンドウを開けません。ウィンドウを閉じてから開き直してください。";
}
