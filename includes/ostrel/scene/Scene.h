#pragma once
// A scene: buildings over one kit, written by one pipeline in a chosen format. A single building
// is a scene of one; a city is a scene of one building a row.
//
// The pipeline has two steps. SurveyScene reads every building's plan once: what the buildings
// need from the kit together (each piece once, so that one material library and one set of
// missing-piece warnings serve them all), how many elements they hold, and whether an output can
// hold them. WriteScene then writes them in the chosen format (Writer.h), refusing before any
// byte what the format cannot hold. Both return what a user should be told as data; neither
// prints anything.
//
// A scene gives its buildings one at a time, and may be asked for them again, so that a scene of
// any number of buildings is never held in memory (but by a format that must, such as a .glb,
// whose JSON lists every building before any is written).

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Engine.h>
#include <ostrel/write/Gltf.h>
#include <ostrel/write/Materials.h>

namespace Ostrel::City {

// One building of a scene, ready to write.
struct SceneBuilding {
  Plan plan;
  Frame frame;       // where it stands (output units) and how it is turned; its scale is set by
                     // the pipeline from SceneOptions::kitUnits
  std::string name;  // an OBJ "o" line (SceneOptions::objectLines), a glTF node's name
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

// The output formats (Writer.h has one writer each).
enum class OutputFormat {
  Obj,    // Wavefront OBJ text, with its material library's text in the report
  Glb,    // binary glTF, in the form of SceneOptions::gltf
  Count,  // nothing written: the counts alone
};

struct SceneOptions {
  OutputFormat format = OutputFormat::Obj;
  bool kitUnits = false;     // coordinates in the kit's own units (unit size x cell units)
  bool objectLines = false;  // OBJ: an "o NAME" line starts each building
  // OBJ: the material library's file name, which the output names ("mtllib NAME" as its first
  // line) when it uses materials; empty: faces still name their materials, but no library is
  // made. The library is written into libraryFolder: its texture paths are made relative to it.
  std::string libraryName;
  std::string libraryFolder = ".";
  std::uint64_t vertexOffset = 0;  // OBJ: vertex indices start after this many
  unsigned jobs = 1;               // OBJ: threads that make buildings, the calling one included
  GltfOptions gltf;                // glTF: its form and generator
  // glTF: where the buffer goes for a .gltf (JSON text in the output, its buffer, images
  // included, in this stream, named by gltfBufferUri, relative to the JSON's file); null: one
  // .glb in the output.
  std::ostream* gltfBuffer = nullptr;
  std::string gltfBufferUri;
  EngineOptions engine;            // extras for game engines, and the buildings' pivot
  // Told after each building is written, by one thread at a time: buildings written so far, and
  // bytes written so far.
  std::function<void(std::uint64_t i_buildings, std::uint64_t i_bytes)> progress;
};

// Why a scene was not written.
enum class SceneError {
  None,
  NoBaseUnits,    // the kit has no unit size: the base units give no vertex, or span nothing
  NothingPlaced,  // a building placed no vertex at all (a style without unit files, say)
  TooLarge,       // the output cannot hold the scene: 32-bit OBJ indices, 4 GiB of GLB
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
};

struct SceneReport {
  SceneError error = SceneError::None;
  std::uint64_t failedBuilding = 0;  // with NothingPlaced and NotFinite
  PieceId failedPiece = 0;           // with NotFinite
  std::vector<MissingUnit> missing;  // in the order first needed
  std::vector<MaterialNote> materialNotes;
  std::vector<std::string> textureWarnings;  // textures a .glb cannot embed, one line each
  bool usesMaterials = false;
  std::string materialLibrary;  // OBJ: the library's text, when it uses materials and has a name
  std::uint64_t buildings = 0;
  Totals totals;
  std::uint64_t triangles = 0;  // glTF and Count: the triangles drawn (saturating)
  // The engine extras written (hulls, levels of detail): their triangles and vertices.
  std::uint64_t extraTriangles = 0;
  std::uint64_t extraVertices = 0;
};

// The largest index an OBJ file may hold.
inline constexpr std::uint64_t kMaxIndex = 0xFFFFFFFFu;

// A pass over the scene whose buildings come framed as the options say: in the output's units
// (cell units, or the kit's own: the unit size times cell units), each about its pivot. Positions
// stay in the output's units whichever they are.
NextBuilding FramedPass(const Scene& i_scene, const SceneOptions& i_options);

// Reads every building of the scene once.
SceneSurvey SurveyScene(const Scene& i_scene, const SceneOptions& i_options);

// Writes the surveyed scene into io_out. Nothing is written when the survey or the format refuses
// it (the report's error says why).
SceneReport WriteScene(const Scene& i_scene, const SceneSurvey& i_survey, const SceneOptions& i_options,
                       std::ostream& io_out);

// Both steps.
SceneReport WriteScene(const Scene& i_scene, const SceneOptions& i_options, std::ostream& io_out);

}  // namespace Ostrel::City
