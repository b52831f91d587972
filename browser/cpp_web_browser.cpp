#include "browser/cpp_web_browser.h"

#include <webkit2/webkit2.h>

#include <algorithm>

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

struct NavigateComplete2Args {
  IDispatch* pDisp;
  Variant* URL;
};

}  // namespace

// The component's automation object; outlives the component while references
// are held, and then answers for nobody.
class TCppWebBrowser::AutomationObject : public IDispatch {
 public:
  explicit AutomationObject(TCppWebBrowser* owner) : owner_(owner) {}
  TCppWebBrowser* owner_;
};

struct TCppWebBrowser::Signals {
  static gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                               WebKitPolicyDecisionType type, TCppWebBrowser* self) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(navigation);
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const gchar* frame = webkit_navigation_action_get_frame_name(action);
    Variant url = Variant::String(WideString::FromUtf8(webkit_uri_request_get_uri(request)));
    Variant flags, target = Variant::String(WideString::FromUtf8(frame ? frame : ""));
    Variant post, headers;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BeforeNavigate2Args args{self->automation_, &url, &flags, &target, &post, &headers, &cancel};
    self->InvokeEvent(DISPID_BEFORENAVIGATE2, &args);
    if (cancel == VARIANT_FALSE) return FALSE;
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }

  static GtkWidget* Create(WebKitWebView* view, WebKitNavigationAction*, TCppWebBrowser* self) {
    IDispatch* answer = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    NewWindow2Args args{&answer, &cancel};
    WebKitWebView* outer = g_requesting_view;
    g_requesting_view = view;
    self->InvokeEvent(DISPID_NEWWINDOW2, &args);
    g_requesting_view = outer;
    if (answer == nullptr) return nullptr;
    TCppWebBrowser* target = FromDispatch(answer);
    answer->Release();  // the engine takes the view, not the reference
    if (cancel != VARIANT_FALSE || target == nullptr || target->related_ != view) return nullptr;
    return GTK_WIDGET(target->view_);
  }

  static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, TCppWebBrowser* self) {
    if (event == WEBKIT_LOAD_STARTED) self->committed_ = false;
    if (event != WEBKIT_LOAD_COMMITTED) return;
    self->committed_ = true;
    self->RaiseNavigateComplete();
  }

  // A new load's provisional address is announced before the load starts;
  // only what comes after a commit is the page's own.
  static void LoadingChanged(WebKitWebView* view, GParamSpec*, TCppWebBrowser* self) {
    if (webkit_web_view_is_loading(view)) self->committed_ = false;
  }

  // Same-document changes (fragment, history.pushState) commit no load.
  static void UriChanged(WebKitWebView*, GParamSpec*, TCppWebBrowser* self) {
    if (self->committed_) self->RaiseNavigateComplete();
  }
};

TCppWebBrowser::TCppWebBrowser() : Gtk::Box(Gtk::ORIENTATION_VERTICAL), home_page_(DefaultHome()) {
  OleCheck(CoCreateComponent());
  automation_ = new AutomationObject(this);
}

TCppWebBrowser::~TCppWebBrowser() {
  if (view_ != nullptr) {
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
  }
  automation_->owner_ = nullptr;
  automation_->Release();
}

void TCppWebBrowser::SetDefaultHomePage(std::string uri) { DefaultHome() = std::move(uri); }

const std::string& TCppWebBrowser::DefaultHomePage() { return DefaultHome(); }

TCppWebBrowser* TCppWebBrowser::FromDispatch(IDispatch* object) {
  auto* automation = dynamic_cast<AutomationObject*>(object);
  return automation != nullptr ? automation->owner_ : nullptr;
}

void TCppWebBrowser::on_realize() {
  MakeView();
  Gtk::Box::on_realize();
}

WebKitWebView* TCppWebBrowser::View() {
  MakeView();
  return view_;
}

void TCppWebBrowser::MakeView() {
  if (view_ != nullptr) return;
  related_ = g_requesting_view;
  GtkWidget* widget =
      related_ != nullptr ? webkit_web_view_new_with_related_view(related_) : webkit_web_view_new();
  // Our own reference: the view may be destroyed with its container before
  // this object is.
  view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
  gtk_box_pack_start(GTK_BOX(gobj()), widget, TRUE, TRUE, 0);
  gtk_widget_show(widget);
  ConnectSignals();
}

void TCppWebBrowser::ConnectSignals() {
  g_signal_connect(view_, "decide-policy", G_CALLBACK(Signals::DecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(Signals::Create), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(view_, "notify::is-loading", G_CALLBACK(Signals::LoadingChanged), this);
  g_signal_connect(view_, "notify::uri", G_CALLBACK(Signals::UriChanged), this);
}

void TCppWebBrowser::RaiseNavigateComplete() {
  const gchar* uri = webkit_web_view_get_uri(view_);
  Variant url = Variant::String(WideString::FromUtf8(uri ? uri : ""));
  NavigateComplete2Args args{automation_, &url};
  InvokeEvent(DISPID_NAVIGATECOMPLETE2, &args);
}

void TCppWebBrowser::LoadAddress(const std::string& uri) {
  webkit_web_view_load_uri(View(), uri.c_str());
}

HRESULT TCppWebBrowser::Navigate(const WideString& URL, Variant*, Variant*, Variant*, Variant*) {
  LoadAddress(URL.ToUtf8());
  return S_OK;
}

HRESULT TCppWebBrowser::GoBack() {
  webkit_web_view_go_back(View());
  return S_OK;
}

HRESULT TCppWebBrowser::GoForward() {
  webkit_web_view_go_forward(View());
  return S_OK;
}

HRESULT TCppWebBrowser::GoHome() {
  LoadAddress(home_page_);
  return S_OK;
}

HRESULT TCppWebBrowser::Stop() {
  webkit_web_view_stop_loading(View());
  return S_OK;
}

HRESULT TCppWebBrowser::Refresh() {
  webkit_web_view_reload(View());
  return S_OK;
}

Variant TCppWebBrowser::GetProperty(DISPID id) {
  MakeView();
  switch (id) {
    case DISPID_APPLICATION:
      automation_->AddRef();
      return Variant::Dispatch(automation_);
    case DISPID_LOCATIONURL: {
      const gchar* uri = webkit_web_view_get_uri(view_);
      return Variant::String(WideString::FromUtf8(uri ? uri : ""));
    }
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
