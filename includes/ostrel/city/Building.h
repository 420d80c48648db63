#pragma once
// The building generator: lays a rectangular building out as rings of unit meshes, storey by
// storey from the ground to the roof row, and writes it as one Wavefront OBJ text.
//
// The building is never held in memory. The layout is a pure function of the request, so `build`
// counts the building arithmetically first, then walks the layout once per output block (v, vn,
// vt, f), placing every unit from a cache of parsed unit files and writing as it goes. Memory
// therefore depends on the kit, not on the size of the building.
//
// Writing is mostly copying text made before: a building has few distinct coordinates (a unit's
// coordinate plus whole cells or storeys), a unit's normal and texture lines read the same at
// every placement, and index numbers only count up (see detail::Writer).
//
// Units: unit files are in file units; the unit size (measured from base_floorclose.obj and
// base_roof.obj) turns them into cell units, where one cell is 1.0 along x and z and one storey
// 1.0 along y, +y up. The facades N, E, S and W face +x, +z, -x and -z.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/utils/NumberFormat.h>

namespace Ostrel::City {

// Why the last build wrote nothing.
enum class BuildError {
  None,
  NoBaseUnits,    // the base units give no vertex, or a zero or non-finite size on an axis
  NothingPlaced,  // the layout placed no vertex at all (an unknown style, say)
  TooLarge,       // the counts of the building would overflow its 32-bit indices
};

// One unit placed by the layout, as forEachPlacement reports it.
struct Placement {
  std::string piece;       // style + "_" + piece kind, without ".obj" (A_floorclose)
  std::size_t offset = 0;  // 0-based output index of the unit's first vertex
  VectorF position;        // cell units, before the building's orientation and position
  VectorF direction;       // facing direction as the layout gives it (+x of the unit points there)
};

namespace detail {

// The largest index an output file may hold.
inline constexpr std::uint64_t kMaxIndex = 0xFFFFFFFFu;
// Size of the text buffer that collects output lines before one large write.
inline constexpr std::size_t kOutputBufferBytes = std::size_t{1} << 20;

// A unit file parsed once per build, ready to be placed any number of times.
struct Unit {
  bool found = false;                    // the file could be read
  bool reported = false;                 // already listed among the missing unit files
  std::vector<VectorF> positions;        // cell units: file units divided by the unit size
  std::vector<VectorF> normals;          // as in the file
  std::vector<UV> uvs;                   // as in the file
  std::vector<Obj::Corner> corners;      // corners of the kept faces, 0-based into this unit
  std::vector<std::uint32_t> polycount;  // corner count of each kept face (3 or more)

  // Ready text of the unit's lines, made in a writing build the first time it is needed.
  struct FacingText {
    std::uint32_t xd = 0, zd = 0;  // bit patterns of the facing direction
    std::string text;              // the vn lines of the unit facing that way
  };
  std::vector<FacingText> normalTexts;
  std::string uvText;  // the vt lines
  bool uvTextReady = false;

  bool empty() const { return positions.empty() && normals.empty() && uvs.empty() && polycount.empty(); }
};

// Counts of a whole building, saturating instead of wrapping.
struct Totals {
  std::uint64_t vertices = 0;
  std::uint64_t normals = 0;
  std::uint64_t uvs = 0;
};

// How many times one piece is placed, in the order the layout first needs it.
struct PieceCount {
  std::string piece;
  std::uint64_t count = 0;
};

inline std::uint64_t SatAdd(std::uint64_t i_a, std::uint64_t i_b) {
  const std::uint64_t sum = i_a + i_b;
  return sum < i_a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

inline std::uint64_t SatMul(std::uint64_t i_a, std::uint64_t i_b) {
  if (i_a != 0 && i_b > std::numeric_limits<std::uint64_t>::max() / i_a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return i_a * i_b;
}

// A turn about the vertical axis by a direction in the x-z plane, taken as a pure rotation:
// the direction is normalised, so normals keep their length. It maps +x to (c, 0, s), in the
// same sense as the positions' turn: x' = x*c - z*s, z' = x*s + z*c.
struct Turn {
  float c = 1;
  float s = 0;
  bool turns = false;  // false for a zero or non-finite direction: vectors stay as they are
};

inline Turn MakeTurn(float i_xdir, float i_zdir) {
  const double length =
      std::sqrt(static_cast<double>(i_xdir) * i_xdir + static_cast<double>(i_zdir) * i_zdir);
  if (!(length > 0) || !std::isfinite(length)) return {};
  return {static_cast<float>(i_zdir / length), static_cast<float>(i_xdir / length), true};
}

// Adding 0 turns a negative zero into 0, so that an axis-aligned normal reads "0", not "-0".
inline VectorF ApplyTurn(const Turn& i_turn, const VectorF& i_vector) {
  if (!i_turn.turns) return i_vector;
  return {i_vector.x * i_turn.c - i_vector.z * i_turn.s + 0.0f, i_vector.y,
          i_vector.x * i_turn.s + i_vector.z * i_turn.c + 0.0f};
}

// Collects output text in one large buffer and hands it to the stream in big blocks. The buffer
// starts small and doubles at each flush up to kOutputBufferBytes, so that a small building does
// not pay for clearing a large buffer it never fills.
class TextOut {
 public:
  explicit TextOut(std::ostream& io_stream) : m_stream(io_stream), m_buffer(kFirstBufferBytes) {}
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;
  ~TextOut() { flush(); }

  // Returns where to write up to i_bytes more bytes (at most the buffer's size); commit(end)
  // then keeps them.
  char* room(std::size_t i_bytes) {
    if (m_used + i_bytes > m_buffer.size()) flush();
    return m_buffer.data() + m_used;
  }
  void commit(const char* i_end) { m_used = static_cast<std::size_t>(i_end - m_buffer.data()); }

  // Appends text of any length; a text longer than the buffer goes to the stream as it is.
  void write(const char* i_text, std::size_t i_length) {
    if (i_length > m_buffer.size()) {
      flush();
      m_stream.write(i_text, static_cast<std::streamsize>(i_length));
      return;
    }
    char* pos = room(i_length);
    std::memcpy(pos, i_text, i_length);
    commit(pos + i_length);
  }

  void flush() {
    if (m_used > 0) m_stream.write(m_buffer.data(), static_cast<std::streamsize>(m_used));
    m_used = 0;
    if (m_buffer.size() < kOutputBufferBytes) m_buffer.resize(m_buffer.size() * 2);
  }

 private:
  // Room for the longest line (a few hundred bytes) many times over.
  static constexpr std::size_t kFirstBufferBytes = std::size_t{1} << 14;

  std::ostream& m_stream;
  std::vector<char> m_buffer;
  std::size_t m_used = 0;
};

// Longest "v x y z", "vn x y z" or "vt u v" line as PutVectorLine writes it, with the slack of
// its 16-byte copies.
inline constexpr std::size_t kMaxVectorLine = 3 + 3 * (1 + 16) + 1;

// Writes "v x y z", "vn x y z" or the like, with a line feed, at o_out (room for kMaxVectorLine
// bytes); returns the end.
inline char* PutVectorLine(char* o_out, Format::FloatTextCache& io_texts, const char* i_keyword,
                           std::size_t i_keywordLength, const float* i_values, int i_count) {
  for (std::size_t i = 0; i < i_keywordLength; ++i) *o_out++ = i_keyword[i];
  for (int i = 0; i < i_count; ++i) {
    *o_out++ = ' ';
    o_out = io_texts.append(o_out, i_values[i]);
  }
  *o_out++ = '\n';
  return o_out;
}

// Units with more lines than this write their normals and texture coordinates line by line;
// smaller ones keep them as ready text, so that cached text stays small beside the unit itself.
inline constexpr std::size_t kMaxCachedLines = std::size_t{1} << 15;

// The vector lines of a whole unit as one text, for units that are placed again and again.
inline std::string VectorLinesText(Format::FloatTextCache& io_texts, const char* i_keyword,
                                   std::size_t i_keywordLength, const float* i_values, std::size_t i_lines,
                                   int i_count) {
  std::string text(i_lines * kMaxVectorLine, '\0');
  char* const first = text.data();
  char* pos = first;
  for (std::size_t line = 0; line < i_lines; ++line) {
    pos = PutVectorLine(pos, io_texts, i_keyword, i_keywordLength, i_values + line * i_count, i_count);
  }
  text.resize(static_cast<std::size_t>(pos - first));
  return text;
}

// The text of a run of consecutive 1-based output numbers, one entry per number. The numbers are
// made a decade at a time: one conversion gives ten entries that differ in their last digit.
struct NumberTexts {
  struct Entry {
    char text[16];       // digits, zero-padded
    std::size_t length;  // bytes of digits
  };
  std::vector<Entry> entries;  // entries[i] is the text of first + i

  // Fills entries with the numbers i_first .. i_first + i_count - 1 (below 10^15).
  const Entry* fill(std::uint64_t i_first, std::size_t i_count) {
    entries.resize(i_count);
    std::uint64_t number = i_first;
    for (std::size_t i = 0; i < i_count;) {
      Entry decade{};
      decade.length =
          static_cast<std::size_t>(std::to_chars(decade.text, decade.text + 15, number).ptr - decade.text);
      // The decade is only read below: changing it in place would make every copy wait for the
      // byte written just before.
      const std::size_t last = decade.length - 1;
      for (char digit = decade.text[last]; digit <= '9' && i < i_count; ++digit, ++i, ++number) {
        entries[i] = decade;
        entries[i].text[last] = digit;
      }
    }
    return entries.data();
  }
};

// The state of one writing build: the output and the texts it reuses.
struct Writer {
  explicit Writer(std::ostream& io_stream) : out(io_stream) {}
  TextOut out;
  Format::FloatTextCache floats;
  NumberTexts vertexNumbers;
  NumberTexts uvNumbers;
  NumberTexts normalNumbers;
};

// Builds the unit from a parsed file: coordinates into cell units, faces of fewer than three
// corners dropped (they are no polygon and viewers reject them). False, with the unit left
// empty, when a coordinate does not fit in cell units (a huge one over a tiny unit size).
inline bool MakeUnit(const Obj::Mesh& i_mesh, float i_unitWidth, float i_unitHeight, float i_unitLength,
                     Unit& o_unit) {
  o_unit.positions.reserve(i_mesh.vertices.size());
  for (const VectorF& v : i_mesh.vertices) {
    const VectorF cell(v.x / i_unitWidth, v.y / i_unitHeight, v.z / i_unitLength);
    if (!std::isfinite(cell.x) || !std::isfinite(cell.y) || !std::isfinite(cell.z)) {
      o_unit.positions.clear();
      return false;
    }
    o_unit.positions.push_back(cell);
  }
  o_unit.normals = i_mesh.normals;
  o_unit.uvs = i_mesh.uvs;
  std::size_t first = 0;
  for (const std::uint32_t count : i_mesh.polycount) {
    if (count > i_mesh.corners.size() - first) break;  // a mesh that promises more corners than it has
    if (count >= 3) {
      o_unit.corners.insert(o_unit.corners.end(), i_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first),
                            i_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first + count));
      o_unit.polycount.push_back(count);
    }
    first += count;
  }
  return true;
}

// Whether a balcony or wall pattern letter selects the inner cell `i_current` on level `i_level`.
// Every pattern depends on the cell only through the parity of its index.
inline bool PatternSelects(char i_letter, int i_level, int i_current) {
  switch (i_letter) {
    case 'A':
      return true;
    case 'E':  // cells 1, 3, 5, ...
      return (i_current & 1) != 0;
    case 'O':  // cells 2, 4, 6, ...
      return (i_current & 1) == 0;
    case 'C':  // cells of the level's parity
      return ((i_current ^ i_level) & 1) == 0;
    default:
      return false;
  }
}

// The level as the per-cell rules see it: a level that does not fit wraps, as a plain conversion would.
inline int LevelAsInt(std::size_t i_level) { return static_cast<int>(static_cast<std::uint32_t>(i_level)); }

}  // namespace detail

class Building {
 public:
  using PlacementVisitor = std::function<void(const Placement&)>;

  Building() = default;
  // Note the swap: the width `w` counts the cells along E and W (m_length), the length `l` those
  // along N and S (m_width). Both gain the two corner cells; `h` storeys gain the roof row.
  Building(const std::string& s, const std::string& door, const std::vector<std::string>& balcony,
           const std::vector<std::string>& close, int w, int l, int h)
      : m_style(s),
        m_door(door),
        m_balcony(balcony),
        m_close(close),
        m_width(static_cast<std::int64_t>(l) + 2),
        m_length(static_cast<std::int64_t>(w) + 2),
        m_height(static_cast<std::int64_t>(h) + 1) {}

  void setUnitsPath(const std::string& path) { m_units_path = path; }
  void setPosition(float x, float y, float z) { m_xpos = x, m_ypos = y, m_zpos = z; }
  void setOrientation(float x, float y, float z) { m_xdir = x, m_ydir = y, m_zdir = z; }

  // Writes the building into objout: every v line, then vn, vt and f lines. Vertex indices start
  // at indicesoffset + 1; normal and texture indices at 1. Returns the number of vertices written.
  // Writes nothing and returns 0 when lastError() is not None afterwards.
  std::size_t build(std::ostream& objout, std::size_t indicesoffset) {
    if (!startBuild()) return 0;
    const detail::Totals totals = countBuilding();
    if (totals.vertices == 0) return fail(BuildError::NothingPlaced);
    if (indicesoffset > detail::kMaxIndex || totals.vertices > detail::kMaxIndex - indicesoffset ||
        totals.normals > detail::kMaxIndex || totals.uvs > detail::kMaxIndex) {
      return fail(BuildError::TooLarge);
    }

    // The writer's caches are large beside the object itself, so they live for one build only.
    const auto writer = std::make_unique<detail::Writer>(objout);
    m_writer = writer.get();
    for (const Pass pass : {Pass::Vertices, Pass::Normals, Pass::Uvs, Pass::Faces}) {
      m_pass = pass;
      runLayout(indicesoffset);
    }
    m_pass = Pass::None;
    m_writer = nullptr;
    return static_cast<std::size_t>(totals.vertices);
  }

  // Measures the unit size and walks the layout, calling i_visit for every placement (missing
  // units included, with the running offsets) instead of writing. False, with lastError()
  // NoBaseUnits, when the unit size cannot be measured. Walks every cell: for tests and tools.
  bool forEachPlacement(std::size_t indicesoffset, const PlacementVisitor& i_visit) {
    if (!startBuild()) return false;
    m_visit = &i_visit;
    m_pass = Pass::Visit;
    runLayout(indicesoffset);
    m_pass = Pass::None;
    m_visit = nullptr;
    return true;
  }

  BuildError lastError() const { return m_lastError; }
  // Unit files the last build needed but could not read, each once, in the order first needed,
  // as the paths that were tried (units folder + "/" + piece + ".obj").
  const std::vector<std::string>& missingUnitFiles() const { return m_missingUnitFiles; }

  // Lays out one row at `level` (storeys: 0 is the ground): the ring of corners `type_angle` and
  // facade cells `type_side[door|close]` with balconies, then, on the roof row, `type_roofcap` on
  // every interior cell. indicesoffset is the 0-based output index of the row's first vertex.
  // Returns the number of vertices the row placed.
  std::size_t addFloor(std::string type, std::size_t indicesoffset, std::size_t level, std::string angle,
                       std::string side) {
    const float y = static_cast<float>(level);
    const int rowLevel = detail::LevelAsInt(level);
    const std::int64_t W = m_width;
    const std::int64_t L = m_length;
    const std::string corner = type + "_" + angle;
    const std::string window = type + "_" + side;
    const bool cells = walks({window, window + "close", window + "door", type + "_balcony"});
    std::size_t current = 0;

    auto place = [&](const std::string& piece, std::int64_t x, std::int64_t z, float xd, float zd) {
      current += addUnit(piece, indicesoffset + current, static_cast<float>(x), y, static_cast<float>(z), xd,
                         0.0f, zd);
    };
    auto cell = [&](char facade, std::int64_t minSide, std::int64_t maxSide, std::int64_t index,
                    std::int64_t x, std::int64_t z, float xd, float zd) {
      const int at = static_cast<int>(index);
      place(type + "_" + side +
                checkForDoorOrClose(rowLevel, side, facade, static_cast<int>(minSide),
                                    static_cast<int>(maxSide), at),
            x, z, xd, zd);
      if (checkForBalcony(rowLevel, side, facade, at)) place(type + "_balcony", x, z, xd, zd);
    };

    place(corner, 0, 0, -1, 0);
    for (std::int64_t w = 1; cells && w < W - 1; ++w) cell('N', W - 2, 1, w, 0, w, 0, 1);
    place(corner, 0, W - 1, 0, 1);
    for (std::int64_t l = 1; cells && l < L - 1; ++l) cell('E', L - 2, 1, l, -l, W - 1, 1, 0);
    place(corner, 1 - L, W - 1, 1, 0);
    for (std::int64_t w = 1; cells && w < W - 1; ++w) cell('S', 1, W - 2, w, 1 - L, w, 0, -1);
    place(corner, 1 - L, 0, 0, -1);
    for (std::int64_t l = 1; cells && l < L - 1; ++l) cell('W', 1, L - 2, l, -l, 0, -1, 0);

    if (side == "roof") {
      // The roof cap closes the roof over the interior cells. A kit without it is not at fault,
      // and an empty cap would add nothing, so the interior is not even walked then.
      const std::string cap = type + "_roofcap";
      if (!unitFor(cap, false).empty()) {
        for (std::int64_t l = 1; l < L - 1; ++l) {
          for (std::int64_t w = 1; w < W - 1; ++w) place(cap, -l, w, 0, 1);
        }
      }
    }
    return current;
  }

  // "door" when the cell is the requested door cell (ground level only), else "close" when a wall
  // request selects it, else "". min_side and max_side are the indices of the left and right end
  // of the facade's run of inner cells, seen from outside.
  std::string checkForDoorOrClose(int level, const std::string& name, char side, int min_side, int max_side,
                                  int current) const {
    std::int64_t door = 0;
    if (doorCell(level, side, min_side, max_side, door) && door == current) return "door";
    if (checkForClose(level, name, side, current)) return "close";
    return "";
  }

  // Whether a balcony request selects the cell; never on the ground storey or the roof row.
  bool checkForBalcony(int level, const std::string& name, char side, int current) const {
    if (level == 0) return false;
    return anySelects(m_balcony, level, name, side, current);
  }

  // Whether a wall request selects the cell; never on the roof row.
  bool checkForClose(int level, const std::string& name, char side, int current) const {
    return anySelects(m_close, level, name, side, current);
  }

  // Places the unit file `type`.obj at (x, y, z) in cell units, facing (xd, yd, zd) (yd is not
  // read): its coordinates are divided by the unit size, turned by the direction and moved.
  // indicesoffset is the 0-based output index of its first vertex. Returns its vertex count, 0
  // when the file is missing (it is then listed once among the missing unit files).
  std::size_t addUnit(std::string type, std::size_t indicesoffset, float x, float y, float z, float xd,
                      float yd, float zd) {
    detail::Unit& unit = unitFor(type, true);
    switch (m_pass) {
      case Pass::None:
        break;
      case Pass::Visit:
        (*m_visit)(Placement{type, indicesoffset, VectorF(x, y, z), VectorF(xd, yd, zd)});
        break;
      case Pass::Vertices:
        writeVertices(unit, x, y, z, xd, zd);
        break;
      case Pass::Normals:
        writeNormals(unit, xd, zd);
        break;
      case Pass::Uvs:
        writeUvs(unit);
        break;
      case Pass::Faces:
        writeFaces(unit, indicesoffset);
        break;
    }
    m_normalsPlaced += unit.normals.size();
    m_uvsPlaced += unit.uvs.size();
    return unit.positions.size();
  }

 private:
  enum class Pass { None, Visit, Vertices, Normals, Uvs, Faces };

  // Resets what a build leaves behind and measures the unit size. False on NoBaseUnits.
  bool startBuild() {
    m_lastError = BuildError::None;
    m_missingUnitFiles.clear();
    m_units.clear();
    m_orientation = detail::MakeTurn(m_xdir, m_zdir);
    if (measureUnitSize()) return true;
    m_lastError = BuildError::NoBaseUnits;
    return false;
  }

  std::size_t fail(BuildError i_error) {
    m_lastError = i_error;
    return 0;
  }

  // The unit size is the extent of both base meshes together, as they lie in their files.
  bool measureUnitSize() {
    VectorF bboxmin(1000000.0f, 1000000.0f, 1000000.0f);
    VectorF bboxmax(-1000000.0f, -1000000.0f, -1000000.0f);
    std::size_t seen = 0;
    for (const char* name : {"base_floorclose.obj", "base_roof.obj"}) {
      Obj::Mesh mesh;
      Obj::ReadMesh(m_units_path + "/" + name, mesh);
      for (const VectorF& v : mesh.vertices) {
        if (v.x < bboxmin.x) bboxmin.x = v.x;
        if (v.x > bboxmax.x) bboxmax.x = v.x;
        if (v.y < bboxmin.y) bboxmin.y = v.y;
        if (v.y > bboxmax.y) bboxmax.y = v.y;
        if (v.z < bboxmin.z) bboxmin.z = v.z;
        if (v.z > bboxmax.z) bboxmax.z = v.z;
      }
      seen += mesh.vertices.size();
    }
    m_unitWidth = bboxmax.x - bboxmin.x;
    m_unitHeight = bboxmax.y - bboxmin.y;
    m_unitLength = bboxmax.z - bboxmin.z;
    for (const float size : {m_unitWidth, m_unitHeight, m_unitLength}) {
      if (size == 0 || !std::isfinite(size)) return false;
    }
    return seen > 0;
  }

  // Ground storey at level 0, upper storeys, then the roof row at m_height - 1, which wraps to a
  // huge level for a negative height rather than looping. Returns the vertices placed.
  std::size_t runLayout(std::size_t indicesoffset) {
    m_normalsPlaced = 0;
    m_uvsPlaced = 0;
    std::size_t current = 0;
    current += addFloor(m_style, indicesoffset + current, 0, "angle", "ground");
    const bool floors =
        walks({m_style + "_angle", m_style + "_floor", m_style + "_floorclose", m_style + "_balcony"});
    for (std::int64_t level = 1; floors && level < m_height - 1; ++level) {
      current +=
          addFloor(m_style, indicesoffset + current, static_cast<std::size_t>(level), "angle", "floor");
    }
    current += addFloor(m_style, indicesoffset + current, static_cast<std::size_t>(m_height - 1), "angleroof",
                        "roof");
    return current;
  }

  // Whether the running walk must visit the cells or rows that can only place these pieces. A
  // writing pass skips them when each is empty or was never needed by the count: they would write
  // nothing, and walking them would tie the time of a build to the requested size (a hang for a
  // huge building whose pieces are missing) instead of to what is written.
  bool walks(std::initializer_list<std::string> i_pieces) const {
    if (m_pass == Pass::None || m_pass == Pass::Visit) return true;
    for (const std::string& piece : i_pieces) {
      const auto it = m_units.find(piece);
      if (it != m_units.end() && !it->second.empty()) return true;
    }
    return false;
  }

  // ---- Counting without walking -------------------------------------------------------------

  // Counts the whole building from the pieces each kind of row needs, loading every needed unit
  // in the order the layout first needs it (so missing files are listed in that order). Upper
  // storeys differ only by the parity of their level, so at most four rows are examined, each in
  // time independent of its size.
  detail::Totals countBuilding() {
    std::vector<detail::PieceCount> pieces;
    const std::int64_t floors = m_height - 2 > 0 ? m_height - 2 : 0;
    countRow(pieces, 0, "angle", "ground", 1);
    if (floors >= 1) countRow(pieces, 1, "angle", "floor", static_cast<std::uint64_t>((floors + 1) / 2));
    if (floors >= 2) countRow(pieces, 2, "angle", "floor", static_cast<std::uint64_t>(floors / 2));
    countRow(pieces, static_cast<std::size_t>(m_height - 1), "angleroof", "roof", 1);

    detail::Totals totals;
    for (const detail::PieceCount& entry : pieces) {
      const detail::Unit& unit = unitFor(entry.piece, !isRoofCap(entry.piece));
      totals.vertices = detail::SatAdd(totals.vertices, detail::SatMul(entry.count, unit.positions.size()));
      totals.normals = detail::SatAdd(totals.normals, detail::SatMul(entry.count, unit.normals.size()));
      totals.uvs = detail::SatAdd(totals.uvs, detail::SatMul(entry.count, unit.uvs.size()));
    }
    return totals;
  }

  static void addCount(std::vector<detail::PieceCount>& io_pieces, const std::string& i_piece,
                       std::uint64_t i_count) {
    for (detail::PieceCount& entry : io_pieces) {
      if (entry.piece == i_piece) {
        entry.count = detail::SatAdd(entry.count, i_count);
        return;
      }
    }
    io_pieces.push_back({i_piece, i_count});
  }

  // Adds the pieces of one row, placed i_rows times, to io_pieces.
  void countRow(std::vector<detail::PieceCount>& io_pieces, std::size_t i_level, const std::string& i_angle,
                const std::string& i_side, std::uint64_t i_rows) {
    std::vector<detail::PieceCount> row;
    const std::int64_t innerW = m_width - 2;
    const std::int64_t innerL = m_length - 2;
    addCount(row, m_style + "_" + i_angle, 4);
    countFacade(row, i_level, i_side, 'N', innerW, innerW, 1);
    countFacade(row, i_level, i_side, 'E', innerL, innerL, 1);
    countFacade(row, i_level, i_side, 'S', innerW, 1, innerW);
    countFacade(row, i_level, i_side, 'W', innerL, 1, innerL);
    if (i_side == "roof" && innerW > 0 && innerL > 0) {
      addCount(row, m_style + "_roofcap",
               static_cast<std::uint64_t>(innerW) * static_cast<std::uint64_t>(innerL));
    }
    for (const detail::PieceCount& entry : row)
      addCount(io_pieces, entry.piece, detail::SatMul(entry.count, i_rows));
  }

  // Adds the pieces of one facade's i_cells inner cells. A cell's piece depends on its index only
  // through the parity of the index, except at the door; so cells 1, 2, 3 and the door cell show
  // every piece the facade uses, in the order of first use, and parity counts give the numbers.
  void countFacade(std::vector<detail::PieceCount>& io_row, std::size_t i_level, const std::string& i_side,
                   char i_facade, std::int64_t i_cells, std::int64_t i_minSide, std::int64_t i_maxSide) {
    if (i_cells <= 0) return;
    const int level = detail::LevelAsInt(i_level);
    const int minSide = static_cast<int>(i_minSide);
    const int maxSide = static_cast<int>(i_maxSide);
    std::int64_t door = 0;
    const bool hasDoor = doorCell(level, i_facade, minSide, maxSide, door);
    const std::string window = m_style + "_" + i_side;
    const std::string balcony = m_style + "_balcony";

    // Representative cells in increasing order, each once.
    std::vector<std::int64_t> cells = {1, 2, 3};
    if (hasDoor) cells.push_back(door);
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    cells.erase(std::remove_if(cells.begin(), cells.end(),
                               [&](std::int64_t index) { return index < 1 || index > i_cells; }),
                cells.end());
    for (const std::int64_t index : cells) {
      const int at = static_cast<int>(index);
      addCount(io_row, window + checkForDoorOrClose(level, i_side, i_facade, minSide, maxSide, at), 0);
      if (checkForBalcony(level, i_side, i_facade, at)) addCount(io_row, balcony, 0);
    }

    const std::uint64_t odd = static_cast<std::uint64_t>((i_cells + 1) / 2);
    const std::uint64_t even = static_cast<std::uint64_t>(i_cells / 2);
    const bool closeOdd = checkForClose(level, i_side, i_facade, 1);
    const bool closeEven = checkForClose(level, i_side, i_facade, 2);
    std::uint64_t closed = (closeOdd ? odd : 0) + (closeEven ? even : 0);
    if (hasDoor && ((door & 1) != 0 ? closeOdd : closeEven)) --closed;
    const std::uint64_t doors = hasDoor ? 1 : 0;
    const std::uint64_t balconies = (checkForBalcony(level, i_side, i_facade, 1) ? odd : 0) +
                                    (checkForBalcony(level, i_side, i_facade, 2) ? even : 0);
    // A piece that no cell uses must not be listed, or it would be read and reported as missing.
    auto addUsed = [&](const std::string& piece, std::uint64_t count) {
      if (count > 0) addCount(io_row, piece, count);
    };
    addUsed(window, static_cast<std::uint64_t>(i_cells) - closed - doors);
    addUsed(window + "close", closed);
    addUsed(window + "door", doors);
    addUsed(balcony, balconies);
  }

  // ---- Per-cell rules -----------------------------------------------------------------------

  // The door's cell on this facade and level, if the door request puts one there.
  bool doorCell(int i_level, char i_facade, int i_minSide, int i_maxSide, std::int64_t& o_cell) const {
    if (i_level != 0 || m_door.size() < 2 || m_door[0] != i_facade) return false;
    const std::int64_t lo = i_minSide < i_maxSide ? i_minSide : i_maxSide;
    const std::int64_t hi = i_minSide < i_maxSide ? i_maxSide : i_minSide;
    switch (m_door[1]) {
      case 'L':
        o_cell = i_minSide;
        return true;
      case 'R':
        o_cell = i_maxSide;
        return true;
      case 'C':  // of two middle cells, the lower
        o_cell = lo + (hi - lo) / 2;
        return true;
      default:
        return false;
    }
  }

  // Whether any request of the list selects the cell; requests never apply to the roof row.
  static bool anySelects(const std::vector<std::string>& i_requests, int i_level, const std::string& i_name,
                         char i_facade, int i_current) {
    if (i_name == "roof") return false;
    for (const std::string& request : i_requests) {
      if (request.size() >= 2 && request[0] == i_facade &&
          detail::PatternSelects(request[1], i_level, i_current)) {
        return true;
      }
    }
    return false;
  }

  // ---- Units --------------------------------------------------------------------------------

  bool isRoofCap(const std::string& i_piece) const { return i_piece == m_style + "_roofcap"; }

  // Unit files are named after their piece, in the units folder, joined as plain text.
  std::string unitFile(const std::string& i_piece) const { return m_units_path + "/" + i_piece + ".obj"; }

  // The parsed unit of a piece, read on first use. A missing file is listed once when i_report.
  detail::Unit& unitFor(const std::string& i_piece, bool i_report) {
    auto [it, inserted] = m_units.try_emplace(i_piece);
    detail::Unit& unit = it->second;
    if (inserted) {
      Obj::Mesh mesh;
      // A unit that cannot be placed in cell units counts as unreadable.
      unit.found = Obj::ReadMesh(unitFile(i_piece), mesh) &&
                   detail::MakeUnit(mesh, m_unitWidth, m_unitHeight, m_unitLength, unit);
    }
    if (!unit.found && i_report && !unit.reported) {
      unit.reported = true;
      m_missingUnitFiles.push_back(unitFile(i_piece));
    }
    return unit;
  }

  // ---- Output passes ------------------------------------------------------------------------

  void writeVertices(const detail::Unit& i_unit, float x, float y, float z, float xd, float zd) {
    detail::TextOut& out = m_writer->out;
    for (const VectorF& p : i_unit.positions) {
      // Facing turn and cell position, then the building's orientation and position.
      const float vx = p.x * zd - p.z * xd + x;
      const float vy = p.y + y;
      const float vz = p.x * xd + p.z * zd + z;
      const float placed[3] = {m_zdir * vx - m_xdir * vz + m_xpos, vy + m_ypos,
                               m_xdir * vx + m_zdir * vz + m_zpos};
      char* pos = out.room(detail::kMaxVectorLine);
      out.commit(detail::PutVectorLine(pos, m_writer->floats, "v", 1, placed, 3));
    }
  }

  // The unit's normals turned to face (xd, zd) and then by the building's orientation, as
  // x, y, z triples.
  std::vector<float> turnedNormals(const detail::Unit& i_unit, float xd, float zd) const {
    const detail::Turn facing = detail::MakeTurn(xd, zd);
    std::vector<float> values;
    values.reserve(3 * i_unit.normals.size());
    for (const VectorF& n : i_unit.normals) {
      const VectorF turned = detail::ApplyTurn(m_orientation, detail::ApplyTurn(facing, n));
      values.insert(values.end(), {turned.x, turned.y, turned.z});
    }
    return values;
  }

  // Writes i_lines vector lines of i_count values each, line by line.
  void writeLines(const char* i_keyword, std::size_t i_keywordLength, const std::vector<float>& i_values,
                  std::size_t i_lines, int i_count) {
    for (std::size_t line = 0; line < i_lines; ++line) {
      char* pos = m_writer->out.room(detail::kMaxVectorLine);
      m_writer->out.commit(detail::PutVectorLine(pos, m_writer->floats, i_keyword, i_keywordLength,
                                                 &i_values[line * static_cast<std::size_t>(i_count)],
                                                 i_count));
    }
  }

  // A unit's normals read the same wherever it stands, so each facing's text is made once.
  void writeNormals(detail::Unit& io_unit, float xd, float zd) {
    const std::size_t lines = io_unit.normals.size();
    if (lines == 0) return;
    if (lines > detail::kMaxCachedLines) return writeLines("vn", 2, turnedNormals(io_unit, xd, zd), lines, 3);
    std::uint32_t xbits, zbits;
    std::memcpy(&xbits, &xd, sizeof xbits);
    std::memcpy(&zbits, &zd, sizeof zbits);
    const detail::Unit::FacingText* text = nullptr;
    for (const detail::Unit::FacingText& known : io_unit.normalTexts) {
      if (known.xd == xbits && known.zd == zbits) text = &known;
    }
    if (!text) {
      const std::vector<float> values = turnedNormals(io_unit, xd, zd);
      io_unit.normalTexts.push_back(
          {xbits, zbits, detail::VectorLinesText(m_writer->floats, "vn", 2, values.data(), lines, 3)});
      text = &io_unit.normalTexts.back();
    }
    m_writer->out.write(text->text.data(), text->text.size());
  }

  // Texture coordinates are written as they are, so a unit's text is made once.
  void writeUvs(detail::Unit& io_unit) {
    const std::size_t lines = io_unit.uvs.size();
    if (lines == 0) return;
    if (io_unit.uvTextReady) return m_writer->out.write(io_unit.uvText.data(), io_unit.uvText.size());
    std::vector<float> values;
    values.reserve(2 * lines);
    for (const UV& uv : io_unit.uvs) values.insert(values.end(), {uv.u, uv.v});
    if (lines > detail::kMaxCachedLines) return writeLines("vt", 2, values, lines, 2);
    io_unit.uvText = detail::VectorLinesText(m_writer->floats, "vt", 2, values.data(), lines, 2);
    io_unit.uvTextReady = true;
    m_writer->out.write(io_unit.uvText.data(), io_unit.uvText.size());
  }

  // Vertex numbers count from the building's indices offset; normal and texture numbers from the
  // building's first normal and texture coordinate, shifted by those placed before this unit.
  // The three runs of numbers are made as text once per placement, and shared when they match
  // (as they do for units with as many normals and texture coordinates as vertices).
  void writeFaces(const detail::Unit& i_unit, std::size_t indicesoffset) {
    using Entry = detail::NumberTexts::Entry;
    const std::uint64_t vFirst = std::uint64_t{indicesoffset} + 1;
    const std::uint64_t uvFirst = std::uint64_t{m_uvsPlaced} + 1;
    const std::uint64_t nFirst = std::uint64_t{m_normalsPlaced} + 1;
    const std::size_t vCount = i_unit.positions.size();
    const std::size_t uvCount = i_unit.uvs.size();
    const std::size_t nCount = i_unit.normals.size();
    const Entry* vText = m_writer->vertexNumbers.fill(vFirst, vCount);
    const Entry* uvText =
        uvFirst == vFirst && uvCount <= vCount ? vText : m_writer->uvNumbers.fill(uvFirst, uvCount);
    const Entry* nText = nFirst == vFirst && nCount <= vCount ? vText
                         : nFirst == uvFirst && nCount <= uvCount
                             ? uvText
                             : m_writer->normalNumbers.fill(nFirst, nCount);

    detail::TextOut& out = m_writer->out;
    const Obj::Corner* corner = i_unit.corners.data();
    for (const std::uint32_t count : i_unit.polycount) {
      char* pos = out.room(2);
      *pos++ = 'f';
      *pos++ = ' ';
      out.commit(pos);
      for (std::uint32_t j = 0; j < count; ++j, ++corner) {
        pos = out.room(3 * (16 + 1) + 1);
        pos = Format::AppendShortText(pos, vText[corner->v].text, vText[corner->v].length);
        if (corner->n != Obj::kAbsent) {
          *pos++ = '/';
          if (corner->uv != Obj::kAbsent) {
            pos = Format::AppendShortText(pos, uvText[corner->uv].text, uvText[corner->uv].length);
          }
          *pos++ = '/';
          pos = Format::AppendShortText(pos, nText[corner->n].text, nText[corner->n].length);
        } else if (corner->uv != Obj::kAbsent) {
          *pos++ = '/';
          pos = Format::AppendShortText(pos, uvText[corner->uv].text, uvText[corner->uv].length);
        }
        *pos++ = ' ';
        out.commit(pos);
      }
      pos = out.room(1);
      *pos++ = '\n';
      out.commit(pos);
    }
  }

  std::string m_units_path;
  std::string m_style;
  std::string m_door;
  std::vector<std::string> m_balcony;
  std::vector<std::string> m_close;
  // Cell counts, wide enough that the constructor's + 2 and + 1 cannot overflow for any int.
  std::int64_t m_width = 0;                                   // cells along N and S (z), corners included
  std::int64_t m_length = 0;                                  // cells along E and W (x), corners included
  std::int64_t m_height = 0;                                  // rows, the roof row included
  float m_xpos = 0, m_ypos = 0, m_zpos = 0;                   // cell units
  float m_xdir = 0, m_ydir = 0, m_zdir = 1;                   // m_ydir is kept but not read
  float m_unitWidth = 1, m_unitHeight = 1, m_unitLength = 1;  // file units per cell / storey
  BuildError m_lastError = BuildError::None;
  std::vector<std::string> m_missingUnitFiles;

  // State of the walk that is running.
  std::unordered_map<std::string, detail::Unit> m_units;  // piece -> parsed unit, for one build
  Pass m_pass = Pass::None;
  detail::Writer* m_writer = nullptr;         // the output during a writing pass
  const PlacementVisitor* m_visit = nullptr;  // the visitor during forEachPlacement
  detail::Turn m_orientation;                 // the building's orientation, for normals
  std::size_t m_normalsPlaced = 0;            // normals of the units placed so far in this walk
  std::size_t m_uvsPlaced = 0;                // texture coordinates of the units placed so far
};

}  // namespace Ostrel::City
