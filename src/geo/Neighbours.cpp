// Neighbours: definitions.

#include <ostrel/geo/Neighbours.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Ostrel::Geo {

namespace neighbours {

// Buildings by the squares of the map their bounds touch, to find those near a point.
class Index {
 public:
  static constexpr double kBucket = 64.0;  // metres

  explicit Index(const std::vector<CityBuilding>& i_buildings) {
    m_boxes.reserve(i_buildings.size());
    for (std::size_t i = 0; i < i_buildings.size(); ++i) {
      Box box = BoxOf(i_buildings[i]);
      m_boxes.push_back(box);
      if (!(box.max.east >= box.min.east)) continue;
      for (std::int64_t x = Bucket(box.min.east); x <= Bucket(box.max.east); ++x) {
        for (std::int64_t y = Bucket(box.min.north); y <= Bucket(box.max.north); ++y) m_buckets[Key(x, y)].push_back(i);
      }
    }
  }

  // The buildings whose bounds hold i_point.
  void near(const MapPoint& i_point, std::vector<std::size_t>& o_found) const {
    o_found.clear();
    const auto bucket = m_buckets.find(Key(Bucket(i_point.east), Bucket(i_point.north)));
    if (bucket == m_buckets.end()) return;
    for (std::size_t i : bucket->second) {
      const Box& box = m_boxes[i];
      if (i_point.east >= box.min.east && i_point.east <= box.max.east && i_point.north >= box.min.north &&
          i_point.north <= box.max.north)
        o_found.push_back(i);
    }
  }

 private:
  struct Box {
    MapPoint min{HUGE_VAL, HUGE_VAL}, max{-HUGE_VAL, -HUGE_VAL};
  };

  static std::int64_t Bucket(double i_metres) { return static_cast<std::int64_t>(std::floor(i_metres / kBucket)); }
  static std::uint64_t Key(std::int64_t i_x, std::int64_t i_y) {
    return (static_cast<std::uint64_t>(i_x) << 32) ^ (static_cast<std::uint64_t>(i_y) & 0xFFFFFFFFu);
  }

  // The bounds of the outline and of the cells' grid, which may reach half a cell beyond it.
  static Box BoxOf(const CityBuilding& i_building) {
    Box box;
    const auto include = [&](const MapPoint& p) {
      box.min.east = std::min(box.min.east, p.east), box.min.north = std::min(box.min.north, p.north);
      box.max.east = std::max(box.max.east, p.east), box.max.north = std::max(box.max.north, p.north);
    };
    for (const Area& area : i_building.shape) {
      for (const MapPoint& p : area.outer) include(p);
    }
    const CellFootprint& fit = i_building.fit;
    if (fit.rows > 0 && fit.columns > 0) {
      for (double r : {-0.5, fit.rows - 0.5}) {
        for (double c : {-0.5, fit.columns - 0.5}) include(CellCentre(fit, r, c));
      }
    }
    return box;
  }

  std::vector<Box> m_boxes;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_buckets;
};

constexpr int kRowStep[4] = {-1, 0, 1, 0};
constexpr int kColumnStep[4] = {0, 1, 0, -1};

// Whether building i_other wins a wall it shares with i_self.
bool Wins(const CityBuilding& i_other, const CityBuilding& i_self) {
  return i_other.storeys > i_self.storeys || (i_other.storeys == i_self.storeys && i_other.number < i_self.number);
}

// Whether a side of i_other's cell (i_row, i_column) lies in the plane of i_self's side: facing
// the other way, its line within i_metres (2 cm) of i_middle.
bool InPlane(const CellFootprint& i_other, int i_row, int i_column, const MapPoint& i_normal, const MapPoint& i_middle,
             double i_metres = 0.02) {
  for (int f = 0; f < 4; ++f) {
    const Facing facing = static_cast<Facing>(f);
    const MapPoint normal = SideNormal(i_other, facing);
    if (normal.east * i_normal.east + normal.north * i_normal.north > -0.99995) continue;
    const MapPoint middle = SideMiddle(i_other, i_row, i_column, facing);
    const double distance =
        (i_middle.east - middle.east) * normal.east + (i_middle.north - middle.north) * normal.north;
    return std::fabs(distance) < i_metres;
  }
  return false;
}

// Whether a side of i_other's cell (i_row, i_column) runs on in the plane of i_self's side:
// facing the same way, its line within kBackedMetres of i_middle (their grids' ends may stand
// staggered by a few centimetres).
bool RunsOn(const CellFootprint& i_other, int i_row, int i_column, const MapPoint& i_normal, const MapPoint& i_middle) {
  for (int f = 0; f < 4; ++f) {
    const Facing facing = static_cast<Facing>(f);
    const MapPoint normal = SideNormal(i_other, facing);
    if (normal.east * i_normal.east + normal.north * i_normal.north < 0.99995) continue;
    const MapPoint middle = SideMiddle(i_other, i_row, i_column, facing);
    const double distance =
        (i_middle.east - middle.east) * normal.east + (i_middle.north - middle.north) * normal.north;
    return std::fabs(distance) < kBackedMetres;
  }
  return false;
}

// A party side as it is found, before it is known whether it is left out.
struct Contact {
  PartySide side;
  std::size_t other = 0;  // the neighbour's index
  bool covered = false;   // the neighbour's cells stand against the whole side, in its plane
  bool inPlane = false;   // a neighbour's side lies in its plane
};

// A cell's corners on the map, counter-clockwise or clockwise alike for every cell of a grid.
using Square = std::array<MapPoint, 4>;

Square SquareOf(const CellFootprint& i_fit, int i_row, int i_column) {
  return {CellCentre(i_fit, i_row - 0.5, i_column - 0.5), CellCentre(i_fit, i_row - 0.5, i_column + 0.5),
          CellCentre(i_fit, i_row + 0.5, i_column + 0.5), CellCentre(i_fit, i_row + 0.5, i_column - 0.5)};
}

double TwiceArea(const std::vector<MapPoint>& i_points) {
  double twice = 0;
  for (std::size_t i = 0; i < i_points.size(); ++i) {
    const MapPoint& a = i_points[i];
    const MapPoint& b = i_points[(i + 1) % i_points.size()];
    twice += a.east * b.north - b.east * a.north;
  }
  return twice;
}

// The area two cells' squares share, square metres: one clipped by the other's four sides.
double SharedArea(const Square& i_a, const Square& i_b) {
  std::vector<MapPoint> part(i_a.begin(), i_a.end());
  const double sign = TwiceArea(std::vector<MapPoint>(i_b.begin(), i_b.end())) > 0 ? 1.0 : -1.0;
  for (std::size_t i = 0; i < 4 && !part.empty(); ++i) {
    const MapPoint& a = i_b[i];
    const MapPoint& b = i_b[(i + 1) % 4];
    const auto side = [&](const MapPoint& p) {
      return sign * ((b.east - a.east) * (p.north - a.north) - (b.north - a.north) * (p.east - a.east));
    };
    std::vector<MapPoint> out;
    for (std::size_t j = 0; j < part.size(); ++j) {
      const MapPoint& p = part[j];
      const MapPoint& q = part[(j + 1) % part.size()];
      const double sp = side(p), sq = side(q);
      if (sp >= 0) out.push_back(p);
      if ((sp >= 0) != (sq >= 0)) {
        const double k = sp / (sp - sq);
        out.push_back({p.east + (q.east - p.east) * k, p.north + (q.north - p.north) * k});
      }
    }
    part = std::move(out);
  }
  return part.size() < 3 ? 0.0 : std::fabs(TwiceArea(part)) / 2;
}

// Cells of two buildings may overlap by this share of the smaller cell before one of them goes.
constexpr double kOverlapShare = 0.1;

// Whether a cell (i_square, covered i_covered by its own outline) of building i_number gives way
// to a cell of i_other's that it overlaps by more than kOverlapShare.
bool Loses(const CellFootprint& i_fit, const Square& i_square, double i_covered, std::uint64_t i_number,
           const CellFootprint& i_other, std::uint64_t i_otherNumber) {
  if (!i_other.fault.empty()) return false;
  int rowMin = INT_MAX, rowMax = INT_MIN, columnMin = INT_MAX, columnMax = INT_MIN;
  for (const MapPoint& corner : i_square) {
    int row = 0, column = 0;
    CellAt(i_other, corner, row, column);
    rowMin = std::min(rowMin, row), rowMax = std::max(rowMax, row);
    columnMin = std::min(columnMin, column), columnMax = std::max(columnMax, column);
  }
  const double mine = i_fit.cellX * i_fit.cellZ;
  for (int r = std::max(0, rowMin); r <= std::min(i_other.rows - 1, rowMax); ++r) {
    for (int c = std::max(0, columnMin); c <= std::min(i_other.columns - 1, columnMax); ++c) {
      if (!i_other.has(r, c)) continue;
      const double shared = SharedArea(i_square, SquareOf(i_other, r, c));
      if (shared <= kOverlapShare * std::min(mine, i_other.cellX * i_other.cellZ)) continue;
      const double theirs = i_other.covered[static_cast<std::size_t>(r) * static_cast<std::size_t>(i_other.columns) +
                                            static_cast<std::size_t>(c)];
      if (i_covered < theirs || (i_covered == theirs && i_number > i_otherNumber)) return true;
    }
  }
  return false;
}

// The distance from i_point to the nearest edge of i_shape's rings, metres.
double DistanceToOutline(const Shape& i_shape, const MapPoint& i_point) {
  double nearest = HUGE_VAL;
  const auto ring = [&](const std::vector<MapPoint>& i_ring) {
    for (std::size_t k = 0, n = i_ring.size(); k < n; ++k) {
      const MapPoint& a = i_ring[k];
      const MapPoint& b = i_ring[(k + 1) % n];
      const double de = b.east - a.east, dn = b.north - a.north;
      const double length2 = de * de + dn * dn;
      double u = length2 > 0 ? ((i_point.east - a.east) * de + (i_point.north - a.north) * dn) / length2 : 0;
      u = std::clamp(u, 0.0, 1.0);
      nearest = std::min(nearest, std::hypot(a.east + u * de - i_point.east, a.north + u * dn - i_point.north));
    }
  };
  for (const Area& area : i_shape) {
    ring(area.outer);
    for (const auto& hole : area.holes) ring(hole);
  }
  return nearest;
}

// Outlines that touch: a corner of one lies in the other or within this many metres of its edge.
constexpr double kTouch = 0.3;

// The pairs of buildings (lower index first, each once, in order) whose outlines touch.
std::vector<std::pair<std::size_t, std::size_t>> TouchingPairs(const std::vector<CityBuilding>& i_buildings) {
  const Index index(i_buildings);
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  std::vector<std::size_t> near;
  for (std::size_t i = 0; i < i_buildings.size(); ++i) {
    for (const Area& area : i_buildings[i].shape) {
      for (const MapPoint& corner : area.outer) {
        index.near(corner, near);
        for (std::size_t other : near) {
          if (other == i) continue;
          const Shape& theirs = i_buildings[other].shape;
          if (Contains(theirs, corner) || DistanceToOutline(theirs, corner) <= kTouch)
            pairs.emplace_back(std::min(i, other), std::max(i, other));
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}

// Groups of values joined only while each group spans at most a bound: a union-find whose nodes
// keep their value relative to their parent's, and whose roots their group's least and greatest
// value relative to their own. Values are compared by the differences given on joining, so that
// bearings modulo 90 degrees join as plain numbers do.
class Groups {
 public:
  Groups(std::vector<double> i_values, double i_span)
      : m_values(std::move(i_values)), m_parent(m_values.size()), m_offset(m_values.size(), 0),
        m_lo(m_values.size(), 0), m_hi(m_values.size(), 0), m_span(i_span) {
    for (std::size_t i = 0; i < m_parent.size(); ++i) m_parent[i] = i;
  }

  std::size_t root(std::size_t i) const {
    while (m_parent[i] != i) i = m_parent[i];
    return i;
  }

  // Joins the groups of i_a and i_b, i_b's value being i_a's plus i_difference, when the joined
  // group spans at most the bound. The root of lower index stays the root.
  void join(std::size_t i_a, std::size_t i_b, double i_difference) {
    std::size_t a = root(i_a), b = root(i_b);
    if (a == b) return;
    // b's root relative to a's root.
    double d = relative(i_a) + i_difference - relative(i_b);
    if (b < a) std::swap(a, b), d = -d;
    const double lo = std::min(m_lo[a], d + m_lo[b]), hi = std::max(m_hi[a], d + m_hi[b]);
    if (hi - lo > m_span) return;
    m_parent[b] = a;
    m_offset[b] = d;
    m_lo[a] = lo, m_hi[a] = hi;
  }

  // The middle of i's group, in i's own terms: i's value moved to where the middle of the
  // group's span lies relative to it.
  double middle(std::size_t i) const {
    const std::size_t r = root(i);
    return m_values[i] - relative(i) + (m_lo[r] + m_hi[r]) / 2;
  }

 private:
  // i's value relative to its root's.
  double relative(std::size_t i) const {
    double sum = 0;
    for (; m_parent[i] != i; i = m_parent[i]) sum += m_offset[i];
    return sum;
  }

  std::vector<double> m_values;
  std::vector<std::size_t> m_parent;
  std::vector<double> m_offset;
  std::vector<double> m_lo, m_hi;
  double m_span;
};

// The cells along one end of a grid fitted to i_lines (0: its southmost row, at sMin; 1: its
// northmost, at sMax; 2: its westmost column, at tMin; 3: its eastmost, at tMax), as the
// stretches of that line they stand on, metres along it (t for a row, s for a column).
std::vector<std::pair<double, double>> EndRuns(const CellFootprint& i_fit, const GridLines& i_lines, int i_end) {
  const bool row = i_end < 2;
  const int count = row ? i_fit.columns : i_fit.rows;
  const double size = row ? i_fit.cellZ : i_fit.cellX;
  // Columns step east from the west line; rows step south from the north line.
  const double start = row ? (i_lines.tMin + i_lines.tMax) / 2 - count * size / 2
                           : (i_lines.sMin + i_lines.sMax) / 2 + count * size / 2;
  std::vector<std::pair<double, double>> runs;
  bool open = false;
  for (int k = 0; k < count; ++k) {
    const bool has = row ? i_fit.has(i_end == 0 ? i_fit.rows - 1 : 0, k) : i_fit.has(k, i_end == 2 ? 0 : i_fit.columns - 1);
    const double lo = row ? start + k * size : start - (k + 1) * size, hi = lo + size;
    if (has && open && row) runs.back().second = hi;
    if (has && open && !row) runs.back().first = lo;
    if (has && !open) runs.emplace_back(lo, hi);
    open = has;
  }
  return runs;
}

// Whether cells of size i_size standing on the stretches i_runs of a line have a side that the
// stretches i_others cover in part: an end of theirs falls within one of those cells.
bool CoveredInPart(const std::vector<std::pair<double, double>>& i_runs, double i_size,
                   const std::vector<std::pair<double, double>>& i_others) {
  constexpr double kSlack = 0.01;  // metres
  for (const auto& run : i_runs) {
    for (const auto& other : i_others) {
      for (const double end : {other.first, other.second}) {
        if (end <= run.first + kSlack || end >= run.second - kSlack) continue;
        const double k = std::round((end - run.first) / i_size);
        if (std::fabs(end - (run.first + k * i_size)) > kSlack) return true;
      }
    }
  }
  return false;
}

// How far a grid's end reaches into a neighbour's wall where their walls on one line are
// staggered: metres, beyond the 2 cm within which two walls count as in one plane.
constexpr double kInto = 0.05;

// A difference of two bearings, degrees, modulo 90: in (-45, 45].
double BearingDifference(double i_a, double i_b) {
  double d = std::fmod(i_a - i_b, 90.0);
  if (d > 45) d -= 90;
  if (d <= -45) d += 90;
  return d;
}

// How far a front stands off the plane of a neighbour's front that it runs on from, past a
// reach into the neighbour's wall: metres, more than two faces in one plane are apart (1 cm),
// less than a band stands out from its wall (10 cm), so that only slivers of bands meet.
constexpr double kFrontStep = 0.03;

// Whether i_value (metres across ends i_end of a grid, as GridLines' s or t) lies on one of the
// lines of i_building's grid across that axis: an end, or a line between its cells.
bool OnGridLine(const CityBuilding& i_building, int i_end, double i_value) {
  const GridLines& lines = i_building.grid;
  const CellFootprint& fit = i_building.fit;
  if (!lines.given || !fit.fault.empty()) return false;
  // As the snapping onto a neighbour's lines: they step by a cell from one end.
  const bool alongS = i_end < 2;
  const double size = alongS ? fit.cellX : fit.cellZ;
  const int count = alongS ? fit.rows : fit.columns;
  const double first = (alongS ? lines.sMin + lines.sMax : lines.tMin + lines.tMax) / 2 - count * size / 2;
  const double k = std::clamp(std::round((i_value - first) / size), 0.0, static_cast<double>(count));
  return std::fabs(first + k * size - i_value) <= 1e-6;
}

// Of building i, whose end i_end reaches into i_reached's wall, the two ends across it: each that
// lies on a line of i_reached's grid (where its front may run on in i's plane) steps kFrontStep
// off it, unless an earlier neighbour's grid has that line too: a front that meets i's without a
// reach would then stand off i's where they meet. A wall's faces stand at fixed shares of its
// cell's depth (its inner face, its band's front), so the front of the smaller cells steps out
// and that of the larger ones in: its inner face then stands off the neighbour's by more than
// its outer face does, not by the step less the two walls' difference in thickness.
// i_cellX, i_cellZ: i's cells before its ends moved.
void StepOffFronts(const std::vector<CityBuilding>& i_buildings, const std::vector<std::size_t>& i_neighbours,
                   std::size_t i, std::size_t i_reached, int i_end, double i_cellX, double i_cellZ,
                   GridLines& io_lines) {
  double* ends[4] = {&io_lines.sMin, &io_lines.sMax, &io_lines.tMin, &io_lines.tMax};
  const CellFootprint& theirs = i_buildings[i_reached].fit;
  for (const int e : {(i_end ^ 2) & ~1, ((i_end ^ 2) & ~1) + 1}) {
    if (!OnGridLine(i_buildings[i_reached], e, *ends[e])) continue;
    bool shared = false;
    for (std::size_t j : i_neighbours) {
      if (j != i_reached && j < i && OnGridLine(i_buildings[j], e, *ends[e])) shared = true;
    }
    if (shared) continue;
    const bool out = e < 2 ? i_cellX < theirs.cellX : i_cellZ < theirs.cellZ;
    const double outward = e % 2 == 1 ? kFrontStep : -kFrontStep;  // max ends face up the axis
    *ends[e] += out ? outward : -outward;
  }
}

// A probe's step beyond a side of i_fit's cells, metres: small enough to stay within a
// neighbour's first cell, large enough to cross a joint left open in the data.
double ProbeStep(const CellFootprint& i_fit) { return std::min(0.25, 0.1 * std::min(i_fit.cellX, i_fit.cellZ)); }

// The points just beyond a side of cell (i_row, i_column) where PartySides looks for a
// neighbour's cells: beyond its middle, then near its two ends.
using Probes = std::array<MapPoint, 3>;
Probes ProbesOf(const CellFootprint& i_fit, int i_row, int i_column, Facing i_facing) {
  const int f = static_cast<int>(i_facing);
  const double step = ProbeStep(i_fit);
  const MapPoint normal = SideNormal(i_fit, i_facing);
  const MapPoint middle = SideMiddle(i_fit, i_row, i_column, i_facing);
  const MapPoint along = (f % 2 == 0) ? AxisZ(i_fit) : AxisX(i_fit);
  const double half = 0.4 * ((f % 2 == 0) ? i_fit.cellZ : i_fit.cellX);
  const MapPoint beyond{middle.east + normal.east * step, middle.north + normal.north * step};
  return {beyond, MapPoint{beyond.east + along.east * half, beyond.north + along.north * half},
          MapPoint{beyond.east - along.east * half, beyond.north - along.north * half}};
}

// Whether a probe of a side (ProbesOf) lies in a cell of i_other.
bool Reaches(const Probes& i_probes, const CellFootprint& i_other) {
  for (const MapPoint& probe : i_probes) {
    int row = 0, column = 0;
    CellAt(i_other, probe, row, column);
    if (i_other.has(row, column)) return true;
  }
  return false;
}

// The kit's walls stand this share of their cell deep (0.3 m of a 3 m cell): a roof row's slab
// ends at their inner face.
constexpr double kWallShare = 0.1;
// How far inside a neighbour's wall a grid's end that is moved back stops short of its inner face:
// metres, so that the slab's edge lies within the wall, not on its face.
constexpr double kInsideWall = 0.003;

// The grid lines of a fitted grid, as GridLines holds them.
GridLines LinesOf(const CellFootprint& i_fit) {
  const MapPoint x = AxisX(i_fit), z = AxisZ(i_fit);
  const double s = i_fit.origin.east * x.east + i_fit.origin.north * x.north;
  const double t = i_fit.origin.east * z.east + i_fit.origin.north * z.north;
  GridLines lines;
  lines.given = true;
  lines.bearing = i_fit.bearing;
  lines.sMax = s + i_fit.cellX / 2, lines.sMin = s - (i_fit.rows - 0.5) * i_fit.cellX;
  lines.tMin = t - i_fit.cellZ / 2, lines.tMax = t + (i_fit.columns - 0.5) * i_fit.cellZ;
  return lines;
}

// How far a point of i_other's grid (i_row, i_column: its place in rows and columns, 0 at the
// middle of cell 0, 0) lies past the inner face of the wall of i_other's cells that faces
// i_normal (the outward normal of the side the point is on), over i_other's roof: metres along
// i_normal; 0 where it is not over that roof (outside its cells, or in its walls). HUGE_VAL where
// it lies deeper than a sliver: past the wall's inner face by more than the wall is deep, or in a
// cell whose wall that is not (the two grids' cells overlap; SettleOverlaps settles those).
double PastInnerFace(const CellFootprint& i_other, double i_row, double i_column, const MapPoint& i_normal) {
  const int row = static_cast<int>(std::floor(i_row + 0.5)), column = static_cast<int>(std::floor(i_column + 0.5));
  if (!i_other.has(row, column)) return 0;
  // From the N, E, S and W sides of the cell, cells; its roof leaves out the walls along the sides
  // that are facades.
  const double in[4] = {i_row - row + 0.5, column - i_column + 0.5, row - i_row + 0.5, i_column - column + 0.5};
  int facing = 0;
  double opposite = 2;
  for (int f = 0; f < 4; ++f) {
    if (!i_other.has(row + kRowStep[f], column + kColumnStep[f]) && in[f] < kWallShare) return 0;
    const MapPoint normal = SideNormal(i_other, static_cast<Facing>(f));
    const double dot = normal.east * i_normal.east + normal.north * i_normal.north;
    if (dot < opposite) opposite = dot, facing = f;
  }
  if (opposite > -0.5) return 0;  // no wall of its faces the side
  const double past = in[facing] - kWallShare;
  if (i_other.has(row + kRowStep[facing], column + kColumnStep[facing]) || past > kWallShare) return HUGE_VAL;
  return past * (facing % 2 == 0 ? i_other.cellX : i_other.cellZ) / -opposite;
}

// The most that a stretch from i_a to i_b lies past the inner face of i_other's wall facing
// i_normal, over its roof, as PastInnerFace. It changes linearly along the stretch but where the
// stretch enters or leaves a roof, at a wall's inner face or a cell's side, so its most is at an
// end of the stretch or just inside one of those lines.
double MostPastInnerFace(const CellFootprint& i_other, const MapPoint& i_a, const MapPoint& i_b,
                         const MapPoint& i_normal) {
  const MapPoint x = AxisX(i_other), z = AxisZ(i_other);
  const auto place = [&](const MapPoint& p, double& o_row, double& o_column) {
    const double de = p.east - i_other.origin.east, dn = p.north - i_other.origin.north;
    o_row = -(de * x.east + dn * x.north) / i_other.cellX;
    o_column = (de * z.east + dn * z.north) / i_other.cellZ;
  };
  double row[2], column[2];
  place(i_a, row[0], column[0]);
  place(i_b, row[1], column[1]);
  std::vector<double> at = {0.0, 1.0};  // shares of the stretch
  constexpr double kInside = 1e-9;      // cells
  for (const double* axis : {row, column}) {
    if (axis[0] == axis[1]) continue;
    const double lo = std::min(axis[0], axis[1]), hi = std::max(axis[0], axis[1]);
    for (double k = std::floor(lo) - 1; k <= std::ceil(hi) + 1; ++k) {
      for (const double line : {k - 0.5 + kInside, k - 0.5 + kWallShare + kInside, k + 0.5 - kWallShare - kInside,
                                k + 0.5 - kInside}) {
        const double u = (line - axis[0]) / (axis[1] - axis[0]);
        if (u > 0 && u < 1) at.push_back(u);
      }
    }
  }
  double most = 0;
  for (const double u : at) {
    most = std::max(most, PastInnerFace(i_other, row[0] + (row[1] - row[0]) * u,
                                        column[0] + (column[1] - column[0]) * u, i_normal));
  }
  return most;
}

// How far end i_end of a grid (0: its S line, 1: N, 2: W, 3: E, as EndRuns) fitted as i_fit must
// move back so that no roof slab along it lies over the roof of a neighbour of i_others where the
// two meet in a sliver: metres, to kInsideWall short of the neighbour's wall's inner face; 0 where
// none does, or where the end reaches deeper into a neighbour. Each cell's side on that line
// counts where the roof's slab reaches it, between the walls at its ends.
double OverNeighbourRoofs(const std::vector<CityBuilding>& i_buildings, const std::vector<std::size_t>& i_others,
                          const CellFootprint& i_fit, int i_end) {
  constexpr Facing kFacing[4] = {Facing::South, Facing::North, Facing::West, Facing::East};
  const int f = static_cast<int>(kFacing[i_end]);
  const MapPoint normal = SideNormal(i_fit, kFacing[i_end]);
  const bool alongRow = i_end < 2;
  const int count = alongRow ? i_fit.columns : i_fit.rows;
  const int line = i_end == 0 ? i_fit.rows - 1 : i_end == 3 ? i_fit.columns - 1 : 0;
  const int ar = alongRow ? 0 : 1, ac = alongRow ? 1 : 0;  // a step along the line
  double back = 0;
  for (int k = 0; k < count; ++k) {
    const int row = alongRow ? line : k, column = alongRow ? k : line;
    if (!i_fit.has(row, column)) continue;
    const double lo = -0.5 + (i_fit.has(row - ar, column - ac) ? 0 : kWallShare);
    const double hi = 0.5 - (i_fit.has(row + ar, column + ac) ? 0 : kWallShare);
    const double r = row + 0.5 * kRowStep[f], c = column + 0.5 * kColumnStep[f];
    const MapPoint a = CellCentre(i_fit, r + lo * ar, c + lo * ac), b = CellCentre(i_fit, r + hi * ar, c + hi * ac);
    for (std::size_t j : i_others) {
      const double past = MostPastInnerFace(i_buildings[j].fit, a, b, normal);
      if (past == HUGE_VAL) return 0;
      if (past > 0) back = std::max(back, past + kInsideWall);
    }
  }
  return back;
}

// Building i's grid moved back, where an end of it would lay its roof on the roof of an earlier
// neighbour of its height (i_earlier: the earlier buildings whose outlines touch its): its roof
// row is then a bare slab on that side, under the neighbour's parapet, so where their walls meet
// askew and its line reaches past the neighbour's wall, the two slabs' tops would lie in one
// plane. An end on a line of an earlier neighbour's grid stays (i_lined: those neighbours), as
// the lines its neighbours share. Its fit and grid are made again when an end moves.
void KeepOffNeighbourRoofs(std::vector<CityBuilding>& io_buildings, const std::vector<std::size_t>& i_earlier,
                           const std::vector<std::size_t>& i_lined, std::size_t i, const CellOptions& i_options) {
  CityBuilding& building = io_buildings[i];
  if (!building.fit.fault.empty()) return;
  std::vector<std::size_t> level;  // earlier neighbours of its height
  for (std::size_t j : i_earlier) {
    if (io_buildings[j].storeys == building.storeys && io_buildings[j].fit.fault.empty()) level.push_back(j);
  }
  if (level.empty()) return;
  GridLines lines = building.grid.given ? building.grid : LinesOf(building.fit);
  double* ends[4] = {&lines.sMin, &lines.sMax, &lines.tMin, &lines.tMax};
  bool moved = false;
  for (int e = 0; e < 4; ++e) {
    bool shared = false;
    for (std::size_t j : i_lined) shared = shared || OnGridLine(io_buildings[j], e, *ends[e]);
    if (shared) continue;
    const double back = OverNeighbourRoofs(io_buildings, level, building.fit, e);
    if (back <= 0) continue;
    *ends[e] -= e % 2 == 1 ? back : -back;  // max ends face up the axis
    moved = true;
  }
  if (!moved) return;
  CellOptions options = i_options;
  options.grid = lines;
  CellFootprint fit = FootprintCells(building.shape, options);
  // It stands back only as far as its cells stay, each side against the neighbours it was against
  // (a line at a slant stands farther off at its other end), else not at all.
  if (!fit.fault.empty() || fit.rows != building.fit.rows || fit.columns != building.fit.columns ||
      fit.cells != building.fit.cells)
    return;
  for (int r = 0; r < fit.rows; ++r) {
    for (int c = 0; c < fit.columns; ++c) {
      for (int f = 0; f < 4 && fit.has(r, c); ++f) {
        if (fit.has(r + kRowStep[f], c + kColumnStep[f])) continue;
        const Probes before = ProbesOf(building.fit, r, c, static_cast<Facing>(f));
        const Probes after = ProbesOf(fit, r, c, static_cast<Facing>(f));
        for (std::size_t j : i_earlier) {
          if (Reaches(before, io_buildings[j].fit) && !Reaches(after, io_buildings[j].fit)) return;
        }
      }
    }
  }
  building.fit = std::move(fit);
  building.grid = lines;
}

}  // namespace neighbours

void AlignNeighbours(std::vector<CityBuilding>& io_buildings, const CellOptions& i_options) {
  using neighbours::Groups;
  const std::vector<std::pair<std::size_t, std::size_t>> pairs = neighbours::TouchingPairs(io_buildings);
  if (pairs.empty()) return;
  // Directions: neighbours join while their group's directions span at most kAlignDegrees, and
  // the group takes the middle of that span.
  std::vector<double> bearings;
  for (const CityBuilding& building : io_buildings) bearings.push_back(building.fit.bearing);
  Groups directions(bearings, kAlignDegrees);
  for (const auto& [a, b] : pairs) {
    if (io_buildings[a].fit.fault.empty() && io_buildings[b].fit.fault.empty())
      directions.join(a, b, neighbours::BearingDifference(bearings[b], bearings[a]));
  }
  // Then, in the file's order, each building's grid on its group's direction ends where its
  // outline does, each end moved onto the nearest line of an earlier neighbour's grid (an end or
  // any line between its cells) within kAlignShare of a cell: walls on a shared edge meet in one
  // plane, and a wall that ends along a neighbour's ends where one of the neighbour's cells does,
  // so that of two walls in a plane one stands over the other's whole sides.
  std::vector<std::vector<std::size_t>> neighbours(io_buildings.size());
  for (const auto& [a, b] : pairs) {
    if (directions.root(a) != directions.root(b)) continue;
    neighbours[a].push_back(b);
    neighbours[b].push_back(a);
  }
  const double cell = std::min(i_options.cell, i_options.cellZ > 0 ? i_options.cellZ : i_options.cell);
  std::vector<std::vector<std::size_t>> earlier(io_buildings.size());  // whatever their direction
  for (const auto& [a, b] : pairs) earlier[b].push_back(a);
  std::vector<unsigned char> aligned(io_buildings.size(), 0);
  for (std::size_t i = 0; i < io_buildings.size(); ++i) {
    if (neighbours[i].empty()) {
      neighbours::KeepOffNeighbourRoofs(io_buildings, earlier[i], {}, i, i_options);
      continue;
    }
    double bearing = directions.middle(directions.root(i));  // one value for the whole group
    if (bearing > 45) bearing -= 90;
    if (bearing <= -45) bearing += 90;
    GridLines lines = ExtentAt(io_buildings[i].shape, bearing);
    double* ends[4] = {&lines.sMin, &lines.sMax, &lines.tMin, &lines.tMax};
    for (int e = 0; e < 4; ++e) {
      double best = *ends[e], miss = kAlignShare * cell;
      for (std::size_t j : neighbours[i]) {
        if (j > i || !aligned[j]) continue;
        const GridLines& theirs = io_buildings[j].grid;
        const CellFootprint& fit = io_buildings[j].fit;
        // Their grid is centred on their extent: its lines step by a cell from one end.
        const bool alongS = e < 2;
        const double size = alongS ? fit.cellX : fit.cellZ;
        const int count = alongS ? fit.rows : fit.columns;
        const double first = (alongS ? theirs.sMin + theirs.sMax : theirs.tMin + theirs.tMax) / 2 - count * size / 2;
        const double k = std::clamp(std::round((*ends[e] - first) / size), 0.0, static_cast<double>(count));
        const double line = first + k * size;
        if (std::fabs(line - *ends[e]) < miss) best = line, miss = std::fabs(line - *ends[e]);
      }
      *ends[e] = best;
    }
    CellOptions options = i_options;
    options.grid = lines;
    CellFootprint fit = FootprintCells(io_buildings[i].shape, options);
    if (!fit.fault.empty()) continue;
    // Where its cells and an earlier neighbour's meet on one line staggered, a wall could be left
    // out only for the other's cells that cover its sides in part, and the rest of the side, kept,
    // would stand in the plane of the other's: the grid's end then reaches a little into the
    // neighbour's wall, so that the two walls overlap inside each other instead of in one plane.
    bool moved = false;
    std::size_t reached[4] = {SIZE_MAX, SIZE_MAX, SIZE_MAX, SIZE_MAX};  // the neighbour an end reaches into
    for (int e = 0; e < 4; ++e) {
      for (std::size_t j : neighbours[i]) {
        if (j > i || !aligned[j]) continue;
        const double* theirs[4] = {&io_buildings[j].grid.sMin, &io_buildings[j].grid.sMax, &io_buildings[j].grid.tMin,
                                   &io_buildings[j].grid.tMax};
        if (std::fabs(*ends[e] - *theirs[e ^ 1]) > 1e-6) continue;  // not on their end facing it
        // Of two walls in one plane, one is left out where the other stands over all of its
        // sides; a side the other covers in part stays, in the other's plane where they meet.
        const auto mine = neighbours::EndRuns(fit, lines, e);
        const auto others = neighbours::EndRuns(io_buildings[j].fit, io_buildings[j].grid, e ^ 1);
        const bool alongT = e < 2;
        if (!neighbours::CoveredInPart(mine, alongT ? fit.cellZ : fit.cellX, others) &&
            !neighbours::CoveredInPart(others, alongT ? io_buildings[j].fit.cellZ : io_buildings[j].fit.cellX, mine))
          continue;
        *ends[e] += e % 2 == 1 ? neighbours::kInto : -neighbours::kInto;
        reached[e] = j;
        moved = true;
        break;
      }
    }
    // A front that runs on in the plane of the front of a neighbour it reaches into would lie on
    // that front over the reach: it stands a little off that plane instead.
    for (int e = 0; e < 4 && moved; ++e) {
      if (reached[e] == SIZE_MAX) continue;
      neighbours::StepOffFronts(io_buildings, neighbours[i], i, reached[e], e, fit.cellX, fit.cellZ, lines);
    }
    if (moved) {
      options.grid = lines;
      CellFootprint into = FootprintCells(io_buildings[i].shape, options);
      if (into.fault.empty()) fit = std::move(into);
    }
    io_buildings[i].fit = std::move(fit);
    io_buildings[i].grid = lines;
    aligned[i] = 1;
    std::vector<std::size_t> lined;
    for (std::size_t j : neighbours[i]) {
      if (j < i) lined.push_back(j);
    }
    neighbours::KeepOffNeighbourRoofs(io_buildings, earlier[i], lined, i, i_options);
  }
}

MapPoint SideNormal(const CellFootprint& i_fit, Facing i_facing) {
  const MapPoint x = AxisX(i_fit), z = AxisZ(i_fit);
  switch (i_facing) {
    case Facing::North:
      return x;
    case Facing::East:
      return z;
    case Facing::South:
      return MapPoint{-x.east, -x.north};
    case Facing::West:
      break;
  }
  return MapPoint{-z.east, -z.north};
}

MapPoint SideMiddle(const CellFootprint& i_fit, int i_row, int i_column, Facing i_facing) {
  const int f = static_cast<int>(i_facing);
  return CellCentre(i_fit, i_row + 0.5 * neighbours::kRowStep[f], i_column + 0.5 * neighbours::kColumnStep[f]);
}

void SettleOverlaps(std::vector<CityBuilding>& io_buildings, const CellOptions& i_options) {
  const neighbours::Index index(io_buildings);
  std::vector<std::size_t> near;
  // Whether a point of the map is another building's ground rather than building i's.
  const auto othersGround = [&](std::size_t i, const MapPoint& i_point) {
    index.near(i_point, near);
    for (std::size_t other : near) {
      if (other == i || !Contains(io_buildings[other].shape, i_point)) continue;
      if (!Contains(io_buildings[i].shape, i_point) || io_buildings[other].number < io_buildings[i].number) return true;
    }
    return false;
  };
  // First, cells on another's ground go. That is decided on the outlines alone, which no step
  // changes, so the order of the buildings is of no account.
  for (std::size_t i = 0; i < io_buildings.size(); ++i) {
    const CellFootprint& fit = io_buildings[i].fit;
    bool found = false;
    for (int r = 0; r < fit.rows && !found; ++r) {
      for (int c = 0; c < fit.columns && !found; ++c) found = fit.has(r, c) && othersGround(i, CellCentre(fit, r, c));
    }
    if (!found) continue;
    CellOptions options = i_options;
    options.grid = io_buildings[i].grid;
    options.forbidden = [&, i](const MapPoint& i_point) { return othersGround(i, i_point); };
    io_buildings[i].fit = FootprintCells(io_buildings[i].shape, options);
  }
  // Then, where two grids still overlap (outlines that meet askew), of two cells overlapping by
  // more than kOverlapShare of a cell, the one its outline covers less goes (of two alike, the
  // later building's). Decided on the first step's cells, again whatever the order.
  const neighbours::Index settled(io_buildings);
  std::vector<std::vector<std::size_t>> dropped(io_buildings.size());
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < io_buildings.size(); ++i) {
    const CellFootprint& fit = io_buildings[i].fit;
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        const neighbours::Square square = neighbours::SquareOf(fit, r, c);
        const double covered = fit.covered[static_cast<std::size_t>(r) * static_cast<std::size_t>(fit.columns) +
                                           static_cast<std::size_t>(c)];
        found.clear();
        for (const MapPoint& corner : square) {
          settled.near(corner, near);
          for (std::size_t other : near) {
            if (other != i && std::find(found.begin(), found.end(), other) == found.end()) found.push_back(other);
          }
        }
        bool loses = false;
        for (std::size_t other : found) {
          const CityBuilding& them = io_buildings[other];
          if (neighbours::Loses(fit, square, covered, io_buildings[i].number, them.fit, them.number)) loses = true;
        }
        if (loses) dropped[i].push_back(static_cast<std::size_t>(r) * static_cast<std::size_t>(fit.columns) + static_cast<std::size_t>(c));
      }
    }
  }
  for (std::size_t i = 0; i < io_buildings.size(); ++i) {
    if (dropped[i].empty()) continue;
    const CellFootprint grid = io_buildings[i].fit;
    CellOptions options = i_options;
    options.grid = io_buildings[i].grid;
    options.forbidden = [&, i](const MapPoint& i_point) {
      int row = 0, column = 0;
      CellAt(grid, i_point, row, column);
      const std::size_t cell = static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.columns) + static_cast<std::size_t>(column);
      return othersGround(i, i_point) || std::find(dropped[i].begin(), dropped[i].end(), cell) != dropped[i].end();
    };
    io_buildings[i].fit = FootprintCells(io_buildings[i].shape, options);
  }
}

std::vector<std::vector<PartySide>> PartySides(const std::vector<CityBuilding>& i_buildings) {
  const neighbours::Index index(i_buildings);
  std::vector<std::vector<neighbours::Contact>> contacts(i_buildings.size());
  std::vector<std::size_t> near;
  for (std::size_t i = 0; i < i_buildings.size(); ++i) {
    const CellFootprint& fit = i_buildings[i].fit;
    const double step = neighbours::ProbeStep(fit);
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        for (int f = 0; f < 4; ++f) {
          if (fit.has(r + neighbours::kRowStep[f], c + neighbours::kColumnStep[f])) continue;
          const Facing facing = static_cast<Facing>(f);
          const MapPoint normal = SideNormal(fit, facing);
          const MapPoint middle = SideMiddle(fit, r, c, facing);
          const neighbours::Probes probes = neighbours::ProbesOf(fit, r, c, facing);
          const MapPoint& beyond = probes[0];
          neighbours::Contact contact{{r, c, facing, false, false, 0}, i, false, false};
          int hits = 0, inPlane = 0, backed = 0;
          for (const MapPoint& probe : probes) {
            index.near(probe, near);
            for (std::size_t other : near) {
              if (other == i || (hits > 0 && other != contact.other)) continue;
              int row = 0, column = 0;
              CellAt(i_buildings[other].fit, probe, row, column);
              if (!i_buildings[other].fit.has(row, column)) continue;
              contact.other = other;
              ++hits;
              inPlane += neighbours::InPlane(i_buildings[other].fit, row, column, normal, middle) ? 1 : 0;
              backed += neighbours::InPlane(i_buildings[other].fit, row, column, normal, middle, kBackedMetres) ? 1 : 0;
              break;
            }
          }
          if (hits == 0) continue;
          contact.side.neighbour = i_buildings[contact.other].number;
          contact.inPlane = inPlane > 0;
          contact.covered = hits == 3 && inPlane == 3;
          contact.side.covered = contact.covered;
          contact.side.backed = hits == 3 && backed == 3;
          // A front of the cell beside the party side: the neighbour's cell stands just beyond the
          // side, just inside the front's line (endAgainst), and has a side in the front's plane
          // (runsOn).
          const double halfAlong = 0.5 * ((f % 2 == 0) ? fit.cellZ : fit.cellX);
          const CellFootprint& theirs = i_buildings[contact.other].fit;
          for (const int turn : {1, 3}) {
            const int g = (f + turn) % 4;
            if (fit.has(r + neighbours::kRowStep[g], c + neighbours::kColumnStep[g])) continue;
            const MapPoint front = SideNormal(fit, static_cast<Facing>(g));
            const MapPoint probe{beyond.east + front.east * (halfAlong - step),
                                 beyond.north + front.north * (halfAlong - step)};
            int row = 0, column = 0;
            CellAt(theirs, probe, row, column);
            if (!theirs.has(row, column)) continue;
            contact.side.endAgainst = true;
            if (neighbours::RunsOn(theirs, row, column, front, SideMiddle(fit, r, c, static_cast<Facing>(g))))
              contact.side.runsOn = true;
          }
          contacts[i].push_back(contact);
        }
      }
    }
  }
  // Whether every side of building i in a plane with building o stands wholly against o's cells.
  const auto contained = [&](std::size_t i, std::size_t o) {
    for (const neighbours::Contact& contact : contacts[i]) {
      if (contact.other == o && contact.inPlane && !contact.covered) return false;
    }
    return true;
  };
  std::vector<std::vector<PartySide>> result(i_buildings.size());
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    for (neighbours::Contact& contact : contacts[i]) {
      // Of two walls in one plane, the one that stands over the whole of the other stays; of two
      // that stand over each other, or neither, the winner's. A side only partly against the
      // other's wall stays, closed.
      if (contact.covered) {
        const bool mine = contained(i, contact.other), theirs = contained(contact.other, i);
        contact.side.hidden = mine != theirs ? mine : neighbours::Wins(i_buildings[contact.other], i_buildings[i]);
      }
      result[i].push_back(contact.side);
    }
  }
  return result;
}

}  // namespace Ostrel::Geo
