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
// the other way, its line within 2 cm of i_middle.
bool InPlane(const CellFootprint& i_other, int i_row, int i_column, const MapPoint& i_normal, const MapPoint& i_middle) {
  for (int f = 0; f < 4; ++f) {
    const Facing facing = static_cast<Facing>(f);
    const MapPoint normal = SideNormal(i_other, facing);
    if (normal.east * i_normal.east + normal.north * i_normal.north > -0.99995) continue;
    const MapPoint middle = SideMiddle(i_other, i_row, i_column, facing);
    const double distance =
        (i_middle.east - middle.east) * normal.east + (i_middle.north - middle.north) * normal.north;
    return std::fabs(distance) < 0.02;
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

}  // namespace neighbours

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
    // A probe's step beyond the side: small enough to stay within a neighbour's first cell,
    // large enough to cross a joint left open in the data.
    const double step = std::min(0.25, 0.1 * std::min(fit.cellX, fit.cellZ));
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        for (int f = 0; f < 4; ++f) {
          if (fit.has(r + neighbours::kRowStep[f], c + neighbours::kColumnStep[f])) continue;
          const Facing facing = static_cast<Facing>(f);
          const MapPoint normal = SideNormal(fit, facing);
          const MapPoint middle = SideMiddle(fit, r, c, facing);
          const MapPoint along = (f % 2 == 0) ? AxisZ(fit) : AxisX(fit);
          const double half = 0.4 * ((f % 2 == 0) ? fit.cellZ : fit.cellX);
          // The middle of the side and two points near its ends, just beyond it.
          const MapPoint beyond{middle.east + normal.east * step, middle.north + normal.north * step};
          const MapPoint probes[3] = {beyond,
                                      {beyond.east + along.east * half, beyond.north + along.north * half},
                                      {beyond.east - along.east * half, beyond.north - along.north * half}};
          neighbours::Contact contact{{r, c, facing, false, false, 0}, i, false, false};
          int hits = 0, inPlane = 0;
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
              break;
            }
          }
          if (hits == 0) continue;
          contact.side.neighbour = i_buildings[contact.other].number;
          contact.inPlane = inPlane > 0;
          contact.covered = hits == 3 && inPlane == 3;
          contact.side.covered = contact.covered;
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
