#pragma once
// The building generator: one building request, written as one Wavefront OBJ text.
//
// Building is a thin front over the three parts that do the work: the kit (Kit.h) reads the unit
// files once, the layout (Layout.h) says which piece goes where, and the OBJ writer
// (ObjWriter.h) turns placements into text. The building is never held in memory: it is counted
// from its plan, refused before any byte is written when it cannot be written, and then written
// as it is walked, so memory depends on the kit, not on the size of the building.
//
// Units: unit files are in file units; the unit size (measured from base_floorclose.obj and
// base_roof.obj) turns them into cell units, where one cell is 1.0 along x and z and one storey
// 1.0 along y, +y up. The facades N, E, S and W face +x, +z, -x and -z.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/city/Frame.h>
#include <ostrel/city/GltfMaterials.h>
#include <ostrel/city/GltfWriter.h>
#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>
#include <ostrel/city/Materials.h>
#include <ostrel/city/ObjWriter.h>
#include <ostrel/core/MathTypes.h>

namespace Ostrel::City {

// Why the last build wrote nothing.
enum class BuildError {
  None,
  NoBaseUnits,    // the base units give no vertex, or a zero or non-finite size on an axis
  NothingPlaced,  // the layout placed no vertex at all (an unknown style, say)
  TooLarge,       // the counts of the building would overflow its 32-bit indices
};

// A unit file that the last build needed but that gave nothing.
struct MissingUnit {
  std::string file;  // the path that was tried (units folder + "/" + piece + ".obj")
  PieceFault fault = PieceFault::NotFound;
  int error = 0;  // the errno of an Unreadable file
};

// One unit placed by the layout, as forEachPlacement reports it.
struct UnitPlacement {
  std::string piece;       // style + "_" + piece kind, without ".obj" (A_floorclose)
  std::size_t offset = 0;  // 0-based output index of the unit's first vertex
  VectorF position;        // cell units, before the building's orientation and position
  VectorF direction;       // facing direction as the layout gives it (+x of the unit points there)
};

// The largest index an output file may hold.
inline constexpr std::uint64_t kMaxIndex = 0xFFFFFFFFu;

// Why a building of these counts, after i_start elements, cannot be written: None or TooLarge.
inline BuildError CheckFits(const Totals& i_totals, const Offsets& i_start) {
  if (i_start.vertices > kMaxIndex || i_totals.vertices > kMaxIndex - i_start.vertices ||
      i_start.normals > kMaxIndex || i_totals.normals > kMaxIndex - i_start.normals ||
      i_start.uvs > kMaxIndex || i_totals.uvs > kMaxIndex - i_start.uvs) {
    return BuildError::TooLarge;
  }
  return BuildError::None;
}

// The pieces of the plan that gave nothing, in the order the plan first needs them.
inline std::vector<MissingUnit> MissingUnits(const Plan& i_plan, const Kit& i_kit) {
  std::vector<MissingUnit> missing;
  for (const PieceId id : PiecesInOrder(i_plan)) {
    const Piece& piece = i_kit.piece(id);
    if (piece.fault != PieceFault::None) missing.push_back({piece.file, piece.fault, piece.error});
  }
  return missing;
}

class Building {
 public:
  using PlacementVisitor = std::function<void(const UnitPlacement&)>;

  Building() = default;
  // Note the swap: the width `w` counts the cells along E and W, the length `l` those along N
  // and S. Both gain the two corner cells; `h` storeys gain the roof row.
  Building(const std::string& s, const std::string& door, const std::vector<std::string>& balcony,
           const std::vector<std::string>& close, int w, int l, int h)
      : m_request(MakeRequest(s, door, balcony, close, w, l, h)) {}

  void setUnitsPath(const std::string& path) { m_units_path = path; }
  void setPosition(float x, float y, float z) {
    m_frame.xpos = x;
    m_frame.ypos = y;
    m_frame.zpos = z;
  }
  // The material library that the output names ("mtllib i_name" as its first line) when the
  // building uses materials, to be written into i_folder: build() then also makes its text
  // (materialLibraryText). Without it, faces still get their usemtl lines, but no library.
  void setMaterialLibrary(const std::string& i_name, const std::string& i_folder) {
    m_materialLibrary = i_name;
    m_materialFolder = i_folder;
  }
  // Coordinates in the kit's own units (the unit size times cell units) instead of cell units.
  // The position stays in the output's units, whichever they are.
  void setKitUnits(bool i_kitUnits) { m_kitUnits = i_kitUnits; }
  // The seed that picks among the variants of pieces, and whether a variant is chosen per cell
  // rather than per piece, storey and facade (Variation.h). A kit without variants ignores both.
  void setVariation(std::uint64_t i_seed, bool i_byCell) {
    m_request.seed = i_seed;
    m_request.varyByCell = i_byCell;
  }
  // y is kept but not read: buildings turn about the vertical axis only.
  void setOrientation(float x, float y, float z) {
    m_frame.xdir = x;
    m_ydir = y;
    m_frame.zdir = z;
  }

  // Writes the building into objout: every v line, then vn, vt and f lines. Vertex indices start
  // at indicesoffset + 1; normal and texture indices at 1. Returns the number of vertices written.
  // Writes nothing and returns 0 when lastError() is not None afterwards.
  std::size_t build(std::ostream& objout, std::size_t indicesoffset) {
    const Kit kit = start();
    if (!kit.measured()) return fail(BuildError::NoBaseUnits);
    const Plan plan = MakePlan(m_request, kit);
    m_missing = MissingUnits(plan, kit);
    const Totals totals = CountPlan(plan, kit, kMaxIndex);
    if (totals.vertices == 0) return fail(BuildError::NothingPlaced);
    const Offsets first{indicesoffset, 0, 0};
    if (CheckFits(totals, first) != BuildError::None) return fail(BuildError::TooLarge);

    const MaterialNames names = NameMaterials(plan, kit);
    m_usesMaterials = names.used;
    const bool library = names.used && !m_materialLibrary.empty();
    const std::unique_ptr<ObjWriter> writer = MakeObjWriter(objout);
    if (library) WriteLine(*writer, "mtllib " + m_materialLibrary);
    WriteObj(*writer, kit, plan, frameFor(kit), first, names);
    Flush(*writer);
    if (library) m_materialText = MergeMaterials(plan, kit, names, m_materialFolder, m_materialNotes);
    return static_cast<std::size_t>(totals.vertices);
  }

  // Writes the building into out as binary glTF in the form of i_options (GltfWriter.h), its
  // materials and textures inside, refusing what build refuses, except that the limit of
  // TooLarge is the 4 GiB of a GLB file. Returns the number of triangles written; writes nothing
  // and returns 0 when lastError() is not None. materialNotes() tells what build's would about
  // the kit's materials; textures that cannot be embedded are left out, each with a line in
  // textureWarnings().
  std::uint64_t buildGlb(std::ostream& out, const GltfOptions& i_options) {
    const Kit kit = start();
    if (!kit.measured()) return fail(BuildError::NoBaseUnits);
    const Plan plan = MakePlan(m_request, kit);
    m_missing = MissingUnits(plan, kit);
    if (CountPlan(plan, kit, kMaxIndex).vertices == 0) return fail(BuildError::NothingPlaced);
    const MaterialNames names = NameMaterials(plan, kit);
    m_usesMaterials = names.used;
    MergeMaterials(plan, kit, names, ".", m_materialNotes);
    const GltfMaterials materials =
        MakeGltfMaterials(FindDefinitions(plan, kit), UsedMaterials(plan, kit), names, m_textureWarnings);
    const std::vector<GltfPiece> pieces = MakeGltfPieces(kit);
    const std::vector<GltfBuilding> buildings = {{&plan, frameFor(kit), "building"}};
    if (WriteGlb(out, kit, pieces, materials, buildings, i_options) != GlbResult::Written) {
      return fail(BuildError::TooLarge);
    }
    return CountTriangles(kit, pieces, buildings);
  }

  // Reads the kit and walks the layout, calling i_visit for every placement (missing units
  // included, with the running offsets) instead of writing. False, with lastError()
  // NoBaseUnits, when the unit size cannot be measured. Walks every cell: for tests and tools.
  bool forEachPlacement(std::size_t indicesoffset, const PlacementVisitor& i_visit) {
    const Kit kit = start();
    if (!kit.measured()) {
      fail(BuildError::NoBaseUnits);
      return false;
    }
    const Plan plan = MakePlan(m_request, kit);
    m_missing = MissingUnits(plan, kit);
    std::size_t offset = indicesoffset;
    ForEachPlacement(plan, [&](const Placement& i_placement) {
      const Piece& piece = kit.piece(i_placement.piece);
      const PlacementFloats at = FloatsOf(i_placement);
      i_visit(UnitPlacement{piece.name, offset, VectorF(at.x, at.y, at.z), VectorF(at.xd, 0.0f, at.zd)});
      offset += piece.positions.size();
    });
    return true;
  }

  BuildError lastError() const { return m_lastError; }
  // The material library of the last build, when it used materials and setMaterialLibrary was
  // called; empty otherwise. Notes say what a user should be told about it.
  bool usesMaterials() const { return m_usesMaterials; }
  const std::string& materialLibraryText() const { return m_materialText; }
  const std::vector<MaterialNote>& materialNotes() const { return m_materialNotes; }
  // Unit files the last build needed but could not use, each once, in the order first needed.
  const std::vector<MissingUnit>& missingUnits() const { return m_missing; }
  // The same, as the paths that were tried.
  std::vector<std::string> missingUnitFiles() const {
    std::vector<std::string> files;
    for (const MissingUnit& missing : m_missing) files.push_back(missing.file);
    return files;
  }
  // Why textures of the last buildGlb were left out, one line each.
  const std::vector<std::string>& textureWarnings() const { return m_textureWarnings; }

  // "door" when the cell is the requested door cell (ground level only), else "close" when a wall
  // request selects it, else "". min_side and max_side are the indices of the left and right end
  // of the facade's run of inner cells, seen from outside; name is the row kind ("ground",
  // "floor" or "roof").
  std::string checkForDoorOrClose(int level, const std::string& name, char side, int min_side, int max_side,
                                  int current) const {
    return DoorOrClose(m_request, level, RowOf(name), side, min_side, max_side, current);
  }

  // Whether a balcony request selects the cell; never on the ground storey or the roof row.
  bool checkForBalcony(int level, const std::string& name, char side, int current) const {
    return BalconySelects(m_request, level, RowOf(name), side, current);
  }

  // Whether a wall request selects the cell; never on the roof row.
  bool checkForClose(int level, const std::string& name, char side, int current) const {
    return CloseSelects(m_request, level, RowOf(name), side, current);
  }

 private:
  // The building's frame, in the units the output is asked for.
  Frame frameFor(const Kit& i_kit) const {
    Frame frame = m_frame;
    if (m_kitUnits) {
      frame.xscale = i_kit.unitWidth;
      frame.yscale = i_kit.unitHeight;
      frame.zscale = i_kit.unitLength;
    }
    return frame;
  }

  static RowKind RowOf(const std::string& i_name) {
    if (i_name == "roof") return RowKind::Roof;
    return i_name == "ground" ? RowKind::Ground : RowKind::Floor;
  }

  // Resets what a build leaves behind and reads the kit afresh: a build sees the files as they
  // are now.
  Kit start() {
    m_lastError = BuildError::None;
    m_missing.clear();
    m_usesMaterials = false;
    m_materialText.clear();
    m_materialNotes.clear();
    m_textureWarnings.clear();
    return LoadKit(m_units_path, {m_request.style});
  }

  std::size_t fail(BuildError i_error) {
    m_lastError = i_error;
    return 0;
  }

  std::string m_units_path;
  Request m_request;
  Frame m_frame;  // position (output units) and orientation
  bool m_kitUnits = false;
  float m_ydir = 0;
  BuildError m_lastError = BuildError::None;
  std::vector<MissingUnit> m_missing;
  std::string m_materialLibrary;  // the file name the output names, beside it
  std::string m_materialFolder;   // where that file is written
  bool m_usesMaterials = false;
  std::string m_materialText;
  std::vector<MaterialNote> m_materialNotes;
  std::vector<std::string> m_textureWarnings;
};

}  // namespace Ostrel::City
