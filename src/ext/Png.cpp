// PNG images through libpng: decode, box-shrink, encode.

#include <ostrel/ext/Png.h>

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace Png {

namespace {

struct Cursor {
  const unsigned char* data;
  std::size_t size;
  std::size_t at;
};

void ReadFromCursor(png_structp i_png, png_bytep o_bytes, png_size_t i_length) {
  auto* cursor = static_cast<Cursor*>(png_get_io_ptr(i_png));
  if (i_length > cursor->size - cursor->at) png_error(i_png, "truncated");
  std::memcpy(o_bytes, cursor->data + cursor->at, i_length);
  cursor->at += i_length;
}

void AppendToString(png_structp i_png, png_bytep i_bytes, png_size_t i_length) {
  static_cast<std::string*>(png_get_io_ptr(i_png))->append(reinterpret_cast<const char*>(i_bytes), i_length);
}

void FlushNothing(png_structp) {}

// libpng's own handlers print to standard error; a broken sheet is told by the caller instead.
[[noreturn]] void Fail(png_structp i_png, png_const_charp) { png_longjmp(i_png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// The libpng calls, each group in its own function, so that libpng's long jump on an error skips
// no destructor.
bool ReadHeader(png_structp i_png, png_infop i_info, png_uint_32& o_width, png_uint_32& o_height,
                png_byte& o_channels) {
  if (setjmp(png_jmpbuf(i_png))) return false;
  png_read_info(i_png, i_info);
  png_set_expand(i_png);  // palettes to RGB, fewer than 8 bits to 8, transparency chunks to alpha
  png_set_strip_16(i_png);
  png_set_interlace_handling(i_png);
  png_read_update_info(i_png, i_info);
  o_width = png_get_image_width(i_png, i_info);
  o_height = png_get_image_height(i_png, i_info);
  o_channels = png_get_channels(i_png, i_info);
  return true;
}

bool ReadRows(png_structp i_png, png_bytepp io_rows) {
  if (setjmp(png_jmpbuf(i_png))) return false;
  png_read_image(i_png, io_rows);
  return true;
}

bool WriteRows(png_structp i_png, png_infop i_info, const Pixels& i_pixels, png_bytepp i_rows) {
  if (setjmp(png_jmpbuf(i_png))) return false;
  static const int kColourTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                     PNG_COLOR_TYPE_RGB_ALPHA};
  png_set_IHDR(i_png, i_info, i_pixels.width, i_pixels.height, 8, kColourTypes[i_pixels.channels - 1],
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Small sheets are quick to pack hard, and the point of making them is a small file.
  png_set_filter(i_png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_compression_level(i_png, 9);
  png_set_rows(i_png, i_info, i_rows);
  png_write_png(i_png, i_info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

// The part of input pixel i (of n) that output pixel o (of m) covers, both spans measured in units
// of 1 / (n * m) of the side: the input pixel spans [i * m, (i + 1) * m), the output one
// [o * n, (o + 1) * n).
std::uint64_t Overlap(std::uint64_t i_in, std::uint64_t i_out, std::uint64_t i_n, std::uint64_t i_m) {
  const std::uint64_t lo = std::max(i_in * i_m, i_out * i_n);
  const std::uint64_t hi = std::min((i_in + 1) * i_m, (i_out + 1) * i_n);
  return hi > lo ? hi - lo : 0;
}

// Whether every chunk before the image data lies within the file, as libpng must find it to read
// the file. It allocates (and clears) a chunk's buffer at the length the chunk's header claims
// before reading it, so that a few hundred bytes claiming a 1.3 GB text chunk took seconds and
// that much memory before failing all the same. The image data's chunks are streamed, not held.
bool ChunksBeforeDataFit(std::string_view i_bytes) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(i_bytes.data());
  std::uint64_t at = 8;  // past the signature
  while (at + 8 <= i_bytes.size()) {
    const unsigned char* chunk = bytes + at;
    if (std::memcmp(chunk + 4, "IDAT", 4) == 0) return true;
    const std::uint64_t length = std::uint64_t{chunk[0]} << 24 | std::uint64_t{chunk[1]} << 16 |
                                 std::uint64_t{chunk[2]} << 8 | chunk[3];
    at += 12 + length;  // length, type, data and CRC
    if (at > i_bytes.size()) return false;
  }
  return true;  // a file cut within a chunk's header: libpng says so itself
}

}  // namespace

DecodeResult Decode(std::string_view i_bytes, Pixels& o_pixels) {
  o_pixels = Pixels();
  if (i_bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(i_bytes.data()), 0, 8) != 0)
    return DecodeResult::NotPng;
  if (!ChunksBeforeDataFit(i_bytes)) return DecodeResult::NotPng;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return DecodeResult::NotPng;
  }
  Cursor cursor{reinterpret_cast<const unsigned char*>(i_bytes.data()), i_bytes.size(), 0};
  png_set_read_fn(png, &cursor, ReadFromCursor);
  png_uint_32 width = 0, height = 0;
  png_byte channels = 0;
  DecodeResult result = DecodeResult::NotPng;
  if (ReadHeader(png, info, width, height, channels) && channels >= 1 && channels <= 4) {
    result = width > kMaxSide || height > kMaxSide || std::uint64_t{width} * height > kMaxPixels
                 ? DecodeResult::TooLarge
                 : DecodeResult::Ok;
  }
  if (result == DecodeResult::Ok) {
    const std::size_t stride = std::size_t{width} * channels;
    o_pixels.bytes.resize(stride * height);
    std::vector<png_bytep> rows(height);
    for (std::size_t row = 0; row < rows.size(); ++row) rows[row] = o_pixels.bytes.data() + row * stride;
    if (ReadRows(png, rows.data())) {
      o_pixels.width = width;
      o_pixels.height = height;
      o_pixels.channels = channels;
    } else {
      result = DecodeResult::NotPng;
      o_pixels = Pixels();
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return result;
}

bool HeaderSize(std::string_view i_bytes, std::uint32_t& o_width, std::uint32_t& o_height) {
  // The signature, then the header chunk: its length, "IHDR", the width and the height.
  if (i_bytes.size() < 24 || png_sig_cmp(reinterpret_cast<png_const_bytep>(i_bytes.data()), 0, 8) != 0 ||
      i_bytes.substr(12, 4) != "IHDR")
    return false;
  const auto number = [&](std::size_t i_at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(i_bytes[i_at + i]);
    return value;
  };
  o_width = number(16);
  o_height = number(20);
  return true;
}

namespace {

constexpr std::size_t kSignature = 8;
constexpr std::size_t kHeaderEnd = kSignature + 4 + 4 + 13 + 4;  // the signature and IHDR

std::uint32_t ReadBig(std::string_view i_bytes, std::size_t i_at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(i_bytes[i_at])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(i_bytes[i_at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(i_bytes[i_at + 2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(i_bytes[i_at + 3]));
}

void AppendBig(std::string& io_bytes, std::uint32_t i_value) {
  for (int shift = 24; shift >= 0; shift -= 8) io_bytes.push_back(static_cast<char>((i_value >> shift) & 0xff));
}

// The CRC of a chunk's type and data, as PNG defines it (CRC-32, reflected, 0xedb88320).
std::uint32_t ChunkCrc(std::string_view i_bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (const char c : i_bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xffffffffu;
}

bool HasHeader(std::string_view i_png) {
  static const char kPng[kSignature] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
  return i_png.size() >= kHeaderEnd && i_png.compare(0, kSignature, std::string_view(kPng, kSignature)) == 0 &&
         i_png.compare(kSignature + 4, 4, "IHDR") == 0 && ReadBig(i_png, kSignature) == 13;
}

}  // namespace

std::string WithText(std::string_view i_png, const std::string& i_keyword, const std::string& i_text) {
  if (!HasHeader(i_png)) return std::string(i_png);
  const std::string body = "tEXt" + i_keyword + std::string(1, '\0') + i_text;
  std::string out(i_png.substr(0, kHeaderEnd));
  AppendBig(out, static_cast<std::uint32_t>(body.size() - 4));
  out += body;
  AppendBig(out, ChunkCrc(body));
  out.append(i_png.substr(kHeaderEnd));
  return out;
}

std::string TextOf(std::string_view i_png, const std::string& i_keyword) {
  if (!HasHeader(i_png)) return std::string();
  const std::string wanted = i_keyword + std::string(1, '\0');
  for (std::size_t at = kHeaderEnd; at + 12 <= i_png.size();) {
    const std::uint32_t length = ReadBig(i_png, at);
    if (length > i_png.size() - at - 12) return std::string();
    const std::string_view type = i_png.substr(at + 4, 4);
    if (type == "IDAT" || type == "IEND") return std::string();
    const std::string_view data = i_png.substr(at + 8, length);
    if (type == "tEXt" && data.compare(0, wanted.size(), wanted) == 0) return std::string(data.substr(wanted.size()));
    at += 12 + std::size_t{length};
  }
  return std::string();
}

std::string Encode(const Pixels& i_pixels) {
  std::string out;
  if (i_pixels.channels < 1 || i_pixels.channels > 4 || i_pixels.width == 0 || i_pixels.height == 0)
    return out;
  const std::size_t stride = std::size_t{i_pixels.width} * i_pixels.channels;
  std::vector<png_bytep> rows(i_pixels.height);
  for (std::size_t row = 0; row < rows.size(); ++row)
    rows[row] = const_cast<png_bytep>(i_pixels.bytes.data() + row * stride);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool done = false;
  if (info) {
    png_set_write_fn(png, &out, AppendToString, FlushNothing);
    done = WriteRows(png, info, i_pixels, rows.data());
  }
  png_destroy_write_struct(&png, &info);
  if (!done) out.clear();
  return out;
}

void ShrunkSize(std::uint32_t i_width, std::uint32_t i_height, std::uint32_t i_longest,
                std::uint32_t& o_width, std::uint32_t& o_height) {
  const std::uint64_t longer = std::max(i_width, i_height);
  const auto side = [&](std::uint64_t i_side) {
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (i_side * i_longest + longer / 2) / longer));
  };
  o_width = side(i_width);
  o_height = side(i_height);
}

Pixels BoxShrink(const Pixels& i_pixels, std::uint32_t i_width, std::uint32_t i_height) {
  const std::uint64_t n = i_pixels.width, m = i_width;    // along x: input, output
  const std::uint64_t h = i_pixels.height, k = i_height;  // along y
  const std::uint32_t channels = i_pixels.channels;
  Pixels out;
  out.width = i_width;
  out.height = i_height;
  out.channels = channels;
  out.bytes.resize(std::size_t{i_width} * i_height * channels);
  // Each output pixel's weights add up to n * h (its area in input pixels times m * k, the units
  // of Overlap), and samples are at most 255: sums stay far below 2^64 within kMaxPixels.
  const std::uint64_t total = n * h;
  std::vector<std::uint64_t> row(std::size_t{i_width} * channels);  // one input row, filtered along x
  std::vector<std::uint64_t> sums(row.size());
  for (std::uint64_t oy = 0; oy < k; ++oy) {
    std::fill(sums.begin(), sums.end(), 0);
    // The input rows that this output row covers: from oy * h / k to ((oy + 1) * h - 1) / k.
    for (std::uint64_t y = oy * h / k; y < h && y * k < (oy + 1) * h; ++y) {
      const std::uint64_t wy = Overlap(y, oy, h, k);
      if (wy == 0) continue;
      std::fill(row.begin(), row.end(), 0);
      const std::uint8_t* in = i_pixels.bytes.data() + y * n * channels;
      for (std::uint64_t x = 0; x < n; ++x) {
        // An input pixel is no wider than an output one: it meets at most two of them.
        const std::uint64_t first = x * m / n;
        for (std::uint64_t ox = first; ox < m && ox <= first + 1; ++ox) {
          const std::uint64_t wx = Overlap(x, ox, n, m);
          for (std::uint32_t c = 0; c < channels; ++c) row[ox * channels + c] += wx * in[x * channels + c];
        }
      }
      for (std::size_t i = 0; i < row.size(); ++i) sums[i] += wy * row[i];
    }
    std::uint8_t* to = out.bytes.data() + oy * m * channels;
    for (std::size_t i = 0; i < sums.size(); ++i)
      to[i] = static_cast<std::uint8_t>((sums[i] + total / 2) / total);
  }
  return out;
}

}  // namespace Png
