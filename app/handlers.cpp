// Click handlers: "GO", the browser commands and the shortcut buttons. Each
// acts on this window's own browser component and examines no result.
//
// Hosts: the outside services at their own addresses; the publisher's two
// sites are www.tavorin.jp and www.pelloria.jp. Where a service's address
// could not be established (Store Mix, Amema, Web 通, Shop あまなつ,
// Quenmore, 日払いアフィリエイト) the host is the one chosen below.
#include "app/form_html.h"

void TFormHTML::NavigateTo(const std::string& address) {
  const WideString url = WideString::FromUtf8(address);
  Variant flags = Variant::Omitted();
  Variant target = Variant::Omitted();
  Variant post_data = Variant::Omitted();
  Variant headers = Variant::Omitted();
  CppWebBrowser1->Navigate(url, &flags, &target, &post_data, &headers);
}

void TFormHTML::ButtonOpenClick() { NavigateTo(EditURL->get_text()); }
void TFormHTML::BitBtn4Click() { CppWebBrowser1->GoBack(); }
void TFormHTML::BitBtn2Click() { CppWebBrowser1->GoForward(); }
void TFormHTML::BitBtn3Click() { CppWebBrowser1->Stop(); }
void TFormHTML::BitBtn5Click() { CppWebBrowser1->Refresh(); }
void TFormHTML::BitBtn1Click() { CppWebBrowser1->GoHome(); }

void TFormHTML::ButtonRefreshClick() { NavigateTo("http://www.rakuten.co.jp/"); }

void TFormHTML::ButtonGoForwardClick() {
  NavigateTo("http://www.bidders.co.jp/aff/tvr7k2qa/10482736/FR/index.html");
}

void TFormHTML::ButtonGoHomeClick() {
  NavigateTo("http://www.amazon.co.jp/exec/obidos/redirect?tag=tavorin-22");
}

void TFormHTML::ButtonGoBackClick() { NavigateTo("http://www.storemix.jp/index.php?hid=3418"); }
void TFormHTML::ButtonVeldaLablClick() { NavigateTo("http://www.pelloria.jp/"); }
void TFormHTML::ButtonFileClick() { NavigateTo("http://www.tavorin.jp/software.php"); }
void TFormHTML::Button11Click() { NavigateTo("http://www.webtsu.jp/wps/index.php"); }
void TFormHTML::Button12Click() { NavigateTo("http://www.amema.jp/?tavorin-22"); }
void TFormHTML::Button13Click() { NavigateTo("http://books.rakuten.co.jp/RBOOKS/index.html"); }
void TFormHTML::Button14Click() { NavigateTo("http://www.tavorin.jp/norrvik.html"); }
void TFormHTML::Button15Click() { NavigateTo("http://www.amanatsu.jp/?id=tavorin-22"); }
void TFormHTML::BitBtn6Click() { NavigateTo("http://www.yahoo.co.jp/"); }
void TFormHTML::BitBtn7Click() { NavigateTo("http://www.google.co.jp/"); }
void TFormHTML::Button1Click() { NavigateTo("http://www.a8.net/"); }
void TFormHTML::Button2Click() { NavigateTo("http://j-a-net.jp/"); }
void TFormHTML::Button3Click() { NavigateTo("http://www.d-064.com/"); }
void TFormHTML::Button4Click() { NavigateTo("http://www.valuecommerce.ne.jp/"); }
void TFormHTML::Button5Click() { NavigateTo("http://www.accesstrade.ne.jp/index.htm"); }
void TFormHTML::Button6Click() { NavigateTo("http://www.trafficgate.net/"); }
void TFormHTML::Button7Click() { NavigateTo("http://www.linkshare.ne.jp/index.html"); }
void TFormHTML::Button8Click() { NavigateTo("http://www.bannerbridge.net/"); }
void TFormHTML::Button9Click() { NavigateTo("http://www.quenmore.jp/"); }
void TFormHTML::Button10Click() { NavigateTo("http://www.hibarai-affiliate.jp/"); }
