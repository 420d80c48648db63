// MeshCheck: definitions.

#include <ostrel/ext/MeshCheck.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/ext/Triangulate.h>

namespace Ostrel::MeshCheck {
namespace detail {

struct Vec3 {
  double x = 0, y = 0, z = 0;
  double operator[](int i_axis) const { return i_axis == 0 ? x : i_axis == 1 ? y : z; }
};

Vec3 ToVec3(const VectorF& i_v) { return {i_v.x, i_v.y, i_v.z}; }

// The bits of a coordinate, with -0 read as 0.
std::uint32_t Bits(float i_value) {
  const float value = i_value == 0.0f ? 0.0f : i_value;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct PointKey {
  std::uint32_t x, y, z;
  bool operator==(const PointKey& i_other) const {
    return x == i_other.x && y == i_other.y && z == i_other.z;
  }
};

struct PointKeyHash {
  std::size_t operator()(const PointKey& i_key) const {
    std::uint64_t h = i_key.x;
    h = h * 0x9E3779B97F4A7C15u ^ i_key.y;
    h = h * 0x9E3779B97F4A7C15u ^ i_key.z;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

// Calls i_visit(face, first corner, corner count) for every face of three corners or more.
template <typename Visit>
void ForEachFace(const Obj::Mesh& i_mesh, Visit&& i_visit) {
  std::size_t first = 0;
  std::size_t face = 0;
  for (const std::uint32_t count : i_mesh.polycount) {
    if (count > i_mesh.corners.size() - first) return;
    if (count >= 3) i_visit(face, first, static_cast<std::size_t>(count));
    first += count;
    ++face;
  }
}

// The face's area vector (Newell's method): along its winding's normal, as long as twice its area.
Vec3 AreaVector(const Obj::Mesh& i_mesh, std::size_t i_first, std::size_t i_count) {
  Vec3 n;
  for (std::size_t i = 0; i < i_count; ++i) {
    const Vec3 p = ToVec3(i_mesh.vertices[i_mesh.corners[i_first + i].v]);
    const Vec3 q = ToVec3(i_mesh.vertices[i_mesh.corners[i_first + (i + 1) % i_count].v]);
    n.x += (p.y - q.y) * (p.z + q.z);
    n.y += (p.z - q.z) * (p.x + q.x);
    n.z += (p.x - q.x) * (p.y + q.y);
  }
  return n;
}

double Length(const Vec3& i_v) { return std::sqrt(i_v.x * i_v.x + i_v.y * i_v.y + i_v.z * i_v.z); }

// A face flattened onto the plane of its largest normal component, in convex parts.
struct FlatFace {
  std::size_t face;
  bool front;                     // winding counter-clockwise in the flat (u, v) axes
  double plane;                   // distance of the plane from the origin along its axis-signed normal
  double umin, umax, vmin, vmax;  // bounds of the face in (u, v)
  std::vector<std::vector<double>> parts;  // convex parts, each u0 v0 u1 v1 ...
  VectorF centre;                          // the centre of the face's corners
  bool borrowed = false;                   // from the next step of distances (see FindOverlaps)
};

double Cross2(double i_ax, double i_ay, double i_bx, double i_by) { return i_ax * i_by - i_ay * i_bx; }

// Twice the signed area of a flat polygon given as u0 v0 u1 v1 ...
double FlatArea(const std::vector<double>& i_poly) {
  double area = 0;
  const std::size_t n = i_poly.size() / 2;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    area += Cross2(i_poly[2 * i], i_poly[2 * i + 1], i_poly[2 * j], i_poly[2 * j + 1]);
  }
  return area;
}

bool IsConvex(const std::vector<double>& i_poly, double i_sign) {
  const std::size_t n = i_poly.size() / 2;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n, k = (i + 2) % n;
    const double turn = Cross2(i_poly[2 * j] - i_poly[2 * i], i_poly[2 * j + 1] - i_poly[2 * i + 1],
                               i_poly[2 * k] - i_poly[2 * j], i_poly[2 * k + 1] - i_poly[2 * j + 1]);
    if (turn * i_sign < 0) return false;
  }
  return true;
}

// Whether the projections of two convex polygons on the normal of every edge overlap by more than
// i_tolerance: then their insides share a positive area.
bool ConvexOverlap(const std::vector<double>& i_a, const std::vector<double>& i_b, double i_tolerance) {
  for (const std::vector<double>* edges : {&i_a, &i_b}) {
    const std::size_t n = edges->size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t j = (i + 1) % n;
      const double nu = -((*edges)[2 * j + 1] - (*edges)[2 * i + 1]);
      const double nv = (*edges)[2 * j] - (*edges)[2 * i];
      const double length = std::sqrt(nu * nu + nv * nv);
      if (length <= i_tolerance) continue;
      double amin = 1e300, amax = -1e300, bmin = 1e300, bmax = -1e300;
      for (std::size_t k = 0; k < i_a.size(); k += 2) {
        const double d = (i_a[k] * nu + i_a[k + 1] * nv) / length;
        amin = std::min(amin, d), amax = std::max(amax, d);
      }
      for (std::size_t k = 0; k < i_b.size(); k += 2) {
        const double d = (i_b[k] * nu + i_b[k + 1] * nv) / length;
        bmin = std::min(bmin, d), bmax = std::max(bmax, d);
      }
      if (amax <= bmin + i_tolerance || bmax <= amin + i_tolerance) return false;
    }
  }
  return true;
}

// Flattens a face along axis i_axis; a face that is not convex is cut into the triangles that
// readers cut it into (ear clipping), leaving out triangles without area, so that overlaps are
// found between what is drawn.
FlatFace Flatten(const Obj::Mesh& i_mesh, std::size_t i_face, std::size_t i_first, std::size_t i_count,
                 int i_axis, double i_plane, double i_tolerance) {
  const int ua = (i_axis + 1) % 3, va = (i_axis + 2) % 3;
  std::vector<double> poly;
  Vec3 sum;
  for (std::size_t i = 0; i < i_count; ++i) {
    const Vec3 p = ToVec3(i_mesh.vertices[i_mesh.corners[i_first + i].v]);
    poly.push_back(p[ua]);
    poly.push_back(p[va]);
    sum.x += p.x, sum.y += p.y, sum.z += p.z;
  }
  const double n = static_cast<double>(i_count);
  FlatFace flat{
      i_face,
      FlatArea(poly) > 0,
      i_plane,
      1e300,
      -1e300,
      1e300,
      -1e300,
      {},
      VectorF(static_cast<float>(sum.x / n), static_cast<float>(sum.y / n), static_cast<float>(sum.z / n))};
  for (std::size_t k = 0; k < poly.size(); k += 2) {
    flat.umin = std::min(flat.umin, poly[k]), flat.umax = std::max(flat.umax, poly[k]);
    flat.vmin = std::min(flat.vmin, poly[k + 1]), flat.vmax = std::max(flat.vmax, poly[k + 1]);
  }
  if (IsConvex(poly, flat.front ? 1.0 : -1.0)) {
    flat.parts.push_back(std::move(poly));
    return flat;
  }
  // A concave face is compared by the triangles a reader cuts it into, inside its outline.
  std::vector<VectorF> corners;
  for (std::size_t i = 0; i < i_count; ++i) corners.push_back(i_mesh.vertices[i_mesh.corners[i_first + i].v]);
  std::vector<Triangulation::CornerTriangle> triangles;
  Triangulation::CutPolygon(corners, triangles);
  for (const Triangulation::CornerTriangle& cut : triangles) {
    std::vector<double> triangle;
    for (const std::uint32_t corner : cut)
      triangle.insert(triangle.end(), {poly[2 * corner], poly[2 * corner + 1]});
    if (std::fabs(FlatArea(triangle)) > i_tolerance * i_tolerance) flat.parts.push_back(std::move(triangle));
  }
  return flat;
}

bool FlatOverlap(const FlatFace& i_a, const FlatFace& i_b, double i_tolerance) {
  for (const std::vector<double>& a : i_a.parts)
    for (const std::vector<double>& b : i_b.parts)
      if (ConvexOverlap(a, b, i_tolerance)) return true;
  return false;
}

// A plane as a hash key: the axis of the largest normal component, the other two components of
// the unit normal turned to point along that axis, and the distance, each in steps of tolerance.
struct PlaneKey {
  int axis;
  std::int64_t a, b, distance;
  bool operator==(const PlaneKey& i_other) const {
    return axis == i_other.axis && a == i_other.a && b == i_other.b && distance == i_other.distance;
  }
};

struct PlaneKeyHash {
  std::size_t operator()(const PlaneKey& i_key) const {
    std::uint64_t h = static_cast<std::uint64_t>(i_key.axis);
    for (const std::int64_t part : {i_key.a, i_key.b, i_key.distance})
      h = h * 0x9E3779B97F4A7C15u ^ static_cast<std::uint64_t>(part);
    return static_cast<std::size_t>(h ^ (h >> 31));
  }
};

// The length below which two positions count as one plane or one edge: a millionth of the
// mesh's extent, well above float rounding and well below any detail worth modelling.
double Tolerance(const Obj::Mesh& i_mesh) {
  double extent = 0;
  for (const VectorF& v : i_mesh.vertices)
    extent = std::max({extent, std::fabs(double{v.x}), std::fabs(double{v.y}), std::fabs(double{v.z})});
  return std::max(extent, 1.0) * 1e-6;
}

// Reports every overlapping pair of the faces of one plane, found by a sweep along u; pairs of
// two borrowed faces are left to their own step.
void SweepPlane(std::vector<FlatFace>& io_faces, double i_tolerance, std::vector<OverlapFinding>& io_found) {
  std::sort(io_faces.begin(), io_faces.end(),
            [](const FlatFace& i_a, const FlatFace& i_b) { return i_a.umin < i_b.umin; });
  for (std::size_t i = 0; i < io_faces.size(); ++i) {
    const FlatFace& a = io_faces[i];
    for (std::size_t j = i + 1; j < io_faces.size() && io_faces[j].umin < a.umax - i_tolerance; ++j) {
      const FlatFace& b = io_faces[j];
      if (a.borrowed && b.borrowed) continue;
      if (std::fabs(a.plane - b.plane) > i_tolerance) continue;
      if (b.vmin >= a.vmax - i_tolerance || a.vmin >= b.vmax - i_tolerance) continue;
      if (!FlatOverlap(a, b, i_tolerance)) continue;
      const FlatFace& first = a.face < b.face ? a : b;
      const FlatFace& second = a.face < b.face ? b : a;
      io_found.push_back({a.front == b.front ? OverlapKind::SameFacing : OverlapKind::BackToBack, first.face,
                          second.face, first.centre});
    }
  }
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

Welded Weld(const Obj::Mesh& i_mesh) {
  Welded welded;
  std::unordered_map<detail::PointKey, std::uint32_t, detail::PointKeyHash> ids;
  std::vector<std::uint32_t> vertexPoint(i_mesh.vertices.size());
  for (std::size_t i = 0; i < i_mesh.vertices.size(); ++i) {
    const VectorF& v = i_mesh.vertices[i];
    const auto [it, added] =
        ids.try_emplace(detail::PointKey{detail::Bits(v.x), detail::Bits(v.y), detail::Bits(v.z)},
                        static_cast<std::uint32_t>(welded.points.size()));
    if (added) welded.points.push_back(v);
    vertexPoint[i] = it->second;
  }
  welded.cornerPoints.reserve(i_mesh.corners.size());
  for (const Obj::Corner& corner : i_mesh.corners) welded.cornerPoints.push_back(vertexPoint[corner.v]);
  return welded;
}

// Every edge of a closed, consistently wound surface is used once in each direction. Corners at
// one welded point in a row (a face with a repeated corner) make no edge.
std::vector<EdgeFinding> FindEdgeFaults(const Obj::Mesh& i_mesh) {
  const Welded welded = Weld(i_mesh);
  struct Use {
    std::uint32_t count = 0;
    std::uint32_t firstFace = 0;
  };
  std::unordered_map<std::uint64_t, Use> uses;  // directed edge (from << 32 | to) -> its uses
  uses.reserve(i_mesh.corners.size() * 2);
  const auto edgeKey = [](std::uint32_t i_from, std::uint32_t i_to) {
    return std::uint64_t{i_from} << 32 | i_to;
  };
  const auto forEachEdge = [&](auto&& i_visit) {
    detail::ForEachFace(i_mesh, [&](std::size_t i_face, std::size_t i_first, std::size_t i_count) {
      for (std::size_t i = 0; i < i_count; ++i) {
        const std::uint32_t from = welded.cornerPoints[i_first + i];
        const std::uint32_t to = welded.cornerPoints[i_first + (i + 1) % i_count];
        if (from != to) i_visit(i_face, from, to);
      }
    });
  };
  forEachEdge([&](std::size_t i_face, std::uint32_t i_from, std::uint32_t i_to) {
    Use& use = uses[edgeKey(i_from, i_to)];
    if (use.count++ == 0) use.firstFace = static_cast<std::uint32_t>(i_face);
  });

  // Each faulty edge once, under the direction its first face runs, in the order faces use them.
  std::vector<EdgeFinding> found;
  std::unordered_map<std::uint64_t, std::size_t> index;  // undirected edge (low << 32 | high) -> finding
  forEachEdge([&](std::size_t i_face, std::uint32_t i_from, std::uint32_t i_to) {
    const auto forward = uses.find(edgeKey(i_from, i_to));
    const auto backward = uses.find(edgeKey(i_to, i_from));
    const std::uint32_t ahead = forward->second.count;
    const std::uint32_t back = backward == uses.end() ? 0 : backward->second.count;
    if (ahead == 1 && back == 1) return;
    const std::uint64_t key = edgeKey(std::min(i_from, i_to), std::max(i_from, i_to));
    const auto [it, added] = index.try_emplace(key, found.size());
    if (added) {
      const EdgeFault fault = ahead + back == 1   ? EdgeFault::Open
                              : ahead + back == 2 ? EdgeFault::Flipped
                                                  : EdgeFault::Crowded;
      found.push_back({fault, welded.points[i_from], welded.points[i_to], {}});
    }
    found[it->second].faces.push_back(i_face);
  });
  return found;
}

// Corners without a normal are not checked; neither are faces without area.
std::vector<NormalFinding> FindNormalsAgainstWinding(const Obj::Mesh& i_mesh) {
  std::vector<NormalFinding> found;
  detail::ForEachFace(i_mesh, [&](std::size_t i_face, std::size_t i_first, std::size_t i_count) {
    const detail::Vec3 area = detail::AreaVector(i_mesh, i_first, i_count);
    const double length = detail::Length(area);
    if (!(length > 0)) return;
    for (std::size_t i = 0; i < i_count; ++i) {
      const std::uint32_t n = i_mesh.corners[i_first + i].n;
      if (n == Obj::kAbsent || n >= i_mesh.normals.size()) continue;
      const detail::Vec3 normal = detail::ToVec3(i_mesh.normals[n]);
      if (normal.x * area.x + normal.y * area.y + normal.z * area.z > 0) continue;
      found.push_back({i_face, i, i_mesh.normals[n],
                       VectorF(static_cast<float>(area.x / length), static_cast<float>(area.y / length),
                               static_cast<float>(area.z / length))});
    }
  });
  return found;
}

// Faces are grouped by plane through a hash map, and each plane's faces are swept along one axis,
// so only faces whose bounds meet are compared exactly.
std::vector<OverlapFinding> FindOverlaps(const Obj::Mesh& i_mesh) {
  const double tolerance = detail::Tolerance(i_mesh);
  std::unordered_map<detail::PlaneKey, std::vector<detail::FlatFace>, detail::PlaneKeyHash> planes;
  detail::ForEachFace(i_mesh, [&](std::size_t i_face, std::size_t i_first, std::size_t i_count) {
    const detail::Vec3 area = detail::AreaVector(i_mesh, i_first, i_count);
    const double length = detail::Length(area);
    if (!(length > tolerance * tolerance)) return;
    int axis = 0;
    for (int k = 1; k < 3; ++k)
      if (std::fabs(area[k]) > std::fabs(area[axis])) axis = k;
    const double sign = area[axis] > 0 ? 1.0 : -1.0;
    const detail::Vec3 unit{sign * area.x / length, sign * area.y / length, sign * area.z / length};
    const detail::Vec3 p = detail::ToVec3(i_mesh.vertices[i_mesh.corners[i_first].v]);
    const double plane = unit.x * p.x + unit.y * p.y + unit.z * p.z;
    // Normals within a thousandth are one direction; the distance is rounded to whole tolerances
    // and compared exactly in the sweep, so neighbouring steps are swept together below.
    const detail::PlaneKey key{axis, std::llround(unit[(axis + 1) % 3] * 1000),
                               std::llround(unit[(axis + 2) % 3] * 1000),
                               static_cast<std::int64_t>(std::floor(plane / (4 * tolerance)))};
    planes[key].push_back(detail::Flatten(i_mesh, i_face, i_first, i_count, axis, plane, tolerance));
  });

  std::vector<OverlapFinding> found;
  for (const auto& [key, faces] : planes) {
    // Faces of this step together with those of the next one, so that a plane split by the
    // rounding is still compared whole.
    std::vector<detail::FlatFace> group = faces;
    const auto next = planes.find({key.axis, key.a, key.b, key.distance + 1});
    if (next != planes.end()) {
      for (detail::FlatFace flat : next->second) {
        flat.borrowed = true;
        group.push_back(std::move(flat));
      }
    }
    detail::SweepPlane(group, tolerance, found);
  }
  std::sort(found.begin(), found.end(), [](const OverlapFinding& i_a, const OverlapFinding& i_b) {
    return i_a.first != i_b.first ? i_a.first < i_b.first : i_a.second < i_b.second;
  });
  return found;
}

}  // namespace Ostrel::MeshCheck
