// The software rasterizer of the cards' pictures.

#include "write/engine/CardRaster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Ostrel::Buildings {

namespace {

// One sample of the picture drawn large.
struct Sample {
  double depth = -INFINITY;  // along the side's way out: larger is nearer the viewer
  double colour[3] = {0, 0, 0};
  double normal[3] = {0, 0, 1};  // across, up, out
};

// A corner of a triangle on the picture: its place in samples (x across, y down), depth, texture
// coordinate and normal in the quad's frame.
struct Projected {
  double x, y, depth;
  UV uv;
  double normal[3];
};

std::uint8_t ToByte(double i_value) { return static_cast<std::uint8_t>(std::clamp(std::lround(i_value), 0L, 255L)); }

// Whether a sample exactly on the edge from i_p to i_q belongs to the triangle: two triangles of
// one orientation run along a shared edge in opposite directions, so exactly one owns it, and a
// translucent face is never laid twice over one sample.
bool OwnsEdge(const Projected& i_p, const Projected& i_q) {
  const double dx = i_q.x - i_p.x, dy = i_q.y - i_p.y;
  return dy > 0 || (dy == 0 && dx < 0);
}

// Draws one triangle into the samples: the opaque pass keeps the nearest face; the other lays a
// face of that opacity over what lies behind it, where it is the nearer.
void DrawTriangle(const Projected* i_corners, std::uint32_t i_material, const SheetTones& i_tones, double i_opacity,
                  int i_samples, std::vector<Sample>& io_samples) {
  Projected v[3] = {i_corners[0], i_corners[1], i_corners[2]};
  double area = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
  if (!(std::fabs(area) > 1e-12)) return;
  // One orientation for every triangle, so that the edges' owners agree.
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  const Projected &a = v[0], &b = v[1], &c = v[2];
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
  const int x1 = std::min(i_samples - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
  const int y1 = std::min(i_samples - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Barycentric weights of the sample's centre: each corner's from the edge opposite it.
      double w[3];
      bool inside = true;
      for (int k = 0; k < 3 && inside; ++k) {
        const Projected& p = v[(k + 1) % 3];
        const Projected& q = v[(k + 2) % 3];
        w[k] = ((p.x - px) * (q.y - py) - (p.y - py) * (q.x - px)) / area;
        inside = w[k] > 0 || (w[k] == 0 && OwnsEdge(p, q));
      }
      if (!inside) continue;
      const double wa = w[0], wb = w[1], wc = w[2];
      Sample& sample = io_samples[static_cast<std::size_t>(y) * static_cast<std::size_t>(i_samples) +
                                  static_cast<std::size_t>(x)];
      const double depth = wa * a.depth + wb * b.depth + wc * c.depth;
      if (depth <= sample.depth) continue;
      const UV uv(static_cast<float>(wa * a.uv.u + wb * b.uv.u + wc * c.uv.u),
                  static_cast<float>(wa * a.uv.v + wb * b.uv.v + wc * c.uv.v));
      const Colour colour = i_tones.colour(i_material, uv);
      if (i_opacity < 1) {
        // Laid over: it does not hide what lies behind, so the depth stays.
        for (int k = 0; k < 3; ++k)
          sample.colour[k] = i_opacity * colour[static_cast<std::size_t>(k)] + (1 - i_opacity) * sample.colour[k];
        continue;
      }
      sample.depth = depth;
      double length = 0;
      for (int k = 0; k < 3; ++k) {
        sample.colour[k] = colour[static_cast<std::size_t>(k)];
        sample.normal[k] = wa * a.normal[k] + wb * b.normal[k] + wc * c.normal[k];
        length += sample.normal[k] * sample.normal[k];
      }
      length = std::sqrt(length);
      for (double& n : sample.normal) n = length > 0 ? n / length : 0;
    }
  }
}

}  // namespace

CardPicture DrawCardSide(const TriangleMesh& i_mesh, const CardSide& i_side, const SheetTones& i_tones,
                         const std::vector<double>& i_opacity, int i_size) {
  const int samples = i_size * kSuper;
  std::vector<Sample> drawn(static_cast<std::size_t>(samples) * static_cast<std::size_t>(samples));
  const auto axis = static_cast<std::size_t>(i_side.axis);
  const std::size_t across = 2 - axis;
  const double width = i_side.high[1] - i_side.low[1], height = i_side.high[0] - i_side.low[0];
  const auto opacity = [&](std::uint32_t i_material) {
    return i_material < i_opacity.size() ? i_opacity[i_material] : 1.0;
  };
  // Opaque faces first, then those that let light through, over them.
  for (const bool opaquePass : {true, false}) {
    for (const MeshPart& part : i_mesh.parts) {
      if ((opacity(part.material) >= 1) != opaquePass) continue;
      for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
        Projected corners[3];
        double facing = 0;
        for (std::size_t k = 0; k < 3; ++k) {
          const std::uint32_t index = part.indices[i + k];
          const VectorF& p = part.positions[index];
          const VectorF& n = part.normals[index];
          const double at[3] = {p.x, p.y, p.z};
          const double normal[3] = {n.x, n.y, n.z};
          Projected& corner = corners[k];
          corner.x = (at[across] - i_side.low[1]) / width * samples;
          corner.y = (i_side.high[0] - at[1]) / height * samples;
          corner.depth = at[axis] * i_side.sign;
          corner.uv = part.uvs.empty() ? UV(0, 0) : part.uvs[index];
          corner.normal[0] = normal[across];
          corner.normal[1] = normal[1];
          corner.normal[2] = normal[axis] * i_side.sign;
          facing += corner.normal[2];
        }
        // A reader does not draw a face's back.
        if (facing <= 0) continue;
        DrawTriangle(corners, part.material, i_tones, opacity(part.material), samples, drawn);
      }
    }
  }
  CardPicture picture;
  picture.size = i_size;
  double covered = 0;
  Colour sum{};
  for (const Sample& sample : drawn) {
    if (sample.depth == -INFINITY) continue;
    covered += 1;
    for (std::size_t k = 0; k < 3; ++k) sum[k] += sample.colour[k];
  }
  for (std::size_t k = 0; k < 3; ++k) picture.mean[k] = covered > 0 ? sum[k] / covered : 128;
  const std::size_t pixels = static_cast<std::size_t>(i_size) * static_cast<std::size_t>(i_size);
  picture.colour.resize(pixels * 3);
  picture.normal.resize(pixels * 3);
  for (int y = 0; y < i_size; ++y) {
    for (int x = 0; x < i_size; ++x) {
      double colour[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
      for (int sy = 0; sy < kSuper; ++sy) {
        for (int sx = 0; sx < kSuper; ++sx) {
          const Sample& sample = drawn[static_cast<std::size_t>(y * kSuper + sy) * static_cast<std::size_t>(samples) +
                                       static_cast<std::size_t>(x * kSuper + sx)];
          const bool empty = sample.depth == -INFINITY;
          for (std::size_t k = 0; k < 3; ++k) {
            colour[k] += empty ? picture.mean[k] : sample.colour[k];
            normal[k] += empty ? (k == 2 ? 1.0 : 0.0) : sample.normal[k];
          }
        }
      }
      double length = 0;
      for (const double n : normal) length += n * n;
      length = std::sqrt(length);
      const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(i_size) +
                              static_cast<std::size_t>(x)) * 3;
      for (std::size_t k = 0; k < 3; ++k) {
        picture.colour[at + k] = ToByte(colour[k] / (kSuper * kSuper));
        picture.normal[at + k] = ToByte((length > 0 ? normal[k] / length : (k == 2 ? 1.0 : 0.0)) * 127.5 + 127.5);
      }
    }
  }
  return picture;
}

}  // namespace Ostrel::Buildings
