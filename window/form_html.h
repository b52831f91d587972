// TFormHTML: the browser window. Every window of the program, main or
// secondary, is one of these, with the same layout and behaviour.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>

#include <memory>
#include <string>

#include "browser/address_gate.h"
#include "browser/cpp_web_browser.h"
#include "platform/application.h"
#include "window/controls.h"

class TSuggestionList;

// A private window keeps nothing of what it shows (see window/private_window.h).
enum class TWindowKind { kNormal, kPrivate };

class TFormHTML : public TForm {
 public:
  // The window loads `StartAddress` in place of its home page, if given; a
  // back/forward list kept from an earlier run, `StartState`, comes first.
  explicit TFormHTML(TApplication* Owner, std::string StartAddress = {},
                     std::string StartState = {}, TWindowKind Kind = TWindowKind::kNormal);
  ~TFormHTML() override;

  // Layout, in declaration order. The window owns every control.
  TPanel* Panel1;
  TPanel* Panel2;
  TCppWebBrowser* CppWebBrowser1;
  TButton* ButtonGoHome;
  TButton* ButtonGoBack;
  TButton* ButtonGoForward;
  Gtk::Entry* EditURL;
  Gtk::Label* Label1;
  TButton* ButtonOpen;
  TButton* ButtonVeldaLabl;
  TButton* ButtonFile;
  TButton* ButtonRefresh;
  TPanel* Panel3;
  TBitBtn* BitBtn1;
  TBitBtn* BitBtn2;
  TBitBtn* BitBtn3;
  TBitBtn* BitBtn4;
  TBitBtn* BitBtn5;
  TGroupBox* GroupBox1;
  TButton* Button1;
  TButton* Button2;
  TButton* Button3;
  TButton* Button4;
  TButton* Button5;
  TButton* Button6;
  TButton* Button7;
  TButton* Button8;
  TButton* Button9;
  TButton* Button10;
  TButton* Button11;
  TButton* Button12;
  TButton* Button13;
  TButton* Button14;
  TButton* Button15;
  TGroupBox* GroupBox2;
  TBitBtn* BitBtn6;
  TBitBtn* BitBtn7;

  void FormCreate();

  // "GO" and the browser commands.
  void ButtonOpenClick();
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void BitBtn5Click();

  // Shortcut buttons, one fixed address each.
  void ButtonRefreshClick();
  void ButtonGoForwardClick();
  void ButtonGoHomeClick();
  void ButtonGoBackClick();
  void ButtonVeldaLablClick();
  void ButtonFileClick();
  void Button11Click();
  void Button12Click();
  void Button13Click();
  void Button14Click();
  void Button15Click();
  void BitBtn6Click();
  void BitBtn7Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void Button9Click();
  void Button10Click();

  // Events of the browser component.
  void CppWebBrowser1BeforeNavigate2(TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL,
                                     Variant* Flags, Variant* TargetFrameName, Variant* PostData,
                                     Variant* Headers, VARIANT_BOOL* Cancel);
  void CppWebBrowser1NewWindow2(TCppWebBrowser* Sender, IDispatch** ppDisp, VARIANT_BOOL* Cancel);
  void CppWebBrowser1NavigateComplete2(TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL);
  void CppWebBrowser1ProgressChange(TCppWebBrowser* Sender, long Progress, long ProgressMax);

  // The application's message hook. It uses nothing of the window that
  // installed it, and must go on working after that window is gone.
  static void ApplicationMessage(const MSG& Msg, bool& Handled);

  // Loads `address` in this window, as "GO" does with a typed one.
  // Every address the window opens passes browser/address_gate.h here.
  void NavigateTo(const std::string& address, AddressFrom from = AddressFrom::kUser);

  bool Private() const { return kind_ == TWindowKind::kPrivate; }

  // A new window of `kind` with the home page, shown 20 px right of and
  // below `place`; none, with the reason in this window's strip, when the
  // program has no room for another.
  TFormHTML* OpenWindow(TWindowKind kind, TFormHTML& place);

  // The pages offered under EditURL while the user types.
  TSuggestionList& Suggestions() { return *suggestions_; }

 private:
  void BuildPanel1();
  void BuildPanel2();
  void BuildPanel3();
  void BindBrowserEvents();
  void SetTabOrder();
  void LeavePageWhenClosed();

  bool closed_ = false;  // by the user; the window is kept hidden

  std::string start_address_;
  std::string start_state_;
  TWindowKind kind_;
  std::unique_ptr<TSuggestionList> suggestions_;
};

// The main window; null before it is built and after building it failed.
extern TFormHTML* FormHTML;
