#pragma once
// Many buildings in one output: where each stands and how it is turned, and what the whole set
// of them needs from the kit (its pieces, once each), so that one material library and one set
// of missing-piece warnings serve them all.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/city/Frame.h>
#include <ostrel/city/Kit.h>
#include <ostrel/city/Layout.h>

namespace Ostrel::City {

// One building of a city, ready to write.
struct CityBuilding {
  Plan plan;
  Frame frame;       // position (output units), orientation and the output's scale
  std::string name;  // the name its output gives it: an OBJ "o" line, a glTF node
};

// A building standing at (x, y, z) (output units), turned by i_degrees about the vertical axis:
// its orientation is (sin a, 0, cos a), so 0 leaves it as a single building stands. The angle is
// reduced to [0, 360) first, and the four multiples of 90 give exact axis directions (0 and
// +-1), never a rounding residue such as 6.12323e-17.
Frame CityFrame(double i_x, double i_y, double i_z, double i_degrees);

// Adds the pieces i_plan places to io_pieces, those not in it yet, in the order of first
// placement: the pieces of a whole city, each once, in the order its buildings first need them.
void AddPieces(const Plan& i_plan, std::vector<PieceId>& io_pieces);

// A plan that places each of i_pieces once, in that order, at the origin: what the material
// functions (Materials.h, GltfMaterials.h) read to serve every building of a city at once.
Plan PiecesPlan(const std::vector<PieceId>& i_pieces);

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline Frame CityFrame(double i_x, double i_y, double i_z, double i_degrees) {
  Frame frame;
  frame.xpos = static_cast<float>(i_x);
  frame.ypos = static_cast<float>(i_y);
  frame.zpos = static_cast<float>(i_z);
  // fmod is exact, so 450 and -270 reduce to exactly 90.
  double degrees = std::fmod(i_degrees, 360.0);
  if (degrees < 0) degrees += 360.0;
  if (degrees >= 360.0) degrees = 0;  // a tiny negative angle rounds up to 360
  if (degrees == 0) {
    frame.xdir = 0;
    frame.zdir = 1;
  } else if (degrees == 90) {
    frame.xdir = 1;
    frame.zdir = 0;
  } else if (degrees == 180) {
    frame.xdir = 0;
    frame.zdir = -1;
  } else if (degrees == 270) {
    frame.xdir = -1;
    frame.zdir = 0;
  } else {
    const double radians = degrees * (3.14159265358979323846 / 180.0);
    frame.xdir = static_cast<float>(std::sin(radians));
    frame.zdir = static_cast<float>(std::cos(radians));
  }
  return frame;
}

inline void AddPieces(const Plan& i_plan, std::vector<PieceId>& io_pieces) {
  for (const PieceId piece : PiecesInOrder(i_plan)) {
    bool seen = false;
    for (const PieceId known : io_pieces) seen = seen || known == piece;
    if (!seen) io_pieces.push_back(piece);
  }
}

inline Plan PiecesPlan(const std::vector<PieceId>& i_pieces) {
  Run run;
  for (const PieceId piece : i_pieces) {
    Placement placement;
    placement.piece = piece;
    run.period.push_back(placement);
  }
  Plan plan;
  plan.blocks.push_back({{run}});
  return plan;
}

}  // namespace Ostrel::City
