// Click handlers: "GO", the browser commands and the shortcut buttons. Each
// acts on this window's own browser component and examines no result.
#include "search/search_engine.h"
#include "window/form_html.h"
#include "window/shortcut_pages.h"

void TFormHTML::NavigateTo(const std::string& address, AddressFrom from) {
  if (!MayOpen(address, from)) return;
  const WideString url = WideString::FromUtf8(address);
  Variant flags = Variant::Omitted();
  Variant target = Variant::Omitted();
  Variant post_data = Variant::Omitted();
  Variant headers = Variant::Omitted();
  CppWebBrowser1->Navigate(url, &flags, &target, &post_data, &headers);
}

// Typed text: an address, or words for the search site. A blank box still
// asks for the null address, which ends on a blank page.
void TFormHTML::ButtonOpenClick() {
  const std::string typed = EditURL->get_text();
  const std::string address = AddressForTyped(typed);
  const bool blank = typed.find_first_not_of(" \t\n\r\f\v") == std::string::npos;
  if (!address.empty() || blank) NavigateTo(blank ? typed : address);
}
void TFormHTML::BitBtn4Click() { CppWebBrowser1->GoBack(); }
void TFormHTML::BitBtn2Click() { CppWebBrowser1->GoForward(); }
void TFormHTML::BitBtn3Click() { CppWebBrowser1->Stop(); }
void TFormHTML::BitBtn5Click() { CppWebBrowser1->Refresh(); }
void TFormHTML::BitBtn1Click() { CppWebBrowser1->GoHome(); }

void TFormHTML::ButtonRefreshClick() { NavigateTo(ShortcutAddress("ButtonRefresh")); }

void TFormHTML::ButtonGoForwardClick() { NavigateTo(ShortcutAddress("ButtonGoForward")); }

void TFormHTML::ButtonGoHomeClick() { NavigateTo(ShortcutAddress("ButtonGoHome")); }

void TFormHTML::ButtonGoBackClick() { NavigateTo(ShortcutAddress("ButtonGoBack")); }
void TFormHTML::ButtonVeldaLablClick() { NavigateTo(ShortcutAddress("ButtonVeldaLabl")); }
void TFormHTML::ButtonFileClick() { NavigateTo(ShortcutAddress("ButtonFile")); }
void TFormHTML::Button11Click() { NavigateTo(ShortcutAddress("Button11")); }
void TFormHTML::Button12Click() { NavigateTo(ShortcutAddress("Button12")); }
void TFormHTML::Button13Click() { NavigateTo(ShortcutAddress("Button13")); }
void TFormHTML::Button14Click() { NavigateTo(ShortcutAddress("Button14")); }
void TFormHTML::Button15Click() { NavigateTo(ShortcutAddress("Button15")); }
void TFormHTML::BitBtn6Click() { NavigateTo(ShortcutAddress("BitBtn6")); }
void TFormHTML::BitBtn7Click() { NavigateTo(ShortcutAddress("BitBtn7")); }
void TFormHTML::Button1Click() { NavigateTo(ShortcutAddress("Button1")); }
void TFormHTML::Button2Click() { NavigateTo(ShortcutAddress("Button2")); }
void TFormHTML::Button3Click() { NavigateTo(ShortcutAddress("Button3")); }
void TFormHTML::Button4Click() { NavigateTo(ShortcutAddress("Button4")); }
void TFormHTML::Button5Click() { NavigateTo(ShortcutAddress("Button5")); }
void TFormHTML::Button6Click() { NavigateTo(ShortcutAddress("Button6")); }
void TFormHTML::Button7Click() { NavigateTo(ShortcutAddress("Button7")); }
void TFormHTML::Button8Click() { NavigateTo(ShortcutAddress("Button8")); }
void TFormHTML::Button9Click() { NavigateTo(ShortcutAddress("Button9")); }
void TFormHTML::Button10Click() { NavigateTo(ShortcutAddress("Button10")); }
