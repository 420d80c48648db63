#pragma once
// The walk of a plan (Layout.h) taken up anywhere: a place in it, and a walk that starts at a
// place and stops when told. Writers that cut one building into spans of placements, to make
// their text on several threads, walk each span alone; the spans, walked one after the other,
// visit every placement that ForEachPlacement with the kit visits, in the same order.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings::detail {

// A place in the walk: the placement the walk comes to next, by the indices of its block, the
// block's repeat, the run, the run's repeat and the placement in the run's period (all 0-based).
struct WalkPlace {
  std::size_t block = 0;
  std::int64_t r = 0;
  std::size_t run = 0;
  std::int64_t k = 0;
  std::size_t slot = 0;
};

// By block, then run: whether the walk passes the run (1) or leaves it out (0), as
// ForEachPlacement with a kit leaves out the runs whose pieces are all empty.
using WalkedRuns = std::vector<std::vector<char>>;

inline WalkedRuns WalkedRunsOf(const Plan& i_plan, const Kit& i_kit) {
  WalkedRuns walked;
  walked.reserve(i_plan.blocks.size());
  for (const Block& block : i_plan.blocks) {
    walked.emplace_back();
    for (const Run& run : block.runs) walked.back().push_back(RunIsEmpty(run, i_plan, i_kit) ? 0 : 1);
  }
  return walked;
}

// Walks the plan from i_from: i_visit(place, placement) for each placement, its place the one it
// stands at, until i_visit returns false or the plan ends. Returns the place after the last
// placement visited, where a walk goes on.
template <typename Visit>
WalkPlace WalkFrom(const Plan& i_plan, const WalkedRuns& i_walked, WalkPlace i_from, Visit&& i_visit) {
  WalkPlace at = i_from;
  // Each loop starts from the place given, and its inner ones from 0 once it moves on.
  for (; at.block < i_plan.blocks.size(); ++at.block, at.r = 0) {
    const Block& block = i_plan.blocks[at.block];
    const std::vector<char>& walked = i_walked[at.block];
    for (; at.r < block.repeats; ++at.r, at.run = 0) {
      for (; at.run < block.runs.size(); ++at.run, at.k = 0) {
        if (!walked[at.run]) continue;
        const Run& run = block.runs[at.run];
        const std::int64_t repeats = RepeatsAt(run, at.r);
        for (; at.k < repeats; ++at.k, at.slot = 0) {
          while (at.slot < run.period.size()) {
            const Placement placement = Walked(i_plan, block, at.r, run, at.k, run.period[at.slot]);
            const WalkPlace here = at;
            ++at.slot;
            if (!i_visit(here, placement)) return at;
          }
        }
      }
    }
  }
  return at;
}

// A run of consecutive placements of the walk: the place of the first, and how many.
struct PlanSpan {
  WalkPlace from;
  std::uint64_t placements = 0;
};

// Calls i_visit(placement) for each placement of the span.
template <typename Visit>
void ForEachInSpan(const Plan& i_plan, const WalkedRuns& i_walked, const PlanSpan& i_span, Visit&& i_visit) {
  std::uint64_t left = i_span.placements;
  if (left == 0) return;
  WalkFrom(i_plan, i_walked, i_span.from, [&](const WalkPlace&, const Placement& i_placement) {
    i_visit(i_placement);
    return --left > 0;
  });
}

}  // namespace Ostrel::Buildings::detail
