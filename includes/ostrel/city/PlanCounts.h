#pragma once
// What a plan (Layout.h) places, listed and counted without walking it cell by cell: a plan
// without choices is counted on its folded form, at once. A placement with a choice among
// variants is counted on each storey where it repeats (its form changes from storey to storey),
// or in each cell when its choice varies by cell, so that counting costs time in proportion to
// the storeys or cells such placements fill; CountPlan with a limit and LeastPlaced answer for
// buildings too large to write before any such walk.

#include <cstdint>
#include <limits>
#include <vector>

#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>

namespace Ostrel::City {

// Every piece the plan places, each once, in the order of first placement. With choices, the
// plan is walked only until every form that can still appear has appeared.
std::vector<PieceId> PiecesInOrder(const Plan& i_plan);

// The elements of every placement, summed (saturating).
Totals CountPlan(const Plan& i_plan, const Kit& i_kit);

// The same, exact while the vertices stay at or under i_limit; once they pass it, the vertices
// over i_limit and the other totals not exact. It answers at once when the smallest forms of
// every choice pass the limit; otherwise it walks the choices, stopping when the vertices pass.
Totals CountPlan(const Plan& i_plan, const Kit& i_kit, std::uint64_t i_limit);

// How many times the plan places each piece, by PieceId (saturating).
std::vector<std::uint64_t> CountPieces(const Plan& i_plan, const Kit& i_kit);

// The least that the plan's placements weigh in all, whatever their choices take: i_weigh(piece)
// summed over every placement, with the lightest form for a placement with a choice (saturating).
// Folded: it costs the same for every size of building.
template <typename Weigh>
std::uint64_t LeastPlaced(const Plan& i_plan, Weigh&& i_weigh);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// A placement of a run moved to its k-th repeat within the r-th repeat of its block, as the walk
// puts it.
inline Placement MovedTo(const Placement& i_placement, const Block& i_block, std::int64_t i_r,
                         const Run& i_run, std::int64_t i_k) {
  Placement moved = i_placement;
  moved.x += i_r * i_block.dx + i_k * i_run.dx;
  moved.z += i_k * i_run.dz;
  moved.level += i_r * i_block.dlevel;
  return moved;
}

// Calls i_add(piece, times) for a placement with a choice: once per storey, or once per cell when
// the choice varies by cell. False when i_add asked to stop.
template <typename Add>
bool TallyChoice(const Plan& i_plan, const Block& i_block, const Run& i_run, const Placement& i_placement,
                 Add& i_add) {
  const Choice& choice = i_plan.choices[i_placement.choice - 1];
  if (!choice.byCell) {
    // Repeats of the block on one storey (the lines of the roof cap) take one form.
    const bool eachStorey = i_block.dlevel != 0;
    const std::int64_t steps = eachStorey ? i_block.repeats : 1;
    const std::uint64_t times = SatMul(static_cast<std::uint64_t>(i_run.repeats),
                                       eachStorey ? 1 : static_cast<std::uint64_t>(i_block.repeats));
    for (std::int64_t r = 0; r < steps; ++r) {
      if (!i_add(PlacedPiece(i_plan, MovedTo(i_placement, i_block, r, i_run, 0)), times)) return false;
    }
    return true;
  }
  for (std::int64_t r = 0; r < i_block.repeats; ++r) {
    for (std::int64_t k = 0; k < i_run.repeats; ++k) {
      if (!i_add(PlacedPiece(i_plan, MovedTo(i_placement, i_block, r, i_run, k)), 1)) return false;
    }
  }
  return true;
}

// Calls i_add(piece, times) until it returns false, so that the times given for each piece sum to
// how often the plan places it: a placement without a choice once, with all its repeats.
template <typename Add>
void TallyPlan(const Plan& i_plan, Add&& i_add) {
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      const std::uint64_t times =
          SatMul(static_cast<std::uint64_t>(block.repeats), static_cast<std::uint64_t>(run.repeats));
      for (const Placement& placement : run.period) {
        if (placement.choice == 0) {
          if (!i_add(placement.piece, times)) return;
        } else if (!TallyChoice(i_plan, block, run, placement, i_add)) {
          return;
        }
      }
    }
  }
}

// Whether every piece of i_pieces is marked in i_seen (indexed by PieceId).
inline bool AllSeen(const std::vector<PieceId>& i_pieces, const std::vector<bool>& i_seen) {
  for (const PieceId piece : i_pieces) {
    if (!i_seen[piece]) return false;
  }
  return true;
}

// The pieces a run may place: its own, and every form of its choices, each once.
inline std::vector<PieceId> Candidates(const Plan& i_plan, const Run& i_run) {
  std::vector<PieceId> pieces;
  for (const Placement& placement : i_run.period) {
    if (placement.choice == 0) {
      pieces.push_back(placement.piece);
    } else {
      const std::vector<PieceId>& forms = i_plan.choices[placement.choice - 1].forms;
      pieces.insert(pieces.end(), forms.begin(), forms.end());
    }
  }
  return pieces;
}

// Walks one block in output order, noting each new piece in io_pieces, until every candidate of
// the block has been seen. Repeats that cannot place anything new are not walked: the repeats of
// a run when none of its choices varies by cell, the repeats of a block when none changes storey.
inline void NoteBlock(const Plan& i_plan, const Block& i_block, std::vector<bool>& io_seen,
                      std::vector<PieceId>& io_pieces) {
  std::vector<std::vector<PieceId>> candidates;
  std::vector<bool> byCell;
  bool varies = false;
  for (const Run& run : i_block.runs) {
    candidates.push_back(Candidates(i_plan, run));
    bool cells = false;
    for (const Placement& placement : run.period) {
      if (placement.choice == 0) continue;
      cells = cells || i_plan.choices[placement.choice - 1].byCell;
      varies = varies || i_block.dlevel != 0 || cells;
    }
    byCell.push_back(cells);
  }
  const std::int64_t blockSteps = varies ? i_block.repeats : 1;
  for (std::int64_t r = 0; r < blockSteps; ++r) {
    bool done = true;
    for (std::size_t i = 0; i < i_block.runs.size(); ++i) {
      const Run& run = i_block.runs[i];
      const std::int64_t runSteps = byCell[i] ? run.repeats : 1;
      for (std::int64_t k = 0; k < runSteps && !AllSeen(candidates[i], io_seen); ++k) {
        for (const Placement& placement : run.period) {
          const PieceId piece = PlacedPiece(i_plan, MovedTo(placement, i_block, r, run, k));
          if (io_seen[piece]) continue;
          io_seen[piece] = true;
          io_pieces.push_back(piece);
        }
      }
      done = done && AllSeen(candidates[i], io_seen);
    }
    if (done) return;
  }
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline std::vector<PieceId> PiecesInOrder(const Plan& i_plan) {
  PieceId largest = 0;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const PieceId piece : detail::Candidates(i_plan, run)) largest = piece > largest ? piece : largest;
    }
  }
  std::vector<bool> seen(static_cast<std::size_t>(largest) + 1, false);
  std::vector<PieceId> pieces;
  for (const Block& block : i_plan.blocks) detail::NoteBlock(i_plan, block, seen, pieces);
  return pieces;
}

template <typename Weigh>
std::uint64_t LeastPlaced(const Plan& i_plan, Weigh&& i_weigh) {
  std::uint64_t total = 0;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      const std::uint64_t times =
          detail::SatMul(static_cast<std::uint64_t>(block.repeats), static_cast<std::uint64_t>(run.repeats));
      for (const Placement& placement : run.period) {
        std::uint64_t weight = 0;
        if (placement.choice == 0) {
          weight = i_weigh(placement.piece);
        } else {
          weight = std::numeric_limits<std::uint64_t>::max();
          for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
            const std::uint64_t w = i_weigh(form);
            weight = w < weight ? w : weight;
          }
        }
        total = detail::SatAdd(total, detail::SatMul(times, weight));
      }
    }
  }
  return total;
}

inline Totals CountPlan(const Plan& i_plan, const Kit& i_kit, std::uint64_t i_limit) {
  const Totals least{LeastPlaced(i_plan, [&](PieceId i_id) { return i_kit.piece(i_id).positions.size(); }),
                     LeastPlaced(i_plan, [&](PieceId i_id) { return i_kit.piece(i_id).normals.size(); }),
                     LeastPlaced(i_plan, [&](PieceId i_id) { return i_kit.piece(i_id).uvs.size(); })};
  // Without choices the least is all there is.
  if (i_plan.choices.empty() || least.vertices > i_limit) return least;
  Totals totals;
  detail::TallyPlan(i_plan, [&](PieceId i_piece, std::uint64_t i_times) {
    const Piece& piece = i_kit.piece(i_piece);
    totals.vertices = detail::SatAdd(totals.vertices, detail::SatMul(i_times, piece.positions.size()));
    totals.normals = detail::SatAdd(totals.normals, detail::SatMul(i_times, piece.normals.size()));
    totals.uvs = detail::SatAdd(totals.uvs, detail::SatMul(i_times, piece.uvs.size()));
    return totals.vertices <= i_limit;
  });
  return totals;
}

inline Totals CountPlan(const Plan& i_plan, const Kit& i_kit) {
  return CountPlan(i_plan, i_kit, std::numeric_limits<std::uint64_t>::max());
}

inline std::vector<std::uint64_t> CountPieces(const Plan& i_plan, const Kit& i_kit) {
  std::vector<std::uint64_t> counts(i_kit.pieces.size(), 0);
  detail::TallyPlan(i_plan, [&](PieceId i_piece, std::uint64_t i_times) {
    counts[i_piece] = detail::SatAdd(counts[i_piece], i_times);
    return true;
  });
  return counts;
}

}  // namespace Ostrel::City
