#pragma once
// Paints a sheet (Sheets.h) into two images: its colours (sRGB) and its normal map (tangent
// space, OpenGL's convention: red along u, green along v, up the image, blue out of the face).

#include <cstdint>
#include <vector>

#include "Looks.h"
#include "Png.h"
#include "Sheets.h"

namespace Kitgen {

struct SheetImages {
  Image colour, normal;
};

namespace detail {

// -1..1 (a component over the vector's length) to a byte, 128 for 0.
inline std::uint8_t NormalByte(std::int64_t i_component, std::int64_t i_length) {
  const std::int64_t byte = 128 + FloorDiv(254 * i_component + i_length, 2 * i_length);
  return static_cast<std::uint8_t>(byte < 0 ? 0 : byte > 255 ? 255 : byte);
}

// Paints the strip and its gutters. Slopes are central differences over the relief, which is
// worked out one pixel further out on every side, so that the gutters' edges see their look too.
inline void PaintStrip(const Strip& i_strip, SheetImages& io_images) {
  const int columns = i_strip.width + 2 * kGutter, rows = i_strip.height + 2 * kGutter;
  const int stride = columns + 2;
  std::vector<int> relief(static_cast<std::size_t>(stride) * (rows + 2));
  const auto pixel = [&](Image& io_image, int i_x, int i_y) {  // x, y from the strip's lower left
    const std::size_t row = static_cast<std::size_t>(kSheetSize - 1 - (i_strip.y + i_y));
    return io_image.bytes.data() + (row * kSheetSize + static_cast<std::size_t>(i_strip.x + i_x)) * 3;
  };
  for (int r = 0; r < rows + 2; ++r) {
    for (int c = 0; c < stride; ++c) {
      const int x = c - kGutter - 1, y = r - kGutter - 1;
      const Texel texel = LookAt(i_strip, x, y);
      relief[static_cast<std::size_t>(r) * stride + c] = texel.height;
      if (r == 0 || c == 0 || r == rows + 1 || c == stride - 1) continue;
      std::uint8_t* colour = pixel(io_images.colour, x, y);
      colour[0] = static_cast<std::uint8_t>(texel.colour.r);
      colour[1] = static_cast<std::uint8_t>(texel.colour.g);
      colour[2] = static_cast<std::uint8_t>(texel.colour.b);
    }
  }
  const auto at = [&](int i_r, int i_c) {
    return static_cast<std::int64_t>(relief[static_cast<std::size_t>(i_r) * stride + i_c]);
  };
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= columns; ++c) {
      // The normal (-dh/dx, -dh/dy, 1), with heights in 1/256 pixel over two pixels.
      const std::int64_t nx = at(r, c - 1) - at(r, c + 1);
      const std::int64_t ny = at(r - 1, c) - at(r + 1, c);
      const std::int64_t nz = 2 * 256;
      const std::int64_t length = SquareRoot(nx * nx + ny * ny + nz * nz);
      std::uint8_t* normal = pixel(io_images.normal, c - kGutter - 1, r - kGutter - 1);
      normal[0] = NormalByte(nx, length);
      normal[1] = NormalByte(ny, length);
      normal[2] = NormalByte(nz, length);
    }
  }
}

}  // namespace detail

// Pixels no strip covers are a neutral grey and a flat normal.
inline SheetImages PaintSheet(const Sheet& i_sheet) {
  SheetImages images;
  for (Image* image : {&images.colour, &images.normal}) {
    image->width = kSheetSize;
    image->height = kSheetSize;
    image->bytes.assign(static_cast<std::size_t>(kSheetSize) * kSheetSize * 3, 128);
  }
  for (std::size_t k = 2; k < images.normal.bytes.size(); k += 3) images.normal.bytes[k] = 255;
  for (const Strip& strip : i_sheet.strips) detail::PaintStrip(strip, images);
  return images;
}

}  // namespace Kitgen
