#include "data/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

uint32_t Le32(std::span<const unsigned char> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t Le16(std::span<const unsigned char> b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

class GlyphTest : public testing::TestWithParam<const char*> {};

TEST_P(GlyphTest, IsA25x25TrueColourBitmapWithADrawing) {
  const std::span<const unsigned char> bmp = ResourceBytes(GetParam());
  constexpr std::size_t kSide = 25, kRow = 76, kPixels = 54;
  ASSERT_EQ(bmp.size(), kPixels + kRow * kSide);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 2), bmp.size());
  EXPECT_EQ(Le32(bmp, 10), kPixels);
  EXPECT_EQ(Le32(bmp, 14), 40u);
  EXPECT_EQ(Le32(bmp, 18), kSide);
  EXPECT_EQ(Le32(bmp, 22), kSide);  // positive: bottom-up
  EXPECT_EQ(Le16(bmp, 26), 1);
  EXPECT_EQ(Le16(bmp, 28), 24);
  EXPECT_EQ(Le32(bmp, 30), 0u);  // BI_RGB
  EXPECT_TRUE(Le32(bmp, 34) == 0 || Le32(bmp, 34) == kRow * kSide);

  // Bottom-up, so the first stored pixel is the bottom-left one: the
  // colour the program makes transparent.
  const auto pixel = [&](std::size_t x, std::size_t y) {
    const std::size_t at = kPixels + y * kRow + x * 3;
    return std::string(bmp.begin() + at, bmp.begin() + at + 3);
  };
  const std::string key = pixel(0, 0);
  std::size_t drawn = 0;
  for (std::size_t y = 0; y < kSide; ++y) {
    for (std::size_t x = 0; x < kSide; ++x) drawn += pixel(x, y) != key;
  }
  EXPECT_GE(drawn * 10, kSide * kSide) << "too little drawing";
  EXPECT_LE(drawn * 10, kSide * kSide * 9) << "too little background";
}

INSTANTIATE_TEST_SUITE_P(AllGlyphs, GlyphTest,
                         testing::Values("back", "forward", "home", "stop", "refresh", "yahoo",
                                         "google"));

uint32_t Be32(std::span<const unsigned char> b, std::size_t at) {
  return (uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

class WindowIconTest : public testing::TestWithParam<int> {};

TEST_P(WindowIconTest, IsASquarePngWithTransparencyOfItsSize) {
  const std::span<const unsigned char> png = ResourceBytes("tavorin-" + std::to_string(GetParam()));
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(std::string(png.begin(), png.begin() + 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(Be32(png, 16), uint32_t(GetParam()));
  EXPECT_EQ(Be32(png, 20), uint32_t(GetParam()));
  EXPECT_EQ(png[24], 8);  // bits per channel
  EXPECT_EQ(png[25], 6);  // RGBA: the rounded corners are transparent
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowIconTest, testing::Values(16, 24, 32, 48, 64, 128));

TEST(ResourceBytes, UnknownNameIsEmpty) {
  EXPECT_TRUE(ResourceBytes("").empty());
  EXPECT_TRUE(ResourceBytes("nonexistent").empty());
  EXPECT_TRUE(ResourceBytes("back.bmp").empty());
  EXPECT_TRUE(ResourceBytes("tavorin").empty());
  EXPECT_TRUE(ResourceBytes("tavorin-256").empty());  // only in the icon theme
}

}  // namespace
