#pragma once
// Where map coordinates land: longitude and latitude (WGS 84) onto a plane in metres tangent to
// the ellipsoid at an origin, or planar coordinates moved to that origin.
//
// The plane is the local east-north-up frame of the origin: a position goes to its point on the
// ellipsoid (height 0), then to earth-centred coordinates, then into the frame at the origin,
// and its height above the plane is dropped. This is the orthographic projection onto the
// tangent plane; every position keeps its bearing from the origin, and its distance from the
// origin shrinks by about d^3 / (6 R^2) (R = 6371 km): 4 mm at 10 km, 3.3 cm at 20 km, 11 cm at
// 30 km, so a city within 20 km of its origin lands within a hundredth of a 3 m cell. Lengths
// near a point d from the origin shrink by at most d^2 / (2 R^2) (5 ppm at 20 km), so the
// buildings' own shapes are as exact as the data.

#include <string>

namespace Ostrel::Geo {

// A point on the plane: metres east and north of the origin.
struct MapPoint {
  double east = 0;
  double north = 0;
};

enum class CoordinateKind {
  Degrees,      // longitude, latitude (WGS 84)
  WebMercator,  // the spherical Mercator of web maps (EPSG:3857), turned back into degrees
  Metres,       // a projected system, metres east and north
};

// The coordinates a GeoJSON crs name gives: degrees for OGC CRS84 and EPSG 4326 (and the other
// geographic systems of WGS 84 and ETRS89: 4258, 4979), web Mercator for 3857 and its aliases,
// metres for any other system named. An empty name: degrees, the GeoJSON default.
CoordinateKind KindOfCrs(const std::string& i_name);

struct Projection {
  CoordinateKind kind = CoordinateKind::Degrees;
  double originX = 0;  // of the origin, in the file's coordinates: longitude, or easting
  double originY = 0;  // latitude, or northing
};

// Where the file's position (i_x, i_y) lands on the plane of i_projection.
MapPoint Project(const Projection& i_projection, double i_x, double i_y);

// Whether (i_x, i_y) can be projected: degrees within -180..180 and -90..90; web Mercator within
// its square; anything finite in metres.
bool InRange(const Projection& i_projection, double i_x, double i_y);

// The most a position at i_distance metres from the origin is misplaced by the projection, in
// metres (about d^3 / (6 R^2)); 0 for metres.
double ProjectionError(const Projection& i_projection, double i_distance);

}  // namespace Ostrel::Geo
