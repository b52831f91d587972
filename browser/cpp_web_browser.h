// TCppWebBrowser: the browser component of a window, over a WebKit view.
// Operations, properties by dispatch id and events follow the component's
// automation contract; everything engine-specific stays in this folder.
#pragma once

#include <gtkmm/box.h>

#include <array>
#include <functional>
#include <string>

#include "platform/com.h"

typedef struct _WebKitWebView WebKitWebView;
class TCppWebBrowser;

constexpr DISPID DISPID_APPLICATION = 200;
constexpr DISPID DISPID_LOCATIONURL = 211;
constexpr DISPID DISPID_REGISTERASBROWSER = 552;

constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
constexpr DISPID DISPID_NEWWINDOW2 = 251;
constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;

using TWebBrowserBeforeNavigate2 = std::function<void(
    TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL, Variant* Flags,
    Variant* TargetFrameName, Variant* PostData, Variant* Headers, VARIANT_BOOL* Cancel)>;
using TWebBrowserNewWindow2 =
    std::function<void(TCppWebBrowser* Sender, IDispatch** ppDisp, VARIANT_BOOL* Cancel)>;
using TWebBrowserNavigateComplete2 =
    std::function<void(TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL)>;

class TCppWebBrowser : public Gtk::Box {
 public:
  // The component is created now; its engine view at the first operation,
  // property access or realisation. Throws EOleSysError when the component
  // cannot be created.
  TCppWebBrowser();
  ~TCppWebBrowser() override;

  // The home page of components created from now on (the engine has none).
  static void SetDefaultHomePage(std::string uri);
  static const std::string& DefaultHomePage();
  void SetHomePage(std::string uri) { home_page_ = std::move(uri); }
  const std::string& HomePage() const { return home_page_; }

  HRESULT Navigate(const WideString& URL, Variant* Flags, Variant* TargetFrameName,
                   Variant* PostData, Variant* Headers);
  HRESULT GoBack();
  HRESULT GoForward();
  HRESULT GoHome();
  HRESULT Stop();
  HRESULT Refresh();

  // Property access by dispatch id; failures raise EOleSysError.
  Variant GetProperty(DISPID id);
  void SetProperty(DISPID id, const Variant& value);
  // One reference, owned by the caller.
  IDispatch* Application() { return GetProperty(DISPID_APPLICATION).Detach(); }
  WideString LocationURL() { return GetProperty(DISPID_LOCATIONURL).bstrVal(); }
  void SetRegisterAsBrowser(VARIANT_BOOL value) {
    SetProperty(DISPID_REGISTERASBROWSER, Variant::Bool(value != VARIANT_FALSE));
  }
  VARIANT_BOOL RegisterAsBrowser() { return GetProperty(DISPID_REGISTERASBROWSER).boolVal(); }

  void SetOnBeforeNavigate2(TWebBrowserBeforeNavigate2 handler);
  void SetOnNewWindow2(TWebBrowserNewWindow2 handler);
  void SetOnNavigateComplete2(TWebBrowserNavigateComplete2 handler);

  // The event sink: looks `id` up among the component's event ids and calls
  // the handler bound at that position with `args`; unknown ids and ids
  // without a handler are dropped. Errors escaping a handler are shown by the
  // application and the call still succeeds.
  HRESULT InvokeEvent(DISPID id, void* args);

  // The engine view, made on first use.
  WebKitWebView* View();
  // The component whose automation object `object` is, or null.
  static TCppWebBrowser* FromDispatch(IDispatch* object);

 protected:
  void on_realize() override;

 private:
  class AutomationObject;
  struct Signals;

  void MakeView();
  void ConnectSignals();
  void LoadAddress(const std::string& uri);
  void RaiseNavigateComplete();

  static constexpr std::size_t kEventCount = 32;
  std::array<std::function<void(void*)>, kEventCount> handlers_;
  AutomationObject* automation_ = nullptr;
  WebKitWebView* view_ = nullptr;
  WebKitWebView* related_ = nullptr;
  std::string home_page_;
  bool register_as_browser_ = false;
  bool committed_ = false;
  std::string reported_uri_;
  friend struct Signals;
};
