// The slice of the component runtime that the browser contract uses: result
// codes, owned wide strings, VARIANT, the 16-bit boolean and a
// reference-counted automation object. Nothing here touches the toolkit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

using HRESULT = std::int32_t;
using SCODE = HRESULT;
using DISPID = std::int32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_I4 = 3;

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// An owned wide string that, like the runtime's, can be null as well as empty.
class WideString {
 public:
  WideString() = default;
  explicit WideString(std::u16string text) : text_(std::move(text)) {}
  // Empty text gives the null string, as the shell's conversions do.
  static WideString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  bool IsNull() const { return !text_.has_value(); }
  const std::u16string& Text() const;
  bool operator==(const WideString&) const = default;

 private:
  std::optional<std::u16string> text_;
};

// UTF-8 <-> UTF-16. Valid text goes both ways unchanged; ill-formed bytes
// become U+FFFD rather than vanishing.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// A reference-counted automation object. Starts with one reference, owned by
// whoever created it.
class IDispatch {
 public:
  IDispatch() = default;
  IDispatch(const IDispatch&) = delete;
  IDispatch& operator=(const IDispatch&) = delete;

  unsigned long AddRef() { return ++refs_; }
  unsigned long Release();
  unsigned long RefCount() const { return refs_; }

 protected:
  virtual ~IDispatch() = default;

 private:
  std::atomic<unsigned long> refs_{1};
};

// A tagged value. Owns its string and holds a reference on its object.
class Variant {
 public:
  Variant() = default;
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant other) noexcept;
  ~Variant();

  static Variant Error(SCODE code);
  static Variant Omitted() { return Error(DISP_E_PARAMNOTFOUND); }
  static Variant Bool(bool value);
  static Variant String(WideString value);
  // Takes over one reference that the caller owns.
  static Variant Dispatch(IDispatch* object);

  VARTYPE vt() const { return vt_; }
  SCODE scode() const { return scode_; }
  VARIANT_BOOL boolVal() const { return bool_; }
  const WideString& bstrVal() const { return str_; }
  IDispatch* pdispVal() const { return disp_; }
  // Gives up the held object reference to the caller.
  IDispatch* Detach() {
    IDispatch* object = disp_;
    disp_ = nullptr;
    vt_ = VT_EMPTY;
    return object;
  }
  bool IsOmitted() const { return vt_ == VT_ERROR && scode_ == DISP_E_PARAMNOTFOUND; }

  void swap(Variant& other) noexcept;

 private:
  VARTYPE vt_ = VT_EMPTY;
  SCODE scode_ = 0;
  VARIANT_BOOL bool_ = VARIANT_FALSE;
  WideString str_;
  IDispatch* disp_ = nullptr;
};

// Initialisation of the runtime for the calling (user-interface) thread.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
bool CoIsInitialized();

// Components are made through a factory so that tests can put a failing one
// in place. The default factory creates components only once the runtime is
// initialised, failing with CO_E_NOTINITIALIZED before.
using ComponentFactory = std::function<HRESULT()>;
HRESULT CoCreateComponent();
ComponentFactory SetComponentFactory(ComponentFactory factory);

// The runtime's own text for a result code, empty when it has none.
std::string SysErrorMessage(HRESULT code);
// Raises EOleSysError for a failed code: its text, or "OLE エラー %.8x".
void OleCheck(HRESULT code);
