// A footprint as slabs of rows: set operations, and what keeps a set of cells from being a
// building. Every operation works slab by slab and span by span, never cell by cell.

#include <ostrel/layout/Footprint.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "layout/FootprintParts.h"

namespace Ostrel::Buildings {

namespace {
namespace slabs {

using Spans = std::vector<CellSpan>;

// Whether cell z is in the sorted spans.
bool SpansContain(const Spans& i_spans, std::int64_t i_z) {
  const auto it = std::upper_bound(i_spans.begin(), i_spans.end(), i_z,
                                   [](std::int64_t z, const CellSpan& s) { return z < s.z0; });
  return it != i_spans.begin() && std::prev(it)->z1 >= i_z;
}

// The spans of cells in a or in b, as i_keep(inA, inB) says, sorted and merged.
template <typename Keep>
Spans Combine(const Spans& i_a, const Spans& i_b, Keep&& i_keep) {
  // Every cut where membership may change: a span's first cell and the cell after its last.
  std::vector<std::int64_t> cuts;
  cuts.reserve(2 * (i_a.size() + i_b.size()));
  for (const Spans* spans : {&i_a, &i_b}) {
    for (const CellSpan& s : *spans) {
      cuts.push_back(s.z0);
      cuts.push_back(s.z1 + 1);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  Spans out;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    if (!i_keep(SpansContain(i_a, cuts[i]), SpansContain(i_b, cuts[i]))) continue;
    if (!out.empty() && out.back().z1 + 1 == cuts[i]) {
      out.back().z1 = cuts[i + 1] - 1;
    } else {
      out.push_back({cuts[i], cuts[i + 1] - 1});
    }
  }
  return out;
}

// The spans of row x (none where no slab covers it).
const Spans& RowSpans(const Footprint& i_footprint, std::int64_t i_x) {
  static const Spans kNone;
  // Slabs run by falling x: the first slab whose x0 is at or below x.
  const auto it = std::lower_bound(i_footprint.slabs.begin(), i_footprint.slabs.end(), i_x,
                                   [](const CellSlab& s, std::int64_t x) { return s.x0 > x; });
  if (it == i_footprint.slabs.end() || it->x1 < i_x) return kNone;
  return it->spans;
}

// Canonical form: no empty slab, touching slabs of equal spans merged.
Footprint Canonical(std::vector<CellSlab> i_slabs) {
  Footprint out;
  for (CellSlab& slab : i_slabs) {
    if (slab.spans.empty()) continue;
    if (!out.slabs.empty() && out.slabs.back().x0 == slab.x1 + 1 && out.slabs.back().spans == slab.spans) {
      out.slabs.back().x0 = slab.x0;
      continue;
    }
    out.slabs.push_back(std::move(slab));
  }
  return out;
}

// The rows of a and b, cut where either changes, combined row range by row range.
template <typename Keep>
Footprint CombineSets(const Footprint& i_a, const Footprint& i_b, Keep&& i_keep) {
  std::vector<std::int64_t> cuts;  // the first row above each slab, and each slab's lowest row
  for (const Footprint* f : {&i_a, &i_b}) {
    for (const CellSlab& s : f->slabs) {
      cuts.push_back(s.x1 + 1);
      cuts.push_back(s.x0);
    }
  }
  std::sort(cuts.begin(), cuts.end(), std::greater<>());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  std::vector<CellSlab> out;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const std::int64_t x1 = cuts[i] - 1, x0 = cuts[i + 1];
    CellSlab slab{x0, x1, Combine(RowSpans(i_a, x1), RowSpans(i_b, x1), i_keep)};
    out.push_back(std::move(slab));
  }
  return Canonical(std::move(out));
}

}  // namespace slabs
}  // namespace

bool operator==(const CellSpan& i_a, const CellSpan& i_b) { return i_a.z0 == i_b.z0 && i_a.z1 == i_b.z1; }
bool operator==(const CellSlab& i_a, const CellSlab& i_b) {
  return i_a.x0 == i_b.x0 && i_a.x1 == i_b.x1 && i_a.spans == i_b.spans;
}
bool operator==(const Footprint& i_a, const Footprint& i_b) { return i_a.slabs == i_b.slabs; }

bool IsEmpty(const Footprint& i_footprint) { return i_footprint.slabs.empty(); }

bool ContainsCell(const Footprint& i_footprint, std::int64_t i_x, std::int64_t i_z) {
  return slabs::SpansContain(slabs::RowSpans(i_footprint, i_x), i_z);
}

CellRect BoundsOf(const Footprint& i_footprint) {
  if (i_footprint.slabs.empty()) return {};
  CellRect bounds{i_footprint.slabs.back().x0, i_footprint.slabs.front().x1, std::numeric_limits<std::int64_t>::max(),
                  std::numeric_limits<std::int64_t>::min()};
  for (const CellSlab& slab : i_footprint.slabs) {
    bounds.z0 = std::min(bounds.z0, slab.spans.front().z0);
    bounds.z1 = std::max(bounds.z1, slab.spans.back().z1);
  }
  return bounds;
}

std::uint64_t CellCount(const Footprint& i_footprint) {
  std::uint64_t count = 0;
  for (const CellSlab& slab : i_footprint.slabs) {
    const auto rows = static_cast<std::uint64_t>(slab.x1 - slab.x0 + 1);
    for (const CellSpan& span : slab.spans) {
      const auto cells = static_cast<std::uint64_t>(span.z1 - span.z0 + 1);
      if (cells != 0 && rows > (std::numeric_limits<std::uint64_t>::max() - count) / cells)
        return std::numeric_limits<std::uint64_t>::max();
      count += rows * cells;
    }
  }
  return count;
}

bool IsRectangle(const Footprint& i_footprint) {
  return i_footprint.slabs.size() == 1 && i_footprint.slabs[0].spans.size() == 1;
}

Footprint RectangleFootprint(std::int64_t i_x0, std::int64_t i_z0, std::int64_t i_cellsAlongX,
                             std::int64_t i_cellsAlongZ) {
  if (i_cellsAlongX <= 0 || i_cellsAlongZ <= 0) return {};
  return {{{i_x0 - i_cellsAlongX + 1, i_x0, {{i_z0, i_z0 + i_cellsAlongZ - 1}}}}};
}

Footprint FootprintOfRows(std::int64_t i_x, const std::vector<std::vector<CellSpan>>& i_rows) {
  std::vector<CellSlab> rows;
  for (std::size_t i = 0; i < i_rows.size(); ++i) {
    const std::int64_t x = i_x - static_cast<std::int64_t>(i);
    rows.push_back({x, x, slabs::Combine(i_rows[i], {}, [](bool a, bool) { return a; })});
  }
  return slabs::Canonical(std::move(rows));
}

Footprint Shifted(const Footprint& i_footprint, std::int64_t i_dx, std::int64_t i_dz) {
  Footprint out = i_footprint;
  for (CellSlab& slab : out.slabs) {
    slab.x0 += i_dx;
    slab.x1 += i_dx;
    for (CellSpan& span : slab.spans) {
      span.z0 += i_dz;
      span.z1 += i_dz;
    }
  }
  return out;
}

Footprint Intersection(const Footprint& i_a, const Footprint& i_b) {
  return slabs::CombineSets(i_a, i_b, [](bool a, bool b) { return a && b; });
}
Footprint Difference(const Footprint& i_a, const Footprint& i_b) {
  return slabs::CombineSets(i_a, i_b, [](bool a, bool b) { return a && !b; });
}
Footprint Union(const Footprint& i_a, const Footprint& i_b) {
  return slabs::CombineSets(i_a, i_b, [](bool a, bool b) { return a || b; });
}

Footprint NormalizedFootprint(const Footprint& i_footprint) {
  const CellRect bounds = BoundsOf(i_footprint);
  return Shifted(i_footprint, -bounds.x1, -bounds.z0);
}

std::vector<CellRect> Rectangles(const Footprint& i_footprint) {
  // Each span, run on downward while the touching slab below has the same span; a span already
  // taken by a rectangle from above is skipped.
  std::vector<CellRect> rects;
  const std::vector<CellSlab>& all = i_footprint.slabs;
  for (std::size_t s = 0; s < all.size(); ++s) {
    for (const CellSpan& span : all[s].spans) {
      const bool fromAbove = s > 0 && all[s - 1].x0 == all[s].x1 + 1 &&
                             std::find(all[s - 1].spans.begin(), all[s - 1].spans.end(), span) != all[s - 1].spans.end();
      if (fromAbove) continue;
      CellRect rect{all[s].x0, all[s].x1, span.z0, span.z1};
      for (std::size_t b = s + 1; b < all.size() && all[b].x1 + 1 == rect.x0; ++b) {
        if (std::find(all[b].spans.begin(), all[b].spans.end(), span) == all[b].spans.end()) break;
        rect.x0 = all[b].x0;
      }
      rects.push_back(rect);
    }
  }
  return rects;
}

namespace detail {

std::vector<FacadeRun> FacadeRuns(const Footprint& i_f) {
  std::vector<FacadeRun> runs;
  const std::vector<CellSlab>& all = i_f.slabs;
  static const std::vector<CellSpan> kNone;
  // North sides: a slab's top row where the row above has no cell; south: its bottom row.
  for (std::size_t s = 0; s < all.size(); ++s) {
    const bool touchAbove = s > 0 && all[s - 1].x0 == all[s].x1 + 1;
    const std::vector<CellSpan>& above = touchAbove ? all[s - 1].spans : kNone;
    for (const CellSpan& span : slabs::Combine(all[s].spans, above, [](bool a, bool b) { return a && !b; }))
      runs.push_back({'N', all[s].x1, span.z0, span.z1 - span.z0 + 1});
  }
  // East and west sides: each span's last and first cell, over the slab's rows, joined over
  // touching slabs where the span's end stays.
  for (const char side : {'E', 'W'}) {
    std::vector<FacadeRun> parts;
    for (const CellSlab& slab : all) {
      for (const CellSpan& span : slab.spans)
        parts.push_back({side, slab.x1, side == 'E' ? span.z1 : span.z0, slab.x1 - slab.x0 + 1});
    }
    std::sort(parts.begin(), parts.end(), [](const FacadeRun& a, const FacadeRun& b) {
      return a.z != b.z ? a.z < b.z : a.x > b.x;
    });
    for (const FacadeRun& part : parts) {
      FacadeRun& last = runs.back();
      if (last.side == side && last.z == part.z && last.x - last.cells == part.x) {
        last.cells += part.cells;
      } else {
        runs.push_back(part);
      }
    }
  }
  for (std::size_t s = 0; s < all.size(); ++s) {
    const bool touchBelow = s + 1 < all.size() && all[s + 1].x1 + 1 == all[s].x0;
    const std::vector<CellSpan>& below = touchBelow ? all[s + 1].spans : kNone;
    for (const CellSpan& span : slabs::Combine(all[s].spans, below, [](bool a, bool b) { return a && !b; }))
      runs.push_back({'S', all[s].x0, span.z0, span.z1 - span.z0 + 1});
  }
  // Order: N, E, S, W, as a rectangle's ring.
  std::stable_sort(runs.begin(), runs.end(), [](const FacadeRun& a, const FacadeRun& b) {
    const auto order = [](char c) { return c == 'N' ? 0 : c == 'E' ? 1 : c == 'S' ? 2 : 3; };
    return order(a.side) < order(b.side);
  });
  for (FacadeRun& run : runs) {
    const RunStep step = StepOf(run.side);
    const std::int64_t lastX = run.x + (run.cells - 1) * step.dx, lastZ = run.z + (run.cells - 1) * step.dz;
    // An end turns inward where the cell beyond it along the run is in the footprint.
    run.innerAtStart = ContainsCell(i_f, run.x - step.dx, run.z - step.dz);
    run.innerAtEnd = ContainsCell(i_f, lastX + step.dx, lastZ + step.dz);
  }
  return runs;
}

RunStep StepOf(char i_side) {
  // N and S runs count from west to east, E and W runs from north to south; each faces out.
  switch (i_side) {
    case 'N':
      return {0, 1, 1, 0};
    case 'S':
      return {0, 1, -1, 0};
    case 'E':
      return {-1, 0, 0, 1};
    default:
      return {-1, 0, 0, -1};
  }
}

std::vector<InnerCorner> InnerCorners(const Footprint& i_f, const std::vector<FacadeRun>& i_runs) {
  // Each inner corner ends one north or south run: the cell beyond that end, diagonally inside.
  std::vector<InnerCorner> corners;
  for (const FacadeRun& run : i_runs) {
    if (run.side != 'N' && run.side != 'S') continue;
    const std::int8_t out = run.side == 'N' ? 1 : -1;
    if (run.innerAtStart) corners.push_back({run.x, run.z - 1, out, 1});
    if (run.innerAtEnd) corners.push_back({run.x, run.z + run.cells, out, -1});
  }
  (void)i_f;
  return corners;
}

std::vector<bool> OuterRuns(const std::vector<FacadeRun>& i_runs) {
  // Each run is an edge of the outline between two corners of cells, walked with the building on
  // its right: N eastward, E southward, S westward, W northward. Corner (X, Z) lies between rows
  // X - 1 and X and columns Z - 1 and Z. Without pinches every corner starts one edge at most.
  struct Edge {
    std::int64_t fromX, fromZ, toX, toZ;
  };
  std::vector<Edge> edges;
  for (const FacadeRun& r : i_runs) {
    switch (r.side) {
      case 'N':
        edges.push_back({r.x + 1, r.z, r.x + 1, r.z + r.cells});
        break;
      case 'E':
        edges.push_back({r.x + 1, r.z + 1, r.x + 1 - r.cells, r.z + 1});
        break;
      case 'S':
        edges.push_back({r.x, r.z + r.cells, r.x, r.z});
        break;
      default:
        edges.push_back({r.x + 1 - r.cells, r.z, r.x + 1, r.z});
        break;
    }
  }
  std::vector<std::size_t> byStart(edges.size());
  std::iota(byStart.begin(), byStart.end(), 0);
  const auto before = [&](std::size_t a, std::size_t b) {
    return edges[a].fromX != edges[b].fromX ? edges[a].fromX < edges[b].fromX : edges[a].fromZ < edges[b].fromZ;
  };
  std::sort(byStart.begin(), byStart.end(), before);
  // The outline's loop holds the northernmost north run.
  std::size_t start = 0;
  for (std::size_t i = 0; i < i_runs.size(); ++i) {
    if (i_runs[i].side == 'N' && (i_runs[start].side != 'N' || i_runs[i].x > i_runs[start].x)) start = i;
  }
  std::vector<bool> outer(i_runs.size(), false);
  std::size_t at = start;
  while (at < edges.size() && !outer[at]) {
    outer[at] = true;
    const Edge& e = edges[at];
    const auto next = std::lower_bound(byStart.begin(), byStart.end(), at, [&](std::size_t i, std::size_t) {
      return edges[i].fromX != e.toX ? edges[i].fromX < e.toX : edges[i].fromZ < e.toZ;
    });
    if (next == byStart.end() || edges[*next].fromX != e.toX || edges[*next].fromZ != e.toZ) break;
    at = *next;
  }
  return outer;
}

}  // namespace detail

namespace {
namespace slabs {

CellFault Fault(std::string i_why, std::int64_t i_x, std::int64_t i_z, bool i_atCorner = false) {
  return {std::move(i_why), i_x, i_z, i_atCorner};
}

std::size_t Find(std::vector<std::size_t>& io_parent, std::size_t i) {
  while (io_parent[i] != i) i = io_parent[i] = io_parent[io_parent[i]];
  return i;
}

}  // namespace slabs
}  // namespace

CellFault CellSetFault(const Footprint& i_f) {
  using slabs::Fault;
  if (IsEmpty(i_f)) return Fault(": the footprint has no cells", 0, 0);
  const std::vector<CellSlab>& all = i_f.slabs;
  // 4-connected: spans of touching slabs that overlap along z are joined.
  std::vector<std::size_t> first(all.size() + 1, 0);
  for (std::size_t s = 0; s < all.size(); ++s) first[s + 1] = first[s] + all[s].spans.size();
  std::vector<std::size_t> parent(first.back());
  std::iota(parent.begin(), parent.end(), 0);
  for (std::size_t s = 0; s + 1 < all.size(); ++s) {
    if (all[s + 1].x1 + 1 != all[s].x0) continue;
    for (std::size_t i = 0; i < all[s].spans.size(); ++i) {
      for (std::size_t j = 0; j < all[s + 1].spans.size(); ++j) {
        const CellSpan &a = all[s].spans[i], &b = all[s + 1].spans[j];
        if (a.z0 <= b.z1 && b.z0 <= a.z1) parent[slabs::Find(parent, first[s] + i)] = slabs::Find(parent, first[s + 1] + j);
      }
    }
  }
  for (std::size_t s = 0; s < all.size(); ++s) {
    for (std::size_t i = 0; i < all[s].spans.size(); ++i) {
      if (slabs::Find(parent, first[s] + i) != slabs::Find(parent, 0))
        return Fault(": the cells are not 4-connected: this part is apart from the rest", all[s].x1, all[s].spans[i].z0);
    }
  }
  // A pinch: across two touching slabs, a span ending just where one below starts, or the reverse.
  for (std::size_t s = 0; s + 1 < all.size(); ++s) {
    if (all[s + 1].x1 + 1 != all[s].x0) continue;
    for (const CellSpan& a : all[s].spans) {
      for (const CellSpan& b : all[s + 1].spans) {
        const char* why = ": two cells meet only at this corner (a courtyard may not touch the outline or another "
                          "courtyard at a corner alone)";
        if (a.z1 + 1 == b.z0) return Fault(why, all[s].x0, b.z0, true);
        if (b.z1 + 1 == a.z0) return Fault(why, all[s].x0, a.z0, true);
      }
    }
  }
  return {};
}

CellFault FootprintFault(const Footprint& i_f) {
  using slabs::Fault;
  CellFault fault = CellSetFault(i_f);
  if (!fault.why.empty()) return fault;
  const std::vector<CellSlab>& all = i_f.slabs;
  // 1 cell wide across z: a span of one cell; across x: a row of one slab with no cell above or
  // below it.
  for (const CellSlab& slab : all) {
    for (const CellSpan& span : slab.spans) {
      if (span.z0 == span.z1) return Fault(": this part is 1 cell wide: every part needs 2 cells or more each way", slab.x1, span.z0);
    }
    if (slab.x0 != slab.x1) continue;
    const Footprint row{{slab}};
    const Footprint bare = Difference(Difference(row, Shifted(i_f, 1, 0)), Shifted(i_f, -1, 0));
    if (!IsEmpty(bare))
      return Fault(": this part is 1 cell wide: every part needs 2 cells or more each way", slab.x1,
                   bare.slabs[0].spans[0].z0);
  }
  const std::vector<detail::FacadeRun> runs = detail::FacadeRuns(i_f);
  for (const detail::FacadeRun& run : runs) {
    if (run.cells < 2) return Fault(": this side of the outline is 1 cell long: every side needs 2 cells or more", run.x, run.z);
  }
  for (const detail::InnerCorner& c : detail::InnerCorners(i_f, runs)) {
    const bool inside = ContainsCell(i_f, c.x - c.dx, c.z) && ContainsCell(i_f, c.x, c.z - c.dz) &&
                        ContainsCell(i_f, c.x - c.dx, c.z - c.dz);
    if (!inside) {
      return Fault(": the cell inside this inner corner is also at a facade or another inner corner: keep inner "
                   "corners 2 cells or more from other sides",
                   c.x, c.z);
    }
  }
  return {};
}

}  // namespace Ostrel::Buildings
