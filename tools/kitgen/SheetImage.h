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

inline void PaintStrip(const Strip& i_strip, SheetImages& io_images) {
  const int rows = i_strip.height + 2 * kGutter;
  std::vector<int> relief(static_cast<std::size_t>(rows) * kSheetWidth);
  for (int r = 0; r < rows; ++r) {
    const int y = r - kGutter;  // up from the strip's foot
    const std::size_t imageRow = static_cast<std::size_t>(kSheetHeight - 1 - (i_strip.bottom + y));
    std::uint8_t* colour = io_images.colour.bytes.data() + imageRow * kSheetWidth * 3;
    for (int x = 0; x < kSheetWidth; ++x) {
      const Texel texel = LookAt(i_strip, x, y);
      colour[3 * x] = static_cast<std::uint8_t>(texel.colour.r);
      colour[3 * x + 1] = static_cast<std::uint8_t>(texel.colour.g);
      colour[3 * x + 2] = static_cast<std::uint8_t>(texel.colour.b);
      relief[static_cast<std::size_t>(r) * kSheetWidth + x] = texel.height;
    }
  }
  // Slopes by central differences, across the sheet's seam in u and clamped at the gutters' ends.
  const auto at = [&](int i_row, int i_x) {
    const int row = i_row < 0 ? 0 : i_row >= rows ? rows - 1 : i_row;
    const int x = (i_x + kSheetWidth) % kSheetWidth;
    return static_cast<std::int64_t>(relief[static_cast<std::size_t>(row) * kSheetWidth + x]);
  };
  for (int r = 0; r < rows; ++r) {
    const std::size_t imageRow = static_cast<std::size_t>(kSheetHeight - 1 - (i_strip.bottom + r - kGutter));
    std::uint8_t* normal = io_images.normal.bytes.data() + imageRow * kSheetWidth * 3;
    for (int x = 0; x < kSheetWidth; ++x) {
      // The normal (-dh/dx, -dh/dy, 1), with heights in 1/256 pixel over two pixels.
      const std::int64_t nx = at(r, x - 1) - at(r, x + 1);
      const std::int64_t ny = at(r - 1, x) - at(r + 1, x);
      const std::int64_t nz = 2 * 256;
      const std::int64_t length = SquareRoot(nx * nx + ny * ny + nz * nz);
      normal[3 * x] = NormalByte(nx, length);
      normal[3 * x + 1] = NormalByte(ny, length);
      normal[3 * x + 2] = NormalByte(nz, length);
    }
  }
}

}  // namespace detail

// Rows no strip covers are a neutral grey and a flat normal.
inline SheetImages PaintSheet(const Sheet& i_sheet) {
  SheetImages images;
  for (Image* image : {&images.colour, &images.normal}) {
    image->width = kSheetWidth;
    image->height = kSheetHeight;
    image->bytes.assign(static_cast<std::size_t>(kSheetWidth) * kSheetHeight * 3, 128);
  }
  for (std::size_t k = 2; k < images.normal.bytes.size(); k += 3) images.normal.bytes[k] = 255;
  for (const Strip& strip : i_sheet.strips) detail::PaintStrip(strip, images);
  return images;
}

}  // namespace Kitgen
