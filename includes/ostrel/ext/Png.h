#pragma once
// PNG images through libpng, for the texture sheets an output carries: decoding into 8-bit
// samples, an exact box filter that makes them smaller, and an encoding that gives the same bytes
// on every run (fixed filters and compression level, no chunk but the header, the image data and
// the end: no time, no text, no gamma).
//
// Pixels are rows from the top, each pixel `channels` bytes: gray, gray and alpha, red green blue,
// or red green blue alpha, as the file has them (palettes and transparency chunks are expanded,
// 16-bit samples cut to 8, fewer than 8 bits widened).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Png {

// Images with more pixels than this, or a side longer than kMaxSide, are not decoded: a small
// file may unpack to gigabytes.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;
inline constexpr std::uint32_t kMaxSide = 1u << 16;

struct Pixels {
  std::uint32_t width = 0, height = 0;
  std::uint32_t channels = 0;       // 1 to 4
  std::vector<std::uint8_t> bytes;  // width * height * channels
};

enum class DecodeResult {
  Ok,
  NotPng,    // the bytes are not a PNG file, or a broken one
  TooLarge,  // past kMaxPixels or kMaxSide
};

// The image that i_bytes (a whole PNG file) holds.
DecodeResult Decode(std::string_view i_bytes, Pixels& o_pixels);

// The width and height that the header of a PNG file states; false for anything else.
bool HeaderSize(std::string_view i_bytes, std::uint32_t& o_width, std::uint32_t& o_height);

// i_pixels as a PNG file. Empty only when libpng fails (out of memory).
std::string Encode(const Pixels& i_pixels);

// A PNG file with a text chunk (tEXt) of i_keyword (1 to 79 Latin-1 characters) and i_text put
// right after its header, where a reader finds it without reading the image; the file unchanged
// when it does not start with a header.
std::string WithText(std::string_view i_png, const std::string& i_keyword, const std::string& i_text);

// The text of the first text chunk of i_keyword ahead of the image data; empty when there is none
// or the file is no PNG.
std::string TextOf(std::string_view i_png, const std::string& i_keyword);

// The size (o_width, o_height) of an image of i_width x i_height whose longer side becomes
// i_longest, the shorter rounded to the nearest whole pixel and at least 1. Powers of two stay
// powers of two: 2048 x 1024 to 512 gives 512 x 256.
void ShrunkSize(std::uint32_t i_width, std::uint32_t i_height, std::uint32_t i_longest,
                std::uint32_t& o_width, std::uint32_t& o_height);

// i_pixels box-filtered to i_width x i_height, each no larger than the image's: every output
// pixel is the mean of the input area it covers, input pixels cut by its edges counted by the
// part inside, rounded to the nearest value. Samples are averaged as stored (no gamma). Integer
// arithmetic throughout, so every machine gives the same bytes; a whole factor (2048 to 512) is the
// plain mean of each 4 x 4 block.
Pixels BoxShrink(const Pixels& i_pixels, std::uint32_t i_width, std::uint32_t i_height);

}  // namespace Png
