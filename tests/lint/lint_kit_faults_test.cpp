// The kit linter's checks of a kit that builds well but would show wrong: textures that a .glb
// goes without, faces that readers cut or shade wrongly, and a set of optional pieces (pitched
// roofs, setbacks) that a style offers only in part. Each starts from a copy of the shipped kit,
// which lints clean, with one kind of fault put in; the lines are the tool's own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

namespace fs = std::filesystem;
using TestSupport::Line;
using TestSupport::RunResult;

using TestSupport::kShipped;

// A copy of the shipped kit, linted as style A.
struct KitCopy {
  TestSupport::ScratchDir units, work;
  KitCopy() {
    for (const auto& entry : fs::directory_iterator(kShipped)) fs::copy(entry.path(), units.path);
  }
  std::string folder() const { return units.path.string(); }
  RunResult Lint() const { return TestSupport::RunTool(folder(), work.path.string(), {"--lint", "A"}); }
  std::string Found() const { return Line("info", "Found 1 paths in '" + folder() + "'"); }
  std::string Checked(const std::string& i_counts) const {
    return Line("info", "Checked style A of the units folder '" + folder() + "': " + i_counts);
  }
  // Appends to a file of the kit; returns the 1-based number of the appended text's first line.
  std::size_t Append(const std::string& i_name, const std::string& i_text) const {
    const std::string before = TestSupport::ReadFile(units / i_name);
    TestSupport::WriteFile(units / i_name, before + i_text);
    std::size_t lines = 1;
    for (const char c : before) lines += c == '\n' ? 1 : 0;
    return lines;
  }
};

// A texture that is missing, is no image, or lies outside the style's folder (by an absolute path,
// a path that climbs out, or a link) is left out of a .glb: each is told once, at its material,
// however many materials name it.
TEST(LintKitFaults, TexturesAGlbGoesWithout) {
  KitCopy kit;
  TestSupport::ScratchDir outside;
  const std::string png = "\x89PNG\r\n\x1a\n";
  TestSupport::WriteFile(outside / "far.png", png + "FAR");
  TestSupport::WriteFile(kit.units / "notes.png", "not an image\n");
  fs::create_symlink(outside / "far.png", kit.units / "link.png");
  const std::string up = fs::relative(outside / "far.png", kit.units.path).string();
  const std::size_t first = kit.Append(
      "A.mtl",
      "\nnewmtl A_gone\nmap_Kd gone.png\n\nnewmtl A_text\nmap_Kd notes.png\n\nnewmtl A_far\nmap_Kd " +
          outside / "far.png" + "\n\nnewmtl A_up\nmap_Kd " + up +
          "\n\nnewmtl A_link\nmap_Kd link.png\n\nnewmtl A_again\nmap_Kd gone.png\nnorm notes.png\n");
  const std::string library = "'" + kit.units / "A.mtl" + "', line ";
  const auto at = [&](std::size_t i_material, const std::string& i_text) {
    return Line("warning", library + std::to_string(first + 1 + 3 * i_material) + ": texture " + i_text);
  };
  const std::string away = " lies outside the units folder '" + kit.folder() + "': a .glb goes without it";
  const RunResult run = kit.Lint();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kit.Found() + at(0, "'gone.png' (map_Kd of material 'A_gone') does not exist") +
                            at(1,
                               "'notes.png' (map_Kd of material 'A_text') is neither PNG nor JPEG: a .glb "
                               "goes without it") +
                            at(2, "'" + outside / "far.png" + "' (map_Kd of material 'A_far')" + away) +
                            at(3, "'" + up + "' (map_Kd of material 'A_up')" + away) +
                            at(4, "'link.png' (map_Kd of material 'A_link')" + away) +
                            kit.Checked("0 errors, 5 warnings"));
}

// A file of the style that is no piece is still read as one, and told what readers would make of
// it: normals against the winding at some corners, a material without a material file, sides
// that cross, a face line without corners.
TEST(LintKitFaults, AFileOnItsOwnIsToldWhatReadersMakeOfIt) {
  KitCopy kit;
  TestSupport::WriteFile(kit.units / "A_sign.obj",
                         "# a sign beside the kit\n"
                         "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 1.5 0.5 0\n"
                         "vn 0 0 1\nvn 0 0 -1\n"
                         "usemtl A_wall\n"
                         "f 1//1 2//1 3//2 4//2\n"
                         "f 1//1 2//1 3//1 4//1 5//1\n"
                         "f\n");
  const std::string file = "'" + kit.units / "A_sign.obj" + "'";
  const RunResult run = kit.Lint();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.output,
      kit.Found() +
          Line("warning",
               file + " is no piece the tool places: a piece is named STYLE_KIND.obj or "
                      "STYLE_KIND.N.obj, KIND one of angle, angleroof, ground, grounddoor, groundclose, "
                      "floor, floorclose, roof, roofdoor, balcony, roofcap, eave, slope, ridge, "
                      "eavecorner, hip, ridgeend, peak, gablewall, eavegableleft, eavegableright, "
                      "slopegableleft, slopegableright, ridgegable, terracefloor, terracefloorclose, "
                      "terraceangle, terraceangleleft, terraceangleright, innerangle, innerangleroof, "
                      "ridgeturn, ridgetee, ridgecross, ridgecorner, ridgeslope, saddle, valley, "
                      "slopevalleyleft, slopevalleyright, valleyeave, saddleeave, eavevalleyleft, "
                      "eavevalleyright, eavevalleyboth, eavestepleft, eavestepright, eavestepvalleyleft, "
                      "eavestepvalleyright, cornervalleyleft, cornervalleyright, cornervalleyboth, "
                      "innerangleterrace, innerangleterraceleft, innerangleterraceright, terraceendleft, "
                      "terraceendright, innerangleterraceturnleft, innerangleterraceturnright, "
                      "terraceendturnleft, terraceendturnright, terraceangleendleft, terraceangleendright, "
                      "terraceangleendturnleft, terraceangleendturnright, innerangleroofcornerleft, "
                      "innerangleroofcornerright, innerangleroofcorner, roofcapparty, roofpartyleft, "
                      "roofpartyright, angleparty, angleroofparty, "
                      "angleroofpartyleft, angleroofpartyright, groundcloseparty, floorcloseparty, anglepartyleft, anglepartyright, "
                      "roofpartyshortleft, roofpartyshortright, terracefloorcloseparty, roofcloseparty, "
                      "groundclosepartyjoinleft, groundclosepartyjoinright, groundclosepartyjoin, "
                      "floorclosepartyjoinleft, "
                      "floorclosepartyjoinright, floorclosepartyjoin, anglepartyleftjoin, anglepartyrightjoin") +
          Line("error", file + ", line 10: the normals of 2 of its 4 corners point against its winding") +
          Line("warning", file + ", line 10: material 'A_wall' is used, but the piece names no material file "
                                 "(mtllib)") +
          Line("error", file + ", line 11: face is no simple polygon: its sides cross or touch, so no reader "
                               "cuts it as meant") +
          Line("error", file + ", line 12: face without corners: it is left out") +
          kit.Checked("3 errors, 2 warnings"));
}

// Pitched roofs and setbacks are sets of pieces a style offers or not: without any of a set's
// files the style lints clean; with some, each missing one is an error naming what needs it.
TEST(LintKitFaults, AStyleOffersAPieceSetWholeOrNotAtAll) {
  const std::vector<std::string> pitched = {
      "eave",          "slope",          "ridge",          "eavecorner",
      "hip",           "ridgeend",       "peak",           "gablewall",
      "eavegableleft", "eavegableright", "slopegableleft", "slopegableright",
      "ridgegable"};
  const std::vector<std::string> terraces = {"terracefloor", "terracefloorclose", "terraceangle",
                                             "terraceangleleft", "terraceangleright"};
  KitCopy flat;
  for (const std::vector<std::string>& set : {pitched, terraces}) {
    for (const std::string& kind : set) fs::remove(flat.units / ("A_" + kind + ".obj"));
  }
  const RunResult clean = flat.Lint();
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.output, flat.Found() + flat.Checked("0 errors, 0 warnings"));

  KitCopy part;
  for (const char* kind : {"ridge", "hip", "gablewall"})
    fs::remove(part.units / ("A_" + std::string(kind) + ".obj"));
  fs::remove(part.units / "A_terraceangle.obj");
  const RunResult run = part.Lint();
  EXPECT_EQ(run.status, 1);
  const auto missing = [&](const char* i_kind, const std::string& i_who) {
    return Line("error",
                "'" + part.units / (std::string("A_") + i_kind + ".obj") + "' does not exist: " + i_who);
  };
  for (const std::string& line : {missing("ridge", "roofs of an odd span (--roof) need it"),
                                  missing("hip", "hip roofs (--roof hip) need it"),
                                  missing("gablewall", "gable roofs (--roof gable) need it"),
                                  missing("terraceangle", "setbacks (--setback) need it")}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
  }
}

}  // namespace
