// Setbacks and storey bands read from the command line or a city file, and checked.

#include "ShapeValues.h"

#include <cstddef>
#include <string>
#include <vector>

#include <ostrel/layout/Setbacks.h>

namespace Towerkit {

namespace {

bool Refuse(const char* i_kind, const std::string& i_value, const std::string& i_why, ShapeFault& o_fault) {
  o_fault = {i_kind, i_value, i_why};
  return false;
}

}  // namespace

bool ReadShape(const std::vector<std::string>& i_setbacks, const std::vector<std::string>& i_bands,
               const std::set<std::string>& i_styles, Ostrel::City::Request& io_request, ShapeFault& o_fault) {
  using namespace Ostrel::City;
  std::string why;
  for (const std::string& text : i_setbacks) {
    Setback setback;
    if (!ParseSetback(text, setback, why)) return Refuse("setback", text, why, o_fault);
    io_request.setbacks.push_back(setback);
    why = SetbackFault(io_request, io_request.setbacks.size() - 1);
    if (!why.empty()) return Refuse("setback", text, why, o_fault);
  }
  for (const std::string& text : i_bands) {
    Band band;
    if (!ParseBand(text, band, why)) return Refuse("band", text, why, o_fault);
    if (i_styles.count(band.style) == 0 || band.style == "base") {
      return Refuse("band", text,
                    " names style '" + band.style + "', which the units folder does not have (-k lists them)",
                    o_fault);
    }
    io_request.bands.push_back(band);
    why = BandFault(io_request, io_request.bands.size() - 1);
    if (!why.empty()) return Refuse("band", text, why, o_fault);
  }
  return true;
}

std::vector<std::string> StylesOfRequest(const Ostrel::City::Request& i_request) {
  std::vector<std::string> styles{i_request.style};
  for (const Ostrel::City::Band& band : i_request.bands) styles.push_back(band.style);
  return styles;
}

}  // namespace Towerkit
