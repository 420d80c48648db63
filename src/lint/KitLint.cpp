// The kit linter: every unit file of a style on its own, then every piece in buildings.

#include <ostrel/lint/KitLint.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ostrel/ext/MeshCheck.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/Setbacks.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/TextFile.h>

#include "lint/LintBuildings.h"
#include "lint/LintChecks.h"

namespace Ostrel::Buildings {

namespace {

using namespace detail;

// "base_floorclose.obj and base_roof.obj".
std::string BaseUnitNames() { return std::string(kBaseUnitFiles[0]) + " and " + kBaseUnitFiles[1]; }

// The base units: read as pieces are, and the unit size they give. False when there is none.
bool CheckBaseUnits(const Kit& i_kit, LintReport& io_report) {
  for (const char* name : kBaseUnitFiles) {
    LintPiece base;
    base.file = i_kit.folder + "/" + name;
    io_report.order(base.file);
    ReadLintPiece(base);
    const bool read = base.read.status == FileSystem::ReadStatus::Ok;
    if (read) CheckReading(base, io_report);
    if (read && !base.mesh.vertices.empty()) continue;
    const std::string what = read ? "gives no vertex" : TextFile::Describe(base.read);
    io_report.add(LintSeverity::Error, base.file, 0,
                  what + ": the unit size is measured from " + BaseUnitNames() + " together");
  }
  if (i_kit.unitSizeFault == UnitSizeFault::Degenerate) {
    io_report.add(
        LintSeverity::Error, i_kit.folder, 0,
        "gives no unit size: " + BaseUnitNames() +
            " together span nothing along some axis, so no building can be made");
  }
  return i_kit.measured();
}

// Reads the unit file of a piece into io_lint and adds the piece to the kit, made from that one
// reading as the kit makes its pieces, so that both see the same text.
PieceId AddPiece(const std::string& i_folder, const std::string& i_name, Kit& io_kit, LintPiece& io_lint) {
  io_lint.file = UnitFile(i_folder, i_name);
  ReadLintPiece(io_lint);
  io_lint.id = AddReadPiece(i_folder, i_name, io_lint.read, io_lint.mesh, io_kit);
  return io_lint.id;
}

// The pieces of pitched roofs, of setbacks' terraces, of footprints' inner corners and of hip
// roofs over them, those of party walls, the party parapet of a cornice that stands out, and the
// party pieces without stubs where two party cells meet, are each a set a style offers or not.
bool OptionalRow(PieceRow i_row) {
  return i_row == PieceRow::Pitched || i_row == PieceRow::Terrace || i_row == PieceRow::Inner ||
         i_row == PieceRow::Wings || i_row == PieceRow::InnerTerrace || i_row == PieceRow::Party ||
         i_row == PieceRow::PartyCornice || i_row == PieceRow::PartyJoin;
}

// Whether a style has a file of any piece of the row: a style without one does not offer what
// they make (pitched roofs, setbacks), and none of those pieces is missing from it.
bool OffersRow(const std::vector<std::string>& i_names, std::size_t i_prefixSize, PieceRow i_row) {
  for (const std::string& name : i_names) {
    const std::string_view rest = std::string_view(name).substr(i_prefixSize);
    PieceKind kind;
    std::uint32_t number = 0;
    if ((KindOfSuffix(rest, kind) || VariantOfSuffix(rest, kind, number)) && RuleOf(kind).row == i_row) return true;
  }
  return false;
}

// The unit files of a style, in the order they are told: its pieces, their variants, then its
// other STYLE_*.obj files.
std::vector<LintPiece> StylePieces(Kit& io_kit, const std::string& i_folder, const std::string& i_style,
                                   const std::vector<std::string>& i_entries) {
  std::vector<LintPiece> pieces;
  const std::string prefix = i_style + "_";
  std::vector<std::string> names;  // the style's entries, without ".obj"
  for (const std::string& entry : i_entries) {
    if (entry.size() > prefix.size() + 4 && entry.compare(0, prefix.size(), prefix) == 0 &&
        entry.compare(entry.size() - 4, 4, ".obj") == 0) {
      names.push_back(entry.substr(0, entry.size() - 4));
    }
  }
  std::sort(names.begin(), names.end());
  for (const PieceRule* rule = PieceRulesBegin(); rule != PieceRulesEnd(); ++rule) {
    if (OptionalRow(rule->row) && !OffersRow(names, prefix.size(), rule->row)) continue;
    LintPiece piece;
    piece.isPiece = true;
    piece.kind = rule->kind;
    piece.plain = AddPiece(i_folder, PieceName(i_style, rule->kind), io_kit, piece);
    pieces.push_back(std::move(piece));
  }
  // The layout finds a style's pieces by kind.
  KitStyle style;
  style.name = i_style;
  for (const LintPiece& piece : pieces) style.pieces[static_cast<std::size_t>(piece.kind)] = piece.id;
  if (OffersRow(names, prefix.size(), PieceRow::Pitched)) style.rise = RiseOf(io_kit.piece(style.piece(PieceKind::Slope)));
  io_kit.styles.push_back(std::move(style));
  const std::size_t plainCount = pieces.size();
  // Variants by kind, then by number.
  for (std::size_t k = 0; k < plainCount; ++k) {
    std::vector<std::pair<std::uint64_t, std::string>> numbered;
    for (const std::string& name : names) {
      PieceKind kind;
      std::uint32_t number = 0;
      if (VariantOfSuffix(std::string_view(name).substr(prefix.size()), kind, number) &&
          kind == pieces[k].kind)
        numbered.emplace_back(number, name);
    }
    std::sort(numbered.begin(), numbered.end());
    for (std::size_t n = 0; n < numbered.size(); ++n) {
      const auto& variant = numbered[n];
      LintPiece piece;
      piece.isPiece = true;
      piece.kind = pieces[k].kind;
      AddPiece(i_folder, variant.second, io_kit, piece);
      piece.plain = pieces[k].id;
      piece.unused = variant.first != n + 1;  // past a gap, every later number is too
      pieces[k].variants.push_back(piece.id);
      pieces.push_back(std::move(piece));
    }
  }
  for (const std::string& name : names) {
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    PieceKind kind;
    std::uint32_t number = 0;
    if (KindOfSuffix(rest, kind) || VariantOfSuffix(rest, kind, number)) continue;
    LintPiece piece;
    piece.plain = AddPiece(i_folder, name, io_kit, piece);
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

// The line of a piece's face and the points of one of its edges, in file units.
struct EdgeText {
  std::size_t line;
  std::string from, to;
};

EdgeText DescribeEdge(const PieceEdge& i_edge, const Kit& i_kit,
                      const std::map<PieceId, const LintPiece*>& i_lint) {
  const Piece& piece = i_kit.piece(i_edge.piece);
  const LintPiece& lint = *i_lint.at(i_edge.piece);
  std::size_t first = 0;
  for (std::uint32_t face = 0; face < i_edge.face; ++face) first += piece.polycount[face];
  const std::uint32_t count = piece.polycount[i_edge.face];
  const std::uint32_t a = piece.corners[first + i_edge.corner].v;
  const std::uint32_t b = piece.corners[first + (i_edge.corner + 1) % count].v;
  return {lint.keptFaceLines[i_edge.face], Point(lint.mesh.vertices[a]), Point(lint.mesh.vertices[b])};
}

// "the face at line 7", followed by " of 'file'" when it is another file's.
std::string OtherFace(const PieceEdge& i_other, const PieceEdge& i_self,
                      const std::map<PieceId, const LintPiece*>& i_lint) {
  const LintPiece& other = *i_lint.at(i_other.piece);
  std::string text = "the face at line " + std::to_string(other.keptFaceLines[i_other.face]);
  if (i_other.piece != i_self.piece) text += " of '" + other.file + "'";
  return text;
}

const char* SideName(CellSide i_side) {
  switch (i_side) {
    case CellSide::PlusX:
      return "+x";
    case CellSide::MinusX:
      return "-x";
    case CellSide::PlusZ:
      return "+z";
    case CellSide::MinusZ:
      return "-z";
    case CellSide::Top:
      return "top";
    case CellSide::Bottom:
      return "bottom";
    case CellSide::None:
      break;
  }
  return "inside";
}

void TellOpenEdges(const BuildingFaults& i_faults, const Kit& i_kit,
                   const std::map<PieceId, const LintPiece*>& i_lint, LintReport& io_report) {
  for (const OpenEdges& open : i_faults.open) {
    const EdgeText edge = DescribeEdge(open.first, i_kit, i_lint);
    const std::string between = edge.from + " - " + edge.to;
    const std::string more =
        open.count > 1 ? "; " + Plural(open.count, "open edge", "open edges") + " in all" : std::string();
    std::string message;
    if (open.side == CellSide::None) {
      message = "open edge " + between + " that no face closes" + more;
    } else if (open.beside) {
      message = "its cross-section on the cell's " + std::string(SideName(open.side)) +
                " side does not meet that of '" + TextFile::Excerpt(i_lint.at(open.neighbour)->file, std::string::npos) +
                "' " +
                (open.side == CellSide::Top      ? "above"
                 : open.side == CellSide::Bottom ? "below"
                                                 : "beside") +
                " it: open edge " + between + more;
    } else {
      message = "open edge " + between + " on the cell's " + SideName(open.side) +
                " side, where no piece continues it" + more;
    }
    io_report.add(LintSeverity::Error, i_lint.at(open.piece)->file, edge.line, message);
  }
}

bool SameFace(const PieceEdge& i_a, const PieceEdge& i_b) {
  return i_a.piece == i_b.piece && i_a.face == i_b.face;
}

// Edges used the same way by two faces, or by more than two: each is told once, at the face that
// shares the most of them (a face wound the wrong way shares all its edges so with its
// neighbours, each of which shares one), until every edge is told.
void TellSharedEdges(const BuildingFaults& i_faults, MeshCheck::EdgeFault i_fault, const Kit& i_kit,
                     const std::map<PieceId, const LintPiece*>& i_lint, LintReport& io_report) {
  std::vector<const SharedEdge*> left;
  for (const SharedEdge& edge : i_faults.shared) {
    if (edge.fault == i_fault) left.push_back(&edge);
  }
  while (!left.empty()) {
    std::map<std::pair<PieceId, std::uint32_t>, std::size_t> counts;
    for (const SharedEdge* edge : left) {
      std::vector<std::pair<PieceId, std::uint32_t>> faces;
      for (const PieceEdge& use : edge->uses) faces.emplace_back(use.piece, use.face);
      std::sort(faces.begin(), faces.end());
      faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
      for (const auto& face : faces) ++counts[face];
    }
    const auto most = std::max_element(counts.begin(), counts.end(), [](const auto& i_a, const auto& i_b) {
      return i_a.second < i_b.second;
    });
    const std::pair<PieceId, std::uint32_t> face = most->first;
    const auto uses = [&](const SharedEdge* i_edge) {
      for (const PieceEdge& use : i_edge->uses) {
        if (use.piece == face.first && use.face == face.second) return true;
      }
      return false;
    };
    const SharedEdge& example = **std::find_if(left.begin(), left.end(), uses);
    PieceEdge self = example.uses.front(), other = example.uses.front();
    for (const PieceEdge& use : example.uses) {
      if (use.piece == face.first && use.face == face.second) self = use;
    }
    for (const PieceEdge& use : example.uses) {
      if (!SameFace(use, self)) other = use;
    }
    const EdgeText edge = DescribeEdge(self, i_kit, i_lint);
    const std::string more = most->second > 1
                                 ? "; " + Plural(most->second, "such edge", "such edges") + " in this face"
                                 : std::string();
    const std::string message =
        i_fault == MeshCheck::EdgeFault::Flipped
            ? "face is wound against its neighbour: edge " + edge.from + " - " + edge.to +
                  " runs the same way in it and in " + OtherFace(other, self, i_lint) + more
            : "edge " + edge.from + " - " + edge.to + " is shared by " + std::to_string(example.uses.size()) +
                  " faces, among them " + OtherFace(other, self, i_lint) + ": surfaces meet along a line" +
                  more;
    io_report.add(LintSeverity::Error, i_lint.at(self.piece)->file, edge.line, message);
    left.erase(std::remove_if(left.begin(), left.end(), uses), left.end());
  }
}

void TellOverlaps(const BuildingFaults& i_faults, const std::map<PieceId, const LintPiece*>& i_lint,
                  LintReport& io_report) {
  for (const PieceOverlap& overlap : i_faults.overlaps) {
    const LintPiece& first = *i_lint.at(overlap.first.piece);
    const std::size_t line = first.keptFaceLines[overlap.first.face];
    const std::string other = OtherFace(overlap.second, overlap.first, i_lint);
    if (overlap.kind == MeshCheck::OverlapKind::BackToBack) {
      io_report.add(LintSeverity::Warning, first.file, line,
                    "face lies back to back with " + other + ": a hidden pair, which no viewer shows");
    } else {
      io_report.add(LintSeverity::Error, first.file, line,
                    "face lies over " + other + ", facing the same way: they flicker in a viewer");
    }
  }
}

// Without a roof cap the plan leaves the roof row's interior empty: the linter puts the empty
// cap there, over the cells the layout would cap, so that the roof's edges facing it are taken
// for the cap's fault, which the cap's own warning tells. So too on each terrace.
void AddEmptyRoofCap(const Request& i_request, const Kit& i_kit, Plan& io_plan) {
  PieceId cap = 0;
  if (!i_kit.find(PieceName(i_request.style, PieceKind::RoofCap), cap) || !i_kit.piece(cap).empty()) return;
  Block lines;
  if (RoofCapLines(i_request, cap, 0, i_request.rows - 1, lines)) io_plan.blocks.push_back(std::move(lines));
  for (std::size_t block = 1; block <= i_request.setbacks.size(); ++block)
    AddTerraceCap(i_request, block, cap, 0, io_plan);
}

// A piece that reaches outside its cell breaks the surface wherever it meets a neighbour: open
// edges, cross-sections that do not meet, faces over each other, its own and its neighbours'.
// Those faults are taken out of io_faults and told once, under the piece, whose own finding says
// where it reaches out; faults of pieces in their cells alone stay to be told one by one.
void TellMisplaced(const std::vector<LintPiece>& i_pieces, const Kit& i_kit,
                   const std::map<PieceId, const LintPiece*>& i_lint, BuildingFaults& io_faults,
                   LintReport& io_report) {
  std::map<PieceId, std::vector<PieceId>> caused;  // misplaced piece -> the piece of each fault it causes
  for (const LintPiece& piece : i_pieces) {
    if (piece.read.status == FileSystem::ReadStatus::Ok && ReachesOutside(piece, i_kit.piece(piece.id)))
      caused[piece.id];
  }
  if (caused.empty()) return;
  // The misplaced piece of a fault between i_a and i_b, when there is one; i_a's first.
  const auto blame = [&](PieceId i_a, PieceId i_b, PieceId i_other) {
    if (caused.count(i_a)) return caused[i_a].push_back(i_other), true;
    if (caused.count(i_b)) return caused[i_b].push_back(i_a), true;
    return false;
  };
  std::vector<OpenEdges> open;
  for (const OpenEdges& edges : io_faults.open) {
    const PieceId neighbour = edges.beside ? edges.neighbour : edges.piece;
    if (blame(neighbour, edges.piece, edges.piece)) continue;
    bool told = false;
    for (const PieceId other : edges.others) told = told || blame(other, other, edges.piece);
    if (!told) open.push_back(edges);
  }
  std::vector<SharedEdge> shared;
  for (const SharedEdge& edge : io_faults.shared) {
    bool told = false;
    for (const PieceEdge& use : edge.uses) told = told || caused.count(use.piece) != 0;
    if (!told) {
      shared.push_back(edge);
      continue;
    }
    for (const PieceEdge& use : edge.uses) {
      if (caused.count(use.piece)) {
        caused[use.piece].push_back(edge.uses.front().piece == use.piece ? edge.uses.back().piece
                                                                          : edge.uses.front().piece);
        break;
      }
    }
  }
  std::vector<PieceOverlap> overlaps;
  for (const PieceOverlap& overlap : io_faults.overlaps) {
    if (!blame(overlap.second.piece, overlap.first.piece, overlap.first.piece)) overlaps.push_back(overlap);
  }
  io_faults.open = std::move(open);
  io_faults.shared = std::move(shared);
  io_faults.overlaps = std::move(overlaps);
  for (const auto& [id, pieces] : caused) {
    if (pieces.empty()) continue;
    std::vector<std::string> files;
    for (const PieceId other : pieces) {
      const std::string& file = i_lint.count(other) ? i_lint.at(other)->file : i_kit.piece(other).file;
      if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
    }
    std::string names;
    for (std::size_t i = 0; i < files.size(); ++i)
      names += (i == 0 ? "'" : i + 1 == files.size() ? "' and '" : "', '") + files[i];
    io_report.add(LintSeverity::Error, i_lint.at(id)->file, 0,
                  "reaches outside its cell, which breaks the surface where it meets its neighbours: " +
                      Plural(pieces.size(), "fault", "faults") + " in buildings (open edges, cross-sections " +
                      "that do not meet, faces over each other) of " + names +
                      "' follow from it and are not told one by one; bring it back into its cell first");
  }
}

// Whether a setback of the request steps back a side by more than a cell.
bool DeeperThanACell(const Request& i_request) {
  for (const Setback& s : i_request.setbacks)
    if (s.north > 1 || s.east > 1 || s.south > 1 || s.west > 1) return true;
  return false;
}

// Places the style's pieces in every lint building: once with the plain pieces, then once for
// each variant number, with every piece that has a variant of that number in its place.
void CheckStyleBuildings(const std::string& i_style, const Kit& i_kit, const std::vector<LintPiece>& i_pieces,
                         LintReport& io_report) {
  std::size_t passes = 1;
  for (const LintPiece& piece : i_pieces) passes = std::max(passes, piece.variants.size() + 1);
  std::map<PieceId, const LintPiece*> lint;
  bool pitched = false, terraces = false, inner = false, wings = false, innerTerraces = false;
  for (const LintPiece& piece : i_pieces) {
    lint.emplace(piece.id, &piece);
    pitched = pitched || (piece.isPiece && RuleOf(piece.kind).row == PieceRow::Pitched);
    terraces = terraces || (piece.isPiece && RuleOf(piece.kind).row == PieceRow::Terrace);
    inner = inner || (piece.isPiece && RuleOf(piece.kind).row == PieceRow::Inner);
    wings = wings || (piece.isPiece && RuleOf(piece.kind).row == PieceRow::Wings);
    innerTerraces = innerTerraces || (piece.isPiece && RuleOf(piece.kind).row == PieceRow::InnerTerrace);
  }

  BuildingFaults faults;
  for (std::size_t pass = 0; pass < passes; ++pass) {
    std::vector<PieceId> formOf(i_kit.pieces.size());
    for (PieceId id = 0; id < formOf.size(); ++id) formOf[id] = id;
    std::vector<char> groundRow(i_kit.pieces.size(), 0);
    for (const LintPiece& piece : i_pieces) {
      const LintPiece& plain = *lint.at(piece.plain);
      const PieceId form = pass >= 1 && pass <= plain.variants.size() ? plain.variants[pass - 1] : plain.id;
      formOf[piece.id] = form;
      const PieceRow row = RuleOf(piece.kind).row;
      if (piece.isPiece && (row == PieceRow::Storey || row == PieceRow::Ground)) groundRow[piece.id] = 1;
    }
    const std::vector<char> none(i_kit.pieces.size(), 0);
    PieceId cap = 0;
    const bool capped = i_kit.find(PieceName(i_style, PieceKind::RoofCap), cap) && !i_kit.piece(cap).empty();
    for (const Request& request : LintRequests(i_style, pitched, terraces, inner, pitched && inner && wings, innerTerraces)) {
      // A footprint's terrace deeper than a cell has cells of roof cap, which a style without one
      // leaves open (its own warning tells that): such a building is left out then.
      if (!capped && request.footprint && DeeperThanACell(request)) continue;
      // At height 0 the roof row stands at level 0, around the ground storey: it is checked alone.
      Plan plan = MakeSceneBuilding(request, i_kit).plan;
      AddEmptyRoofCap(request, i_kit, plan);
      CheckBuilding(plan, i_kit, formOf, request.rows <= 1 ? groundRow : none, faults);
    }
  }
  TellMisplaced(i_pieces, i_kit, lint, faults, io_report);
  TellOpenEdges(faults, i_kit, lint, io_report);
  TellSharedEdges(faults, MeshCheck::EdgeFault::Flipped, i_kit, lint, io_report);
  TellSharedEdges(faults, MeshCheck::EdgeFault::Crowded, i_kit, lint, io_report);
  TellOverlaps(faults, lint, io_report);
}


// Buildings that step back: every side alone and with its neighbours (corners of each form),
// by one cell and by two (a podium), two setbacks one above the other, walls and balconies on
// the sides over the terrace, a block above of the narrowest footprint, and a pitched roof on
// the top block.
void AddSetbackRequests(const std::string& i_style, bool i_pitched, std::vector<Request>& io_requests) {
  struct Stepped {
    std::vector<Setback> setbacks;
    std::vector<std::string> balcony, close;
    int w, l, h;
  };
  const Stepped stepped[] = {
      {{{1, 1, 1, 0, 0}}, {"EA", "SA"}, {"NE"}, 3, 3, 3},
      {{{2, 0, 0, 2, 0}}, {}, {"SO"}, 4, 3, 3},
      {{{1, 0, 0, 0, 1}, {2, 1, 0, 0, 0}}, {"NC"}, {"WA"}, 3, 4, 4},
      {{{1, 1, 1, 1, 1}}, {}, {}, 3, 3, 2},
      {{{1, 0, 1, 0, 1}}, {}, {}, 0, 2, 2},
  };
  for (const Stepped& s : stepped) {
    Request request = MakeRequest(i_style, "SC", s.balcony, s.close, s.w, s.l, s.h);
    request.setbacks = s.setbacks;
    io_requests.push_back(request);
    if (!i_pitched) continue;
    request.roof = RoofShape::Hip;
    io_requests.push_back(std::move(request));
  }
}

// Buildings of style i_style with storeys of i_band: its ground storey, and a storey between two
// of i_style under the roof, so that each meets the other above and below.
std::vector<Request> BandRequests(const std::string& i_style, const std::string& i_band) {
  Request request = MakeRequest(i_style, "SC", {"NC"}, {"EA"}, 3, 2, 4);
  request.bands = {{0, 0, i_band}, {2, 2, i_band}};
  Request narrow = MakeRequest(i_style, "WL", {}, {}, 0, 1, 3);
  narrow.bands = {{1, 1, i_band}};
  return {request, narrow};
}

// Whether a piece of style a meets one of style b in the fault.
bool Between(const OpenEdges& i_open, const std::set<PieceId>& i_a) {
  return i_open.beside && (i_a.count(i_open.piece) != 0) != (i_a.count(i_open.neighbour) != 0);
}

bool Between(const std::vector<PieceEdge>& i_uses, const std::set<PieceId>& i_a) {
  bool a = false, b = false;
  for (const PieceEdge& use : i_uses) (i_a.count(use.piece) != 0 ? a : b) = true;
  return a && b;
}

// Places two styles' pieces in buildings where storeys of one stand on the other's, and tells
// only what lies between the two styles (what lies within one is told by its own check).
void CheckBandBuildings(const std::string& i_a, const std::string& i_b, const Kit& i_kit,
                        const std::vector<LintPiece>& i_pieces, LintReport& io_report) {
  std::map<PieceId, const LintPiece*> lint;
  std::set<PieceId> ofA;
  for (const LintPiece& piece : i_pieces) {
    lint.emplace(piece.id, &piece);
    if (i_kit.piece(piece.id).name.compare(0, i_a.size() + 1, i_a + "_") == 0) ofA.insert(piece.id);
  }
  std::vector<PieceId> same(i_kit.pieces.size());
  for (PieceId id = 0; id < same.size(); ++id) same[id] = id;
  const std::vector<char> none(i_kit.pieces.size(), 0);
  BuildingFaults faults;
  for (const Request& request : BandRequests(i_a, i_b)) {
    Plan plan = MakeSceneBuilding(request, i_kit).plan;
    CheckBuilding(plan, i_kit, same, none, faults);
  }
  BuildingFaults between;
  for (const OpenEdges& open : faults.open)
    if (Between(open, ofA)) between.open.push_back(open);
  for (const SharedEdge& shared : faults.shared)
    if (Between(shared.uses, ofA)) between.shared.push_back(shared);
  for (const PieceOverlap& overlap : faults.overlaps)
    if (Between(std::vector<PieceEdge>{overlap.first, overlap.second}, ofA)) between.overlaps.push_back(overlap);
  TellOpenEdges(between, i_kit, lint, io_report);
  TellSharedEdges(between, MeshCheck::EdgeFault::Flipped, i_kit, lint, io_report);
  TellSharedEdges(between, MeshCheck::EdgeFault::Crowded, i_kit, lint, io_report);
  TellOverlaps(between, lint, io_report);
}

}  // namespace

std::vector<std::string> LintedStyles(const std::vector<std::string>& i_entries) {
  std::vector<std::string> styles;
  for (const std::string& style : StylesOf(i_entries)) {
    if (style != kBaseStyle) styles.push_back(style);
  }
  return styles;
}

// Buildings of footprints with inner corners: an L, a U whose notch is 2 cells wide (its runs of
// 2 cells meet inner corners at both ends), a T whose stem's inner corners face each other across
// 3 cells, and a courtyard, whose inner corners turn the other way round; walls and balconies
// on every side. With i_hips, each also under a hip roof, and a plus and a stair whose wings
// meet at every height, so that every kind of the hip roof's pieces is placed.
void AddFootprintRequests(const std::string& i_style, bool i_hips, std::vector<Request>& io_requests) {
  const char* const outlines[] = {"0,0 5,0 5,2 2,2 2,6 0,6", "0,0 4,0 4,2 2,2 2,4 4,4 4,6 0,6",
                                  "0,0 2,0 2,2 5,2 5,5 2,5 2,7 0,7", "0,0 6,0 6,6 0,6; 2,2 4,2 4,4 2,4"};
  for (const char* outline : outlines) {
    Footprint footprint;
    std::string why;
    if (!ParseOutline(outline, footprint, why)) continue;
    Request request = MakeRequest(i_style, "SC", {"NA", "EE", "WO"}, {"SC", "EA"}, 0, 0, 3);
    SetFootprint(request, footprint);
    io_requests.push_back(request);
    if (!i_hips) continue;
    request.roof = RoofShape::Hip;
    io_requests.push_back(std::move(request));
  }
  if (!i_hips) return;
  const char* const wings[] = {"0,3 3,3 3,0 6,0 6,3 9,3 9,6 6,6 6,9 3,9 3,6 0,6",
                               "0,0 9,0 9,2 7,2 7,4 5,4 5,6 3,6 3,8 0,8", "0,0 7,0 7,7 0,7; 2,2 5,2 5,5 2,5"};
  for (const char* outline : wings) {
    Footprint footprint;
    std::string why;
    if (!ParseOutline(outline, footprint, why)) continue;
    Request request = MakeRequest(i_style, "SC", {}, {}, 0, 0, 2);
    SetFootprint(request, footprint);
    request.roof = RoofShape::Hip;
    io_requests.push_back(std::move(request));
  }
}

// Footprints that step back over their inner corners: an L on every side, its terrace turning
// round the inner corner, walls and balconies on every side; the L on one side at the corner,
// each way, by 1 cell and by 2; a block with a notch at a corner on one side, each way, by 1 cell
// and by 2, whose wall over the terrace turns at the block above's outer corner; Ls of narrow
// wings on two opposite sides, each way, whose wall over the terrace is the block above's outer
// corner (by 2, turning at the next one too); the L of narrow wings on one side at its corner by 2,
// each way, whose block above stands on one wing's end, its outer corner in the facade's inner
// corner; an L stepped back on one side by 2 past a wing of 2 cells, whose block above stands on
// the inner corner's cell alone there; a courtyard block, whose terrace turns round the courtyard's corners.
void AddSteppedFootprintRequests(const std::string& i_style, std::vector<Request>& io_requests) {
  struct Stepped {
    const char* outline;
    std::vector<Setback> setbacks;
  };
  const Stepped stepped[] = {{"0,0 10,0 10,5 5,5 5,12 0,12", {{2, 1, 1, 1, 1}}},
                             {"0,0 10,0 10,5 5,5 5,12 0,12", {{2, 1, 0, 0, 0}}},
                             {"0,0 10,0 10,5 5,5 5,12 0,12", {{2, 0, 1, 0, 0}}},
                             {"0,0 10,0 10,5 5,5 5,12 0,12", {{2, 2, 0, 0, 0}}},
                             {"0,0 10,0 10,5 5,5 5,12 0,12", {{2, 0, 2, 0, 0}}},
                             {"0,0 6,0 6,4 4,4 4,6 0,6", {{2, 1, 0, 0, 0}}},
                             {"0,0 6,0 6,4 4,4 4,6 0,6", {{2, 0, 1, 0, 0}}},
                             {"0,0 7,0 7,4 4,4 4,7 0,7", {{2, 2, 0, 0, 0}}},
                             {"0,0 7,0 7,4 4,4 4,7 0,7", {{2, 0, 2, 0, 0}}},
                             {"0,0 5,0 5,2 2,2 2,5 0,5", {{2, 1, 0, 1, 0}}},
                             {"0,0 5,0 5,2 2,2 2,5 0,5", {{2, 0, 1, 0, 1}}},
                             {"0,0 6,0 6,3 3,3 3,6 0,6", {{2, 2, 0, 2, 0}}},
                             {"0,0 6,0 6,3 3,3 3,6 0,6", {{2, 0, 2, 0, 2}}},
                             {"0,0 5,0 5,2 2,2 2,5 0,5", {{2, 0, 0, 2, 0}}},
                             {"0,0 5,0 5,2 2,2 2,5 0,5", {{2, 0, 0, 0, 2}}},
                             {"0,0 7,0 7,5 5,5 5,12 0,12", {{2, 2, 0, 0, 0}}},
                             {"0,0 12,0 12,12 0,12; 4,4 8,4 8,8 4,8", {{1, 1, 1, 1, 1}}}};
  for (const Stepped& s : stepped) {
    Footprint footprint;
    std::string why;
    if (!ParseOutline(s.outline, footprint, why)) continue;
    Request request = MakeRequest(i_style, "SC", {"NA", "EE"}, {"SC", "WA"}, 0, 0, 4);
    SetFootprint(request, footprint);
    request.setbacks = s.setbacks;
    io_requests.push_back(std::move(request));
  }
}

std::vector<Request> LintRequests(const std::string& i_style, bool i_pitched, bool i_terraces, bool i_inner,
                                  bool i_hips, bool i_innerTerraces) {
  struct Options {
    const char* door;
    std::vector<std::string> balcony, close;
    int w, l, h;
  };
  const Options options[] = {
      {"SC", {"NC", "EA"}, {"WA", "NE"}, 4, 3, 3},
      {"NL", {"SA", "WA", "EE"}, {"NC", "EO"}, 5, 4, 5},
      {"WR", {"NA"}, {}, 1, 1, 1},
      {"ER", {"EA"}, {"SA", "NA", "EA", "WA"}, 3, 3, 2},
      {"NC", {"SO"}, {}, 1, 0, 2},  // no interior: the roof cells of two facades meet
      {"  ", {}, {}, 0, 3, 1},      // two facades of no cells: corners meet corners
      {"  ", {}, {}, 0, 0, 1},
      {"NL", {}, {}, 2, 2, 0},  // height 0: the roof door beside a corner
      {"EC", {}, {}, 3, 3, 0},  // and between two roof cells
  };
  std::vector<Request> requests;
  for (const Options& o : options)
    requests.push_back(MakeRequest(i_style, o.door, o.balcony, o.close, o.w, o.l, o.h));
  if (i_terraces) AddSetbackRequests(i_style, i_pitched, requests);
  if (i_inner) AddFootprintRequests(i_style, i_hips, requests);
  if (i_terraces && i_inner && i_innerTerraces) AddSteppedFootprintRequests(i_style, requests);
  if (!i_pitched) return requests;
  struct Roofs {
    RoofShape shape;
    RidgeAxis ridge;
    int w, l, h;
  };
  // Spans odd and even, both ridge axes, a hip's ridge shrunk to a point, and roofs on the
  // ground storey; cells across x are w + 2, along z l + 2.
  const Roofs roofs[] = {
      {RoofShape::Gable, RidgeAxis::Longer, 3, 2, 2}, {RoofShape::Gable, RidgeAxis::X, 2, 1, 1},
      {RoofShape::Gable, RidgeAxis::Z, 0, 0, 1},      {RoofShape::Hip, RidgeAxis::Longer, 4, 1, 2},
      {RoofShape::Hip, RidgeAxis::Longer, 1, 1, 1},   {RoofShape::Hip, RidgeAxis::Longer, 0, 0, 3},
      {RoofShape::Hip, RidgeAxis::Longer, 2, 5, 1},
  };
  for (const Roofs& r : roofs) {
    Request request = MakeRequest(i_style, "SC", {}, {}, r.w, r.l, r.h);
    request.roof = r.shape;
    request.ridge = r.ridge;
    requests.push_back(std::move(request));
  }
  return requests;
}

std::vector<LintFinding> LintKit(const std::string& i_folder, const std::vector<std::string>& i_styles) {
  return LintKit(i_folder, i_styles, {i_folder});
}

std::vector<LintFinding> LintKit(const std::string& i_folder, const std::vector<std::string>& i_styles,
                                 const std::vector<std::string>& i_folders) {
  LintReport report;
  // The unit size alone: the linter reads the pieces itself, keeping what it needs to tell.
  Kit kit = LoadKit(i_folders, {});
  if (!CheckBaseUnits(kit, report)) return report.sorted();
  std::vector<std::string> entries;
  FileSystem::GetFilesFromFolder(i_folder, entries);
  std::vector<std::vector<LintPiece>> styles;
  for (const std::string& style : i_styles) {
    const std::vector<LintPiece> pieces = StylePieces(kit, i_folder, style, entries);
    for (const LintPiece& piece : pieces) {
      report.order(piece.file);
      CheckPieceFile(piece, kit, report);
    }
    report.stage = 1;
    CheckStyleBuildings(style, kit, pieces, report);
    report.stage = 0;
    styles.push_back(pieces);
  }
  // Storey bands: each style's storeys on each other's, both ways.
  report.stage = 1;
  for (std::size_t a = 0; a < i_styles.size(); ++a) {
    for (std::size_t b = 0; b < i_styles.size(); ++b) {
      if (a == b) continue;
      std::vector<LintPiece> both = styles[a];
      both.insert(both.end(), styles[b].begin(), styles[b].end());
      CheckBandBuildings(i_styles[a], i_styles[b], kit, both, report);
    }
  }
  report.stage = 0;
  CheckLibraries(kit, report);
  CheckTextures(kit, report);
  return report.sorted();
}

}  // namespace Ostrel::Buildings
