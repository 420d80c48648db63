// Ear clipping in the polygon's own plane. The outline is first reduced to its distinct corners
// and laid flat across its Newell normal; then corners that turn left and hold no other corner in
// their triangle are cut off one at a time, each cut keeping two sides of the outline as edges.
// A corner on a straight stretch never turns left until a cut beside it makes it, so it is never
// cut off alone as a flat triangle, and it stays a corner of the triangles along its side.

#include <ostrel/ext/Triangulate.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace Ostrel::Triangulation {

namespace {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

struct Vec2 {
  double x = 0, y = 0;
};

Vec3 Minus(const Vec3& i_a, const Vec3& i_b) { return {i_a.x - i_b.x, i_a.y - i_b.y, i_a.z - i_b.z}; }
Vec3 Plus(const Vec3& i_a, const Vec3& i_b) { return {i_a.x + i_b.x, i_a.y + i_b.y, i_a.z + i_b.z}; }
Vec3 Scaled(const Vec3& i_a, double i_factor) {
  return {i_a.x * i_factor, i_a.y * i_factor, i_a.z * i_factor};
}
double Dot(const Vec3& i_a, const Vec3& i_b) { return i_a.x * i_b.x + i_a.y * i_b.y + i_a.z * i_b.z; }
double Length(const Vec3& i_a) { return std::sqrt(Dot(i_a, i_a)); }
double DistanceSquared(const Vec3& i_a, const Vec3& i_b) {
  const Vec3 d = Minus(i_a, i_b);
  return Dot(d, d);
}
Vec3 Cross(const Vec3& i_a, const Vec3& i_b) {
  return {i_a.y * i_b.z - i_a.z * i_b.y, i_a.z * i_b.x - i_a.x * i_b.z, i_a.x * i_b.y - i_a.y * i_b.x};
}

Vec2 Minus(const Vec2& i_a, const Vec2& i_b) { return {i_a.x - i_b.x, i_a.y - i_b.y}; }
double Dot(const Vec2& i_a, const Vec2& i_b) { return i_a.x * i_b.x + i_a.y * i_b.y; }
double DistanceSquared(const Vec2& i_a, const Vec2& i_b) {
  const Vec2 d = Minus(i_a, i_b);
  return Dot(d, d);
}
double Distance(const Vec2& i_a, const Vec2& i_b) { return std::sqrt(DistanceSquared(i_a, i_b)); }
// Twice the signed area of the triangle a, b, c: positive when it turns counter-clockwise.
double TwiceArea(const Vec2& i_a, const Vec2& i_b, const Vec2& i_c) {
  return (i_b.x - i_a.x) * (i_c.y - i_a.y) - (i_b.y - i_a.y) * (i_c.x - i_a.x);
}

// A corner relative to the polygon's first one, in doubles, so that nearness is measured without
// the float coordinates' rounding far from the origin.
Vec3 Relative(const VectorF& i_corner, const VectorF& i_origin) {
  return {static_cast<double>(i_corner.x) - i_origin.x, static_cast<double>(i_corner.y) - i_origin.y,
          static_cast<double>(i_corner.z) - i_origin.z};
}

bool AllFinite(const std::vector<VectorF>& i_corners) {
  for (const VectorF& c : i_corners)
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
  return true;
}

// The polygon's size, and how near is near, both in the mesh's units. Float rounding grows with
// the distance from the origin, so a polygon far out gets a larger tolerance than its size alone
// would give.
struct Scale {
  double extent = 0;     // the longest side of the bounding box
  double tolerance = 0;  // points this near are one point
};

Scale ScaleOf(const std::vector<VectorF>& i_corners) {
  VectorF low = i_corners.front(), high = i_corners.front();
  double farthest = 0;
  for (const VectorF& c : i_corners) {
    low = VectorF(std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z));
    high = VectorF(std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z));
    farthest = std::max({farthest, std::fabs(double{c.x}), std::fabs(double{c.y}), std::fabs(double{c.z})});
  }
  const double extent = std::max({double{high.x} - low.x, double{high.y} - low.y, double{high.z} - low.z});
  return {extent, 1e-6 * std::max(extent, farthest)};
}

// The indices of the corners that are not repeats: each corner within i_tolerance of the last
// one kept is dropped, and so are those at the end within it of the first.
std::vector<std::uint32_t> DistinctCorners(const std::vector<Vec3>& i_points, double i_tolerance) {
  std::vector<std::uint32_t> kept{0};
  for (std::uint32_t i = 1; i < i_points.size(); ++i)
    if (DistanceSquared(i_points[i], i_points[kept.back()]) > i_tolerance * i_tolerance) kept.push_back(i);
  while (kept.size() > 1 && DistanceSquared(i_points[kept.back()], i_points[0]) <= i_tolerance * i_tolerance)
    kept.pop_back();
  return kept;
}

std::size_t Farthest(const Vec3* i_points, std::size_t i_count, const Vec3& i_from) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < i_count; ++i)
    if (DistanceSquared(i_points[i], i_from) > DistanceSquared(i_points[best], i_from)) best = i;
  return best;
}

// Whether every point lies within i_tolerance of one line: the line through the point farthest
// from the first and the point farthest from that one, which for a triangle is its longest side,
// so that a triangle is on one line exactly when its corners do not turn (TurnAt).
bool OnOneLine(const Vec3* i_points, std::size_t i_count, double i_tolerance) {
  const Vec3 a = i_points[Farthest(i_points, i_count, i_points[0])];
  const Vec3 ab = Minus(i_points[Farthest(i_points, i_count, a)], a);
  const double limit = i_tolerance * i_tolerance * Dot(ab, ab);  // (height × |ab|)², at most
  for (std::size_t i = 0; i < i_count; ++i) {
    const Vec3 cross = Cross(Minus(i_points[i], a), ab);
    if (Dot(cross, cross) > limit) return false;
  }
  return true;
}

// Twice the polygon's area along its normal, as a vector (Newell's method).
Vec3 NewellNormal(const Vec3* i_points, std::size_t i_count) {
  Vec3 normal;
  for (std::size_t i = 0; i < i_count; ++i)
    normal = Plus(normal, Cross(i_points[i], i_points[(i + 1) % i_count]));
  return normal;
}

// Two unit axes across a normal, with u × v along it, so that a polygon counter-clockwise seen
// from its front stays counter-clockwise in (u, v).
struct Plane {
  Vec3 u, v;
};

Plane PlaneAcross(const Vec3& i_normal) {
  const Vec3 n = Scaled(i_normal, 1 / Length(i_normal));
  // The coordinate axis least along the normal is the farthest from parallel to it.
  const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  const Vec3 axis = ax <= ay && ax <= az ? Vec3{1, 0, 0} : ay <= az ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  const Vec3 cross = Cross(axis, n);
  const Vec3 u = Scaled(cross, 1 / Length(cross));
  return {u, Cross(n, u)};
}

Vec2 Project(const Vec3& i_point, const Plane& i_plane) {
  return {Dot(i_point, i_plane.u), Dot(i_point, i_plane.v)};
}

enum class Turn { Left, Flat, Right };

// How the outline turns at b, coming from a and going on to c: flat when b is within i_tolerance
// of a line with a and c (the triangle's height over its longest side is that small).
Turn TurnAt(const Vec2& i_a, const Vec2& i_b, const Vec2& i_c, double i_tolerance) {
  const double twiceArea = TwiceArea(i_a, i_b, i_c);
  const double longestSquared =
      std::max({DistanceSquared(i_a, i_b), DistanceSquared(i_b, i_c), DistanceSquared(i_c, i_a)});
  if (twiceArea * twiceArea <= i_tolerance * i_tolerance * longestSquared) return Turn::Flat;
  return twiceArea > 0 ? Turn::Left : Turn::Right;
}

double DistanceToSegment(const Vec2& i_point, const Vec2& i_a, const Vec2& i_b) {
  const Vec2 ab = Minus(i_b, i_a);
  const double lengthSquared = Dot(ab, ab);
  if (lengthSquared == 0) return Distance(i_point, i_a);
  const double t = std::clamp(Dot(Minus(i_point, i_a), ab) / lengthSquared, 0.0, 1.0);
  return Distance(i_point, {i_a.x + ab.x * t, i_a.y + ab.y * t});
}

// Whether the sides a-b and c-d cross or come within i_tolerance of each other.
bool SidesMeet(const Vec2& i_a, const Vec2& i_b, const Vec2& i_c, const Vec2& i_d, double i_tolerance) {
  const double c = TwiceArea(i_a, i_b, i_c), d = TwiceArea(i_a, i_b, i_d);
  const double a = TwiceArea(i_c, i_d, i_a), b = TwiceArea(i_c, i_d, i_b);
  if (((c > 0 && d < 0) || (c < 0 && d > 0)) && ((a > 0 && b < 0) || (a < 0 && b > 0))) return true;
  return DistanceToSegment(i_c, i_a, i_b) <= i_tolerance || DistanceToSegment(i_d, i_a, i_b) <= i_tolerance ||
         DistanceToSegment(i_a, i_c, i_d) <= i_tolerance || DistanceToSegment(i_b, i_c, i_d) <= i_tolerance;
}

// Whether two sides that do not share a corner cross or touch. An outline that folds back on
// itself at a corner is caught too: the side after the fold starts on the side before it, or the
// fold runs over the corner before. O(n²): fine for the faces of a mesh.
bool SelfTouching(const std::vector<Vec2>& i_points, double i_tolerance) {
  const std::size_t n = i_points.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // neighbours across the first corner
      if (SidesMeet(i_points[i], i_points[i + 1], i_points[j], i_points[(j + 1) % n], i_tolerance))
        return true;
    }
  return false;
}

// The polygon reduced to its distinct corners and laid flat in its plane.
struct Outline {
  std::vector<std::uint32_t> corners;  // 0-based indices into the input, in order
  std::vector<Vec2> points;            // their positions in the plane, in the mesh's units
  double tolerance = 0;
};

PolygonShape Prepare(const std::vector<VectorF>& i_corners, Outline& o_outline) {
  if (i_corners.size() < 3) return PolygonShape::Degenerate;
  if (!AllFinite(i_corners)) return PolygonShape::NotSimple;
  const Scale scale = ScaleOf(i_corners);
  std::vector<Vec3> relative;
  relative.reserve(i_corners.size());
  for (const VectorF& c : i_corners) relative.push_back(Relative(c, i_corners.front()));
  o_outline.tolerance = scale.tolerance;
  o_outline.corners = DistinctCorners(relative, scale.tolerance);
  std::vector<Vec3> kept;
  for (std::uint32_t k : o_outline.corners) kept.push_back(relative[k]);
  if (kept.size() < 3 || OnOneLine(kept.data(), kept.size(), scale.tolerance))
    return PolygonShape::Degenerate;
  const Vec3 normal = NewellNormal(kept.data(), kept.size());
  // No area, though not on one line: lobes of opposite windings that cancel out.
  if (Length(normal) <= scale.tolerance * scale.extent) return PolygonShape::Degenerate;
  const Plane plane = PlaneAcross(normal);
  for (const Vec3& p : kept) o_outline.points.push_back(Project(p, plane));
  if (SelfTouching(o_outline.points, scale.tolerance)) return PolygonShape::NotSimple;
  const std::size_t n = kept.size();
  for (std::size_t i = 0; i < n; ++i)
    if (TurnAt(o_outline.points[(i + n - 1) % n], o_outline.points[i], o_outline.points[(i + 1) % n],
               scale.tolerance) == Turn::Right)
      return PolygonShape::Concave;
  return PolygonShape::Convex;
}

// A triangle, or a quad whose four corners all turn left, cut without allocating. It takes the
// same steps as Prepare, on the input as it is: corners that all turn left are distinct, and
// such a quad is simple and convex.
bool CutFast(const std::vector<VectorF>& i_corners, std::vector<CornerTriangle>& io_triangles) {
  const std::size_t n = i_corners.size();
  if ((n != 3 && n != 4) || !AllFinite(i_corners)) return false;
  const Scale scale = ScaleOf(i_corners);
  std::array<Vec3, 4> relative;
  for (std::size_t i = 0; i < n; ++i) relative[i] = Relative(i_corners[i], i_corners.front());
  if (OnOneLine(relative.data(), n, scale.tolerance)) return false;
  const Vec3 normal = NewellNormal(relative.data(), n);
  if (Length(normal) <= scale.tolerance * scale.extent) return false;
  const Plane plane = PlaneAcross(normal);
  std::array<Vec2, 4> points;
  for (std::size_t i = 0; i < n; ++i) points[i] = Project(relative[i], plane);
  for (std::size_t i = 0; i < n; ++i)
    if (TurnAt(points[(i + n - 1) % n], points[i], points[(i + 1) % n], scale.tolerance) != Turn::Left)
      return false;
  io_triangles.push_back({0, 1, 2});
  if (n == 4) io_triangles.push_back({0, 2, 3});
  return true;
}

// The corners not yet cut off, as a doubly linked ring over the outline's points, with whether
// each was an ear when last looked at.
struct Ring {
  const Outline& outline;
  std::vector<std::uint32_t> previous, next;
  std::vector<char> ear;
};

constexpr std::uint32_t kNone = UINT32_MAX;

// Whether corner b can be cut off: it turns left, and no other corner of the ring lies inside its
// triangle or on its sides (one there would touch the new edge a-c: a T-junction, or a cut
// outside the outline). Corners at the triangle's own corners are passed over.
bool IsEar(const Ring& i_ring, std::uint32_t i_b) {
  const std::vector<Vec2>& q = i_ring.outline.points;
  const double tolerance = i_ring.outline.tolerance;
  const std::uint32_t a = i_ring.previous[i_b], c = i_ring.next[i_b];
  if (TurnAt(q[a], q[i_b], q[c], tolerance) != Turn::Left) return false;
  const double ab = Distance(q[a], q[i_b]), bc = Distance(q[i_b], q[c]), ca = Distance(q[c], q[a]);
  for (std::uint32_t k = i_ring.next[c]; k != a; k = i_ring.next[k]) {
    const Vec2& p = q[k];
    const double near = tolerance * tolerance;
    if (DistanceSquared(p, q[a]) <= near || DistanceSquared(p, q[i_b]) <= near ||
        DistanceSquared(p, q[c]) <= near)
      continue;
    if (TwiceArea(q[a], q[i_b], p) >= -tolerance * ab && TwiceArea(q[i_b], q[c], p) >= -tolerance * bc &&
        TwiceArea(q[c], q[a], p) >= -tolerance * ca)
      return false;
  }
  return true;
}

Ring MakeRing(const Outline& i_outline) {
  const auto n = static_cast<std::uint32_t>(i_outline.points.size());
  Ring ring{i_outline, std::vector<std::uint32_t>(n), std::vector<std::uint32_t>(n), std::vector<char>(n)};
  for (std::uint32_t i = 0; i < n; ++i) {
    ring.previous[i] = (i + n - 1) % n;
    ring.next[i] = (i + 1) % n;
  }
  for (std::uint32_t i = 0; i < n; ++i) ring.ear[i] = IsEar(ring, i);
  return ring;
}

// The first corner from i_start on, of i_left, marked as an ear. In a simple polygon a cut
// changes the standing of its two neighbours only: had the corner cut off been the one corner
// inside another corner's triangle, the outside around it would reach into that triangle across
// its sides. So the marks stay right, and the whole cut takes O(n²).
std::uint32_t FindEar(const Ring& i_ring, std::uint32_t i_start, std::size_t i_left) {
  std::uint32_t k = i_start;
  for (std::size_t i = 0; i < i_left; ++i, k = i_ring.next[k])
    if (i_ring.ear[k]) return k;
  return kNone;
}

// When no corner is an ear (a polygon that is not simple, or corners all but on one line, as on a
// finely divided arc): the first corner from i_start on that turns left by more than
// i_tolerance, to cut off although its triangle may hold other corners.
std::uint32_t FindLeftTurn(const Ring& i_ring, std::uint32_t i_start, std::size_t i_left,
                           double i_tolerance) {
  const std::vector<Vec2>& q = i_ring.outline.points;
  std::uint32_t k = i_start;
  for (std::size_t i = 0; i < i_left; ++i, k = i_ring.next[k])
    if (TurnAt(q[i_ring.previous[k]], q[k], q[i_ring.next[k]], i_tolerance) == Turn::Left) return k;
  return kNone;
}

// Cuts corner b off the ring as a triangle and returns the corner after it.
std::uint32_t CutOff(Ring& io_ring, std::uint32_t i_b, std::vector<CornerTriangle>& io_triangles) {
  const std::uint32_t a = io_ring.previous[i_b], c = io_ring.next[i_b];
  const std::vector<std::uint32_t>& corners = io_ring.outline.corners;
  io_triangles.push_back({corners[a], corners[i_b], corners[c]});
  io_ring.next[a] = c;
  io_ring.previous[c] = a;
  io_ring.ear[a] = IsEar(io_ring, a);
  io_ring.ear[c] = IsEar(io_ring, c);
  return c;
}

// Cuts the outline into triangles; false when it had to break a rule (a triangle over other
// corners or thinner than the tolerance, or a part left uncut), which a simple polygon does not
// need. When no corner turns left by the tolerance, one that turns by a quarter of it is cut
// rather than none (a finely divided arc), which is still clear of the float coordinates'
// rounding (a corner's height moves by about 2e-7 of the farthest coordinate).
bool ClipEars(const Outline& i_outline, std::vector<CornerTriangle>& io_triangles) {
  if (i_outline.points.size() < 3) return false;
  const double tolerance = i_outline.tolerance, measurable = i_outline.tolerance / 4;
  Ring ring = MakeRing(i_outline);
  bool asAsked = true;
  std::uint32_t at = 0;
  for (std::size_t left = i_outline.points.size(); left > 3; --left) {
    std::uint32_t b = FindEar(ring, at, left);
    if (b == kNone) {
      asAsked = false;
      b = FindLeftTurn(ring, at, left, tolerance);
    }
    if (b == kNone) b = FindLeftTurn(ring, at, left, measurable);
    if (b == kNone) return false;
    at = CutOff(ring, b, io_triangles);
  }
  const std::uint32_t b = ring.next[at], c = ring.next[b];
  const std::vector<Vec2>& q = i_outline.points;
  if (TurnAt(q[at], q[b], q[c], measurable) != Turn::Left) return false;
  io_triangles.push_back({i_outline.corners[at], i_outline.corners[b], i_outline.corners[c]});
  return asAsked && TurnAt(q[at], q[b], q[c], tolerance) == Turn::Left;
}

}  // namespace

PolygonShape ClassifyPolygon(const std::vector<VectorF>& i_corners) {
  Outline outline;
  return Prepare(i_corners, outline);
}

PolygonShape CutPolygon(const std::vector<VectorF>& i_corners, std::vector<CornerTriangle>& io_triangles) {
  if (CutFast(i_corners, io_triangles)) return PolygonShape::Convex;
  Outline outline;
  const PolygonShape shape = Prepare(i_corners, outline);
  if (shape == PolygonShape::Degenerate) return shape;
  if (!ClipEars(outline, io_triangles)) return PolygonShape::NotSimple;
  return shape;
}

}  // namespace Ostrel::Triangulation
