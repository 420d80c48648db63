// Counting: what a scene holds, as glTF would draw it, without writing anything.

#include <cstdint>
#include <memory>
#include <vector>

#include <ostrel/utils/Numbers.h>

#include "write/Writer.h"
#include "write/gltf/GltfDocument.h"
#include "write/gltf/GltfMesh.h"

namespace Ostrel::City {

namespace {

class CountFormat : public Writer {
 public:
  SceneError check(const SceneSurvey&, const SceneOptions&) const override { return SceneError::None; }

  void write(WriteContext& io_context) override {
    const std::vector<GltfPiece> pieces = MakeGltfPieces(io_context.kit);
    SceneBuilding building;
    while (io_context.next(building)) {
      const std::vector<std::uint64_t> counts = detail::PlacementCounts(building.plan, io_context.kit);
      for (PieceId id = 0; id < counts.size(); ++id) {
        for (const GltfPart& part : pieces[id].parts) {
          io_context.report.triangles = Numbers::SatAdd(io_context.report.triangles,
                                                        Numbers::SatMul(counts[id], part.indices.size() / 3));
        }
      }
    }
  }
};

}  // namespace

std::unique_ptr<Writer> MakeCountFormat() { return std::make_unique<CountFormat>(); }

}  // namespace Ostrel::City
