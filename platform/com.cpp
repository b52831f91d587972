#include "platform/com.h"

#include <array>
#include <cstdio>

#include "platform/exception.h"

namespace {

int g_init_count = 0;

HRESULT DefaultFactory() { return CoIsInitialized() ? S_OK : CO_E_NOTINITIALIZED; }

ComponentFactory& Factory() {
  static ComponentFactory factory = DefaultFactory;
  return factory;
}

struct ErrorText {
  HRESULT code;
  const char* text;
};

// The runtime's messages for the codes this program can meet.
constexpr std::array<ErrorText, 7> kErrorTexts{{
    {E_NOTIMPL, "実装されていません"},
    {E_NOINTERFACE, "インターフェイスがサポートされていません"},
    {E_FAIL, "エラーを特定できません"},
    {E_OUTOFMEMORY, "この操作を完了するのに十分な記憶域がありません"},
    {E_INVALIDARG, "パラメータが間違っています"},
    {REGDB_E_CLASSNOTREG, "クラスが登録されていません"},
    {CO_E_NOTINITIALIZED, "CoInitialize は呼び出されていません"},
}};

constexpr char16_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence led by `lead`, 0 for a byte that cannot lead.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Decodes one code point at `i`; returns 0xFFFD and consumes one byte when the
// sequence is ill-formed (overlong, surrogate, out of range or cut short).
char32_t DecodeAt(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const int len = SequenceLength(lead);
  if (len == 1) return s[i++];
  if (len == 0 || i + len > s.size()) return ++i, kReplacement;
  char32_t cp = lead & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return ++i, kReplacement;
    cp = (cp << 6) | (c & 0x3F);
  }
  constexpr std::array<char32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return ++i, kReplacement;
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = DecodeAt(utf8, i);
    if (cp < 0x10000) {
      out += static_cast<char16_t>(cp);
    } else {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    const bool high = cp >= 0xD800 && cp <= 0xDBFF;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;  // a lone surrogate has no UTF-8 form
    }
    AppendUtf8(out, cp);
  }
  return out;
}

WideString WideString::FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return WideString();
  return WideString(Utf8ToUtf16(utf8));
}

std::string WideString::ToUtf8() const { return text_ ? Utf16ToUtf8(*text_) : std::string(); }

const std::u16string& WideString::Text() const {
  static const std::u16string kEmpty;
  return text_ ? *text_ : kEmpty;
}

unsigned long IDispatch::Release() {
  const unsigned long left = --refs_;
  if (left == 0) delete this;
  return left;
}

Variant::Variant(const Variant& other)
    : vt_(other.vt_),
      scode_(other.scode_),
      bool_(other.bool_),
      str_(other.str_),
      disp_(other.disp_) {
  if (disp_ != nullptr) disp_->AddRef();
}

Variant::Variant(Variant&& other) noexcept { swap(other); }

Variant& Variant::operator=(Variant other) noexcept {
  swap(other);
  return *this;
}

Variant::~Variant() {
  if (disp_ != nullptr) disp_->Release();
}

void Variant::swap(Variant& other) noexcept {
  std::swap(vt_, other.vt_);
  std::swap(scode_, other.scode_);
  std::swap(bool_, other.bool_);
  std::swap(str_, other.str_);
  std::swap(disp_, other.disp_);
}

Variant Variant::Error(SCODE code) {
  Variant v;
  v.vt_ = VT_ERROR;
  v.scode_ = code;
  return v;
}

Variant Variant::Bool(bool value) {
  Variant v;
  v.vt_ = VT_BOOL;
  v.bool_ = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::String(WideString value) {
  Variant v;
  v.vt_ = VT_BSTR;
  v.str_ = std::move(value);
  return v;
}

Variant Variant::Dispatch(IDispatch* object) {
  Variant v;
  v.vt_ = VT_DISPATCH;
  v.disp_ = object;
  return v;
}

HRESULT CoInitialize(void*) { return g_init_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (g_init_count > 0) --g_init_count;
}

bool CoIsInitialized() { return g_init_count > 0; }

HRESULT CoCreateComponent() { return Factory()(); }

ComponentFactory SetComponentFactory(ComponentFactory factory) {
  ComponentFactory previous = std::move(Factory());
  Factory() = factory ? std::move(factory) : ComponentFactory(DefaultFactory);
  return previous;
}

std::string SysErrorMessage(HRESULT code) {
  for (const ErrorText& e : kErrorTexts) {
    if (e.code == code) return e.text;
  }
  return {};
}

void OleCheck(HRESULT code) {
  if (SUCCEEDED(code)) return;
  std::string text = SysErrorMessage(code);
  if (text.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8x", static_cast<unsigned>(code));
    text = std::string("OLE エラー ") + buf;
  }
  throw EOleSysError(text, code);
}
