// How faithfully outlines become footprints of cells, over a GeoJSON file, as the city would
// build them (the tangent plane at the data's centre, the shipped kit's 3 m cells, neighbours
// settled). Prints, for one run:
//   - features read, built and skipped by reason;
//   - the intersection over union, in square metres, of each building's cells with its
//     outline: median, tenth percentile and minimum over buildings of more than 4 cells;
//   - the worst overlap of two buildings' cells, as a share of the smaller one's cells;
//   - party sides, those left out, and pairs of kept sides of two buildings in one plane
//     (faces that would coincide), with the length they share.
//
//   footprint_fidelity FILE.geojson [cell metres] [--svg PICTURE.svg] [--kit]
// --kit: the cells edited until the kit's pieces can build them (CellOptions::kitRules).
//   footprint_fidelity --read FILE.geojson     (only reads the file: the streaming reader's cost)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <ostrel/ext/GeoJson.h>
#include <ostrel/geo/FootprintCells.h>
#include <ostrel/geo/Neighbours.h>
#include <ostrel/geo/Projection.h>

namespace {

using namespace Ostrel::Geo;

using Polygon = std::vector<MapPoint>;

Polygon Square(const CellFootprint& i_fit, int i_row, int i_column) {
  return {CellCentre(i_fit, i_row - 0.5, i_column - 0.5), CellCentre(i_fit, i_row - 0.5, i_column + 0.5),
          CellCentre(i_fit, i_row + 0.5, i_column + 0.5), CellCentre(i_fit, i_row + 0.5, i_column - 0.5)};
}

double PolygonArea(const Polygon& i_polygon) {
  double twice = 0;
  for (std::size_t i = 0; i < i_polygon.size(); ++i) {
    const MapPoint& a = i_polygon[i];
    const MapPoint& b = i_polygon[(i + 1) % i_polygon.size()];
    twice += a.east * b.north - b.east * a.north;
  }
  return std::fabs(twice) / 2;
}

// The part of convex i_subject inside convex i_clip (both wound alike).
Polygon ClipConvex(Polygon i_subject, const Polygon& i_clip) {
  const double sign = [&] {
    double twice = 0;
    for (std::size_t i = 0; i < i_clip.size(); ++i) {
      const MapPoint& a = i_clip[i];
      const MapPoint& b = i_clip[(i + 1) % i_clip.size()];
      twice += a.east * b.north - b.east * a.north;
    }
    return twice > 0 ? 1.0 : -1.0;
  }();
  for (std::size_t i = 0; i < i_clip.size() && !i_subject.empty(); ++i) {
    const MapPoint& a = i_clip[i];
    const MapPoint& b = i_clip[(i + 1) % i_clip.size()];
    const auto side = [&](const MapPoint& p) {
      return sign * ((b.east - a.east) * (p.north - a.north) - (b.north - a.north) * (p.east - a.east));
    };
    Polygon out;
    for (std::size_t j = 0; j < i_subject.size(); ++j) {
      const MapPoint& p = i_subject[j];
      const MapPoint& q = i_subject[(j + 1) % i_subject.size()];
      const double sp = side(p), sq = side(q);
      if (sp >= 0) out.push_back(p);
      if ((sp >= 0) != (sq >= 0)) {
        const double k = sp / (sp - sq);
        out.push_back({p.east + (q.east - p.east) * k, p.north + (q.north - p.north) * k});
      }
    }
    i_subject = std::move(out);
  }
  return i_subject;
}

int Storeys(const GeoJson::Feature& i_feature) {
  if (const std::string* levels = i_feature.property("building:levels")) return std::max(1, std::atoi(levels->c_str()));
  if (const std::string* height = i_feature.property("height"))
    return std::max(1, static_cast<int>(std::lround(std::atof(height->c_str()) / 3.0)));
  return 3;
}

// One outer ring of four corners, each within a degree of a right angle, and no hole.
bool IsRectangle(const Shape& i_shape) {
  if (i_shape.size() != 1 || !i_shape[0].holes.empty() || i_shape[0].outer.size() != 4) return false;
  const std::vector<MapPoint>& ring = i_shape[0].outer;
  for (std::size_t i = 0; i < 4; ++i) {
    const MapPoint& a = ring[i];
    const MapPoint& b = ring[(i + 1) % 4];
    const MapPoint& c = ring[(i + 2) % 4];
    const double ux = b.east - a.east, uy = b.north - a.north, vx = c.east - b.east, vy = c.north - b.north;
    if (std::fabs(ux * vx + uy * vy) > std::sin(3.14159265358979 / 180) * std::hypot(ux, uy) * std::hypot(vx, vy))
      return false;
  }
  return true;
}

std::string IdOf(const GeoJson::Feature& i_feature) {
  if (!i_feature.id.empty()) return i_feature.id;
  for (const char* key : {"id", "@id", "osm_id", "name"}) {
    if (const std::string* value = i_feature.property(key)) return *value;
  }
  return "feature " + std::to_string(i_feature.number);
}

double Percentile(std::vector<double> i_values, double i_share) {
  if (i_values.empty()) return 0;
  std::sort(i_values.begin(), i_values.end());
  return i_values[static_cast<std::size_t>(i_share * static_cast<double>(i_values.size() - 1) + 0.5)];
}

// The quarter seen from above, north up: each outline (black), the cells made of it (shaded by
// storeys), party sides (red; dashed where left out).
void DrawPicture(const std::string& i_path, const std::vector<CityBuilding>& i_buildings,
                 const std::vector<std::vector<PartySide>>& i_party) {
  double minE = HUGE_VAL, maxE = -HUGE_VAL, minN = HUGE_VAL, maxN = -HUGE_VAL;
  for (const CityBuilding& building : i_buildings) {
    for (const Ostrel::Geo::Area& area : building.shape) {
      for (const MapPoint& p : area.outer) {
        minE = std::min(minE, p.east), maxE = std::max(maxE, p.east);
        minN = std::min(minN, p.north), maxN = std::max(maxN, p.north);
      }
    }
  }
  const double scale = 2.0, margin = 10;  // pixels a metre, pixels
  const auto x = [&](const MapPoint& p) { return margin + (p.east - minE) * scale; };
  const auto y = [&](const MapPoint& p) { return margin + (maxN - p.north) * scale; };
  std::FILE* out = std::fopen(i_path.c_str(), "w");
  if (!out) return;
  std::fprintf(out, "<svg xmlns='http://www.w3.org/2000/svg' width='%.0f' height='%.0f'>\n"
                    "<rect width='100%%' height='100%%' fill='white'/>\n",
               (maxE - minE) * scale + 2 * margin, (maxN - minN) * scale + 2 * margin);
  for (std::size_t i = 0; i < i_buildings.size(); ++i) {
    const CellFootprint& fit = i_buildings[i].fit;
    if (!fit.fault.empty()) continue;
    const int shade = std::max(120, 235 - 18 * i_buildings[i].storeys);
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        std::fprintf(out, "<polygon fill='rgb(%d,%d,235)' stroke='white' stroke-width='0.6' points='", shade, shade);
        for (const MapPoint& p : Square(fit, r, c)) std::fprintf(out, "%.2f,%.2f ", x(p), y(p));
        std::fprintf(out, "'/>\n");
      }
    }
  }
  for (const CityBuilding& building : i_buildings) {
    for (const Ostrel::Geo::Area& area : building.shape) {
      const auto ring = [&](const std::vector<MapPoint>& i_ring) {
        std::fprintf(out, "<polygon fill='none' stroke='black' stroke-width='0.8' points='");
        for (const MapPoint& p : i_ring) std::fprintf(out, "%.2f,%.2f ", x(p), y(p));
        std::fprintf(out, "'/>\n");
      };
      ring(area.outer);
      for (const auto& hole : area.holes) ring(hole);
    }
  }
  for (std::size_t i = 0; i < i_buildings.size(); ++i) {
    const CellFootprint& fit = i_buildings[i].fit;
    for (const PartySide& side : i_party[i]) {
      const int f = static_cast<int>(side.facing);
      const MapPoint middle = SideMiddle(fit, side.row, side.column, side.facing);
      const MapPoint along = f % 2 == 0 ? AxisZ(fit) : AxisX(fit);
      const double half = 0.5 * (f % 2 == 0 ? fit.cellZ : fit.cellX);
      const MapPoint a{middle.east - along.east * half, middle.north - along.north * half};
      const MapPoint b{middle.east + along.east * half, middle.north + along.north * half};
      std::fprintf(out, "<line x1='%.2f' y1='%.2f' x2='%.2f' y2='%.2f' stroke='rgb(200,30,30)' stroke-width='1.6'%s/>\n",
                   x(a), y(a), x(b), y(b), side.hidden ? " stroke-dasharray='2,2'" : "");
    }
  }
  std::fprintf(out, "</svg>\n");
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: footprint_fidelity FILE.geojson [cell metres]\n");
    return 1;
  }
  GeoJson::Collection collection;
  GeoJson::Error error;
  if (std::string(argv[1]) == "--read" && argc > 2) {
    std::ifstream in(argv[2]);
    std::uint64_t positions = 0;
    const bool read = GeoJson::Read(
        in, {},
        [&](const GeoJson::Feature& i_feature) {
          for (const GeoJson::Polygon& polygon : i_feature.polygons) {
            for (const GeoJson::Ring& ring : polygon.rings) positions += ring.size();
          }
          return true;
        },
        collection, error);
    std::printf("features %llu, positions %llu%s\n", static_cast<unsigned long long>(collection.features),
                static_cast<unsigned long long>(positions), read ? "" : ", a fault");
    return read ? 0 : 1;
  }
  CellOptions options;
  std::string svg;
  for (int a = 2; a < argc; ++a) {
    if (std::string(argv[a]) == "--svg" && a + 1 < argc) {
      svg = argv[++a];
    } else if (std::string(argv[a]) == "--kit") {
      options.kitRules = true;
    } else {
      options.cell = std::atof(argv[a]);
    }
  }
  std::ifstream first(argv[1]);
  if (!GeoJson::Read(first, {}, [](const GeoJson::Feature&) { return true; }, collection, error)) {
    std::fprintf(stderr, "%s, line %zu, column %zu: %s\n", argv[1], error.line, error.column, error.message.c_str());
    return 1;
  }
  Projection projection{KindOfCrs(collection.crs), (collection.min.x + collection.max.x) / 2,
                        (collection.min.y + collection.max.y) / 2};
  std::vector<CityBuilding> buildings;
  std::map<std::string, int> skipped;
  std::vector<std::string> told;  // each skipped feature's id and reason
  std::map<std::uint64_t, std::string> ids;
  double farthest = 0;
  std::ifstream second(argv[1]);
  GeoJson::Read(
      second, {},
      [&](const GeoJson::Feature& i_feature) {
        const std::string id = IdOf(i_feature);
        if (!i_feature.fault.empty()) {
          ++skipped[i_feature.fault];
          told.push_back(id + ": " + i_feature.fault);
          return true;
        }
        ids[i_feature.number] = id;
        CityBuilding building;
        building.number = i_feature.number;
        building.storeys = Storeys(i_feature);
        for (const GeoJson::Polygon& polygon : i_feature.polygons) {
          Ostrel::Geo::Area area;
          for (std::size_t r = 0; r < polygon.rings.size(); ++r) {
            std::vector<MapPoint> ring;
            for (std::size_t p = 0; p + 1 < polygon.rings[r].size(); ++p) {
              ring.push_back(Project(projection, polygon.rings[r][p].x, polygon.rings[r][p].y));
              farthest = std::max(farthest, std::hypot(ring.back().east, ring.back().north));
            }
            (r == 0 ? area.outer : area.holes.emplace_back()) = std::move(ring);
          }
          building.shape.push_back(std::move(area));
        }
        building.fit = FootprintCells(building.shape, options);
        if (!building.fit.fault.empty()) {
          ++skipped[building.fit.fault];
          told.push_back(id + ": " + building.fit.fault);
          return true;
        }
        buildings.push_back(std::move(building));
        return true;
      },
      collection, error);
  AlignNeighbours(buildings, options);
  SettleOverlaps(buildings, options);
  std::vector<double> fidelity, shaped;  // every building's; those that are no rectangle's
  std::size_t courtyards = 0;
  for (const CityBuilding& building : buildings) {
    if (!building.fit.fault.empty()) {
      ++skipped[building.fit.fault];
      told.push_back(ids[building.number] + ": " + building.fit.fault + " beside its neighbours");
      continue;
    }
    const CellFootprint& fit = building.fit;
    const double cellArea = fit.cellX * fit.cellZ;
    double cells = 0, both = 0;
    for (std::size_t i = 0; i < fit.cells.size(); ++i) {
      if (!fit.cells[i]) continue;
      cells += cellArea;
      both += fit.covered[i] * cellArea;
    }
    courtyards += static_cast<std::size_t>(fit.courtyards);
    if (cells <= 4 * cellArea + 1e-9) continue;
    fidelity.push_back(both / (cells + ShapeArea(building.shape) - both));
    if (!IsRectangle(building.shape)) shaped.push_back(fidelity.back());
  }
  std::size_t built = 0;
  for (const CityBuilding& building : buildings) built += building.fit.fault.empty() ? 1 : 0;
  std::printf("features %llu: built %zu, skipped %llu\n", static_cast<unsigned long long>(collection.features), built,
              static_cast<unsigned long long>(collection.features - built));
  for (const std::string& line : told) std::printf("  skipped %s\n", line.c_str());
  std::printf("courtyards %zu; farthest point %.0f m from the origin, projection error there %.5f m\n", courtyards,
              farthest, ProjectionError(projection, farthest));
  std::printf("intersection over union, %zu buildings of more than 4 cells: median %.3f, 10th percentile %.3f, min %.3f\n",
              fidelity.size(), Percentile(fidelity, 0.5), Percentile(fidelity, 0.1), Percentile(fidelity, 0.0));
  std::printf("  of them %zu that are no rectangle (L, courtyard, skewed): median %.3f, 10th percentile %.3f\n",
              shaped.size(), Percentile(shaped, 0.5), Percentile(shaped, 0.1));

  // Overlaps of two buildings' cells, as a share of the smaller one's: pairs found through
  // 100 m squares of the map holding each building's first cell.
  const auto bucketOf = [](const MapPoint& i_point) {
    return std::make_pair(static_cast<long>(std::floor(i_point.east / 100)), static_cast<long>(std::floor(i_point.north / 100)));
  };
  std::map<std::pair<long, long>, std::vector<std::size_t>> buckets;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    if (buildings[i].fit.fault.empty()) buckets[bucketOf(buildings[i].fit.origin)].push_back(i);
  }
  const auto nearby = [&](std::size_t i) {
    std::vector<std::size_t> found;
    const auto [x, y] = bucketOf(buildings[i].fit.origin);
    for (long dx = -1; dx <= 1; ++dx) {
      for (long dy = -1; dy <= 1; ++dy) {
        const auto bucket = buckets.find({x + dx, y + dy});
        if (bucket == buckets.end()) continue;
        for (std::size_t j : bucket->second) {
          if (j > i) found.push_back(j);
        }
      }
    }
    return found;
  };
  double worst = 0;
  std::size_t over5 = 0;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    const CellFootprint& a = buildings[i].fit;
    if (!a.fault.empty()) continue;
    for (std::size_t j : nearby(i)) {
      const CellFootprint& b = buildings[j].fit;
      const MapPoint da{a.origin.east - b.origin.east, a.origin.north - b.origin.north};
      const double reach = (a.rows + a.columns + b.rows + b.columns) * 4.0;
      if (std::hypot(da.east, da.north) > reach) continue;
      double shared = 0, areaA = 0, areaB = 0;
      for (int r = 0; r < a.rows; ++r) {
        for (int c = 0; c < a.columns; ++c) {
          if (!a.has(r, c)) continue;
          const Polygon square = Square(a, r, c);
          for (int s = 0; s < b.rows; ++s) {
            for (int t = 0; t < b.columns; ++t) {
              if (b.has(s, t)) shared += PolygonArea(ClipConvex(square, Square(b, s, t)));
            }
          }
        }
      }
      for (unsigned char on : a.cells) areaA += on ? a.cellX * a.cellZ : 0;
      for (unsigned char on : b.cells) areaB += on ? b.cellX * b.cellZ : 0;
      const double share = shared / std::min(areaA, areaB);
      worst = std::max(worst, share);
      over5 += share > 0.05 ? 1 : 0;
    }
  }
  std::printf("overlap of two buildings' cells: worst %.2f%% of the smaller, pairs over 5%%: %zu\n", worst * 100, over5);

  // Party sides, and kept sides of two buildings in one plane.
  const auto party = PartySides(buildings);
  std::size_t sides = 0, hidden = 0;
  for (const auto& list : party) {
    sides += list.size();
    for (const PartySide& side : list) hidden += side.hidden ? 1 : 0;
  }
  struct Wall {
    std::size_t building;
    MapPoint a, b, normal;
  };
  std::vector<Wall> walls;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    const CellFootprint& fit = buildings[i].fit;
    if (!fit.fault.empty()) continue;
    for (int r = 0; r < fit.rows; ++r) {
      for (int c = 0; c < fit.columns; ++c) {
        if (!fit.has(r, c)) continue;
        const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
        for (int f = 0; f < 4; ++f) {
          if (fit.has(r + dr[f], c + dc[f])) continue;
          bool gone = false;
          for (const PartySide& side : party[i])
            gone = gone || (side.row == r && side.column == c && static_cast<int>(side.facing) == f && side.hidden);
          if (gone) continue;
          const MapPoint middle = SideMiddle(fit, r, c, static_cast<Facing>(f));
          const double half = 0.5 * (f % 2 == 0 ? fit.cellZ : fit.cellX);
          const MapPoint along = f % 2 == 0 ? AxisZ(fit) : AxisX(fit);
          walls.push_back({i,
                           {middle.east - along.east * half, middle.north - along.north * half},
                           {middle.east + along.east * half, middle.north + along.north * half},
                           SideNormal(fit, static_cast<Facing>(f))});
        }
      }
    }
  }
  std::size_t coincident = 0;
  double coincidentLength = 0;
  std::vector<std::vector<std::size_t>> wallsOf(buildings.size());
  for (std::size_t w = 0; w < walls.size(); ++w) wallsOf[walls[w].building].push_back(w);
  for (std::size_t bi = 0; bi < buildings.size(); ++bi) {
    if (!buildings[bi].fit.fault.empty()) continue;
    for (std::size_t bj : nearby(bi)) {
      for (std::size_t wi : wallsOf[bi]) {
        for (std::size_t wj : wallsOf[bj]) {
          const Wall& p = walls[wi];
          const Wall& q = walls[wj];
          if (p.normal.east * q.normal.east + p.normal.north * q.normal.north > -0.99995) continue;
          const auto offset = [&](const MapPoint& x) {
            return (x.east - p.a.east) * p.normal.east + (x.north - p.a.north) * p.normal.north;
          };
          if (std::fabs(offset(q.a)) > 0.02 || std::fabs(offset(q.b)) > 0.02) continue;
          const MapPoint dir{p.b.east - p.a.east, p.b.north - p.a.north};
          const double length = std::hypot(dir.east, dir.north);
          const auto along = [&](const MapPoint& x) {
            return ((x.east - p.a.east) * dir.east + (x.north - p.a.north) * dir.north) / length;
          };
          const double lo = std::max(0.0, std::min(along(q.a), along(q.b)));
          const double hi = std::min(length, std::max(along(q.a), along(q.b)));
          if (hi - lo > 0.01) {
            ++coincident;
            coincidentLength += hi - lo;
          }
        }
      }
    }
  }
  std::printf("party sides %zu, left out %zu; kept sides of two buildings in one plane: %zu pairs, %.1f m\n", sides,
              hidden, coincident, coincidentLength);
  if (!svg.empty()) DrawPicture(svg, buildings, party);
  return 0;
}
