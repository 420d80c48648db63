// Outlines turned into cells: the grid's turn and stretch, the half-covered rule, courtyards,
// mended pinches and notches, and, over many random outlines, that what comes out is always a
// footprint the layout takes (4-connected, pinch-free, no one-cell notch).

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include <ostrel/geo/FootprintCells.h>

namespace {

using namespace Ostrel::Geo;

constexpr double kPi = 3.14159265358979323846;

// A ring turned by i_degrees counter-clockwise about (0, 0) and moved by (i_east, i_north).
std::vector<MapPoint> Turned(const std::vector<MapPoint>& i_ring, double i_degrees, double i_east = 0, double i_north = 0) {
  const double a = i_degrees * kPi / 180;
  std::vector<MapPoint> ring;
  for (const MapPoint& p : i_ring)
    ring.push_back({p.east * std::cos(a) - p.north * std::sin(a) + i_east, p.east * std::sin(a) + p.north * std::cos(a) + i_north});
  return ring;
}

std::vector<MapPoint> Box(double i_west, double i_south, double i_east, double i_north) {
  return {{i_west, i_south}, {i_east, i_south}, {i_east, i_north}, {i_west, i_north}};
}

CellFootprint Fit(const Shape& i_shape) { return FootprintCells(i_shape, CellOptions{}); }

TEST(FootprintCells, TurnsAndStretchesTheGridToTheOutline) {
  // 7 m wide (east), 10 m deep (north), at 3 m cells: 2 columns of 3.5 m, 3 rows of 3.33 m, a
  // full rectangle, whichever way the outline is turned or wound.
  for (const double turn : {0.0, 17.0, -30.0, 44.0}) {
    for (const bool reversed : {false, true}) {
      std::vector<MapPoint> ring = Turned(Box(0, 0, 7, 10), turn, 1000, -2000);
      if (reversed) std::reverse(ring.begin(), ring.end());
      const CellFootprint fit = Fit({Area{ring, {}}});
      ASSERT_TRUE(fit.fault.empty());
      EXPECT_NEAR(fit.bearing, -turn, 1e-9);
      EXPECT_EQ(fit.rows, 3);
      EXPECT_EQ(fit.columns, 2);
      EXPECT_NEAR(fit.cellX, 10.0 / 3, 1e-9);
      EXPECT_NEAR(fit.cellZ, 3.5, 1e-9);
      EXPECT_EQ(MaskText(fit), "##\n##\n##\n");
      // Cell (0, 0) is the north-west one; its centre is half a cell in from both sides.
      const MapPoint expected = Turned({{1.75, 10 - 5.0 / 3}}, turn, 1000, -2000)[0];
      EXPECT_NEAR(fit.origin.east, expected.east, 1e-9);
      EXPECT_NEAR(fit.origin.north, expected.north, 1e-9);
      for (float share : fit.covered) EXPECT_NEAR(share, 1.0, 1e-6);
    }
  }
  // A turn of more than 45 degrees is the nearest quarter's: the grid's N side faces the
  // compass's nearest quarter, and the long side becomes the rows.
  const CellFootprint turned = Fit({Area{Turned(Box(0, 0, 7, 10), 80), {}}});
  EXPECT_NEAR(turned.bearing, 10, 1e-9);
  EXPECT_EQ(turned.rows, 2);
  EXPECT_EQ(turned.columns, 3);
  // Edges vote by length: a long edge outweighs short ones at another angle.
  const CellFootprint skew = Fit({Area{{{0, 0}, {30, 0}, {30, 9}, {3, 10}}, {}}});
  EXPECT_LT(std::fabs(skew.bearing), 3.0);
}

TEST(FootprintCells, StretchStaysInItsRange) {
  // Any extent from half a cell to ten cells: whole cells within 0.8 to 1.25 of the kit's,
  // except between 1.25 and 1.6 cells, where none fits and the nearer end is taken.
  for (double length = 1.5; length <= 30; length += 0.173) {
    const CellFootprint fit = Fit({Area{Box(0, 0, length, 9), {}}});
    const double stretch = fit.cellZ / 3.0;
    EXPECT_GE(stretch, kMinStretch - 1e-9) << length;
    EXPECT_LE(stretch, kMaxStretch + 1e-9) << length;
    if ((length / 3 >= 0.8 && length / 3 < 1.25) || length / 3 > 1.6) {
      EXPECT_NEAR(fit.columns * fit.cellZ, length, 1e-9) << length;
    }
  }
  EXPECT_EQ(Fit({Area{Box(0, 0, 1.1, 1.1), {}}}).fault, "too small for one cell");
  EXPECT_EQ(Fit({Area{{{0, 0}, {5, 0}, {10, 0}}, {}}}).fault, "too small for one cell");
}

TEST(FootprintCells, HalfCoveredCellsHolesAndCourtyards) {
  // A right triangle over 4 x 4 cells: a cell is kept when at least half of it is covered, the
  // diagonal's cells exactly half; the staircase's pinch-free shape needs no mending.
  const CellFootprint triangle = Fit({Area{{{0, 0}, {12, 0}, {0, 12}}, {}}});
  EXPECT_EQ(MaskText(triangle), "#...\n##..\n###.\n####\n");
  // A hole that holds a cell is a courtyard; one that holds less is built over.
  const CellFootprint court = Fit({Area{Box(0, 0, 30, 24), {Box(9, 7, 21, 16)}}});
  EXPECT_EQ(court.courtyards, 1);
  EXPECT_EQ(MaskText(court),
            "##########\n##########\n##########\n###....###\n###....###\n###....###\n##########\n##########\n");
  const CellFootprint small = Fit({Area{Box(0, 0, 12, 12), {Box(4, 4, 5.5, 5.5)}}});
  EXPECT_EQ(small.courtyards, 0);
  EXPECT_EQ(MaskText(small), "####\n####\n####\n####\n");
  // A one-cell courtyard stays.
  const CellFootprint well = Fit({Area{Box(0, 0, 9, 9), {Box(3, 3, 6, 6)}}});
  EXPECT_EQ(MaskText(well), "###\n#.#\n###\n");
  EXPECT_EQ(well.courtyards, 1);
}

TEST(FootprintCells, KeepsTheLargestPartAndMendsPinchesAndNotches) {
  // Two blocks apart: the larger one stays.
  const CellFootprint apart = Fit({Area{Box(0, 0, 6, 6), {}}, Area{Box(12, 0, 21, 9), {}}});
  EXPECT_EQ(MaskText(apart), "....###\n....###\n....###\n");
  // Two squares meeting at a corner: a cell joins them.
  const CellFootprint pinch = Fit({Area{Box(0, 0, 6, 6), {}}, Area{Box(6, 6, 12, 12), {}}});
  EXPECT_EQ(MaskText(pinch), "..##\n.###\n##..\n##..\n");
  // A notch one cell wide in the south side is filled.
  const CellFootprint notch = Fit({Area{{{0, 0}, {6, 0}, {6, 3}, {9, 3}, {9, 0}, {15, 0}, {15, 9}, {0, 9}}, {}}});
  EXPECT_EQ(MaskText(notch), "#####\n#####\n#####\n");
}

// What a footprint must be: cells 4-connected, no two cells nor two empty cells meeting at a
// corner alone, no empty cell open to the outside with three cells beside it.
std::string FootprintFault(const CellFootprint& i_fit) {
  int cells = 0, reached = 0;
  std::vector<std::pair<int, int>> stack;
  std::vector<char> seen(i_fit.cells.size(), 0);
  for (int r = 0; r < i_fit.rows; ++r) {
    for (int c = 0; c < i_fit.columns; ++c) {
      if (!i_fit.has(r, c)) continue;
      ++cells;
      if (stack.empty() && reached == 0) stack.emplace_back(r, c), seen[r * i_fit.columns + c] = 1;
    }
  }
  while (!stack.empty()) {
    const auto [r, c] = stack.back();
    stack.pop_back();
    ++reached;
    const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
    for (int d = 0; d < 4; ++d) {
      const int nr = r + dr[d], nc = c + dc[d];
      if (i_fit.has(nr, nc) && !seen[nr * i_fit.columns + nc]) seen[nr * i_fit.columns + nc] = 1, stack.emplace_back(nr, nc);
    }
  }
  if (reached != cells) return "not 4-connected";
  for (int r = -1; r < i_fit.rows; ++r) {
    for (int c = -1; c < i_fit.columns; ++c) {
      const bool a = i_fit.has(r, c), b = i_fit.has(r, c + 1), d = i_fit.has(r + 1, c), e = i_fit.has(r + 1, c + 1);
      if (a == e && b == d && a != b) return "a pinch at " + std::to_string(r) + "," + std::to_string(c);
    }
  }
  for (int r = 0; r < i_fit.rows; ++r) {
    for (int c = 0; c < i_fit.columns; ++c) {
      if (i_fit.has(r, c)) continue;
      const int beside = i_fit.has(r - 1, c) + i_fit.has(r + 1, c) + i_fit.has(r, c - 1) + i_fit.has(r, c + 1);
      const bool open = r == 0 || c == 0 || r == i_fit.rows - 1 || c == i_fit.columns - 1;
      if (beside >= 3 && open) return "a notch at " + std::to_string(r) + "," + std::to_string(c);
    }
  }
  return "";
}

TEST(FootprintCells, RandomOutlinesGiveFootprintsTheLayoutTakes) {
  std::mt19937 random(31);
  std::uniform_real_distribution<double> unit(0, 1);
  int built = 0;
  for (int i = 0; i < 300; ++i) {
    // A star-shaped ring of 5 to 16 points, 4 to 30 m across, with a hole now and then.
    std::vector<MapPoint> ring;
    const int points = 5 + static_cast<int>(unit(random) * 12);
    const double size = 4 + unit(random) * 26;
    for (int p = 0; p < points; ++p) {
      const double angle = 2 * kPi * (p + 0.8 * unit(random)) / points;
      const double radius = size * (0.35 + 0.65 * unit(random));
      ring.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    }
    Area area{ring, {}};
    if (i % 3 == 0) area.holes.push_back(Box(-size * 0.2, -size * 0.2, size * 0.2, size * 0.15));
    const CellFootprint fit = Fit({area});
    if (!fit.fault.empty()) continue;
    ++built;
    EXPECT_EQ(FootprintFault(fit), "") << i << "\n" << MaskText(fit);
    EXPECT_GE(fit.bearing, -45.0 - 1e-9);
    EXPECT_LE(fit.bearing, 45.0 + 1e-9);
  }
  EXPECT_GT(built, 250);
}

// What the kit's pieces cannot build: a cell with no cell beside it along a row or along a
// column, or a straight run of facade one cell long.
std::string KitFault(const CellFootprint& i_fit) {
  for (int r = 0; r < i_fit.rows; ++r) {
    for (int c = 0; c < i_fit.columns; ++c) {
      if (!i_fit.has(r, c)) continue;
      if (!i_fit.has(r, c - 1) && !i_fit.has(r, c + 1)) return "1 cell wide at " + std::to_string(r) + "," + std::to_string(c);
      if (!i_fit.has(r - 1, c) && !i_fit.has(r + 1, c)) return "1 cell deep at " + std::to_string(r) + "," + std::to_string(c);
      // A facade cell side whose neighbours along its line are not facade the same way.
      const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
      for (int f = 0; f < 4; ++f) {
        if (i_fit.has(r + dr[f], c + dc[f])) continue;
        const int ar = dc[f] != 0 ? 1 : 0, ac = dr[f] != 0 ? 1 : 0;  // along the side's line
        const bool before = i_fit.has(r - ar, c - ac) && !i_fit.has(r - ar + dr[f], c - ac + dc[f]);
        const bool after = i_fit.has(r + ar, c + ac) && !i_fit.has(r + ar + dr[f], c + ac + dc[f]);
        if (!before && !after) return "a side 1 cell long at " + std::to_string(r) + "," + std::to_string(c);
      }
    }
  }
  return "";
}

TEST(FootprintCells, WithTheKitsRulesEveryFootprintCanBeBuilt) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  CellOptions options;
  options.kitRules = true;
  int built = 0;
  for (int i = 0; i < 60; ++i) {
    std::vector<MapPoint> ring;
    const int points = 5 + static_cast<int>(unit(random) * 12);
    const double size = 8 + unit(random) * 12;
    for (int p = 0; p < points; ++p) {
      const double angle = 2 * kPi * (p + 0.8 * unit(random)) / points;
      const double radius = size * (0.35 + 0.65 * unit(random));
      ring.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    }
    const CellFootprint fit = FootprintCells({Area{ring, {}}}, options);
    if (!fit.fault.empty()) continue;
    ++built;
    EXPECT_EQ(FootprintFault(fit), "") << i << "\n" << MaskText(fit);
    EXPECT_EQ(KitFault(fit), "") << i << "\n" << MaskText(fit);
  }
  EXPECT_GT(built, 30);
  // An L with a one-cell step is mended; a rectangle is left as it is.
  const CellFootprint step = FootprintCells({Area{{{0, 0}, {12, 0}, {12, 9}, {3, 9}, {3, 12}, {0, 12}}, {}}}, options);
  EXPECT_EQ(KitFault(step), "");
  EXPECT_EQ(MaskText(FootprintCells({Area{Box(0, 0, 7, 10), {}}}, options)), "##\n##\n##\n");
}

TEST(FootprintCells, CellCentresAndThePlacementInTheToolsFrame) {
  const CellFootprint fit = Fit({Area{Turned(Box(0, 0, 12, 9), 25, 50, 80), {}}});
  for (int r = 0; r < fit.rows; ++r) {
    for (int c = 0; c < fit.columns; ++c) {
      int row = -1, column = -1;
      CellAt(fit, CellCentre(fit, r + 0.45, c - 0.45), row, column);
      EXPECT_EQ(row, r);
      EXPECT_EQ(column, c);
    }
  }
  // x east, z south; the angle turns +x towards +z, so the N side, at bearing -25, is at -115.
  const Placement placement = PlacementOf(fit);
  EXPECT_DOUBLE_EQ(placement.x, fit.origin.east);
  EXPECT_DOUBLE_EQ(placement.z, -fit.origin.north);
  EXPECT_NEAR(placement.angle, -115, 1e-9);
  const double a = placement.angle * kPi / 180;
  const MapPoint north = AxisX(fit);
  EXPECT_NEAR(std::cos(a), north.east, 1e-12);
  EXPECT_NEAR(std::sin(a), -north.north, 1e-12);
  EXPECT_TRUE(Contains({Area{Box(0, 0, 4, 4), {Box(1, 1, 2, 2)}}}, {3, 3}));
  EXPECT_FALSE(Contains({Area{Box(0, 0, 4, 4), {Box(1, 1, 2, 2)}}}, {1.5, 1.5}));
  EXPECT_DOUBLE_EQ(ShapeArea({Area{Box(0, 0, 4, 4), {Box(1, 1, 2, 2)}}}), 15.0);
}

}  // namespace
