// One building's OBJ text made block by block on threads: the blocks' spans, walked in turn, are
// the whole walk, and the text is the single writer's, byte for byte, whatever the threads and
// wherever the blocks are cut (inside a run of one material, after pieces without faces, at the
// end of a storey).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/scene/Materials.h>
#include "write/obj/ObjBlocks.h"
#include "ShippedKit.h"

namespace {

using namespace Ostrel::Buildings;

using TestSupport::kShipped;

// Requests whose plans fold differently: choices by storey and by cell, setbacks and a band of
// another style, the shrinking rings of a hip roof, a gable roof, no storey at all.
std::vector<Request> Requests() {
  std::vector<Request> requests;
  Request varied = MakeRequest("A", "NC", {"SC"}, {"WE"}, 6, 4, 5);
  varied.seed = 7;
  requests.push_back(varied);
  varied.varyByCell = true;
  requests.push_back(varied);
  Request stepped = MakeRequest("A", "SC", {"NA"}, {}, 7, 6, 6);
  stepped.setbacks = {{2, 1, 1, 1, 1}, {4, 1, 0, 0, 0}};
  stepped.bands = {{0, 1, "S"}};
  requests.push_back(stepped);
  Request hip = MakeRequest("A", "  ", {}, {}, 6, 5, 2);
  hip.roof = RoofShape::Hip;
  requests.push_back(hip);
  Request gable = MakeRequest("A", "EL", {}, {}, 3, 5, 1);
  gable.roof = RoofShape::Gable;
  requests.push_back(gable);
  requests.push_back(MakeRequest("A", "  ", {}, {}, 0, 0, 0));
  return requests;
}

// The shipped styles A and S, with the upper windows emptied: their runs are left out of the walk,
// and a piece with nothing must not move the offsets or the material a block's faces continue.
Kit EmptiedKit() {
  Kit kit = LoadKit(kShipped, {"A", "S"});
  for (Piece& piece : kit.pieces) {
    if (piece.name != "A_floor" && piece.name != "A_floor.1") continue;
    TestSupport::EmptyPiece(piece);
  }
  return kit;
}

bool SamePlacement(const Placement& i_a, const Placement& i_b) {
  return i_a.piece == i_b.piece && i_a.x == i_b.x && i_a.z == i_b.z && i_a.level == i_b.level &&
         i_a.step == i_b.step && i_a.rise == i_b.rise && i_a.xd == i_b.xd && i_a.zd == i_b.zd;
}

TEST(ObjBlocks, TheBlocksWalkedInTurnAreTheWholeWalkAndCountItsElements) {
  for (const Kit& kit : {LoadKit(kShipped, {"A", "S"}), EmptiedKit()}) {
    for (const Request& request : Requests()) {
      const Plan plan = MakePlan(request, kit);
      std::vector<Placement> whole;
      ForEachPlacement(plan, kit, [&](const Placement& i_placement) { whole.push_back(i_placement); });
      const detail::WalkedRuns walked = detail::WalkedRunsOf(plan, kit);
      const Offsets start{5, 6, 7};
      for (const std::uint64_t elements : {100u, 3000u, 1u << 20}) {
        const detail::ObjBlocks cut = detail::CutObjBlocks(plan, kit, walked, start, true, elements);
        ASSERT_FALSE(cut.blocks.empty()) << elements;
        std::vector<Placement> spans;
        Offsets at = start;
        for (const detail::ObjBlock& block : cut.blocks) {
          EXPECT_GT(block.span.placements, 0u);
          EXPECT_EQ(block.at.vertices, at.vertices);
          EXPECT_EQ(block.at.normals, at.normals);
          EXPECT_EQ(block.at.uvs, at.uvs);
          detail::ForEachInSpan(plan, walked, block.span, [&](const Placement& i_placement) {
            spans.push_back(i_placement);
            const Piece& piece = kit.piece(i_placement.piece);
            at = {at.vertices + piece.positions.size(), at.normals + piece.normals.size(), at.uvs + piece.uvs.size()};
          });
        }
        ASSERT_EQ(spans.size(), whole.size()) << elements;
        for (std::size_t i = 0; i < whole.size(); ++i) ASSERT_TRUE(SamePlacement(spans[i], whole[i])) << i;
        const Totals totals = CountPlan(plan, kit);
        EXPECT_EQ(cut.end.vertices, start.vertices + totals.vertices);
        EXPECT_EQ(cut.end.normals, start.normals + totals.normals);
        EXPECT_EQ(cut.end.uvs, start.uvs + totals.uvs);
      }
    }
  }
}

// The text of one building after a line of the writer's own, and a line after it, with the
// offsets it ends at as a last line.
std::string Written(const Kit& i_kit, const Plan& i_plan, const Frame& i_frame, const MaterialNames& i_names,
                    unsigned i_jobs, std::uint64_t i_elements) {
  std::ostringstream out;
  const std::unique_ptr<ObjWriter> writer = MakeObjWriter(out);
  WriteLine(*writer, "o before");
  const Offsets start{3, 0, 0};
  const Offsets end = i_jobs == 0 ? WriteObj(*writer, i_kit, i_plan, i_frame, start, i_names)
                                  : WriteObjOnThreads(*writer, out, i_kit, i_plan, i_frame, start, i_names,
                                                      i_jobs, nullptr, i_elements);
  WriteLine(*writer, "o after " + std::to_string(end.vertices) + " " + std::to_string(end.normals) + " " +
                         std::to_string(end.uvs));
  Flush(*writer);
  return out.str();
}

// Where two texts first differ, with the lines there; empty when they are the same. (A text of
// megabytes is not handed to the test framework's own comparison, which would take minutes.)
std::string Difference(const std::string& i_got, const std::string& i_expected) {
  if (i_got == i_expected) return std::string();
  std::size_t at = 0;
  while (at < i_got.size() && at < i_expected.size() && i_got[at] == i_expected[at]) ++at;
  const std::size_t line = i_expected.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t from = line == std::string::npos ? 0 : line + 1;
  return "at byte " + std::to_string(at) + ": \"" + i_got.substr(from, 60) + "\" instead of \"" +
         i_expected.substr(from, 60) + "\"";
}

TEST(ObjBlocks, TheSameBytesAsOneWriterWhateverTheThreadsAndTheBlocks) {
  const Frame turned = CityFrame(2.5, 1, -4, 30);
  for (const Kit& kit : {LoadKit(kShipped, {"A", "S"}), EmptiedKit()}) {
    for (const Request& request : Requests()) {
      const Plan plan = MakePlan(request, kit);
      // With and without usemtl lines.
      for (const MaterialNames& names : {NameMaterials(plan, kit), MaterialNames{}}) {
        const std::string one = Written(kit, plan, turned, names, 0, 0);
        for (const unsigned jobs : {1u, 2u, 3u, 8u}) {
          for (const std::uint64_t elements : {400u, 3000u}) {
            ASSERT_EQ(Difference(Written(kit, plan, turned, names, jobs, elements), one), "")
                << jobs << " " << elements;
          }
        }
        // Some pieces have more than 16 times 50 elements: the building's one writer writes it.
        // And the blocks the tool cuts: the whole of a small building is one.
        for (const std::uint64_t elements : {50u, 1u << 15}) {
          ASSERT_EQ(Difference(Written(kit, plan, turned, names, 2, elements), one), "") << elements;
        }
      }
    }
  }
}

}  // namespace
