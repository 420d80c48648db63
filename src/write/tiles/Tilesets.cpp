// The frame of a tileset on the globe, and the root that joins the tilesets of shards.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

// The shards' tilesets are read with nlohmann's JSON library.
#include <nlohmann/json.hpp>

#include <ostrel/utils/TextFile.h>
#include <ostrel/write/Tiles.h>

#include "write/JsonValue.h"

namespace Ostrel::Buildings {

std::array<double, 16> EastNorthUpToEcef(double i_longitude, double i_latitude, double i_height) {
  // WGS 84: the semi-major axis (metres) and the flattening.
  const double a = 6378137.0;
  const double f = 1 / 298.257223563;
  const double e2 = f * (2 - f);
  const double pi = 3.14159265358979323846;
  const double lon = i_longitude * pi / 180, lat = i_latitude * pi / 180;
  const double sinLon = std::sin(lon), cosLon = std::cos(lon);
  const double sinLat = std::sin(lat), cosLat = std::cos(lat);
  // The radius of curvature in the prime vertical.
  const double n = a / std::sqrt(1 - e2 * sinLat * sinLat);
  const double x = (n + i_height) * cosLat * cosLon;
  const double y = (n + i_height) * cosLat * sinLon;
  const double z = (n * (1 - e2) + i_height) * sinLat;
  // Columns: east, north, up, then the point.
  return {-sinLon,          cosLon,          0,      0,  //
          -sinLat * cosLon, -sinLat * sinLon, cosLat, 0,  //
          cosLat * cosLon,  cosLat * sinLon,  sinLat, 0,  //
          x,                y,                z,      1};
}

namespace {

using Json = JsonValue;

// The smallest and largest x, y and z of an oriented box (centre, three half axes), moved by a
// column-major transform.
void AddBox(const std::array<double, 12>& i_box, const std::array<double, 16>& i_transform, double (&io_lo)[3],
            double (&io_hi)[3]) {
  for (int corner = 0; corner < 8; ++corner) {
    double p[3];
    for (int i = 0; i < 3; ++i) {
      p[i] = i_box[i];
      for (int axis = 0; axis < 3; ++axis) p[i] += ((corner >> axis) & 1 ? 1 : -1) * i_box[3 + 3 * axis + i];
    }
    for (int i = 0; i < 3; ++i) {
      const double moved = i_transform[i] * p[0] + i_transform[4 + i] * p[1] + i_transform[8 + i] * p[2] + i_transform[12 + i];
      io_lo[i] = std::min(io_lo[i], moved);
      io_hi[i] = std::max(io_hi[i], moved);
    }
  }
}

// A member of an object, or null when the value is not an object or lacks it: a shard's tileset
// may have been edited or cut short, and nlohmann's const operator[] on a missing key is undefined.
const nlohmann::json* Member(const nlohmann::json* i_value, const char* i_key) {
  if (!i_value || !i_value->is_object()) return nullptr;
  const auto found = i_value->find(i_key);
  return found == i_value->end() ? nullptr : &*found;
}

// The numbers of an array of exactly N numbers, or false.
template <std::size_t N>
bool ReadNumbers(const nlohmann::json* i_value, std::array<double, N>& o_numbers) {
  if (!i_value || !i_value->is_array() || i_value->size() != N) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (!(*i_value)[i].is_number()) return false;
    o_numbers[i] = (*i_value)[i].get<double>();
  }
  return true;
}

}  // namespace

bool MergeTilesets(const std::string& i_folder, std::string& o_error) {
  namespace fs = std::filesystem;
  std::map<unsigned long long, std::string> shards;  // by number
  std::error_code error;
  for (fs::directory_iterator entry(i_folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.rfind("shard-", 0) != 0 || name.size() == 6 || name.size() > 26) continue;
    if (!std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    if (!fs::is_regular_file(entry->path() / "tileset.json")) continue;
    shards[std::stoull(name.substr(6))] = name;
  }
  if (shards.empty()) {
    o_error = "No shard's tileset in '" + TextFile::Excerpt(i_folder, i_folder.size()) + "' (shard-K/tileset.json)";
    return false;
  }
  const std::array<double, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  double largest = 0;
  Json children = Json::array();
  for (const auto& [number, name] : shards) {
    const std::string path = i_folder + "/" + name + "/tileset.json";
    std::ifstream file(path, std::ios::binary);
    const nlohmann::json tileset = nlohmann::json::parse(file, nullptr, false);
    const nlohmann::json* root = Member(&tileset, "root");
    const nlohmann::json* geometricError = Member(&tileset, "geometricError");
    std::array<double, 12> values{};
    if (!ReadNumbers(Member(Member(root, "boundingVolume"), "box"), values) || !geometricError ||
        !geometricError->is_number()) {
      o_error = "Tileset '" + TextFile::Excerpt(path, path.size()) + "' cannot be read";
      return false;
    }
    // A shard of no building draws nothing and has no place.
    if (!Member(root, "content") && !Member(root, "children")) continue;
    std::array<double, 16> transform = identity;
    const nlohmann::json* givenTransform = Member(root, "transform");
    if (givenTransform && !ReadNumbers(givenTransform, transform)) {
      o_error = "Tileset '" + TextFile::Excerpt(path, path.size()) + "' cannot be read";
      return false;
    }
    double childLo[3] = {INFINITY, INFINITY, INFINITY}, childHi[3] = {-INFINITY, -INFINITY, -INFINITY};
    AddBox(values, transform, childLo, childHi);
    const double error = geometricError->get<double>();
    largest = std::max(largest, error);
    Json child = {{"boundingVolume",
                   {{"box",
                     {(childLo[0] + childHi[0]) / 2, (childLo[1] + childHi[1]) / 2, (childLo[2] + childHi[2]) / 2,
                      (childHi[0] - childLo[0]) / 2, 0, 0, 0, (childHi[1] - childLo[1]) / 2, 0, 0, 0,
                      (childHi[2] - childLo[2]) / 2}}}},
                  {"geometricError", error},
                  {"content", {{"uri", name + "/tileset.json"}}}};
    children.push_back(std::move(child));
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], childLo[i]);
      hi[i] = std::max(hi[i], childHi[i]);
    }
  }
  if (children.empty()) {
    for (int i = 0; i < 3; ++i) lo[i] = hi[i] = 0;
  }
  const Json box = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2, (hi[0] - lo[0]) / 2, 0, 0,
                    0, (hi[1] - lo[1]) / 2, 0, 0, 0, (hi[2] - lo[2]) / 2};
  Json tileset = {{"asset", {{"version", "1.1"}, {"generator", "towerkit"}}},
                        {"geometricError", largest},
                        {"root",
                         {{"boundingVolume", {{"box", box}}},
                          {"geometricError", largest},
                          {"refine", "REPLACE"}}}};
  if (!children.empty()) tileset["root"]["children"] = std::move(children);
  const std::string path = i_folder + "/tileset.json";
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary);
    out << tileset.dump() << "\n";
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      o_error = "Cannot write '" + path + "'";
      return false;
    }
  }
  fs::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    o_error = "Cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace Ostrel::Buildings
