// Neighbours: definitions.

#include <ostrel/geo/Neighbours.h>

#include <algorithm>
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
  // Decided on the outlines alone, which no step changes, so the order of the buildings is
  // of no account.
  std::vector<std::size_t> crowded;
  for (std::size_t i = 0; i < io_buildings.size(); ++i) {
    const CellFootprint& fit = io_buildings[i].fit;
    bool found = false;
    for (int r = 0; r < fit.rows && !found; ++r) {
      for (int c = 0; c < fit.columns && !found; ++c) found = fit.has(r, c) && othersGround(i, CellCentre(fit, r, c));
    }
    if (found) crowded.push_back(i);
  }
  for (std::size_t i : crowded) {
    CellOptions options = i_options;
    options.forbidden = [&, i](const MapPoint& i_point) { return othersGround(i, i_point); };
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
          neighbours::Contact contact{{r, c, facing, false, 0}, i, false, false};
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
