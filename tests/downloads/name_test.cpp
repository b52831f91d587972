// Names of downloads: whatever a server or page suggests ends up as one
// harmless file name in the Downloads folder.
#include "downloads/name.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using download_name::kFallback;
using download_name::kMaxBytes;

struct NameCase {
  const char* what;
  std::string suggested;
  std::string expected;
};

const std::string k300(300, 'x');
std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const NameCase kCases[] = {
    {"plain", "report.csv", "report.csv"},
    {"Japanese", "見積書 2024.pdf", "見積書 2024.pdf"},
    {"climbs out of the folder", "../../.bashrc", "bashrc"},
    {"absolute", "/etc/passwd", "etc_passwd"},
    {"sub-folder", "a/b.txt", "a_b.txt"},
    {"backslashes", "..\\..\\win.ini", "win.ini"},
    {"hidden file", ".hidden", "hidden"},
    {"dots only", "...", kFallback},
    {"dot-dot", "..", kFallback},
    {"empty", "", kFallback},
    {"spaces only", "   ", kFallback},
    {"controls only", "\x01\x1f\x7f", kFallback},
    {"newline inside", "re\nport\t.csv", "report.csv"},
    {"C1 control",
     "a\xc2\x85"
     "b.txt",
     "ab.txt"},
    {"right-to-left override hides .exe", "invoice\xe2\x80\xaetxt.exe", "invoicetxt.exe"},
    {"invalid UTF-8", "a\xff\xfe.txt", "a__.txt"},
    {"overlong UTF-8 slash",
     "a\xc0\xaf"
     "b",
     "a__b"},
    {"dot runs", "file..name...txt", "file.name.txt"},
    {"trailing dot and space", "name.txt. ", "name.txt"},
    {"leading spaces and dots", " . .profile", "profile"},
};

class NameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameTest, IsMadeSafe) {
  const NameCase& c = GetParam();
  EXPECT_EQ(download_name::Safe(c.suggested), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Suggested, NameTest, ::testing::ValuesIn(kCases));

// What every name must be, whatever came in.
void ExpectUsable(const std::string& name) {
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), kMaxBytes);
  EXPECT_TRUE(g_utf8_validate(name.data(), name.size(), nullptr)) << name;
  EXPECT_NE(name[0], '.');
  EXPECT_EQ(name.find('/'), std::string::npos);
  EXPECT_EQ(name.find(".."), std::string::npos);
  for (unsigned char c : name) EXPECT_GE(c, 0x20) << name;
}

TEST(NameLength, A300CharacterNameIsCutKeepingItsExtension) {
  const std::string name = download_name::Safe(k300 + ".pdf");
  ExpectUsable(name);
  EXPECT_EQ(name, std::string(kMaxBytes - 4, 'x') + ".pdf");
}

TEST(NameLength, MultibyteNamesAreCutBetweenCharacters) {
  const std::string name = download_name::Safe(Repeat("あ", 120) + ".txt");  // 364 bytes
  ExpectUsable(name);
  EXPECT_EQ(name, Repeat("あ", 83) + ".txt");
}

TEST(NameLength, AnOverlongExtensionIsCutAsPartOfTheName) {
  const std::string name = download_name::Safe("a." + k300);
  ExpectUsable(name);
  EXPECT_EQ(name.size(), kMaxBytes);
}

TEST(NameLength, HostileNamesAreAllUsable) {
  for (const NameCase& c : kCases) ExpectUsable(download_name::Safe(c.suggested));
  ExpectUsable(download_name::Safe(Repeat("../", 100)));
  ExpectUsable(download_name::Safe(Repeat("\xe2\x80\xae", 200)));
}

struct NumberedCase {
  std::string name;
  unsigned n;
  std::string expected;
};

TEST(Numbered, CountsBeforeTheExtension) {
  const NumberedCase cases[] = {
      {"report.csv", 0, "report.csv"},
      {"report.csv", 1, "report (1).csv"},
      {"report.csv", 12, "report (12).csv"},
      {"README", 2, "README (2)"},
      {"backup.tar.gz", 1, "backup (1).tar.gz"},
      {"見積書.pdf", 3, "見積書 (3).pdf"},
      {"v1.2.3", 1, "v1.2 (1).3"},
  };
  for (const NumberedCase& c : cases) {
    EXPECT_EQ(download_name::Numbered(c.name, c.n), c.expected) << c.name << " " << c.n;
  }
}

TEST(Numbered, ALongNameStaysWithinTheLimit) {
  const std::string name = download_name::Safe(Repeat("あ", 120) + ".txt");
  const std::string second = download_name::Numbered(name, 1);
  ExpectUsable(second);
  EXPECT_TRUE(second.ends_with(" (1).txt")) << second;
  const std::string ascii = download_name::Numbered(std::string(kMaxBytes, 'x'), 9999);
  ExpectUsable(ascii);
  EXPECT_TRUE(ascii.ends_with(" (9999)"));
}

}  // namespace
