// The building generator: a scene of one building.

#include <ostrel/building/Building.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/write/WriteScene.h>

namespace Ostrel::Buildings {

namespace {

PieceRow RowOf(const std::string& i_name) {
  if (i_name == "roof") return PieceRow::Roof;
  return i_name == "ground" ? PieceRow::Ground : PieceRow::Floor;
}

}  // namespace

Building::Building(const std::string& s, const std::string& door, const std::vector<std::string>& balcony,
                   const std::vector<std::string>& close, int w, int l, int h)
    : m_request(MakeRequest(s, door, balcony, close, w, l, h)) {}

void Building::setPosition(float x, float y, float z) {
  m_frame.xpos = x;
  m_frame.ypos = y;
  m_frame.zpos = z;
}

void Building::setMaterialLibrary(const std::string& i_name, const std::string& i_folder) {
  m_materialLibrary = i_name;
  m_materialFolder = i_folder;
}

void Building::setVariation(std::uint64_t i_seed, bool i_byCell) {
  m_request.seed = i_seed;
  m_request.varyByCell = i_byCell;
}

void Building::setOrientation(float x, float y, float z) {
  m_frame.xdir = x;
  m_ydir = y;
  m_frame.zdir = z;
}

// The kit is read afresh at every build: a build sees the files as they are now.
SceneReport Building::write(std::ostream& io_out, const OutputFormat& i_format, SceneOptions i_options) {
  const Kit kit = LoadKit(m_units_path, {m_request.style});
  i_options.kitUnits = m_kitUnits;
  return WriteScene(RequestScene(kit, m_request, m_frame), i_format, i_options, io_out);
}

std::size_t Building::build(std::ostream& objout, std::size_t indicesoffset) {
  SceneOptions options;
  options.obj.libraryName = m_materialLibrary;
  options.obj.libraryFolder = m_materialFolder.empty() ? "." : m_materialFolder;
  options.obj.vertexOffset = indicesoffset;
  m_report = write(objout, FormatOfOutput(".obj"), options);
  return m_report.error == SceneError::None ? static_cast<std::size_t>(m_report.totals.vertices) : 0;
}

std::uint64_t Building::buildGlb(std::ostream& out, const GltfOptions& i_options) {
  SceneOptions options;
  options.gltf = i_options;
  m_report = write(out, FormatOfOutput(".glb"), options);
  return m_report.error == SceneError::None ? m_report.triangles : 0;
}

bool Building::forEachPlacement(std::size_t indicesoffset, const PlacementVisitor& i_visit) {
  m_report = SceneReport{};
  const Kit kit = LoadKit(m_units_path, {m_request.style});
  if (!kit.measured()) {
    m_report.error = SceneError::NoBaseUnits;
    return false;
  }
  const Plan plan = MakeSceneBuilding(m_request, kit).plan;
  m_report.missing = MissingUnits(PiecesInOrder(plan), kit);
  std::size_t offset = indicesoffset;
  ForEachPlacement(plan, [&](const Placement& i_placement) {
    const Piece& piece = kit.piece(i_placement.piece);
    const PlacementFloats at = FloatsOf(i_placement);
    i_visit(UnitPlacement{piece.name, offset, VectorF(at.x, at.y, at.z), VectorF(at.xd, 0.0f, at.zd)});
    offset += piece.positions.size();
  });
  return true;
}

std::vector<std::string> Building::missingUnitFiles() const {
  std::vector<std::string> files;
  for (const MissingUnit& missing : m_report.missing) files.push_back(missing.file);
  return files;
}

std::string Building::checkForDoorOrClose(int level, const std::string& name, char side, int min_side,
                                          int max_side, int current) const {
  switch (DoorOrClose(m_request, level, RowOf(name), side, min_side, max_side, current)) {
    case CellOpening::Door:
      return "door";
    case CellOpening::Close:
      return "close";
    case CellOpening::Window:
      break;
  }
  return "";
}

bool Building::checkForBalcony(int level, const std::string& name, char side, int current) const {
  return BalconySelects(m_request, level, RowOf(name), side, current);
}

bool Building::checkForClose(int level, const std::string& name, char side, int current) const {
  return CloseSelects(m_request, level, RowOf(name), side, current);
}

}  // namespace Ostrel::Buildings
