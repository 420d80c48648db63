#pragma once
// What each strip of a texture sheet shows: one function per look, giving the colour and the
// relief of one pixel. Integer arithmetic only (Noise.h), so the bytes are the same everywhere.
//
// A look takes the pixel's place in its strip: x along the strip from its left edge and y up from
// its foot (below 0 and past its size for the gutters). Every look repeats every kCellTexels
// pixels along x, and every `period` pixels up y when the strip's period is not 0. Sizes are
// pixels at 256 per metre: 1 cm is 2.56 pixels. Sub-pixel distances
// are in 1/256 of a pixel. Shades are factors in 1/1024 (1024 leaves a colour as it is).

#include <algorithm>
#include <cstdint>

#include "Noise.h"
#include "Sheets.h"

namespace Kitgen {

// A pixel of a look: its colour and how far it stands out of the face, in 1/256 of a pixel.
struct Texel {
  Rgb colour;
  int height;
};

namespace looks {

inline int Clamp(int i_value, int i_lo, int i_hi) { return std::min(std::max(i_value, i_lo), i_hi); }

inline Rgb Shade(Rgb i_colour, int i_factor) {
  return {Clamp(i_colour.r * i_factor / 1024, 0, 255), Clamp(i_colour.g * i_factor / 1024, 0, 255),
          Clamp(i_colour.b * i_factor / 1024, 0, 255)};
}

// `i_weight` of `i_b` (0..256) over `i_a`.
inline Rgb Blend(Rgb i_a, Rgb i_b, int i_weight) {
  const int w = Clamp(i_weight, 0, 256);
  return {i_a.r + (i_b.r - i_a.r) * w / 256, i_a.g + (i_b.g - i_a.g) * w / 256,
          i_a.b + (i_b.b - i_a.b) * w / 256};
}

// A noise value scaled to swing by +-`i_amplitude`.
inline int Swing(int i_noise, int i_amplitude) { return i_noise * i_amplitude / 32768; }

// 0 outside, 256 inside, a one-pixel ramp across the edge: `i_inside` is the signed distance
// into the shape in 1/256 of a pixel.
inline int Cover(int i_inside) { return Clamp(i_inside + 128, 0, 256); }

// A ramp of `i_width` pixels, for the relief's bevels.
inline int Ramp(int i_inside, int i_width) { return Clamp((i_inside + 128 * i_width) / i_width, 0, 256); }

// The pixel's centre on a row of `i_count` equal parts that repeats every `i_period` pixels: the
// part (0..count-1) and the distances to its two ends, in 1/256 of a pixel.
struct Part {
  int index;
  int from, to;
};

inline Part Partition(int i_pixel, int i_period, int i_count) {
  // In units of 1/(2 count) pixel, the centre is at (2 pixel + 1) count and a part is 2 period long.
  const int at = (2 * i_pixel + 1) * i_count, span = 2 * i_period;
  int part = at / span, rest = at - part * span;
  if (rest < 0) {
    rest += span;
    --part;
  }
  return {Wrap(part, i_count), rest * 128 / i_count, (span - rest) * 128 / i_count};
}

inline int Edge(const Part& i_part) { return std::min(i_part.from, i_part.to); }

// The strip's lattice: repeating every cell along the strip, and up the strip when its look does.
inline Lattice Grid(const Strip& i_strip, int i_cellU, int i_cellV, std::uint64_t i_salt) {
  return {i_cellU, i_cellV, kCellTexels, i_strip.period, Mix(i_strip.seed ^ i_salt)};
}

// A value -32768..32767 of its own for each pixel: the finest grain.
inline int Speckle(const Strip& i_strip, std::uint64_t i_salt, int i_x, int i_y) {
  const int y = i_strip.period > 0 ? Wrap(i_y, i_strip.period) : i_y;
  return HashValue(i_strip.seed ^ i_salt, Wrap(i_x, kCellTexels), y);
}

// Running bond of 36 courses and 12 bricks in 3 m (25 x 8.33 cm, bricks of 24 x 7.1 cm): each
// brick its own tone, mortar joints of 1 cm (head) and 1.2 cm (bed), slightly ragged.
inline Texel Brick(const Strip& i_s, int i_x, int i_y) {
  const Part course = Partition(i_y, i_s.period, 36);
  const int offset = course.index % 2 == 0 ? 0 : kCellTexels / 24;
  const Part brick = Partition(i_x + offset, kCellTexels, 12);
  const int rough = Swing(ValueNoise(Grid(i_s, 4, 4, 1), i_x, i_y), 170);
  const int inside = std::min(Edge(course) - 393, Edge(brick) - 328) + rough;

  const std::uint64_t h = Hash(i_s.seed, course.index, brick.index);
  int tone = 880 + static_cast<int>(h & 255);
  if (((h >> 8) & 15) == 0) tone = 800;  // one brick in sixteen fired darker
  const int warm = static_cast<int>((h >> 16) & 63) - 32;
  Rgb face = Shade(i_s.colour, tone + Swing(Fractal(Grid(i_s, 64, 64, 2), 4, i_x, i_y), 60) +
                                   Swing(Speckle(i_s, 3, i_x, i_y), 70));
  face.r = Clamp(face.r + warm * face.r / 400, 0, 255);
  face.b = Clamp(face.b - warm * face.b / 400, 0, 255);

  const Rgb mortar =
      Shade({170, 163, 151}, 1000 + Swing(Fractal(Grid(i_s, 16, 16, 4), 3, i_x, i_y), 90) +
                                 Swing(Speckle(i_s, 5, i_x, i_y), 60) + Clamp(inside / 4, -160, 0));
  const int relief = Ramp(inside, 3) * 640 / 256 + Swing(ValueNoise(Grid(i_s, 4, 4, 6), i_x, i_y), 60);
  return {Blend(mortar, face, Cover(inside)), relief};
}

// Render: a fine grain, a few larger, faint clouds of weathering.
inline Texel Plaster(const Strip& i_s, int i_x, int i_y) {
  const int shade = 1024 + Swing(Fractal(Grid(i_s, 8, 8, 1), 3, i_x, i_y), 24) +
                    Swing(Speckle(i_s, 2, i_x, i_y), 20) +
                    Swing(Fractal(Grid(i_s, 256, 256, 3), 3, i_x, i_y), 30);
  const int relief = Swing(Fractal(Grid(i_s, 4, 4, 4), 2, i_x, i_y), 110);
  return {Shade(i_s.colour, shade), relief};
}

// A dark pore in a cell of `i_cell` pixels, one cell in `i_odds` having one: 0 or how deep.
inline int Pore(const Strip& i_s, int i_x, int i_y, int i_cell, int i_odds) {
  const int cu = Wrap(static_cast<int>(FloorDiv(i_x, i_cell)), kCellTexels / i_cell);
  int cv = static_cast<int>(FloorDiv(i_y, i_cell));
  if (i_s.period > 0) cv = Wrap(cv, i_s.period / i_cell);
  const std::uint64_t h = Hash(i_s.seed ^ 0x5a5a, cu, cv);
  if (h % static_cast<std::uint64_t>(i_odds) != 0) return 0;
  const int px = static_cast<int>((h >> 20) % static_cast<std::uint64_t>(i_cell));
  const int py = static_cast<int>((h >> 30) % static_cast<std::uint64_t>(i_cell));
  const int dx = static_cast<int>(FloorMod(i_x, i_cell)) - px,
            dy = static_cast<int>(FloorMod(i_y, i_cell)) - py;
  const int d = dx * dx + dy * dy;
  return d == 0 ? 256 : d <= 2 ? 128 : 0;
}

// Fair-faced concrete: soft clouds, a fine grain and small pores.
inline Texel Concrete(const Strip& i_s, int i_x, int i_y) {
  const int pore = Pore(i_s, i_x, i_y, 8, 40);
  const int shade = 1024 + Swing(Fractal(Grid(i_s, 128, 128, 1), 4, i_x, i_y), 60) +
                    Swing(ValueNoise(Grid(i_s, 4, 4, 2), i_x, i_y), 30) - pore * 300 / 256;
  const int relief = Swing(Fractal(Grid(i_s, 8, 8, 3), 2, i_x, i_y), 60) - pore * 2;
  return {Shade(i_s.colour, shade), relief};
}

// Dressed stone in blocks of 75 cm with fine joints, each block its own tone, a sandy grain.
inline Texel Stone(const Strip& i_s, int i_x, int i_y) {
  const Part block = Partition(i_x, kCellTexels, 4);
  const int inside = Edge(block) - 205 + Swing(ValueNoise(Grid(i_s, 4, 4, 1), i_x, i_y), 100);
  const std::uint64_t h = Hash(i_s.seed, block.index, 0);
  const int tone = 970 + static_cast<int>(h & 63);
  const int shade = tone + Swing(Fractal(Grid(i_s, 8, 8, 2), 3, i_x, i_y), 35) +
                    Swing(Speckle(i_s, 3, i_x, i_y), 50) +
                    Swing(Fractal(Grid(i_s, 256, 128, 4), 3, i_x, i_y), 30) + Clamp(inside / 3, -200, 0);
  const Rgb joint = Shade(i_s.colour, 760);
  const int relief = Ramp(inside, 3) * 400 / 256 + Swing(Fractal(Grid(i_s, 4, 4, 5), 2, i_x, i_y), 70);
  return {Blend(joint, Shade(i_s.colour, shade), Cover(inside)), relief};
}

// Bitumen sheets of a flat roof, lapped every 75 cm up the strip, with a granular surface.
inline Texel Membrane(const Strip& i_s, int i_x, int i_y) {
  const Part sheet = Partition(i_y, i_s.period, 4);
  const int lap = Cover(2560 - sheet.from);  // the 10 cm of the upper sheet that lies over the lower
  const int shade = 1024 + Swing(Speckle(i_s, 1, i_x, i_y), 110) +
                    Swing(Fractal(Grid(i_s, 128, 128, 2), 3, i_x, i_y), 60) + lap * 30 / 256 -
                    Cover(256 - sheet.from) * 250 / 256;
  const int relief = lap * 200 / 256 + Swing(ValueNoise(Grid(i_s, 4, 4, 4), i_x, i_y), 70);
  return {Shade(i_s.colour, shade), relief};
}

// Clay tiles, y up the slope: 24 courses in a roof cell's slope (15 cm each on style B's), tiles
// 25 cm wide (12 in 3 m) with rounded feet, every other course shifted by half a tile. Each tile's
// foot stands out over the course below and shades its top; between two feet the tile below
// shows, in shadow. 24 is even, so the bond runs on from one cell up the slope to the next.
inline Texel ClayTiles(const Strip& i_s, int i_x, int i_y) {
  const Part course = Partition(i_y, i_s.period, 24);
  const int offset = course.index % 2 == 0 ? 0 : kCellTexels / 24;
  const Part tile = Partition(i_x + offset, kCellTexels, 12);
  const int courseLength = i_s.period * 256 / 24;  // 1/256 pixel
  // The foot's corners are rounded with a radius of 5 cm (12 pixels).
  const std::int64_t radius = 12 * 256, d = std::max<std::int64_t>(radius - course.from, 0);
  const int round = static_cast<int>(radius - SquareRoot(radius * radius - d * d));
  const int inside = Edge(tile) - 230 - round + Swing(ValueNoise(Grid(i_s, 4, 4, 1), i_x, i_y), 80);
  const std::uint64_t h = Hash(i_s.seed, course.index, tile.index);
  int tone = 900 + static_cast<int>(h & 191);
  if (((h >> 8) & 15) == 0) tone = 800;
  const int shadow = Clamp(1536 - course.to, 0, 1536) * 380 / 1536;  // under the next course's foot
  const int foot = Cover(384 - course.from) * 90 / 256;
  const int grain =
      Swing(Fractal(Grid(i_s, 32, 32, 2), 3, i_x, i_y), 60) + Swing(Speckle(i_s, 3, i_x, i_y), 40);
  const int shade = tone + grain - shadow + foot - course.from * 60 / courseLength;
  const int below = 560 + grain;  // the course below, in the shade of this one
  const int relief = course.to * 700 / courseLength - (256 - Cover(inside)) * 3;
  return {Blend(Shade(i_s.colour, below), Shade(i_s.colour, shade), Cover(inside)), relief};
}

// Metal pans with standing seams every 50 cm along the eaves (6 in 3 m), running up the slope
// (y): each seam a 2.5 cm rib, lit on one side, with a shadow line along its other foot.
inline Texel StandingSeam(const Strip& i_s, int i_x, int i_y) {
  const Part pan = Partition(i_x, kCellTexels, 6);
  const int fromSeam = Edge(pan);                 // the seam's middle is on the pans' edge
  const int rib = Clamp(820 - fromSeam, 0, 820);  // the 2.5 cm wide seam
  const int lit = pan.from < pan.to ? 90 : -60;
  const int shade = 1024 + Swing(Fractal(Grid(i_s, 64, 256, 1), 3, i_x, i_y), 40) +
                    Swing(ValueNoise(Grid(i_s, 2, 256, 2), i_x, i_y), 15) +
                    Swing(Speckle(i_s, 3, i_x, i_y), 12) + Cover(rib - 128) * lit / 256 -
                    Cover(384 - std::abs(fromSeam - 1000)) * 260 / 256;
  const int relief = rib * rib / 600 + Swing(Fractal(Grid(i_s, 128, 256, 4), 2, i_x, i_y), 60);
  return {Shade(i_s.colour, shade), relief};
}

// Window glass: the sky above, lighter towards the top, and the dark skyline of the street
// below, with soft diagonal reflections over both.
inline Texel Glass(const Strip& i_s, int i_x, int i_y, int i_contrast) {
  const int y = std::min(std::max(i_y, 0), i_s.height);
  const int sky = y * 320 / i_s.height - 250;
  // The skyline: 16 blocks of 18.75 cm across, each up to 5/12 of the strip high.
  const Part block = Partition(i_x, kCellTexels, 16);
  const std::uint64_t h = Hash(i_s.seed, block.index, 0);
  const int top = static_cast<int>(h % static_cast<std::uint64_t>(i_s.height / 3)) + i_s.height / 12;
  const int skyline = Ramp((top - y) * 256, 4) * 150 / 256;
  const Lattice streaks{256, 1 << 20, kCellTexels, 0, Mix(i_s.seed ^ 1)};
  const int along = i_x + (i_y >> 1);
  const int streak = Clamp(ValueNoise(streaks, along, 0) - 6000, 0, 32767) * 2;
  const int shade =
      1024 + (sky - skyline + Swing(streak, 260) + Swing(Fractal(Grid(i_s, 128, 128, 2), 3, i_x, i_y), 50)) *
                 i_contrast / 256;
  return {Shade(i_s.colour, shade), 0};
}

// Brushed metal along x, with cover strips over the joints every 1.5 m.
inline Texel BrushedMetal(const Strip& i_s, int i_x, int i_y) {
  const Part length = Partition(i_x, kCellTexels, 2);
  const int cover = Cover(1920 - Edge(length));  // 15 cm wide
  const int rim = Cover(256 - std::abs(Edge(length) - 1920));
  const int shade = 1024 + Swing(Fractal(Grid(i_s, 256, 2, 1), 3, i_x, i_y), 50) +
                    Swing(Speckle(i_s, 2, i_x, i_y), 15) + cover * 40 / 256 - rim * 220 / 256;
  const int relief = cover * 260 / 256 + Swing(ValueNoise(Grid(i_s, 128, 1, 3), i_x, i_y), 30);
  return {Shade(i_s.colour, shade), relief};
}

// Anodised aluminium sections, brushed along x.
inline Texel Aluminium(const Strip& i_s, int i_x, int i_y) {
  const int shade =
      1024 + Swing(Fractal(Grid(i_s, 256, 2, 1), 3, i_x, i_y), 80) + Swing(Speckle(i_s, 2, i_x, i_y), 25);
  return {Shade(i_s.colour, shade), Swing(ValueNoise(Grid(i_s, 64, 1, 3), i_x, i_y), 20)};
}

// Painted timber with its grain along x; the grain shows more through dark paint.
inline Texel PaintedWood(const Strip& i_s, int i_x, int i_y) {
  const int luma = (i_s.colour.r * 3 + i_s.colour.g * 6 + i_s.colour.b) / 10;
  const int grain = 30 + (255 - luma) * 60 / 255;
  const int figure = Fractal(Grid(i_s, 256, 8, 1), 4, i_x, i_y);
  const int shade = 1024 + Swing(figure, grain) + Swing(ValueNoise(Grid(i_s, 32, 2, 2), i_x, i_y), 20) +
                    Swing(Speckle(i_s, 3, i_x, i_y), 12);
  return {Shade(i_s.colour, shade), Swing(figure, 90)};
}

// Painted wrought iron, hammered, with spots of rust where the paint has worn.
inline Texel Iron(const Strip& i_s, int i_x, int i_y) {
  const int wear = Clamp((ValueNoise(Grid(i_s, 8, 8, 1), i_x, i_y) - 16000) / 40, 0, 256);
  const int shade = 1024 + Swing(Fractal(Grid(i_s, 32, 32, 2), 3, i_x, i_y), 90);
  const Rgb rust = {104, 58, 36};
  return {Blend(Shade(i_s.colour, shade), rust, wear * 90 / 256),
          Swing(Fractal(Grid(i_s, 8, 8, 3), 2, i_x, i_y), 110)};
}

}  // namespace looks

// The pixel of a strip at x across the sheet and y up from the strip's foot.
inline Texel LookAt(const Strip& i_strip, int i_x, int i_y) {
  switch (i_strip.look) {
    case Look::kBrick:
      return looks::Brick(i_strip, i_x, i_y);
    case Look::kPlaster:
      return looks::Plaster(i_strip, i_x, i_y);
    case Look::kConcrete:
      return looks::Concrete(i_strip, i_x, i_y);
    case Look::kStone:
      return looks::Stone(i_strip, i_x, i_y);
    case Look::kMembrane:
      return looks::Membrane(i_strip, i_x, i_y);
    case Look::kClayTiles:
      return looks::ClayTiles(i_strip, i_x, i_y);
    case Look::kStandingSeam:
      return looks::StandingSeam(i_strip, i_x, i_y);
    case Look::kGlass:
      return looks::Glass(i_strip, i_x, i_y, 256);
    case Look::kGlassPanel:
      return looks::Glass(i_strip, i_x, i_y, 100);
    case Look::kBrushedMetal:
      return looks::BrushedMetal(i_strip, i_x, i_y);
    case Look::kAluminium:
      return looks::Aluminium(i_strip, i_x, i_y);
    case Look::kPaintedWood:
      return looks::PaintedWood(i_strip, i_x, i_y);
    case Look::kIron:
      return looks::Iron(i_strip, i_x, i_y);
  }
  return {i_strip.colour, 0};
}

}  // namespace Kitgen
