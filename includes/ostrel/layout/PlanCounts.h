#pragma once
// What a plan (Layout.h) places, listed and counted without walking it cell by cell: a plan
// without choices is counted on its folded form, at once. A placement with a choice among
// variants is counted on each storey where it repeats (its form changes from storey to storey),
// or in each cell when its choice varies by cell, so that counting costs time in proportion to
// the storeys or cells such placements fill; CountPlan with a limit and LeastPlaced answer for
// buildings too large to write before any such walk.

#include <cstdint>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings {

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

// The least that the plan's placements weigh in all, whatever their choices take: the weight of
// each placed piece (i_weights, by PieceId) summed over every placement, with the lightest form for
// a placement with a choice (saturating). Folded: it costs the same for every size of building.
std::uint64_t LeastPlaced(const Plan& i_plan, const std::vector<std::uint64_t>& i_weights);

// Adds the pieces i_plan places to io_pieces, those not in it yet, in the order of first
// placement: the pieces of many buildings, each once, in the order they first need them.
void AddPieces(const Plan& i_plan, std::vector<PieceId>& io_pieces);

// A plan that places each of i_pieces once, in that order, at the origin: what the material
// functions (Materials.h) read to serve many buildings at once.
Plan PiecesPlan(const std::vector<PieceId>& i_pieces);

}  // namespace Ostrel::Buildings
