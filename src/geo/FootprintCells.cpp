// FootprintCells: definitions.

#include <ostrel/geo/FootprintCells.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace Ostrel::Geo {

namespace cells {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// A point in the grid's frame: s along the building's x (north), t along its z (east), metres
// from the shape's reference point.
struct Local {
  double s = 0, t = 0;
};
using LocalRing = std::vector<Local>;

double SignedArea(const LocalRing& i_ring) {
  double twice = 0;
  for (std::size_t i = 0, n = i_ring.size(); i < n; ++i) {
    const Local& a = i_ring[i];
    const Local& b = i_ring[(i + 1) % n];
    twice += a.s * b.t - b.s * a.t;
  }
  return twice / 2;
}

// The part of i_ring on one side of a line s = i_at (i_axisS) or t = i_at: i_keepBelow keeps
// what is below it. Sutherland-Hodgman against one half-plane: a ring clipped by a convex region
// keeps its signed area within it, however concave the ring.
LocalRing ClipHalf(const LocalRing& i_ring, bool i_axisS, double i_at, bool i_keepBelow) {
  LocalRing out;
  const std::size_t n = i_ring.size();
  if (n == 0) return out;
  const auto value = [&](const Local& p) { return (i_axisS ? p.s : p.t) - i_at; };
  const auto inside = [&](double v) { return i_keepBelow ? v <= 0 : v >= 0; };
  for (std::size_t i = 0; i < n; ++i) {
    const Local& a = i_ring[i];
    const Local& b = i_ring[(i + 1) % n];
    const double va = value(a), vb = value(b);
    if (inside(va)) out.push_back(a);
    if (inside(va) != inside(vb)) {
      const double k = va / (va - vb);
      out.push_back(Local{a.s + (b.s - a.s) * k, a.t + (b.t - a.t) * k});
    }
  }
  return out;
}

// How many cells of the kit's i_cell span i_extent metres, and the size they take: the count
// whose stretch is nearest 1 within the allowed range; when none fits (an extent between 1.25
// and 1.6 cells), the nearest count with its stretch at the range's end.
void FitCells(double i_extent, double i_cell, int& o_count, double& o_size) {
  const double ideal = i_extent / i_cell;
  const double low = std::max(1.0, std::floor(ideal));
  double best = 0, bestMiss = 0;
  for (double count : {low, low + 1}) {
    const double stretch = ideal / count;
    if (stretch < kMinStretch - 1e-12 || stretch > kMaxStretch + 1e-12) continue;
    const double miss = std::fabs(std::log(stretch));
    if (best == 0 || miss < bestMiss) {
      best = count;
      bestMiss = miss;
    }
  }
  if (best > 0) {
    o_count = static_cast<int>(best);
    o_size = i_extent / best;
    return;
  }
  const double count = std::max(1.0, std::round(ideal));
  o_count = static_cast<int>(count);
  o_size = std::clamp(i_extent / count, kMinStretch * i_cell, kMaxStretch * i_cell);
}

// The dominant direction of the shape's edges, modulo 90 degrees: each edge votes with its
// length for 4 times its angle, so that edges at right angles agree. Radians from east,
// counter-clockwise, in (-pi/4, pi/4].
double DominantAngle(const Shape& i_shape) {
  double c = 0, s = 0;
  const auto vote = [&](const std::vector<MapPoint>& i_ring) {
    for (std::size_t i = 0, n = i_ring.size(); i < n; ++i) {
      const MapPoint& a = i_ring[i];
      const MapPoint& b = i_ring[(i + 1) % n];
      const double de = b.east - a.east, dn = b.north - a.north;
      const double length = std::hypot(de, dn);
      if (length == 0) continue;
      const double angle = 4 * std::atan2(dn, de);
      c += length * std::cos(angle);
      s += length * std::sin(angle);
    }
  };
  for (const Area& area : i_shape) {
    vote(area.outer);
    for (const auto& hole : area.holes) vote(hole);
  }
  return std::atan2(s, c) / 4;
}

struct Grid {
  int rows = 0, columns = 0;
  std::vector<unsigned char> on;
  std::size_t at(int r, int c) const {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(c);
  }
  bool has(int r, int c) const { return r >= 0 && r < rows && c >= 0 && c < columns && on[at(r, c)] != 0; }
  bool inside(int r, int c) const { return r >= 0 && r < rows && c >= 0 && c < columns; }
};

constexpr int kStepR[4] = {-1, 0, 1, 0};
constexpr int kStepC[4] = {0, 1, 0, -1};

// Labels the 4-connected parts of the cells whose state is i_state; returns each cell's part
// (-1 for the others) and the parts' sizes.
std::vector<int> Parts(const Grid& i_grid, bool i_state, std::vector<std::size_t>& o_sizes) {
  std::vector<int> part(i_grid.on.size(), -1);
  o_sizes.clear();
  std::deque<std::pair<int, int>> queue;
  for (int r = 0; r < i_grid.rows; ++r) {
    for (int c = 0; c < i_grid.columns; ++c) {
      if (part[i_grid.at(r, c)] >= 0 || (i_grid.on[i_grid.at(r, c)] != 0) != i_state) continue;
      const int label = static_cast<int>(o_sizes.size());
      o_sizes.push_back(0);
      part[i_grid.at(r, c)] = label;
      queue.emplace_back(r, c);
      while (!queue.empty()) {
        const auto [qr, qc] = queue.front();
        queue.pop_front();
        ++o_sizes.back();
        for (int d = 0; d < 4; ++d) {
          const int nr = qr + kStepR[d], nc = qc + kStepC[d];
          if (!i_grid.inside(nr, nc) || part[i_grid.at(nr, nc)] >= 0) continue;
          if ((i_grid.on[i_grid.at(nr, nc)] != 0) != i_state) continue;
          part[i_grid.at(nr, nc)] = label;
          queue.emplace_back(nr, nc);
        }
      }
    }
  }
  return part;
}

// Keeps the largest 4-connected part of the cells (the first in row order among equals).
void KeepLargest(Grid& io_grid) {
  std::vector<std::size_t> sizes;
  const std::vector<int> part = Parts(io_grid, true, sizes);
  if (sizes.empty()) return;
  const int largest = static_cast<int>(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
  for (std::size_t i = 0; i < part.size(); ++i) io_grid.on[i] = part[i] == largest ? 1 : 0;
}

// The empty cells reached from beyond the grid through empty cells; the others are courtyards.
std::vector<unsigned char> Outside(const Grid& i_grid, int& o_courtyards) {
  std::vector<std::size_t> sizes;
  const std::vector<int> part = Parts(i_grid, false, sizes);
  std::vector<unsigned char> open(sizes.size(), 0);
  for (int r = 0; r < i_grid.rows; ++r) {
    for (int c = 0; c < i_grid.columns; ++c) {
      const bool edge = r == 0 || c == 0 || r == i_grid.rows - 1 || c == i_grid.columns - 1;
      const int label = part[i_grid.at(r, c)];
      if (edge && label >= 0) open[static_cast<std::size_t>(label)] = 1;
    }
  }
  o_courtyards = static_cast<int>(std::count(open.begin(), open.end(), 0));
  std::vector<unsigned char> outside(i_grid.on.size(), 0);
  for (std::size_t i = 0; i < part.size(); ++i) outside[i] = part[i] >= 0 && open[static_cast<std::size_t>(part[i])];
  return outside;
}

// Fills one-cell notches (an outside empty cell with three cells beside it) and pinches (two
// cells, or two empty cells, meeting at a corner only), preferring the cell the outline covers
// more. A pinch whose empty cells are all forbidden loses its less covered cell instead. True
// when anything changed.
bool MendOnce(Grid& io_grid, const std::vector<float>& i_covered, const std::vector<unsigned char>& i_forbidden) {
  int courtyards = 0;
  const std::vector<unsigned char> outside = Outside(io_grid, courtyards);
  for (int r = 0; r < io_grid.rows; ++r) {
    for (int c = 0; c < io_grid.columns; ++c) {
      const std::size_t i = io_grid.at(r, c);
      if (io_grid.on[i] || !outside[i] || i_forbidden[i]) continue;
      int beside = 0;
      for (int d = 0; d < 4; ++d) beside += io_grid.has(r + kStepR[d], c + kStepC[d]) ? 1 : 0;
      if (beside >= 3) {
        io_grid.on[i] = 1;
        return true;
      }
    }
  }
  for (int r = 0; r + 1 < io_grid.rows; ++r) {
    for (int c = 0; c + 1 < io_grid.columns; ++c) {
      const std::size_t a = io_grid.at(r, c), b = io_grid.at(r, c + 1);
      const std::size_t d = io_grid.at(r + 1, c), e = io_grid.at(r + 1, c + 1);
      std::size_t full[2], empty[2];
      if (io_grid.on[a] && io_grid.on[e] && !io_grid.on[b] && !io_grid.on[d]) {
        full[0] = a, full[1] = e, empty[0] = b, empty[1] = d;
      } else if (io_grid.on[b] && io_grid.on[d] && !io_grid.on[a] && !io_grid.on[e]) {
        full[0] = b, full[1] = d, empty[0] = a, empty[1] = e;
      } else {
        continue;
      }
      const bool first = !i_forbidden[empty[0]], second = !i_forbidden[empty[1]];
      if (first || second) {
        const bool pickFirst = first && (!second || i_covered[empty[0]] >= i_covered[empty[1]]);
        io_grid.on[pickFirst ? empty[0] : empty[1]] = 1;
      } else {
        io_grid.on[i_covered[full[0]] <= i_covered[full[1]] ? full[0] : full[1]] = 0;
        KeepLargest(io_grid);
      }
      return true;
    }
  }
  return false;
}

// What the kit's pieces cannot build, counted: cells 1 cell wide either way (no cell beside them
// along z, or none along x), and straight runs of facade 1 cell long. o_near, when given, marks
// the cells of every fault.
int KitFaults(const Grid& i_grid, std::vector<unsigned char>* o_near = nullptr) {
  int faults = 0;
  const auto mark = [&](int r, int c) {
    ++faults;
    if (o_near) (*o_near)[i_grid.at(r, c)] = 1;
  };
  for (int r = 0; r < i_grid.rows; ++r) {
    for (int c = 0; c < i_grid.columns; ++c) {
      if (!i_grid.has(r, c)) continue;
      if (!i_grid.has(r, c - 1) && !i_grid.has(r, c + 1)) mark(r, c);
      if (!i_grid.has(r - 1, c) && !i_grid.has(r + 1, c)) mark(r, c);
    }
  }
  // Runs facing north and south lie along rows; those facing east and west along columns.
  for (int step : {-1, 1}) {
    for (int r = 0; r < i_grid.rows; ++r) {
      int run = 0;
      for (int c = 0; c <= i_grid.columns; ++c) {
        const bool open = c < i_grid.columns && i_grid.has(r, c) && !i_grid.has(r + step, c);
        if (open) ++run;
        if (!open && run == 1) mark(r, c - 1);
        if (!open) run = 0;
      }
    }
    for (int c = 0; c < i_grid.columns; ++c) {
      int run = 0;
      for (int r = 0; r <= i_grid.rows; ++r) {
        const bool open = r < i_grid.rows && i_grid.has(r, c) && !i_grid.has(r, c + step);
        if (open) ++run;
        if (!open && run == 1) mark(r - 1, c);
        if (!open) run = 0;
      }
    }
  }
  return faults;
}

// Whether the cells are one 4-connected part with no pinch.
bool OnePartNoPinch(const Grid& i_grid) {
  std::vector<std::size_t> sizes;
  Parts(i_grid, true, sizes);
  if (sizes.size() != 1) return false;
  for (int r = -1; r < i_grid.rows; ++r) {
    for (int c = -1; c < i_grid.columns; ++c) {
      const bool a = i_grid.has(r, c), b = i_grid.has(r, c + 1), d = i_grid.has(r + 1, c), e = i_grid.has(r + 1, c + 1);
      if (a == e && b == d && a != b) return false;
    }
  }
  return true;
}

// Edits the cells until the kit can build them: near the faults, of every line of one to three
// cells along a row or a column, filled or cleared, the edit that removes the most faults at the
// least cost in the outline's cover, keeping the cells one part without pinches. False when no
// edit helps.
bool FitTheKit(Grid& io_grid, const std::vector<float>& i_covered, const std::vector<unsigned char>& i_forbidden) {
  std::vector<unsigned char> near(io_grid.on.size());
  std::vector<unsigned char> saved;
  for (std::size_t step = 0; step < io_grid.on.size() + 16; ++step) {
    std::fill(near.begin(), near.end(), 0);
    const int faults = KitFaults(io_grid, &near);
    if (faults == 0) return true;
    int bestFaults = faults;
    double bestCost = HUGE_VAL;
    int bestR = -1, bestC = -1, bestLength = 0, bestAlong = 0;
    unsigned char bestValue = 0;
    for (int r = 0; r < io_grid.rows; ++r) {
      for (int c = 0; c < io_grid.columns; ++c) {
        bool close = false;
        for (int dr = -2; dr <= 2 && !close; ++dr) {
          for (int dc = -2; dc <= 2 && !close; ++dc) {
            close = io_grid.inside(r + dr, c + dc) && near[io_grid.at(r + dr, c + dc)];
          }
        }
        if (!close) continue;
        for (int along = 0; along < 2; ++along) {
          for (int length = 1; length <= 3; ++length) {
            if (length == 1 && along == 1) continue;
            const int endR = r + (along ? length - 1 : 0), endC = c + (along ? 0 : length - 1);
            if (!io_grid.inside(endR, endC)) continue;
            for (unsigned char value : {0, 1}) {
              double cost = 0;
              bool changes = false, allowed = true;
              saved.clear();
              for (int k = 0; k < length; ++k) {
                const std::size_t i = io_grid.at(r + (along ? k : 0), c + (along ? 0 : k));
                saved.push_back(io_grid.on[i]);
                if (io_grid.on[i] == value) continue;
                changes = true;
                allowed = allowed && !(value && i_forbidden[i]);
                // Clearing loses the cover the cell had; filling builds over what the outline
                // leaves bare.
                cost += value ? 1.0 - i_covered[i] : i_covered[i];
              }
              if (!changes || !allowed) continue;
              for (int k = 0; k < length; ++k) io_grid.on[io_grid.at(r + (along ? k : 0), c + (along ? 0 : k))] = value;
              // The faults first: they are cheaper than the parts, and most edits do not beat the
              // best so far whatever their parts.
              const int after = KitFaults(io_grid);
              const bool better = after < bestFaults || (after == bestFaults && after < faults && cost < bestCost);
              const bool kept = better && OnePartNoPinch(io_grid);
              for (int k = 0; k < length; ++k) io_grid.on[io_grid.at(r + (along ? k : 0), c + (along ? 0 : k))] = saved[static_cast<std::size_t>(k)];
              if (kept) {
                bestFaults = after;
                bestCost = cost;
                bestR = r, bestC = c, bestLength = length, bestAlong = along, bestValue = value;
              }
            }
          }
        }
      }
    }
    if (bestR < 0) return false;
    for (int k = 0; k < bestLength; ++k) io_grid.on[io_grid.at(bestR + (bestAlong ? k : 0), bestC + (bestAlong ? 0 : k))] = bestValue;
  }
  return KitFaults(io_grid) == 0;
}

}  // namespace cells

GridLines ExtentAt(const Shape& i_shape, double i_bearing) {
  GridLines lines;
  lines.given = true;
  lines.bearing = i_bearing;
  CellFootprint turned;
  turned.bearing = i_bearing;
  const MapPoint x = AxisX(turned), z = AxisZ(turned);
  const auto s = [&](const MapPoint& p) { return p.east * x.east + p.north * x.north; };
  const auto t = [&](const MapPoint& p) { return p.east * z.east + p.north * z.north; };
  lines.sMin = lines.tMin = HUGE_VAL;
  lines.sMax = lines.tMax = -HUGE_VAL;
  for (const Area& area : i_shape) {
    for (const MapPoint& p : area.outer) {
      lines.sMin = std::min(lines.sMin, s(p)), lines.sMax = std::max(lines.sMax, s(p));
      lines.tMin = std::min(lines.tMin, t(p)), lines.tMax = std::max(lines.tMax, t(p));
    }
  }
  // An outermost edge at a slant to the grid reaches the extent at one end only: the grid ends
  // at its middle instead (the mean, by length, of the outermost edges facing that way), so that
  // the cells trade what they leave out of the outline for what they add, and two neighbours
  // whose outlines share that edge end their grids on one line.
  constexpr double kOutermost = 0.5;  // metres: edges reaching this near the extent count
  double sum[4] = {0, 0, 0, 0}, weight[4] = {0, 0, 0, 0};
  for (const Area& area : i_shape) {
    for (std::size_t k = 0, n = area.outer.size(); k < n; ++k) {
      const MapPoint& a = area.outer[k];
      const MapPoint& b = area.outer[(k + 1) % n];
      const double length = std::hypot(b.east - a.east, b.north - a.north);
      if (length == 0) continue;
      // An edge nearer the t axis ends the grid along s (0 for sMin, 1 for sMax), one nearer the
      // s axis along t (2, 3); the outline's side of it tells which end.
      const bool alongT = std::fabs(t(b) - t(a)) >= std::fabs(s(b) - s(a));
      const MapPoint normal = alongT ? x : z;
      const MapPoint middle{(a.east + b.east) / 2, (a.north + b.north) / 2};
      const bool outward = !Contains(i_shape, {middle.east + 0.01 * normal.east, middle.north + 0.01 * normal.north});
      const int end = (alongT ? 0 : 2) + (outward ? 1 : 0);
      const double far = end == 0 ? -std::min(s(a), s(b)) + lines.sMin
                         : end == 1 ? std::max(s(a), s(b)) - lines.sMax
                         : end == 2 ? -std::min(t(a), t(b)) + lines.tMin
                                    : std::max(t(a), t(b)) - lines.tMax;
      if (far < -kOutermost) continue;
      sum[end] += length * (alongT ? s(middle) : t(middle));
      weight[end] += length;
    }
  }
  double* ends[4] = {&lines.sMin, &lines.sMax, &lines.tMin, &lines.tMax};
  for (int end = 0; end < 4; ++end) {
    if (weight[end] > 0) *ends[end] = sum[end] / weight[end];
  }
  return lines;
}

MapPoint AxisX(const CellFootprint& i_fit) {
  const double theta = i_fit.bearing / cells::kDegrees;
  return MapPoint{std::sin(theta), std::cos(theta)};
}

MapPoint AxisZ(const CellFootprint& i_fit) {
  const double theta = i_fit.bearing / cells::kDegrees;
  return MapPoint{std::cos(theta), -std::sin(theta)};
}

MapPoint CellCentre(const CellFootprint& i_fit, double i_row, double i_column) {
  const MapPoint x = AxisX(i_fit), z = AxisZ(i_fit);
  const double along = -i_row * i_fit.cellX, across = i_column * i_fit.cellZ;
  return MapPoint{i_fit.origin.east + x.east * along + z.east * across,
                  i_fit.origin.north + x.north * along + z.north * across};
}

void CellAt(const CellFootprint& i_fit, const MapPoint& i_point, int& o_row, int& o_column) {
  const MapPoint x = AxisX(i_fit), z = AxisZ(i_fit);
  const double de = i_point.east - i_fit.origin.east, dn = i_point.north - i_fit.origin.north;
  const double along = de * x.east + dn * x.north, across = de * z.east + dn * z.north;
  o_row = static_cast<int>(std::floor(-along / i_fit.cellX + 0.5));
  o_column = static_cast<int>(std::floor(across / i_fit.cellZ + 0.5));
}

CellFootprint FootprintCells(const Shape& i_shape, const CellOptions& i_options) {
  using namespace cells;
  CellFootprint fit;
  // The reference point: the first outer position, so that local coordinates stay small.
  MapPoint reference;
  for (const Area& area : i_shape) {
    if (!area.outer.empty()) {
      reference = area.outer.front();
      break;
    }
  }
  const GridLines& given = i_options.grid;
  fit.bearing = given.given ? given.bearing : -DominantAngle(i_shape) * kDegrees;
  const MapPoint x = AxisX(fit), z = AxisZ(fit);
  // Rings in the grid's frame, outer rings counter-clockwise (positive area), holes clockwise.
  std::vector<LocalRing> rings;
  double sMin = HUGE_VAL, sMax = -HUGE_VAL, tMin = HUGE_VAL, tMax = -HUGE_VAL;
  const auto add = [&](const std::vector<MapPoint>& i_ring, bool i_hole) {
    LocalRing ring;
    for (const MapPoint& p : i_ring) {
      const double de = p.east - reference.east, dn = p.north - reference.north;
      ring.push_back(Local{de * x.east + dn * x.north, de * z.east + dn * z.north});
      if (!i_hole) {
        sMin = std::min(sMin, ring.back().s), sMax = std::max(sMax, ring.back().s);
        tMin = std::min(tMin, ring.back().t), tMax = std::max(tMax, ring.back().t);
      }
    }
    // Whatever way the file winds them (RFC 7946 asks for outer rings counter-clockwise, not
    // every exporter does), outer rings count positive here and holes negative.
    if ((SignedArea(ring) < 0) != i_hole) std::reverse(ring.begin(), ring.end());
    rings.push_back(std::move(ring));
  };
  for (const Area& area : i_shape) {
    add(area.outer, false);
    for (const auto& hole : area.holes) add(hole, true);
  }
  if (given.given) {
    const double s0 = reference.east * x.east + reference.north * x.north;
    const double t0 = reference.east * z.east + reference.north * z.north;
    sMin = given.sMin - s0, sMax = given.sMax - s0, tMin = given.tMin - t0, tMax = given.tMax - t0;
  }
  if (rings.empty() || !(sMax > sMin) || !(tMax > tMin)) {
    fit.fault = "too small for one cell";
    return fit;
  }
  double sizeS = 0, sizeT = 0;
  FitCells(sMax - sMin, i_options.cell, fit.rows, sizeS);
  FitCells(tMax - tMin, i_options.cellZ > 0 ? i_options.cellZ : i_options.cell, fit.columns, sizeT);
  fit.cellX = sizeS;
  fit.cellZ = sizeT;
  if (static_cast<std::int64_t>(fit.rows) * fit.columns > i_options.maxCells) {
    fit.fault = "too large: " + std::to_string(fit.rows) + " x " + std::to_string(fit.columns) + " cells";
    fit.rows = fit.columns = 0;
    return fit;
  }
  // The grid, centred on the extent: row r spans s from top - (r + 1) sizeS to top - r sizeS.
  const double top = (sMin + sMax) / 2 + fit.rows * sizeS / 2;
  const double left = (tMin + tMax) / 2 - fit.columns * sizeT / 2;
  const double originS = top - sizeS / 2, originT = left + sizeT / 2;
  fit.origin = MapPoint{reference.east + x.east * originS + z.east * originT,
                        reference.north + x.north * originS + z.north * originT};

  Grid grid;
  grid.rows = fit.rows;
  grid.columns = fit.columns;
  grid.on.assign(static_cast<std::size_t>(fit.rows) * static_cast<std::size_t>(fit.columns), 0);
  fit.covered.assign(grid.on.size(), 0.0f);
  std::vector<unsigned char> forbidden(grid.on.size(), 0);
  const double cellArea = sizeS * sizeT;
  for (int r = 0; r < fit.rows; ++r) {
    const double high = top - r * sizeS, low = high - sizeS;
    std::vector<LocalRing> strip;
    for (const LocalRing& ring : rings) {
      LocalRing piece = ClipHalf(ClipHalf(ring, true, high, true), true, low, false);
      if (piece.size() >= 3) strip.push_back(std::move(piece));
    }
    for (int c = 0; c < fit.columns; ++c) {
      const double west = left + c * sizeT, east = west + sizeT;
      double area = 0;
      for (const LocalRing& piece : strip) area += SignedArea(ClipHalf(ClipHalf(piece, false, west, false), false, east, true));
      const double share = std::clamp(area / cellArea, 0.0, 1.0);
      const std::size_t i = grid.at(r, c);
      fit.covered[i] = static_cast<float>(share);
      if (i_options.forbidden && i_options.forbidden(CellCentre(fit, r, c))) forbidden[i] = 1;
      grid.on[i] = share >= 0.5 - 1e-9 && !forbidden[i] ? 1 : 0;
    }
  }
  // Pinches first, so that parts meeting at a corner join before the largest part is chosen.
  // Each mend adds or removes a cell; a bound keeps a pathological case finite.
  const std::size_t bound = 4 * grid.on.size() + 16;
  for (std::size_t step = 0; step < bound && MendOnce(grid, fit.covered, forbidden); ++step) {
  }
  KeepLargest(grid);
  for (std::size_t step = 0; step < bound && MendOnce(grid, fit.covered, forbidden); ++step) {
  }
  if (i_options.kitRules && std::find(grid.on.begin(), grid.on.end(), 1) != grid.on.end() &&
      !FitTheKit(grid, fit.covered, forbidden)) {
    // Where single edits do not reach, keep only the cells of whole 2 x 2 blocks of cells, which
    // leaves no part 1 cell wide, and edit again.
    Grid blocks = grid;
    std::fill(blocks.on.begin(), blocks.on.end(), 0);
    for (int r = 0; r + 1 < grid.rows; ++r) {
      for (int c = 0; c + 1 < grid.columns; ++c) {
        if (!grid.has(r, c) || !grid.has(r + 1, c) || !grid.has(r, c + 1) || !grid.has(r + 1, c + 1)) continue;
        blocks.on[grid.at(r, c)] = blocks.on[grid.at(r + 1, c)] = blocks.on[grid.at(r, c + 1)] = blocks.on[grid.at(r + 1, c + 1)] = 1;
      }
    }
    grid = std::move(blocks);
    KeepLargest(grid);
    if (std::find(grid.on.begin(), grid.on.end(), 1) == grid.on.end() || !FitTheKit(grid, fit.covered, forbidden))
      fit.fault = "no shape the kit's pieces can build";
  }
  Outside(grid, fit.courtyards);
  fit.cells = std::move(grid.on);
  if (std::find(fit.cells.begin(), fit.cells.end(), 1) == fit.cells.end()) fit.fault = "too small for one cell";
  if (!fit.fault.empty()) std::fill(fit.cells.begin(), fit.cells.end(), 0);
  return fit;
}

std::string MaskText(const CellFootprint& i_fit) {
  std::string text;
  for (int r = 0; r < i_fit.rows; ++r) {
    for (int c = 0; c < i_fit.columns; ++c) text += i_fit.has(r, c) ? '#' : '.';
    text += '\n';
  }
  return text;
}

double ShapeArea(const Shape& i_shape) {
  const auto area = [](const std::vector<MapPoint>& i_ring) {
    double twice = 0;
    for (std::size_t i = 0, n = i_ring.size(); i < n; ++i) {
      const MapPoint& a = i_ring[i];
      const MapPoint& b = i_ring[(i + 1) % n];
      twice += a.east * b.north - b.east * a.north;
    }
    return std::fabs(twice) / 2;
  };
  double total = 0;
  for (const Area& part : i_shape) {
    total += area(part.outer);
    for (const auto& hole : part.holes) total -= area(hole);
  }
  return total;
}

bool Contains(const Shape& i_shape, const MapPoint& i_point) {
  const auto inRing = [&](const std::vector<MapPoint>& i_ring) {
    bool in = false;
    for (std::size_t i = 0, j = i_ring.size() - 1; i < i_ring.size(); j = i++) {
      const MapPoint& a = i_ring[i];
      const MapPoint& b = i_ring[j];
      if ((a.north > i_point.north) != (b.north > i_point.north) &&
          i_point.east < (b.east - a.east) * (i_point.north - a.north) / (b.north - a.north) + a.east) {
        in = !in;
      }
    }
    return in;
  };
  for (const Area& area : i_shape) {
    if (area.outer.empty() || !inRing(area.outer)) continue;
    bool inHole = false;
    for (const auto& hole : area.holes) inHole = inHole || (!hole.empty() && inRing(hole));
    if (!inHole) return true;
  }
  return false;
}

Placement PlacementOf(const CellFootprint& i_fit) {
  return Placement{i_fit.origin.east, -i_fit.origin.north, i_fit.bearing - 90.0};
}

}  // namespace Ostrel::Geo
