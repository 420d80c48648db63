// Footprints read from an outline of corners or a text mask, checked before anything is built.

#include <ostrel/layout/FootprintInput.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/utils/Numbers.h>
#include <ostrel/utils/TextFile.h>

namespace Ostrel::Buildings {

namespace {
namespace outline {

struct Point {
  std::int64_t x = 0, z = 0;
};
bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.z == b.z; }

using Ring = std::vector<Point>;

std::string Text(const Point& i_p) { return std::to_string(i_p.x) + "," + std::to_string(i_p.z); }

std::string RingName(std::size_t i_ring) {
  return i_ring == 0 ? "the outline" : "courtyard " + std::to_string(i_ring);
}

bool ReadCorner(std::string_view i_token, Point& o_point) {
  const std::size_t comma = i_token.find(',');
  if (comma == std::string_view::npos) return false;
  std::int32_t x = 0, z = 0;
  if (Numbers::ParseWhole(i_token.substr(0, comma), x) != Numbers::WholeFault::None ||
      Numbers::ParseWhole(i_token.substr(comma + 1), z) != Numbers::WholeFault::None)
    return false;
  o_point = {x, z};
  return true;
}

// The rings of the text, each a list of corners, or false and o_why.
bool ReadRings(std::string_view i_text, std::vector<Ring>& o_rings, std::string& o_why) {
  std::size_t corners = 0;
  while (true) {
    const std::size_t semicolon = i_text.find(';');
    const std::string_view part = i_text.substr(0, semicolon);
    Ring ring;
    std::size_t at = 0;
    while (at < part.size()) {
      if (part[at] == ' ' || part[at] == '\t') {
        ++at;
        continue;
      }
      std::size_t end = at;
      while (end < part.size() && part[end] != ' ' && part[end] != '\t') ++end;
      Point point;
      if (!ReadCorner(part.substr(at, end - at), point)) {
        o_why = "'" + Ostrel::TextFile::Excerpt(part.substr(at, end - at)) +
                "' is not a corner: give X,Z in whole numbers, such as 0,4 (X to the north, Z to the east)";
        return false;
      }
      if (++corners > kMaxOutlineCorners) {
        o_why = "the outline has more than " + std::to_string(kMaxOutlineCorners) + " corners";
        return false;
      }
      ring.push_back(point);
      at = end;
    }
    o_rings.push_back(std::move(ring));
    if (semicolon == std::string_view::npos) break;
    i_text = i_text.substr(semicolon + 1);
  }
  return true;
}

// Drops a repeated corner (the first given again at the end, or twice in a row) and corners in
// the middle of a straight edge; checks that every edge runs north-south or east-west.
bool CleanRing(Ring& io_ring, std::size_t i_index, std::string& o_why) {
  Ring ring;
  for (const Point& p : io_ring) {
    if (ring.empty() || !(ring.back() == p)) ring.push_back(p);
  }
  while (ring.size() > 1 && ring.back() == ring.front()) ring.pop_back();
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Point& a = ring[i];
    const Point& b = ring[(i + 1) % ring.size()];
    if (a.x != b.x && a.z != b.z) {
      o_why = RingName(i_index) + " is not rectilinear: the edge from " + Text(a) + " to " + Text(b) +
              " runs neither north-south nor east-west";
      return false;
    }
  }
  // Corners where the edge goes on in the same direction are not corners.
  bool changed = true;
  while (changed && ring.size() >= 3) {
    changed = false;
    for (std::size_t i = 0; i < ring.size() && ring.size() >= 3; ++i) {
      const Point& a = ring[(i + ring.size() - 1) % ring.size()];
      const Point& b = ring[i];
      const Point& c = ring[(i + 1) % ring.size()];
      const bool straight = (a.x == b.x && b.x == c.x && (a.z < b.z) == (b.z < c.z)) ||
                            (a.z == b.z && b.z == c.z && (a.x < b.x) == (b.x < c.x));
      if (straight) {
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
      }
    }
  }
  if (ring.size() < 4) {
    o_why = RingName(i_index) + " encloses no cells: give 4 corners or more, such as 0,0 0,4 4,4 4,0";
    return false;
  }
  io_ring = ring;
  return true;
}

// Where two axis-aligned edges meet: none, one point, or more (they overlap along a line).
enum class Meet { None, Point, Line };

Meet MeetOf(const Point& a0, const Point& a1, const Point& b0, const Point& b1, Point& o_at) {
  const std::int64_t ax0 = std::min(a0.x, a1.x), ax1 = std::max(a0.x, a1.x);
  const std::int64_t az0 = std::min(a0.z, a1.z), az1 = std::max(a0.z, a1.z);
  const std::int64_t bx0 = std::min(b0.x, b1.x), bx1 = std::max(b0.x, b1.x);
  const std::int64_t bz0 = std::min(b0.z, b1.z), bz1 = std::max(b0.z, b1.z);
  const std::int64_t x0 = std::max(ax0, bx0), x1 = std::min(ax1, bx1);
  const std::int64_t z0 = std::max(az0, bz0), z1 = std::min(az1, bz1);
  if (x0 > x1 || z0 > z1) return Meet::None;
  o_at = {x0, z0};
  return x0 == x1 && z0 == z1 ? Meet::Point : Meet::Line;
}

bool CheckSelf(const Ring& i_ring, std::size_t i_index, std::string& o_why) {
  const std::size_t n = i_ring.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      const bool next = j == i + 1 || (i == 0 && j == n - 1);
      Point at;
      const Meet meet = MeetOf(i_ring[i], i_ring[(i + 1) % n], i_ring[j], i_ring[(j + 1) % n], at);
      // Neighbouring edges share their corner; they cross only by running back along each other.
      if (meet == Meet::None || (next && meet == Meet::Point)) continue;
      o_why = RingName(i_index) + " crosses itself at " + Text(at);
      return false;
    }
  }
  return true;
}

bool CheckApart(const Ring& i_a, std::size_t i_ia, const Ring& i_b, std::size_t i_ib, std::string& o_why) {
  for (std::size_t i = 0; i < i_a.size(); ++i) {
    for (std::size_t j = 0; j < i_b.size(); ++j) {
      Point at;
      const Meet meet =
          MeetOf(i_a[i], i_a[(i + 1) % i_a.size()], i_b[j], i_b[(j + 1) % i_b.size()], at);
      if (meet == Meet::None) continue;
      const bool corners = std::find(i_a.begin(), i_a.end(), at) != i_a.end() &&
                           std::find(i_b.begin(), i_b.end(), at) != i_b.end();
      if (meet == Meet::Point && corners) {
        o_why = RingName(i_ib) + " touches " + RingName(i_ia) + " only at the corner " + Text(at) +
                " (a pinch): keep it a cell or more apart";
      } else {
        o_why = RingName(i_ib) + " crosses or touches " + RingName(i_ia) + " at " + Text(at) +
                ": a courtyard lies inside the outline, a cell or more from it and from other courtyards";
      }
      return false;
    }
  }
  return true;
}

// Whether corner p, on no edge of the ring, lies inside it: edges along x to the east of p that
// span p's x, counted half-open so that a corner on the ray counts once.
bool Inside(const Ring& i_ring, const Point& i_p) {
  bool inside = false;
  for (std::size_t i = 0; i < i_ring.size(); ++i) {
    const Point& a = i_ring[i];
    const Point& b = i_ring[(i + 1) % i_ring.size()];
    if (a.z != b.z || a.z <= i_p.z) continue;
    if (std::min(a.x, b.x) <= i_p.x && i_p.x < std::max(a.x, b.x)) inside = !inside;
  }
  return inside;
}

// The cells inside the rings, even-odd, slab by slab: rows between two corners' x have the same
// crossings.
Footprint Cells(const std::vector<Ring>& i_rings) {
  std::vector<std::int64_t> xs;
  for (const Ring& ring : i_rings) {
    for (const Point& p : ring) xs.push_back(p.x);
  }
  std::sort(xs.begin(), xs.end(), std::greater<>());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  Footprint f;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const std::int64_t top = xs[i], bottom = xs[i + 1];  // rows bottom .. top - 1
    std::vector<std::int64_t> crossings;
    for (const Ring& ring : i_rings) {
      for (std::size_t k = 0; k < ring.size(); ++k) {
        const Point& a = ring[k];
        const Point& b = ring[(k + 1) % ring.size()];
        if (a.z == b.z && std::min(a.x, b.x) <= bottom && std::max(a.x, b.x) >= top) crossings.push_back(a.z);
      }
    }
    std::sort(crossings.begin(), crossings.end());
    CellSlab slab{bottom, top - 1, {}};
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      if (crossings[k] < crossings[k + 1]) slab.spans.push_back({crossings[k], crossings[k + 1] - 1});
    }
    if (!slab.spans.empty()) f.slabs.push_back(std::move(slab));
  }
  return Union(f, Footprint{});
}

}  // namespace outline

bool CheckSize(const Footprint& i_footprint, std::string& o_why) {
  const CellRect b = BoundsOf(i_footprint);
  if (b.x1 - b.x0 + 1 > kMaxFootprintCells || b.z1 - b.z0 + 1 > kMaxFootprintCells) {
    o_why = "the footprint is too large: it may span at most " + std::to_string(kMaxFootprintCells) +
            " cells each way";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOutline(const std::string& i_text, Footprint& o_footprint, std::string& o_why) {
  using namespace outline;
  std::vector<Ring> rings;
  if (!ReadRings(i_text, rings, o_why)) return false;
  for (std::size_t i = 0; i < rings.size(); ++i) {
    if (!CleanRing(rings[i], i, o_why) || !CheckSelf(rings[i], i, o_why)) return false;
  }
  for (std::size_t i = 1; i < rings.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (!CheckApart(rings[j], j, rings[i], i, o_why)) return false;
    }
    if (!Inside(rings[0], rings[i][0])) {
      o_why = RingName(i) + " lies outside the outline";
      return false;
    }
    for (std::size_t j = 1; j < i; ++j) {
      if (Inside(rings[j], rings[i][0]) || Inside(rings[i], rings[j][0])) {
        o_why = RingName(i) + " and " + RingName(j) + " lie one inside the other";
        return false;
      }
    }
  }
  const Footprint cells = Cells(rings);
  if (!CheckSize(cells, o_why)) return false;
  const CellFault fault = FootprintFault(cells);
  if (!fault.why.empty()) {
    o_why = (fault.atCorner ? "at the corner " : "at the cell ") + std::to_string(fault.x) + "," +
            std::to_string(fault.z) + fault.why;
    return false;
  }
  o_footprint = NormalizedFootprint(cells);
  return true;
}

bool ParseMask(const std::string& i_text, Footprint& o_footprint, std::size_t& o_line, std::size_t& o_column,
               std::string& o_why) {
  std::vector<std::vector<CellSpan>> rows;
  std::size_t at = 0;
  o_line = 0;
  o_column = 0;
  while (at < i_text.size()) {
    std::size_t end = i_text.find('\n', at);
    if (end == std::string::npos) end = i_text.size();
    std::size_t stop = end;
    if (stop > at && i_text[stop - 1] == '\r') --stop;
    std::vector<CellSpan> spans;
    for (std::size_t i = at; i < stop; ++i) {
      const char c = i_text[i];
      const auto z = static_cast<std::int64_t>(i - at);
      if (c == '#') {
        if (!spans.empty() && spans.back().z1 + 1 == z) {
          spans.back().z1 = z;
        } else {
          spans.push_back({z, z});
        }
      } else if (c != '.') {
        o_line = rows.size() + 1;
        o_column = i - at + 1;
        o_why = "'" + Ostrel::TextFile::Excerpt(std::string(1, c)) + "' is neither '#' (a cell) nor '.' (none)";
        return false;
      }
    }
    rows.push_back(std::move(spans));
    at = end + 1;
  }
  const Footprint cells = FootprintOfRows(0, rows);
  if (IsEmpty(cells)) {
    o_why = "the mask has no cells ('#')";
    return false;
  }
  if (!CheckSize(cells, o_why)) return false;
  const CellFault fault = FootprintFault(cells);
  if (!fault.why.empty()) {
    // Row x is line 1 - x; cell z is column z + 1; a corner by the cell above and right of it.
    o_line = static_cast<std::size_t>(1 - fault.x);
    o_column = static_cast<std::size_t>(fault.z + 1);
    o_why = (fault.atCorner ? "the lower left corner of this cell" : "this cell") + fault.why;
    return false;
  }
  o_footprint = NormalizedFootprint(cells);
  return true;
}

}  // namespace Ostrel::Buildings
