// Obj: definitions.

#include <ostrel/ext/Obj.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <ostrel/core/MathTypes.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/NumberFormat.h>
#include <ostrel/utils/TextFile.h>
#include <ostrel/utils/Threads.h>
#include "ext/ObjNumbers.h"

namespace Obj {
namespace detail {

// Turns one index field into a 0-based index. An empty field is absent (kAbsent). A positive
// field n gives n - 1, to be checked once the file's final counts are known; a negative one is
// resolved against i_countSoFar, the elements of its kind read before this face. False for a
// field of 0, without digits, or reaching back before the first element.
bool ResolveIndex(std::string_view i_field, std::size_t i_countSoFar, std::uint32_t& o_index) {
  o_index = kAbsent;
  if (i_field.empty()) return true;
  const int value = ToInt(i_field);
  if (value == 0) return false;
  if (value > 0) {
    o_index = static_cast<std::uint32_t>(value - 1);
    return true;
  }
  const long long back = -static_cast<long long>(value);
  if (back > static_cast<long long>(i_countSoFar)) return false;
  o_index = static_cast<std::uint32_t>(static_cast<long long>(i_countSoFar) - back);
  return true;
}

// Where a parse puts the elements of one kind: at index next of their array, below end. A parse
// of a text read whole grows the array past end; the parts of a file read in parts fill the room
// of the file's arrays that their counts gave them, each at once, and past its end only count.
struct Slots {
  std::size_t next = 0;  // 0-based index in the array of the element to come
  std::size_t end = 0;   // the first index past the room the parse may fill
  bool grows = true;     // whether the parse appends to the array past end
};

// Appends i_value to io_array, which io_slots grows.
template <typename T>
void Append(std::vector<T>& io_array, Slots& io_slots, const T& i_value) {
  io_array.push_back(i_value);
  io_slots.end = io_array.size();
}

// Puts i_value at io_slots.next of io_array, as io_slots says, and moves next on. Inlined: a
// dense piece's file puts millions of elements, nearly all into their room.
template <typename T>
[[gnu::always_inline]] inline void Put(std::vector<T>& io_array, Slots& io_slots, const T& i_value) {
  if (io_slots.next < io_slots.end) {
    io_array[io_slots.next] = i_value;
  } else if (io_slots.grows) {
    Append(io_array, io_slots, i_value);
  }
  ++io_slots.next;
}

// What the reader keeps while it goes through the lines.
struct ParseState {
  std::uint32_t material = kNoMaterial;  // the material of the faces that follow
  std::size_t line = 0;                  // 1-based number of the line being read
  std::vector<Finding>* findings = nullptr;
  SourceLines* lines = nullptr;
  std::vector<std::size_t> faceLines;  // the line of each face, when findings or lines are kept
  // Where each of the mesh's arrays gets its next element. A later part of a file read in parts
  // starts at the elements of the parts before it, which its relative indices reach back into.
  Slots vertices, uvs, normals, corners, polycount, faceMaterials;
  // The mtllib and usemtl names of the text read, each once; the mesh's when the parse ends.
  std::vector<std::string> libraries;
  std::vector<std::string> materials;
  // The index in faceMaterials of the first face after a usemtl line, or kNoFace while there has
  // been none.
  static constexpr std::size_t kNoFace = SIZE_MAX;
  std::size_t firstMaterialFace = kNoFace;
  // Whether a corner named an element not read yet: only then may a face name one that the file
  // never gives, and the faces need checking against the final counts.
  bool namesLater = false;

  bool keepsFaceLines() const { return findings || lines; }
  void note(FindingKind i_kind, std::string i_message) {
    if (findings) findings->push_back({line, std::move(i_message), i_kind});
  }
};

std::string Quote(std::string_view i_text) { return "'" + Ostrel::TextFile::Excerpt(i_text) + "'"; }

const char* const kFieldNames[3] = {"vertex", "texture coordinate", "normal"};

// Parses one corner "a", "a/b", "a//c" or "a/b/c" (fields past the third are ignored). False,
// noted, when the corner has no vertex or a vertex field that cannot name one; a texture or
// normal field that cannot name an element is dropped from the corner, noted.
// i_counts are the vertices, texture coordinates and normals read before the corner.
bool ParseCorner(std::string_view i_word, const std::size_t i_counts[3], Corner& o_corner, ParseState& io_state) {
  std::uint32_t* fields[3] = {&o_corner.v, &o_corner.uv, &o_corner.n};
  const std::string_view word = i_word;
  for (int position = 0; position < 3 && !i_word.empty(); ++position) {
    const std::size_t slash = i_word.find('/');
    const std::string_view field = i_word.substr(0, slash);
    i_word = slash == std::string_view::npos ? std::string_view() : i_word.substr(slash + 1);
    if (ResolveIndex(field, i_counts[position], *fields[position])) continue;
    if (position == 0) {
      io_state.note(FindingKind::FaceLeftOut, "face left out: corner " + Quote(word) + " names no vertex");
      return false;
    }
    io_state.note(FindingKind::FieldDropped, "corner " + Quote(word) + " names no " + kFieldNames[position] +
                                                 ": it is kept without one");
  }
  if (o_corner.v != kAbsent) return true;
  io_state.note(FindingKind::FaceLeftOut, "face left out: corner " + Quote(word) + " has no vertex");
  return false;
}

// Reads a field of one to nine digits after an optional minus at io_pos into o_index, as
// ResolveIndex resolves it against i_count, and moves io_pos past it; false, with neither
// changed, for a field of another form or one ResolveIndex would refuse.
[[gnu::always_inline]] inline bool ReadPlainField(const char*& io_pos, const char* i_end, std::size_t i_count,
                                                  std::uint32_t& o_index) {
  const char* p = io_pos;
  const bool negative = p != i_end && *p == '-';
  if (negative) ++p;
  const char* const digits = p;
  std::uint32_t value = 0;
  for (; p != i_end && IsDigit(*p) && p - digits < 10; ++p) value = value * 10 + static_cast<std::uint32_t>(*p - '0');
  const auto count = p - digits;
  if (count == 0 || count > 9 || value == 0) return false;
  if (negative) {
    if (value > i_count) return false;
    o_index = static_cast<std::uint32_t>(i_count - value);
  } else {
    o_index = value - 1;
  }
  io_pos = p;
  return true;
}

// Reads the corner at io_pos when it has the common form: one to three fields of one to nine
// digits after an optional minus, parted by '/', the second empty only before a third ("1//3"),
// with white space or i_end after it. Fills o_corner as ParseCorner would and moves io_pos past
// it; false, with neither changed, for any other form and for a field ParseCorner would note (0,
// or reaching back before the first element), which ParseCorner then reads.
[[gnu::always_inline]] inline bool ReadPlainCorner(const char*& io_pos, const char* i_end,
                                                   const std::size_t i_counts[3], Corner& o_corner) {
  const char* p = io_pos;
  Corner corner;
  if (!ReadPlainField(p, i_end, i_counts[0], corner.v)) return false;
  if (p != i_end && *p == '/') {
    ++p;
    const bool noUv = p != i_end && *p == '/';
    if (!noUv && !ReadPlainField(p, i_end, i_counts[1], corner.uv)) return false;
    if (p != i_end && *p == '/') {
      ++p;
      if (!ReadPlainField(p, i_end, i_counts[2], corner.n)) return false;
    }
  }
  if (p != i_end && !IsSpace(*p)) return false;
  io_pos = p;
  o_corner = corner;
  return true;
}

// Whether i_corner names an element beyond the i_counts of vertices, texture coordinates and
// normals read so far.
bool NamesLater(const Corner& i_corner, const std::size_t i_counts[3]) {
  return i_corner.v >= i_counts[0] || (i_corner.uv != kAbsent && i_corner.uv >= i_counts[1]) ||
         (i_corner.n != kAbsent && i_corner.n >= i_counts[2]);
}

// Puts the face whose corners follow the keyword in [i_pos, i_end), or nothing when a corner is
// invalid. A face without corners is kept, with a count of 0.
void ParseFace(const char* i_pos, const char* i_end, ParseState& io_state, Mesh& io_mesh) {
  const std::size_t first = io_state.corners.next;
  const std::size_t counts[3] = {io_state.vertices.next, io_state.uvs.next, io_state.normals.next};
  for (const char* word = SkipSpace(i_pos, i_end); word != i_end; word = SkipSpace(word, i_end)) {
    Corner corner;
    if (ReadPlainCorner(word, i_end, counts, corner)) {
      io_state.namesLater |= NamesLater(corner, counts);
      Put(io_mesh.corners, io_state.corners, corner);
      continue;
    }
    const char* wordEnd = SkipWord(word, i_end);
    if (!ParseCorner(std::string_view(word, static_cast<std::size_t>(wordEnd - word)), counts, corner,
                     io_state)) {
      // The corners put so far are put over by the next face's, or dropped when the parse ends.
      io_state.corners.next = first;
      return;
    }
    io_state.namesLater |= NamesLater(corner, counts);
    Put(io_mesh.corners, io_state.corners, corner);
    word = wordEnd;
  }
  Put(io_mesh.polycount, io_state.polycount, static_cast<std::uint32_t>(io_state.corners.next - first));
  Put(io_mesh.faceMaterials, io_state.faceMaterials, io_state.material);
  if (io_state.keepsFaceLines()) io_state.faceLines.push_back(io_state.line);
}

// Checks the positive indices of the faces against the file's final counts, keeping order: a
// face whose vertex index lies beyond them is dropped, a texture or normal index only from its
// corner. Nothing to do when every corner named elements read before it.
void CheckFacesAgainstCounts(Mesh& io_mesh, ParseState& io_state) {
  if (!io_state.namesLater) return;
  const std::size_t counts[3] = {io_mesh.vertices.size(), io_mesh.uvs.size(), io_mesh.normals.size()};
  std::size_t read = 0, write = 0, kept = 0;
  for (std::size_t face = 0; face < io_mesh.polycount.size(); ++face) {
    const std::uint32_t count = io_mesh.polycount[face];
    if (io_state.keepsFaceLines()) io_state.line = io_state.faceLines[face];
    bool valid = true;
    for (std::size_t c = read; c < read + count; ++c) {
      Corner& corner = io_mesh.corners[c];
      std::uint32_t* fields[3] = {&corner.v, &corner.uv, &corner.n};
      for (int position = 0; position < 3; ++position) {
        std::uint32_t& index = *fields[position];
        if (index == kAbsent || index < counts[position]) continue;
        const std::string number = std::to_string(std::uint64_t{index} + 1);
        if (position == 0) {
          valid = false;
          io_state.note(FindingKind::FaceLeftOut, "face left out: vertex " + number + " is not in the file");
          break;
        }
        io_state.note(FindingKind::FieldDropped, std::string(kFieldNames[position]) + " " + number +
                                                     " is not in the file: its corner is kept without one");
        index = kAbsent;
      }
      if (!valid) break;
    }
    if (valid) {
      // Until a face is dropped, every kept face is already where it belongs.
      if (kept != face) {
        std::copy(io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(read),
                  io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(read + count),
                  io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(write));
        io_mesh.polycount[kept] = count;
        io_mesh.faceMaterials[kept] = io_mesh.faceMaterials[face];
        if (io_state.keepsFaceLines()) io_state.faceLines[kept] = io_state.faceLines[face];
      }
      ++kept;
      write += count;
    }
    read += count;
  }
  io_mesh.corners.resize(write);
  io_mesh.polycount.resize(kept);
  io_mesh.faceMaterials.resize(kept);
  if (io_state.keepsFaceLines()) io_state.faceLines.resize(kept);
}

enum class Keyword { kOther, kIgnored, kVertex, kTexture, kNormal, kFace, kLibrary, kMaterial };

Keyword Classify(std::string_view i_word) {
  if (i_word == "v") return Keyword::kVertex;
  if (i_word == "vt") return Keyword::kTexture;
  if (i_word == "vn") return Keyword::kNormal;
  if (i_word == "f") return Keyword::kFace;
  if (i_word == "mtllib") return Keyword::kLibrary;
  if (i_word == "usemtl") return Keyword::kMaterial;
  // Lines that name or group what follows, or say nothing: nothing of the mesh is lost by them.
  if (i_word.empty() || i_word[0] == '#' || i_word == "o" || i_word == "g" || i_word == "s") {
    return Keyword::kIgnored;
  }
  return Keyword::kOther;
}

// The index of i_name in io_names, which gains it when new.
std::uint32_t IndexOf(std::vector<std::string>& io_names, std::string_view i_name) {
  for (std::size_t i = 0; i < io_names.size(); ++i) {
    if (io_names[i] == i_name) return static_cast<std::uint32_t>(i);
  }
  io_names.emplace_back(i_name);
  return static_cast<std::uint32_t>(io_names.size() - 1);
}

// Reads the numbers of a v, vt or vn line into o_values, noting a line that has too few.
void ReadNumbers(const char* i_keyword, const char* i_pos, const char* i_end, float* o_values, int i_count,
                 ParseState& io_state) {
  const int read = ReadComponents(i_pos, i_end, o_values, i_count);
  if (read == i_count || !io_state.findings) return;
  const char* rest = i_pos;
  for (int i = 0; i < read; ++i) {
    float ignored = 0;
    ReadFloat(rest, i_end, ignored);
  }
  rest = SkipSpace(rest, i_end);
  const std::string what =
      rest == i_end
          ? std::string("is missing")
          : Quote(std::string_view(rest, static_cast<std::size_t>(i_end - rest))) + " is not a finite number";
  io_state.note(i_keyword[1] == '\0' ? FindingKind::PositionIncomplete : FindingKind::AttributeIncomplete,
                std::string(i_keyword) + " takes " + std::to_string(i_count) + " numbers; number " +
                    std::to_string(read + 1) + " " + what + ": it reads as 0, with the rest of the line");
}

// The keyword of a line that starts with "v ", "vt ", "vn " or "f ", as nearly every line does,
// without looking further: o_rest is where the keyword ends. False for any other line.
[[gnu::always_inline]] inline bool QuickKeyword(const char* i_pos, const char* i_end, Keyword& o_keyword, const char*& o_rest) {
  if (i_end - i_pos < 3) return false;
  if (i_pos[1] == ' ' && (i_pos[0] == 'v' || i_pos[0] == 'f')) {
    o_keyword = i_pos[0] == 'v' ? Keyword::kVertex : Keyword::kFace;
    o_rest = i_pos + 1;
    return true;
  }
  if (i_pos[0] == 'v' && i_pos[2] == ' ' && (i_pos[1] == 't' || i_pos[1] == 'n')) {
    o_keyword = i_pos[1] == 't' ? Keyword::kTexture : Keyword::kNormal;
    o_rest = i_pos + 2;
    return true;
  }
  return false;
}

// Handles one line, without its line feed.
void ParseLine(const char* i_pos, const char* i_end, ParseState& io_state, Mesh& io_mesh) {
  Keyword kind = Keyword::kOther;
  const char* rest = nullptr;
  std::string_view keyword;
  if (!QuickKeyword(i_pos, i_end, kind, rest)) {
    const char* word = SkipSpace(i_pos, i_end);
    rest = SkipWord(word, i_end);
    keyword = std::string_view(word, static_cast<std::size_t>(rest - word));
    kind = Classify(keyword);
  }
  switch (kind) {
    case Keyword::kVertex: {
      float xyz[3] = {0, 0, 0};
      ReadNumbers("v", rest, i_end, xyz, 3, io_state);
      Put(io_mesh.vertices, io_state.vertices, VectorF(xyz[0], xyz[1], xyz[2]));
      if (io_state.lines) io_state.lines->vertices.push_back(io_state.line);
      break;
    }
    case Keyword::kTexture: {
      float uv[2] = {0, 0};
      ReadNumbers("vt", rest, i_end, uv, 2, io_state);
      Put(io_mesh.uvs, io_state.uvs, UV(uv[0], uv[1]));
      break;
    }
    case Keyword::kNormal: {
      float xyz[3] = {0, 0, 0};
      ReadNumbers("vn", rest, i_end, xyz, 3, io_state);
      Put(io_mesh.normals, io_state.normals, VectorF(xyz[0], xyz[1], xyz[2]));
      break;
    }
    case Keyword::kFace:
      ParseFace(rest, i_end, io_state, io_mesh);
      break;
    case Keyword::kLibrary:
      for (const char* name = SkipSpace(rest, i_end); name != i_end; name = SkipSpace(name, i_end)) {
        const char* nameEnd = SkipWord(name, i_end);
        IndexOf(io_state.libraries, std::string_view(name, static_cast<std::size_t>(nameEnd - name)));
        name = nameEnd;
      }
      break;
    case Keyword::kMaterial: {
      if (io_state.firstMaterialFace == ParseState::kNoFace) io_state.firstMaterialFace = io_state.faceMaterials.next;
      const char* first = SkipSpace(rest, i_end);
      const char* last = i_end;
      while (last != first && IsSpace(last[-1])) --last;
      io_state.material =
          first == last
              ? kNoMaterial
              : IndexOf(io_state.materials, std::string_view(first, static_cast<std::size_t>(last - first)));
      break;
    }
    case Keyword::kIgnored:
      break;
    case Keyword::kOther:
      io_state.note(FindingKind::StatementIgnored,
                    "statement " + Quote(keyword) + " is not read: the line is left out");
      break;
  }
}

void AppendFloat(std::string& io_text, float i_value) {
  char digits[Ostrel::Format::kMaxFloatChars];
  io_text.append(digits, Ostrel::Format::AppendFloat(digits, i_value));
}

void AppendUnsigned(std::string& io_text, std::uint64_t i_value) {
  char digits[Ostrel::Format::kMaxUnsignedChars];
  io_text.append(digits, Ostrel::Format::AppendUnsigned(digits, i_value));
}

void AppendVectorLine(std::string& io_text, const char* i_keyword, const VectorF& i_vector) {
  io_text += i_keyword;
  AppendFloat(io_text, i_vector.x);
  io_text += ' ';
  AppendFloat(io_text, i_vector.y);
  io_text += ' ';
  AppendFloat(io_text, i_vector.z);
  io_text += '\n';
}

void AppendCorner(std::string& io_text, std::size_t i_number) {
  AppendUnsigned(io_text, i_number);
  io_text += "//";
  AppendUnsigned(io_text, i_number);
}

// A unit file is read and parsed this many bytes at a time.
inline constexpr std::size_t kReadBlockBytes = std::size_t{1} << 20;

// Text is collected in blocks of about this many bytes (file units: bytes) before each write.
inline constexpr std::size_t kWriteBlock = 1 << 16;

void FlushIfFull(std::ofstream& io_file, std::string& io_text) {
  if (io_text.size() < kWriteBlock) return;
  io_file.write(io_text.data(), static_cast<std::streamsize>(io_text.size()));
  io_text.clear();
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

namespace detail {

// Some editors start UTF-8 files with a byte-order mark; it is no part of the first keyword.
std::string_view WithoutByteOrderMark(std::string_view i_text) {
  return i_text.substr(0, 3) == "\xEF\xBB\xBF" ? i_text.substr(3) : i_text;
}

// Parses the lines of i_text, which begins a line, into io_mesh; the first (io_state.line 0) skips
// a byte-order mark.
void ParseLines(std::string_view i_text, ParseState& io_state, Mesh& io_mesh) {
  if (io_state.line == 0) i_text = WithoutByteOrderMark(i_text);
  const char* pos = i_text.data();
  const char* const end = pos + i_text.size();
  // Lines are searched for a NUL byte only when the text holds one.
  const bool nuls = std::memchr(pos, '\0', static_cast<std::size_t>(end - pos)) != nullptr;
  while (pos < end) {
    ++io_state.line;
    const char* lineEnd =
        static_cast<const char*>(std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
    const char* next = lineEnd ? lineEnd + 1 : end;
    if (!lineEnd) lineEnd = end;
    const char* nul =
        nuls ? static_cast<const char*>(std::memchr(pos, '\0', static_cast<std::size_t>(lineEnd - pos))) : nullptr;
    if (nul) io_state.note(FindingKind::LineCut, "a NUL byte ends the line: what follows it is left out");
    ParseLine(pos, nul ? nul : lineEnd, io_state, io_mesh);
    pos = next;
  }
}

// Ends the parse of a text read whole: drops the corners of a last face left out and gives the
// mesh the names read.
void FinishParse(ParseState& io_state, Mesh& io_mesh) {
  io_mesh.corners.resize(io_state.corners.next);
  io_mesh.libraries = std::move(io_state.libraries);
  io_mesh.materials = std::move(io_state.materials);
}

// How many elements of each kind a text holds, near enough: a line counts by its keyword alone,
// and a face's corners are its words, whether or not they are good.
struct MeshCounts {
  std::size_t vertices = 0;
  std::size_t uvs = 0;
  std::size_t normals = 0;
  std::size_t faces = 0;
  std::size_t corners = 0;
  std::size_t lines = 0;
};

// Counts the lines of i_text, which begins a line, by the keywords the parse reads them by;
// i_start says it begins the file, whose byte-order mark the parse skips.
void CountLines(std::string_view i_text, bool i_start, MeshCounts& io_counts) {
  if (i_start) i_text = WithoutByteOrderMark(i_text);
  const char* pos = i_text.data();
  const char* const end = pos + i_text.size();
  while (pos < end) {
    ++io_counts.lines;
    const char* lineEnd =
        static_cast<const char*>(std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
    if (!lineEnd) lineEnd = end;
    Keyword kind = Keyword::kOther;
    const char* rest = nullptr;
    if (!QuickKeyword(pos, lineEnd, kind, rest)) {
      const char* word = SkipSpace(pos, lineEnd);
      rest = SkipWord(word, lineEnd);
      kind = Classify(std::string_view(word, static_cast<std::size_t>(rest - word)));
    }
    io_counts.vertices += kind == Keyword::kVertex ? 1 : 0;
    io_counts.uvs += kind == Keyword::kTexture ? 1 : 0;
    io_counts.normals += kind == Keyword::kNormal ? 1 : 0;
    if (kind == Keyword::kFace) {
      ++io_counts.faces;
      for (const char* corner = SkipSpace(rest, lineEnd); corner != lineEnd;
           corner = SkipSpace(SkipWord(corner, lineEnd), lineEnd)) {
        ++io_counts.corners;
      }
    }
    pos = lineEnd + 1;
  }
}

// Makes room in io_mesh's arrays for what i_counts says is to come. Growing an array of millions
// of elements one doubling at a time would copy it and touch fresh pages again at each step.
// Ordinary pages, not huge ones: a virtual machine that hands free memory back to its host gets
// each fresh huge page back 4 KiB at a time, and a dense kit's run took half as long again.
void Reserve(const MeshCounts& i_counts, Mesh& io_mesh) {
  io_mesh.vertices.reserve(i_counts.vertices);
  io_mesh.uvs.reserve(i_counts.uvs);
  io_mesh.normals.reserve(i_counts.normals);
  io_mesh.corners.reserve(i_counts.corners);
  io_mesh.polycount.reserve(i_counts.faces);
  io_mesh.faceMaterials.reserve(i_counts.faces);
}

// Makes io_mesh's arrays as long as i_counts says, each element a zero, so that two threads can
// put elements at once, each in its own room, which push_back cannot; on two threads, as the
// first touch of their fresh pages is most of what it costs.
void MakeSizes(const MeshCounts& i_counts, Mesh& io_mesh) {
  Ostrel::Threads::RunParts(2, [&](std::size_t i_part) {
    if (i_part == 0) {
      io_mesh.vertices.resize(i_counts.vertices);
      io_mesh.uvs.resize(i_counts.uvs);
      io_mesh.polycount.resize(i_counts.faces);
      io_mesh.faceMaterials.resize(i_counts.faces);
    } else {
      io_mesh.corners.resize(i_counts.corners);
      io_mesh.normals.resize(i_counts.normals);
    }
  });
}

MeshCounts Sum(const MeshCounts& i_a, const MeshCounts& i_b) {
  return {i_a.vertices + i_b.vertices, i_a.uvs + i_b.uvs, i_a.normals + i_b.normals,
          i_a.faces + i_b.faces,       i_a.corners + i_b.corners, i_a.lines + i_b.lines};
}

// Gives io_state the room of the arrays from the elements i_from counts to those i_to counts,
// which it fills without growing them.
void GiveRoom(const MeshCounts& i_from, const MeshCounts& i_to, ParseState& io_state) {
  const auto room = [](std::size_t i_begin, std::size_t i_end) { return Slots{i_begin, i_end, false}; };
  io_state.vertices = room(i_from.vertices, i_to.vertices);
  io_state.uvs = room(i_from.uvs, i_to.uvs);
  io_state.normals = room(i_from.normals, i_to.normals);
  io_state.corners = room(i_from.corners, i_to.corners);
  io_state.polycount = room(i_from.faces, i_to.faces);
  io_state.faceMaterials = room(i_from.faces, i_to.faces);
}

// One part of a file read in parts: bytes [begin, end), what they count and how they parse.
struct FilePart {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  MeshCounts counts;
  ParseState state;
  bool read = false;  // whether the reading reached end
};

// The first line start at or after i_at in the open file of i_size bytes, past a line feed; 0
// when the lines from i_at on are one.
std::uint64_t LineStartFrom(int i_fd, std::uint64_t i_at, std::uint64_t i_size) {
  char window[1 << 12];
  while (i_at < i_size) {
    const ssize_t got = ::pread(i_fd, window, sizeof window, static_cast<off_t>(i_at));
    if (got <= 0) return 0;
    const void* feed = std::memchr(window, '\n', static_cast<std::size_t>(got));
    if (feed) return i_at + static_cast<std::uint64_t>(static_cast<const char*>(feed) - window) + 1;
    i_at += static_cast<std::uint64_t>(got);
  }
  return 0;
}

// Whether the parts' elements, each put in its own room, are the file's: the first part put as
// many vertices, texture coordinates and normals as it counted, so that the second's relative
// indices reached back to the right ones, and neither part had more of anything than it counted
// (a NUL byte ends a line for the parse only).
bool FitTheirRoom(const ParseState& i_first, const ParseState& i_second) {
  for (const ParseState* state : {&i_first, &i_second}) {
    for (const Slots* slots : {&state->vertices, &state->uvs, &state->normals, &state->corners, &state->polycount,
                               &state->faceMaterials}) {
      if (slots->next > slots->end) return false;
    }
  }
  return i_first.vertices.next == i_first.vertices.end && i_first.uvs.next == i_first.uvs.end &&
         i_first.normals.next == i_first.normals.end;
}

// Moves the second part's elements of io_array to just after the first's and drops the room
// left over: a face line is counted whether or not it is good, so a part may fill less than its
// room.
template <typename T>
void CloseUp(std::vector<T>& io_array, const Slots& i_first, const Slots& i_second) {
  const std::size_t count = i_second.next - i_first.end;
  if (i_first.next != i_first.end) {
    const auto from = io_array.begin() + static_cast<std::ptrdiff_t>(i_first.end);
    std::copy(from, from + static_cast<std::ptrdiff_t>(count), io_array.begin() + static_cast<std::ptrdiff_t>(i_first.next));
  }
  io_array.resize(i_first.next + count);
}

// Makes the two parts' elements in io_mesh one file's, as if the second's text had been read
// after the first's: its libraries and materials join the first's lists, its faces before its
// first usemtl line take the material the first part ended with.
void Join(ParseState& io_first, const ParseState& i_second, Mesh& io_mesh) {
  io_mesh.libraries = std::move(io_first.libraries);
  io_mesh.materials = std::move(io_first.materials);
  for (const std::string& name : i_second.libraries) IndexOf(io_mesh.libraries, name);
  std::vector<std::uint32_t> materials;
  for (const std::string& name : i_second.materials) materials.push_back(IndexOf(io_mesh.materials, name));
  // Without a usemtl line in the second part or a material at the end of the first, every face of
  // the second part keeps kNoMaterial.
  if (i_second.firstMaterialFace != ParseState::kNoFace || io_first.material != kNoMaterial) {
    for (std::size_t face = io_first.faceMaterials.end; face < i_second.faceMaterials.next; ++face) {
      std::uint32_t& material = io_mesh.faceMaterials[face];
      if (face < i_second.firstMaterialFace) {
        material = io_first.material;
      } else if (material != kNoMaterial) {
        material = materials[material];
      }
    }
  }
  io_first.namesLater |= i_second.namesLater;
  CloseUp(io_mesh.vertices, io_first.vertices, i_second.vertices);
  CloseUp(io_mesh.uvs, io_first.uvs, i_second.uvs);
  CloseUp(io_mesh.normals, io_first.normals, i_second.normals);
  CloseUp(io_mesh.corners, io_first.corners, i_second.corners);
  CloseUp(io_mesh.polycount, io_first.polycount, i_second.polycount);
  CloseUp(io_mesh.faceMaterials, io_first.faceMaterials, i_second.faceMaterials);
}

// Reads the open file i_fd of i_size bytes in two parts on two threads, cut at a line start: each
// part is counted, then the arrays are made at the size of both counts, and each part parses
// into its room of them, the second knowing what the first counted. False, with o_mesh
// unchanged, when the file holds no cut, cannot be read to its end, or its parts do not fit the
// room their counts gave them.
bool ParseInTwoParts(int i_fd, std::uint64_t i_size, Mesh& o_mesh, ParseState& o_state) {
  const std::uint64_t cut = LineStartFrom(i_fd, i_size / 2, i_size);
  if (cut == 0 || cut >= i_size) return false;
  FilePart parts[2];
  parts[0].end = parts[1].begin = cut;
  parts[1].end = i_size;
  Ostrel::Threads::RunParts(2, [&](std::size_t i_part) {
    FilePart& part = parts[i_part];
    part.read = Ostrel::FileSystem::ReadLinesAt(i_fd, part.begin, part.end, kReadBlockBytes, [&](std::string_view i_lines) {
      CountLines(i_lines, part.begin == 0 && part.counts.lines == 0, part.counts);
    });
  });
  if (!parts[0].read || !parts[1].read) return false;
  const MeshCounts& first = parts[0].counts;
  const MeshCounts all = Sum(first, parts[1].counts);
  Mesh mesh;
  MakeSizes(all, mesh);
  GiveRoom(MeshCounts{}, first, parts[0].state);
  GiveRoom(first, all, parts[1].state);
  parts[1].state.line = first.lines;
  Ostrel::Threads::RunParts(2, [&](std::size_t i_part) {
    FilePart& part = parts[i_part];
    part.read = Ostrel::FileSystem::ReadLinesAt(i_fd, part.begin, part.end, kReadBlockBytes,
                                                [&](std::string_view i_lines) { ParseLines(i_lines, part.state, mesh); });
  });
  if (!parts[0].read || !parts[1].read || !FitTheirRoom(parts[0].state, parts[1].state)) return false;
  Join(parts[0].state, parts[1].state, mesh);
  o_mesh = std::move(mesh);
  o_state = std::move(parts[0].state);
  return true;
}

}  // namespace detail

void Parse(std::string_view i_text, Mesh& o_mesh, std::vector<Finding>* o_findings, SourceLines* o_lines) {
  o_mesh = Mesh{};
  if (o_findings) o_findings->clear();
  if (o_lines) *o_lines = SourceLines{};
  detail::ParseState state;
  state.findings = o_findings;
  state.lines = o_lines;
  detail::ParseLines(i_text, state, o_mesh);
  detail::FinishParse(state, o_mesh);
  detail::CheckFacesAgainstCounts(o_mesh, state);
  if (o_lines) o_lines->faces = std::move(state.faceLines);
}

Ostrel::FileSystem::ReadResult LoadMesh(const std::string& i_filename, Mesh& o_mesh) {
  return detail::LoadMesh(i_filename, o_mesh, detail::kTwoPartBytes);
}

namespace detail {

Ostrel::FileSystem::ReadResult LoadMesh(const std::string& i_filename, Mesh& o_mesh, std::uint64_t i_twoPartBytes) {
  o_mesh = Mesh{};
  struct stat status;
  const bool sized = ::stat(i_filename.c_str(), &status) == 0;
  const auto bytes = sized ? static_cast<std::uint64_t>(status.st_size) : 0;
  if (sized && bytes >= i_twoPartBytes) {
    int fd = -1;
    std::uint64_t size = 0;
    const Ostrel::FileSystem::ReadResult opened = Ostrel::FileSystem::detail::OpenToRead(i_filename, kMaxFileBytes, fd, size);
    if (opened.status != Ostrel::FileSystem::ReadStatus::Ok) return opened;
    ParseState state;
    const bool parsed = ParseInTwoParts(fd, size, o_mesh, state);
    ::close(fd);
    if (parsed) {
      CheckFacesAgainstCounts(o_mesh, state);
      return opened;
    }
    // A file without a cut, one whose parts did not parse to what they counted (a NUL byte in a
    // line), or one that changed while read, is read again whole.
    o_mesh = Mesh{};
  }
  // A file of more than one block is counted first, in a pass of its own, so that its arrays are
  // made once at their size; a small file's arrays grow as it is read, as cheaply.
  if (sized && bytes > kReadBlockBytes) {
    MeshCounts counts;
    const Ostrel::FileSystem::ReadResult counted = Ostrel::FileSystem::ReadLines(
        i_filename, kMaxFileBytes, kReadBlockBytes,
        [&](std::string_view i_lines) { CountLines(i_lines, counts.lines == 0, counts); });
    if (counted.status == Ostrel::FileSystem::ReadStatus::Ok) Reserve(counts, o_mesh);
  }
  // The text is parsed a block at a time, as it is read: a large unit file's text and its mesh
  // are never held at once.
  ParseState state;
  const Ostrel::FileSystem::ReadResult result = Ostrel::FileSystem::ReadLines(
      i_filename, kMaxFileBytes, kReadBlockBytes,
      [&](std::string_view i_lines) { ParseLines(i_lines, state, o_mesh); });
  if (result.status != Ostrel::FileSystem::ReadStatus::Ok) {
    o_mesh = Mesh{};
    return result;
  }
  FinishParse(state, o_mesh);
  CheckFacesAgainstCounts(o_mesh, state);
  return result;
}

}  // namespace detail

bool ReadMesh(const std::string& i_filename, Mesh& o_mesh) {
  return LoadMesh(i_filename, o_mesh).status == Ostrel::FileSystem::ReadStatus::Ok;
}

void AppendMesh(const Mesh& i_mesh, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
                std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices,
                std::vector<std::uint32_t>& nindices, std::vector<std::uint32_t>& uvindices,
                std::vector<std::uint32_t>& polycount) {
  vertices.insert(vertices.end(), i_mesh.vertices.begin(), i_mesh.vertices.end());
  normals.insert(normals.end(), i_mesh.normals.begin(), i_mesh.normals.end());
  uvs.insert(uvs.end(), i_mesh.uvs.begin(), i_mesh.uvs.end());
  for (const Corner& corner : i_mesh.corners) {
    vindices.push_back(corner.v);
    if (corner.uv != kAbsent) uvindices.push_back(corner.uv);
    if (corner.n != kAbsent) nindices.push_back(corner.n);
  }
  polycount.insert(polycount.end(), i_mesh.polycount.begin(), i_mesh.polycount.end());
}

bool Read(const std::string& filename, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
          std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices, std::vector<std::uint32_t>& nindices,
          std::vector<std::uint32_t>& uvindices, std::vector<std::uint32_t>& polycount) {
  Mesh mesh;
  if (!ReadMesh(filename, mesh)) return false;
  AppendMesh(mesh, vertices, normals, uvs, vindices, nindices, uvindices, polycount);
  return true;
}

void Write(const std::string& outputfilename, const std::vector<VectorF>& vertices,
           const std::vector<VectorF>& normals, const std::vector<Triangle>& triangles) {
  std::ofstream objout(outputfilename, std::ios::binary | std::ios::trunc);
  if (!objout.is_open()) return;
  std::string text = "# ";
  detail::AppendUnsigned(text, vertices.size());
  text += " vertices\n# ";
  detail::AppendUnsigned(text, normals.size());
  text += " vertex normals\n";
  for (const VectorF& vertex : vertices) {
    detail::AppendVectorLine(text, "v ", vertex);
    detail::FlushIfFull(objout, text);
  }
  for (const VectorF& normal : normals) {
    detail::AppendVectorLine(text, "vn ", normal);
    detail::FlushIfFull(objout, text);
  }
  text += "s 1\n";
  for (const Triangle& triangle : triangles) {
    text += "f ";
    detail::AppendCorner(text, triangle.v1);
    text += ' ';
    detail::AppendCorner(text, triangle.v2);
    text += ' ';
    detail::AppendCorner(text, triangle.v3);
    text += '\n';
    detail::FlushIfFull(objout, text);
  }
  objout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace Obj
