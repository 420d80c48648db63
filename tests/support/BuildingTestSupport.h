#pragma once
// Helpers shared by the building tests: the test kit, running a build into a string, and a
// checker that every index of an OBJ text names an element that exists.

#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

namespace BuildingTest {

// The test kit: a unit of 2 x 3 x 2 file units, and the style T whose pieces all differ.
inline const std::string kKit = std::string(TOWERKIT_TEST_DATA) + "/kit";

// One building request, in the order the constructor takes it.
struct Request {
  std::string style = "T";
  std::string door = "  ";
  std::vector<std::string> balcony;
  std::vector<std::string> close;
  int w = 1, l = 1, h = 1;
};

inline Ostrel::Buildings::Building Make(const Request& i_request, const std::string& i_units = kKit) {
  Ostrel::Buildings::Building building(i_request.style, i_request.door, i_request.balcony, i_request.close,
                                  i_request.w, i_request.l, i_request.h);
  building.setUnitsPath(i_units);
  building.setPosition(0, 0, 0);
  building.setOrientation(0, 0, 1);
  return building;
}

inline std::string BuildText(Ostrel::Buildings::Building& io_building, std::size_t i_offset = 0) {
  std::ostringstream out;
  io_building.build(out, i_offset);
  return out.str();
}

// The lines of i_text that start with i_prefix ("v ", "usemtl"), in order.
inline std::vector<std::string> Lines(const std::string& i_text, const std::string& i_prefix) {
  std::vector<std::string> out;
  std::istringstream in(i_text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(i_prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

// Empty when every face is well formed and every index names an existing element; otherwise
// the first fault found. Vertex indices may start after i_vertexOffset earlier vertices. Lines
// other than v, vn, vt and f (objects, groups, materials) are not looked at.
inline std::string CheckIndices(const std::string& i_text, std::size_t i_vertexOffset = 0) {
  std::istringstream in(i_text);
  std::string line;
  std::size_t v = i_vertexOffset, vn = 0, vt = 0;
  std::vector<std::string> faces;
  while (std::getline(in, line)) {
    if (line.rfind("v ", 0) == 0)
      ++v;
    else if (line.rfind("vn ", 0) == 0)
      ++vn;
    else if (line.rfind("vt ", 0) == 0)
      ++vt;
    else if (line.rfind("f ", 0) == 0)
      faces.push_back(line);
  }
  for (const std::string& face : faces) {
    std::istringstream words(face.substr(2));
    std::string corner;
    int corners = 0;
    while (words >> corner) {
      ++corners;
      std::size_t fields[3] = {0, 0, 0};
      int field = 0;
      for (const char c : corner) {
        if (c == '/') {
          if (++field > 2) return "corner with too many fields: " + face;
        } else if (c >= '0' && c <= '9') {
          fields[field] = fields[field] * 10 + static_cast<std::size_t>(c - '0');
        } else {
          return "bad character in face: " + face;
        }
      }
      const bool hasUv = corner.find('/') != std::string::npos && corner[corner.find('/') + 1] != '/';
      if (fields[0] <= i_vertexOffset || fields[0] > v) return "vertex index out of range: " + face;
      if (hasUv && (fields[1] == 0 || fields[1] > vt)) return "texture index out of range: " + face;
      if (field == 2 && (fields[2] == 0 || fields[2] > vn)) return "normal index out of range: " + face;
    }
    if (corners < 3) return "face with fewer than 3 corners: " + face;
  }
  return "";
}

}  // namespace BuildingTest
