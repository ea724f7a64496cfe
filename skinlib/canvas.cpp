#include "skinlib/canvas.h"

#include <algorithm>
#include <cmath>

namespace vantoip::skin {
namespace {

Box Clip(const Canvas& canvas, Box box) {
  return {std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, canvas.width),
          std::min(box.bottom, canvas.height)};
}

std::uint8_t Channel(int a, int b, int weight) { return static_cast<std::uint8_t>((a * (255 - weight) + b * weight + 127) / 255); }

// Signed distance from the pixel centre (x, y) to the edge of the rounded box:
// negative inside. Corners not in `corners` are square.
float Distance(const Box& box, int radius, int corners, int x, int y) {
  const float px = x + 0.5f, py = y + 0.5f;
  const float cx = (box.left + box.right) / 2.0f, cy = (box.top + box.bottom) / 2.0f;
  const bool upper = py < cy;
  const float r = ((upper && (corners & kTopCorners)) || (!upper && (corners & kBottomCorners)))
                      ? std::min<float>(radius, std::min(box.Width(), box.Height()) / 2.0f)
                      : 0.0f;
  const float qx = std::abs(px - cx) - (box.Width() / 2.0f - r);
  const float qy = std::abs(py - cy) - (box.Height() / 2.0f - r);
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

float Coverage(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

int Weight(float coverage) { return static_cast<int>(coverage * 255.0f + 0.5f); }

// Calls paint(x, y, outer, inner) for every pixel of the box that the rounded
// shape touches: outer is the coverage of the whole shape, inner of the shape
// inside its one-pixel border.
template <class Paint>
void ForEachCovered(const Canvas& canvas, Box box, int radius, int corners, Paint paint, Box area) {
  Box clip = Clip(canvas, box);
  clip = {std::max(clip.left, area.left), std::max(clip.top, area.top), std::min(clip.right, area.right),
          std::min(clip.bottom, area.bottom)};
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x) {
      const float d = Distance(box, radius, corners, x, y);
      const float outer = Coverage(d);
      if (outer > 0.0f) paint(x, y, outer, Coverage(d + 1.0f));
    }
}

template <class Paint>
void ForEachCovered(const Canvas& canvas, Box box, int radius, int corners, Paint paint) {
  ForEachCovered(canvas, box, radius, corners, paint, box);
}

}  // namespace

std::uint32_t ToPixel(Rgb c) { return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b; }

Rgb FromPixel(std::uint32_t pixel) {
  return {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
          static_cast<std::uint8_t>(pixel)};
}

Rgb Mix(Rgb a, Rgb b, int weight) {
  weight = std::clamp(weight, 0, 255);
  return {Channel(a.r, b.r, weight), Channel(a.g, b.g, weight), Channel(a.b, b.b, weight)};
}

Rgb GradientAt(Rgb top, Rgb bottom, int row, int rows) {
  if (rows <= 1) return top;
  return Mix(top, bottom, std::clamp(row, 0, rows - 1) * 255 / (rows - 1));
}

void FillGradient(const Canvas& canvas, Box box, Rgb top, Rgb bottom) {
  const Box clip = Clip(canvas, box);
  if (clip.Width() <= 0) return;
  for (int y = clip.top; y < clip.bottom; ++y) {
    const std::uint32_t pixel = ToPixel(GradientAt(top, bottom, y - box.top, box.Height()));
    std::fill(&canvas.At(clip.left, y), &canvas.At(clip.left, y) + clip.Width(), pixel);
  }
}

void BlendBox(const Canvas& canvas, Box box, Rgb colour, int alpha) {
  const Box clip = Clip(canvas, box);
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x)
      canvas.At(x, y) = ToPixel(Mix(FromPixel(canvas.At(x, y)), colour, alpha));
}

void DrawPattern(const Canvas& canvas, Box box, Pattern pattern, int spacing, Rgb colour, int alpha) {
  if (pattern == Pattern::None || spacing < 2) return;
  const Box clip = Clip(canvas, box);
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x) {
      const bool onRow = y % spacing == 0, onColumn = x % spacing == 0;
      bool on = false;
      switch (pattern) {
        case Pattern::Lines: on = onRow; break;
        case Pattern::Dots: on = onRow && onColumn; break;
        case Pattern::Diagonal: on = (x + y) % spacing == 0; break;
        case Pattern::Grid: on = onRow || onColumn; break;
        case Pattern::None: break;
      }
      if (on) canvas.At(x, y) = ToPixel(Mix(FromPixel(canvas.At(x, y)), colour, alpha));
    }
}

void DrawRoundBox(const Canvas& canvas, Box box, int radius, Rgb top, Rgb bottom, Rgb border, int corners) {
  ForEachCovered(canvas, box, radius, corners, [&](int x, int y, float outer, float inner) {
    const Rgb fill = GradientAt(top, bottom, y - box.top, box.Height());
    const Rgb shape = Mix(border, fill, Weight(inner / outer));
    canvas.At(x, y) = ToPixel(Mix(FromPixel(canvas.At(x, y)), shape, Weight(outer)));
  });
}

void DrawRoundOutline(const Canvas& canvas, Box box, int radius, Rgb colour, int alpha) {
  auto paint = [&](int x, int y, float outer, float inner) {
    canvas.At(x, y) = ToPixel(Mix(FromPixel(canvas.At(x, y)), colour, Weight(outer - inner) * alpha / 255));
  };
  // Only a band along the edges is touched, as wide as the corners and the
  // border: a window-sized outline would otherwise weigh every pixel inside.
  const int band = std::max(radius, 0) + 2;
  if (box.Width() <= 2 * band || box.Height() <= 2 * band) {
    ForEachCovered(canvas, box, radius, kAllCorners, paint);
    return;
  }
  const Box bands[] = {
      {box.left, box.top, box.right, box.top + band},
      {box.left, box.bottom - band, box.right, box.bottom},
      {box.left, box.top + band, box.left + band, box.bottom - band},
      {box.right - band, box.top + band, box.right, box.bottom - band},
  };
  for (const Box& area : bands) ForEachCovered(canvas, box, radius, kAllCorners, paint, area);
}

}  // namespace vantoip::skin
