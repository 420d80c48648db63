#pragma once
// Wavefront OBJ files: the reader that loads unit meshes and the library's general writer.
//
// The reader takes the lines v, vt, vn and f and ignores every other kind of line. It parses
// from a string (Parse), so that tests and fuzzers need no disk; ReadMesh and Read are thin
// wrappers that load a file first. Every index it stores names an element of the same file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/utils/FileSystem.h>

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

// What a finding costs the mesh.
enum class FindingKind {
  FaceLeftOut,          // a face is left out whole
  FieldDropped,         // a corner keeps its vertex but loses its texture or normal field
  PositionIncomplete,   // a v line lacks numbers: they read as 0
  AttributeIncomplete,  // a vt or vn line lacks numbers: they read as 0
  StatementIgnored,     // a line of a kind the reader does not read
  LineCut,              // a NUL byte ends the line: what follows it is left out
};

// A line of an OBJ text that was left out or read only in part, and why.
struct Finding {
  std::size_t line = 0;  // 1-based
  std::string message;
  FindingKind kind = FindingKind::StatementIgnored;
};

// Where the elements of a parsed mesh come from: 1-based line numbers of its text.
struct SourceLines {
  std::vector<std::size_t> vertices;  // the v line of each vertex
  std::vector<std::size_t> faces;     // the f line of each kept face
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
// A negative index counts back from the last element of its kind read so far. A face is left out
// whole when any of its corners has no vertex field or a vertex index that names no vertex (0, no
// digits, or beyond the file's vertices); a texture or normal field that names nothing is dropped
// from its corner alone, which keeps the rest, as other loaders do.
// o_findings, when given, gets every line that was left out or read only in part, and why;
// o_lines, when given, the line of each vertex and of each face kept.
void Parse(std::string_view i_text, Mesh& o_mesh, std::vector<Finding>* o_findings = nullptr,
           SourceLines* o_lines = nullptr);

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

// A unit file of at least this many bytes (file units: bytes) is read in two parts, each on a
// thread of its own: a dense piece's file takes as long to read as its building to write.
inline constexpr std::uint64_t kTwoPartBytes = std::uint64_t{8} << 20;

// LoadMesh, reading files of at least i_twoPartBytes in two parts; the mesh is the same either
// way.
Ostrel::FileSystem::ReadResult LoadMesh(const std::string& i_filename, Mesh& o_mesh, std::uint64_t i_twoPartBytes);

}  // namespace detail

}  // namespace Obj
