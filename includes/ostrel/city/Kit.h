#pragma once
// A unit kit: the unit files of one units folder, read and parsed once, then only read.
//
// A kit holds the unit size, measured from the two base units base_floorclose.obj and
// base_roof.obj, and every piece of the styles it was loaded for, in cell units: one cell is 1.0
// along x and z and one storey 1.0 along y. A piece whose file gave nothing is kept too, empty,
// with the reason, so that whoever needs it can say why it is missing.
//
// A piece may have variants beside its plain file: STYLE_PIECE.1.obj, STYLE_PIECE.2.obj, ... read
// from 1 up to the first number whose file does not exist (a file that exists but gives nothing
// still counts, kept empty with its reason like any piece). The layout chooses among the plain
// piece and its variants (Variation.h); the plain piece stays one of the choices even when its
// file is missing, so that a kit of variants alone is as incomplete as it looks.
//
// A loaded kit is never changed, so one kit can serve any number of buildings, on any number of
// threads at once.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/utils/FileSystem.h>

namespace Ostrel::City {

// A piece's place in Kit::pieces.
using PieceId = std::uint32_t;

// Why a piece gives nothing.
enum class PieceFault {
  None,
  NotFound,
  NotRegular,           // a folder, a FIFO, a device
  Unreadable,           // Piece::error tells why
  TooLarge,             // more than Obj::kMaxFileBytes
  CoordinatesTooLarge,  // a coordinate overflows once divided by the unit size
};

struct Piece {
  std::string name;  // style + "_" + piece kind, without ".obj" (A_floorclose)
  std::string file;  // the path that was read: units folder + "/" + name + ".obj"
  PieceFault fault = PieceFault::None;
  int error = 0;                         // the errno of an Unreadable file
  std::vector<VectorF> positions;        // cell units
  std::vector<VectorF> normals;          // as in the file
  std::vector<UV> uvs;                   // as in the file
  std::vector<Obj::Corner> corners;      // corners of the kept faces, 0-based into this piece
  std::vector<std::uint32_t> polycount;  // corner count of each kept face (3 or more)
  // The material of each kept face, as an index into Kit::materials, or Obj::kNoMaterial; empty
  // when no face of the piece has a material.
  std::vector<std::uint32_t> faceMaterials;
  std::vector<std::uint32_t> libraries;  // its material libraries, as indices into Kit::libraries
  // Of a plain piece that has variants: the forms the layout chooses among, itself first, then its
  // variants by number. Empty for a piece without variants, and for a variant.
  std::vector<PieceId> forms;

  // An empty piece writes nothing wherever it is placed.
  bool empty() const { return positions.empty() && normals.empty() && uvs.empty() && polycount.empty(); }
};

// A material library file that pieces name.
struct MaterialLibrary {
  std::string name;  // as the pieces name it, relative to the units folder
  std::string file;  // units folder + "/" + name
  Mtl::Library library;
  std::vector<Mtl::Finding> findings;  // a finding of line 0: the file could not be read
};

// Why the unit size could not be measured.
enum class UnitSizeFault {
  None,
  NoVertices,  // neither base unit gives a vertex
  Degenerate,  // zero or not finite on some axis
};

struct Kit {
  std::string folder;
  UnitSizeFault unitSizeFault = UnitSizeFault::None;
  // File units per cell along x and z and per storey along y.
  float unitWidth = 1, unitHeight = 1, unitLength = 1;
  std::vector<Piece> pieces;               // every piece of the loaded styles; none when unmeasured
  std::map<std::string, PieceId> ids;      // piece name -> its place in pieces
  std::vector<std::string> materials;      // every material name a piece uses, each once
  std::vector<MaterialLibrary> libraries;  // every material library a piece names, each once

  bool measured() const { return unitSizeFault == UnitSizeFault::None; }
  const Piece& piece(PieceId i_id) const { return pieces[i_id]; }
  // The piece of that name; false when no loaded style has it.
  bool find(const std::string& i_name, PieceId& o_id) const {
    const auto it = ids.find(i_name);
    if (it == ids.end()) return false;
    o_id = it->second;
    return true;
  }
};

// The piece kinds of every style, as the layout names them.
inline constexpr const char* kPieceKinds[] = {"angle",       "angleroof", "ground",     "grounddoor",
                                              "groundclose", "floor",     "floorclose", "roof",
                                              "roofdoor",    "balcony",   "roofcap"};

// Whether i_kind is one of kPieceKinds.
inline bool IsPieceKind(const std::string& i_kind) {
  for (const char* kind : kPieceKinds) {
    if (i_kind == kind) return true;
  }
  return false;
}

// The piece kind of a variant's name after its style and "_", "KIND.N" (N from 1, no leading
// zero, at most 9 digits), or empty when it names no variant.
inline std::string VariantKind(const std::string& i_rest) {
  const std::size_t dot = i_rest.find('.');
  if (dot == std::string::npos) return std::string();
  const std::string number = i_rest.substr(dot + 1);
  if (number.empty() || number.size() > 9 || number[0] < '1' || number[0] > '9' ||
      number.find_first_not_of("0123456789") != std::string::npos) {
    return std::string();
  }
  const std::string kind = i_rest.substr(0, dot);
  return IsPieceKind(kind) ? kind : std::string();
}

// The path of a piece's unit file, joined as plain text.
inline std::string UnitFile(const std::string& i_folder, const std::string& i_name) {
  return i_folder + "/" + i_name + ".obj";
}

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// The unit size is the extent of both base meshes together, as they lie in their files.
inline void MeasureUnitSize(Kit& io_kit) {
  VectorF bboxmin(1000000.0f, 1000000.0f, 1000000.0f);
  VectorF bboxmax(-1000000.0f, -1000000.0f, -1000000.0f);
  std::size_t seen = 0;
  for (const char* name : {"base_floorclose.obj", "base_roof.obj"}) {
    Obj::Mesh mesh;
    Obj::ReadMesh(io_kit.folder + "/" + name, mesh);
    for (const VectorF& v : mesh.vertices) {
      if (v.x < bboxmin.x) bboxmin.x = v.x;
      if (v.x > bboxmax.x) bboxmax.x = v.x;
      if (v.y < bboxmin.y) bboxmin.y = v.y;
      if (v.y > bboxmax.y) bboxmax.y = v.y;
      if (v.z < bboxmin.z) bboxmin.z = v.z;
      if (v.z > bboxmax.z) bboxmax.z = v.z;
    }
    seen += mesh.vertices.size();
  }
  io_kit.unitWidth = bboxmax.x - bboxmin.x;
  io_kit.unitHeight = bboxmax.y - bboxmin.y;
  io_kit.unitLength = bboxmax.z - bboxmin.z;
  io_kit.unitSizeFault = UnitSizeFault::None;
  for (const float size : {io_kit.unitWidth, io_kit.unitHeight, io_kit.unitLength}) {
    if (size == 0 || !std::isfinite(size)) io_kit.unitSizeFault = UnitSizeFault::Degenerate;
  }
  if (seen == 0) io_kit.unitSizeFault = UnitSizeFault::NoVertices;
}

// The kit-wide index of a material name, which the kit gains when new.
inline std::uint32_t MaterialId(Kit& io_kit, const std::string& i_name) {
  for (std::size_t i = 0; i < io_kit.materials.size(); ++i) {
    if (io_kit.materials[i] == i_name) return static_cast<std::uint32_t>(i);
  }
  io_kit.materials.push_back(i_name);
  return static_cast<std::uint32_t>(io_kit.materials.size() - 1);
}

// The index of a material library in the kit, which reads it when new.
inline std::uint32_t LibraryId(Kit& io_kit, const std::string& i_name) {
  for (std::size_t i = 0; i < io_kit.libraries.size(); ++i) {
    if (io_kit.libraries[i].name == i_name) return static_cast<std::uint32_t>(i);
  }
  MaterialLibrary library;
  library.name = i_name;
  library.file = io_kit.folder + "/" + i_name;
  Mtl::ReadLibrary(library.file, library.library, library.findings);
  io_kit.libraries.push_back(std::move(library));
  return static_cast<std::uint32_t>(io_kit.libraries.size() - 1);
}

// Fills o_piece from a parsed file: coordinates into cell units, faces of fewer than three
// corners dropped (they are no polygon and viewers reject them). False, with the piece left
// empty, when a coordinate does not fit in cell units (a huge one over a tiny unit size).
inline bool MakePiece(const Obj::Mesh& i_mesh, Kit& io_kit, Piece& o_piece) {
  o_piece.positions.reserve(i_mesh.vertices.size());
  for (const VectorF& v : i_mesh.vertices) {
    const VectorF cell(v.x / io_kit.unitWidth, v.y / io_kit.unitHeight, v.z / io_kit.unitLength);
    if (!std::isfinite(cell.x) || !std::isfinite(cell.y) || !std::isfinite(cell.z)) {
      o_piece.positions.clear();
      return false;
    }
    o_piece.positions.push_back(cell);
  }
  o_piece.normals = i_mesh.normals;
  o_piece.uvs = i_mesh.uvs;
  for (const std::string& name : i_mesh.libraries) o_piece.libraries.push_back(LibraryId(io_kit, name));
  // The file's material indices, as kit-wide ones.
  std::vector<std::uint32_t> materials;
  for (const std::string& name : i_mesh.materials) materials.push_back(MaterialId(io_kit, name));
  std::size_t first = 0;
  for (std::size_t face = 0; face < i_mesh.polycount.size(); ++face) {
    const std::uint32_t count = i_mesh.polycount[face];
    if (count > i_mesh.corners.size() - first) break;  // a mesh that promises more corners than it has
    if (count >= 3) {
      o_piece.corners.insert(o_piece.corners.end(),
                             i_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first),
                             i_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first + count));
      o_piece.polycount.push_back(count);
      const std::uint32_t material = i_mesh.faceMaterials[face];
      o_piece.faceMaterials.push_back(material == Obj::kNoMaterial ? material : materials[material]);
    }
    first += count;
  }
  const auto none = [](std::uint32_t i_material) { return i_material == Obj::kNoMaterial; };
  if (std::all_of(o_piece.faceMaterials.begin(), o_piece.faceMaterials.end(), none))
    o_piece.faceMaterials.clear();
  return true;
}

inline PieceFault FaultOf(FileSystem::ReadStatus i_status) {
  switch (i_status) {
    case FileSystem::ReadStatus::Ok:
      return PieceFault::None;
    case FileSystem::ReadStatus::NotFound:
      return PieceFault::NotFound;
    case FileSystem::ReadStatus::NotRegular:
      return PieceFault::NotRegular;
    case FileSystem::ReadStatus::Unreadable:
      return PieceFault::Unreadable;
    case FileSystem::ReadStatus::TooLarge:
      return PieceFault::TooLarge;
  }
  return PieceFault::Unreadable;
}

inline Piece ReadPiece(const std::string& i_name, Kit& io_kit) {
  Piece piece;
  piece.name = i_name;
  piece.file = UnitFile(io_kit.folder, i_name);
  Obj::Mesh mesh;
  const FileSystem::ReadResult read = Obj::LoadMesh(piece.file, mesh);
  piece.fault = FaultOf(read.status);
  piece.error = read.error;
  if (piece.fault == PieceFault::None && !MakePiece(mesh, io_kit, piece)) {
    piece.fault = PieceFault::CoordinatesTooLarge;
  }
  return piece;
}

inline PieceId KeepPiece(Piece i_piece, Kit& io_kit) {
  const auto id = static_cast<PieceId>(io_kit.pieces.size());
  io_kit.ids.emplace(i_piece.name, id);
  io_kit.pieces.push_back(std::move(i_piece));
  return id;
}

// The plain piece i_name, then its variants i_name.1, i_name.2, ... up to the first not found.
inline void LoadPiece(const std::string& i_name, Kit& io_kit) {
  const PieceId plain = KeepPiece(ReadPiece(i_name, io_kit), io_kit);
  std::vector<PieceId> forms{plain};
  for (std::uint64_t number = 1;; ++number) {
    Piece variant = ReadPiece(i_name + "." + std::to_string(number), io_kit);
    if (variant.fault == PieceFault::NotFound) break;
    forms.push_back(KeepPiece(std::move(variant), io_kit));
  }
  if (forms.size() > 1) io_kit.pieces[plain].forms = std::move(forms);
}

}  // namespace detail

// Reads the kit of a units folder: the unit size, then every piece kind of each style. Pieces
// are read only when the unit size could be measured, since they are kept in cell units.
inline Kit LoadKit(const std::string& i_folder, const std::vector<std::string>& i_styles) {
  Kit kit;
  kit.folder = i_folder;
  detail::MeasureUnitSize(kit);
  if (!kit.measured()) return kit;
  for (const std::string& style : i_styles) {
    for (const char* kind : kPieceKinds) {
      const std::string name = style + "_" + kind;
      if (kit.ids.count(name) == 0) detail::LoadPiece(name, kit);
    }
  }
  return kit;
}

}  // namespace Ostrel::City
