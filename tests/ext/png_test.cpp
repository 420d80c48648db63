// PNG sheets made smaller: the box filter's weights and rounding, the sizes it aims at, and the
// round trip through libpng.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/ext/Png.h>

namespace {

Png::Pixels Image(std::uint32_t i_width, std::uint32_t i_height, std::uint32_t i_channels,
                  std::vector<std::uint8_t> i_bytes) {
  Png::Pixels pixels;
  pixels.width = i_width;
  pixels.height = i_height;
  pixels.channels = i_channels;
  pixels.bytes = std::move(i_bytes);
  return pixels;
}

// The CRC that PNG chunks end in.
std::uint32_t Crc32(const std::string& i_bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : i_bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TEST(PngShrink, AWholeFactorAveragesEachBlockPerChannelRoundingToNearest) {
  // 4 x 2 RGB to 2 x 1: each output pixel the mean of a 2 x 2 block, channel by channel.
  const Png::Pixels in = Image(4, 2, 3, {0, 10, 255, 1, 20, 255, /**/ 100, 0, 0, 200, 0, 1,  //
                                         2, 30, 255, 2, 41, 254, /**/ 100, 0, 0, 200, 0, 0});
  const Png::Pixels out = Png::BoxShrink(in, 2, 1);
  ASSERT_EQ(out.width, 2u);
  ASSERT_EQ(out.height, 1u);
  ASSERT_EQ(out.channels, 3u);
  // (0+1+2+2)/4 = 1.25 -> 1; (10+20+30+41)/4 = 25.25 -> 25; (255*3+254)/4 = 254.75 -> 255;
  // 150; 0; (1+0)/4 = 0.25 -> 0.
  EXPECT_EQ(out.bytes, (std::vector<std::uint8_t>{1, 25, 255, 150, 0, 0}));
}

TEST(PngShrink, AnOutputPixelCountsTheInputPixelsItCutsByThePartInside) {
  // 3 x 1 gray to 2 x 1: the middle pixel is split in halves. Left: (0 + 90 / 2) / 1.5 = 30;
  // right: (90 / 2 + 180) / 1.5 = 150.
  const Png::Pixels row = Png::BoxShrink(Image(3, 1, 1, {0, 90, 180}), 2, 1);
  EXPECT_EQ(row.bytes, (std::vector<std::uint8_t>{30, 150}));
  // The same down a column, and with an alpha channel kept apart.
  const Png::Pixels column = Png::BoxShrink(Image(1, 3, 2, {0, 255, 90, 255, 180, 0}), 1, 2);
  EXPECT_EQ(column.bytes, (std::vector<std::uint8_t>{30, 255, 150, 85}));
  // To one pixel: the plain mean, (0 + 90 + 180) / 3.
  EXPECT_EQ(Png::BoxShrink(Image(3, 1, 1, {0, 90, 180}), 1, 1).bytes, std::vector<std::uint8_t>{90});
}

TEST(PngShrink, TheLongerSideBecomesTheSizeAndTheShapeIsKept) {
  std::uint32_t width = 0, height = 0;
  Png::ShrunkSize(2048, 2048, 512, width, height);
  EXPECT_EQ(width, 512u);
  EXPECT_EQ(height, 512u);
  Png::ShrunkSize(1024, 2048, 512, width, height);
  EXPECT_EQ(width, 256u);
  EXPECT_EQ(height, 512u);
  Png::ShrunkSize(1000, 3, 100, width, height);  // 0.3 rounds to nothing: a side keeps a pixel
  EXPECT_EQ(width, 100u);
  EXPECT_EQ(height, 1u);
  Png::ShrunkSize(300, 200, 64, width, height);  // 42.67 -> 43
  EXPECT_EQ(width, 64u);
  EXPECT_EQ(height, 43u);
}

TEST(PngCodec, EncodedPixelsDecodeToTheSameForEveryChannelCount) {
  for (std::uint32_t channels = 1; channels <= 4; ++channels) {
    std::vector<std::uint8_t> bytes(3 * 2 * channels);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + channels);
    const Png::Pixels in = Image(3, 2, channels, bytes);
    const std::string file = Png::Encode(in);
    Png::Pixels out;
    ASSERT_EQ(Png::Decode(file, out), Png::DecodeResult::Ok) << channels;
    EXPECT_EQ(out.width, 3u);
    EXPECT_EQ(out.height, 2u);
    EXPECT_EQ(out.channels, channels);
    EXPECT_EQ(out.bytes, bytes) << channels;
  }
}

TEST(PngCodec, BrokenOrOtherFilesAreNotDecoded) {
  const std::string file = Png::Encode(Image(2, 2, 3, std::vector<std::uint8_t>(12, 7)));
  Png::Pixels out;
  EXPECT_EQ(Png::Decode(file.substr(0, file.size() / 2), out), Png::DecodeResult::NotPng);
  EXPECT_EQ(Png::Decode("\xFF\xD8\xFF\xE0 a JPEG", out), Png::DecodeResult::NotPng);
  EXPECT_EQ(Png::Decode("", out), Png::DecodeResult::NotPng);
  EXPECT_TRUE(out.bytes.empty());
  // A header that claims more pixels than a sheet may unpack to is refused before any is read.
  std::string huge = file;
  const char side[4] = {0, 0, 0x40, 0};  // 16384 x 16384: 2^28 pixels
  huge.replace(16, 4, side, 4);
  huge.replace(20, 4, side, 4);
  const std::uint32_t crc = Crc32(huge.substr(12, 17));  // the header chunk's type and data
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  EXPECT_EQ(Png::Decode(huge, out), Png::DecodeResult::TooLarge);
}

}  // namespace

namespace {

// A text chunk goes in after the header with a valid CRC: the file still decodes to the same
// pixels, the text reads back by its keyword only, and anything but a PNG gives no text.
TEST(PngText, AChunkAfterTheHeaderReadsBackAndLeavesThePixels) {
  const Png::Pixels in = Image(2, 1, 3, {1, 2, 3, 4, 5, 6});
  const std::string plain = Png::Encode(in);
  const std::string keyed = Png::WithText(plain, "towerkit cards", "0123abcd");
  EXPECT_EQ(Png::TextOf(keyed, "towerkit cards"), "0123abcd");
  EXPECT_EQ(Png::TextOf(keyed, "towerkit"), "");
  EXPECT_EQ(Png::TextOf(plain, "towerkit cards"), "");
  EXPECT_EQ(Png::TextOf("not a png", "towerkit cards"), "");
  const std::string body = "tEXttowerkit cards" + std::string(1, '\0') + "0123abcd";
  const std::size_t at = keyed.find("tEXt");
  ASSERT_EQ(at, 37u);
  const std::string crc = keyed.substr(at + body.size(), 4);
  const std::uint32_t stored = static_cast<std::uint32_t>(static_cast<std::uint8_t>(crc[0])) << 24 |
                               static_cast<std::uint32_t>(static_cast<std::uint8_t>(crc[1])) << 16 |
                               static_cast<std::uint32_t>(static_cast<std::uint8_t>(crc[2])) << 8 |
                               static_cast<std::uint8_t>(crc[3]);
  EXPECT_EQ(stored, Crc32(body));
  Png::Pixels out;
  ASSERT_EQ(Png::Decode(keyed, out), Png::DecodeResult::Ok);
  EXPECT_EQ(out.bytes, in.bytes);
}

}  // namespace
