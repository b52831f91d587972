// Hosts: the outside services at their own addresses; the publisher's two
// sites are www.tavorin.jp and www.pelloria.jp. Where a service's address
// could not be established (Store Mix, Amema, Web 通, Shop あまなつ,
// Quenmore, 日払いアフィリエイト) the host is the one chosen below.
#include "window/shortcut_pages.h"

#include <algorithm>
#include <iterator>

const ShortcutPage kShortcutPages[23] = {
    {"ButtonRefresh", "楽天", "http://www.rakuten.co.jp/"},
    {"ButtonGoForward", "ビッダーズ",
     "http://www.bidders.co.jp/aff/tvr7k2qa/10482736/FR/index.html"},
    {"ButtonGoHome", "Amazon Japan", "http://www.amazon.co.jp/exec/obidos/redirect?tag=tavorin-22"},
    {"ButtonGoBack", "Store Mix", "http://www.storemix.jp/index.php?hid=3418"},
    {"ButtonVeldaLabl", "Pelloria", "http://www.pelloria.jp/"},
    {"ButtonFile", "このソフトは・・", "http://www.tavorin.jp/software.php"},
    {"Button11", "Web 通", "http://www.webtsu.jp/wps/index.php"},
    {"Button12", "Amema ランキング", "http://www.amema.jp/?tavorin-22"},
    {"Button13", "楽天 Books", "http://books.rakuten.co.jp/RBOOKS/index.html"},
    {"Button14", "Norrvikご紹介", "http://www.tavorin.jp/norrvik.html"},
    {"Button15", "Shop あまなつ", "http://www.amanatsu.jp/?id=tavorin-22"},
    {"BitBtn6", "Yahoo! JAPAN", "http://www.yahoo.co.jp/"},
    {"BitBtn7", "Google", "http://www.google.co.jp/"},
    {"Button1", "A8ネット", "http://www.a8.net/"},
    {"Button2", "JaNet", "http://j-a-net.jp/"},
    {"Button3", "電脳卸", "http://www.d-064.com/"},
    {"Button4", "バリューコマース", "http://www.valuecommerce.ne.jp/"},
    {"Button5", "アクセストレード", "http://www.accesstrade.ne.jp/index.htm"},
    {"Button6", "トラフィックゲート", "http://www.trafficgate.net/"},
    {"Button7", "Link Share", "http://www.linkshare.ne.jp/index.html"},
    {"Button8", "バナーブリッジ", "http://www.bannerbridge.net/"},
    {"Button9", "Quenmore", "http://www.quenmore.jp/"},
    {"Button10", "日払いアフィリエイト", "http://www.hibarai-affiliate.jp/"},
};

const char* ShortcutAddress(std::string_view button) {
  const auto found = std::find_if(std::begin(kShortcutPages), std::end(kShortcutPages),
                                  [&](const ShortcutPage& page) { return page.button == button; });
  return found != std::end(kShortcutPages) ? found->url : "";
}
