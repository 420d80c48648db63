// The OBJ format: the buildings as OBJ text, after the line that names their material library.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/layout/Instance.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Obj.h>

#include "write/Writer.h"
#include "write/obj/ObjBlocks.h"
#include "write/obj/ObjCity.h"
#include "write/obj/ObjExtras.h"
#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings {

namespace {

class ObjFormat : public Writer {
 public:
  SceneError check(const SceneSurvey& i_survey, const SceneOptions& i_options) const override {
    const Totals& totals = i_survey.totals;
    const std::uint64_t first = i_options.obj.vertexOffset;
    const bool fits = first <= kMaxIndex && totals.vertices <= kMaxIndex - first &&
                      totals.normals <= kMaxIndex && totals.uvs <= kMaxIndex;
    return fits ? SceneError::None : SceneError::TooLarge;
  }

  void write(WriteContext& io_context) override {
    const MaterialNames& names = io_context.survey.names;
    const SceneOptions& options = io_context.options;
    const ObjOptions& obj = options.obj;
    const bool library = names.used && !obj.libraryName.empty();
    if (library) io_context.report.materialLibrary = io_context.library;
    std::string mtllib = library ? "mtllib " + obj.libraryName : std::string();
    // The comment goes first, before the library; the lines are written as one.
    if (!obj.comment.empty()) mtllib = "# " + obj.comment + (library ? "\n" + mtllib : std::string());
    const Offsets start{obj.vertexOffset, 0, 0};
    // A building's engine extras have vertex counts known only once they are made, so the
    // buildings with extras are written in turn, each taking its index offsets from the last. So
    // is a single building: its own text is made on the threads instead.
    const bool extras = options.engine.adds();
    const bool city = io_context.survey.buildings > 1;
    if (obj.jobs > 1 && !extras && city) return writeOnThreads(io_context, mtllib, start);
    const std::vector<TriangleMesh> pieces = extras ? MakeTriangleMeshes(io_context.kit) : std::vector<TriangleMesh>();
    const std::vector<PieceLevel> pieceLevels = MakePieceLevels(io_context.kit, options.engine.lods);

    // One writer for the whole output, its full buffers written on a thread of its own.
    const std::unique_ptr<ObjWriter> writer = MakeObjWriter(io_context.out);
    writer->hugePieceHelper = obj.hugePieceHelper;
    if (!mtllib.empty()) WriteLine(*writer, mtllib);
    Offsets at = start;
    SceneBuilding building;
    std::uint64_t done = 0;
    std::uint64_t direct = 0;  // bytes the threads' text took to the output past the writer
    while (io_context.next(building)) {
      const bool levels = options.engine.lods > 0;
      if (levels) WriteLine(*writer, "o " + LevelName(building.name, 0));
      else if (obj.objectLines) WriteLine(*writer, "o " + building.name);
      at = obj.jobs > 1 ? WriteObjOnThreads(*writer, io_context.out, io_context.kit, building.plan, building.frame,
                                            at, names, obj.jobs, &direct)
                        : WriteObj(*writer, io_context.kit, building.plan, building.frame, at, names);
      if (extras) at = writeExtras(io_context, pieces, pieceLevels, building, *writer, at);
      if (options.progress) options.progress(++done, writer->out.bytes() + direct);
    }
    Flush(*writer);
  }

 private:
  // The building's extras, made in its own frame, written where it stands.
  static Offsets writeExtras(WriteContext& io_context, const std::vector<TriangleMesh>& i_pieces,
                             const std::vector<PieceLevel>& i_levels, const SceneBuilding& i_building,
                             ObjWriter& io_writer, const Offsets& i_at) {
    const EngineOptions& engine = io_context.options.engine;
    const EngineExtras extras =
        MakeWrittenExtras(io_context.kit, i_pieces, i_levels, i_building, engine, io_context.report);
    return WriteExtrasObj(io_writer, io_context.kit, i_building.plan, extras, i_building.name, i_building.frame,
                          i_at, io_context.survey.names);
  }

  static void writeOnThreads(WriteContext& io_context, const std::string& i_mtllib, const Offsets& i_start) {
    if (!i_mtllib.empty()) {
      const std::string line = i_mtllib + "\n";
      io_context.out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    CityObjOptions options;
    options.jobs = io_context.options.obj.jobs;
    options.objectLines = io_context.options.obj.objectLines;
    WriteCityObj(io_context.out, io_context.kit, io_context.survey.names, io_context.next, options, i_start,
                 io_context.options.progress);
  }
};

}  // namespace

std::unique_ptr<Writer> MakeObjFormat() { return std::make_unique<ObjFormat>(); }

}  // namespace Ostrel::Buildings
