// The OBJ format: the buildings as OBJ text, after the line that names their material library.

#include <cstdint>
#include <memory>
#include <string>

#include <ostrel/scene/Scene.h>

#include "write/Writer.h"
#include "write/obj/ObjCity.h"
#include "write/obj/ObjWriter.h"

namespace Ostrel::City {

namespace {

class ObjFormat : public Writer {
 public:
  SceneError check(const SceneSurvey& i_survey, const SceneOptions& i_options) const override {
    const Totals& totals = i_survey.totals;
    const std::uint64_t first = i_options.vertexOffset;
    const bool fits = first <= kMaxIndex && totals.vertices <= kMaxIndex - first &&
                      totals.normals <= kMaxIndex && totals.uvs <= kMaxIndex;
    return fits ? SceneError::None : SceneError::TooLarge;
  }

  void write(WriteContext& io_context) override {
    const MaterialNames& names = io_context.survey.names;
    const SceneOptions& options = io_context.options;
    const bool library = names.used && !options.libraryName.empty();
    if (library) io_context.report.materialLibrary = io_context.library;
    const std::string mtllib = library ? "mtllib " + options.libraryName : std::string();
    const Offsets start{options.vertexOffset, 0, 0};
    if (options.jobs > 1) return writeOnThreads(io_context, mtllib, start);

    // One writer for the whole output, its full buffers written on a thread of its own.
    const std::unique_ptr<ObjWriter> writer = MakeObjWriter(io_context.out);
    if (library) WriteLine(*writer, mtllib);
    Offsets at = start;
    SceneBuilding building;
    std::uint64_t done = 0;
    while (io_context.next(building)) {
      if (options.objectLines) WriteLine(*writer, "o " + building.name);
      at = WriteObj(*writer, io_context.kit, building.plan, building.frame, at, names);
      if (options.progress) options.progress(++done, writer->out.bytes());
    }
    Flush(*writer);
  }

 private:
  static void writeOnThreads(WriteContext& io_context, const std::string& i_mtllib, const Offsets& i_start) {
    if (!i_mtllib.empty()) {
      const std::string line = i_mtllib + "\n";
      io_context.out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    CityObjOptions options;
    options.jobs = io_context.options.jobs;
    options.objectLines = io_context.options.objectLines;
    WriteCityObj(io_context.out, io_context.kit, io_context.survey.names, io_context.next, options, i_start,
                 io_context.options.progress);
  }
};

}  // namespace

std::unique_ptr<Writer> MakeObjFormat() { return std::make_unique<ObjFormat>(); }

}  // namespace Ostrel::City
