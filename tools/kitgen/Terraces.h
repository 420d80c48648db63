#pragma once
// The pieces of the first storey of a block that steps back from the block below: facade cells
// and corners whose walls stand on the lower block's roof slab (the terrace), and corners that
// also continue the lower block's facade on one side.
//
// Sizes as in Styles.h: centimetres in the piece's frame (+x out of the facade, +y up, +z along
// it). The terrace is the lower block's roof row laid at this storey's foot: its slab fills y
// 0..30 of the cells in front of a wall over the terrace and meets the wall's outer face there,
// so that face is left open from y 0 to 30. Below such a wall is the lower block's inside, so its
// underside is closed, and its foot (y 0..30) is of the slab's material: the slab runs on under
// the wall, and the wall's inner face shows a corner at y = 30 where every terrace piece has one.
// The string course of the storey's foot would lie in the slab; a wall over the terrace has a
// flush band of another material a little above the slab instead (not on the slab, so that its
// end beside a parapet splits no edge that the slab's top shares with the wall).
//
// A corner whose one facade continues the lower block's (terraceangleleft, terraceangleright)
// stands beside the terrace's roof cell whose parapet runs along that facade and ends against the
// corner: the corner takes the parapet's cross-section there, with a short return of the
// parapet's trims, and its string course runs on into the parapet's.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/kit/PieceKind.h>

#include "Pitched.h"
#include "Styles.h"
#include "Surface.h"

namespace Kitgen {

// A stone at a corner: y0..y1 high, alongX long on the +x face and alongZ on the +z face.
struct Quoin {
  int y0, y1, alongX, alongZ;
};

// What a style's terrace pieces take from it.
struct TerraceDesign {
  std::string style;
  std::vector<detail::Run> storey;  // the style's trims along a facade that continues the one below
  std::vector<detail::Run> roof;    // the style's roof row: the parapet a corner meets
  detail::Run band;                 // a strip of the wall's face (x 149..150) a little above the slab
  detail::Glazing door;             // the door onto the terrace
  std::vector<Step> doorTrims;      // its lintel and the like
  std::string quoinMaterial;
  std::vector<Quoin> quoins;  // at the corners, where they clear the terrace and its parapet
};

namespace detail {

constexpr int kReturn = 10;  // how far the parapet's trims return along a corner's facade

inline Open WholeSide(int i_axis, int i_sign, int i_plane) {
  Box area{-kAll, kAll, -kAll, kAll, -kAll, kAll};
  if (i_axis == 0) area.x0 = area.x1 = i_plane;
  if (i_axis == 1) area.y0 = area.y1 = i_plane;
  if (i_axis == 2) area.z0 = area.z1 = i_plane;
  return {i_axis, i_sign, area};
}

// The slab's end where it meets a wall's outer face over the terrace: on the +x face, or +z.
inline Open SlabOnX() { return {0, 1, {kWallOuter, kWallOuter, 0, kSlab, -kAll, kAll}}; }
inline Open SlabOnZ() { return {2, 1, {-kAll, kAll, 0, kSlab, kWallOuter, kWallOuter}}; }

// A wall over the terrace along the +x face: its foot of slab, and the band above the slab.
inline void AddTerraceWallOnX(PieceSpec& io_piece, const TerraceDesign& i_design) {
  const std::string& s = i_design.style;
  const Run& band = i_design.band;
  Add(io_piece, s + "_wall", {kWallInner, kWallOuter, kSlab, kStorey, -kHalf, kHalf});
  Add(io_piece, s + "_roof", {kWallInner, kWallOuter, 0, kSlab, -kHalf, kHalf});
  Add(io_piece, band.material, {band.x0, band.x1, band.y0, band.y1, -kHalf, kHalf});
}

// The same along the +z face, across the whole cell.
inline void AddTerraceWallOnZ(PieceSpec& io_piece, const TerraceDesign& i_design) {
  const std::string& s = i_design.style;
  const Run& band = i_design.band;
  Add(io_piece, s + "_wall", {-kHalf, kWallOuter, kSlab, kStorey, kWallInner, kWallOuter});
  Add(io_piece, s + "_roof", {-kHalf, kWallOuter, 0, kSlab, kWallInner, kWallOuter});
  Add(io_piece, band.material, {-kHalf, kWallOuter, band.y0, band.y1, band.x0, band.x1});
}

// The quoins that start above i_clear (cm), on both faces as on the style's corner.
inline void AddQuoins(PieceSpec& io_piece, const TerraceDesign& i_design, int i_clear) {
  for (const Quoin& q : i_design.quoins) {
    if (q.y0 <= i_clear) continue;
    Add(io_piece, i_design.quoinMaterial, {kWallOuter, 155, q.y0, q.y1, kHalf - q.alongX, 155});
    Add(io_piece, i_design.quoinMaterial, {kHalf - q.alongZ, 155, q.y0, q.y1, kWallOuter, 155});
  }
}

}  // namespace detail

// A facade cell over the terrace: its wall with the band, and with the door unless closed.
inline PieceSpec TerraceFloor(const TerraceDesign& i_design, bool i_closed) {
  using namespace detail;
  const std::string& s = i_design.style;
  const Ostrel::Buildings::PieceKind kind =
      i_closed ? Ostrel::Buildings::PieceKind::TerraceFloorClose : Ostrel::Buildings::PieceKind::TerraceFloor;
  PieceSpec piece{Ostrel::Buildings::PieceName(s, kind),
                  s,
                  {},
                  {WholeSide(2, -1, -kHalf), WholeSide(2, 1, kHalf), WholeSide(1, 1, kStorey), SlabOnX()}};
  AddTerraceWallOnX(piece, i_design);
  if (i_closed) return piece;
  AddGlazing(piece, s, i_design.door);
  for (const Step& trim : i_design.doorTrims) piece.steps.push_back(trim);
  return piece;
}

// The closed wall over a lower neighbour's roof on a party side whose own wall stands below it
// (the city's neighbours): as the closed wall over the terrace, but its underside over the wall
// is open, as a storey's is, so that it lies on no face of the neighbour's slab beside it, whose
// underside is in its plane.
inline PieceSpec TerraceFloorCloseParty(const TerraceDesign& i_design) {
  using namespace detail;
  PieceSpec piece = TerraceFloor(i_design, true);
  piece.name = Ostrel::Buildings::PieceName(i_design.style, Ostrel::Buildings::PieceKind::TerraceFloorCloseParty);
  piece.open.push_back({1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}});
  return piece;
}

// A corner over the terrace on both of its facades.
inline PieceSpec TerraceAngle(const TerraceDesign& i_design) {
  using namespace detail;
  PieceSpec piece{Ostrel::Buildings::PieceName(i_design.style, Ostrel::Buildings::PieceKind::TerraceAngle),
                  i_design.style,
                  {},
                  {WholeSide(2, -1, -kHalf), WholeSide(0, -1, -kHalf), WholeSide(1, 1, kStorey), SlabOnX(),
                   SlabOnZ()}};
  AddTerraceWallOnX(piece, i_design);
  AddTerraceWallOnZ(piece, i_design);
  AddQuoins(piece, i_design, kSlab);
  return piece;
}

namespace detail {

// The walls of a corner whose +x facade continues the one below and whose +z facade stands over
// the terrace (TerraceAngleSide's): the flush wall with the storeys' trims, the wall over the
// terrace above its foot, and the band over the terrace, which stops short of the parapet whose
// inner face meets the wall there.
inline void AddAngleSideWalls(PieceSpec& io_piece, const TerraceDesign& i_design) {
  const std::string& s = i_design.style;
  Add(io_piece, s + "_wall", {kWallInner, kWallOuter, 0, kStorey, -kHalf, kHalf});
  Add(io_piece, s + "_wall", {-kHalf, kWallOuter, kSlab, kStorey, kWallInner, kWallOuter});
  for (const Run& run : i_design.storey) AddRun(io_piece, run);
  const Run& band = i_design.band;
  Add(io_piece, band.material, {-kHalf, kWallInner - 10, band.y0, band.y1, band.x0, band.x1});
}

// Whether a face of such a corner is its +z wall's underside over the wedge, which the wedge's
// faces replace.
inline bool OverWedge(const Face& i_face) {
  return i_face.axis == 1 && i_face.sign < 0 && i_face.corners[0][1] == kSlab &&
         std::all_of(i_face.corners.begin(), i_face.corners.end(),
                     [](const Point3& i_p) { return i_p[0] <= kWallInner && i_p[2] >= kWallInner; });
}

// The +z wall's foot of such a corner: a wedge that thins to nothing at the inner edge of the
// lower block's facade under the +x wall.
inline void AddAngleSideWedge(std::vector<SlopedFace>& io_faces, const std::string& i_style) {
  const std::string slab = i_style + "_roof";
  const Point3 in0{-kHalf, 0, kWallInner}, out0{-kHalf, 0, kWallOuter}, edge0{kWallInner, 0, kWallOuter};
  const Point3 in1{-kHalf, kSlab, kWallInner}, edge1{kWallInner, kSlab, kWallOuter};
  AddFace(io_faces, slab, {in0, out0, edge0}, {0, -1, 0});
  AddFace(io_faces, slab, {in0, edge0, edge1, in1}, {1, 0, -9});
  AddFace(io_faces, slab, {in1, edge1, {kWallInner, kSlab, kWallInner}}, {0, -1, 0});
}

// The height up to which a corner's quoins give way to the parapet beside it.
inline int ParapetTop(const TerraceDesign& i_design) {
  int top = kSlab;
  for (const Run& run : i_design.roof) top = std::max(top, run.y1 + 10);
  return top;
}

}  // namespace detail

// A corner whose +x facade continues the one below and whose +z facade stands over the terrace;
// with i_right, the same with x and z swapped. Under the +z wall the terrace's slab meets the
// corner's outer face, while below the +x wall the lower block's facade ends in one straight
// inner edge along the whole cell: the +z wall's foot (y 0..30) is a wedge that thins to nothing
// at that edge, so that no corner of the piece lies on it. Its inner face is the one slanted
// face of the kit's box-made pieces.
inline SlopedPiece TerraceAngleSide(const TerraceDesign& i_design, bool i_right) {
  using namespace detail;
  const std::string& s = i_design.style;
  PieceSpec piece{Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::TerraceAngleLeft),
                  s,
                  {},
                  {WholeSide(2, -1, -kHalf), WholeSide(0, -1, -kHalf), WholeSide(1, 1, kStorey),
                   {1, -1, {kWallInner, kWallOuter, 0, 0, -kHalf, kHalf}},
                   {2, 1, {-kHalf, kWallInner, 0, kSlab, kWallOuter, kWallOuter}}}};
  AddAngleSideWalls(piece, i_design);
  // The parapet's end: open where the roof cell's parapet continues the corner, whose trims
  // return a little along the +x facade. A trim that straddles the wall's face (the coping) has
  // a block of wall on its return, so that the wall above the trim meets all of its top.
  for (const Run& run : i_design.roof) {
    Add(piece, run.material, {run.x0, run.x1, run.y0, run.y1, kWallOuter - kReturn, kWallOuter});
    if (run.x0 < kWallOuter && run.x1 > kWallOuter)
      Add(piece, s + "_wall", {kWallOuter, run.x1, run.y1, run.y1 + 10, kWallOuter - kReturn, kWallOuter});
    piece.open.push_back({2, 1, {run.x0, run.x1, run.y0, run.y1, kWallOuter, kWallOuter}});
  }
  AddQuoins(piece, i_design, ParapetTop(i_design));

  std::vector<SlopedFace> faces;
  for (const Face& face : MakeSurface(piece.steps, piece.open))
    if (!OverWedge(face)) faces.push_back({face.material, face.corners});
  AddAngleSideWedge(faces, s);
  if (!i_right) return {piece.name, faces};
  for (SlopedFace& face : faces) {
    for (Point3& p : face.corners) std::swap(p[0], p[2]);
    std::reverse(face.corners.begin(), face.corners.end());
  }
  return {Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::TerraceAngleRight), faces};
}

// An inner corner over the terrace, in the cell diagonally inside it (as the storeys' inner
// corner, Styles.h): the walls of the cells on its +x and +z sides, which face the terrace's cell
// between them, each with the foot of slab and the band of a wall over the terrace, out to the
// far side of its cell, where a facade cell over the terrace continues it. The terrace's slab
// meets both walls' outer faces; below them is the lower block's inside, so their underside is
// closed. Above the band its faces are cut into the three cells as the storeys' inner corner's,
// so that the storey above meets it corner for corner; below, at the cells' sides only, as the
// terrace's roof cells are, so that the slab's edge along the walls meets them corner for corner;
// and the inner faces the same way at every height, as the facade cells beside it have them.
inline PieceSpec TerraceInnerAngle(const TerraceDesign& i_design) {
  using namespace detail;
  const std::string& s = i_design.style;
  PieceSpec piece{Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::InnerAngleTerrace),
                  s,
                  {},
                  {{0, 1, {kBeyond, kBeyond, -kAll, kAll, -kAll, kAll}},
                   {2, 1, {-kAll, kAll, -kAll, kAll, kBeyond, kBeyond}},
                   WholeSide(1, 1, kStorey),
                   {0, 1, {kWallOuter, kWallOuter, 0, kSlab, kWallOuter, kBeyond}},
                   {2, 1, {kWallOuter, kBeyond, 0, kSlab, kWallOuter, kWallOuter}}}};
  const Run& band = i_design.band;
  AddInnerLegs(piece, {s + "_wall", kWallInner, kWallOuter, kSlab, kStorey});
  AddInnerLegs(piece, {s + "_roof", kWallInner, kWallOuter, 0, kSlab});
  AddInnerLegs(piece, band);
  // The storeys' inner corner holds its +x cell's faces out to the outermost trim's face on +z
  // (InnerParts): here only above the band; below it, the +z cell holds them from z = 150 on.
  const int out = InnerParts(Design{i_design.storey, i_design.roof, {}, {}}).front().z1;
  piece.parts = {{kHalf, kAll, -kAll, kHalf}, {kHalf, kAll, kHalf, out, band.y0, kAll}, {-kAll, kAll, kHalf, kAll}};
  return piece;
}

namespace detail {

constexpr int kTurn = kBeyond + kHalf;  // the middle of the wall's next cell along x

// The outer corner in the wall's next cell (x 450..750) of a wall over the terrace that runs on
// flush (TerraceRunOn): the boxes, open sides and wedge of a terraceangleleft corner (its +x face
// flush, its +z face over the terrace) turned so that its +x face is the run's +z one, and moved
// a cell and a half along x. The wall's own boxes in that cell stay as they are: the corner's
// flush wall and trims are the same boxes.
inline void AddTurn(PieceSpec& io_piece, std::vector<SlopedFace>& o_wedge, const TerraceDesign& i_design) {
  const std::string& s = i_design.style;
  const auto turn = [](const Box& i_box) {
    return Box{kTurn + i_box.z0, kTurn + i_box.z1, i_box.y0, i_box.y1, i_box.x0, i_box.x1};
  };
  const auto add = [&](const std::string& i_material, const Box& i_box) { Add(io_piece, i_material, turn(i_box)); };
  // The wall over the terrace, its band short of the parapet, the parapet's return and quoins.
  add(s + "_wall", {-kHalf, kWallOuter, kSlab, kStorey, kWallInner, kWallOuter});
  const Run& band = i_design.band;
  add(band.material, {-kHalf, kWallInner - 10, band.y0, band.y1, band.x0, band.x1});
  int parapetTop = kSlab;
  for (const Run& run : i_design.roof) {
    add(run.material, {run.x0, run.x1, run.y0, run.y1, kWallOuter - kReturn, kWallOuter});
    if (run.x0 < kWallOuter && run.x1 > kWallOuter)
      add(s + "_wall", {kWallOuter, run.x1, run.y1, run.y1 + 10, kWallOuter - kReturn, kWallOuter});
    io_piece.open.push_back({0, 1, turn({run.x0, run.x1, run.y0, run.y1, kWallOuter, kWallOuter})});
    parapetTop = std::max(parapetTop, run.y1 + 10);
  }
  for (const Quoin& q : i_design.quoins) {
    if (q.y0 <= parapetTop) continue;
    add(i_design.quoinMaterial, {kWallOuter, 155, q.y0, q.y1, kHalf - q.alongX, 155});
    add(i_design.quoinMaterial, {kHalf - q.alongZ, 155, q.y0, q.y1, kWallOuter, 155});
  }
  // The corner's far side, where the wall over the terrace runs on, and where the terrace's slab
  // meets the wedge.
  io_piece.open.push_back({2, -1, {kBeyond, kBeyond + 2 * kHalf, -kAll, kAll, -kHalf, -kHalf}});
  io_piece.open.push_back({0, 1, turn({-kHalf, kWallInner, 0, kSlab, kWallOuter, kWallOuter})});
  // The wedge under the wall over the terrace, as TerraceAngleSide's.
  const std::string slab = s + "_roof";
  const auto at = [](int i_x, int i_y, int i_z) { return Point3{kTurn + i_z, i_y, i_x}; };
  const Point3 in0 = at(-kHalf, 0, kWallInner), out0 = at(-kHalf, 0, kWallOuter), edge0 = at(kWallInner, 0, kWallOuter);
  const Point3 in1 = at(-kHalf, kSlab, kWallInner), edge1 = at(kWallInner, kSlab, kWallOuter);
  AddFace(o_wedge, slab, {in0, out0, edge0}, {0, -1, 0});
  AddFace(o_wedge, slab, {in0, edge0, edge1, in1}, {-9, 0, 1});
  AddFace(o_wedge, slab, {in1, edge1, at(kWallInner, kSlab, kWallInner)}, {0, -1, 0});
}

// The wall's own cell of TerraceRunOn (x 150..450) as the block above's outer corner: a wall over
// the terrace on its -x side as well, made as TerraceAngle's +x wall mirrored across the cell's
// middle (x = 300). The terrace's slab meets it on x = 150 below the slab's top, where the
// terrace's cell before the corner and the one in front of it both run on; its far end (z = -150)
// is continued by the wall over the terrace of the next facade.
inline void AddStartAngle(PieceSpec& io_piece, const TerraceDesign& i_design) {
  const std::string& s = i_design.style;
  const auto mirrored = [](const Box& i_box) {
    return Box{2 * kHalf - i_box.x1, 2 * kHalf - i_box.x0, i_box.y0, i_box.y1, i_box.z0, i_box.z1};
  };
  const auto add = [&](const std::string& i_material, const Box& i_box) { Add(io_piece, i_material, mirrored(i_box)); };
  const Run& band = i_design.band;
  add(s + "_wall", {kWallInner, kWallOuter, kSlab, kStorey, -kHalf, kHalf});
  add(s + "_roof", {kWallInner, kWallOuter, 0, kSlab, -kHalf, kHalf});
  add(band.material, {band.x0, band.x1, band.y0, band.y1, -kHalf, kHalf});
  for (const Quoin& q : i_design.quoins) {
    if (q.y0 <= kSlab) continue;
    add(i_design.quoinMaterial, {kWallOuter, 155, q.y0, q.y1, kHalf - q.alongX, 155});
    add(i_design.quoinMaterial, {kHalf - q.alongZ, 155, q.y0, q.y1, kWallOuter, 155});
  }
  io_piece.open.push_back({0, -1, {kHalf, kHalf, 0, kSlab, -kAll, kAll}});
  io_piece.open.push_back({2, -1, {kHalf, kHalf + (kWallOuter - kWallInner), -kAll, kAll, -kHalf, -kHalf}});
}

}  // namespace detail

// A wall over the terrace whose +x end runs on, past its cell, flush with the facade below: the
// lower block's facade turns inward under the end of that wall, so the terrace's cell in front of
// it ends in a parapet along the lower facade's line, and the wall runs on over the lower block's
// walls. Made in an inner corner's frame (Styles.h): the wall's cell is the corner's +x cell (x
// 150..450), facing the terrace's cell on +z. With i_corner, the inner corner over the terrace
// (TerraceInnerAngle) whose +x wall this is; without, the wall's cell alone, which the terrace
// wall of the cell before it (at x = 150) continues, and in front of it the terrace's slab,
// which the terrace's roof cell before it continues; the piece is then moved a cell back along x,
// so that it stands in the wall's own cell.
//
// The piece builds, as well as its wall over the terrace: the wall's next cell (x 450..750), a
// closed wall with the storeys' trims that a facade cell of the storeys continues at x = 750; the
// terrace's cell (its slab, and the parapet of the roof row's cells, which the next roof cell
// continues at z = 450); and where they meet, the parapet's trims running into the wall's as an
// inner corner's do. Its faces are cut into its cells as the lower block's inner corner's under
// it (the parapet's trims into the next cell's part out to the outermost trim) and the storeys'
// pieces above it, so that all of them meet corner for corner. With i_right, the same with x and
// z swapped: the +z wall runs on.
//
// With i_turn, the wall's next cell is also the block above's outer corner: its far side (x 720..
// 750) is a wall over the terrace beyond it, as a terraceangleright corner's +x wall (the frame
// of TerraceAngleSide turned a quarter and moved two cells along x), which the parapet of the
// terrace's cell beyond meets.
//
// With i_angle (and without i_corner), the wall's own cell is the block above's outer corner too:
// its other wall, on its -x side, stands over the terrace as a terraceangle corner's does (its foot
// of slab, its band and quoins), and the terrace's slab before it meets that wall's foot.
inline SlopedPiece TerraceRunOn(const TerraceDesign& i_design, bool i_right, bool i_corner, bool i_turn = false,
                                bool i_angle = false) {
  using namespace detail;
  const std::string& s = i_design.style;
  const Run& band = i_design.band;
  constexpr int kParapet = kBeyond - (kWallOuter - kWallInner);  // the parapet's inner face
  constexpr int kEnd = kBeyond + 2 * kHalf;                       // the far side of the wall's next cell
  PieceSpec piece{"",
                  s,
                  {},
                  {{2, 1, {-kAll, kAll, -kAll, kAll, kBeyond, kBeyond}},
                   WholeSide(1, 1, kStorey),
                   {1, -1, {kParapet, kEnd, 0, 0, kWallInner, kWallOuter}},
                   {1, -1, {kParapet, kBeyond, 0, 0, kWallOuter, kBeyond}}}};
  // The wall starts at the corner, or at its cell's side, where the wall and the slab before it
  // continue it.
  const int from = i_corner ? kWallInner : kHalf;
  if (i_corner) {
    // The +z wall over the terrace, as the storeys' inner corner's.
    Add(piece, s + "_wall", {kWallInner, kWallOuter, kSlab, kStorey, kWallInner, kBeyond});
    Add(piece, s + "_roof", {kWallInner, kWallOuter, 0, kSlab, kWallInner, kBeyond});
    Add(piece, band.material, {band.x0, band.x1, band.y0, band.y1, band.x0, kBeyond});
  } else if (i_angle) {
    AddStartAngle(piece, i_design);
  } else {
    piece.open.push_back(WholeSide(0, -1, kHalf));
  }
  // The +x wall: over the terrace up to the parapet, then on the lower block's walls.
  Add(piece, s + "_wall", {from, kEnd, kSlab, kStorey, kWallInner, kWallOuter});
  Add(piece, s + "_roof", {from, kParapet, 0, kSlab, kWallInner, kWallOuter});
  Add(piece, s + "_wall", {kParapet, kEnd, 0, kSlab, kWallInner, kWallOuter});
  Add(piece, band.material, {i_corner ? band.x0 : kHalf, kParapet - 10, band.y0, band.y1, band.x0, band.x1});
  for (const Run& run : i_design.storey) Add(piece, run.material, {kBeyond, kEnd, run.y0, run.y1, run.x0, run.x1});
  // The terrace's cell: its slab, then the parapet along x = 450 (the roof row's runs, a cell out
  // along x).
  Add(piece, s + "_roof", {kWallOuter, kParapet, 0, kSlab, kWallOuter, kBeyond});
  for (const Run& run : i_design.roof)
    Add(piece, run.material, {run.x0 + 2 * kHalf, run.x1 + 2 * kHalf, run.y0, run.y1, kWallOuter, kBeyond});
  std::vector<SlopedFace> wedge;
  if (i_turn) {
    AddTurn(piece, wedge, i_design);
  } else {
    piece.open.insert(piece.open.begin(), {0, 1, {kEnd, kEnd, -kAll, kAll, -kAll, kAll}});
  }
  // The faces are cut as the neighbours' are: the storeys' inner corners above and the lower
  // block's inner corner below give their +x cell everything out to the outermost trim on +z.
  const int out = InnerParts(Design{i_design.storey, i_design.roof, {}, {}}).front().z1;
  std::vector<Part> parts;
  if (!i_right) {
    parts = {{kBeyond, kAll, -kAll, out},
             {kHalf, kBeyond, -kAll, kHalf},
             {kHalf, kBeyond, kHalf, out, band.y0, kAll},
             {-kAll, kHalf, kHalf, kAll},
             {kHalf, kAll, kHalf, kAll}};
  } else {
    // The same built with x and z swapped; the lower block's inner corner is then a cell along
    // z, so the terrace's cell holds the faces of its parapet and of the trims beside it (below
    // half a storey, above the parapet) out to the outermost trim, as that corner's +x cell does.
    for (Step& step : piece.steps) step.box = {step.box.z0, step.box.z1, step.box.y0, step.box.y1, step.box.x0, step.box.x1};
    for (Open& side : piece.open) {
      side.axis = 2 - side.axis;
      side.area = {side.area.z0, side.area.z1, side.area.y0, side.area.y1, side.area.x0, side.area.x1};
    }
    parts = {{kHalf, kBeyond, -kAll, kHalf},
             {kHalf, kBeyond, kHalf, out, band.y0, kAll},
             {kHalf, kAll, kHalf, kBeyond - kHalf + out, -kAll, kStorey / 2},
             {kHalf, kAll, kHalf, kBeyond},
             {-kAll, kHalf, kHalf, kBeyond},
             {-kAll, kAll, kBeyond, kAll}};
    // Without the inner corner, a facade cell of the storeys stands above the wall's cell, which
    // holds its outer face whole above the band, as the left piece's does.
    if (!i_corner) parts.insert(parts.begin(), Part{kHalf, out, kHalf, kBeyond, band.y0, kAll});
  }
  if (!i_corner) {
    // A cell back along the wall, x or z as it runs: the piece then stands in the wall's cell.
    const auto back = [&](int& io_lo, int& io_hi) {
      io_lo -= 2 * kHalf;
      io_hi -= 2 * kHalf;
    };
    for (Step& step : piece.steps) i_right ? back(step.box.z0, step.box.z1) : back(step.box.x0, step.box.x1);
    for (Open& side : piece.open) i_right ? back(side.area.z0, side.area.z1) : back(side.area.x0, side.area.x1);
    for (Part& part : parts) i_right ? back(part.z0, part.z1) : back(part.x0, part.x1);
  }
  // A point of the frame the piece was modelled in (left, at the inner corner) where the piece
  // now has it.
  const auto place = [&](Point3 i_p) {
    if (!i_corner) i_p[0] -= 2 * kHalf;
    if (i_right) std::swap(i_p[0], i_p[2]);
    return i_p;
  };
  std::vector<SlopedFace> faces;
  for (const Face& face : MakeSurface(piece.steps, piece.open, parts)) {
    if (i_turn) {
      // The outer corner's wall over the terrace: its underside over the wedge, which the
      // wedge's faces replace.
      const bool overWedge =
          face.axis == 1 && face.sign < 0 &&
          std::all_of(face.corners.begin(), face.corners.end(), [&](Point3 i_p) {
            if (i_right) std::swap(i_p[0], i_p[2]);
            if (!i_corner) i_p[0] += 2 * kHalf;
            return i_p[1] == kSlab && i_p[0] >= kTurn + kWallInner && i_p[2] <= kWallInner;
          });
      if (overWedge) continue;
    }
    faces.push_back({face.material, face.corners});
  }
  for (SlopedFace& face : wedge) {
    for (Point3& p : face.corners) p = place(p);
    if (i_right) std::reverse(face.corners.begin(), face.corners.end());
    faces.push_back(face);
  }
  using Ostrel::Buildings::PieceKind;
  const PieceKind kind =
      i_angle ? (i_turn ? (i_right ? PieceKind::TerraceAngleEndTurnRight : PieceKind::TerraceAngleEndTurnLeft)
                        : (i_right ? PieceKind::TerraceAngleEndRight : PieceKind::TerraceAngleEndLeft))
      : i_turn ? (i_corner ? (i_right ? PieceKind::InnerAngleTerraceTurnRight : PieceKind::InnerAngleTerraceTurnLeft)
                         : (i_right ? PieceKind::TerraceEndTurnRight : PieceKind::TerraceEndTurnLeft))
             : (i_corner ? (i_right ? PieceKind::InnerAngleTerraceRight : PieceKind::InnerAngleTerraceLeft)
                         : (i_right ? PieceKind::TerraceEndRight : PieceKind::TerraceEndLeft));
  return {Ostrel::Buildings::PieceName(s, kind), faces};
}

// The roof row's inner corner on the terrace (InnerCornerRoof) whose +x cell is the block above's
// outer corner: that cell's facade on +z runs on flush, up the block above, and its other wall
// stands over the terrace in front of the inner corner's own cell. The piece builds the roof of
// its own cell and of the +z cell up to their walls, the +z cell's parapet, which ends against the
// wall over the terrace, and the block above's corner for its first storey: TerraceAngleSide's
// walls, wedge and quoins, turned a quarter (its flush +x facade to +z, its +z facade to -x) and
// moved a cell along x. The faces are cut into the cells as the inner corners' below and beside
// it; with i_right, the same with x and z swapped, whose +z cell then holds its faces below half
// a storey as the inner corner's below it, and above as the block above's corner.
inline SlopedPiece TerraceInnerAngleCorner(const TerraceDesign& i_design, bool i_right) {
  using namespace detail;
  const std::string& s = i_design.style;
  PieceSpec piece{"",
                  s,
                  {},
                  {WholeSide(0, -1, -kHalf), WholeSide(2, -1, -kHalf), WholeSide(0, 1, kBeyond),
                   WholeSide(2, 1, kBeyond), WholeSide(1, 1, kStorey),
                   {1, -1, {kWallInner, kBeyond, 0, 0, kWallInner, kWallOuter}},
                   {1, -1, {kWallInner, kWallOuter, 0, 0, kWallOuter, kBeyond}},
                   // the slab's end, where the wedge under the wall over the terrace continues it
                   {0, 1, {kWallOuter, kWallOuter, 0, kSlab, -kHalf, kWallInner}}}};
  // The roof up to the wall over the terrace and the +z cell's parapet, its corner post included.
  Add(piece, s + "_roof", {-kHalf, kWallOuter, 0, kSlab, -kHalf, kWallInner});
  Add(piece, s + "_roof", {-kHalf, kWallInner, 0, kSlab, -kHalf, kBeyond});
  for (const Run& run : i_design.roof) AddInnerLegZ(piece, run);
  // The block above's corner, from its own frame (flush +x, +z over the terrace, at the cell's
  // middle) to the piece's: x = 300 - z, z = x.
  PieceSpec corner{"", s, {}, {}};
  AddAngleSideWalls(corner, i_design);
  AddQuoins(corner, i_design, ParapetTop(i_design));
  const auto turn = [](const Point3& i_p) { return Point3{2 * kHalf - i_p[2], i_p[1], i_p[0]}; };
  for (const Step& step : corner.steps) {
    const Box& b = step.box;
    piece.steps.push_back({step.material, {2 * kHalf - b.z1, 2 * kHalf - b.z0, b.y0, b.y1, b.x0, b.x1}});
  }
  std::vector<SlopedFace> wedge;
  AddAngleSideWedge(wedge, s);
  for (SlopedFace& face : wedge)
    for (Point3& p : face.corners) p = turn(p);
  std::vector<Part> parts = InnerParts(Design{i_design.storey, i_design.roof, {}, {}});
  if (i_right) {
    for (Step& step : piece.steps) step.box = {step.box.z0, step.box.z1, step.box.y0, step.box.y1, step.box.x0, step.box.x1};
    for (Open& side : piece.open) {
      side.axis = 2 - side.axis;
      side.area = {side.area.z0, side.area.z1, side.area.y0, side.area.y1, side.area.x0, side.area.x1};
    }
    parts.front().y1 = kStorey / 2;
  }
  std::vector<SlopedFace> faces;
  for (const Face& face : MakeSurface(piece.steps, piece.open, parts)) {
    // The wall over the terrace's underside over the wedge, in the corner's own frame.
    Face own = face;
    for (Point3& p : own.corners) {
      if (i_right) std::swap(p[0], p[2]);
      p = {p[2], p[1], 2 * kHalf - p[0]};
    }
    if (!OverWedge(own)) faces.push_back({face.material, face.corners});
  }
  for (SlopedFace& face : wedge) {
    if (i_right) {
      for (Point3& p : face.corners) std::swap(p[0], p[2]);
      std::reverse(face.corners.begin(), face.corners.end());
    }
    faces.push_back(face);
  }
  using Ostrel::Buildings::PieceKind;
  return {Ostrel::Buildings::PieceName(s, i_right ? PieceKind::InnerAngleRoofCornerRight : PieceKind::InnerAngleRoofCornerLeft),
          faces};
}

// The roof row's inner corner on the terrace whose own cell is the block above's outer corner:
// TerraceAngle's corner, its walls over the terrace of both end cells, with those cells' roof up
// to their walls and their parapets (InnerCornerRoof's legs) from the corner's faces out, the
// corner's quoins above them. The corner's walls build the legs' post; its faces are cut into the
// cells as the inner corners' below and beside it.
inline PieceSpec TerraceInnerAngleCornerIn(const TerraceDesign& i_design) {
  using namespace detail;
  const std::string& s = i_design.style;
  PieceSpec piece{Ostrel::Buildings::PieceName(s, Ostrel::Buildings::PieceKind::InnerAngleRoofCorner),
                  s,
                  {},
                  {WholeSide(0, -1, -kHalf), WholeSide(2, -1, -kHalf), WholeSide(0, 1, kBeyond),
                   WholeSide(2, 1, kBeyond), WholeSide(1, 1, kStorey),
                   {1, -1, {kWallInner, kBeyond, 0, 0, kWallInner, kWallOuter}},
                   {1, -1, {kWallInner, kWallOuter, 0, 0, kWallOuter, kBeyond}}}};
  Add(piece, s + "_roof", {kWallOuter, kBeyond, 0, kSlab, -kHalf, kWallInner});
  Add(piece, s + "_roof", {-kHalf, kWallInner, 0, kSlab, kWallOuter, kBeyond});
  for (const Run& run : i_design.roof) {
    AddInnerLegX(piece, run, kWallOuter);
    AddInnerLegZ(piece, run, kWallOuter);
  }
  AddTerraceWallOnX(piece, i_design);
  AddTerraceWallOnZ(piece, i_design);
  AddQuoins(piece, i_design, ParapetTop(i_design));
  piece.parts = InnerParts(Design{i_design.storey, i_design.roof, {}, {}});
  return piece;
}

// The terrace pieces of a style: the facade cells, the corner over the terrace on both sides and
// the inner corner over it are made of boxes; the corners that also continue the facade below
// have a slanted face.
struct TerraceKit {
  std::vector<PieceSpec> boxed;
  std::vector<SlopedPiece> sloped;
};

inline TerraceKit TerracePieces(const TerraceDesign& i_design) {
  return {{TerraceFloor(i_design, false), TerraceFloor(i_design, true), TerraceAngle(i_design),
           TerraceInnerAngle(i_design), TerraceInnerAngleCornerIn(i_design), TerraceFloorCloseParty(i_design)},
          {TerraceAngleSide(i_design, false), TerraceAngleSide(i_design, true), TerraceRunOn(i_design, false, true),
           TerraceRunOn(i_design, true, true), TerraceRunOn(i_design, false, false), TerraceRunOn(i_design, true, false),
           TerraceRunOn(i_design, false, true, true), TerraceRunOn(i_design, true, true, true),
           TerraceRunOn(i_design, false, false, true), TerraceRunOn(i_design, true, false, true),
           TerraceRunOn(i_design, false, false, false, true), TerraceRunOn(i_design, true, false, false, true),
           TerraceRunOn(i_design, false, false, true, true), TerraceRunOn(i_design, true, false, true, true),
           TerraceInnerAngleCorner(i_design, false), TerraceInnerAngleCorner(i_design, true)}};
}

// Style A: a glazed double door onto the terrace over an upstand, a band of the slab edges' grey.
inline TerraceDesign ModernTerrace() {
  using namespace detail;
  const std::string s = "A";
  const Design design = ModernDesign();
  TerraceDesign terrace{s, design.storey, design.roof, {s + "_band", 149, kWallOuter, 40, 50}, {}, {}, "", {}};
  terrace.door = {{-120, 120, 60, 270}, {{-115, -5, 65, 265}, {5, 115, 65, 265}}, 125, 135, 140};
  return terrace;
}

// Style B: a French window under a lintel and keystone, a stone band, the quoins.
inline TerraceDesign ClassicTerrace() {
  using namespace detail;
  const std::string s = "B";
  const Design design = ClassicDesign();
  TerraceDesign terrace{s, design.storey, design.roof, {s + "_trim", 149, kWallOuter, 40, 55}, {}, {}, s + "_trim",
                        {}};
  terrace.door = {{-60, 60, 65, 240}, {{-50, -5, 73, 195}, {5, 50, 73, 195}, {-50, 50, 205, 230}}, 125, 135, 145};
  terrace.doorTrims = {{s + "_trim", {kWallOuter, 160, 240, 260, -75, 75}},
                       {s + "_trim", {kWallOuter, 165, 240, 265, -10, 10}}};
  // As on the style's corner (Styles.h): stones alternately long and short on the two faces.
  for (int k = 0; k < 5; ++k) {
    const int y0 = 25 + 55 * k;
    terrace.quoins.push_back({y0, y0 + 45, k % 2 == 0 ? 60 : 35, k % 2 == 0 ? 35 : 60});
  }
  return terrace;
}

}  // namespace Kitgen
