#pragma once
// The binary glTF container (.glb): a 12-byte header, a JSON chunk padded with blanks to four
// bytes, and an optional binary chunk padded with zeros. Writing is split in two so that the
// binary chunk can be streamed: WriteGlbStart needs only the binary chunk's length. Reading
// splits a file into its chunks, and CheckGlbLayout checks that every buffer view, accessor and
// image of the JSON lies inside the binary chunk, aligned as glTF requires, so that a writer can
// be tested against its own offsets.
//
// Every number of the container is little-endian; lengths are in bytes.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace Glb {

inline constexpr std::uint32_t kMagic = 0x46546C67;  // "glTF"
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
inline constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
inline constexpr std::uint64_t kHeaderBytes = 12;
inline constexpr std::uint64_t kChunkHeaderBytes = 8;
// A GLB states its whole length in 32 bits.
inline constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFu;

// i_bytes rounded up to a multiple of four.
inline constexpr std::uint64_t Padded(std::uint64_t i_bytes) { return (i_bytes + 3) & ~std::uint64_t{3}; }

// The length of a GLB file whose JSON text has i_jsonBytes and whose binary chunk holds
// i_binBytes (0: no binary chunk).
inline constexpr std::uint64_t FileBytes(std::uint64_t i_jsonBytes, std::uint64_t i_binBytes) {
  return kHeaderBytes + kChunkHeaderBytes + Padded(i_jsonBytes) +
         (i_binBytes > 0 ? kChunkHeaderBytes + Padded(i_binBytes) : 0);
}

// Writes the header and the chunk header of the JSON chunk; the caller then writes exactly
// i_jsonBytes of JSON text and calls WriteJsonEnd. The file must fit in kMaxFileBytes.
void WriteGlbStart(std::ostream& io_out, std::uint64_t i_jsonBytes, std::uint64_t i_binBytes);

// Pads the JSON text with blanks and, when there is binary data, writes the binary chunk's
// header; the caller then writes exactly i_binBytes and calls WriteBinEnd.
void WriteJsonEnd(std::ostream& io_out, std::uint64_t i_jsonBytes, std::uint64_t i_binBytes);

// Pads the binary chunk with zeros.
void WriteBinEnd(std::ostream& io_out, std::uint64_t i_binBytes);

// The chunks of a GLB file, as views into its bytes.
struct GlbChunks {
  std::string_view json;
  std::string_view bin;  // empty when the file has no binary chunk
  bool hasBin = false;
};

// Splits a GLB file into its chunks. Returns an empty text when the file is well formed (magic,
// version, lengths that add up, chunks padded to four bytes, the JSON chunk first), otherwise
// what is wrong. Chunks of other types after the binary one are skipped, as readers must.
std::string SplitGlb(std::string_view i_file, GlbChunks& o_chunks);

}  // namespace Glb
