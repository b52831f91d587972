// TCppWebBrowser: the browser component of a window, over a WebKit view.
// Operations, properties by dispatch id and events follow the component's
// automation contract; everything engine-specific stays in this folder.
#pragma once

#include <gtkmm/box.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/com.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitWebContext WebKitWebContext;
class TCppWebBrowser;
class TPageGuard;
class TScriptDialogPolicy;
class TFindBar;
class TZoom;
class TReturnedKey;
class TPageVisits;

constexpr DISPID DISPID_APPLICATION = 200;
constexpr DISPID DISPID_LOCATIONURL = 211;
constexpr DISPID DISPID_REGISTERASBROWSER = 552;

constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
constexpr DISPID DISPID_NEWWINDOW2 = 251;
constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;
constexpr DISPID DISPID_PROGRESSCHANGE = 108;

using TWebBrowserBeforeNavigate2 = std::function<void(
    TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL, Variant* Flags,
    Variant* TargetFrameName, Variant* PostData, Variant* Headers, VARIANT_BOOL* Cancel)>;
using TWebBrowserNewWindow2 =
    std::function<void(TCppWebBrowser* Sender, IDispatch** ppDisp, VARIANT_BOOL* Cancel)>;
// Progress of the current load out of ProgressMax; -1 when the load ended.
using TWebBrowserProgressChange =
    std::function<void(TCppWebBrowser* Sender, long Progress, long ProgressMax)>;
using TWebBrowserNavigateComplete2 =
    std::function<void(TCppWebBrowser* Sender, IDispatch* pDisp, Variant* URL)>;

// One user action opens at most one window; the page's crash and hang guard
// and its script dialogs live in files of their own.
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
  // The engine ends a page whose process uses more than `megabytes`. Only
  // views made after the call obey it: call it before the first component.
  static void SetPageMemoryLimit(unsigned megabytes);
  // How views made from now on composite their pages: in software only, as
  // the engine chooses, or on the GPU (through the toolkit's OpenGL).
  enum class Compositing { kSoftware, kEngineDefault, kGpu };
  static void SetCompositing(Compositing compositing);
  void SetHomePage(std::string uri) { home_page_ = std::move(uri); }
  const std::string& HomePage() const { return home_page_; }

  HRESULT Navigate(const WideString& URL, Variant* Flags, Variant* TargetFrameName,
                   Variant* PostData, Variant* Headers);
  HRESULT GoBack();
  HRESULT GoForward();
  HRESULT GoHome();
  HRESULT Stop();
  HRESULT Refresh();
  // Everyday page controls; the last three live in files of their own.
  void RefreshBypassingCache();
  bool Loading();
  TZoom& Zoom();
  TFindBar& FindBar();
  void Print();
  // The back/forward list as the engine keeps it (opaque bytes), and back:
  // RestoreSession replaces the list and loads its current page; false when
  // the engine cannot read `state` or it holds no page.
  std::string SessionState();
  bool RestoreSession(const std::string& state);
  // See returned_key.h; true when `key` was the view's after all.
  bool RedeliverReturnedKey(GdkEventKey* key);
  // The pages this component shows, as the history keeps them.
  TPageVisits& Visits();

  // Property access by dispatch id; failures raise EOleSysError.
  Variant GetProperty(DISPID id);
  void SetProperty(DISPID id, const Variant& value);
  // One reference, owned by the caller.
  IDispatch* Application() { return GetProperty(DISPID_APPLICATION).Detach(); }
  WideString LocationURL() { return GetProperty(DISPID_LOCATIONURL).bstrVal(); }
  // The title the page gives itself; empty when it has none.
  std::string PageTitle();
  void SetRegisterAsBrowser(VARIANT_BOOL value) {
    SetProperty(DISPID_REGISTERASBROWSER, Variant::Bool(value != VARIANT_FALSE));
  }
  VARIANT_BOOL RegisterAsBrowser() { return GetProperty(DISPID_REGISTERASBROWSER).boolVal(); }

  void SetOnBeforeNavigate2(TWebBrowserBeforeNavigate2 handler);
  void SetOnNewWindow2(TWebBrowserNewWindow2 handler);
  void SetOnNavigateComplete2(TWebBrowserNavigateComplete2 handler);
  void SetOnProgressChange(TWebBrowserProgressChange handler);

  // The event sink: looks `id` up among the component's event ids and calls
  // the handler bound at that position with `args`; unknown ids and ids
  // without a handler are dropped. Errors escaping a handler are shown by the
  // application and the call still succeeds.
  HRESULT InvokeEvent(DISPID id, void* args);

  // The context the view is made in, held as long as the component; the
  // page context unless set. Call before the view is made. A view made for a
  // page's request shares its opener's context whatever is set.
  void UseContext(std::shared_ptr<WebKitWebContext> context) { context_ = std::move(context); }

  // The engine view, made on first use.
  WebKitWebView* View();
  // The view of the page that asked for this window; null for a window of the user's.
  WebKitWebView* Opener() const { return related_; }
  // The component whose automation object `object` is, or null.
  static TCppWebBrowser* FromDispatch(IDispatch* object);

 protected:
  void on_realize() override;
  // A page nobody can see must not go on playing sound.
  void on_map() override;
  void on_unmap() override;

 private:
  class AutomationObject;
  struct Signals;

  void MakeView();
  void ConnectSignals();
  void LoadAddress(std::string uri);
  void EndRequest(bool handed_over);
  void Request(const std::function<void(WebKitWebView*)>& call);
  void NoteAddress();
  void RaiseNavigateComplete();
  void RaiseProgress(long progress);
  void MakeGuards();
  // A user's request for another page; see TPageGuard.
  void Ask(std::function<void()> request);

  static constexpr std::size_t kEventCount = 32;
  std::array<std::function<void(void*)>, kEventCount> handlers_;
  AutomationObject* automation_ = nullptr;
  std::shared_ptr<WebKitWebContext> context_;
  WebKitWebView* view_ = nullptr;
  WebKitWebView* related_ = nullptr;
  std::string home_page_;
  bool register_as_browser_ = false;
  bool provisional_ = false;  // a load is on its way, not yet committed
  bool requesting_ = false;   // inside an engine call that asks for a load
  // The arguments of the last Navigate call, for the notice of its load.
  struct NavigateCall {
    std::string engine_uri;
    Variant url, flags, target, post_data, headers;
  };
  std::optional<NavigateCall> navigate_call_;
  std::optional<std::string> deferred_load_;  // see EndRequest
  std::string committed_uri_;
  std::string loading_uri_;  // of the newest load asked for or started
  std::unique_ptr<TPageGuard> guard_;
  std::unique_ptr<TScriptDialogPolicy> dialogs_;
  bool may_open_window_ = false;  // a user action in the page allows one
  std::unique_ptr<TZoom> zoom_;
  std::unique_ptr<TFindBar> find_bar_;
  std::unique_ptr<TReturnedKey> returned_key_;
  std::unique_ptr<TPageVisits> visits_;
  friend struct Signals;
};
