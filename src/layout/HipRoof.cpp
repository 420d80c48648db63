// The hip roof over any set of cells, ring by ring (HipRoof.h).

#include <ostrel/layout/HipRoof.h>

#include <algorithm>
#include <iterator>

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

}  // namespace Ostrel::Buildings
