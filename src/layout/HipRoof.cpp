// The hip roof over any set of cells, ring by ring (HipRoof.h).

#include <ostrel/layout/HipRoof.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "layout/FootprintParts.h"

namespace Ostrel::Buildings {

// Named, so that its helpers stay apart from other files' in a unity build.
namespace hiprings {

// Here a row's cells are spans z0 .. z1 - 1, and a band's rows x0 .. x1 - 1, in order of x.
struct Span {
  std::int64_t z0 = 0, z1 = 0;
};
using Spans = std::vector<Span>;

struct CellBand {
  std::int64_t x0 = 0, x1 = 0;
  Spans spans;
};

std::vector<CellBand> BandsOf(const Footprint& i_footprint) {
  std::vector<CellBand> bands;
  for (auto slab = i_footprint.slabs.rbegin(); slab != i_footprint.slabs.rend(); ++slab) {
    CellBand band{slab->x0, slab->x1 + 1, {}};
    for (const CellSpan& span : slab->spans) band.spans.push_back({span.z0, span.z1 + 1});
    bands.push_back(std::move(band));
  }
  return bands;
}

bool SameSpans(const Spans& i_a, const Spans& i_b) {
  return std::equal(i_a.begin(), i_a.end(), i_b.begin(), i_b.end(),
                    [](const Span& i_p, const Span& i_q) { return i_p.z0 == i_q.z0 && i_p.z1 == i_q.z1; });
}

Spans Intersect(const Spans& i_a, const Spans& i_b) {
  Spans both;
  std::size_t i = 0, j = 0;
  while (i < i_a.size() && j < i_b.size()) {
    const std::int64_t z0 = std::max(i_a[i].z0, i_b[j].z0), z1 = std::min(i_a[i].z1, i_b[j].z1);
    if (z0 < z1) both.push_back({z0, z1});
    if (i_a[i].z1 < i_b[j].z1) ++i;
    else ++j;
  }
  return both;
}

// Each span less a cell at both ends.
Spans Shrink(const Spans& i_spans) {
  Spans shrunk;
  for (const Span& span : i_spans) {
    if (span.z1 - span.z0 > 2) shrunk.push_back({span.z0 + 1, span.z1 - 1});
  }
  return shrunk;
}

const Spans kNone;

// The spans of row x.
const Spans& RowOf(const std::vector<CellBand>& i_bands, std::int64_t i_x) {
  const auto after = std::upper_bound(i_bands.begin(), i_bands.end(), i_x,
                                      [](std::int64_t i_row, const CellBand& i_band) { return i_row < i_band.x0; });
  if (after == i_bands.begin()) return kNone;
  const CellBand& band = *std::prev(after);
  return i_x < band.x1 ? band.spans : kNone;
}

bool Covers(const Spans& i_spans, std::int64_t i_z) {
  const auto after = std::upper_bound(i_spans.begin(), i_spans.end(), i_z,
                                      [](std::int64_t i_cell, const Span& i_span) { return i_cell < i_span.z0; });
  return after != i_spans.begin() && i_z < std::prev(after)->z1;
}

void AddBand(std::vector<CellBand>& io_bands, std::int64_t i_x0, std::int64_t i_x1, Spans i_spans) {
  if (i_spans.empty() || i_x0 >= i_x1) return;
  if (!io_bands.empty() && io_bands.back().x1 == i_x0 && SameSpans(io_bands.back().spans, i_spans)) {
    io_bands.back().x1 = i_x1;
    return;
  }
  io_bands.push_back({i_x0, i_x1, std::move(i_spans)});
}

// The cells whose 3 x 3 square lies in i_bands. Row x of it is the rows x - 1, x, x + 1 each less
// a cell at both ends, intersected; it changes only a row before, at or after a band's ends.
std::vector<CellBand> Erode(const std::vector<CellBand>& i_bands) {
  std::vector<std::int64_t> starts;
  for (const CellBand& band : i_bands) {
    for (const std::int64_t edge : {band.x0, band.x1}) {
      for (const std::int64_t d : {-1, 0, 1}) starts.push_back(edge + d);
    }
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  std::vector<CellBand> eroded;
  for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
    const std::int64_t x = starts[k];
    Spans row = Shrink(RowOf(i_bands, x));
    row = Intersect(row, Shrink(RowOf(i_bands, x - 1)));
    row = Intersect(row, Shrink(RowOf(i_bands, x + 1)));
    AddBand(eroded, x, starts[k + 1], std::move(row));
  }
  return eroded;
}

// The world direction of a piece's own (i_a, i_b) turned as a placement's (xd, zd).
struct Turn {
  std::int8_t xd, zd;
};
constexpr Turn kTurns[] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};

// A neighbourhood: whether the cell at (dx, dz) from the middle one is in, world axes.
struct Around {
  bool in[3][3];
  bool at(int i_dx, int i_dz) const { return in[i_dx + 1][i_dz + 1]; }
};

// The neighbourhood as a case draws it (see HipCase), in the frame of a piece turned by i_turn.
bool Matches(const Around& i_around, const Turn& i_turn, const HipCase& i_case) {
  const auto has = [&](int i_a, int i_b) {
    return i_around.at(i_a * i_turn.zd - i_b * i_turn.xd, i_a * i_turn.xd + i_b * i_turn.zd);
  };
  for (int a = -1; a <= 1; ++a) {
    for (int b = -1; b <= 1; ++b) {
      bool mine = has(a, b), theirs = CaseHas(i_case, a, b);
      if (a != 0 && b != 0) {
        // A corner neighbour that cannot change the piece counts as out (see HipCase).
        const bool counts = i_case.eave ? (has(a, 0) || has(0, b)) : (has(a, 0) && has(0, b));
        const bool drawn = i_case.eave ? (CaseHas(i_case, a, 0) || CaseHas(i_case, 0, b))
                                       : (CaseHas(i_case, a, 0) && CaseHas(i_case, 0, b));
        mine = mine && counts;
        theirs = theirs && drawn;
      }
      if (mine != theirs) return false;
    }
  }
  return true;
}

bool FindCase(const Around& i_around, bool i_eave, HipCells& io_cells) {
  for (const HipCase& entry : kHipCases) {
    if (entry.eave != i_eave) continue;
    for (const Turn& turn : kTurns) {
      if (!Matches(i_around, turn, entry)) continue;
      io_cells.kind = entry.kind;
      io_cells.xd = turn.xd;
      io_cells.zd = turn.zd;
      return true;
    }
  }
  return false;
}

// The ring's cells of rows x .. x + i_rows - 1, all with row i_up north of them (+x) and row
// i_down south, in i_row's spans.
struct RowContext {
  const Spans& up;
  const Spans& row;
  const Spans& down;
};

bool AddRows(const RowContext& i_context, std::int64_t i_x, std::int64_t i_rows, std::int64_t i_ring,
             std::vector<HipCells>& io_cells, std::string& o_fault) {
  // A cell's neighbourhood changes only next to an end of a span of the three rows.
  std::vector<std::int64_t> starts;
  for (const Spans* spans : {&i_context.up, &i_context.row, &i_context.down}) {
    for (const Span& span : *spans) {
      for (const std::int64_t edge : {span.z0, span.z1}) {
        for (const std::int64_t d : {-1, 0, 1}) starts.push_back(edge + d);
      }
    }
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
    const std::int64_t z = starts[k];
    if (!Covers(i_context.row, z)) continue;
    Around around{};
    const Spans* rows[3] = {&i_context.down, &i_context.row, &i_context.up};
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dz = -1; dz <= 1; ++dz) around.in[dx + 1][dz + 1] = Covers(*rows[dx + 1], z + dz);
    }
    bool full = true;
    for (const auto& column : around.in) full = full && column[0] && column[1] && column[2];
    if (full) continue;  // a cell of the next ring
    HipCells cells;
    cells.x = i_x;
    cells.z = z;
    cells.rows = i_rows;
    cells.cells = starts[k + 1] - z;
    cells.step = i_ring;
    if (!FindCase(around, i_ring == 0, cells)) {
      o_fault = "cell " + std::to_string(i_x) + ", " + std::to_string(z) +
                " is part of a wing narrower than 2 cells, which a hip roof cannot cover";
      return false;
    }
    HipCells* last = io_cells.empty() ? nullptr : &io_cells.back();
    if (last && last->kind == cells.kind && last->xd == cells.xd && last->zd == cells.zd && last->x == cells.x &&
        last->rows == cells.rows && last->step == cells.step && last->z + last->cells == cells.z) {
      last->cells += cells.cells;
      continue;
    }
    io_cells.push_back(cells);
  }
  return true;
}

// The cells of one ring: those of i_bands (the footprint eroded i_ring times) not in the next
// erosion.
bool AddRing(const std::vector<CellBand>& i_bands, std::int64_t i_ring, std::vector<HipCells>& io_cells,
             std::string& o_fault) {
  for (const CellBand& band : i_bands) {
    const std::int64_t x0 = band.x0, last = band.x1 - 1;
    const Spans& south = RowOf(i_bands, x0 - 1);
    const Spans& north = RowOf(i_bands, last + 1);
    if (x0 == last) {
      if (!AddRows({north, band.spans, south}, x0, 1, i_ring, io_cells, o_fault)) return false;
      continue;
    }
    if (!AddRows({band.spans, band.spans, south}, x0, 1, i_ring, io_cells, o_fault)) return false;
    if (last - x0 > 1 && !AddRows({band.spans, band.spans, band.spans}, x0 + 1, last - x0 - 1, i_ring, io_cells, o_fault))
      return false;
    if (!AddRows({north, band.spans, band.spans}, last, 1, i_ring, io_cells, o_fault)) return false;
  }
  return true;
}

}  // namespace hiprings

bool HipRoofCells(const Footprint& i_footprint, std::vector<HipCells>& o_cells, std::string& o_fault) {
  o_cells.clear();
  std::vector<hiprings::CellBand> ring = hiprings::BandsOf(i_footprint);
  for (std::int64_t k = 0; !ring.empty(); ++k) {
    if (!hiprings::AddRing(ring, k, o_cells, o_fault)) return false;
    ring = hiprings::Erode(ring);
  }
  return true;
}

namespace gables {

// The cells of the rectangle with corner cells (i_xa, i_za) and (i_xb, i_zb).
Footprint Box(std::int64_t i_xa, std::int64_t i_za, std::int64_t i_xb, std::int64_t i_zb) {
  const std::int64_t x0 = std::min(i_xa, i_xb), x1 = std::max(i_xa, i_xb);
  const std::int64_t z0 = std::min(i_za, i_zb), z1 = std::max(i_za, i_zb);
  return RectangleFootprint(x1, z0, x1 - x0 + 1, z1 - z0 + 1);
}

// A wing's end as found on the outline, with the cells the roof is carried on over and the cells
// around those that must stay out of the footprint.
struct Candidate {
  GableEnd end;
  Footprint row;        // the end's own cells
  Footprint extension;  // carried on outward
  Footprint clear;      // the extension with a cell more each way out
};

std::vector<Candidate> Candidates(const Footprint& i_footprint) {
  const std::vector<detail::FacadeRun> runs = detail::FacadeRuns(i_footprint);
  const std::vector<bool> outer = detail::OuterRuns(runs);
  std::vector<Candidate> found;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const detail::FacadeRun& r = runs[i];
    if (!outer[i] || r.innerAtStart || r.innerAtEnd) continue;
    const detail::RunStep step = detail::StepOf(r.side);
    const std::int64_t lastX = r.x + (r.cells - 1) * step.dx, lastZ = r.z + (r.cells - 1) * step.dz;
    // The short side of a wing: the wing runs in for more than the end is wide.
    const Footprint behind = Box(r.x, r.z, lastX - r.cells * step.outX, lastZ - r.cells * step.outZ);
    if (!IsEmpty(Difference(behind, i_footprint))) continue;
    // The roof over the end stands at most cells / 2 rises high: carried on one cell further, no
    // cell of the end sees where the carrying stops.
    const std::int64_t reach = r.cells / 2 + 1;
    Candidate c;
    c.end = {r.x, r.z, r.cells, step.dx, step.dz, step.outX, step.outZ};
    c.row = Box(r.x, r.z, lastX, lastZ);
    c.extension = Box(r.x + step.outX, r.z + step.outZ, lastX + reach * step.outX, lastZ + reach * step.outZ);
    c.clear = Box(r.x - step.dx + step.outX, r.z - step.dz + step.outZ, lastX + step.dx + (reach + 1) * step.outX,
                  lastZ + step.dz + (reach + 1) * step.outZ);
    found.push_back(std::move(c));
  }
  return found;
}

// The gable form of a cell along an end (i_i cells from its first), or false where the cell is not
// a straight wing's: an eave, slope or ridge across the end, at the ring its place across gives.
bool GableForm(const GableEnd& i_end, std::int64_t i_i, HipCells& io_cells) {
  const std::int64_t ring = std::min(i_i, i_end.cells - 1 - i_i);
  if (io_cells.step != ring) return false;
  if (io_cells.kind == PieceKind::Ridge) {
    // The ridge's own +z out of the gable.
    io_cells.kind = PieceKind::RidgeGable;
    io_cells.xd = static_cast<std::int8_t>(-i_end.outX);
    io_cells.zd = i_end.outZ;
    return true;
  }
  if (io_cells.kind != PieceKind::Eave && io_cells.kind != PieceKind::Slope) return false;
  // A placed piece's own +x (downhill) is (zd, xd) along (x, z), its own +z (-xd, zd).
  const int leftX = -io_cells.xd, leftZ = io_cells.zd;
  const bool left = leftX == i_end.outX && leftZ == i_end.outZ;
  if (!left && (leftX != -i_end.outX || leftZ != -i_end.outZ)) return false;
  if (io_cells.kind == PieceKind::Eave) io_cells.kind = left ? PieceKind::EaveGableLeft : PieceKind::EaveGableRight;
  else io_cells.kind = left ? PieceKind::SlopeGableLeft : PieceKind::SlopeGableRight;
  return true;
}

HipCells CellsOf(const HipCells& i_like, const CellRect& i_rect) {
  HipCells cells = i_like;
  cells.x = i_rect.x0;
  cells.z = i_rect.z0;
  cells.rows = i_rect.x1 - i_rect.x0 + 1;
  cells.cells = i_rect.z1 - i_rect.z0 + 1;
  return cells;
}

// The roof with these ends: the hip roof of the cells and the ends' extensions, cut back to the
// cells, its cells along each end in their gable forms. False, with o_bad the first end whose
// cells are not a straight wing's (or o_bad = the ends' count and o_fault set where the hip roof
// fails).
bool Lay(const Footprint& i_footprint, const std::vector<Candidate>& i_ends, std::vector<HipCells>& o_cells,
         std::size_t& o_bad, std::string& o_fault) {
  o_bad = i_ends.size();
  Footprint carried = i_footprint, rows;
  for (const Candidate& c : i_ends) {
    carried = Union(carried, c.extension);
    rows = Union(rows, c.row);
  }
  std::vector<HipCells> all;
  if (!HipRoofCells(carried, all, o_fault)) return false;
  o_cells.clear();
  for (const HipCells& h : all) {
    const Footprint mine = Intersection(Box(h.x, h.z, h.x + h.rows - 1, h.z + h.cells - 1), i_footprint);
    for (const CellRect& rect : Rectangles(Difference(mine, rows))) o_cells.push_back(CellsOf(h, rect));
    for (std::size_t e = 0; e < i_ends.size(); ++e) {
      const GableEnd& end = i_ends[e].end;
      for (const CellRect& rect : Rectangles(Intersection(mine, i_ends[e].row))) {
        // Cell by cell along the end: a ridge's ring differs from its neighbours'.
        for (std::int64_t x = rect.x0; x <= rect.x1; ++x) {
          for (std::int64_t z = rect.z0; z <= rect.z1; ++z) {
            HipCells cell = CellsOf(h, {x, x, z, z});
            const std::int64_t i = (x - end.x) * end.dx + (z - end.z) * end.dz;
            if (!GableForm(end, i, cell)) {
              o_bad = e;
              return false;
            }
            o_cells.push_back(cell);
          }
        }
      }
    }
  }
  return true;
}

}  // namespace gables

bool GableRoofCells(const Footprint& i_footprint, std::vector<HipCells>& o_cells, std::vector<GableEnd>& o_ends,
                    std::string& o_fault) {
  std::vector<gables::Candidate> ends;
  // An end that would carry the roof too near other cells, or into another end's, stays hipped.
  const std::vector<gables::Candidate> all = gables::Candidates(i_footprint);
  for (std::size_t i = 0; i < all.size(); ++i) {
    Footprint others = i_footprint;
    for (std::size_t j = 0; j < all.size(); ++j) {
      if (j != i) others = Union(others, all[j].clear);
    }
    if (IsEmpty(Intersection(all[i].clear, others))) ends.push_back(all[i]);
  }
  // An end whose cells turn out not to be a straight wing's stays hipped; the others are laid again.
  for (;;) {
    std::size_t bad = 0;
    if (gables::Lay(i_footprint, ends, o_cells, bad, o_fault)) break;
    if (bad == ends.size()) return false;
    ends.erase(ends.begin() + static_cast<std::ptrdiff_t>(bad));
  }
  o_ends.clear();
  for (const gables::Candidate& c : ends) o_ends.push_back(c.end);
  return true;
}

}  // namespace Ostrel::Buildings
