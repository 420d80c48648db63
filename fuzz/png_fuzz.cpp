// Feeds arbitrary bytes to the PNG reader, as a kit's texture sheet is read when an output makes
// its sheets smaller, and checks what must hold of any result: a decoded image is no larger than
// the limits and its samples fill it exactly, the header read alone does not contradict it,
// encoding it and decoding again gives the same pixels, and a shrunk copy has the size asked and
// samples within the image's own range. A sheet that cannot be shrunk is told in one printable
// line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/ext/Png.h>
#include <ostrel/write/Sheets.h>

#include "FuzzSupport.h"

namespace {

bool Printable(std::string_view i_text) {
  for (const char c : i_text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// Every output sample lies between the smallest and largest of its channel in the input: a box
// filter only averages.
void CheckShrunk(const Png::Pixels& i_image, std::uint32_t i_longest) {
  std::uint32_t width = 0, height = 0;
  Png::ShrunkSize(i_image.width, i_image.height, i_longest, width, height);
  FUZZ_CHECK(width >= 1 && height >= 1 && std::max(width, height) <= std::max(i_longest, 1u));
  width = std::min(width, i_image.width);
  height = std::min(height, i_image.height);
  const Png::Pixels small = Png::BoxShrink(i_image, width, height);
  FUZZ_CHECK(small.width == width && small.height == height && small.channels == i_image.channels);
  FUZZ_CHECK(small.bytes.size() == std::size_t{width} * height * small.channels);
  for (std::uint32_t channel = 0; channel < i_image.channels; ++channel) {
    std::uint8_t lo = 255, hi = 0;
    for (std::size_t i = channel; i < i_image.bytes.size(); i += i_image.channels) {
      lo = std::min(lo, i_image.bytes[i]);
      hi = std::max(hi, i_image.bytes[i]);
    }
    for (std::size_t i = channel; i < small.bytes.size(); i += small.channels)
      FUZZ_CHECK(small.bytes[i] >= lo && small.bytes[i] <= hi);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  const std::string_view bytes(reinterpret_cast<const char*>(i_data), i_size);
  Png::Pixels image;
  const Png::DecodeResult result = Png::Decode(bytes, image);

  // The longest side asked for comes from the input, so that every ratio is tried.
  const std::uint32_t longest = 1 + (i_size > 0 ? i_data[i_size - 1] % 64 : 0);

  // The sheet as an output takes it: a refusal is one warning line and keeps the bytes.
  std::vector<std::string> warnings;
  const std::string sheet = Ostrel::Buildings::ShrinkSheet("units/sheet.png", std::string(bytes), longest, warnings);
  FUZZ_CHECK(warnings.size() == (result == Png::DecodeResult::Ok ? 0u : 1u));
  for (const std::string& warning : warnings) FUZZ_CHECK(!warning.empty() && Printable(warning));
  if (result != Png::DecodeResult::Ok) {
    FUZZ_CHECK(sheet == bytes);
    return 0;
  }

  FUZZ_CHECK(image.width >= 1 && image.height >= 1 && image.width <= Png::kMaxSide && image.height <= Png::kMaxSide);
  FUZZ_CHECK(std::uint64_t{image.width} * image.height <= Png::kMaxPixels);
  FUZZ_CHECK(image.channels >= 1 && image.channels <= 4);
  FUZZ_CHECK(image.bytes.size() == std::size_t{image.width} * image.height * image.channels);
  // The header read alone may give up on a file libpng reads (an unknown chunk before the header),
  // but never states another size.
  std::uint32_t width = image.width, height = image.height;
  if (Png::HeaderSize(bytes, width, height)) FUZZ_CHECK(width == image.width && height == image.height);
  if (image.width <= longest && image.height <= longest) {
    FUZZ_CHECK(sheet == bytes);
  } else {
    Png::Pixels small;
    FUZZ_CHECK(Png::Decode(sheet, small) == Png::DecodeResult::Ok);
    Png::ShrunkSize(image.width, image.height, longest, width, height);
    FUZZ_CHECK(small.width == width && small.height == height && small.channels == image.channels);
  }

  // Large images cost the fuzzer time without reaching new code.
  if (image.bytes.size() > (std::size_t{1} << 20)) return 0;
  const std::string encoded = Png::Encode(image);
  FUZZ_CHECK(!encoded.empty());
  Png::Pixels again;
  FUZZ_CHECK(Png::Decode(encoded, again) == Png::DecodeResult::Ok);
  FUZZ_CHECK(again.width == image.width && again.height == image.height && again.channels == image.channels &&
             again.bytes == image.bytes);

  CheckShrunk(image, longest);
  return 0;
}
