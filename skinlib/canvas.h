// A 32-bit pixel surface (0x00RRGGBB per pixel, rows top-down: the layout of a
// 32-bit Windows DIB) and the shapes a skin is drawn with. Everything drawn is
// clipped to the surface.
#pragma once

#include <cstdint>

#include "skinlib/skin_description.h"

namespace vantoip::skin {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  Box Inset(int by) const { return {left + by, top + by, right - by, bottom - by}; }
};

struct Canvas {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::uint32_t& At(int x, int y) const { return pixels[static_cast<long>(y) * width + x]; }
};

std::uint32_t ToPixel(Rgb c);
Rgb FromPixel(std::uint32_t pixel);

// `b` over `a` with the weight 0-255 of b.
Rgb Mix(Rgb a, Rgb b, int weight);

// Colour of `row` (0 .. rows-1) of a vertical gradient from top to bottom.
Rgb GradientAt(Rgb top, Rgb bottom, int row, int rows);

void FillGradient(const Canvas& canvas, Box box, Rgb top, Rgb bottom);

// `colour` over every pixel of the box with the weight 0-255.
void BlendBox(const Canvas& canvas, Box box, Rgb colour, int alpha);

// A thin repeating pattern (lines, dots, diagonals, grid) over the box.
void DrawPattern(const Canvas& canvas, Box box, Pattern pattern, int spacing, Rgb colour, int alpha);

enum Corners { kTopCorners = 1, kBottomCorners = 2, kAllCorners = kTopCorners | kBottomCorners };

// An anti-aliased box with rounded corners: a vertical gradient inside a
// one-pixel border. Pixels outside the rounded shape keep what they had.
void DrawRoundBox(const Canvas& canvas, Box box, int radius, Rgb top, Rgb bottom, Rgb border,
                  int corners = kAllCorners);

// Only the one-pixel rounded outline, with the weight 0-255.
void DrawRoundOutline(const Canvas& canvas, Box box, int radius, Rgb colour, int alpha);

}  // namespace vantoip::skin
