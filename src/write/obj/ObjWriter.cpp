// Writing buildings as OBJ text.

#include "write/obj/ObjWriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Buildings {

namespace {

using namespace detail;

void WriteVertices(ObjWriter& io_writer, PieceId i_id, const PlacementFloats& i_at, const Frame& i_frame) {
  const Piece& piece = io_writer.kit->piece(i_id);
  // A large piece: its coordinates are kept per vertex where the budget allows and otherwise
  // formatted afresh, never looked up in the cache.
  if (piece.positions.size() >= kKeptColumnsMinVertices) return WriteDenseVertices(io_writer, i_id, i_at, i_frame);
  TextOut& out = io_writer.out;
  // Copies: the text is written through char pointers, which may alias anything, so values read
  // through references would be read again after every byte.
  const PlacementFloats at = i_at;
  const Frame frame = i_frame;
  const VectorF* const positions = piece.positions.data();
  const std::size_t count = piece.positions.size();
  Format::FloatTextCache& floats = io_writer.floats;
  for (std::size_t vertex = 0; vertex < count; ++vertex) {
    float placed[3];
    PlacePosition(positions[vertex], at, frame, placed);
    char* pos = out.room(kMaxVectorLine);
    *pos++ = 'v';
    for (int column = 0; column < 3; ++column) {
      *pos++ = ' ';
      pos = floats.append(pos, placed[column]);
    }
    *pos++ = '\n';
    out.commit(pos);
  }
}

// The piece's normals turned by its facing and by the building's orientation, as x, y, z triples.
std::vector<float> TurnedNormals(const Piece& i_piece, const Turn& i_facing, const Turn& i_building) {
  std::vector<float> values;
  values.reserve(3 * i_piece.normals.size());
  for (const VectorF& n : i_piece.normals) {
    const VectorF turned = PlaceNormal(n, i_facing, i_building);
    values.insert(values.end(), {turned.x, turned.y, turned.z});
  }
  return values;
}

// Whether i_lines more lines of ready text stay within the writer's budget.
bool CanKeep(const ObjWriter& i_writer, std::size_t i_lines) {
  return i_lines * kMaxVectorLine <=
         i_writer.readyBudget - std::min(i_writer.readyBytes, i_writer.readyBudget);
}

// A piece's normals read the same wherever it stands with the same facing, so each facing's
// text is made once, as long as the budget of ready text allows.
void WriteNormals(ObjWriter& io_writer, PieceId i_id, const PlacementFloats& i_at, const Turn& i_building,
                  const NormalStretch& i_stretch) {
  const Piece& piece = io_writer.kit->piece(i_id);
  const std::size_t lines = piece.normals.size();
  if (lines == 0) return;
  const Turn facing = MakeTurn(i_at.xd, i_at.zd);
  const std::uint32_t bits[4] = {BitsOf(i_at.xd), BitsOf(i_at.zd), BitsOf(i_building.c),
                                 BitsOf(i_building.s)};
  std::vector<PieceText::Facing>& known = io_writer.texts[i_id].normals;
  const PieceText::Facing* text = nullptr;
  for (const PieceText::Facing& facingText : known) {
    if (std::memcmp(facingText.bits, bits, sizeof bits) == 0) text = &facingText;
  }
  // A stretched building's normals are its own: they are written as they are made.
  if (i_stretch.stretches || (!text && !CanKeep(io_writer, lines))) {
    // A large piece's are too many and too varied for the float text cache.
    if (lines >= kKeptColumnsMinVertices) return WriteDenseNormals(io_writer, piece, facing, i_building, i_stretch);
    for (const VectorF& n : piece.normals) {
      const VectorF turned = PlaceNormal(n, facing, i_building, i_stretch);
      const float values[3] = {turned.x, turned.y, turned.z};
      char* pos = io_writer.out.room(kMaxVectorLine);
      io_writer.out.commit(PutVectorLine(pos, io_writer.floats, "vn", 2, values, 3));
    }
    return;
  }
  if (!text) {
    const std::vector<float> values = TurnedNormals(piece, facing, i_building);
    known.push_back({{bits[0], bits[1], bits[2], bits[3]},
                     VectorLinesText(io_writer.floats, "vn", 2, values.data(), lines, 3)});
    text = &known.back();
    io_writer.readyBytes += text->text.size;
  }
  io_writer.out.write(text->text.bytes.get(), text->text.size);
}

// Texture coordinates are written as they are, so a piece's text is made once.
void WriteUvs(ObjWriter& io_writer, PieceId i_id) {
  const Piece& piece = io_writer.kit->piece(i_id);
  const std::size_t lines = piece.uvs.size();
  if (lines == 0) return;
  PieceText& text = io_writer.texts[i_id];
  if (text.uvsReady) return io_writer.out.write(text.uvs.bytes.get(), text.uvs.size);
  if (!CanKeep(io_writer, lines)) {
    if (lines >= kKeptColumnsMinVertices) return WriteDenseUvs(io_writer, piece);
    for (const UV& uv : piece.uvs) {
      const float values[2] = {uv.u, uv.v};
      char* pos = io_writer.out.room(kMaxVectorLine);
      io_writer.out.commit(PutVectorLine(pos, io_writer.floats, "vt", 2, values, 2));
    }
    return;
  }
  std::vector<float> values;
  values.reserve(2 * lines);
  for (const UV& uv : piece.uvs) values.insert(values.end(), {uv.u, uv.v});
  text.uvs = VectorLinesText(io_writer.floats, "vt", 2, values.data(), lines, 2);
  text.uvsReady = true;
  io_writer.readyBytes += text.uvs.size;
  io_writer.out.write(text.uvs.bytes.get(), text.uvs.size);
}

// The digits of every number of a run of i_count entries, or 0 when they differ.
std::size_t SameDigits(const NumberTexts::Entry* i_entries, std::size_t i_count) {
  if (i_count == 0) return 0;
  // The numbers count up, so the first and the last have the fewest and the most digits.
  const std::uint8_t length = i_entries[0].length;
  return i_entries[i_count - 1].length == length ? length : 0;
}

// The numbers of the indices that i_runs name (vertex, texture coordinate, normal), made as text
// in io_v, io_uv and io_n, a run sharing the text of one before it that starts at the same number
// and holds as many (as it does for pieces with as many normals and texture coordinates as
// vertices).
inline FaceNumbers FillNumbers(NumberTexts& io_v, NumberTexts& io_uv, NumberTexts& io_n,
                               const NumberRun (&i_runs)[3]) {
  const std::uint64_t vFirst = i_runs[0].first + i_runs[0].low;
  const std::uint64_t uvFirst = i_runs[1].first + i_runs[1].low;
  const std::uint64_t nFirst = i_runs[2].first + i_runs[2].low;
  const std::size_t vCount = i_runs[0].high - i_runs[0].low;
  const std::size_t uvCount = i_runs[1].high - i_runs[1].low;
  const std::size_t nCount = i_runs[2].high - i_runs[2].low;
  FaceNumbers numbers;
  numbers.v = io_v.fill(vFirst, vCount);
  numbers.uv = uvFirst == vFirst && uvCount <= vCount ? numbers.v : io_uv.fill(uvFirst, uvCount);
  numbers.n = nFirst == vFirst && nCount <= vCount     ? numbers.v
              : nFirst == uvFirst && nCount <= uvCount ? numbers.uv
                                                       : io_n.fill(nFirst, nCount);
  numbers.vLow = i_runs[0].low;
  numbers.uvLow = i_runs[1].low;
  numbers.nLow = i_runs[2].low;
  numbers.vDigits = SameDigits(numbers.v, vCount);
  numbers.uvDigits = SameDigits(numbers.uv, uvCount);
  numbers.nDigits = SameDigits(numbers.n, nCount);
  return numbers;
}

// i_faces with their numbers made in io_v, io_uv and io_n, when they are windowed.
FaceLines WithNumbers(const FaceLines& i_faces, NumberTexts& io_v, NumberTexts& io_uv, NumberTexts& io_n) {
  FaceLines faces = i_faces;
  if (faces.windowed) faces.numbers = FillNumbers(io_v, io_uv, io_n, faces.runs);
  return faces;
}

// Writes a number's text at o_out, sixteen bytes at once (room for them is needed); returns its end.
char* PutNumber(char* o_out, const NumberTexts::Entry& i_entry) {
  static_assert(sizeof(NumberTexts::Entry) == 16, "an entry is copied whole");
  std::memcpy(o_out, &i_entry, sizeof i_entry);
  return o_out + i_entry.length;
}

// The entry of index i_index (0-based) in a run of numbers that starts at index i_low: with
// kWindowed, a chunk's own numbers; else a whole placement's, which start at 0, so that nothing
// is subtracted (and no register kept for it) at every corner.
template <bool kWindowed>
[[gnu::always_inline]] inline const NumberTexts::Entry& NumberAt(const NumberTexts::Entry* i_run, std::uint32_t i_index,
                                                                 std::size_t i_low) {
  return i_run[kWindowed ? i_index - i_low : i_index];
}

// Writes one corner's text at o_out (room for kCornerBytes) with the space after it; returns the
// end. With kFull, the corner names a texture coordinate and a normal, as nearly every corner of
// a textured kit does, and its text is put together without asking which fields it has.
template <bool kFull, bool kWindowed>
[[gnu::always_inline]] inline char* PutCorner(char* o_out, const Obj::Corner& i_corner,
                                              const FaceNumbers& i_numbers) {
  char* pos = PutNumber(o_out, NumberAt<kWindowed>(i_numbers.v, i_corner.v, i_numbers.vLow));
  if (kFull) {
    *pos++ = '/';
    pos = PutNumber(pos, NumberAt<kWindowed>(i_numbers.uv, i_corner.uv, i_numbers.uvLow));
    *pos++ = '/';
    pos = PutNumber(pos, NumberAt<kWindowed>(i_numbers.n, i_corner.n, i_numbers.nLow));
  } else if (i_corner.n != Obj::kAbsent) {
    *pos++ = '/';
    if (i_corner.uv != Obj::kAbsent) pos = PutNumber(pos, NumberAt<kWindowed>(i_numbers.uv, i_corner.uv, i_numbers.uvLow));
    *pos++ = '/';
    pos = PutNumber(pos, NumberAt<kWindowed>(i_numbers.n, i_corner.n, i_numbers.nLow));
  } else if (i_corner.uv != Obj::kAbsent) {
    *pos++ = '/';
    pos = PutNumber(pos, NumberAt<kWindowed>(i_numbers.uv, i_corner.uv, i_numbers.uvLow));
  }
  *pos++ = ' ';
  return pos;
}

// The most bytes a corner takes, with the slack of PutNumber's copies; and a corner that names its
// vertex alone (a copy of sixteen bytes, the space within them).
constexpr std::size_t kCornerBytes = 3 * (16 + 1) + 1;
constexpr std::size_t kBareCornerBytes = 16 + 1;

// The most bytes a face of i_corners corners takes, with the slack of its copies: "f ", the
// corners and the line feed.
std::size_t FaceBytes(PieceText::CornerFields i_fields, std::uint32_t i_corners) {
  const std::size_t corner = i_fields == PieceText::CornerFields::Bare ? kBareCornerBytes : kCornerBytes;
  return 3 + std::size_t{i_corners} * corner;
}

// Room made beforehand for every face written, FaceBytes each (the helper's buffer): asking for
// room then costs nothing, and the face functions write into it as into the output.
struct FilledBuffer {
  char* end;
  char* room(std::size_t) const { return end; }
  void commit(char* i_end) { end = i_end; }
};

// The f lines of i_faces into io_out (a TextOut or a FilledBuffer); kFull when every corner names
// a texture coordinate and a normal, else each corner's fields are asked.
template <bool kFull, bool kWindowed, class Out>
void WriteFaceLinesOf(Out& io_out, const FaceLines& i_faces) {
  // Faces of up to this many corners (all but the rarest) ask for room once.
  constexpr std::uint32_t kCornersAtOnce = 32;
  const Obj::Corner* corner = i_faces.corner;
  // Copies, as the text's char stores may alias anything read through a reference.
  const std::uint32_t* const polycount = i_faces.piece->polycount.data();
  const FaceNumbers numbers = i_faces.numbers;
  const std::size_t last = i_faces.end;
  for (std::size_t face = i_faces.first; face < last; ++face) {
    const std::uint32_t count = polycount[face];
    if (count <= kCornersAtOnce) {
      char* pos = io_out.room(3 + count * kCornerBytes);
      *pos++ = 'f';
      *pos++ = ' ';
      for (const Obj::Corner* end = corner + count; corner != end; ++corner) {
        pos = PutCorner<kFull, kWindowed>(pos, *corner, numbers);
      }
      *pos++ = '\n';
      io_out.commit(pos);
      continue;
    }
    char* pos = io_out.room(2);
    *pos++ = 'f';
    *pos++ = ' ';
    io_out.commit(pos);
    for (std::uint32_t j = 0; j < count; ++j, ++corner) {
      io_out.commit(PutCorner<kFull, kWindowed>(io_out.room(kCornerBytes), *corner, numbers));
    }
    pos = io_out.room(1);
    *pos++ = '\n';
    io_out.commit(pos);
  }
}

// Where each field of a corner starts, from the corner's start, and the corner's bytes with its
// space, when each run of a placement's numbers has one length.
struct CornerLayout {
  std::size_t uvAt;
  std::size_t nAt;
  std::size_t bytes;
};

// How every corner of a run of faces is written: "v/uv/n " or "v ", each run of numbers of one
// length (a layout fixed for the run), or "v " with numbers of any length.
enum class CornerText { FullFixed, BareFixed, Bare };

// Writes a corner at o_out (room for its bytes and 16 more) as kText says; returns the end. Each
// copy runs past its digits, over bytes that the next store writes again.
template <CornerText kText, bool kWindowed>
[[gnu::always_inline]] inline char* PutCornerText(char* o_out, const Obj::Corner& i_corner,
                                                  const FaceNumbers& i_numbers, const CornerLayout& i_layout) {
  if (kText == CornerText::Bare) {
    char* const pos = PutNumber(o_out, NumberAt<kWindowed>(i_numbers.v, i_corner.v, i_numbers.vLow));
    *pos = ' ';
    return pos + 1;
  }
  std::memcpy(o_out, &NumberAt<kWindowed>(i_numbers.v, i_corner.v, i_numbers.vLow), sizeof(NumberTexts::Entry));
  if (kText == CornerText::FullFixed) {
    o_out[i_layout.uvAt - 1] = '/';
    std::memcpy(o_out + i_layout.uvAt, &NumberAt<kWindowed>(i_numbers.uv, i_corner.uv, i_numbers.uvLow), sizeof(NumberTexts::Entry));
    o_out[i_layout.nAt - 1] = '/';
    std::memcpy(o_out + i_layout.nAt, &NumberAt<kWindowed>(i_numbers.n, i_corner.n, i_numbers.nLow), sizeof(NumberTexts::Entry));
  }
  o_out[i_layout.bytes - 1] = ' ';
  return o_out + i_layout.bytes;
}

// The f lines of i_faces into io_out when every corner is written one way, kText: a corner
// names a texture coordinate and a normal, or its vertex alone. With each run of numbers of one
// length (as in all but the few placements that cross a power of ten), a corner takes the same
// bytes wherever it is, and where each number goes is known without reading the length of the
// one before it, so the copies of one corner, and of the next, do not wait for each other.
template <CornerText kText, bool kWindowed, class Out>
void WriteFaceLinesOfOneKind(Out& io_out, const FaceLines& i_faces) {
  constexpr std::uint32_t kCornersAtOnce = 32;
  constexpr bool kFull = kText == CornerText::FullFixed;
  constexpr std::size_t kMostCornerBytes = kFull ? kCornerBytes : kBareCornerBytes;
  const Obj::Corner* corner = i_faces.corner;
  // Copies, as the text's char stores may alias anything read through a reference.
  const std::uint32_t* const polycount = i_faces.piece->polycount.data();
  const FaceNumbers numbers = i_faces.numbers;
  const CornerLayout layout =
      kFull ? CornerLayout{numbers.vDigits + 1, numbers.vDigits + numbers.uvDigits + 2,
                           numbers.vDigits + numbers.uvDigits + numbers.nDigits + 3}
            : CornerLayout{0, 0, numbers.vDigits + 1};
  // Room is asked for many faces at once: faces are mostly triangles, whose few corners would
  // otherwise weigh less than the asking. kRoomAtOnce holds the longest face written here.
  constexpr std::size_t kRoomAtOnce = 4096;
  static_assert(3 + kCornersAtOnce * kCornerBytes <= kRoomAtOnce, "a face fits the room asked for");
  char* pos = io_out.room(kRoomAtOnce);
  char* end = pos + kRoomAtOnce;
  const std::size_t last = i_faces.end;
  for (std::size_t face = i_faces.first; face < last; ++face) {
    const std::uint32_t count = polycount[face];
    if (count > kCornersAtOnce) {
      io_out.commit(pos);
      FaceLines one = i_faces;
      one.first = face;
      one.end = face + 1;
      one.corner = corner;
      WriteFaceLinesOf<kFull, kWindowed>(io_out, one);
      corner += count;
      pos = io_out.room(kRoomAtOnce);
      end = pos + kRoomAtOnce;
      continue;
    }
    if (static_cast<std::size_t>(end - pos) < 3 + count * kMostCornerBytes) {
      io_out.commit(pos);
      pos = io_out.room(kRoomAtOnce);
      end = pos + kRoomAtOnce;
    }
    *pos++ = 'f';
    *pos++ = ' ';
    if (count == 3) {
      // Triangles, nearly every face, without the loop's setting up.
      pos = PutCornerText<kText, kWindowed>(pos, corner[0], numbers, layout);
      pos = PutCornerText<kText, kWindowed>(pos, corner[1], numbers, layout);
      pos = PutCornerText<kText, kWindowed>(pos, corner[2], numbers, layout);
      corner += 3;
    } else {
      for (const Obj::Corner* stop = corner + count; corner != stop; ++corner)
        pos = PutCornerText<kText, kWindowed>(pos, *corner, numbers, layout);
    }
    *pos++ = '\n';
  }
  io_out.commit(pos);
}

// The f lines of i_faces into io_out, the quickest way their corners and numbers allow.
template <bool kWindowed, class Out>
void WriteFaceLinesFrom(Out& io_out, const FaceLines& i_faces) {
  const FaceNumbers& numbers = i_faces.numbers;
  switch (i_faces.fields) {
    case PieceText::CornerFields::Full:
      if (numbers.vDigits != 0 && numbers.uvDigits != 0 && numbers.nDigits != 0)
        return WriteFaceLinesOfOneKind<CornerText::FullFixed, kWindowed>(io_out, i_faces);
      return WriteFaceLinesOf<true, kWindowed>(io_out, i_faces);
    case PieceText::CornerFields::Bare:
      if (numbers.vDigits != 0) return WriteFaceLinesOfOneKind<CornerText::BareFixed, kWindowed>(io_out, i_faces);
      return WriteFaceLinesOfOneKind<CornerText::Bare, kWindowed>(io_out, i_faces);
    default:
      return WriteFaceLinesOf<false, kWindowed>(io_out, i_faces);
  }
}

template <class Out>
void WriteFaceLines(Out& io_out, const FaceLines& i_faces) {
  if (i_faces.windowed) return WriteFaceLinesFrom<true>(io_out, i_faces);
  WriteFaceLinesFrom<false>(io_out, i_faces);
}

// Which fields every corner of the piece names; found once a piece.
PieceText::CornerFields CornerFieldsOf(PieceText& io_text, const Piece& i_piece) {
  using Fields = PieceText::CornerFields;
  if (io_text.cornerFields != Fields::Unknown) return io_text.cornerFields;
  const auto full = [](const Obj::Corner& i_corner) {
    return i_corner.uv != Obj::kAbsent && i_corner.n != Obj::kAbsent;
  };
  const auto bare = [](const Obj::Corner& i_corner) {
    return i_corner.uv == Obj::kAbsent && i_corner.n == Obj::kAbsent;
  };
  const std::vector<Obj::Corner>& corners = i_piece.corners;
  io_text.cornerFields = std::all_of(corners.begin(), corners.end(), full)   ? Fields::Full
                         : std::all_of(corners.begin(), corners.end(), bare) ? Fields::Bare
                                                                              : Fields::Mixed;
  return io_text.cornerFields;
}

// The material of a face, Obj::kNoMaterial for a piece without materials.
std::uint32_t MaterialOf(const Piece& i_piece, std::size_t i_face) {
  return i_piece.faceMaterials.empty() ? Obj::kNoMaterial : i_piece.faceMaterials[i_face];
}

// The end of the run of faces of one material that starts at i_first.
std::size_t MaterialRunEnd(const Piece& i_piece, std::size_t i_first) {
  const std::size_t faces = i_piece.polycount.size();
  if (i_piece.faceMaterials.empty()) return faces;
  const std::uint32_t material = i_piece.faceMaterials[i_first];
  std::size_t end = i_first;
  while (end < faces && i_piece.faceMaterials[end] == material) ++end;
  return end;
}

// The least text of a chunk shared between two threads, by FaceBytes: a few thousand triangles,
// so that a hand-over costs a hundredth of the work or less.
constexpr std::size_t kLeastChunkBytes = std::size_t{1} << 18;

// Cuts the faces i_first to i_end (exclusive) of one material run, whose corners start at
// io_corner (moved past them), into chunks: half the run each, so that both threads have as much
// to do, or the helper's buffer's worth if less. A run shorter than two least chunks stays whole
// on the writer's thread, as does a face longer than the buffer, alone.
void CutRun(const Piece& i_piece, PieceText::CornerFields i_fields, std::size_t i_first, std::size_t i_end,
            std::size_t& io_corner, std::vector<PieceText::FaceChunk>& io_chunks) {
  const std::uint32_t* const polycount = i_piece.polycount.data();
  std::size_t bytes = 0;
  std::size_t corners = 0;
  for (std::size_t face = i_first; face < i_end; ++face) {
    bytes += FaceBytes(i_fields, polycount[face]);
    corners += polycount[face];
  }
  if (bytes < 2 * kLeastChunkBytes) {
    io_chunks.push_back({i_first, i_end, io_corner, false, {}, {}});
    io_corner += corners;
    return;
  }
  const std::size_t most = std::min(kHelperTextBytes, bytes / 2 + 1);
  for (std::size_t face = i_first; face < i_end;) {
    PieceText::FaceChunk chunk{face, face, io_corner, true, {}, {}};
    for (std::size_t chunkBytes = 0; chunk.end < i_end; ++chunk.end) {
      const std::size_t more = FaceBytes(i_fields, polycount[chunk.end]);
      if (chunkBytes + more > most && chunk.end > face) break;
      if (more > kHelperTextBytes) break;
      chunkBytes += more;
      io_corner += polycount[chunk.end];
    }
    if (chunk.end == face) {
      chunk.end = face + 1;
      chunk.shared = false;
      io_corner += polycount[face];
    }
    io_chunks.push_back(chunk);
    face = chunk.end;
  }
}

// Finds the indices each field of a chunk's corners name, i_end its corners' end (0-based). An
// absent field, Obj::kAbsent, the largest index, lowers no least index, and wraps to 0 past it,
// raising no most: nothing is asked per corner. Corners that name their vertex alone are read
// for it alone.
void FindIndices(const Piece& i_piece, PieceText::CornerFields i_fields, std::size_t i_end,
                 PieceText::FaceChunk& io_chunk) {
  static_assert(Obj::kAbsent == 0xFFFFFFFFu, "an absent field is the largest index");
  std::uint32_t vLow = Obj::kAbsent, uvLow = Obj::kAbsent, nLow = Obj::kAbsent;
  std::uint32_t vHigh = 0, uvHigh = 0, nHigh = 0;
  const Obj::Corner* const corners = i_piece.corners.data();
  for (std::size_t k = io_chunk.corner; k < i_end; ++k) {
    vLow = std::min(vLow, corners[k].v);
    vHigh = std::max(vHigh, corners[k].v + 1);
  }
  for (std::size_t k = io_chunk.corner; k < i_end && i_fields != PieceText::CornerFields::Bare; ++k) {
    uvLow = std::min(uvLow, corners[k].uv);
    uvHigh = std::max(uvHigh, corners[k].uv + 1);
    nLow = std::min(nLow, corners[k].n);
    nHigh = std::max(nHigh, corners[k].n + 1);
  }
  io_chunk.low[0] = vHigh == 0 ? 0 : vLow;
  io_chunk.low[1] = uvHigh == 0 ? 0 : uvLow;
  io_chunk.low[2] = nHigh == 0 ? 0 : nLow;
  io_chunk.high[0] = vHigh;
  io_chunk.high[1] = uvHigh;
  io_chunk.high[2] = nHigh;
}

// Whether the chunks' numbers are best made per chunk (PieceText::windowedNumbers): no chunk
// names more than half the indices of a field, so that the two threads' windows together hold
// no more numbers than a whole placement's, and all chunks together name each index twice at
// most, so that they make no more numbers than two placements' (each thread one).
bool WindowedNumbers(const Piece& i_piece, const std::vector<PieceText::FaceChunk>& i_chunks) {
  const std::size_t counts[3] = {i_piece.positions.size(), i_piece.uvs.size(), i_piece.normals.size()};
  std::size_t sums[3] = {0, 0, 0};
  for (const PieceText::FaceChunk& chunk : i_chunks) {
    for (int field = 0; field < 3; ++field) {
      const std::size_t indices = chunk.high[field] - chunk.low[field];
      if (2 * indices > counts[field]) return false;
      sums[field] += indices;
    }
  }
  for (int field = 0; field < 3; ++field) {
    if (sums[field] > 2 * counts[field]) return false;
  }
  return true;
}

// Cuts a piece's faces into chunks, material run by material run (PieceText::FaceChunk), and
// decides whether their numbers are windowed.
void CutFaceChunks(PieceText& io_text, const Piece& i_piece, PieceText::CornerFields i_fields) {
  std::vector<PieceText::FaceChunk>& chunks = io_text.faceChunks;
  std::size_t corner = 0;
  for (std::size_t first = 0; first < i_piece.polycount.size();) {
    const std::size_t end = MaterialRunEnd(i_piece, first);
    CutRun(i_piece, i_fields, first, end, corner, chunks);
    first = end;
  }
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    FindIndices(i_piece, i_fields, i + 1 < chunks.size() ? chunks[i + 1].corner : i_piece.corners.size(), chunks[i]);
  }
  io_text.windowedNumbers = WindowedNumbers(i_piece, chunks);
}

// The material of the face being written, and whether a usemtl line must name it.
struct MaterialRun {
  const MaterialNames* names;
  const Kit* kit;
  MaterialState state;  // not started until the building's first face

  void face(TextOut& io_out, std::uint32_t i_material) {
    if (state.started && i_material == state.current) return;
    state.started = true;
    state.current = i_material;
    const std::string& name =
        i_material == Obj::kNoMaterial ? names->defaultName : kit->materials[i_material];
    io_out.write("usemtl ", 7);
    io_out.write(name.data(), name.size());
    io_out.write("\n", 1);
  }
};

// The faces of one chunk of i_all, a whole placement's.
FaceLines ChunkLines(const FaceLines& i_all, const PieceText::FaceChunk& i_chunk) {
  FaceLines lines = i_all;
  lines.first = i_chunk.first;
  lines.end = i_chunk.end;
  lines.corner = i_all.piece->corners.data() + i_chunk.corner;
  for (int field = 0; field < 3; ++field) {
    lines.runs[field].low = i_chunk.low[field];
    lines.runs[field].high = i_chunk.high[field];
  }
  return lines;
}

// The f lines of a placement, i_all, in chunks made in turn by the writer's thread and by the
// helper, whose text the writer's thread copies in after its own so that the text keeps its
// order; usemtl lines are written between, on the writer's thread.
void WriteFacesInTurns(ObjWriter& io_writer, const FaceLines& i_all,
                       const std::vector<PieceText::FaceChunk>& i_chunks, MaterialRun* io_run) {
  const Piece& piece = *i_all.piece;
  // Should the output fail while the helper works, it ends its faces before what they read goes.
  const HelperIdle idle{io_writer};
  // Each chunk of the writer's thread, with the helper's after it when it is shared; the helper
  // is asked one pair ahead, so that it makes its next chunk while this thread makes its own.
  constexpr std::size_t kNone = ~std::size_t{0};
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t i = 0; i < i_chunks.size(); ++i) {
    const bool helped = i + 1 < i_chunks.size() && i_chunks[i + 1].shared;
    pairs.emplace_back(i, helped ? i + 1 : kNone);
    if (helped) ++i;
  }
  const auto askHelper = [&](std::size_t i_pair) {
    if (i_pair < pairs.size() && pairs[i_pair].second != kNone)
      AskHelper(io_writer, ChunkLines(i_all, i_chunks[pairs[i_pair].second]));
  };
  askHelper(0);
  for (std::size_t pair = 0; pair < pairs.size(); ++pair) {
    askHelper(pair + 1);
    const PieceText::FaceChunk& mine = i_chunks[pairs[pair].first];
    if (io_run) io_run->face(io_writer.out, MaterialOf(piece, mine.first));
    WriteFaceLines(io_writer.out, WithNumbers(ChunkLines(i_all, mine), io_writer.vertexNumbers,
                                              io_writer.uvNumbers, io_writer.normalNumbers));
    if (pairs[pair].second == kNone) continue;
    if (io_run) io_run->face(io_writer.out, MaterialOf(piece, i_chunks[pairs[pair].second].first));
    CopyHelped(io_writer);
  }
}

// The f lines of one placement; with materials, each run of faces with one material after its
// usemtl line. A large piece's are made on two threads when its v lines are.
void WriteFaces(ObjWriter& io_writer, PieceId i_id, const Offsets& i_at, MaterialRun* io_run) {
  const Piece& piece = io_writer.kit->piece(i_id);
  if (piece.polycount.empty()) return;
  PieceText& text = io_writer.texts[i_id];
  FaceLines all;
  all.piece = &piece;
  all.fields = CornerFieldsOf(text, piece);
  all.first = 0;
  all.end = piece.polycount.size();
  all.corner = piece.corners.data();
  // Indices are 32 bits, so a piece has fewer than 2^32 of each.
  all.runs[0] = {i_at.vertices + 1, 0, static_cast<std::uint32_t>(piece.positions.size())};
  all.runs[1] = {i_at.uvs + 1, 0, static_cast<std::uint32_t>(piece.uvs.size())};
  all.runs[2] = {i_at.normals + 1, 0, static_cast<std::uint32_t>(piece.normals.size())};
  const std::size_t vertices = piece.positions.size();
  const bool inTurns = vertices >= kKeptColumnsMinVertices && TwoThreadsFor(io_writer, vertices);
  if (inTurns && text.faceChunks.empty()) CutFaceChunks(text, piece, all.fields);
  all.windowed = inTurns && text.windowedNumbers;
  if (!all.windowed) {
    all.numbers = FillNumbers(io_writer.vertexNumbers, io_writer.uvNumbers, io_writer.normalNumbers, all.runs);
  }
  if (inTurns) return WriteFacesInTurns(io_writer, all, text.faceChunks, io_run);
  if (!io_run) return WriteFaceLines(io_writer.out, all);
  // all becomes each run of faces in turn.
  const std::size_t faces = all.end;
  for (std::size_t face = 0; face < faces; face = all.end) {
    all.first = face;
    all.end = MaterialRunEnd(piece, face);
    io_run->face(io_writer.out, MaterialOf(piece, face));
    WriteFaceLines(io_writer.out, all);
    if (all.end == faces) break;
    for (std::size_t k = face; k < all.end; ++k) all.corner += piece.polycount[k];
  }
}

void Advance(Offsets& io_offsets, const Piece& i_piece) {
  io_offsets.vertices += i_piece.positions.size();
  io_offsets.normals += i_piece.normals.size();
  io_offsets.uvs += i_piece.uvs.size();
}

// Readies the writer's text caches for i_kit's pieces, unless they are already.
void UseKit(ObjWriter& io_writer, const Kit& i_kit) {
  if (io_writer.kit == &i_kit) return;
  io_writer.kit = &i_kit;
  io_writer.texts.clear();
  io_writer.texts.resize(i_kit.pieces.size());
  io_writer.readyBytes = 0;
  io_writer.readyBudget = ReadyTextBudget(i_kit) / io_writer.budgetShares;
  io_writer.columnBytes = 0;
  io_writer.columnBudget = ColumnTextBudget(i_kit) / io_writer.budgetShares;
}

}  // namespace

char* detail::PutFaceLines(char* o_out, const FaceLines& i_faces, NumberWindows& io_windows) {
  FilledBuffer out{o_out};
  WriteFaceLines(out, WithNumbers(i_faces, io_windows.v, io_windows.uv, io_windows.n));
  return out.end;
}

std::unique_ptr<ObjWriter> MakeObjWriter(std::ostream& io_stream, bool i_writeOnOwnThread) {
  return std::make_unique<ObjWriter>(io_stream, i_writeOnOwnThread);
}

Offsets WriteObj(ObjWriter& io_writer, const Kit& i_kit, const Plan& i_plan, const Frame& i_frame,
                 const Offsets& i_start, const MaterialNames& i_names) {
  UseKit(io_writer, i_kit);
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    WriteVertices(io_writer, i_placement.piece, FloatsOf(i_placement), i_frame);
  });
  const Turn building = MakeTurn(i_frame.xdir, i_frame.zdir);
  const NormalStretch stretch = MakeNormalStretch(i_frame);
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    WriteNormals(io_writer, i_placement.piece, FloatsOf(i_placement), building, stretch);
  });
  ForEachPlacement(i_plan, i_kit,
                   [&](const Placement& i_placement) { WriteUvs(io_writer, i_placement.piece); });
  Offsets at = i_start;
  MaterialRun run{&i_names, &i_kit, MaterialState{}};
  MaterialRun* const materials = i_names.used ? &run : nullptr;
  ForEachPlacement(i_plan, i_kit, [&](const Placement& i_placement) {
    const Piece& piece = i_kit.piece(i_placement.piece);
    WriteFaces(io_writer, i_placement.piece, at, materials);
    Advance(at, piece);
  });
  return at;
}

void WriteObjPart(ObjWriter& io_writer, const Kit& i_kit, const Plan& i_plan, const Frame& i_frame,
                  ObjPart i_part, const WalkedRuns& i_walked, const PlanSpan& i_span, const Offsets& i_at,
                  const MaterialState& i_materials, const MaterialNames& i_names) {
  UseKit(io_writer, i_kit);
  switch (i_part) {
    case ObjPart::Vertices:
      return ForEachInSpan(i_plan, i_walked, i_span, [&](const Placement& i_placement) {
        WriteVertices(io_writer, i_placement.piece, FloatsOf(i_placement), i_frame);
      });
    case ObjPart::Normals: {
      const Turn building = MakeTurn(i_frame.xdir, i_frame.zdir);
      const NormalStretch stretch = MakeNormalStretch(i_frame);
      return ForEachInSpan(i_plan, i_walked, i_span, [&](const Placement& i_placement) {
        WriteNormals(io_writer, i_placement.piece, FloatsOf(i_placement), building, stretch);
      });
    }
    case ObjPart::Uvs:
      return ForEachInSpan(i_plan, i_walked, i_span,
                           [&](const Placement& i_placement) { WriteUvs(io_writer, i_placement.piece); });
    case ObjPart::Faces: {
      Offsets at = i_at;
      MaterialRun run{&i_names, &i_kit, i_materials};
      MaterialRun* const materials = i_names.used ? &run : nullptr;
      return ForEachInSpan(i_plan, i_walked, i_span, [&](const Placement& i_placement) {
        const Piece& piece = i_kit.piece(i_placement.piece);
        WriteFaces(io_writer, i_placement.piece, at, materials);
        Advance(at, piece);
      });
    }
  }
}

void WriteLine(ObjWriter& io_writer, const std::string& i_line) {
  io_writer.out.write(i_line.data(), i_line.size());
  io_writer.out.write("\n", 1);
}

void Flush(ObjWriter& io_writer) { io_writer.out.flush(); }

}  // namespace Ostrel::Buildings
