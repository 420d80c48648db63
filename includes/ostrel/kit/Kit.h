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
// A kit may come from several units folders, searched in order: each style comes whole from the
// first folder that has a unit file of it (its pieces, variants, material libraries and the
// textures they name), and the base units from the first folder that has either of them.
//
// A kit is made by LoadKit, or piece by piece by a caller that reads each unit file itself
// (AddReadPiece); once made it is never changed, so one kit can serve any number of buildings, on
// any number of threads at once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/kit/PieceKind.h>

namespace Ostrel::Buildings {

// The base units: the two unit files of the style "base" in a units folder, whose extent together
// is the unit size. Every message that names them takes their names from here.
inline constexpr const char* kBaseStyle = "base";
inline constexpr const char* kBaseUnitFiles[] = {"base_floorclose.obj", "base_roof.obj"};

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

// A piece of at least this many vertices has its passes over every vertex between reading and
// writing (into cell units, its bounds) made on two threads: a dense piece's millions are read on
// two threads, and one thread alone would hold the writer up.
inline constexpr std::size_t kTwoThreadPieceVertices = std::size_t{1} << 17;

struct Piece {
  std::string name;  // style + "_" + piece kind, without ".obj" (A_floorclose)
  std::string file;  // the path that was read: units folder + "/" + name + ".obj"
  std::string folder;  // the units folder it was read from; empty: the kit's folder
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

// The plain piece of each kind of one loaded style.
struct KitStyle {
  std::string name;
  std::string folder;  // the units folder its files come from
  std::array<PieceId, kPieceKindCount> pieces{};  // by PieceKind
  // How far a pitched roof climbs across one cell (storeys): the rise of the style's slope piece,
  // the lowest point of its -x side above the lowest of its +x side (0 without one).
  float rise = 0;
  PieceId piece(PieceKind i_kind) const { return pieces[static_cast<std::size_t>(i_kind)]; }
};

// The rise of a slope piece (see KitStyle::rise), in its own units.
float RiseOf(const Piece& i_slope);

// A material library file that pieces name.
struct MaterialLibrary {
  std::string name;  // as the pieces name it, relative to the units folder
  std::string file;  // units folder + "/" + name
  std::string root;  // the units folder of the pieces that name it: its textures must lie inside
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
  std::string folder;                // the units folder of the base units
  std::vector<std::string> folders;  // every units folder searched, in order
  UnitSizeFault unitSizeFault = UnitSizeFault::None;
  // File units per cell along x and z and per storey along y.
  float unitWidth = 1, unitHeight = 1, unitLength = 1;
  std::vector<Piece> pieces;               // every piece of the loaded styles; none when unmeasured
  std::vector<KitStyle> styles;            // the loaded styles, in the order asked
  std::map<std::string, PieceId> ids;      // piece name -> its place in pieces
  std::vector<std::string> materials;      // every material name a piece uses, each once
  std::vector<MaterialLibrary> libraries;  // every material library a piece names, each once
  bool measured() const { return unitSizeFault == UnitSizeFault::None; }
  const Piece& piece(PieceId i_id) const { return pieces[i_id]; }
  // The loaded style of that name, or null.
  const KitStyle* style(const std::string& i_name) const;
  // The piece of that name; false when no loaded style has it.
  bool find(const std::string& i_name, PieceId& o_id) const;
};

// Reads the kit of a units folder: the unit size, then every piece kind of each style. Pieces
// are read only when the unit size could be measured, since they are kept in cell units.
Kit LoadKit(const std::string& i_folder, const std::vector<std::string>& i_styles);

// The same from several units folders, in order (see the top of this file). One folder loads
// exactly as LoadKit of that folder.
Kit LoadKit(const std::vector<std::string>& i_folders, const std::vector<std::string>& i_styles);

// The first of i_folders whose entries (i_entries, one list per folder) hold a unit file of the
// style (StylesOf), or the first folder when none does.
std::string StyleFolder(const std::vector<std::string>& i_folders,
                        const std::vector<std::vector<std::string>>& i_entries, const std::string& i_style);

// The path of a piece's unit file, joined as plain text.
std::string UnitFile(const std::string& i_folder, const std::string& i_name);

// The styles of a units folder, from its entry names: the part before the only "_" of a name;
// names with no "_" or with more than one give none, and so do the unit files of variants
// (STYLE_KIND.N.obj). Files and folders count alike; otherwise the extension plays no part, so
// "base", the style of the base units, is one.
std::set<std::string> StylesOf(const std::vector<std::string>& i_entries);

// Whether a folder entry is the unit file of a style's piece kind or of its variant:
// STYLE_KIND.obj or STYLE_KIND.N.obj.
bool IsPieceFile(const std::string& i_entry, const std::string& i_style);

// Adds to a kit being made the piece of a unit file that the caller read itself (a linter, which
// tells the file's lines): made from that one reading as LoadKit makes its pieces, with the unit
// size of the kit, which must be measured first (LoadKit of no style). i_read is the result of
// reading UnitFile(i_folder, i_name), i_mesh what it gave. Returns the piece's id.
PieceId AddReadPiece(const std::string& i_folder, const std::string& i_name,
                     const FileSystem::ReadResult& i_read, const Obj::Mesh& i_mesh, Kit& io_kit);

}  // namespace Ostrel::Buildings
