// Projection: definitions.

#include <ostrel/geo/Projection.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace Ostrel::Geo {

namespace detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSemiMajor = 6378137.0;             // WGS 84, metres
constexpr double kFlattening = 1.0 / 298.257223563;  // WGS 84
constexpr double kMeanRadius = 6371008.8;            // metres
// Web Mercator's square: |x| and |y| up to pi times the sphere's radius, in metres.
constexpr double kMercatorEdge = kPi * kSemiMajor;

double Radians(double i_degrees) { return i_degrees * kPi / 180.0; }

struct Ecef {
  double x = 0, y = 0, z = 0;
};

Ecef ToEcef(double i_longitude, double i_latitude) {
  const double e2 = kFlattening * (2.0 - kFlattening);
  const double phi = Radians(i_latitude);
  const double lambda = Radians(i_longitude);
  const double n = kSemiMajor / std::sqrt(1.0 - e2 * std::sin(phi) * std::sin(phi));
  return Ecef{n * std::cos(phi) * std::cos(lambda), n * std::cos(phi) * std::sin(lambda),
              n * (1.0 - e2) * std::sin(phi)};
}

// East and north of (longitude, latitude) in the tangent frame at the origin's.
MapPoint Enu(double i_originLongitude, double i_originLatitude, double i_longitude, double i_latitude) {
  const Ecef origin = ToEcef(i_originLongitude, i_originLatitude);
  const Ecef point = ToEcef(i_longitude, i_latitude);
  const double dx = point.x - origin.x, dy = point.y - origin.y, dz = point.z - origin.z;
  const double phi = Radians(i_originLatitude);
  const double lambda = Radians(i_originLongitude);
  MapPoint result;
  result.east = -std::sin(lambda) * dx + std::cos(lambda) * dy;
  result.north = -std::sin(phi) * std::cos(lambda) * dx - std::sin(phi) * std::sin(lambda) * dy + std::cos(phi) * dz;
  return result;
}

void FromMercator(double i_x, double i_y, double& o_longitude, double& o_latitude) {
  o_longitude = i_x / kSemiMajor * 180.0 / kPi;
  o_latitude = (2.0 * std::atan(std::exp(i_y / kSemiMajor)) - kPi / 2.0) * 180.0 / kPi;
}

// The EPSG code at the end of a crs name ("urn:ogc:def:crs:EPSG::3857", "EPSG:4326"), or -1.
long EpsgCode(const std::string& i_name) {
  std::string upper;
  for (char c : i_name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("EPSG") == std::string::npos) return -1;
  std::string::size_type end = upper.size();
  std::string::size_type start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(upper[start - 1]))) --start;
  if (start == end || end - start > 9) return -1;
  return std::stol(upper.substr(start));
}

}  // namespace detail

CoordinateKind KindOfCrs(const std::string& i_name) {
  if (i_name.empty()) return CoordinateKind::Degrees;
  std::string upper;
  for (char c : i_name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("CRS84") != std::string::npos) return CoordinateKind::Degrees;
  switch (detail::EpsgCode(i_name)) {
    case 4326:
    case 4258:
    case 4979:
      return CoordinateKind::Degrees;
    case 3857:
    case 900913:
    case 102100:
    case 102113:
    case 3785:
      return CoordinateKind::WebMercator;
    default:
      return CoordinateKind::Metres;
  }
}

MapPoint Project(const Projection& i_projection, double i_x, double i_y) {
  switch (i_projection.kind) {
    case CoordinateKind::Metres:
      return MapPoint{i_x - i_projection.originX, i_y - i_projection.originY};
    case CoordinateKind::WebMercator: {
      double originLongitude = 0, originLatitude = 0, longitude = 0, latitude = 0;
      detail::FromMercator(i_projection.originX, i_projection.originY, originLongitude, originLatitude);
      detail::FromMercator(i_x, i_y, longitude, latitude);
      return detail::Enu(originLongitude, originLatitude, longitude, latitude);
    }
    case CoordinateKind::Degrees:
      break;
  }
  return detail::Enu(i_projection.originX, i_projection.originY, i_x, i_y);
}

bool InRange(const Projection& i_projection, double i_x, double i_y) {
  if (!std::isfinite(i_x) || !std::isfinite(i_y)) return false;
  switch (i_projection.kind) {
    case CoordinateKind::Metres:
      return true;
    case CoordinateKind::WebMercator:
      return std::fabs(i_x) <= detail::kMercatorEdge && std::fabs(i_y) <= detail::kMercatorEdge;
    case CoordinateKind::Degrees:
      break;
  }
  return std::fabs(i_x) <= 180.0 && std::fabs(i_y) <= 90.0;
}

double ProjectionError(const Projection& i_projection, double i_distance) {
  if (i_projection.kind == CoordinateKind::Metres) return 0.0;
  return i_distance * i_distance * i_distance / (6.0 * detail::kMeanRadius * detail::kMeanRadius);
}

}  // namespace Ostrel::Geo
