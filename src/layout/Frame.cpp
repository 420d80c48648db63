// Where a building of a city stands.

#include <ostrel/layout/Frame.h>

#include <cmath>

namespace Ostrel::Buildings {

Frame CityFrame(double i_x, double i_y, double i_z, double i_degrees) {
  Frame frame;
  frame.xpos = static_cast<float>(i_x);
  frame.ypos = static_cast<float>(i_y);
  frame.zpos = static_cast<float>(i_z);
  // fmod is exact, so 450 and -270 reduce to exactly 90.
  double degrees = std::fmod(i_degrees, 360.0);
  if (degrees < 0) degrees += 360.0;
  if (degrees >= 360.0) degrees = 0;  // a tiny negative angle rounds up to 360
  if (degrees == 0) {
    frame.xdir = 0;
    frame.zdir = 1;
  } else if (degrees == 90) {
    frame.xdir = 1;
    frame.zdir = 0;
  } else if (degrees == 180) {
    frame.xdir = 0;
    frame.zdir = -1;
  } else if (degrees == 270) {
    frame.xdir = -1;
    frame.zdir = 0;
  } else {
    const double radians = degrees * (3.14159265358979323846 / 180.0);
    frame.xdir = static_cast<float>(std::sin(radians));
    frame.zdir = static_cast<float>(std::cos(radians));
  }
  return frame;
}

}  // namespace Ostrel::Buildings
