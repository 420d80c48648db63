// How the buildings of a city OBJ (one `o` object a building, as `towerkit --city` writes it)
// meet their neighbours, measured on the mesh itself. Prints, for one run:
//   - the worst overlap of two buildings' roof outlines (everything of each seen from above:
//     walls, eaves, copings, balconies), as a share of the smaller outline, and the pairs above 5%;
//   - coincident faces: pairs of triangles of two buildings that lie in one plane and share an
//     area of more than 1 cm², and the area they share;
//   - openings on party walls: triangles of glass or door of a building that face, within 0.5 m
//     and below its top, another building's outline.
//
//   city_faces CITY.obj
//
// With CITY_FACES_DEBUG set, each coincident pair of triangles is listed too: the two buildings
// and materials, the plane and the first triangle's centre (x, y, z, metres); set to 2, with both
// triangles' corners. (A copy of the kit whose materials are renamed MATERIAL@piece names the
// pieces as well.)
//
// Outlines are rasterised at 5 cm; faces coincide where each lies within 1 cm of the other's plane.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

struct Triangle {
  std::array<Vec, 3> p;
  bool opening = false;  // glass or door
  std::string material;  // its usemtl's, for the list of pairs
};

constexpr double kCell = 0.05;  // metres, the outline raster's

// A building's outline from above: the top (y) of its mesh over each raster cell, or -inf.
struct Building {
  std::string name;
  std::vector<Triangle> triangles;
  std::int64_t x0 = 0, z0 = 0, columns = 0, rows = 0;  // raster cells
  std::vector<float> top;
  std::uint64_t cells = 0;

  float at(std::int64_t i_x, std::int64_t i_z) const {
    if (i_x < x0 || i_z < z0 || i_x >= x0 + columns || i_z >= z0 + rows) return -INFINITY;
    return top[static_cast<std::size_t>((i_z - z0) * columns + (i_x - x0))];
  }
};

std::int64_t CellOf(double i_metres) { return static_cast<std::int64_t>(std::floor(i_metres / kCell)); }

void Rasterise(Building& io_b) {
  double minX = INFINITY, minZ = INFINITY, maxX = -INFINITY, maxZ = -INFINITY;
  for (const Triangle& t : io_b.triangles) {
    for (const Vec& p : t.p) {
      minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
    }
  }
  if (io_b.triangles.empty()) return;
  io_b.x0 = CellOf(minX), io_b.z0 = CellOf(minZ);
  io_b.columns = CellOf(maxX) - io_b.x0 + 1, io_b.rows = CellOf(maxZ) - io_b.z0 + 1;
  io_b.top.assign(static_cast<std::size_t>(io_b.columns * io_b.rows), -INFINITY);
  for (const Triangle& t : io_b.triangles) {
    const Vec& a = t.p[0];
    const Vec& b = t.p[1];
    const Vec& c = t.p[2];
    const double area = (b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z);
    const float top = static_cast<float>(std::max({a.y, b.y, c.y}));
    if (std::fabs(area) < 1e-9) continue;  // a wall: its outline is that of what it stands under
    const std::int64_t cx0 = CellOf(std::min({a.x, b.x, c.x})), cx1 = CellOf(std::max({a.x, b.x, c.x}));
    const std::int64_t cz0 = CellOf(std::min({a.z, b.z, c.z})), cz1 = CellOf(std::max({a.z, b.z, c.z}));
    for (std::int64_t z = cz0; z <= cz1; ++z) {
      for (std::int64_t x = cx0; x <= cx1; ++x) {
        const double px = (static_cast<double>(x) + 0.5) * kCell, pz = (static_cast<double>(z) + 0.5) * kCell;
        const double u = ((b.x - px) * (c.z - pz) - (c.x - px) * (b.z - pz)) / area;
        const double v = ((c.x - px) * (a.z - pz) - (a.x - px) * (c.z - pz)) / area;
        const double w = 1 - u - v;
        if (u < 0 || v < 0 || w < 0) continue;
        float& cell = io_b.top[static_cast<std::size_t>((z - io_b.z0) * io_b.columns + (x - io_b.x0))];
        cell = std::max(cell, top);
      }
    }
  }
  for (const float cell : io_b.top) io_b.cells += cell > -INFINITY ? 1 : 0;
}

bool ReadObj(const std::string& i_path, std::vector<Building>& o_buildings) {
  std::ifstream in(i_path);
  if (!in) return false;
  std::vector<Vec> positions;
  std::string line, material;
  while (std::getline(in, line)) {
    if (line.size() < 2) continue;
    if (line[0] == 'v' && line[1] == ' ') {
      Vec v;
      std::sscanf(line.c_str() + 2, "%lf %lf %lf", &v.x, &v.y, &v.z);
      positions.push_back(v);
    } else if (line[0] == 'o' && line[1] == ' ') {
      o_buildings.push_back({});
      o_buildings.back().name = line.substr(2);
    } else if (line.compare(0, 7, "usemtl ") == 0) {
      material = line.substr(7);
    } else if (line[0] == 'f' && line[1] == ' ' && !o_buildings.empty()) {
      std::istringstream words(line.substr(2));
      std::vector<Vec> corners;
      std::string word;
      while (words >> word) {
        const long index = std::stol(word);
        corners.push_back(positions[static_cast<std::size_t>(index > 0 ? index - 1 : static_cast<long>(positions.size()) + index)]);
      }
      const bool opening = material.find("glass") != std::string::npos || material.find("door") != std::string::npos;
      for (std::size_t k = 1; k + 1 < corners.size(); ++k)
        o_buildings.back().triangles.push_back({{corners[0], corners[k], corners[k + 1]}, opening, material});
    }
  }
  return true;
}

// A triangle on its plane: the plane's key and the triangle in the plane's 2-D basis.
struct Flat {
  std::size_t building = 0;
  const std::string* material = nullptr;
  std::array<Vec, 3> p;
  std::array<std::array<double, 2>, 3> q;
  double minU = 0, maxU = 0, minV = 0, maxV = 0;
  Vec centre;
  Vec normal;  // the triangle's own unit normal, up to sign as the plane's key
  Vec u, v;    // its plane's basis
};

double Area2(const std::vector<std::array<double, 2>>& i_poly) {
  double twice = 0;
  for (std::size_t i = 0; i < i_poly.size(); ++i) {
    const auto& a = i_poly[i];
    const auto& b = i_poly[(i + 1) % i_poly.size()];
    twice += a[0] * b[1] - b[0] * a[1];
  }
  return twice / 2;
}

// The area two triangles of one plane share: one clipped by the other, both in the first one's
// basis. (Each in its own would move the other by its normal's last digits times its distance
// from the world's origin: 4 cm at 200 m for normals 0.01 degrees apart, enough to make two
// faces that meet on an edge overlap.)
double SharedArea(const Flat& i_a, const Flat& i_b) {
  std::vector<std::array<double, 2>> part(i_a.q.begin(), i_a.q.end());
  std::vector<std::array<double, 2>> clip;
  for (const Vec& p : i_b.p) clip.push_back({Dot(p, i_a.u), Dot(p, i_a.v)});
  if (Area2(clip) < 0) std::reverse(clip.begin(), clip.end());
  for (std::size_t i = 0; i < 3 && !part.empty(); ++i) {
    const auto& a = clip[i];
    const auto& b = clip[(i + 1) % 3];
    const auto side = [&](const std::array<double, 2>& p) {
      return (b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0]);
    };
    std::vector<std::array<double, 2>> out;
    for (std::size_t j = 0; j < part.size(); ++j) {
      const auto& p = part[j];
      const auto& q = part[(j + 1) % part.size()];
      const double sp = side(p), sq = side(q);
      if (sp >= 0) out.push_back(p);
      if ((sp >= 0) != (sq >= 0)) {
        const double k = sp / (sp - sq);
        out.push_back({p[0] + (q[0] - p[0]) * k, p[1] + (q[1] - p[1]) * k});
      }
    }
    part = std::move(out);
  }
  return part.size() < 3 ? 0.0 : std::fabs(Area2(part));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: city_faces CITY.obj\n");
    return 1;
  }
  std::vector<Building> buildings;
  if (!ReadObj(argv[1], buildings)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::uint64_t triangles = 0;
  for (Building& b : buildings) {
    Rasterise(b);
    triangles += b.triangles.size();
  }
  std::printf("buildings %zu, triangles %llu\n", buildings.size(), static_cast<unsigned long long>(triangles));

  // Outlines: every pair whose rasters meet.
  double worst = 0;
  std::size_t above = 0, touching = 0;
  std::string worstPair;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    for (std::size_t j = i + 1; j < buildings.size(); ++j) {
      const Building& a = buildings[i];
      const Building& b = buildings[j];
      const std::int64_t x0 = std::max(a.x0, b.x0), x1 = std::min(a.x0 + a.columns, b.x0 + b.columns);
      const std::int64_t z0 = std::max(a.z0, b.z0), z1 = std::min(a.z0 + a.rows, b.z0 + b.rows);
      if (x0 >= x1 || z0 >= z1) continue;
      std::uint64_t shared = 0;
      for (std::int64_t z = z0; z < z1; ++z) {
        for (std::int64_t x = x0; x < x1; ++x) shared += a.at(x, z) > -INFINITY && b.at(x, z) > -INFINITY ? 1 : 0;
      }
      if (shared == 0) continue;
      ++touching;
      const double share = static_cast<double>(shared) / static_cast<double>(std::min(a.cells, b.cells));
      if (share > 0.05) {
        ++above;
        if (std::getenv("CITY_FACES_DEBUG")) std::printf("  above 5%%: %s and %s, %.1f%%\n", a.name.c_str(), b.name.c_str(), 100 * share);
      }
      if (share > worst) worst = share, worstPair = a.name + " and " + b.name;
    }
  }
  std::printf("roof outlines: %zu pairs overlap; worst %.1f%% of the smaller (%s); %zu pairs above 5%%\n", touching,
              100 * worst, worstPair.c_str(), above);

  // Coincident faces: triangles by plane (the normal's direction up to sign, to 0.001, and the
  // plane's distance, to 1 cm, the neighbouring distances looked at too).
  std::map<std::tuple<long, long, long, long>, std::vector<Flat>> planes;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    for (const Triangle& t : buildings[i].triangles) {
      Vec n = Cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
      const double length = std::sqrt(Dot(n, n));
      if (length < 1e-9) continue;
      n = {n.x / length, n.y / length, n.z / length};
      const bool flip = n.x < -1e-9 || (std::fabs(n.x) <= 1e-9 && (n.y < -1e-9 || (std::fabs(n.y) <= 1e-9 && n.z < 0)));
      if (flip) n = {-n.x, -n.y, -n.z};
      // A basis of the plane.
      const Vec helper = std::fabs(n.y) < 0.9 ? Vec{0, 1, 0} : Vec{1, 0, 0};
      Vec u = Cross(helper, n);
      const double ul = std::sqrt(Dot(u, u));
      u = {u.x / ul, u.y / ul, u.z / ul};
      const Vec v = Cross(n, u);
      Flat flat;
      flat.building = i;
      flat.material = &t.material;
      flat.centre = {(t.p[0].x + t.p[1].x + t.p[2].x) / 3, (t.p[0].y + t.p[1].y + t.p[2].y) / 3,
                     (t.p[0].z + t.p[1].z + t.p[2].z) / 3};
      for (int k = 0; k < 3; ++k) flat.q[static_cast<std::size_t>(k)] = {Dot(t.p[static_cast<std::size_t>(k)], u), Dot(t.p[static_cast<std::size_t>(k)], v)};
      flat.normal = n;
      flat.p = t.p;
      flat.u = u;
      flat.v = v;
      flat.minU = std::min({flat.q[0][0], flat.q[1][0], flat.q[2][0]});
      flat.maxU = std::max({flat.q[0][0], flat.q[1][0], flat.q[2][0]});
      flat.minV = std::min({flat.q[0][1], flat.q[1][1], flat.q[2][1]});
      flat.maxV = std::max({flat.q[0][1], flat.q[1][1], flat.q[2][1]});
      const double d = Dot(n, t.p[0]);
      planes[{std::lround(n.x * 1000), std::lround(n.y * 1000), std::lround(n.z * 1000), std::lround(d * 100)}].push_back(flat);
    }
  }
  std::uint64_t coincident = 0;
  double coincidentArea = 0, horizontalArea = 0, verticalArea = 0, largest = 0;
  std::map<std::pair<std::size_t, std::size_t>, double> coincidentPairs;
  for (auto& [key, flats] : planes) {
    // This bucket against itself and the next distance's (each pair of buckets once).
    for (long dd : {0L, 1L}) {
      auto other = planes.find({std::get<0>(key), std::get<1>(key), std::get<2>(key), std::get<3>(key) + dd});
      if (other == planes.end()) continue;
      const std::vector<Flat>& theirs = other->second;
      for (std::size_t a = 0; a < flats.size(); ++a) {
        for (std::size_t b = dd == 0 ? a + 1 : 0; b < theirs.size(); ++b) {
          const Flat& fa = flats[a];
          const Flat& fb = theirs[b];
          if (fa.building == fb.building) continue;
          // Bounds in each one's own basis, which may differ by centimetres (SharedArea).
          constexpr double kSlack = 0.1;  // metres
          if (fa.maxU + kSlack <= fb.minU || fb.maxU + kSlack <= fa.minU || fa.maxV + kSlack <= fb.minV ||
              fb.maxV + kSlack <= fa.minV)
            continue;
          // The key's distance is the plane's from the world's origin, where a normal rounded
          // in the file's last digits moves it by centimetres: the two must lie in one plane
          // where they are, each one's centre within 1 cm of the other's plane.
          if (std::fabs(Dot(fa.normal, fb.centre - fa.centre)) > 0.01 || std::fabs(Dot(fb.normal, fa.centre - fb.centre)) > 0.01)
            continue;
          const double shared = SharedArea(fa, fb);
          if (shared <= 1e-4) continue;
          ++coincident;
          coincidentArea += shared;
          (std::get<1>(key) > 500 ? horizontalArea : verticalArea) += shared;
          largest = std::max(largest, shared);
          if (std::getenv("CITY_FACES_DEBUG"))
            std::printf("  %s %s | %s %s: plane %ld %ld %ld d %.2f, at (%.2f, %.2f, %.2f), %.4f m2\n",
                        buildings[fa.building].name.c_str(), fa.material->c_str(), buildings[fb.building].name.c_str(),
                        fb.material->c_str(), std::get<0>(key), std::get<1>(key), std::get<2>(key),
                        std::get<3>(key) / 100.0, fa.centre.x, fa.centre.y, fa.centre.z, shared);
          if (std::getenv("CITY_FACES_DEBUG") && std::string(std::getenv("CITY_FACES_DEBUG")) == "2") {
            for (const Flat* f : {&fa, &fb}) {
              std::printf("    ");
              for (const Vec& p : f->p) std::printf(" (%.3f, %.3f, %.3f)", p.x, p.y, p.z);
              std::printf("\n");
            }
          }
          coincidentPairs[{std::min(fa.building, fb.building), std::max(fa.building, fb.building)}] += shared;
        }
      }
    }
  }
  std::printf("coincident faces: %llu pairs of triangles, %.2f m² (%.2f m² of walls, %.2f m² level), between %zu "
              "pairs of buildings; the largest %.4f m²\n",
              static_cast<unsigned long long>(coincident), coincidentArea, verticalArea, horizontalArea,
              coincidentPairs.size(), largest);
  int shown = 0;
  for (const auto& [pair, area] : coincidentPairs) {
    if (shown++ == 5) break;
    std::printf("  %s and %s: %.2f m²\n", buildings[pair.first].name.c_str(), buildings[pair.second].name.c_str(), area);
  }

  // Openings facing another building's outline from within 0.5 m, below its top.
  std::uint64_t openings = 0;
  std::map<std::string, std::uint64_t> openingsOf;
  for (std::size_t i = 0; i < buildings.size(); ++i) {
    for (const Triangle& t : buildings[i].triangles) {
      if (!t.opening) continue;
      const Vec n = Cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
      const double flat = std::hypot(n.x, n.z);
      if (flat < 1e-9 || std::fabs(n.y) > flat) continue;  // faces up or down
      const Vec c{(t.p[0].x + t.p[1].x + t.p[2].x) / 3, (t.p[0].y + t.p[1].y + t.p[2].y) / 3,
                  (t.p[0].z + t.p[1].z + t.p[2].z) / 3};
      const std::int64_t x = CellOf(c.x + 0.5 * n.x / flat), z = CellOf(c.z + 0.5 * n.z / flat);
      for (std::size_t j = 0; j < buildings.size(); ++j) {
        if (j == i || buildings[j].at(x, z) <= c.y) continue;
        ++openings;
        ++openingsOf[buildings[i].name];
        break;
      }
    }
  }
  std::printf("opening triangles facing a neighbour within 0.5 m: %llu, in %zu buildings\n",
              static_cast<unsigned long long>(openings), openingsOf.size());
  return 0;
}
