#include "app/command_line.h"

#include <glib.h>

#include <cstdio>
#include <string_view>

#include "app/handover_message.h"
#include "browser/user_address.h"
#include "settings/message_text.h"
#include "settings/settings.h"

namespace {

constexpr char kUsage[] = R"(使い方: tavorin [オプション] [アドレス...]

最初のアドレスをメインウィンドウで、続くアドレスをそれぞれ別のウィンドウで開きます。
アドレスがなければ、メインウィンドウでホームページを開きます。
Tavorin がすでに起動していれば、そちらで新しいウィンドウを開きます。

  -h, --help     この説明を表示して終了します
  -v, --version  バージョンを表示して終了します
      --private  プライベート ウィンドウで開きます (履歴も Cookie もディスクに残しません)

設定ファイル: %s
)";

void PrintUsage() { std::printf(kUsage, SettingsFile().c_str()); }

struct Refused {
  const char* arg;
  const char* problem;
};

// Addresses reach the windows as UTF-8; a path in another encoding is
// escaped on its way to a file:// address.
void AddAddress(TCommandLine& command, const char* arg, std::vector<Refused>& refused) {
  std::string address = AddressFromUser(arg);
  const char* problem = nullptr;
  if (!g_utf8_validate(address.c_str(), -1, nullptr)) {
    problem = "UTF-8 ではない";
  } else if (address.size() > kLongestAddress) {
    problem = "長すぎる";
  }
  if (problem == nullptr) {
    command.addresses.push_back(std::move(address));
  } else {
    refused.push_back({arg, problem});
  }
}

// Said once the whole line is read: a private window's addresses are never
// written anywhere, and --private may come after them.
void SayRefused(const TCommandLine& command, const std::vector<Refused>& refused) {
  for (const Refused& r : refused) {
    if (command.private_window) {
      std::fprintf(stderr, "tavorin: プライベート ウィンドウのアドレスを 1 つ、%sため開きません\n",
                   r.problem);
    } else {
      std::fprintf(stderr, "tavorin: アドレス %s は%sため開きません\n", Quoted(r.arg).c_str(),
                   r.problem);
    }
  }
}

}  // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  TCommandLine command;
  std::vector<Refused> refused;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      PrintUsage();
      command.exit_status = 0;
      return command;
    } else if (options && (arg == "--version" || arg == "-v")) {
      std::printf("tavorin %s\n", TAVORIN_VERSION);
      command.exit_status = 0;
      return command;
    } else if (options && arg == "--private") {
      command.private_window = true;
    } else if (options && arg.size() > 1 && arg.starts_with('-')) {
      std::fprintf(stderr, "tavorin: 不明なオプション %s (tavorin --help で使い方を表示します)\n",
                   argv[i]);
      command.exit_status = 2;
      return command;
    } else if (!arg.empty()) {
      AddAddress(command, argv[i], refused);
    }
  }
  SayRefused(command, refused);
  return command;
}
