// Engine extras as OBJ objects.

#include "write/obj/ObjExtras.h"

#include <charconv>
#include <string>

#include "write/obj/ObjText.h"

namespace Ostrel::Buildings {

namespace {

using namespace detail;

void PutLine(ObjWriter& io_writer, const char* i_keyword, std::size_t i_length, const float* i_values,
             int i_count = 3) {
  char* pos = io_writer.out.room(kMaxVectorLine);
  io_writer.out.commit(PutVectorLine(pos, io_writer.floats, i_keyword, i_length, i_values, i_count));
}

// "f a b c" or, with normals, "f a//a b//b c//c", with texture coordinates "f a/a/a ...": 1-based
// numbers after the offsets.
void PutFace(ObjWriter& io_writer, const std::uint32_t* i_corners, const Offsets& i_at, bool i_normals,
             bool i_uvs) {
  char text[240];
  char* end = text;
  *end++ = 'f';
  for (int k = 0; k < 3; ++k) {
    *end++ = ' ';
    end = std::to_chars(end, end + 24, i_at.vertices + i_corners[k] + 1).ptr;
    if (!i_normals) continue;
    *end++ = '/';
    if (i_uvs) end = std::to_chars(end, end + 24, i_at.uvs + i_corners[k] + 1).ptr;
    *end++ = '/';
    end = std::to_chars(end, end + 24, i_at.normals + i_corners[k] + 1).ptr;
  }
  *end++ = '\n';
  io_writer.out.write(text, static_cast<std::size_t>(end - text));
}

// One mesh of the extras as one object.
Offsets WriteMesh(ObjWriter& io_writer, const Kit& i_kit, const ExtraMesh& i_mesh, const std::string& i_name,
                  const Frame& i_frame, const Offsets& i_start, const MaterialNames& i_names) {
  WriteLine(io_writer, "o " + i_name);
  const Turn turn = MakeTurn(i_frame.xdir, i_frame.zdir);
  Offsets at = i_start;
  for (const ExtraPart& part : i_mesh.parts) {
    for (const VectorF& p : part.positions) {
      // As PlacePosition turns and moves a building's content.
      const float xyz[3] = {i_frame.zdir * p.x - i_frame.xdir * p.z + i_frame.xpos, p.y + i_frame.ypos,
                            i_frame.xdir * p.x + i_frame.zdir * p.z + i_frame.zpos};
      PutLine(io_writer, "v", 1, xyz);
    }
    for (const VectorF& n : part.normals) {
      const VectorF turned = ApplyTurn(turn, n);
      const float xyz[3] = {turned.x, turned.y, turned.z};
      PutLine(io_writer, "vn", 2, xyz);
    }
    for (const UV& uv : part.uvs) {
      const float values[2] = {uv.u, 1.0f - uv.v};  // OBJ's v runs up the image
      PutLine(io_writer, "vt", 2, values, 2);
    }
    const bool normals = !part.normals.empty();
    if (normals && i_names.used) {
      WriteLine(io_writer, "usemtl " + (part.material == Obj::kNoMaterial ? i_names.defaultName
                                                                           : i_kit.materials[part.material]));
    }
    const bool uvs = normals && !part.uvs.empty();
    for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3)
      PutFace(io_writer, &part.indices[i], at, normals, uvs);
    at.vertices += part.positions.size();
    at.normals += part.normals.size();
    at.uvs += part.uvs.size();
  }
  return at;
}

}  // namespace

Offsets WriteExtrasObj(ObjWriter& io_writer, const Kit& i_kit, const EngineExtras& i_extras,
                       const std::string& i_building, const Frame& i_frame, const Offsets& i_start,
                       const MaterialNames& i_names) {
  Offsets at = i_start;
  for (std::size_t level = 0; level < i_extras.levels.size(); ++level) {
    at = WriteMesh(io_writer, i_kit, i_extras.levels[level], LevelName(i_building, level + 1), i_frame, at,
                   i_names);
  }
  for (std::size_t h = 0; h < i_extras.hulls.size(); ++h) {
    at = WriteMesh(io_writer, i_kit, i_extras.hulls[h], i_extras.hullNames[h], i_frame, at, i_names);
  }
  return at;
}

}  // namespace Ostrel::Buildings
