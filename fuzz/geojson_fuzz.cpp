// Feeds arbitrary bytes to the GeoJSON reader and checks what must hold of any result: a fault of
// the whole text has a place within the text and one printable line; every feature has its
// number in order and its place, and either a printable reason it cannot be built or polygons of
// closed rings of finite positions; the collection counts every feature handed over. The first
// few buildable outlines go on to the plane and into cells, whose faults are printable too.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <ostrel/ext/GeoJson.h>
#include <ostrel/geo/FootprintCells.h>
#include <ostrel/geo/Projection.h>

#include "FuzzSupport.h"

namespace {

bool Printable(std::string_view i_text) {
  for (const char c : i_text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::size_t LineCount(std::string_view i_text) {
  std::size_t lines = 1;
  for (const char c : i_text) lines += c == '\n' ? 1 : 0;
  return lines;
}

// The outline on the plane of an origin at its first position, fitted with cells, when it is
// small enough to fit quickly.
void CheckCells(const GeoJson::Feature& i_feature) {
  const GeoJson::Position& first = i_feature.polygons[0].rings[0][0];
  Ostrel::Geo::Projection projection{Ostrel::Geo::CoordinateKind::Degrees, first.x, first.y};
  if (!Ostrel::Geo::InRange(projection, first.x, first.y)) projection.kind = Ostrel::Geo::CoordinateKind::Metres;
  Ostrel::Geo::Shape shape;
  for (const GeoJson::Polygon& polygon : i_feature.polygons) {
    Ostrel::Geo::Area area;
    for (std::size_t r = 0; r < polygon.rings.size(); ++r) {
      std::vector<Ostrel::Geo::MapPoint> ring;
      for (std::size_t p = 0; p + 1 < polygon.rings[r].size(); ++p) {
        const GeoJson::Position& at = polygon.rings[r][p];
        if (!Ostrel::Geo::InRange(projection, at.x, at.y)) return;
        const Ostrel::Geo::MapPoint point = Ostrel::Geo::Project(projection, at.x, at.y);
        if (!(std::fabs(point.east) < 300) || !(std::fabs(point.north) < 300)) return;
        ring.push_back(point);
      }
      (r == 0 ? area.outer : area.holes.emplace_back()) = std::move(ring);
    }
    shape.push_back(std::move(area));
  }
  Ostrel::Geo::CellOptions options;
  options.maxCells = 4096;
  options.kitRules = true;
  const Ostrel::Geo::CellFootprint fit = Ostrel::Geo::FootprintCells(shape, options);
  FUZZ_CHECK(Printable(fit.fault));
  if (!fit.fault.empty()) return;
  FUZZ_CHECK(fit.rows > 0 && fit.columns > 0);
  FUZZ_CHECK(fit.cells.size() == static_cast<std::size_t>(fit.rows) * static_cast<std::size_t>(fit.columns));
  FUZZ_CHECK(std::count(fit.cells.begin(), fit.cells.end(), 1) > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  const std::string_view text(reinterpret_cast<const char*>(i_data), i_size);
  const std::size_t lines = LineCount(text);
  GeoJson::ReadOptions options;
  options.keys = {"building", "towerkit:style"};
  options.maxPositions = 4096;
  std::uint64_t handed = 0;
  int fitted = 0;
  GeoJson::Collection collection;
  GeoJson::Error error;
  const bool read = GeoJson::ReadText(
      text, options,
      [&](const GeoJson::Feature& i_feature) {
        FUZZ_CHECK(i_feature.number == ++handed);
        FUZZ_CHECK(i_feature.line >= 1 && i_feature.line <= lines && i_feature.column >= 1);
        FUZZ_CHECK(Printable(i_feature.fault));
        for (const GeoJson::Property& property : i_feature.properties) FUZZ_CHECK(!property.key.empty());
        if (!i_feature.fault.empty()) return true;
        FUZZ_CHECK(!i_feature.polygons.empty());
        for (const GeoJson::Polygon& polygon : i_feature.polygons) {
          FUZZ_CHECK(!polygon.rings.empty());
          for (const GeoJson::Ring& ring : polygon.rings) {
            FUZZ_CHECK(ring.size() >= 4);
            FUZZ_CHECK(ring.front().x == ring.back().x && ring.front().y == ring.back().y);
            for (const GeoJson::Position& at : ring) FUZZ_CHECK(std::isfinite(at.x) && std::isfinite(at.y));
          }
        }
        if (fitted++ < 4) CheckCells(i_feature);
        return true;
      },
      collection, error);
  if (!read) {
    FUZZ_CHECK(error.line >= 1 && error.line <= lines && error.column >= 1);
    FUZZ_CHECK(!error.message.empty() && Printable(error.message));
    return 0;
  }
  FUZZ_CHECK(collection.features == handed);
  if (collection.bounded) FUZZ_CHECK(collection.min.x <= collection.max.x && collection.min.y <= collection.max.y);
  return 0;
}
