// The checks of one unit file for the kit linter.

#include "lint/LintChecks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <ostrel/ext/MeshCheck.h>
#include <ostrel/ext/Mtl.h>
#include <ostrel/ext/Triangulate.h>
#include <ostrel/utils/NumberFormat.h>
#include <ostrel/utils/TextFile.h>

namespace Ostrel::Buildings::detail {

namespace {

// The piece kinds, as a kit author names them: "angle, angleroof, ..., roofcap".
std::string KindList() {
  std::string list;
  for (const PieceRule* rule = PieceRulesBegin(); rule != PieceRulesEnd(); ++rule) {
    if (!list.empty()) list += ", ";
    list += rule->suffix;
  }
  return list;
}

LintSeverity SeverityOf(Obj::FindingKind i_kind) {
  switch (i_kind) {
    case Obj::FindingKind::FaceLeftOut:
    case Obj::FindingKind::PositionIncomplete:
    case Obj::FindingKind::LineCut:
      return LintSeverity::Error;
    case Obj::FindingKind::FieldDropped:
    case Obj::FindingKind::AttributeIncomplete:
    case Obj::FindingKind::StatementIgnored:
      break;
  }
  return LintSeverity::Warning;
}

// One finding for each side of the cell that vertices reach beyond, naming the farthest.
void CheckCell(const LintPiece& i_piece, const Piece& i_kitPiece, const Kit& i_kit, LintReport& io_report) {
  const CellReach& box = RuleOf(i_piece.kind).reach;
  const float sizes[3] = {i_kit.unitWidth, i_kit.unitHeight, i_kit.unitLength};
  const char* const axes[3] = {"x", "y", "z"};
  for (int axis = 0; axis < 3; ++axis) {
    for (const bool high : {false, true}) {
      const float limit = high ? box.hi[axis] : box.lo[axis];
      std::size_t beyond = 0, farthest = 0;
      float distance = 0;
      for (std::size_t v = 0; v < i_kitPiece.positions.size(); ++v) {
        const VectorF& p = i_kitPiece.positions[v];
        const float value = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
        const float out = high ? value - limit : limit - value;
        if (!(out > kCellTolerance)) continue;
        if (beyond++ == 0 || out > distance) farthest = v, distance = out;
      }
      if (beyond == 0) continue;
      io_report.add(
          LintSeverity::Error, i_piece.file, i_piece.lines.vertices[farthest],
          "reaches outside its cell: vertex " + Point(i_piece.mesh.vertices[farthest]) + " lies " +
              Format::FloatToString(distance * sizes[axis]) + " beyond " + axes[axis] + " = " +
              Format::FloatToString(limit * sizes[axis]) +
              (beyond > 1 ? "; " + Plural(beyond, "vertex", "vertices") + " in all" : std::string()));
    }
  }
}

void CheckNormals(const LintPiece& i_piece, LintReport& io_report) {
  const std::vector<MeshCheck::NormalFinding> normals = MeshCheck::FindNormalsAgainstWinding(i_piece.mesh);
  for (std::size_t i = 0; i < normals.size();) {
    const std::size_t face = normals[i].face;
    std::size_t against = 0;
    for (; i < normals.size() && normals[i].face == face; ++i) ++against;
    const std::uint32_t corners = i_piece.mesh.polycount[face];
    io_report.add(
        LintSeverity::Error, i_piece.file, i_piece.lines.faces[face],
        against == corners
            ? std::string("its normals point against its winding: the face or its normals are reversed")
            : "the normals of " + std::to_string(against) + " of its " + std::to_string(corners) +
                  " corners point against its winding");
  }
}

const MaterialLibrary* FindLibrary(const Kit& i_kit, const std::string& i_name) {
  for (const MaterialLibrary& library : i_kit.libraries) {
    if (library.name == i_name) return &library;
  }
  return nullptr;
}

// Materials that no material file of the piece defines. A piece with a material file that cannot
// be read is left alone: the file's own finding says why.
void CheckMaterials(const LintPiece& i_piece, const Kit& i_kit, LintReport& io_report) {
  std::vector<const MaterialLibrary*> libraries;
  std::string names;
  for (const std::string& name : i_piece.mesh.libraries) {
    const MaterialLibrary* library = FindLibrary(i_kit, name);
    if (!library || (!library->findings.empty() && library->findings.front().line == 0)) return;
    libraries.push_back(library);
    names += (names.empty() ? "'" : " or '") + name + "'";
  }
  for (std::uint32_t material = 0; material < i_piece.mesh.materials.size(); ++material) {
    const std::string& name = i_piece.mesh.materials[material];
    bool defined = false;
    for (const MaterialLibrary* library : libraries) {
      for (const Mtl::Material& definition : library->library.materials)
        defined = defined || definition.name == name;
    }
    const auto face =
        std::find(i_piece.mesh.faceMaterials.begin(), i_piece.mesh.faceMaterials.end(), material);
    if (defined || face == i_piece.mesh.faceMaterials.end()) continue;
    io_report.add(
        LintSeverity::Warning, i_piece.file,
        i_piece.lines.faces[static_cast<std::size_t>(face - i_piece.mesh.faceMaterials.begin())],
        "material '" + TextFile::Excerpt(name, name.size()) + "' is used, but " +
            (names.empty() ? "the piece names no material file (mtllib)" : names + " does not define it"));
  }
}

// Faces that readers cannot cut into triangles as they are: concave ones, which readers that cut
// polygons into fans from a corner cut wrongly, faces of no area and faces whose sides cross.
void CheckShapes(const LintPiece& i_piece, LintReport& io_report) {
  std::vector<VectorF> corners;
  std::size_t first = 0;
  for (std::size_t face = 0; face < i_piece.mesh.polycount.size(); ++face) {
    const std::uint32_t count = i_piece.mesh.polycount[face];
    corners.clear();
    for (std::uint32_t i = 0; i < count && count >= 3; ++i) {
      corners.push_back(i_piece.mesh.vertices[i_piece.mesh.corners[first + i].v]);
    }
    first += count;
    if (count < 3) continue;  // told by CheckReading
    const std::size_t line = i_piece.lines.faces[face];
    switch (Triangulation::ClassifyPolygon(corners)) {
      case Triangulation::PolygonShape::Convex:
        break;
      case Triangulation::PolygonShape::Concave:
        io_report.add(LintSeverity::Error, i_piece.file, line,
                      "face is concave: readers that cut a polygon into a fan from its first corner cut it "
                      "wrongly; split it into convex faces");
        break;
      case Triangulation::PolygonShape::Degenerate:
        io_report.add(LintSeverity::Warning, i_piece.file, line,
                      "face has no area (its corners lie on one line): it gives no triangle");
        break;
      case Triangulation::PolygonShape::NotSimple:
        io_report.add(LintSeverity::Error, i_piece.file, line,
                      "face is no simple polygon: its sides cross or touch, so no reader cuts it as meant");
        break;
    }
  }
}

}  // namespace

std::size_t LintReport::order(const std::string& i_file) {
  const auto it = std::find(files.begin(), files.end(), i_file);
  if (it != files.end()) return static_cast<std::size_t>(it - files.begin());
  files.push_back(i_file);
  return files.size() - 1;
}

void LintReport::add(LintSeverity i_severity, const std::string& i_file, std::size_t i_line,
                     std::string i_message) {
  found.push_back({order(i_file), {i_severity, i_file, i_line, std::move(i_message)}});
  stages.push_back(stage);
}

std::vector<LintFinding> LintReport::sorted() {
  std::vector<std::size_t> order(found.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t i_a, std::size_t i_b) {
    const auto& a = found[i_a];
    const auto& b = found[i_b];
    if (stages[i_a] != stages[i_b]) return stages[i_a] < stages[i_b];
    return a.first != b.first ? a.first < b.first : a.second.line < b.second.line;
  });
  std::vector<LintFinding> findings;
  for (const std::size_t i : order) findings.push_back(std::move(found[i].second));
  return findings;
}

void ReadLintPiece(LintPiece& io_piece) {
  std::string text;
  io_piece.read = FileSystem::ReadFile(io_piece.file, Obj::kMaxFileBytes, text);
  if (io_piece.read.status != FileSystem::ReadStatus::Ok) return;
  Obj::Parse(text, io_piece.mesh, &io_piece.findings, &io_piece.lines);
  for (std::size_t face = 0; face < io_piece.mesh.polycount.size(); ++face) {
    if (io_piece.mesh.polycount[face] >= 3) io_piece.keptFaceLines.push_back(io_piece.lines.faces[face]);
  }
}

std::string Point(const VectorF& i_p) {
  return "(" + Format::FloatToString(i_p.x) + ", " + Format::FloatToString(i_p.y) + ", " +
         Format::FloatToString(i_p.z) + ")";
}

std::string Plural(std::size_t i_count, const char* i_noun, const char* i_plural) {
  return std::to_string(i_count) + " " + (i_count == 1 ? i_noun : i_plural);
}

void CheckReading(const LintPiece& i_piece, LintReport& io_report) {
  for (const Obj::Finding& finding : i_piece.findings) {
    io_report.add(SeverityOf(finding.kind), i_piece.file, finding.line, finding.message);
  }
  for (std::size_t face = 0; face < i_piece.mesh.polycount.size(); ++face) {
    const std::uint32_t count = i_piece.mesh.polycount[face];
    if (count >= 3) continue;
    io_report.add(LintSeverity::Error, i_piece.file, i_piece.lines.faces[face],
                  count == 0
                      ? "face without corners: it is left out"
                      : "face of " + Plural(count, "corner", "corners") + " is no polygon: it is left out");
  }
}

namespace {

// " (named by 'A_floor.obj', 'A_roof.obj')": the unit files whose mtllib names a library.
std::string NamedBy(const Kit& i_kit, const MaterialLibrary& i_library) {
  std::string names;
  for (const Piece& piece : i_kit.pieces) {
    for (const std::uint32_t index : piece.libraries) {
      if (&i_kit.libraries[index] != &i_library) continue;
      names += (names.empty() ? "" : ", ") + ("'" + piece.file + "'");
      break;
    }
  }
  return names.empty() ? names : " (named by " + names + ")";
}

}  // namespace

bool ReachesOutside(const LintPiece& i_piece, const Piece& i_kitPiece) {
  if (!i_piece.isPiece) return false;
  const CellReach& box = RuleOf(i_piece.kind).reach;
  for (const VectorF& p : i_kitPiece.positions) {
    const float values[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
      if (values[axis] - box.hi[axis] > kCellTolerance || box.lo[axis] - values[axis] > kCellTolerance) return true;
    }
  }
  return false;
}

void CheckLibraries(const Kit& i_kit, LintReport& io_report) {
  for (const MaterialLibrary& library : i_kit.libraries) {
    for (const Mtl::Finding& finding : library.findings) {
      if (finding.line != 0) {
        io_report.add(LintSeverity::Warning, library.file, finding.line,
                      finding.message + ": the line is left out");
        continue;
      }
      // The reader says "the file does not exist" and so on; the finding follows the file's name.
      std::string what = finding.message;
      if (what.rfind("the file ", 0) == 0) what.erase(0, 9);
      io_report.add(LintSeverity::Warning, library.file, 0,
                    what + ": its materials are not written" + NamedBy(i_kit, library));
    }
  }
}

void CheckPieceFile(const LintPiece& i_piece, const Kit& i_kit, LintReport& io_report) {
  const Piece& piece = i_kit.piece(i_piece.id);
  if (piece.fault == PieceFault::NotFound && i_piece.isPiece && !RuleOf(i_piece.kind).required) {
    io_report.add(LintSeverity::Warning, i_piece.file, 0,
                  "does not exist: the roof stays open over the interior without it");
    return;
  }
  if (piece.fault != PieceFault::None) {
    const char* neededBy = i_piece.isPiece ? RuleOf(i_piece.kind).neededBy : nullptr;
    const std::string why = piece.fault == PieceFault::CoordinatesTooLarge
                                ? "has coordinates too large for the unit size"
                                : TextFile::Describe(i_piece.read);
    io_report.add(LintSeverity::Error, i_piece.file, 0,
                  why + (neededBy && i_piece.plain == i_piece.id ? ": " + std::string(neededBy)
                                                                 : std::string(": it gives nothing")));
    return;
  }
  CheckReading(i_piece, io_report);
  CheckShapes(i_piece, io_report);
  if (i_piece.isPiece) CheckCell(i_piece, piece, i_kit, io_report);
  CheckNormals(i_piece, io_report);
  CheckMaterials(i_piece, i_kit, io_report);
  if (i_piece.unused) {
    io_report.add(LintSeverity::Warning, i_piece.file, 0,
                  "is not used: the tool reads a piece's variants from 1 up to the first missing number");
  }
  if (!i_piece.isPiece) {
    io_report.add(LintSeverity::Warning, i_piece.file, 0,
                  "is no piece the tool places: a piece is named STYLE_KIND.obj or STYLE_KIND.N.obj, KIND "
                  "one of " +
                      KindList());
  }
}

}  // namespace Ostrel::Buildings::detail
