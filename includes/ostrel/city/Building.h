#pragma once
// PLACEHOLDER: the public interface of the building generator; the bodies are being written.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace Ostrel::City {

// Why the last build wrote nothing.
enum class BuildError {
  None,
  NoBaseUnits,    // the base units give no vertex, or a zero or non-finite size on an axis
  NothingPlaced,  // the layout placed no vertex at all (an unknown style, say)
  TooLarge,       // the counts of the building would overflow its 32-bit indices
};

class Building {
 public:
  Building() = default;
  Building(const std::string& s, const std::string& door, const std::vector<std::string>& balcony,
           const std::vector<std::string>& close, int w, int l, int h)
      : m_style(s), m_door(door), m_balcony(balcony), m_close(close), m_width(l + 2), m_length(w + 2),
        m_height(h + 1) {}

  void setUnitsPath(const std::string& path) { m_units_path = path; }
  void setPosition(float x, float y, float z) { m_xpos = x, m_ypos = y, m_zpos = z; }
  void setOrientation(float x, float y, float z) { m_xdir = x, m_ydir = y, m_zdir = z; }

  // Writes the building into objout; returns the number of vertices written.
  std::size_t build(std::ostream& objout, std::size_t indicesoffset) {
    (void)objout;
    (void)indicesoffset;
    m_lastError = BuildError::NothingPlaced;
    return 0;
  }

  BuildError lastError() const { return m_lastError; }
  // Unit files the last build needed but could not read, each once, in the order first needed.
  const std::vector<std::string>& missingUnitFiles() const { return m_missingUnitFiles; }

 private:
  std::string m_units_path;
  std::string m_style;
  std::string m_door;
  std::vector<std::string> m_balcony;
  std::vector<std::string> m_close;
  int m_width = 0;
  int m_length = 0;
  int m_height = 0;
  float m_xpos = 0, m_ypos = 0, m_zpos = 0;
  float m_xdir = 0, m_ydir = 0, m_zdir = 1;
  BuildError m_lastError = BuildError::None;
  std::vector<std::string> m_missingUnitFiles;
};

}  // namespace Ostrel::City
