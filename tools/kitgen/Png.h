#pragma once
// An 8-bit RGB image and its PNG encoding through libpng, byte for byte the same on every run:
// fixed filters and compression, and no chunk but the header, the image data and the end (no
// time, no text, no gamma).

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kitgen {

// Rows from the top, three bytes (R, G, B) a pixel.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bytes;
};

namespace detail {

inline void AppendPngBytes(png_structp i_png, png_bytep i_data, png_size_t i_length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(i_png));
  out->insert(out->end(), i_data, i_data + i_length);
}

inline void FlushNothing(png_structp) {}

// The libpng calls, apart so that libpng's long jump on an error skips no destructor.
inline bool EncodeRows(png_structp i_png, png_infop i_info, const Image& i_image,
                       std::vector<png_bytep>& io_rows) {
  if (setjmp(png_jmpbuf(i_png))) return false;
  png_set_IHDR(i_png, i_info, static_cast<png_uint_32>(i_image.width),
               static_cast<png_uint_32>(i_image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The Paeth filter alone and a middling level: noisy textures gain little from more, and
  // sheets must be quick to write.
  png_set_filter(i_png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
  png_set_compression_level(i_png, 3);
  png_set_rows(i_png, i_info, io_rows.data());
  png_write_png(i_png, i_info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace detail

inline std::vector<std::uint8_t> EncodePng(const Image& i_image) {
  std::vector<std::uint8_t> out;
  std::vector<png_bytep> rows(static_cast<std::size_t>(i_image.height));
  const std::size_t stride = static_cast<std::size_t>(i_image.width) * 3;
  for (std::size_t row = 0; row < rows.size(); ++row)
    rows[row] = const_cast<png_bytep>(i_image.bytes.data() + row * stride);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool done = false;
  if (info) {
    png_set_write_fn(png, &out, detail::AppendPngBytes, detail::FlushNothing);
    done = detail::EncodeRows(png, info, i_image, rows);
  }
  png_destroy_write_struct(&png, &info);
  if (!done) throw std::runtime_error("libpng could not encode the image");
  return out;
}

inline bool WriteBytes(const std::filesystem::path& i_path, const std::vector<std::uint8_t>& i_bytes) {
  std::ofstream out(i_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(i_bytes.data()), static_cast<std::streamsize>(i_bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace Kitgen
