#pragma once
// Wavefront OBJ files: the reader that loads unit meshes and the library's general writer.
//
// The reader takes the lines v, vt, vn and f and ignores every other kind of line. It parses
// from a string (Parse), so that tests and fuzzers need no disk; ReadMesh and Read are thin
// wrappers that load a file first. Every index it stores names an element of the same file.

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
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/NumberFormat.h>

namespace Obj {

using Ostrel::Triangle;
using Ostrel::UV;
using Ostrel::VectorF;

// Unit files larger than this (file units: bytes) are refused unread: a unit mesh is small, and
// reading a file of gigabytes would only exhaust memory.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

// Marks a corner field that the file does not give (a corner written "1//3" has no texture).
inline constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;

// One face corner: 0-based indices into its own file's vertices, uvs and normals.
struct Corner {
  std::uint32_t v = kAbsent;   // always present in a parsed mesh
  std::uint32_t uv = kAbsent;  // kAbsent when the corner has no texture field
  std::uint32_t n = kAbsent;   // kAbsent when the corner has no normal field
};

// Marks a face that follows no usemtl line (or an empty one): it has no material.
inline constexpr std::uint32_t kNoMaterial = 0xFFFFFFFFu;

// One OBJ file with its corners kept whole, so that mixed corner forms stay aligned.
struct Mesh {
  std::vector<VectorF> vertices;
  std::vector<VectorF> normals;
  std::vector<UV> uvs;
  std::vector<Corner> corners;           // all faces' corners, face after face
  std::vector<std::uint32_t> polycount;  // corner count of each face
  // Materials: the file's material libraries (mtllib, as written, each once), the names its
  // usemtl lines give (each once, in order of first use), and for each face the index into
  // materials of the last usemtl before it, or kNoMaterial.
  std::vector<std::string> libraries;
  std::vector<std::string> materials;
  std::vector<std::uint32_t> faceMaterials;  // one per entry of polycount
};

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

// Replaces o_mesh with the mesh in i_text. A UTF-8 byte-order mark at the start is skipped. Lines
// end at a line feed (a carriage return before it is white space); a NUL byte ends its line.
// "mtllib" names material libraries (separated by white space); "usemtl" gives the material of
// the faces after it (the rest of its line, trimmed; an empty name means none).
// Numbers read as the classic-locale stream reads floats, whatever the process locale; a
// component that fails (or is not a finite float) is 0, and so is every later one of its line.
// A face is left out whole when any of its corners has no vertex field, or an index field that is
// 0, has no digits, or names an element the file lacks; a negative index counts back from the
// last element of its kind read so far.
void Parse(std::string_view i_text, Mesh& o_mesh);

// Replaces o_mesh with the mesh of the file, and says why there is none: the path cannot be
// opened as a regular file (missing, unreadable, a folder, a FIFO or a device) or the file holds
// more than kMaxFileBytes. o_mesh is then empty.
Ostrel::FileSystem::ReadResult LoadMesh(const std::string& i_filename, Mesh& o_mesh);

// LoadMesh, true when the file was read.
bool ReadMesh(const std::string& i_filename, Mesh& o_mesh);

// Appends a parsed mesh to the seven arrays, indices 0-based from the mesh's own first element.
// Each corner appends only the fields it carries; polycount gets one entry per face.
void AppendMesh(const Mesh& i_mesh, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
                std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices,
                std::vector<std::uint32_t>& nindices, std::vector<std::uint32_t>& uvindices,
                std::vector<std::uint32_t>& polycount);

// Appends the file's mesh to the seven arrays as AppendMesh does. False, with every array
// unchanged, when ReadMesh refuses the file.
bool Read(const std::string& filename, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
          std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices, std::vector<std::uint32_t>& nindices,
          std::vector<std::uint32_t>& uvindices, std::vector<std::uint32_t>& polycount);

// Writes a triangle mesh with truncation: two count comments, the v lines, the vn lines, "s 1"
// and one "f a//a b//b c//c" line per triangle, the numbers written as given (1-based for a
// valid file). A file that cannot be opened gets nothing and nothing is reported.
void Write(const std::string& outputfilename, const std::vector<VectorF>& vertices,
           const std::vector<VectorF>& normals, const std::vector<Triangle>& triangles);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// White space as the classic locale classifies it: blank, tab, line feed, vertical tab, form
// feed and carriage return.
inline bool IsSpace(char i_c) { return i_c == ' ' || (i_c >= '\t' && i_c <= '\r'); }
inline bool IsDigit(char i_c) { return i_c >= '0' && i_c <= '9'; }

inline const char* SkipSpace(const char* i_pos, const char* i_end) {
  while (i_pos != i_end && IsSpace(*i_pos)) ++i_pos;
  return i_pos;
}

inline const char* SkipWord(const char* i_pos, const char* i_end) {
  while (i_pos != i_end && !IsSpace(*i_pos)) ++i_pos;
  return i_pos;
}

// For a number text that std::from_chars found out of range: true when it is too large (it
// overflows), false when it is too small (it underflows to zero). Only the decimal exponent of
// the first significant digit matters, since out-of-range values lie far from 1.
inline bool IsHuge(const char* i_first, const char* i_last) {
  constexpr long long kCap = 1'000'000'000'000LL;  // keeps the sums below from overflowing
  long long intDigits = 0;                         // significant digits before the point
  long long fracZeros = 0;                         // zeros after the point before the first significant digit
  bool significant = false;
  bool fraction = false;
  const char* p = i_first;
  for (; p != i_last && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') fraction = true;
    if (!IsDigit(*p)) continue;
    if (*p != '0') significant = true;
    if (!significant)
      fracZeros += fraction ? 1 : 0;
    else if (!fraction)
      intDigits = std::min(intDigits + 1, kCap);
  }
  long long exponent = 0;
  bool negativeExponent = false;
  if (p != i_last) ++p;
  if (p != i_last && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
  for (; p != i_last; ++p) exponent = std::min(exponent * 10 + (*p - '0'), kCap);
  const long long leading = intDigits > 0 ? intDigits - 1 : -std::min(fracZeros + 1, kCap);
  return leading + (negativeExponent ? -exponent : exponent) >= 0;
}

// Reads one float as classic-locale formatted stream extraction does: skips white space, takes
// an optional sign, digits with at most one point, and an exponent (e or E, an optional sign,
// digits) once a digit has been seen; the taken text must then be a number as a whole. So "1,5"
// reads 1 and leaves ",5", "1e" fails, "+.5" reads 0.5. A value beyond the float range fails;
// one below it reads as a zero of its sign. io_pos moves past the taken text; o_value is written
// only on success.
inline bool ReadFloat(const char*& io_pos, const char* i_end, float& o_value) {
  const char* p = SkipSpace(io_pos, i_end);
  const char* number = p;  // what std::from_chars gets: it takes "-" but not "+"
  bool negative = false;
  if (p != i_end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
    if (!negative) number = p;
  }
  bool mantissa = false, point = false, exponent = false;
  for (; p != i_end; ++p) {
    const char c = *p;
    if (IsDigit(c)) {
      mantissa = true;
    } else if (c == '.' && !point && !exponent) {
      point = true;
    } else if ((c == 'e' || c == 'E') && mantissa && !exponent) {
      exponent = true;
      if (p + 1 != i_end && (p[1] == '+' || p[1] == '-')) ++p;
    } else {
      break;
    }
  }
  io_pos = p;
  float value = 0;
  const std::from_chars_result result = std::from_chars(number, p, value, std::chars_format::general);
  if (result.ptr != p) return false;
  if (result.ec == std::errc::result_out_of_range) {
    if (IsHuge(number, p)) return false;
    value = negative ? -0.0f : 0.0f;
  } else if (result.ec != std::errc()) {
    return false;
  }
  o_value = value;
  return true;
}

// Reads up to i_count floats from the rest of a line into o_values (which hold 0); the first
// failure leaves it and every later component as they are.
inline void ReadComponents(const char* i_pos, const char* i_end, float* o_values, int i_count) {
  for (int i = 0; i < i_count; ++i) {
    if (!ReadFloat(i_pos, i_end, o_values[i])) return;
  }
}

// An index field read as atoi reads it (optional sign, digits up to the first other character,
// 0 without digits), but clamped to the range of int instead of overflowing.
inline int ToInt(std::string_view i_field) {
  std::size_t i = 0;
  bool negative = false;
  if (i < i_field.size() && (i_field[i] == '+' || i_field[i] == '-')) negative = i_field[i++] == '-';
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  for (; i < i_field.size() && IsDigit(i_field[i]); ++i) {
    magnitude = std::min(magnitude * 10 + (i_field[i] - '0'), limit);
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

// Turns one index field into a 0-based index. An empty field is absent (kAbsent). A positive
// field n gives n - 1, to be checked once the file's final counts are known; a negative one is
// resolved against i_countSoFar, the elements of its kind read before this face. False for a
// field of 0, without digits, or reaching back before the first element.
inline bool ResolveIndex(std::string_view i_field, std::size_t i_countSoFar, std::uint32_t& o_index) {
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

// Parses one corner "a", "a/b", "a//c" or "a/b/c" (fields past the third are ignored). False
// when the corner has no vertex or a field that cannot name an element.
inline bool ParseCorner(std::string_view i_word, const Mesh& i_mesh, Corner& o_corner) {
  const std::size_t counts[3] = {i_mesh.vertices.size(), i_mesh.uvs.size(), i_mesh.normals.size()};
  std::uint32_t* fields[3] = {&o_corner.v, &o_corner.uv, &o_corner.n};
  for (int position = 0; position < 3 && !i_word.empty(); ++position) {
    const std::size_t slash = i_word.find('/');
    const std::string_view field = i_word.substr(0, slash);
    if (!ResolveIndex(field, counts[position], *fields[position])) return false;
    i_word = slash == std::string_view::npos ? std::string_view() : i_word.substr(slash + 1);
  }
  return o_corner.v != kAbsent;
}

// Appends the face whose corners follow the keyword in [i_pos, i_end), or nothing when a corner
// is invalid. A face without corners is kept, with a count of 0.
inline void ParseFace(const char* i_pos, const char* i_end, std::uint32_t i_material, Mesh& io_mesh) {
  const std::size_t first = io_mesh.corners.size();
  for (const char* word = SkipSpace(i_pos, i_end); word != i_end; word = SkipSpace(word, i_end)) {
    const char* wordEnd = SkipWord(word, i_end);
    Corner corner;
    if (!ParseCorner(std::string_view(word, static_cast<std::size_t>(wordEnd - word)), io_mesh, corner)) {
      io_mesh.corners.resize(first);
      return;
    }
    io_mesh.corners.push_back(corner);
    word = wordEnd;
  }
  io_mesh.polycount.push_back(static_cast<std::uint32_t>(io_mesh.corners.size() - first));
  io_mesh.faceMaterials.push_back(i_material);
}

inline bool InRange(std::uint32_t i_index, std::size_t i_count) {
  return i_index == kAbsent || i_index < i_count;
}

// Drops the faces whose positive indices lie beyond the file's final counts, keeping order.
inline void DropFacesOutOfRange(Mesh& io_mesh) {
  std::size_t read = 0, write = 0, kept = 0;
  for (std::size_t face = 0; face < io_mesh.polycount.size(); ++face) {
    const std::uint32_t count = io_mesh.polycount[face];
    const auto begin = io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(read);
    const bool valid = std::all_of(begin, begin + count, [&io_mesh](const Corner& c) {
      return c.v < io_mesh.vertices.size() && InRange(c.uv, io_mesh.uvs.size()) &&
             InRange(c.n, io_mesh.normals.size());
    });
    if (valid) {
      std::copy(begin, begin + count, io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(write));
      io_mesh.polycount[kept] = count;
      io_mesh.faceMaterials[kept] = io_mesh.faceMaterials[face];
      ++kept;
      write += count;
    }
    read += count;
  }
  io_mesh.corners.resize(write);
  io_mesh.polycount.resize(kept);
  io_mesh.faceMaterials.resize(kept);
}

enum class Keyword { kOther, kVertex, kTexture, kNormal, kFace, kLibrary, kMaterial };

inline Keyword Classify(std::string_view i_word) {
  if (i_word == "v") return Keyword::kVertex;
  if (i_word == "vt") return Keyword::kTexture;
  if (i_word == "vn") return Keyword::kNormal;
  if (i_word == "f") return Keyword::kFace;
  if (i_word == "mtllib") return Keyword::kLibrary;
  if (i_word == "usemtl") return Keyword::kMaterial;
  return Keyword::kOther;
}

// The index of i_name in io_names, which gains it when new.
inline std::uint32_t IndexOf(std::vector<std::string>& io_names, std::string_view i_name) {
  for (std::size_t i = 0; i < io_names.size(); ++i) {
    if (io_names[i] == i_name) return static_cast<std::uint32_t>(i);
  }
  io_names.emplace_back(i_name);
  return static_cast<std::uint32_t>(io_names.size() - 1);
}

// What a line leaves for the lines after it.
struct ParseState {
  std::uint32_t material = kNoMaterial;  // the material of the faces that follow
};

// Handles one line, without its line feed.
inline void ParseLine(const char* i_pos, const char* i_end, ParseState& io_state, Mesh& io_mesh) {
  const char* word = SkipSpace(i_pos, i_end);
  const char* rest = SkipWord(word, i_end);
  switch (Classify(std::string_view(word, static_cast<std::size_t>(rest - word)))) {
    case Keyword::kVertex: {
      float xyz[3] = {0, 0, 0};
      ReadComponents(rest, i_end, xyz, 3);
      io_mesh.vertices.emplace_back(xyz[0], xyz[1], xyz[2]);
      break;
    }
    case Keyword::kTexture: {
      float uv[2] = {0, 0};
      ReadComponents(rest, i_end, uv, 2);
      io_mesh.uvs.emplace_back(uv[0], uv[1]);
      break;
    }
    case Keyword::kNormal: {
      float xyz[3] = {0, 0, 0};
      ReadComponents(rest, i_end, xyz, 3);
      io_mesh.normals.emplace_back(xyz[0], xyz[1], xyz[2]);
      break;
    }
    case Keyword::kFace:
      ParseFace(rest, i_end, io_state.material, io_mesh);
      break;
    case Keyword::kLibrary:
      for (const char* name = SkipSpace(rest, i_end); name != i_end; name = SkipSpace(name, i_end)) {
        const char* nameEnd = SkipWord(name, i_end);
        IndexOf(io_mesh.libraries, std::string_view(name, static_cast<std::size_t>(nameEnd - name)));
        name = nameEnd;
      }
      break;
    case Keyword::kMaterial: {
      const char* first = SkipSpace(rest, i_end);
      const char* last = i_end;
      while (last != first && IsSpace(last[-1])) --last;
      io_state.material = first == last ? kNoMaterial
                                        : IndexOf(io_mesh.materials,
                                                  std::string_view(first, static_cast<std::size_t>(last - first)));
      break;
    }
    case Keyword::kOther:
      break;
  }
}

inline void AppendFloat(std::string& io_text, float i_value) {
  char digits[Ostrel::Format::kMaxFloatChars];
  io_text.append(digits, Ostrel::Format::AppendFloat(digits, i_value));
}

inline void AppendUnsigned(std::string& io_text, std::uint64_t i_value) {
  char digits[Ostrel::Format::kMaxUnsignedChars];
  io_text.append(digits, Ostrel::Format::AppendUnsigned(digits, i_value));
}

inline void AppendVectorLine(std::string& io_text, const char* i_keyword, const VectorF& i_vector) {
  io_text += i_keyword;
  AppendFloat(io_text, i_vector.x);
  io_text += ' ';
  AppendFloat(io_text, i_vector.y);
  io_text += ' ';
  AppendFloat(io_text, i_vector.z);
  io_text += '\n';
}

inline void AppendCorner(std::string& io_text, std::size_t i_number) {
  AppendUnsigned(io_text, i_number);
  io_text += "//";
  AppendUnsigned(io_text, i_number);
}

// Text is collected in blocks of about this many bytes (file units: bytes) before each write.
inline constexpr std::size_t kWriteBlock = 1 << 16;

inline void FlushIfFull(std::ofstream& io_file, std::string& io_text) {
  if (io_text.size() < kWriteBlock) return;
  io_file.write(io_text.data(), static_cast<std::streamsize>(io_text.size()));
  io_text.clear();
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline void Parse(std::string_view i_text, Mesh& o_mesh) {
  o_mesh.vertices.clear();
  o_mesh.normals.clear();
  o_mesh.uvs.clear();
  o_mesh.corners.clear();
  o_mesh.polycount.clear();
  o_mesh.libraries.clear();
  o_mesh.materials.clear();
  o_mesh.faceMaterials.clear();
  detail::ParseState state;
  const char* pos = i_text.data();
  const char* const end = pos + i_text.size();
  // Some editors start UTF-8 files with a byte-order mark; it is no part of the first keyword.
  if (i_text.substr(0, 3) == "\xEF\xBB\xBF") pos += 3;
  while (pos < end) {
    const char* lineEnd =
        static_cast<const char*>(std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
    const char* next = lineEnd ? lineEnd + 1 : end;
    if (!lineEnd) lineEnd = end;
    const char* nul =
        static_cast<const char*>(std::memchr(pos, '\0', static_cast<std::size_t>(lineEnd - pos)));
    detail::ParseLine(pos, nul ? nul : lineEnd, state, o_mesh);
    pos = next;
  }
  detail::DropFacesOutOfRange(o_mesh);
}

inline Ostrel::FileSystem::ReadResult LoadMesh(const std::string& i_filename, Mesh& o_mesh) {
  o_mesh = Mesh{};
  std::string text;
  const Ostrel::FileSystem::ReadResult result = Ostrel::FileSystem::ReadFile(i_filename, kMaxFileBytes, text);
  if (result.status == Ostrel::FileSystem::ReadStatus::Ok) Parse(text, o_mesh);
  return result;
}

inline bool ReadMesh(const std::string& i_filename, Mesh& o_mesh) {
  return LoadMesh(i_filename, o_mesh).status == Ostrel::FileSystem::ReadStatus::Ok;
}

inline void AppendMesh(const Mesh& i_mesh, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
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

inline bool Read(const std::string& filename, std::vector<VectorF>& vertices, std::vector<VectorF>& normals,
                 std::vector<UV>& uvs, std::vector<std::uint32_t>& vindices,
                 std::vector<std::uint32_t>& nindices, std::vector<std::uint32_t>& uvindices,
                 std::vector<std::uint32_t>& polycount) {
  Mesh mesh;
  if (!ReadMesh(filename, mesh)) return false;
  AppendMesh(mesh, vertices, normals, uvs, vindices, nindices, uvindices, polycount);
  return true;
}

inline void Write(const std::string& outputfilename, const std::vector<VectorF>& vertices,
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
