#include "skinlib/canvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantoip::skin {
namespace {

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlue{0, 0, 255};

TEST(Canvas, GradientRunsFromTopRowToBottomRow) {
  EXPECT_EQ(GradientAt(kBlack, kWhite, 0, 11), kBlack);
  EXPECT_EQ(GradientAt(kBlack, kWhite, 10, 11), kWhite);
  EXPECT_EQ(GradientAt(kBlack, kWhite, 5, 11), (Rgb{127, 127, 127}));
  EXPECT_EQ(GradientAt(kRed, kBlue, 99, 3), kBlue);  // clamped
  EXPECT_EQ(Mix(kRed, kBlue, 0), kRed);
  EXPECT_EQ(Mix(kRed, kBlue, 255), kBlue);

  std::vector<std::uint32_t> pixels(6 * 4, 0x00ABCDEF);
  const Canvas c{pixels.data(), 6, 4};
  FillGradient(c, {1, -3, 5, 2}, kBlack, kWhite);  // partly above the canvas
  EXPECT_EQ(FromPixel(c.At(1, 0)), GradientAt(kBlack, kWhite, 3, 5));
  EXPECT_EQ(FromPixel(c.At(4, 1)), kWhite);
  EXPECT_EQ(c.At(0, 0), 0x00ABCDEFu);
  EXPECT_EQ(c.At(5, 0), 0x00ABCDEFu);
  EXPECT_EQ(c.At(1, 2), 0x00ABCDEFu);
}

// Every shape drawn over the edges touches only the part of its box that lies
// on the surface: not the guard rows around it, not the rest of the rows.
TEST(Canvas, ShapesAreClippedToTheSurface) {
  constexpr int kWidth = 20, kHeight = 10, kGuardRows = 2;
  constexpr std::uint32_t kMark = 0x00123456;
  std::vector<std::uint32_t> pixels(kWidth * (kHeight + 2 * kGuardRows));
  const Canvas c{&pixels[kGuardRows * kWidth], kWidth, kHeight};
  const std::vector<void (*)(const Canvas&, Box)> shapes = {
      [](const Canvas& c, Box b) { FillGradient(c, b, kRed, kBlue); },
      [](const Canvas& c, Box b) { DrawRoundBox(c, b, 3, kRed, kBlue, kBlack); },
      [](const Canvas& c, Box b) { DrawRoundOutline(c, b, 3, kWhite, 200); },
      [](const Canvas& c, Box b) { BlendBox(c, b, kWhite, 100); },
      [](const Canvas& c, Box b) { DrawPattern(c, b, Pattern::Grid, 2, kWhite, 100); },
  };
  // Each box with the part of the surface it may touch.
  const std::pair<Box, Box> cases[] = {{{15, -5, 40, 4}, {15, 0, 20, 4}},
                                       {{-10, 6, 5, 30}, {0, 6, 5, 10}},
                                       {{30, 30, 40, 40}, {0, 0, 0, 0}}};
  for (const auto& shape : shapes)
    for (const auto& [box, allowed] : cases) {
      std::fill(pixels.begin(), pixels.end(), kMark);
      shape(c, box);
      int changed = 0;
      for (int y = -kGuardRows; y < kHeight + kGuardRows; ++y)
        for (int x = 0; x < kWidth; ++x) {
          const bool mayChange = x >= allowed.left && x < allowed.right && y >= allowed.top && y < allowed.bottom;
          const bool same = pixels[(y + kGuardRows) * kWidth + x] == kMark;
          if (!mayChange) {
            EXPECT_TRUE(same) << x << "," << y;
          }
          changed += !same;
        }
      if (allowed.right > allowed.left) {
        EXPECT_GT(changed, 0) << "the visible part was not drawn";
      }
    }
}

TEST(Canvas, RoundBoxHasBorderFillAndOpenCorners) {
  std::vector<std::uint32_t> pixels(40 * 30, ToPixel(kWhite));
  const Canvas c{pixels.data(), 40, 30};
  DrawRoundBox(c, {0, 0, 40, 30}, 8, kRed, kRed, kBlack);
  EXPECT_EQ(FromPixel(c.At(0, 0)), kWhite);   // outside the rounded corner
  EXPECT_EQ(FromPixel(c.At(20, 0)), kBlack);  // middle of the top edge
  EXPECT_EQ(FromPixel(c.At(0, 15)), kBlack);  // middle of the left edge
  EXPECT_EQ(FromPixel(c.At(20, 15)), kRed);   // inside
  const Rgb corner = FromPixel(c.At(2, 2));   // on the arc: partly covered
  EXPECT_NE(corner, kWhite);
  EXPECT_NE(corner, kRed);

  std::fill(pixels.begin(), pixels.end(), ToPixel(kWhite));
  DrawRoundBox(c, {0, 0, 40, 30}, 8, kRed, kBlue, kBlack, kTopCorners);
  EXPECT_EQ(FromPixel(c.At(0, 0)), kWhite);
  EXPECT_EQ(FromPixel(c.At(0, 29)), kBlack);  // square bottom corner
  EXPECT_EQ(FromPixel(c.At(20, 1)), GradientAt(kRed, kBlue, 1, 30));
  EXPECT_EQ(FromPixel(c.At(20, 28)), GradientAt(kRed, kBlue, 28, 30));

  std::fill(pixels.begin(), pixels.end(), ToPixel(kWhite));
  DrawRoundOutline(c, {0, 0, 40, 30}, 0, kBlack, 255);
  EXPECT_EQ(FromPixel(c.At(39, 29)), kBlack);
  EXPECT_EQ(FromPixel(c.At(1, 1)), kWhite);  // only the outline
}

TEST(Canvas, PatternsMarkTheirPixelsOnly) {
  std::vector<std::uint32_t> pixels(12 * 12, 0);
  const Canvas c{pixels.data(), 12, 12};
  DrawPattern(c, {0, 0, 12, 12}, Pattern::Lines, 4, kWhite, 255);
  EXPECT_EQ(FromPixel(c.At(5, 4)), kWhite);
  EXPECT_EQ(FromPixel(c.At(5, 5)), kBlack);
  std::fill(pixels.begin(), pixels.end(), 0);
  DrawPattern(c, {0, 0, 12, 12}, Pattern::Diagonal, 3, kWhite, 255);
  EXPECT_EQ(FromPixel(c.At(1, 2)), kWhite);
  EXPECT_EQ(FromPixel(c.At(1, 1)), kBlack);
  std::fill(pixels.begin(), pixels.end(), 0);
  DrawPattern(c, {0, 0, 12, 12}, Pattern::None, 3, kWhite, 255);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0u), 144);
}

}  // namespace
}  // namespace vantoip::skin
