#include "platform/com.h"

#include <gtest/gtest.h>

namespace {

TEST(WideString, Utf8RoundTripLosesNothing) {
  const char* texts[] = {
      "http://www.rakuten.co.jp/",
      "楽　天 Books",
      "ﾄﾗﾌｨｯｸｹﾞｰﾄ",
      "http://127.0.0.1/日本語/パス?q=検索#見出し",
      "emoji \xF0\x9F\x98\x80 beyond the basic plane",
      "\x01\x1f control \x7f",
  };
  for (const char* text : texts) {
    WideString w = WideString::FromUtf8(text);
    EXPECT_FALSE(w.IsNull());
    EXPECT_EQ(w.ToUtf8(), text);
  }
  EXPECT_EQ(WideString::FromUtf8("\xF0\x9F\x98\x80").Text().size(), 2u);  // a surrogate pair
}

TEST(WideString, EmptyIsNullAndIllFormedBytesBecomeReplacements) {
  EXPECT_TRUE(WideString::FromUtf8("").IsNull());
  EXPECT_EQ(WideString().ToUtf8(), "");
  struct Case {
    const char* in;
    std::u16string out;
  };
  const Case cases[] = {
      {"a\xFF"
       "b",
       u"a\uFFFDb"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // surrogate
      {"\xE3\x81", u"\uFFFD\uFFFD"},            // cut short
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.in), c.out) << c.in;
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

class Counted : public IDispatch {
 public:
  explicit Counted(bool* gone) : gone_(gone) {}
  ~Counted() override { *gone_ = true; }
  bool* gone_;
};

TEST(Variant, HoldsAReferenceAndReleasesIt) {
  bool gone = false;
  auto* object = new Counted(&gone);
  {
    Variant v = Variant::Dispatch(object);
    Variant copy = v;
    EXPECT_EQ(object->RefCount(), 2u);
    Variant moved = std::move(copy);
    EXPECT_EQ(object->RefCount(), 2u);
  }
  EXPECT_TRUE(gone);
}

TEST(Variant, OmittedArgumentAndBoolean) {
  Variant omitted = Variant::Omitted();
  EXPECT_EQ(omitted.vt(), VT_ERROR);
  EXPECT_EQ(static_cast<std::uint32_t>(omitted.scode()), 0x80020004u);
  EXPECT_TRUE(omitted.IsOmitted());
  EXPECT_EQ(Variant::Bool(true).boolVal(), static_cast<VARIANT_BOOL>(0xFFFF));
  EXPECT_EQ(Variant::Bool(false).boolVal(), 0);
}

TEST(ComponentRuntime, CreatingBeforeInitialisingFails) {
  ASSERT_FALSE(CoIsInitialized());
  EXPECT_EQ(CoCreateComponent(), CO_E_NOTINITIALIZED);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoCreateComponent(), S_OK);
  CoUninitialize();
  CoUninitialize();
  EXPECT_FALSE(CoIsInitialized());
}

}  // namespace
