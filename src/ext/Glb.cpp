// The binary glTF container: writing and reading its chunks.

#include <ostrel/ext/Glb.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace Glb {

namespace detail {

void PutUint32(std::ostream& io_out, std::uint32_t i_value) {
  const char bytes[4] = {static_cast<char>(i_value & 0xFF), static_cast<char>((i_value >> 8) & 0xFF),
                         static_cast<char>((i_value >> 16) & 0xFF),
                         static_cast<char>((i_value >> 24) & 0xFF)};
  io_out.write(bytes, 4);
}

std::uint32_t GetUint32(std::string_view i_bytes, std::size_t i_at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(i_bytes[i_at + i]);
  return value;
}

void PutPadding(std::ostream& io_out, std::uint64_t i_bytes, char i_fill) {
  const char fill[3] = {i_fill, i_fill, i_fill};
  io_out.write(fill, static_cast<std::streamsize>(Padded(i_bytes) - i_bytes));
}

}  // namespace detail

void WriteGlbStart(std::ostream& io_out, std::uint64_t i_jsonBytes, std::uint64_t i_binBytes) {
  detail::PutUint32(io_out, kMagic);
  detail::PutUint32(io_out, kVersion);
  detail::PutUint32(io_out, static_cast<std::uint32_t>(FileBytes(i_jsonBytes, i_binBytes)));
  detail::PutUint32(io_out, static_cast<std::uint32_t>(Padded(i_jsonBytes)));
  detail::PutUint32(io_out, kJsonChunk);
}

void WriteJsonEnd(std::ostream& io_out, std::uint64_t i_jsonBytes, std::uint64_t i_binBytes) {
  detail::PutPadding(io_out, i_jsonBytes, ' ');
  if (i_binBytes == 0) return;
  detail::PutUint32(io_out, static_cast<std::uint32_t>(Padded(i_binBytes)));
  detail::PutUint32(io_out, kBinChunk);
}

void WriteBinEnd(std::ostream& io_out, std::uint64_t i_binBytes) {
  detail::PutPadding(io_out, i_binBytes, 0);
}

std::string SplitGlb(std::string_view i_file, GlbChunks& o_chunks) {
  o_chunks = GlbChunks{};
  if (i_file.size() < kHeaderBytes + kChunkHeaderBytes) return "shorter than a header and one chunk";
  if (detail::GetUint32(i_file, 0) != kMagic) return "no glTF magic";
  if (detail::GetUint32(i_file, 4) != kVersion) return "not version 2";
  if (detail::GetUint32(i_file, 8) != i_file.size()) return "the header's length is not the file's";
  std::size_t at = kHeaderBytes;
  for (int chunk = 0; at < i_file.size(); ++chunk) {
    if (i_file.size() - at < kChunkHeaderBytes) return "a chunk header is cut short";
    const std::uint32_t length = detail::GetUint32(i_file, at);
    const std::uint32_t type = detail::GetUint32(i_file, at + 4);
    at += kChunkHeaderBytes;
    if (length % 4 != 0) return "a chunk is not padded to four bytes";
    if (length > i_file.size() - at) return "a chunk passes the end of the file";
    const std::string_view data = i_file.substr(at, length);
    if (chunk == 0 && type != kJsonChunk) return "the first chunk is not JSON";
    if (chunk == 0) o_chunks.json = data;
    if (chunk == 1 && type == kBinChunk) {
      o_chunks.bin = data;
      o_chunks.hasBin = true;
    }
    at += length;
  }
  return std::string();
}

}  // namespace Glb
