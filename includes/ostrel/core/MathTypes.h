#pragma once
// Plain value types shared by the mesh reader, the writer and the building generator.

#include <cmath>
#include <cstddef>
#include <tuple>

namespace Ostrel {

// A point or a direction.
template <typename T>
struct Vector {
  T x;
  T y;
  T z;

  Vector() : x(0), y(0), z(0) {}
  explicit Vector(T i_all) : x(i_all), y(i_all), z(i_all) {}
  Vector(T i_x, T i_y) : x(i_x), y(i_y), z(0) {}
  Vector(T i_x, T i_y, T i_z) : x(i_x), y(i_y), z(i_z) {}

  Vector operator+(const Vector& i_other) const { return {x + i_other.x, y + i_other.y, z + i_other.z}; }
  Vector operator-(const Vector& i_other) const { return {x - i_other.x, y - i_other.y, z - i_other.z}; }
  Vector operator*(double i_factor) const {
    return {static_cast<T>(x * i_factor), static_cast<T>(y * i_factor), static_cast<T>(z * i_factor)};
  }

  T dot(const Vector& i_other) const { return x * i_other.x + y * i_other.y + z * i_other.z; }
  Vector cross(const Vector& i_other) const {
    return {y * i_other.z - z * i_other.y, z * i_other.x - x * i_other.z, x * i_other.y - y * i_other.x};
  }
  // The cross product, as an operator.
  Vector operator%(const Vector& i_other) const { return cross(i_other); }

  // Scales to length 1; a zero vector stays zero rather than turning into not-a-number.
  Vector normalize() const {
    const double length = std::sqrt(static_cast<double>(dot(*this)));
    if (length == 0) return *this;
    return *this * (1.0 / length);
  }

  // Lexicographic order, so that vectors can key ordered containers.
  bool operator<(const Vector& i_other) const {
    return std::tie(x, y, z) < std::tie(i_other.x, i_other.y, i_other.z);
  }
};

using VectorF = Vector<float>;

// A texture coordinate.
struct UV {
  float u;
  float v;

  UV() : u(0), v(0) {}
  UV(float i_u, float i_v) : u(i_u), v(i_v) {}

  bool operator<(const UV& i_other) const { return std::tie(u, v) < std::tie(i_other.u, i_other.v); }
};

// Three vertex numbers exactly as the OBJ writer prints them (1-based for a valid file).
struct Triangle {
  std::size_t v1 = 0;
  std::size_t v2 = 0;
  std::size_t v3 = 0;
};

}  // namespace Ostrel
