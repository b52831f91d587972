#include "window/form_html.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include "history/history.h"
#include "keys/sndkey32.h"
#include "window/address_security.h"
#include "window/features.h"
#include "window/private_window.h"
#include "window/shortcuts.h"
#include "window/suggestion_list.h"
#include "window/suggestion_sources.h"
#include "window/window_session.h"

TFormHTML* FormHTML = nullptr;

namespace {

using Handler = void (TFormHTML::*)();

bool IsPlainEnter(const GdkEventKey& key) {
  const bool enter = key.keyval == GDK_KEY_Return || key.keyval == GDK_KEY_KP_Enter ||
                     key.keyval == GDK_KEY_ISO_Enter;
  return enter && (key.state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SHIFT_MASK)) == 0;
}

struct ButtonRow {
  TButton* TFormHTML::*member;
  const char* name;
  const char* caption;
  int left, top, width, height;
  Handler click;
};

struct BitBtnRow {
  TBitBtn* TFormHTML::*member;
  const char* name;
  const char* glyph;
  int left, top, width, height;
  const char* tooltip;  // null: none
  Handler click;
  const char* spoken = nullptr;  // the name screen readers say; null: the tooltip
};

// Panel1's own buttons, listed in tab order; they lie above the group boxes.
const ButtonRow kPanel1Buttons[] = {
    {&TFormHTML::ButtonGoHome, "ButtonGoHome", "Amazon Japan", 361, 13, 103, 25,
     &TFormHTML::ButtonGoHomeClick},
    {&TFormHTML::ButtonGoBack, "ButtonGoBack", "Store Mix", 7, 41, 75, 25,
     &TFormHTML::ButtonGoBackClick},
    {&TFormHTML::ButtonGoForward, "ButtonGoForward", "ビッダーズ", 85, 13, 75, 25,
     &TFormHTML::ButtonGoForwardClick},
    {&TFormHTML::ButtonVeldaLabl, "ButtonVeldaLabl", "Pelloria", 362, 40, 103, 25,
     &TFormHTML::ButtonVeldaLablClick},
    {&TFormHTML::ButtonFile, "ButtonFile", "このソフトは・・", 477, 45, 86, 21,
     &TFormHTML::ButtonFileClick},
    {&TFormHTML::ButtonRefresh, "ButtonRefresh", "楽　天", 7, 13, 75, 25,
     &TFormHTML::ButtonRefreshClick},
};

const ButtonRow kGroupBox1Buttons[] = {
    {&TFormHTML::Button11, "Button11", "Web 通", 84, 39, 75, 25, &TFormHTML::Button11Click},
    {&TFormHTML::Button12, "Button12", "Amema ﾗﾝｷﾝｸﾞ", 162, 12, 93, 25, &TFormHTML::Button12Click},
    {&TFormHTML::Button13, "Button13", "楽　天 Books", 162, 39, 93, 25, &TFormHTML::Button13Click},
    {&TFormHTML::Button14, "Button14", "Norrvikご紹介", 259, 12, 100, 25,
     &TFormHTML::Button14Click},
    {&TFormHTML::Button15, "Button15", "Shop あまなつ", 259, 39, 99, 25, &TFormHTML::Button15Click},
};

const BitBtnRow kGroupBox2Buttons[] = {
    {&TFormHTML::BitBtn6, "BitBtn6", "yahoo", 5, 12, 40, 29, nullptr, &TFormHTML::BitBtn6Click,
     "Yahoo! JAPAN"},
    {&TFormHTML::BitBtn7, "BitBtn7", "google", 50, 12, 40, 29, nullptr, &TFormHTML::BitBtn7Click,
     "Google"},
};

// Panel2's bitmap buttons in tab order (after EditURL and "GO").
const BitBtnRow kPanel2Buttons[] = {
    {&TFormHTML::BitBtn1, "BitBtn1", "home", 559, 5, 30, 30, "ホームページへ",
     &TFormHTML::BitBtn1Click},
    {&TFormHTML::BitBtn4, "BitBtn4", "back", 527, 5, 30, 30, "戻るボタン",
     &TFormHTML::BitBtn4Click},
    {&TFormHTML::BitBtn2, "BitBtn2", "forward", 625, 5, 30, 30, "進むボタン",
     &TFormHTML::BitBtn2Click},
    {&TFormHTML::BitBtn3, "BitBtn3", "stop", 592, 5, 30, 30, "停止ボタン",
     &TFormHTML::BitBtn3Click},
    {&TFormHTML::BitBtn5, "BitBtn5", "refresh", 657, 4, 30, 31, "再度用見込みボタン",
     &TFormHTML::BitBtn5Click},
};

const ButtonRow kPanel3Buttons[] = {
    {&TFormHTML::Button1, "Button1", "A8ネット", 6, 6, 75, 25, &TFormHTML::Button1Click},
    {&TFormHTML::Button2, "Button2", "JaNet", 81, 6, 75, 25, &TFormHTML::Button2Click},
    {&TFormHTML::Button3, "Button3", "電 脳 卸", 157, 6, 75, 25, &TFormHTML::Button3Click},
    {&TFormHTML::Button4, "Button4", "ﾊﾞﾘｭｰｺｰﾏｽ", 233, 6, 75, 25, &TFormHTML::Button4Click},
    {&TFormHTML::Button5, "Button5", "ｱｸｾｽﾄﾚｰﾄﾞ", 309, 6, 75, 25, &TFormHTML::Button5Click},
    {&TFormHTML::Button6, "Button6", "ﾄﾗﾌｨｯｸｹﾞｰﾄ", 385, 6, 75, 25, &TFormHTML::Button6Click},
    {&TFormHTML::Button7, "Button7", "Link Share", 461, 6, 75, 25, &TFormHTML::Button7Click},
    {&TFormHTML::Button8, "Button8", "ﾊﾞﾅｰﾌﾞﾘｯｼﾞ", 537, 6, 75, 25, &TFormHTML::Button8Click},
    {&TFormHTML::Button9, "Button9", "Quenmore", 613, 6, 75, 25, &TFormHTML::Button9Click},
    {&TFormHTML::Button10, "Button10", "日払いｱﾌｨﾘｴｲﾄ", 689, 6, 85, 25, &TFormHTML::Button10Click},
};

// The window's fonts. The Windows face is asked for first; Japanese systems
// here have IPA's proportional Gothic, which fontconfig would not pick for it.
constexpr char kStyle[] = R"css(
#FormHTML, #FormHTML * {
  font-family: "ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", sans-serif;
  font-size: 12px;
  font-weight: normal;
}
#FormHTML button { padding: 0; min-height: 0; min-width: 0; }
#FormHTML button {
  /* Drawn only while the window shows the keyboard focus; the theme's faint
     dashes vanish on the pictures. */
  outline: 2px solid #1c71d8;
  outline-offset: -3px;
}
#FormHTML #GroupBoxCaption { font-weight: bold; }
#FormHTML #Label1 { font-size: 13px; font-weight: bold; }
#FormHTML #EditURL { font-size: 15px; min-height: 0; padding-top: 0; padding-bottom: 0; }
#FormHTML #ButtonOpen, #FormHTML #ButtonOpen * { font-size: 13px; font-weight: bold; }
)css";

void InstallStyle() {
  static bool installed = false;
  if (installed) return;
  auto css = Gtk::CssProvider::create();
  css->load_from_data(kStyle);
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  installed = true;
}

template <typename Rows>
std::vector<Gtk::Widget*> PlaceButtons(TFormHTML& form, Gtk::Fixed& parent, const Rows& rows) {
  std::vector<Gtk::Widget*> chain;
  for (const auto& row : rows) {
    using Control = std::remove_pointer_t<std::remove_cvref_t<decltype(form.*row.member)>>;
    Control* control;
    if constexpr (std::is_same_v<Control, TButton>) {
      control = Gtk::manage(new TButton(row.name, row.caption));
    } else {
      control = Gtk::manage(new TBitBtn(row.name, row.glyph));
      if (row.tooltip != nullptr) control->set_tooltip_text(row.tooltip);
      // A picture has no caption to read out.
      control->get_accessible()->set_name(row.spoken != nullptr ? row.spoken : row.tooltip);
    }
    form.*row.member = control;
    Place(parent, *control, row.left, row.top, row.width, row.height);
    control->signal_clicked().connect([&form, click = row.click] { (form.*click)(); });
    chain.push_back(control);
  }
  return chain;
}

}  // namespace

TFormHTML::TFormHTML(TApplication* Owner, std::string StartAddress, std::string StartState,
                     TWindowKind Kind)
    : TForm(Owner),
      start_address_(std::move(StartAddress)),
      start_state_(std::move(StartState)),
      kind_(Kind) {
  AttachFeatures();
  InstallStyle();
  set_name("FormHTML");
  set_title("Tavorinのお役立ちブラウザ");
  set_icon_list(WindowIcons());
  move(297, 152);
  set_default_size(792, 573);

  auto* column = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_VERTICAL));
  Panel1 = Gtk::manage(new TPanel("Panel1", {0xC0 / 255.0, 0xC1 / 255.0, 0xA4 / 255.0}, 72));
  Panel2 = Gtk::manage(new TPanel("Panel2", {0xE1 / 255.0, 0xDE / 255.0, 0xD2 / 255.0}, 41));
  CppWebBrowser1 = Gtk::manage(new TCppWebBrowser());
  Panel3 = Gtk::manage(new TPanel("Panel3", {0xE1 / 255.0, 0xDE / 255.0, 0xD2 / 255.0}, 35));
  CppWebBrowser1->set_name("CppWebBrowser1");
  column->pack_start(*Panel1, Gtk::PACK_SHRINK);
  column->pack_start(*Panel2, Gtk::PACK_SHRINK);
  column->pack_start(*CppWebBrowser1, Gtk::PACK_EXPAND_WIDGET);
  column->pack_start(*Panel3, Gtk::PACK_SHRINK);
  column->set_focus_chain({Panel1, Panel2, CppWebBrowser1, Panel3});
  add(*column);

  BuildPanel1();
  BuildPanel2();
  BuildPanel3();
  LeavePageWhenClosed();              // before a private window's own close
  if (Private()) MakePrivate(*this);  // before the page's view is made
  BindBrowserEvents();
  column->show_all();
  ButtonGoHome->grab_focus();
  BindShortcuts(*this);
  ShowSecurityInAddressBox(*this);
  TWindowSession::Watch(*this);

  Owner->SetOnMessage(&TFormHTML::ApplicationMessage);
  FormCreate();
}

TFormHTML::~TFormHTML() = default;

void TFormHTML::BuildPanel1() {
  GroupBox1 = Gtk::manage(new TGroupBox("GroupBox1", "ショップ リスト", 469, 68));
  GroupBox2 = Gtk::manage(new TGroupBox("GroupBox2", "検索など", 96, 67));
  Panel1->put(*GroupBox1, 1, 1);
  Panel1->put(*GroupBox2, 472, 2);
  GroupBox1->set_focus_chain(PlaceButtons(*this, *GroupBox1, kGroupBox1Buttons));
  GroupBox2->set_focus_chain(PlaceButtons(*this, *GroupBox2, kGroupBox2Buttons));
  std::vector<Gtk::Widget*> chain = PlaceButtons(*this, *Panel1, kPanel1Buttons);
  chain.push_back(GroupBox1);
  chain.push_back(GroupBox2);
  Panel1->set_focus_chain(chain);
}

void TFormHTML::BuildPanel2() {
  Label1 = Gtk::manage(new TLabel("アドレス"));
  Label1->set_name("Label1");
  Label1->set_xalign(0);
  Place(*Panel2, *Label1, 5, 12, 48, 13);
  EditURL = Gtk::manage(new Gtk::Entry());
  EditURL->set_name("EditURL");
  EditURL->set_text("http://www.tavorin.jp/");
  EditURL->set_width_chars(1);
  Place(*Panel2, *EditURL, 55, 8, 425, 23);
  // Enter in the box loads its address like "GO"; the Enter that commits an
  // input method's conversion is the input method's and activates nothing.
  EditURL->signal_activate().connect([this] { ButtonOpenClick(); });
  // After the entry's own bindings: GDK finds no place for Enter in some
  // virtual keyboards' keymaps, so no binding can match it there.
  EditURL->signal_key_press_event().connect(
      [this](GdkEventKey* key) {
        if (!IsPlainEnter(*key)) return false;
        EditURL->activate();
        return true;
      },
      true);
  suggestions_ = std::make_unique<TSuggestionList>(
      *this, *EditURL, SuggestionSources, [this](const std::string&) { ButtonOpenClick(); });
  // Ties the caption to the box for screen readers; the caption has no mnemonic.
  Label1->set_mnemonic_widget(*EditURL);
  EditURL->get_accessible()->set_name(Label1->get_text());
  ButtonOpen = Gtk::manage(new TButton("ButtonOpen", "GO"));
  ButtonOpen->set_tooltip_text("進むボタン");
  ButtonOpen->get_accessible()->set_description("アドレス欄のページを開きます");
  Place(*Panel2, *ButtonOpen, 489, 5, 30, 30);
  ButtonOpen->signal_clicked().connect([this] { ButtonOpenClick(); });
  std::vector<Gtk::Widget*> chain{EditURL, ButtonOpen};
  for (Gtk::Widget* w : PlaceButtons(*this, *Panel2, kPanel2Buttons)) chain.push_back(w);
  Panel2->set_focus_chain(chain);
}

void TFormHTML::BuildPanel3() {
  Panel3->set_focus_chain(PlaceButtons(*this, *Panel3, kPanel3Buttons));
}

void TFormHTML::BindBrowserEvents() {
  RecordHistory(*CppWebBrowser1);
  CppWebBrowser1->SetOnBeforeNavigate2(
      [this](TCppWebBrowser* s, IDispatch* d, Variant* u, Variant* f, Variant* t, Variant* p,
             Variant* h,
             VARIANT_BOOL* c) { CppWebBrowser1BeforeNavigate2(s, d, u, f, t, p, h, c); });
  CppWebBrowser1->SetOnNewWindow2([this](TCppWebBrowser* s, IDispatch** d, VARIANT_BOOL* c) {
    CppWebBrowser1NewWindow2(s, d, c);
  });
  CppWebBrowser1->SetOnProgressChange(
      [this](TCppWebBrowser* s, long p, long max) { CppWebBrowser1ProgressChange(s, p, max); });
  CppWebBrowser1->SetOnNavigateComplete2([this](TCppWebBrowser* s, IDispatch* d, Variant* u) {
    CppWebBrowser1NavigateComplete2(s, d, u);
  });
}

void TFormHTML::FormCreate() {
  if (!start_state_.empty() && CppWebBrowser1->RestoreSession(start_state_)) return;
  if (start_address_.empty()) {
    CppWebBrowser1->GoHome();
  } else {
    NavigateTo(start_address_);
  }
}
