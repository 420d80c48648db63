// kitgen: writes the unit kit that ships with towerkit, one OBJ file per piece and style.
//
//   kitgen [folder]      (default folder: units)
//
// Every piece is a union of axis-aligned boxes given in whole centimetres in the piece's local
// frame: +x points out of the facade, +y up, +z along the facade (to the left of a viewer who
// faces the facade from outside). One cell is 3 m x 3 m and one storey 3 m, so a piece's own cell
// spans x and z -150..150 cm and y 0..300 cm. A corner piece has a facade on its +x side and the
// next facade of the ring on its +z side. Walls are the outer 30 cm of the cell (x 120..150).
//
// Each box is written as its own closed solid: 24 corners (4 per side, so that every side has its
// own normal), each corner with the same index for position, texture coordinate and normal. The
// tool shifts all three index lists of a unit by its vertex count, so a unit must carry exactly as
// many normals and texture coordinates as vertices. Texture coordinates are in metres on the side's
// own plane, oriented as a viewer outside that side sees it.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <ostrel/utils/Messages.h>
#include <ostrel/utils/NumberFormat.h>

namespace {

// One solid, in centimetres of the piece's local frame.
struct Box {
  const char* group;  // OBJ group name of the solid ("wall", "pane", ...)
  int x0, x1;         // out of the facade
  int y0, y1;         // up
  int z0, z1;         // along the facade
};

// A rectangle on the facade plane, in centimetres: z along the facade, y up.
struct Rect {
  int z0, z1;
  int y0, y1;
};

struct Piece {
  std::string name;  // file name without ".obj", such as A_floor
  std::vector<Box> boxes;
};

// ---------------------------------------------------------------------------------------------
// Building blocks shared by all styles.

constexpr int kHalf = 150;       // half a cell, cm
constexpr int kStorey = 300;     // one storey, cm
constexpr int kWallInner = 120;  // inner face of the outer wall, cm
constexpr int kWallOuter = 150;  // outer face of the outer wall, cm
constexpr int kRoofSlab = 30;    // thickness of the roof slab, cm; the roof surface is at this height
// Parts fixed to another sink this far (cm) into it instead of merely touching it. Two solids
// that touch show a seam of their hidden faces along the contact edge in most viewers; sunk in,
// every hidden face lies strictly inside the other solid.
constexpr int kEmbed = 5;
constexpr int kAttach = kWallOuter - kEmbed;  // inner side of parts fixed to the facade, cm

void Add(Piece& io_piece, const char* i_group, int i_x0, int i_x1, int i_y0, int i_y1, int i_z0, int i_z1) {
  io_piece.boxes.push_back({i_group, i_x0, i_x1, i_y0, i_y1, i_z0, i_z1});
}

// Fills i_area at depth x0..x1 with boxes, leaving the holes open. The area is cut into horizontal
// strips at every hole edge; neighbouring strips with the same solid runs are merged.
void AddWithHoles(Piece& io_piece, const char* i_group, int i_x0, int i_x1, const Rect& i_area,
                  const std::vector<Rect>& i_holes) {
  std::vector<int> ys = {i_area.y0, i_area.y1};
  std::vector<int> zs = {i_area.z0, i_area.z1};
  for (const Rect& hole : i_holes) {
    ys.insert(ys.end(), {hole.y0, hole.y1});
    zs.insert(zs.end(), {hole.z0, hole.z1});
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::sort(zs.begin(), zs.end());
  zs.erase(std::unique(zs.begin(), zs.end()), zs.end());

  // Is the grid cell whose doubled centre is (i_z2, i_y2) outside every hole? Doubling keeps the
  // centre of a one-centimetre cell on whole numbers.
  const auto solid = [&](int i_z2, int i_y2) {
    for (const Rect& hole : i_holes)
      if (2 * hole.z0 < i_z2 && i_z2 < 2 * hole.z1 && 2 * hole.y0 < i_y2 && i_y2 < 2 * hole.y1) return false;
    return true;
  };
  // The solid runs along z of one strip, as pairs z0, z1.
  const auto runs = [&](std::size_t i_strip) {
    std::vector<int> result;
    const int y2 = ys[i_strip] + ys[i_strip + 1];
    for (std::size_t k = 0; k + 1 < zs.size(); ++k) {
      if (!solid(zs[k] + zs[k + 1], y2)) continue;
      if (!result.empty() && result.back() == zs[k]) {
        result.back() = zs[k + 1];
      } else {
        result.insert(result.end(), {zs[k], zs[k + 1]});
      }
    }
    return result;
  };
  std::size_t strip = 0;
  while (strip + 1 < ys.size()) {
    const std::vector<int> run = runs(strip);
    std::size_t end = strip + 1;
    while (end + 1 < ys.size() && runs(end) == run) ++end;
    for (std::size_t k = 0; k < run.size(); k += 2)
      Add(io_piece, i_group, i_x0, i_x1, ys[strip], ys[end], run[k], run[k + 1]);
    strip = end;
  }
}

// A profile that runs along the whole facade: a rectangle across the wall (x: out, y: up).
struct Band {
  const char* group;
  int x0, x1;
  int y0, y1;
};

// Runs each band along the facade from cell edge to cell edge, cut where a gap (a door) is.
void AddBands(Piece& io_piece, const std::vector<Band>& i_bands, const std::vector<Rect>& i_gaps = {}) {
  for (const Band& band : i_bands) {
    std::vector<Rect> holes;
    for (const Rect& gap : i_gaps)
      if (gap.y0 < band.y1 && band.y0 < gap.y1)
        holes.push_back({gap.z0, gap.z1, std::max(gap.y0, band.y0), std::min(gap.y1, band.y1)});
    AddWithHoles(io_piece, band.group, band.x0, band.x1, {-kHalf, kHalf, band.y0, band.y1}, holes);
  }
}

// Runs each band around a corner: along the +x facade up to the outer edge of the band, then
// along the +z facade from the cell edge into the first box.
void AddWrappedBands(Piece& io_piece, const std::vector<Band>& i_bands) {
  for (const Band& band : i_bands) {
    Add(io_piece, band.group, band.x0, band.x1, band.y0, band.y1, -kHalf, band.x1);
    Add(io_piece, band.group, -kHalf, std::min(band.x0 + kEmbed, band.x1), band.y0, band.y1, band.x0,
        band.x1);
  }
}

// A glazed opening: the glass (paneX0..paneX1) fills the opening, and the frame (frameX0..frameX1,
// sunk into the glass) covers it everywhere but the lights. Both reach into the wall around the
// opening, but never below the storey's floor.
struct Glazing {
  Rect opening;
  std::vector<Rect> lights;  // the panes seen between frame bars, inside the opening
  int paneX0, paneX1;
  int frameX0, frameX1;
};

void AddGlazing(Piece& io_piece, const Glazing& i_glazing) {
  const Rect& o = i_glazing.opening;
  const Rect rim = {o.z0 - kEmbed, o.z1 + kEmbed, o.y0 == 0 ? 0 : o.y0 - kEmbed, o.y1 + kEmbed};
  Add(io_piece, "pane", i_glazing.paneX0, i_glazing.paneX1, rim.y0, rim.y1, rim.z0, rim.z1);
  AddWithHoles(io_piece, "frame", i_glazing.frameX0, i_glazing.frameX1, rim, i_glazing.lights);
}

const Band kWall = {"wall", kWallInner, kWallOuter, 0, kStorey};

// A storey piece: the wall with its openings and the storey's bands (cut at a door).
Piece StoreyPiece(const std::string& i_name, const std::vector<Band>& i_bands,
                  const std::vector<Rect>& i_openings, const std::vector<Rect>& i_bandGaps = {}) {
  Piece piece{i_name, {}};
  AddWithHoles(piece, "wall", kWallInner, kWallOuter, {-kHalf, kHalf, 0, kStorey}, i_openings);
  AddBands(piece, i_bands, i_bandGaps);
  return piece;
}

Piece AnglePiece(const std::string& i_name, const std::vector<Band>& i_bands) {
  Piece piece{i_name, {}};
  AddWrappedBands(piece, {kWall});
  AddWrappedBands(piece, i_bands);
  return piece;
}

// The roof row over a facade cell: the slab up to the wall, the parapet and its trims. In a gap
// the trims are cut away and the parapet down to the roof surface, so the roof runs out to the
// facade there.
Piece RoofPiece(const std::string& i_name, const std::vector<Band>& i_bands,
                const std::vector<Rect>& i_gaps = {}) {
  Piece piece{i_name, {}};
  Add(piece, "roof", -kHalf, kWallInner + kEmbed, 0, kRoofSlab, -kHalf, kHalf);
  for (const Band& band : i_bands) {
    // The parapet is cut down to the roof surface; the trims a little wider, so that their cut
    // ends do not lie in the plane of the parapet's.
    const bool parapet = band.x0 == kWallInner;
    std::vector<Rect> cuts;
    for (const Rect& gap : i_gaps)
      cuts.push_back(parapet ? Rect{gap.z0, gap.z1, kRoofSlab, kStorey}
                             : Rect{gap.z0 - kEmbed, gap.z1 + kEmbed, 0, kStorey});
    AddBands(piece, {band}, cuts);
  }
  return piece;
}

Piece AngleRoofPiece(const std::string& i_name, const std::vector<Band>& i_bands) {
  Piece piece{i_name, {}};
  Add(piece, "roof", -kHalf, kWallInner + kEmbed, 0, kRoofSlab, -kHalf, kWallInner + kEmbed);
  AddWrappedBands(piece, i_bands);
  return piece;
}

// The roof over an interior cell, level with the roof surface of the ring.
Piece RoofCapPiece(const std::string& i_name) {
  Piece piece{i_name, {}};
  Add(piece, "roof", -kHalf, kHalf, 0, kRoofSlab, -kHalf, kHalf);
  return piece;
}

// ---------------------------------------------------------------------------------------------
// Style A, modern: wide panes in thin frames, slab edges between storeys, a flat parapet.

std::vector<Piece> ModernStyle(const std::string& s) {
  const std::vector<Band> storey = {{"band", kAttach, 160, 0, 20}};
  const std::vector<Band> roof = {{"parapet", kWallInner, kWallOuter, 0, 110},
                                  {"band", kAttach, 160, 0, 20},
                                  {"coping", 115, 155, 105, 115}};

  const Glazing upper = {{-125, 125, 50, 275}, {{-120, -5, 55, 270}, {5, 120, 55, 270}}, 125, 135, 130, 140};
  const Glazing ground = {{-125, 125, 30, 270},
                          {{-120, -5, 35, 210}, {5, 120, 35, 210}, {-120, 120, 215, 265}},
                          125,
                          135,
                          130,
                          140};
  // A glass double door, set back to the inner face of the wall.
  const Glazing door = {{-60, 60, 0, 240}, {{-55, -5, 0, 235}, {5, 55, 0, 235}}, 115, 125, 120, 135};

  std::vector<Piece> kit;
  kit.push_back(AnglePiece(s + "_angle", storey));
  kit.push_back(AngleRoofPiece(s + "_angleroof", roof));

  kit.push_back(StoreyPiece(s + "_ground", storey, {ground.opening}));
  AddGlazing(kit.back(), ground);

  kit.push_back(StoreyPiece(s + "_grounddoor", storey, {door.opening}, {{-65, 65, 0, kStorey}}));
  AddGlazing(kit.back(), door);
  Add(kit.back(), "canopy", kAttach, 210, 250, 260, -90, 90);

  kit.push_back(StoreyPiece(s + "_groundclose", storey, {}));

  kit.push_back(StoreyPiece(s + "_floor", storey, {upper.opening}));
  AddGlazing(kit.back(), upper);

  kit.push_back(StoreyPiece(s + "_floorclose", storey, {}));
  kit.push_back(RoofPiece(s + "_roof", roof));
  kit.push_back(RoofPiece(s + "_roofdoor", roof, {{-60, 60, 0, kStorey}}));

  // The slab wraps the slab edge of the storey (to 160 out, 0..20 up) so that no face of the two meets.
  Piece balcony{s + "_balcony", {}};
  Add(balcony, "balcony", kAttach, 270, -5, 25, -120, 120);
  Add(balcony, "railing", 260, 270, 20, 110, -120, 120);
  Add(balcony, "railing", kAttach, 265, 20, 110, -120, -115);
  Add(balcony, "railing", kAttach, 265, 20, 110, 115, 120);
  kit.push_back(balcony);

  kit.push_back(RoofCapPiece(s + "_roofcap"));
  return kit;
}

// ---------------------------------------------------------------------------------------------
// Style B, classic: smaller windows with sills, lintels and keystones, string courses between
// storeys, quoins at the corners, a framed door under a hood, a cornice under the parapet.

void AddClassicTrims(Piece& io_piece, int i_sillTop) {
  Add(io_piece, "sill", kAttach, 165, i_sillTop - 10, i_sillTop, -75, 75);
  Add(io_piece, "lintel", kAttach, 160, 240, 260, -75, 75);
  Add(io_piece, "keystone", 155, 165, 240, 265, -10, 10);
}

std::vector<Piece> ClassicStyle(const std::string& s) {
  const std::vector<Band> storey = {{"band", kAttach, 160, 0, 15}};
  const std::vector<Band> roof = {{"parapet", kWallInner, kWallOuter, 0, 90},
                                  {"cornice", kAttach, 165, 0, 10},
                                  {"cornice", kAttach, 180, 5, 25},
                                  {"coping", 115, 155, 85, 100}};

  const Glazing upper = {
      {-60, 60, 90, 240}, {{-50, -5, 100, 195}, {5, 50, 100, 195}, {-50, 50, 205, 230}}, 125, 135, 130, 145};
  const Glazing ground = {
      {-60, 60, 60, 240}, {{-50, -5, 70, 195}, {5, 50, 70, 195}, {-50, 50, 205, 230}}, 125, 135, 130, 145};
  const Rect door = {-75, 75, 0, 240};

  std::vector<Piece> kit;

  // Quoins: stones alternately long and short on the two faces of the corner.
  Piece angle = AnglePiece(s + "_angle", storey);
  for (int k = 0; k < 5; ++k) {
    const int y0 = 25 + 55 * k;
    const int alongX = k % 2 == 0 ? 60 : 35;  // length on the +x face
    const int alongZ = k % 2 == 0 ? 35 : 60;  // length on the +z face
    Add(angle, "quoin", kAttach, 155, y0, y0 + 45, 150 - alongX, 155);
    Add(angle, "quoin", 150 - alongZ, 150, y0, y0 + 45, kAttach, 155);
  }
  kit.push_back(angle);
  kit.push_back(AngleRoofPiece(s + "_angleroof", roof));

  kit.push_back(StoreyPiece(s + "_ground", storey, {ground.opening}));
  AddGlazing(kit.back(), ground);
  AddClassicTrims(kit.back(), 60);

  // A panelled door behind a step, framed by jambs and a head under a hood.
  Piece entrance = StoreyPiece(s + "_grounddoor", storey, {door}, {{-90, 90, 0, kStorey}});
  Add(entrance, "door", 115, 125, 0, 245, -80, 80);
  for (const Rect& panel :
       std::vector<Rect>{{-65, -10, 25, 110}, {10, 65, 25, 110}, {-65, -10, 130, 225}, {10, 65, 130, 225}})
    Add(entrance, "panel", 120, 130, panel.y0, panel.y1, panel.z0, panel.z1);
  Add(entrance, "step", 120, 185, 0, 15, -80, 80);
  Add(entrance, "jamb", kAttach, 160, 0, 260, -95, -75);
  Add(entrance, "jamb", kAttach, 160, 0, 260, 75, 95);
  Add(entrance, "jamb", kAttach, 160, 240, 260, -80, 80);
  Add(entrance, "hood", kAttach, 170, 255, 275, -105, 105);
  kit.push_back(entrance);

  kit.push_back(StoreyPiece(s + "_groundclose", storey, {}));

  kit.push_back(StoreyPiece(s + "_floor", storey, {upper.opening}));
  AddGlazing(kit.back(), upper);
  AddClassicTrims(kit.back(), 90);

  kit.push_back(StoreyPiece(s + "_floorclose", storey, {}));
  kit.push_back(RoofPiece(s + "_roof", roof));
  kit.push_back(RoofPiece(s + "_roofdoor", roof, {{-60, 60, 0, kStorey}}));

  // A balustrade: handrails on posts, on a slab that wraps the string course.
  Piece balcony{s + "_balcony", {}};
  Add(balcony, "balcony", kAttach, 240, -5, 20, -105, 105);
  Add(balcony, "railing", 230, 240, 90, 100, -105, 105);
  Add(balcony, "railing", kAttach, 235, 90, 100, -105, -95);
  Add(balcony, "railing", kAttach, 235, 90, 100, 95, 105);
  for (const int z : {-100, -70, -40, -10, 10, 40, 70, 100})
    Add(balcony, "baluster", 230, 240, 15, 95, z - 5, z + 5);
  for (const int x : {170, 200}) {
    Add(balcony, "baluster", x - 5, x + 5, 15, 95, -105, -95);
    Add(balcony, "baluster", x - 5, x + 5, 15, 95, 95, 105);
  }
  kit.push_back(balcony);

  kit.push_back(RoofCapPiece(s + "_roofcap"));
  return kit;
}

// The two pieces that fix the cell and storey size: together they span exactly 3 x 3 x 3 m.
std::vector<Piece> BasePieces() {
  Piece wall{"base_floorclose", {}};
  Add(wall, "wall", kWallInner, kWallOuter, 0, kStorey, -kHalf, kHalf);
  Piece roof{"base_roof", {}};
  Add(roof, "roof", -kHalf, kHalf, 0, kRoofSlab, -kHalf, kHalf);
  return {wall, roof};
}

// ---------------------------------------------------------------------------------------------
// OBJ text.

// Appends " x y ..." for values in centimetres, written in metres.
void AppendMetres(std::string& io_text, std::initializer_list<int> i_cm) {
  char number[Ostrel::Format::kMaxFloatChars];
  for (const int value : i_cm) {
    io_text += ' ';
    io_text.append(number, Ostrel::Format::AppendFloat(number, static_cast<float>(value) / 100.0f));
  }
  io_text += '\n';
}

// The normal line of each side, by axis and by sign (negative, positive).
constexpr const char* kNormals[3][2] = {
    {"vn -1 0 0\n", "vn 1 0 0\n"}, {"vn 0 -1 0\n", "vn 0 1 0\n"}, {"vn 0 0 -1\n", "vn 0 0 1\n"}};

// The text of one piece: all positions, then texture coordinates, then normals, then one group
// of six quads per box.
std::string PieceText(const Piece& i_piece) {
  std::string v, vt, vn, f;
  std::size_t corner = 0;  // 1-based index of the next corner, shared by v, vt and vn
  std::size_t solid = 0;
  for (const Box& b : i_piece.boxes) {
    f += "g " + std::string(b.group) + "-" + std::to_string(++solid) + "\n";
    const int lo[3] = {b.x0, b.y0, b.z0};
    const int hi[3] = {b.x1, b.y1, b.z1};
    for (int axis = 0; axis < 3; ++axis) {
      for (const int sign : {-1, 1}) {
        // Tangents u and v with u x v along +axis; the corners go counter-clockwise seen from
        // outside, which for the negative side is the reverse order.
        const int u = (axis + 1) % 3;
        const int w = (axis + 2) % 3;
        const int order[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        f += "f";
        for (int k = 0; k < 4; ++k) {
          const int* step = order[sign > 0 ? k : (4 - k) % 4];
          int p[3];
          p[axis] = sign > 0 ? hi[axis] : lo[axis];
          p[u] = step[0] ? hi[u] : lo[u];
          p[w] = step[1] ? hi[w] : lo[w];
          v += "v";
          AppendMetres(v, {p[0], p[1], p[2]});
          vn += kNormals[axis][sign > 0];
          // Texture axes as a viewer outside the side sees them: u to the right, v up (for the
          // top and bottom, v away from the viewer standing on the +x side).
          int tu = 0, tv = 0;
          if (axis == 0) tu = -sign * p[2], tv = p[1];
          if (axis == 1) tu = p[0], tv = -sign * p[2];
          if (axis == 2) tu = sign * p[0], tv = p[1];
          vt += "vt";
          AppendMetres(vt, {tu, tv});
          const std::string index = std::to_string(++corner);
          f += ' ' + index + '/' + index + '/' + index;
        }
        f += '\n';
      }
    }
  }
  return "# " + i_piece.name +
         ": unit mesh of the towerkit kit, written by tools/kitgen; rebuild it rather than edit it.\n" +
         "# Metres; +x out of the facade, +y up, +z along the facade; the cell spans x and z -1.5..1.5, y "
         "0..3.\n" +
         v + vt + vn + f;
}

void PrintUsage() {
  std::cout << "Usage: kitgen [folder]\n"
               "Writes the unit kit that ships with towerkit into folder, by default units.\n"
               "Options are:\n"
               " --help               Shows this help\n";
}

}  // namespace

int main(int argc, char** argv) {
  Ostrel::Message::SetAppName("kitgen");
  Ostrel::Message::SetAppVersion("0.1");
  Ostrel::Message::SetVerbosity(3);

  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    }
    // A folder named like an option is far more likely a typo than a wish.
    if (arg.size() > 1 && arg[0] == '-') {
      Ostrel::Message::PrintError("unknown option '" + arg + "' (kitgen --help lists the options)");
      return 1;
    }
    folders.push_back(arg);
  }
  if (folders.size() > 1) {
    Ostrel::Message::PrintError("more than one folder: '" + folders[0] + "' and '" + folders[1] + "'");
    return 1;
  }
  const std::filesystem::path folder = folders.empty() ? "units" : folders[0];

  std::vector<Piece> kit = BasePieces();
  for (Piece& piece : ModernStyle("A")) kit.push_back(std::move(piece));
  for (Piece& piece : ClassicStyle("B")) kit.push_back(std::move(piece));

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const Piece& piece : kit) {
    const std::filesystem::path path = folder / (piece.name + ".obj");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << PieceText(piece);
    out.close();
    if (!out) {
      Ostrel::Message::PrintError("cannot write " + path.string());
      return 1;
    }
  }
  Ostrel::Message::PrintInfo("wrote " + std::to_string(kit.size()) + " unit files into " + folder.string());
  return 0;
}
