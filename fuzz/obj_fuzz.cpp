// Feeds arbitrary bytes to the OBJ reader and checks what must hold of any result: every stored
// index names an element of the same text, every corner has a vertex, every number is finite,
// the flattened arrays agree with the mesh, and a second reading of the mesh written back as
// text changes nothing. The text is also read as a file, whole and in two parts on two threads:
// both give the mesh of one reading.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <ostrel/ext/Obj.h>
#include <ostrel/utils/NumberFormat.h>

#include "FuzzSupport.h"

namespace {

using Ostrel::UV;
using Ostrel::VectorF;
using U32s = std::vector<std::uint32_t>;

bool Finite(const VectorF& i_v) { return std::isfinite(i_v.x) && std::isfinite(i_v.y) && std::isfinite(i_v.z); }

bool InRange(std::uint32_t i_index, std::size_t i_count) { return i_index == Obj::kAbsent || i_index < i_count; }

void CheckMesh(const Obj::Mesh& i_mesh) {
  for (const VectorF& v : i_mesh.vertices) FUZZ_CHECK(Finite(v));
  for (const VectorF& n : i_mesh.normals) FUZZ_CHECK(Finite(n));
  for (const UV& uv : i_mesh.uvs) FUZZ_CHECK(std::isfinite(uv.u) && std::isfinite(uv.v));
  std::uint64_t corners = 0;
  for (const std::uint32_t count : i_mesh.polycount) corners += count;
  FUZZ_CHECK(corners == i_mesh.corners.size());
  for (const Obj::Corner& c : i_mesh.corners) {
    FUZZ_CHECK(c.v < i_mesh.vertices.size());
    FUZZ_CHECK(InRange(c.uv, i_mesh.uvs.size()));
    FUZZ_CHECK(InRange(c.n, i_mesh.normals.size()));
  }
}

// Flattens into arrays that already hold something: the new indices still count from the
// mesh's own first elements, and nothing before them changes.
void CheckFlattened(const Obj::Mesh& i_mesh) {
  std::vector<VectorF> vertices(2), normals(1);
  std::vector<UV> uvs(3);
  U32s vindices{7}, nindices, uvindices{5, 5}, polycount{1};
  Obj::AppendMesh(i_mesh, vertices, normals, uvs, vindices, nindices, uvindices, polycount);
  FUZZ_CHECK(vertices.size() == 2 + i_mesh.vertices.size());
  FUZZ_CHECK(normals.size() == 1 + i_mesh.normals.size());
  FUZZ_CHECK(uvs.size() == 3 + i_mesh.uvs.size());
  FUZZ_CHECK(vindices.front() == 7 && uvindices[0] == 5 && uvindices[1] == 5 && polycount.front() == 1);
  FUZZ_CHECK(vindices.size() == 1 + i_mesh.corners.size());
  FUZZ_CHECK(polycount.size() == 1 + i_mesh.polycount.size());
  for (std::size_t i = 1; i < vindices.size(); ++i) FUZZ_CHECK(vindices[i] < i_mesh.vertices.size());
  for (std::size_t i = 0; i < nindices.size(); ++i) FUZZ_CHECK(nindices[i] < i_mesh.normals.size());
  for (std::size_t i = 2; i < uvindices.size(); ++i) FUZZ_CHECK(uvindices[i] < i_mesh.uvs.size());
}

void AppendNumber(std::string& io_text, float i_value) {
  io_text += ' ';
  io_text += Ostrel::Format::FloatToString(i_value);
}

void AppendIndex(std::string& io_text, std::uint32_t i_index) { io_text += std::to_string(i_index + 1ull); }

// The mesh as OBJ text with 1-based indices, every corner in the form it was read in.
std::string Write(const Obj::Mesh& i_mesh) {
  std::string text;
  for (const VectorF& v : i_mesh.vertices) {
    text += 'v';
    AppendNumber(text, v.x);
    AppendNumber(text, v.y);
    AppendNumber(text, v.z);
    text += '\n';
  }
  for (const UV& uv : i_mesh.uvs) {
    text += "vt";
    AppendNumber(text, uv.u);
    AppendNumber(text, uv.v);
    text += '\n';
  }
  for (const VectorF& n : i_mesh.normals) {
    text += "vn";
    AppendNumber(text, n.x);
    AppendNumber(text, n.y);
    AppendNumber(text, n.z);
    text += '\n';
  }
  std::size_t k = 0;
  for (const std::uint32_t count : i_mesh.polycount) {
    text += 'f';
    for (std::uint32_t j = 0; j < count; ++j, ++k) {
      const Obj::Corner& c = i_mesh.corners[k];
      text += ' ';
      AppendIndex(text, c.v);
      if (c.uv != Obj::kAbsent || c.n != Obj::kAbsent) text += '/';
      if (c.uv != Obj::kAbsent) AppendIndex(text, c.uv);
      if (c.n != Obj::kAbsent) {
        text += '/';
        AppendIndex(text, c.n);
      }
    }
    text += '\n';
  }
  return text;
}


bool SameCorners(const std::vector<Obj::Corner>& i_a, const std::vector<Obj::Corner>& i_b) {
  return std::equal(i_a.begin(), i_a.end(), i_b.begin(), i_b.end(), [](const Obj::Corner& a, const Obj::Corner& b) {
    return a.v == b.v && a.uv == b.uv && a.n == b.n;
  });
}

template <typename T>
bool SameVectors(const std::vector<T>& i_a, const std::vector<T>& i_b) {
  return i_a.size() == i_b.size() &&
         (i_a.empty() || std::memcmp(i_a.data(), i_b.data(), i_a.size() * sizeof(T)) == 0);
}

void CheckSameMesh(const Obj::Mesh& i_a, const Obj::Mesh& i_b) {
  FUZZ_CHECK(SameVectors(i_a.vertices, i_b.vertices));
  FUZZ_CHECK(SameVectors(i_a.normals, i_b.normals));
  FUZZ_CHECK(SameVectors(i_a.uvs, i_b.uvs));
  FUZZ_CHECK(SameCorners(i_a.corners, i_b.corners));
  FUZZ_CHECK(i_a.polycount == i_b.polycount);
  FUZZ_CHECK(i_a.faceMaterials == i_b.faceMaterials);
  FUZZ_CHECK(i_a.materials == i_b.materials && i_a.libraries == i_b.libraries);
}

// The text as a file of this process's own, written again for each input.
std::string AsFile(std::string_view i_text) {
  static const std::string path = "/tmp/towerkit-obj-fuzz-" + std::to_string(::getpid()) + ".obj";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(i_text.data(), 1, i_text.size(), file) == i_text.size());
  FUZZ_CHECK(std::fclose(file) == 0);
  return path;
}

// The file read whole and read in two parts (every file of a byte or more is cut) is one mesh.
void CheckReadInParts(std::string_view i_text) {
  const std::string path = AsFile(i_text);
  Obj::Mesh whole, parts;
  FUZZ_CHECK(Obj::detail::LoadMesh(path, whole, UINT64_MAX).status == Ostrel::FileSystem::ReadStatus::Ok);
  FUZZ_CHECK(Obj::detail::LoadMesh(path, parts, 1).status == Ostrel::FileSystem::ReadStatus::Ok);
  CheckSameMesh(whole, parts);
  std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  Obj::Mesh mesh;
  Obj::Parse(std::string_view(reinterpret_cast<const char*>(i_data), i_size), mesh);
  CheckMesh(mesh);
  CheckFlattened(mesh);

  // Keeping findings changes nothing of the mesh; each names a line of the text, on one line.
  const std::string_view text(reinterpret_cast<const char*>(i_data), i_size);
  std::vector<Obj::Finding> findings;
  Obj::Mesh noted;
  Obj::Parse(text, noted, &findings);
  FUZZ_CHECK(noted.corners.size() == mesh.corners.size() && noted.polycount == mesh.polycount);
  const std::size_t lines = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  for (const Obj::Finding& finding : findings) {
    FUZZ_CHECK(finding.line >= 1 && finding.line <= lines);
    FUZZ_CHECK(finding.message.find('\n') == std::string::npos);
  }

  const std::string once = Write(mesh);
  Obj::Mesh again;
  std::vector<Obj::Finding> none;
  Obj::Parse(once, again, &none);
  FUZZ_CHECK(none.empty());
  FUZZ_CHECK(again.vertices.size() == mesh.vertices.size());
  FUZZ_CHECK(again.corners.size() == mesh.corners.size());
  FUZZ_CHECK(Write(again) == once);

  CheckReadInParts(text);
  return 0;
}
