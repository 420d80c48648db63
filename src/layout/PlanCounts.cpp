// Listing and counting what a plan places, on its folded form.

#include <ostrel/layout/PlanCounts.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include <ostrel/utils/Numbers.h>

namespace Ostrel::Buildings {

using Numbers::SatAdd;
using Numbers::SatMul;

namespace {

// How many times a run places its period over all the repeats of its block (saturating): the sum
// of repeats - shrink r for r from 0 while it is positive, in closed form.
std::uint64_t TotalRepeats(const Block& i_block, const Run& i_run) {
  if (i_block.repeats <= 0 || i_run.repeats <= 0) return 0;
  const auto blocks = static_cast<std::uint64_t>(i_block.repeats);
  const auto repeats = static_cast<std::uint64_t>(i_run.repeats);
  if (i_run.shrink <= 0) return SatMul(blocks, repeats);
  const auto shrink = static_cast<std::uint64_t>(i_run.shrink);
  // The block repeats whose run is not yet empty: repeats - shrink r > 0.
  const std::uint64_t placing = std::min(blocks, (repeats + shrink - 1) / shrink);
  const std::uint64_t pairs = placing % 2 == 0 ? SatMul(placing / 2, placing - 1) : SatMul(placing, (placing - 1) / 2);
  return SatMul(placing, repeats) - SatMul(shrink, pairs);
}

// Calls i_add(piece, times) for a placement with a choice: once per storey, or once per cell when
// the choice varies by cell. False when i_add asked to stop.
template <typename Add>
bool TallyChoice(const Plan& i_plan, const Block& i_block, const Run& i_run, const Placement& i_placement,
                 Add& i_add) {
  const Choice& choice = i_plan.choices[i_placement.choice - 1];
  if (!choice.byCell) {
    // Repeats of the block on one storey (the lines of the roof cap, a pitched roof's rows) take
    // one form.
    if (i_run.blevel == 0) {
      const std::uint64_t times = TotalRepeats(i_block, i_run);
      return times == 0 || i_add(PlacedPiece(i_plan, MovedTo(i_placement, i_block, 0, i_run, 0)), times);
    }
    for (std::int64_t r = 0; r < i_block.repeats; ++r) {
      const std::int64_t times = RepeatsAt(i_run, r);
      if (times == 0) continue;
      if (!i_add(PlacedPiece(i_plan, MovedTo(i_placement, i_block, r, i_run, 0)), static_cast<std::uint64_t>(times)))
        return false;
    }
    return true;
  }
  for (std::int64_t r = 0; r < i_block.repeats; ++r) {
    const std::int64_t repeats = RepeatsAt(i_run, r);
    for (std::int64_t k = 0; k < repeats; ++k) {
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
      const std::uint64_t times = TotalRepeats(block, run);
      if (times == 0) continue;
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
bool AllSeen(const std::vector<PieceId>& i_pieces, const std::vector<bool>& i_seen) {
  for (const PieceId piece : i_pieces) {
    if (!i_seen[piece]) return false;
  }
  return true;
}

// The pieces a run may place: its own, and every form of its choices, each once.
std::vector<PieceId> Candidates(const Plan& i_plan, const Run& i_run) {
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

// Whether i_known(piece) holds for every piece the plan may place, every form of its choices
// included.
template <typename Known>
bool AllKnown(const Plan& i_plan, const Known& i_known) {
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const Placement& placement : run.period) {
        if (placement.choice == 0) {
          if (!i_known(placement.piece)) return false;
          continue;
        }
        for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
          if (!i_known(form)) return false;
        }
      }
    }
  }
  return true;
}

// Walks one block in output order, noting each new piece in io_pieces, until every candidate of
// the block has been seen. Repeats that cannot place anything new are not walked: the repeats of
// a run when none of its choices varies by cell, the repeats of a block when none changes storey.
void NoteBlock(const Plan& i_plan, const Block& i_block, std::vector<bool>& io_seen,
               std::vector<PieceId>& io_pieces) {
  std::vector<std::vector<PieceId>> candidates;
  std::vector<bool> byCell;
  bool varies = false;
  for (const Run& run : i_block.runs) {
    // A run that places nothing has no candidates.
    candidates.push_back(TotalRepeats(i_block, run) > 0 ? Candidates(i_plan, run) : std::vector<PieceId>());
    bool cells = false;
    for (const Placement& placement : run.period) {
      if (placement.choice == 0) continue;
      cells = cells || i_plan.choices[placement.choice - 1].byCell;
      varies = varies || run.blevel != 0 || cells;
    }
    byCell.push_back(cells);
  }
  const std::int64_t blockSteps = varies ? i_block.repeats : 1;
  for (std::int64_t r = 0; r < blockSteps; ++r) {
    bool done = true;
    for (std::size_t i = 0; i < i_block.runs.size(); ++i) {
      const Run& run = i_block.runs[i];
      const std::int64_t repeats = RepeatsAt(run, r);
      const std::int64_t runSteps = byCell[i] ? repeats : std::min<std::int64_t>(repeats, 1);
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

// A piece's elements of each kind.
Totals ElementsOf(const Piece& i_piece) {
  return {i_piece.positions.size(), i_piece.normals.size(), i_piece.uvs.size()};
}

// LeastPlaced of the three kinds of elements at once, each kind with its own lightest form.
Totals LeastElements(const Plan& i_plan, const Kit& i_kit) {
  constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
  Totals total;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      const std::uint64_t times = TotalRepeats(block, run);
      for (const Placement& placement : run.period) {
        Totals least{kNone, kNone, kNone};
        if (placement.choice == 0) {
          least = ElementsOf(i_kit.piece(placement.piece));
        } else {
          for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
            const Totals elements = ElementsOf(i_kit.piece(form));
            least = {std::min(least.vertices, elements.vertices), std::min(least.normals, elements.normals),
                     std::min(least.uvs, elements.uvs)};
          }
        }
        total = {SatAdd(total.vertices, SatMul(times, least.vertices)),
                 SatAdd(total.normals, SatMul(times, least.normals)), SatAdd(total.uvs, SatMul(times, least.uvs))};
      }
    }
  }
  return total;
}

}  // namespace

std::vector<PieceId> PiecesInOrder(const Plan& i_plan) {
  PieceId largest = 0;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      for (const PieceId piece : Candidates(i_plan, run)) largest = piece > largest ? piece : largest;
    }
  }
  std::vector<bool> seen(static_cast<std::size_t>(largest) + 1, false);
  std::vector<PieceId> pieces;
  for (const Block& block : i_plan.blocks) NoteBlock(i_plan, block, seen, pieces);
  return pieces;
}

std::uint64_t LeastPlaced(const Plan& i_plan, const std::vector<std::uint64_t>& i_weights) {
  std::uint64_t total = 0;
  for (const Block& block : i_plan.blocks) {
    for (const Run& run : block.runs) {
      const std::uint64_t times = TotalRepeats(block, run);
      for (const Placement& placement : run.period) {
        std::uint64_t weight = 0;
        if (placement.choice == 0) {
          weight = i_weights[placement.piece];
        } else {
          weight = std::numeric_limits<std::uint64_t>::max();
          for (const PieceId form : i_plan.choices[placement.choice - 1].forms) {
            weight = std::min(weight, i_weights[form]);
          }
        }
        total = SatAdd(total, SatMul(times, weight));
      }
    }
  }
  return total;
}

Totals CountPlan(const Plan& i_plan, const Kit& i_kit, std::uint64_t i_limit) {
  const Totals least = LeastElements(i_plan, i_kit);
  // Without choices the least is all there is.
  if (i_plan.choices.empty() || least.vertices > i_limit) return least;
  Totals totals;
  TallyPlan(i_plan, [&](PieceId i_piece, std::uint64_t i_times) {
    const Piece& piece = i_kit.piece(i_piece);
    totals.vertices = SatAdd(totals.vertices, SatMul(i_times, piece.positions.size()));
    totals.normals = SatAdd(totals.normals, SatMul(i_times, piece.normals.size()));
    totals.uvs = SatAdd(totals.uvs, SatMul(i_times, piece.uvs.size()));
    return totals.vertices <= i_limit;
  });
  return totals;
}

Totals CountPlan(const Plan& i_plan, const Kit& i_kit) {
  return CountPlan(i_plan, i_kit, std::numeric_limits<std::uint64_t>::max());
}

std::vector<std::uint64_t> CountPieces(const Plan& i_plan, const Kit& i_kit) {
  std::vector<std::uint64_t> counts(i_kit.pieces.size(), 0);
  TallyPlan(i_plan, [&](PieceId i_piece, std::uint64_t i_times) {
    counts[i_piece] = SatAdd(counts[i_piece], i_times);
    return true;
  });
  return counts;
}

void AddPieces(const Plan& i_plan, std::vector<PieceId>& io_pieces) {
  // Past a city's first few buildings every piece a plan can place is known already: then the
  // plan is not walked at all.
  PieceId largest = 0;
  for (const PieceId piece : io_pieces) largest = std::max(largest, piece);
  std::vector<bool> known(static_cast<std::size_t>(largest) + 1, false);
  for (const PieceId piece : io_pieces) known[piece] = true;
  const auto isKnown = [&](PieceId i_piece) { return i_piece <= largest && known[i_piece]; };
  if (AllKnown(i_plan, isKnown)) return;
  for (const PieceId piece : PiecesInOrder(i_plan)) {
    if (!isKnown(piece)) io_pieces.push_back(piece);
  }
}

Plan PiecesPlan(const std::vector<PieceId>& i_pieces) {
  Run run;
  for (const PieceId piece : i_pieces) {
    Placement placement;
    placement.piece = piece;
    run.period.push_back(placement);
  }
  Plan plan;
  plan.blocks.push_back({{run}});
  return plan;
}

}  // namespace Ostrel::Buildings
