#pragma once

#include <cmath>

#include <ostrel/core/MathTypes.h>

namespace Ostrel {

// Euclidean distance, summed in double precision so that large coordinates keep their digits.
inline float distance(const VectorF& v1, const VectorF& v2) {
  const double dx = static_cast<double>(v1.x) - v2.x;
  const double dy = static_cast<double>(v1.y) - v2.y;
  const double dz = static_cast<double>(v1.z) - v2.z;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

}  // namespace Ostrel
