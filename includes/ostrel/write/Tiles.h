#pragma once
// A city as a tileset that viewers stream (3D Tiles 1.1): a quadtree over the buildings' extent,
// each building whole in the one leaf that holds its centre, leaves of instanced .glb files,
// parents drawn by their buildings' far levels, and a tileset.json that lists them.
//
// Coordinates are metres. The content is glTF, +y up; the tileset's frame is +z up, so a box
// of the buildings (x, y, z) is the tileset's box (x, -z, y).

#include <array>
#include <cstdint>
#include <string>

namespace Ostrel::Buildings {

struct TilesOptions {
  // The folder the tiles are written into. The output is the tileset.json, which names them as
  // tiles/NAME: the caller puts them into tiles/ beside it once the tileset is written whole.
  std::string folder;
  // With an origin, the root's transform puts the frame's origin (x east, -z north, y up) at
  // this longitude and latitude (degrees) and height (metres) on the WGS 84 ellipsoid; without
  // one, the frame is local and the transform the identity.
  bool geo = false;
  double longitude = 0, latitude = 0, height = 0;
  // A leaf holds at most this many buildings (unless their centres cannot be told apart): about
  // 1 to 4 MB of instanced .glb with the shipped kit.
  std::uint32_t leafBuildings = 256;
  // A parent is drawn by its buildings' far levels when it has at most this many; above, it has
  // no content of its own and is always refined.
  std::uint32_t parentBuildings = 1024;
};

// The matrix (column-major, as a tile's transform) that takes east-north-up coordinates about
// the point at the longitude and latitude (degrees) and height (metres) to Earth-centred,
// Earth-fixed ones on the WGS 84 ellipsoid.
std::array<double, 16> EastNorthUpToEcef(double i_longitude, double i_latitude, double i_height);

// Writes i_folder/tileset.json, whose root refers to the tileset of each shard,
// i_folder/shard-K/tileset.json, as an external tileset. False, with o_error the line to tell,
// when no shard has a tileset or one cannot be read or the file cannot be written.
bool MergeTilesets(const std::string& i_folder, std::string& o_error);

}  // namespace Ostrel::Buildings
