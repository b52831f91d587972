#include <gtest/gtest.h>

#include <string>

#include "platform/convert.h"
#include "platform/exception.h"

namespace {

struct Good {
  const char* text;
  int value;
};

TEST(StrToIntTest, Converts) {
  const Good cases[] = {
      {"0", 0},
      {"7", 7},
      {"007", 7},
      {"  42", 42},
      {"+5", 5},
      {"-5", -5},
      {" -12", -12},
      {"$FF", 255},
      {"$ff", 255},
      {"x1F", 31},
      {"X1f", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"+0x7", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$7FFFFFFF", 2147483647},
      {"-$80000000", -2147483647 - 1},
      {"0000000000000000000012", 12},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StrToInt(c.text), c.value);
  }
}

TEST(StrToIntTest, RejectsWhatIsNoInteger) {
  const char* const cases[] = {
      "",    " ",    "+",   "-",          "--1",         "+-1",       "- 1",
      "12a", "12 ",  "1 2", "$",          "x",           "0x",        "$G",
      "1.0", "0x-1", "$-1", "2147483648", "-2147483649", "$80000000", "99999999999999999999",
      "\t1", "0b1",  "9F",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    try {
      StrToInt(text);
      ADD_FAILURE() << "converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' は整数ではありません");
    }
  }
}

}  // namespace
