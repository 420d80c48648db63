#pragma once
// The text an OBJ writer makes once and copies at every placement: the lines of a piece's normals
// and texture coordinates, the last text of each placed coordinate, and runs of index numbers,
// with the budgets that bound them by the kit's size, never the building's.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/utils/NumberFormat.h>

namespace Ostrel::Buildings::detail {

// Longest "v x y z", "vn x y z" or "vt u v" line as PutVectorLine writes it, with the slack of
// its 16-byte copies.
inline constexpr std::size_t kMaxVectorLine = 3 + 3 * (1 + 16) + 1;

// Writes "v x y z", "vn x y z" or the like, with a line feed, at o_out (room for kMaxVectorLine
// bytes); returns the end.
inline char* PutVectorLine(char* o_out, Format::FloatTextCache& io_texts, const char* i_keyword,
                           std::size_t i_keywordLength, const float* i_values, int i_count) {
  for (std::size_t i = 0; i < i_keywordLength; ++i) *o_out++ = i_keyword[i];
  for (int i = 0; i < i_count; ++i) {
    *o_out++ = ' ';
    o_out = io_texts.append(o_out, i_values[i]);
  }
  *o_out++ = '\n';
  return o_out;
}

// PutVectorLine for the values of a large piece: too many and too varied for the float text
// cache, which would only miss, they are formatted directly, the common case inline.
inline char* PutVectorLineDirect(char* o_out, const char* i_keyword, std::size_t i_keywordLength,
                                 const float* i_values, int i_count) {
  for (std::size_t i = 0; i < i_keywordLength; ++i) *o_out++ = i_keyword[i];
  for (int i = 0; i < i_count; ++i) {
    *o_out++ = ' ';
    o_out = Format::AppendFloatInline(o_out, i_values[i]);
  }
  *o_out++ = '\n';
  return o_out;
}

// The fewest vertices of a piece whose coordinate texts are kept. The float text cache already
// holds every coordinate of a smaller piece (hundreds of vertices, as in the shipped kit), and
// keeping them again would only add a copy.
inline constexpr std::size_t kKeptColumnsMinVertices = 1024;

// Text made once and copied at every placement: its bytes and how many there are.
struct ReadyText {
  struct Free {
    void operator()(char* i_bytes) const { std::free(i_bytes); }
  };
  std::unique_ptr<char, Free> bytes;
  std::size_t size = 0;
};

// The vector lines of a whole piece as one text, for pieces that are placed again and again. The
// lines are made in room for the longest lines, not cleared first, which is then cut to their
// length: cutting an allocation copies nothing, where a string of the length would copy every
// byte once more and touch as many fresh pages again. A large piece's values are formatted
// directly, as the float text cache would only miss.
inline ReadyText VectorLinesText(Format::FloatTextCache& io_texts, const char* i_keyword,
                                 std::size_t i_keywordLength, const float* i_values, std::size_t i_lines,
                                 int i_count) {
  const std::size_t room = std::max<std::size_t>(i_lines * kMaxVectorLine, 1);
  char* const first = static_cast<char*>(std::malloc(room));
  if (!first) throw std::bad_alloc();
  char* pos = first;
  const bool direct = i_lines >= kKeptColumnsMinVertices;
  for (std::size_t line = 0; line < i_lines; ++line) {
    const float* values = i_values + line * static_cast<std::size_t>(i_count);
    pos = direct ? PutVectorLineDirect(pos, i_keyword, i_keywordLength, values, i_count)
                 : PutVectorLine(pos, io_texts, i_keyword, i_keywordLength, values, i_count);
  }
  ReadyText text;
  text.size = static_cast<std::size_t>(pos - first);
  char* const cut = static_cast<char*>(std::realloc(first, std::max<std::size_t>(text.size, 1)));
  text.bytes.reset(cut ? cut : first);
  return text;
}

// The bytes a loaded kit takes in memory, near enough.
inline std::size_t KitBytes(const Kit& i_kit) {
  std::size_t bytes = 0;
  for (const Piece& piece : i_kit.pieces) {
    bytes += piece.positions.size() * sizeof(VectorF) + piece.normals.size() * sizeof(VectorF) +
             piece.uvs.size() * sizeof(UV) + piece.corners.size() * sizeof(Obj::Corner) +
             (piece.polycount.size() + piece.faceMaterials.size()) * sizeof(std::uint32_t);
  }
  return bytes;
}

// How many bytes of ready normal and texture text a writer keeps for a kit: twice what the kit
// itself takes, and at least 16 MiB. Text beyond that is made afresh at every placement, so that
// memory follows the kit, never the building, however large and many its pieces.
inline std::size_t ReadyTextBudget(const Kit& i_kit) {
  return std::max(std::size_t{16} << 20, 2 * KitBytes(i_kit));
}

// How many bytes of coordinate text a writer keeps for a kit: as much as the kit itself takes,
// and at least 16 MiB; beyond that, coordinates are made afresh at every placement.
inline std::size_t ColumnTextBudget(const Kit& i_kit) {
  return std::max(std::size_t{16} << 20, KitBytes(i_kit));
}

// The text of a run of consecutive 1-based output numbers, one entry per number. The numbers are
// made a decade at a time: one conversion gives ten entries that differ in their last digit.
struct NumberTexts {
  // Sixteen bytes, so that a run of numbers is as little memory to fill and to read as it can be.
  struct Entry {
    char text[15];        // digits, zero-padded
    std::uint8_t length;  // bytes of digits
  };
  // entries[i] is the text of first + i. Not a vector: growing one would clear memory that fill
  // overwrites at once, tens of MiB for a piece of millions of vertices.
  std::unique_ptr<Entry[]> entries;
  std::size_t capacity = 0;  // entries allocated

  // Fills entries with the numbers i_first .. i_first + i_count - 1 (below 10^15).
  const Entry* fill(std::uint64_t i_first, std::size_t i_count) {
    if (i_count > capacity) {
      entries.reset(new Entry[i_count]);
      capacity = i_count;
    }
    // A copy: the entries are written through chars, which may alias the pointer's member.
    Entry* const out = entries.get();
    Entry decade{};
    decade.length = static_cast<std::uint8_t>(std::to_chars(decade.text, decade.text + 15, i_first).ptr - decade.text);
    for (std::size_t i = 0; i < i_count;) {
      // The decade is only read below: changing it in place would make every copy wait for the
      // byte written just before.
      const std::size_t last = decade.length - 1u;
      const char from = decade.text[last];
      const std::size_t digits = std::min<std::size_t>(static_cast<std::size_t>('9' - from) + 1, i_count - i);
      if (digits == 10) {
        // A whole decade, as nearly every one is: ten copies at fixed places, without a loop's
        // counting, which would take as many instructions again.
        Entry* const at = out + i;
        const auto put = [at, &decade, last](int i_digit) {
          at[i_digit] = decade;
          at[i_digit].text[last] = static_cast<char>('0' + i_digit);
        };
        put(0); put(1); put(2); put(3); put(4); put(5); put(6); put(7); put(8); put(9);
      } else {
        for (std::size_t k = 0; k < digits; ++k) {
          out[i + k] = decade;
          out[i + k].text[last] = static_cast<char>(from + static_cast<char>(k));
        }
      }
      i += digits;
      // The next decade: its first number ends in 0, and the tens carry as far as they must;
      // a carry past the first digit makes a number of one more digit, made afresh.
      decade.text[last] = '0';
      std::size_t at = last;
      while (at > 0 && decade.text[at - 1] == '9') decade.text[--at] = '0';
      if (at > 0) {
        ++decade.text[at - 1];
      } else {
        const std::uint64_t next = i_first + i;
        decade.length = static_cast<std::uint8_t>(std::to_chars(decade.text, decade.text + 15, next).ptr - decade.text);
      }
    }
    return out;
  }
};

// The text of one placed coordinate's magnitude, kept for the piece's next placement: a
// coordinate that stays the same along a run of placements (the height along a storey, the
// coordinate across a facade along its line) is then copied, not made again, and so is one whose
// magnitude another coordinate had (x of a placement turned by 90 degrees from the last is, bit
// for bit, z of the last with the sign flipped). Its bytes in memory order in a little-endian
// word, zeros after them, without the sign, which the value written gives; 0 when nothing is
// kept: a value whose text is not plain notation or is longer than 8 bytes (a building's
// coordinates from 0.1 up to a million cell units take 8 or fewer). It keeps no bits of the
// value: they are made again from the piece's last placement (PieceText::last), so that a text is
// used only for the very value it was made of, in half the memory of a text with its bits.
using CoordinateText = std::uint64_t;

// Bytes of a kept text that is not 0.
inline std::size_t KeptTextLength(CoordinateText i_text) {
  return static_cast<std::size_t>(71 - __builtin_clzll(i_text)) >> 3;
}

// Ready text of one piece's lines, made the first time a placement needs it.
struct PieceText {
  // Per placed coordinate x, y, z, the text of each vertex's coordinate at the last placement;
  // empty for a column not kept.
  std::vector<CoordinateText> columns[3];
  bool columnsDecided = false;
  // The piece's last placement, of which the kept texts are, and whether they are: false while a
  // placement is being written, and after one that stopped part way.
  struct Placed {
    PlacementFloats at{};
    Frame frame;
  };
  Placed last;
  bool placedBefore = false;  // whether last is a placement (not before the first)
  bool columnsOfLast = true;
  // Whether every coordinate of the piece is a number of magnitude 2^64 or less: placed in cell
  // units, none then overflows. Decided with the columns.
  bool boundedPositions = false;
  struct Facing {
    std::uint32_t bits[4];  // the facing's and the building's turn, as float bits
    ReadyText text;         // the vn lines of the piece turned that way
  };
  std::vector<Facing> normals;
  ReadyText uvs;  // the vt lines
  bool uvsReady = false;
  // Which fields every corner of the piece names, found when its faces are first written: a
  // texture coordinate and a normal (Full), the vertex alone (Bare), or each corner its own.
  enum class CornerFields : std::int8_t { Unknown, Mixed, Full, Bare };
  CornerFields cornerFields = CornerFields::Unknown;
  // A run of whole faces that one thread makes at a time when two share a placement's faces:
  // faces first to end (exclusive, 0-based), all of one material, whose corners start at corner
  // (0-based, into the piece's corners). Not shared: the writer's thread makes it, as a face too
  // long for the helper's buffer, or a run of faces too short to share, is made.
  struct FaceChunk {
    std::size_t first;
    std::size_t end;
    std::size_t corner;
    bool shared;
    // Per field (vertex, texture coordinate, normal) the least index its corners name and one
    // past the most (0-based); equal when none names the field.
    std::uint32_t low[3];
    std::uint32_t high[3];
  };
  std::vector<FaceChunk> faceChunks;  // every face in order; empty until first shared
  // Whether each chunk's numbers are made by the thread that makes it, for the chunk's indices
  // alone: when no chunk names more than half the indices of a field, as where faces name
  // vertices near each other, the numbers of a whole placement are never made. Found with the
  // chunks.
  bool windowedNumbers = false;
};

inline std::uint32_t BitsOf(float i_value) {
  std::uint32_t bits;
  std::memcpy(&bits, &i_value, sizeof bits);
  return bits;
}

}  // namespace Ostrel::Buildings::detail
