// Writing buildings as OBJ text.

#include "write/obj/ObjWriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
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

// The text of the numbers a placement's corners name, with the digits every number of each run
// has (0 when the run crosses a power of ten and its numbers differ in length).
struct FaceNumbers {
  const NumberTexts::Entry* v;
  const NumberTexts::Entry* uv;
  const NumberTexts::Entry* n;
  std::size_t vDigits;
  std::size_t uvDigits;
  std::size_t nDigits;
};

// The digits of every number of a run of i_count entries, or 0 when they differ.
std::size_t SameDigits(const NumberTexts::Entry* i_entries, std::size_t i_count) {
  if (i_count == 0) return 0;
  // The numbers count up, so the first and the last have the fewest and the most digits.
  const std::uint8_t length = i_entries[0].length;
  return i_entries[i_count - 1].length == length ? length : 0;
}

// The numbers of one placement, whose first vertex, normal and texture coordinate follow i_at's
// counts. The three runs of numbers are made as text once per placement, and shared when they
// match (as they do for pieces with as many normals and texture coordinates as vertices).
FaceNumbers FillNumbers(ObjWriter& io_writer, const Piece& i_piece, const Offsets& i_at) {
  const std::uint64_t vFirst = i_at.vertices + 1;
  const std::uint64_t uvFirst = i_at.uvs + 1;
  const std::uint64_t nFirst = i_at.normals + 1;
  const std::size_t vCount = i_piece.positions.size();
  const std::size_t uvCount = i_piece.uvs.size();
  const std::size_t nCount = i_piece.normals.size();
  FaceNumbers numbers;
  numbers.v = io_writer.vertexNumbers.fill(vFirst, vCount);
  numbers.uv =
      uvFirst == vFirst && uvCount <= vCount ? numbers.v : io_writer.uvNumbers.fill(uvFirst, uvCount);
  numbers.n = nFirst == vFirst && nCount <= vCount     ? numbers.v
              : nFirst == uvFirst && nCount <= uvCount ? numbers.uv
                                                       : io_writer.normalNumbers.fill(nFirst, nCount);
  numbers.vDigits = SameDigits(numbers.v, vCount);
  numbers.uvDigits = SameDigits(numbers.uv, uvCount);
  numbers.nDigits = SameDigits(numbers.n, nCount);
  return numbers;
}

// Writes a number's text at o_out, sixteen bytes at once (room for them is needed); returns its end.
char* PutNumber(char* o_out, const NumberTexts::Entry& i_entry) {
  static_assert(sizeof(NumberTexts::Entry) == 16, "an entry is copied whole");
  std::memcpy(o_out, &i_entry, sizeof i_entry);
  return o_out + i_entry.length;
}

// Writes one corner's text at o_out (room for kCornerBytes) with the space after it; returns the
// end. With kFull, the corner names a texture coordinate and a normal, as nearly every corner of
// a textured kit does, and its text is put together without asking which fields it has.
template <bool kFull>
[[gnu::always_inline]] inline char* PutCorner(char* o_out, const Obj::Corner& i_corner,
                                              const NumberTexts::Entry* i_v, const NumberTexts::Entry* i_uv,
                                              const NumberTexts::Entry* i_n) {
  char* pos = PutNumber(o_out, i_v[i_corner.v]);
  if (kFull) {
    *pos++ = '/';
    pos = PutNumber(pos, i_uv[i_corner.uv]);
    *pos++ = '/';
    pos = PutNumber(pos, i_n[i_corner.n]);
  } else if (i_corner.n != Obj::kAbsent) {
    *pos++ = '/';
    if (i_corner.uv != Obj::kAbsent) pos = PutNumber(pos, i_uv[i_corner.uv]);
    *pos++ = '/';
    pos = PutNumber(pos, i_n[i_corner.n]);
  } else if (i_corner.uv != Obj::kAbsent) {
    *pos++ = '/';
    pos = PutNumber(pos, i_uv[i_corner.uv]);
  }
  *pos++ = ' ';
  return pos;
}

// The most bytes a corner takes, with the slack of PutNumber's copies.
constexpr std::size_t kCornerBytes = 3 * (16 + 1) + 1;

// The f lines of faces i_first to i_end (exclusive) of a piece, whose corners start at i_corner;
// kFull when every corner names a texture coordinate and a normal.
template <bool kFull>
void WriteFaceLinesOf(TextOut& io_out, const Piece& i_piece, const FaceNumbers& i_numbers,
                      std::size_t i_first, std::size_t i_end, const Obj::Corner* i_corner) {
  // Faces of up to this many corners (all but the rarest) ask for room once.
  constexpr std::uint32_t kCornersAtOnce = 32;
  const Obj::Corner* corner = i_corner;
  // Copies, as the text's char stores may alias anything read through a reference.
  const std::uint32_t* const polycount = i_piece.polycount.data();
  const NumberTexts::Entry* const v = i_numbers.v;
  const NumberTexts::Entry* const uv = i_numbers.uv;
  const NumberTexts::Entry* const n = i_numbers.n;
  for (std::size_t face = i_first; face < i_end; ++face) {
    const std::uint32_t count = polycount[face];
    if (count <= kCornersAtOnce) {
      char* pos = io_out.room(3 + count * kCornerBytes);
      *pos++ = 'f';
      *pos++ = ' ';
      for (const Obj::Corner* end = corner + count; corner != end; ++corner) {
        pos = PutCorner<kFull>(pos, *corner, v, uv, n);
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
      io_out.commit(PutCorner<kFull>(io_out.room(kCornerBytes), *corner, v, uv, n));
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

// Writes a corner "v/uv/n " at o_out (room for its bytes and 16 more); returns the end. Each
// copy runs past its digits, over bytes that the next store writes again.
[[gnu::always_inline]] inline char* PutFullCorner(char* o_out, const Obj::Corner& i_corner,
                                                  const FaceNumbers& i_numbers, const CornerLayout& i_layout) {
  std::memcpy(o_out, &i_numbers.v[i_corner.v], sizeof(NumberTexts::Entry));
  o_out[i_layout.uvAt - 1] = '/';
  std::memcpy(o_out + i_layout.uvAt, &i_numbers.uv[i_corner.uv], sizeof(NumberTexts::Entry));
  o_out[i_layout.nAt - 1] = '/';
  std::memcpy(o_out + i_layout.nAt, &i_numbers.n[i_corner.n], sizeof(NumberTexts::Entry));
  o_out[i_layout.bytes - 1] = ' ';
  return o_out + i_layout.bytes;
}

// The f lines of faces i_first to i_end (exclusive) of a piece whose every corner names a texture
// coordinate and a normal, when each run of numbers has one length (as all but the few
// placements that cross a power of ten do): a corner then takes the same bytes wherever it is,
// and where each number goes is known without reading the length of the one before it, so the
// copies of one corner, and of the next, do not wait for each other.
void WriteFullFaceLinesOfSameDigits(TextOut& io_out, const Piece& i_piece, const FaceNumbers& i_numbers,
                                    std::size_t i_first, std::size_t i_end, const Obj::Corner* i_corner) {
  constexpr std::uint32_t kCornersAtOnce = 32;
  const Obj::Corner* corner = i_corner;
  // Copies, as the text's char stores may alias anything read through a reference.
  const std::uint32_t* const polycount = i_piece.polycount.data();
  const FaceNumbers numbers = i_numbers;
  const CornerLayout layout = {numbers.vDigits + 1, numbers.vDigits + numbers.uvDigits + 2,
                               numbers.vDigits + numbers.uvDigits + numbers.nDigits + 3};
  // Room is asked for many faces at once: faces are mostly triangles, whose few corners would
  // otherwise weigh less than the asking. kRoomAtOnce holds the longest face written here.
  constexpr std::size_t kRoomAtOnce = 4096;
  static_assert(3 + kCornersAtOnce * kCornerBytes <= kRoomAtOnce, "a face fits the room asked for");
  char* pos = io_out.room(kRoomAtOnce);
  char* end = pos + kRoomAtOnce;
  for (std::size_t face = i_first; face < i_end; ++face) {
    const std::uint32_t count = polycount[face];
    if (count > kCornersAtOnce) {
      io_out.commit(pos);
      WriteFaceLinesOf<true>(io_out, i_piece, i_numbers, face, face + 1, corner);
      corner += count;
      pos = io_out.room(kRoomAtOnce);
      end = pos + kRoomAtOnce;
      continue;
    }
    if (static_cast<std::size_t>(end - pos) < 3 + count * kCornerBytes) {
      io_out.commit(pos);
      pos = io_out.room(kRoomAtOnce);
      end = pos + kRoomAtOnce;
    }
    *pos++ = 'f';
    *pos++ = ' ';
    if (count == 3) {
      // Triangles, nearly every face, without the loop's setting up.
      pos = PutFullCorner(pos, corner[0], numbers, layout);
      pos = PutFullCorner(pos, corner[1], numbers, layout);
      pos = PutFullCorner(pos, corner[2], numbers, layout);
      corner += 3;
    } else {
      for (const Obj::Corner* last = corner + count; corner != last; ++corner)
        pos = PutFullCorner(pos, *corner, numbers, layout);
    }
    *pos++ = '\n';
  }
  io_out.commit(pos);
}

void WriteFaceLines(TextOut& io_out, const Piece& i_piece, bool i_full, const FaceNumbers& i_numbers,
                    std::size_t i_first, std::size_t i_end, const Obj::Corner* i_corner) {
  const bool sameDigits = i_numbers.vDigits != 0 && i_numbers.uvDigits != 0 && i_numbers.nDigits != 0;
  if (i_full && sameDigits)
    return WriteFullFaceLinesOfSameDigits(io_out, i_piece, i_numbers, i_first, i_end, i_corner);
  if (i_full) return WriteFaceLinesOf<true>(io_out, i_piece, i_numbers, i_first, i_end, i_corner);
  WriteFaceLinesOf<false>(io_out, i_piece, i_numbers, i_first, i_end, i_corner);
}

// Whether every corner of the piece names a texture coordinate and a normal; found once a piece.
bool FullCorners(PieceText& io_text, const Piece& i_piece) {
  if (io_text.fullCorners < 0) {
    const auto full = [](const Obj::Corner& i_corner) {
      return i_corner.uv != Obj::kAbsent && i_corner.n != Obj::kAbsent;
    };
    io_text.fullCorners = std::all_of(i_piece.corners.begin(), i_piece.corners.end(), full) ? 1 : 0;
  }
  return io_text.fullCorners == 1;
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

// The f lines of one placement; with materials, each run of faces with one material after its
// usemtl line.
void WriteFaces(ObjWriter& io_writer, PieceId i_id, const Offsets& i_at, MaterialRun* io_run) {
  const Piece& piece = io_writer.kit->piece(i_id);
  if (piece.polycount.empty()) return;
  const FaceNumbers numbers = FillNumbers(io_writer, piece, i_at);
  const bool full = FullCorners(io_writer.texts[i_id], piece);
  const std::size_t faces = piece.polycount.size();
  if (!io_run) return WriteFaceLines(io_writer.out, piece, full, numbers, 0, faces, piece.corners.data());
  if (piece.faceMaterials.empty()) {
    io_run->face(io_writer.out, Obj::kNoMaterial);
    return WriteFaceLines(io_writer.out, piece, full, numbers, 0, faces, piece.corners.data());
  }
  const Obj::Corner* corner = piece.corners.data();
  for (std::size_t face = 0; face < faces;) {
    const std::uint32_t material = piece.faceMaterials[face];
    std::size_t end = face;
    std::size_t corners = 0;
    while (end < faces && piece.faceMaterials[end] == material) corners += piece.polycount[end++];
    io_run->face(io_writer.out, material);
    WriteFaceLines(io_writer.out, piece, full, numbers, face, end, corner);
    corner += corners;
    face = end;
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
