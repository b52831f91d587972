#include "browser/cpp_web_browser.h"

#include <glibmm/main.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <utility>

#include "browser/address_gate.h"
#include "browser/find_bar.h"
#include "browser/page_guard.h"
#include "browser/page_hooks.h"
#include "browser/page_visits.h"
#include "browser/permission_request.h"
#include "browser/returned_key.h"
#include "browser/script_dialog_policy.h"
#include "browser/web_context.h"
#include "browser/zoom.h"
#include "platform/application.h"
#include "platform/exception.h"

namespace {

// The component's event ids, in the order of its event interface; a handler
// is bound by its position here.
constexpr std::array<DISPID, 32> kEventIds{
    102, 108, 105, 106, 104, 113, 112, 250, 251, 252, 259, 253, 254, 255, 256, 257,
    258, 260, 262, 264, 265, 266, 267, 263, 268, 269, 270, 271, 225, 226, 227, 272,
};

std::size_t EventIndex(DISPID id) {
  return std::find(kEventIds.begin(), kEventIds.end(), id) - kEventIds.begin();
}

std::string& DefaultHome() {
  static std::string home = "about:blank";
  return home;
}

// Software unless told otherwise: compositing on the GPU costs each page tens
// of megabytes in the web process, and more where software stands in for it.
TCppWebBrowser::Compositing g_compositing = TCppWebBrowser::Compositing::kSoftware;

void SetPolicy(WebKitSettings* settings) {
  switch (g_compositing) {
    case TCppWebBrowser::Compositing::kSoftware:
      webkit_settings_set_hardware_acceleration_policy(settings,
                                                       WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
      break;
    case TCppWebBrowser::Compositing::kGpu:
      webkit_settings_set_hardware_acceleration_policy(settings,
                                                       WEBKIT_HARDWARE_ACCELERATION_POLICY_ALWAYS);
      break;
    case TCppWebBrowser::Compositing::kEngineDefault:
      break;
  }
}

// The view answering a page's request for a new window. WebKit aborts unless
// the view handed back is related to the requester, so any view made while a
// request is answered is made related to it.
WebKitWebView* g_requesting_view = nullptr;

struct BeforeNavigate2Args {
  IDispatch* pDisp;
  Variant* URL;
  Variant* Flags;
  Variant* TargetFrameName;
  Variant* PostData;
  Variant* Headers;
  VARIANT_BOOL* Cancel;
};

struct NewWindow2Args {
  IDispatch** ppDisp;
  VARIANT_BOOL* Cancel;
};

// The address the view shows; empty before its first load.
std::string AddressOf(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  return uri != nullptr ? uri : "";
}

struct ProgressChangeArgs {
  long Progress;
  long ProgressMax;
};

constexpr long kProgressMax = 10000;

struct NavigateComplete2Args {
  IDispatch* pDisp;
  Variant* URL;
};

// An optional argument as passed; a missing one is empty.
Variant Given(const Variant* argument) { return argument != nullptr ? *argument : Variant(); }

}  // namespace

// The component's automation object; outlives the component while references
// are held, and then answers for nobody.
class TCppWebBrowser::AutomationObject : public IDispatch {
 public:
  explicit AutomationObject(TCppWebBrowser* owner) : owner_(owner) {}
  TCppWebBrowser* owner_;
};

struct TCppWebBrowser::Signals {
  // The notice of the load that a Navigate call asked for carries that call's
  // own arguments; any other, the engine's address and target frame.
  static NavigateCall Arguments(TCppWebBrowser* self, WebKitNavigationAction* action) {
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::optional<NavigateCall>& asked = self->navigate_call_;
    if (asked && asked->engine_uri == uri) {
      NavigateCall call = std::move(*asked);
      asked.reset();
      return call;
    }
    const gchar* frame = webkit_navigation_action_get_frame_name(action);
    NavigateCall call;
    call.url = Variant::String(WideString::FromUtf8(uri));
    call.target = Variant::String(WideString::FromUtf8(frame ? frame : ""));
    return call;
  }

  static gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                               WebKitPolicyDecisionType type, TCppWebBrowser* self) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    NavigateCall call =
        Arguments(self, webkit_navigation_policy_decision_get_navigation_action(navigation));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BeforeNavigate2Args args{self->automation_, &call.url,     &call.flags, &call.target,
                             &call.post_data,   &call.headers, &cancel};
    self->InvokeEvent(DISPID_BEFORENAVIGATE2, &args);
    if (cancel == VARIANT_FALSE) return FALSE;
    self->guard_->Taken();
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }

  static GtkWidget* Create(WebKitWebView* view, WebKitNavigationAction*, TCppWebBrowser* self) {
    // One window per user action: a click must not flood the desktop.
    if (!std::exchange(self->may_open_window_, false)) return nullptr;
    IDispatch* answer = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    NewWindow2Args args{&answer, &cancel};
    WebKitWebView* outer = g_requesting_view;
    g_requesting_view = view;
    self->InvokeEvent(DISPID_NEWWINDOW2, &args);
    g_requesting_view = outer;
    TCppWebBrowser* target = answer != nullptr ? FromDispatch(answer) : nullptr;
    if (answer != nullptr) answer->Release();  // the engine takes the view, not the reference
    const bool handed = cancel == VARIANT_FALSE && target != nullptr && target->related_ == view;
    if (target != nullptr) target->EndRequest(handed);
    return handed ? GTK_WIDGET(target->view_) : nullptr;
  }

  static void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, TCppWebBrowser* self) {
    self->provisional_ = event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED;
    if (event == WEBKIT_LOAD_STARTED) {
      self->guard_->Taken();  // the page took the request up
      self->loading_uri_ = AddressOf(view);
    }
    // A chain the engine gives up on fails at the address it was sent to.
    if (event == WEBKIT_LOAD_REDIRECTED) self->loading_uri_ = AddressOf(view);
    if (event == WEBKIT_LOAD_FINISHED) self->RaiseProgress(-1);
    if (event != WEBKIT_LOAD_COMMITTED) return;
    self->dialogs_->NewPage();
    self->RaiseNavigateComplete();
  }

  // The engine may report the failure of a load after a newer one has
  // started; its error page would then replace the page the user went to.
  static gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* failing_uri, GError*,
                             TCppWebBrowser* self) {
    self->guard_->Taken();
    return failing_uri != nullptr && self->loading_uri_ != failing_uri;
  }

  // A load asked for that the page answers within the document ends without
  // a commit; its address shows once the loading is over.
  static void LoadingChanged(WebKitWebView* view, GParamSpec*, TCppWebBrowser* self) {
    if (!webkit_web_view_is_loading(view)) self->NoteAddress();
  }

  static void ProgressChanged(WebKitWebView* view, GParamSpec*, TCppWebBrowser* self) {
    if (!webkit_web_view_is_loading(view)) return;
    self->RaiseProgress(
        static_cast<long>(webkit_web_view_get_estimated_load_progress(view) * kProgressMax));
  }

  // Same-document changes (fragment, history.pushState) commit no load.
  static void UriChanged(WebKitWebView*, GParamSpec*, TCppWebBrowser* self) { self->NoteAddress(); }

  static gboolean UserAction(GtkWidget*, GdkEvent*, TCppWebBrowser* self) {
    self->may_open_window_ = true;
    return FALSE;
  }
};

TCppWebBrowser::TCppWebBrowser() : Gtk::Box(Gtk::ORIENTATION_VERTICAL), home_page_(DefaultHome()) {
  OleCheck(CoCreateComponent());
  automation_ = new AutomationObject(this);
}

TCppWebBrowser::~TCppWebBrowser() {
  visits_.reset();   // asks the guard
  dialogs_.reset();  // both answer through the view
  guard_.reset();
  if (related_ != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(related_), reinterpret_cast<gpointer*>(&related_));
  }
  if (view_ != nullptr) {
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
  }
  automation_->owner_ = nullptr;
  automation_->Release();
}

void TCppWebBrowser::SetDefaultHomePage(std::string uri) { DefaultHome() = std::move(uri); }

void TCppWebBrowser::SetPageMemoryLimit(unsigned megabytes) { LimitPageMemory(megabytes); }

void TCppWebBrowser::SetCompositing(Compositing compositing) { g_compositing = compositing; }

const std::string& TCppWebBrowser::DefaultHomePage() { return DefaultHome(); }

TCppWebBrowser* TCppWebBrowser::FromDispatch(IDispatch* object) {
  auto* automation = dynamic_cast<AutomationObject*>(object);
  return automation != nullptr ? automation->owner_ : nullptr;
}

void TCppWebBrowser::on_realize() {
  MakeView();
  Gtk::Box::on_realize();
}

void TCppWebBrowser::on_map() {
  Gtk::Box::on_map();
  if (view_ != nullptr) webkit_web_view_set_is_muted(view_, FALSE);
}

void TCppWebBrowser::on_unmap() {
  if (view_ != nullptr) webkit_web_view_set_is_muted(view_, TRUE);
  Gtk::Box::on_unmap();
}

WebKitWebView* TCppWebBrowser::View() {
  MakeView();
  return view_;
}

void TCppWebBrowser::MakeView() {
  if (view_ != nullptr) return;
  related_ = g_requesting_view;
  // The opener's window may be gone first.
  if (related_ != nullptr) {
    g_object_add_weak_pointer(G_OBJECT(related_), reinterpret_cast<gpointer*>(&related_));
  }
  // Each view has user content of its own: what its pages' scripts tell the
  // program must be known to come from this view.
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  GtkWidget* widget =
      related_ != nullptr
          ? GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related_, "settings",
                                    webkit_web_view_get_settings(related_), "user-content-manager",
                                    content, nullptr))
          : GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context",
                                    context_ ? context_.get() : PageContext(),
                                    "user-content-manager", content, nullptr));
  g_object_unref(content);
  // Our own reference: the view may be destroyed with its container before
  // this object is.
  view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
  SetPolicy(webkit_web_view_get_settings(view_));
  gtk_widget_show(widget);
  zoom_ = std::make_unique<TZoom>(view_);  // the view goes in with the zoom level over it
  pack_start(zoom_->Area(), true, true);
  returned_key_ = std::make_unique<TReturnedKey>(view_);
  MakeGuards();
  ConnectSignals();
  // After ConnectSignals: it sees only the failures that get an error page.
  visits_ =
      std::make_unique<TPageVisits>(view_, [this] { return !guard_->CrashedAddress().empty(); });
  // After the visits: a hook that shows a page of its own for a failure comes last.
  RunViewHooks(view_, *this);
}

void TCppWebBrowser::MakeGuards() {
  TPageGuard::Hooks hooks;
  hooks.process_gone = [this] { dialogs_->Close(); };
  hooks.notice_next = [this] {
    provisional_ = true;  // until the notice commits
    return committed_uri_;
  };
  hooks.notice_shown = [this] { RaiseProgress(-1); };
  hooks.waiting_for_user = [this] { return dialogs_->Open(); };
  guard_ = std::make_unique<TPageGuard>(view_, std::move(hooks));
  dialogs_ = std::make_unique<TScriptDialogPolicy>(view_, *this, *guard_);
}

void TCppWebBrowser::ConnectSignals() {
  g_signal_connect(view_, "decide-policy", G_CALLBACK(Signals::DecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(Signals::Create), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(view_, "notify::is-loading", G_CALLBACK(Signals::LoadingChanged), this);
  g_signal_connect(view_, "notify::uri", G_CALLBACK(Signals::UriChanged), this);
  g_signal_connect(view_, "notify::estimated-load-progress", G_CALLBACK(Signals::ProgressChanged),
                   this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::LoadFailed), this);
  g_signal_connect(view_, "button-press-event", G_CALLBACK(Signals::UserAction), this);
  g_signal_connect(view_, "key-press-event", G_CALLBACK(Signals::UserAction), this);
  WatchPermissions(view_, this);
}

// A same-document change of the page's address. While a load is asked for or
// on its way, the view shows that load's address, not yet the page's; when
// the load is given up, the page's own address comes back unchanged.
void TCppWebBrowser::NoteAddress() {
  if (requesting_ || provisional_) return;
  const gchar* uri = webkit_web_view_get_uri(view_);
  if (uri != nullptr && committed_uri_ != uri) RaiseNavigateComplete();
}

void TCppWebBrowser::RaiseNavigateComplete() {
  committed_uri_ = AddressOf(view_);
  Variant url = Variant::String(WideString::FromUtf8(committed_uri_));
  NavigateComplete2Args args{automation_, &url};
  InvokeEvent(DISPID_NAVIGATECOMPLETE2, &args);
}

void TCppWebBrowser::RaiseProgress(long progress) {
  ProgressChangeArgs args{progress, kProgressMax};
  InvokeEvent(DISPID_PROGRESSCHANGE, &args);
}

void TCppWebBrowser::Ask(std::function<void()> request) {
  MakeView();
  dialogs_->Close();  // the page's question is moot once the user leaves
  guard_->Ask(std::move(request));
}

// Calls the engine to ask for a load; see NoteAddress.
void TCppWebBrowser::Request(const std::function<void(WebKitWebView*)>& call) {
  WebKitWebView* view = View();
  RunUserLoadHooks(view);
  requesting_ = true;
  call(view);
  requesting_ = false;
}

// A load asked for while the view is made for a page's request waits for the
// answer: the engine loads the requested page into a view handed to it, and
// an earlier load of ours would replace that page.
void TCppWebBrowser::EndRequest(bool handed_over) {
  std::optional<std::string> waiting = std::move(deferred_load_);
  deferred_load_.reset();
  if (waiting && !handed_over) LoadAddress(*waiting);
}

void TCppWebBrowser::LoadAddress(std::string uri) {
  if (!MayOpen(uri, AddressFrom::kUser)) return;
  MakeView();
  guard_->ForgetCrash();
  if (related_ != nullptr && related_ == g_requesting_view) {
    deferred_load_ = uri;
    return;
  }
  loading_uri_ = uri;
  Request([&](WebKitWebView* view) { webkit_web_view_load_uri(view, uri.c_str()); });
}

HRESULT TCppWebBrowser::Navigate(const WideString& URL, Variant* Flags, Variant* TargetFrameName,
                                 Variant* PostData, Variant* Headers) {
  Ask([this, uri = URL.ToUtf8()] { LoadAddress(uri); });
  navigate_call_.reset();
  const gchar* asked = webkit_web_view_get_uri(view_);
  // A null address gives a blank page that the engine asks nobody about.
  if (URL.IsNull() || asked == nullptr) return S_OK;
  navigate_call_ =
      NavigateCall{asked,           Variant::String(URL), Given(Flags), Given(TargetFrameName),
                   Given(PostData), Given(Headers)};
  return S_OK;
}

HRESULT TCppWebBrowser::GoBack() {
  if (webkit_web_view_can_go_back(View())) Ask([this] { Request(webkit_web_view_go_back); });
  return S_OK;
}

HRESULT TCppWebBrowser::GoForward() {
  if (webkit_web_view_can_go_forward(View())) Ask([this] { Request(webkit_web_view_go_forward); });
  return S_OK;
}

HRESULT TCppWebBrowser::GoHome() {
  Ask([this] { LoadAddress(home_page_); });
  return S_OK;
}

HRESULT TCppWebBrowser::Stop() {
  webkit_web_view_stop_loading(View());
  guard_->Taken();
  return S_OK;
}

HRESULT TCppWebBrowser::Refresh() {
  const std::string& crashed = guard_->CrashedAddress();
  if (!crashed.empty()) {
    Ask([this, uri = crashed] { LoadAddress(uri); });
  } else {
    Ask([this] { Request(webkit_web_view_reload); });
  }
  return S_OK;
}

void TCppWebBrowser::RefreshBypassingCache() {
  if (!guard_->CrashedAddress().empty()) {  // a crash notice is ours, not from a cache
    Refresh();
    return;
  }
  Ask([this] { Request(webkit_web_view_reload_bypass_cache); });
}

TPageVisits& TCppWebBrowser::Visits() {
  MakeView();
  return *visits_;
}

TZoom& TCppWebBrowser::Zoom() {
  MakeView();
  return *zoom_;
}

TFindBar& TCppWebBrowser::FindBar() {
  if (!find_bar_) {  // made on first use: most windows never need it
    find_bar_ = std::make_unique<TFindBar>(View());
    pack_end(*find_bar_, false, false);
  }
  return *find_bar_;
}

bool TCppWebBrowser::Loading() { return webkit_web_view_is_loading(View()); }

std::string TCppWebBrowser::PageTitle() {
  const gchar* title = webkit_web_view_get_title(View());
  return title != nullptr ? title : "";
}

Variant TCppWebBrowser::GetProperty(DISPID id) {
  MakeView();
  switch (id) {
    case DISPID_APPLICATION:
      automation_->AddRef();
      return Variant::Dispatch(automation_);
    case DISPID_LOCATIONURL:
      return Variant::String(WideString::FromUtf8(AddressOf(view_)));
    case DISPID_REGISTERASBROWSER:
      return Variant::Bool(register_as_browser_);
  }
  OleCheck(DISP_E_MEMBERNOTFOUND);
  return {};
}

void TCppWebBrowser::SetProperty(DISPID id, const Variant& value) {
  MakeView();
  if (id != DISPID_REGISTERASBROWSER) OleCheck(DISP_E_MEMBERNOTFOUND);
  if (value.vt() != VT_BOOL) OleCheck(DISP_E_TYPEMISMATCH);
  register_as_browser_ = value.boolVal() != VARIANT_FALSE;
}

HRESULT TCppWebBrowser::InvokeEvent(DISPID id, void* args) {
  const std::size_t index = EventIndex(id);
  if (index == kEventCount || !handlers_[index]) return S_OK;
  try {
    handlers_[index](args);
  } catch (...) {
    ::Application->HandleException();
  }
  return S_OK;
}

void TCppWebBrowser::SetOnBeforeNavigate2(TWebBrowserBeforeNavigate2 handler) {
  handlers_[EventIndex(DISPID_BEFORENAVIGATE2)] = [this, handler](void* p) {
    auto* a = static_cast<BeforeNavigate2Args*>(p);
    handler(this, a->pDisp, a->URL, a->Flags, a->TargetFrameName, a->PostData, a->Headers,
            a->Cancel);
  };
}

void TCppWebBrowser::SetOnNewWindow2(TWebBrowserNewWindow2 handler) {
  handlers_[EventIndex(DISPID_NEWWINDOW2)] = [this, handler](void* p) {
    auto* a = static_cast<NewWindow2Args*>(p);
    handler(this, a->ppDisp, a->Cancel);
  };
}

void TCppWebBrowser::SetOnNavigateComplete2(TWebBrowserNavigateComplete2 handler) {
  handlers_[EventIndex(DISPID_NAVIGATECOMPLETE2)] = [this, handler](void* p) {
    auto* a = static_cast<NavigateComplete2Args*>(p);
    handler(this, a->pDisp, a->URL);
  };
}

void TCppWebBrowser::SetOnProgressChange(TWebBrowserProgressChange handler) {
  handlers_[EventIndex(DISPID_PROGRESSCHANGE)] = [this, handler](void* p) {
    auto* a = static_cast<ProgressChangeArgs*>(p);
    handler(this, a->Progress, a->ProgressMax);
  };
}
