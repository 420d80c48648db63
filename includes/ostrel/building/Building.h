#pragma once
// The building generator: one building request, written as one Wavefront OBJ text or .glb.
//
// Building is a thin front over the scene pipeline (Scene.h): it loads the kit of its units
// folder anew for each build, makes the plan of its request (Layout.h) and writes a scene of one.
// The building is never held in memory: it is counted from its plan, refused before any byte is
// written when it cannot be written, and then written as it is walked, so memory depends on the
// kit, not on the size of the building.
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

#include <ostrel/core/MathTypes.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>
#include <ostrel/write/Gltf.h>
#include <ostrel/scene/Materials.h>

namespace Ostrel::Buildings {

// Why the last build wrote nothing.
using BuildError = SceneError;

// One unit placed by the layout, as forEachPlacement reports it.
struct UnitPlacement {
  std::string piece;       // style + "_" + piece kind, without ".obj" (A_floorclose)
  std::size_t offset = 0;  // 0-based output index of the unit's first vertex
  VectorF position;        // cell units, before the building's orientation and position
  VectorF direction;       // facing direction as the layout gives it (+x of the unit points there)
};

class Building {
 public:
  using PlacementVisitor = std::function<void(const UnitPlacement&)>;

  Building() = default;
  // w counts the cells between the corners along E and W, l those along N and S; h storeys gain
  // the roof row.
  Building(const std::string& s, const std::string& door, const std::vector<std::string>& balcony,
           const std::vector<std::string>& close, int w, int l, int h);

  void setUnitsPath(const std::string& path) { m_units_path = path; }
  void setPosition(float x, float y, float z);
  // The material library that the output names ("mtllib i_name" as its first line) when the
  // building uses materials, to be written into i_folder: build() then also makes its text
  // (materialLibraryText). Without it, faces still get their usemtl lines, but no library.
  void setMaterialLibrary(const std::string& i_name, const std::string& i_folder);
  // Coordinates in the kit's own units (the unit size times cell units) instead of cell units.
  // The position stays in the output's units, whichever they are.
  void setKitUnits(bool i_kitUnits) { m_kitUnits = i_kitUnits; }
  // The seed that picks among the variants of pieces, and whether a variant is chosen per cell
  // rather than per piece, storey and facade (Variation.h). A kit without variants ignores both.
  void setVariation(std::uint64_t i_seed, bool i_byCell);
  // y is kept but not read: buildings turn about the vertical axis only.
  void setOrientation(float x, float y, float z);

  // Writes the building into objout: every v line, then vn, vt and f lines. Vertex indices start
  // at indicesoffset + 1; normal and texture indices at 1. Returns the number of vertices written.
  // Writes nothing and returns 0 when lastError() is not None afterwards.
  std::size_t build(std::ostream& objout, std::size_t indicesoffset);

  // Writes the building into out as binary glTF in the form of i_options, its materials and
  // textures inside, refusing what build refuses, except that the limit of TooLarge is the 4 GiB
  // of a GLB file. Returns the number of triangles written; writes nothing and returns 0 when
  // lastError() is not None. materialNotes() tells what build's would about the kit's materials;
  // textures that cannot be embedded are left out, each with a line in textureWarnings().
  std::uint64_t buildGlb(std::ostream& out, const GltfOptions& i_options);

  // Reads the kit and walks the layout, calling i_visit for every placement (missing units
  // included, with the running offsets) instead of writing. False, with lastError()
  // NoBaseUnits, when the unit size cannot be measured. Walks every cell: for tests and tools.
  bool forEachPlacement(std::size_t indicesoffset, const PlacementVisitor& i_visit);

  BuildError lastError() const { return m_report.error; }
  // The material library of the last build, when it used materials and setMaterialLibrary was
  // called; empty otherwise. Notes say what a user should be told about it.
  bool usesMaterials() const { return m_report.usesMaterials; }
  const std::string& materialLibraryText() const { return m_report.materialLibrary; }
  const std::vector<MaterialNote>& materialNotes() const { return m_report.materialNotes; }
  // Unit files the last build needed but could not use, each once, in the order first needed.
  const std::vector<MissingUnit>& missingUnits() const { return m_report.missing; }
  // The same, as the paths that were tried.
  std::vector<std::string> missingUnitFiles() const;
  // Why textures of the last buildGlb were left out, one line each.
  const std::vector<std::string>& textureWarnings() const { return m_report.textureWarnings; }

  // "door" when the cell is the requested door cell (ground level only), else "close" when a wall
  // request selects it, else "". min_side and max_side are the indices of the left and right end
  // of the facade's run of inner cells, seen from outside; name is the row kind ("ground",
  // "floor" or "roof").
  std::string checkForDoorOrClose(int level, const std::string& name, char side, int min_side, int max_side,
                                  int current) const;

  // Whether a balcony request selects the cell; never on the ground storey or the roof row.
  bool checkForBalcony(int level, const std::string& name, char side, int current) const;

  // Whether a wall request selects the cell; never on the roof row.
  bool checkForClose(int level, const std::string& name, char side, int current) const;

 private:
  // Writes the building as a scene of one in the format.
  SceneReport write(std::ostream& io_out, const OutputFormat& i_format, SceneOptions i_options);

  std::string m_units_path;
  Request m_request;
  Frame m_frame;  // position (output units) and orientation
  bool m_kitUnits = false;
  float m_ydir = 0;
  std::string m_materialLibrary;  // the file name the output names, beside it
  std::string m_materialFolder;   // where that file is written
  SceneReport m_report;
};

}  // namespace Ostrel::Buildings
