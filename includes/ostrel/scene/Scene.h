#pragma once
// A scene: buildings over one kit, made from their requests in one place and written by one
// pipeline (WriteScene.h) in a chosen format (Formats.h). A single building is a scene of one; a
// city is a scene of one building a row. This header is the scene itself and what is learned
// from it; it knows no format.
//
// A scene gives its buildings one at a time, and may be asked for them again, so that a scene of
// any number of buildings is never held in memory (but by a format that must, such as a .glb,
// whose JSON lists every building before any is written).

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/scene/Materials.h>

namespace Ostrel::Buildings {

// One building of a scene, ready to write.
struct SceneBuilding {
  Plan plan;
  Frame frame;       // where it stands (output units) and how it is turned; its scale is set by
                     // the pipeline from Framing::kitUnits
  std::string name;  // an OBJ "o" line (ObjOptions::objectLines), a glTF node's name
  Request request{};  // what the plan was made of: the engine extras and the pivot read it
};

// Fills the next building of a pass over a scene, in output order; false when none is left.
using NextBuilding = std::function<bool(SceneBuilding& o_building)>;

struct Scene {
  const Kit* kit = nullptr;
  // Starts a pass over the scene's buildings, from the first.
  std::function<NextBuilding()> buildings;
};

// A scene of the buildings given, held in memory.
Scene HeldScene(const Kit& i_kit, std::vector<SceneBuilding> i_buildings);

// The one way a request becomes a building of a scene: its plan over the kit (MakePlan, which
// needs a kit with a unit size), where it stands, and its name.
SceneBuilding MakeSceneBuilding(const Request& i_request, const Kit& i_kit, const Frame& i_frame = Frame{},
                                const std::string& i_name = "building");

// A scene of one building, made from its request, held in memory; a scene of none when the kit
// has no unit size (the survey then says so).
Scene RequestScene(const Kit& i_kit, const Request& i_request, const Frame& i_frame = Frame{},
                   const std::string& i_name = "building");

// How a scene's buildings are framed in an output.
struct Framing {
  bool kitUnits = false;  // in the kit's own units (the unit size times cell units), not cell units
  Pivot pivot = Pivot::Origin;
};

// Why a scene was not written.
enum class SceneError {
  None,
  NoBaseUnits,    // the kit has no unit size: the base units give no vertex, or span nothing
  NothingPlaced,  // a building placed no vertex at all (a style without unit files, say)
  TooLarge,       // the format cannot hold the scene (OutputFormat::limit)
  NotFinite,      // a piece of a building would be placed at coordinates beyond the float range
};

// A unit file that the scene needed but that gave nothing.
struct MissingUnit {
  std::string file;  // the path that was tried (units folder + "/" + piece + ".obj")
  PieceFault fault = PieceFault::NotFound;
  int error = 0;  // the errno of an Unreadable file
};

// The pieces of i_pieces that gave nothing, in that order.
std::vector<MissingUnit> MissingUnits(const std::vector<PieceId>& i_pieces, const Kit& i_kit);

// What the survey learned: enough to refuse a scene before opening its output.
struct SceneSurvey {
  SceneError error = SceneError::None;
  std::uint64_t failedBuilding = 0;  // 0-based; the building that placed nothing, not finitely or too much
  PieceId failedPiece = 0;           // with NotFinite, the piece
  std::uint64_t buildings = 0;
  Totals totals;                // every building's elements (saturating)
  std::vector<PieceId> pieces;  // every piece placed, each once, in the order first placed
  MaterialNames names;
  // The kit that the writers write from, when it is not the scene's: the scene's with the card
  // sheets' materials (SceneOptions::cards).
  std::shared_ptr<const Kit> written;
};

// A texture sheet that an output names beside itself (Sheets.h).
struct OutputSheet {
  std::string name;      // the bare file name the output uses
  std::string bytes;     // the file's contents
  std::string source;    // the kit's file it was made from, for messages
  bool present = false;  // the folder holds it already, byte for byte: nothing to write
};

struct SceneReport {
  SceneError error = SceneError::None;
  std::uint64_t failedBuilding = 0;  // with NothingPlaced and NotFinite
  PieceId failedPiece = 0;           // with NotFinite
  std::vector<MissingUnit> missing;  // in the order first needed
  std::vector<MaterialNote> materialNotes;
  std::vector<std::string> textureWarnings;  // textures a glTF output cannot embed, one line each
  bool usesMaterials = false;
  std::string materialLibrary;  // OBJ: the library's text, when it uses materials and has a name
  std::vector<OutputSheet> sheets;  // the texture sheets to write beside the output, in order of use
  std::uint64_t buildings = 0;
  Totals totals;
  std::uint64_t triangles = 0;  // glTF: the triangles drawn (saturating)
  // The engine extras written (hulls, levels of detail): their triangles and vertices.
  std::uint64_t extraTriangles = 0;
  std::uint64_t extraVertices = 0;
};

// A pass over the scene whose buildings come framed as i_framing says: in the output's units
// (cell units, or the kit's own: the unit size times cell units), each about its pivot. Positions
// stay in the output's units whichever they are.
NextBuilding FramedPass(const Scene& i_scene, const Framing& i_framing);

}  // namespace Ostrel::Buildings
