// The projection onto the tangent plane, against distances and bearings on the ellipsoid from
// Vincenty's inverse formula, written here apart from the code under test.

#include <gtest/gtest.h>

#include <cmath>

#include <ostrel/geo/Projection.h>

namespace {

using Ostrel::Geo::CoordinateKind;
using Ostrel::Geo::MapPoint;
using Ostrel::Geo::Projection;

constexpr double kPiRadians = 3.14159265358979323846;

// Geodesic distance (metres) and initial bearing (radians, clockwise from north) on WGS 84.
void Vincenty(double i_lon1, double i_lat1, double i_lon2, double i_lat2, double& o_distance, double& o_bearing) {
  const double a = 6378137.0, f = 1 / 298.257223563, b = a * (1 - f);
  const double l = (i_lon2 - i_lon1) * kPiRadians / 180;
  const double u1 = std::atan((1 - f) * std::tan(i_lat1 * kPiRadians / 180));
  const double u2 = std::atan((1 - f) * std::tan(i_lat2 * kPiRadians / 180));
  double lambda = l, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
  for (int i = 0; i < 200; ++i) {
    const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
    sinSigma = std::hypot(std::cos(u2) * sinLambda, std::cos(u1) * std::sin(u2) - std::sin(u1) * std::cos(u2) * cosLambda);
    cosSigma = std::sin(u1) * std::sin(u2) + std::cos(u1) * std::cos(u2) * cosLambda;
    sigma = std::atan2(sinSigma, cosSigma);
    const double sinAlpha = std::cos(u1) * std::cos(u2) * sinLambda / sinSigma;
    cos2Alpha = 1 - sinAlpha * sinAlpha;
    cos2SigmaM = cosSigma - 2 * std::sin(u1) * std::sin(u2) / cos2Alpha;
    const double c = f / 16 * cos2Alpha * (4 + f * (4 - 3 * cos2Alpha));
    const double previous = lambda;
    lambda = l + (1 - c) * f * sinAlpha * (sigma + c * sinSigma * (cos2SigmaM + c * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
    if (std::fabs(lambda - previous) < 1e-13) break;
  }
  const double uu = cos2Alpha * (a * a - b * b) / (b * b);
  const double aa = 1 + uu / 16384 * (4096 + uu * (-768 + uu * (320 - 175 * uu)));
  const double bb = uu / 1024 * (256 + uu * (-128 + uu * (74 - 47 * uu)));
  const double deltaSigma =
      bb * sinSigma * (cos2SigmaM + bb / 4 * (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                                              bb / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) * (-3 + 4 * cos2SigmaM * cos2SigmaM)));
  o_distance = b * aa * (sigma - deltaSigma);
  o_bearing = std::atan2(std::cos(u2) * std::sin(lambda),
                         std::cos(u1) * std::sin(u2) - std::sin(u1) * std::cos(u2) * std::cos(lambda));
}

TEST(Projection, DistancesAndBearingsFromTheOriginMatchTheEllipsoid) {
  for (const double originLatitude : {0.0, 52.52, -33.9, 64.1}) {
    const Projection projection{CoordinateKind::Degrees, 13.4, originLatitude};
    for (const double degrees : {0.005, 0.05, 0.15}) {
      for (int step = 0; step < 8; ++step) {
        const double turn = step * kPiRadians / 4 + 0.3;
        const double longitude = 13.4 + degrees * std::sin(turn) / std::cos(originLatitude * kPiRadians / 180);
        const double latitude = originLatitude + degrees * std::cos(turn);
        const MapPoint point = Ostrel::Geo::Project(projection, longitude, latitude);
        double distance = 0, bearing = 0;
        Vincenty(13.4, originLatitude, longitude, latitude, distance, bearing);
        const double planar = std::hypot(point.east, point.north);
        // Shorter by the stated error at most (plus a millimetre for the formula's own error).
        EXPECT_LE(distance - planar, Ostrel::Geo::ProjectionError(projection, distance) * 1.05 + 1e-3);
        EXPECT_GE(distance - planar, -1e-3) << originLatitude << " " << degrees;
        const double planarBearing = std::atan2(point.east, point.north);
        EXPECT_NEAR(std::remainder(planarBearing - bearing, 2 * kPiRadians) * distance, 0.0, 0.01)
            << originLatitude << " " << degrees << " " << step;
      }
    }
  }
  // 20 km out the error is still a hundredth of a 3 m cell.
  EXPECT_LT(Ostrel::Geo::ProjectionError(Projection{}, 20000), 0.035);
}

TEST(Projection, WebMercatorAndPlanarMetresAndCrsNames) {
  // A point of web Mercator lands where its longitude and latitude would.
  const double r = 6378137.0;
  const auto mercatorY = [&](double i_latitude) { return r * std::log(std::tan(kPiRadians / 4 + i_latitude * kPiRadians / 360)); };
  const Projection mercator{CoordinateKind::WebMercator, r * 13.4 * kPiRadians / 180, mercatorY(52.5)};
  const Projection degrees{CoordinateKind::Degrees, 13.4, 52.5};
  const MapPoint a = Ostrel::Geo::Project(mercator, r * 13.41 * kPiRadians / 180, mercatorY(52.49));
  const MapPoint b = Ostrel::Geo::Project(degrees, 13.41, 52.49);
  EXPECT_NEAR(a.east, b.east, 1e-6);
  EXPECT_NEAR(a.north, b.north, 1e-6);

  const Projection metres{CoordinateKind::Metres, 390000.5, 5820000.25};
  const MapPoint c = Ostrel::Geo::Project(metres, 390010.5, 5819990.25);
  EXPECT_EQ(c.east, 10.0);
  EXPECT_EQ(c.north, -10.0);
  EXPECT_TRUE(Ostrel::Geo::InRange(metres, 1e9, -1e9));
  EXPECT_FALSE(Ostrel::Geo::InRange(degrees, 190, 10));
  EXPECT_FALSE(Ostrel::Geo::InRange(degrees, 10, -91));

  EXPECT_EQ(Ostrel::Geo::KindOfCrs(""), CoordinateKind::Degrees);
  EXPECT_EQ(Ostrel::Geo::KindOfCrs("urn:ogc:def:crs:OGC:1.3:CRS84"), CoordinateKind::Degrees);
  EXPECT_EQ(Ostrel::Geo::KindOfCrs("urn:ogc:def:crs:EPSG::4326"), CoordinateKind::Degrees);
  EXPECT_EQ(Ostrel::Geo::KindOfCrs("EPSG:3857"), CoordinateKind::WebMercator);
  EXPECT_EQ(Ostrel::Geo::KindOfCrs("urn:ogc:def:crs:EPSG::25833"), CoordinateKind::Metres);
  EXPECT_EQ(Ostrel::Geo::KindOfCrs("EPSG:32633"), CoordinateKind::Metres);
}

}  // namespace
