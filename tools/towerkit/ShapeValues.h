#pragma once
// Setbacks and storey bands as the command line (--setback, --band) and a city file's columns
// give them: each value read and checked against the building it shapes. Unlike the lenient
// values of the first options, a value that cannot be built is an error: nothing is written.

#include <set>
#include <string>
#include <vector>

#include <ostrel/layout/Request.h>

namespace Towerkit {

// A value that cannot be built: which kind ("setback" or "band"), the value, and why, to follow
// the quoted value ("'9' steps back at storey 9: ...").
struct ShapeFault {
  const char* kind = "";
  std::string value;
  std::string why;
};

// Reads the values into io_request's setbacks and bands, in order, and checks each against the
// building (its height and footprint: Setbacks.h) and each band's style against i_styles, the
// styles of the units folder. False with the first value that is wrong.
bool ReadShape(const std::vector<std::string>& i_setbacks, const std::vector<std::string>& i_bands,
               const std::set<std::string>& i_styles, Ostrel::Buildings::Request& io_request, ShapeFault& o_fault);

// A footprint as --footprint and a city file's column give it: "X,Z X,Z ..." (an outline, rings
// after ";" courtyards) or "@FILE" (a mask; FILE relative to i_baseFolder unless absolute; empty
// for the working folder). Puts it into io_request (SetFootprint), after which the request's roof
// and setbacks are checked against it. False with o_why: a whole sentence's end, to follow
// "Value '...' of option '--footprint'" or a city file's field; a mask's fault names the file,
// line and column.
bool ReadFootprint(const std::string& i_value, const std::string& i_baseFolder, Ostrel::Buildings::Request& io_request,
                   std::string& o_why);

// What a footprint's building cannot have: a pitched roof the top block's cells (the footprint
// stepped back by the setbacks) cannot take. Empty when it has none.
std::string FootprintShapeFault(const Ostrel::Buildings::Request& i_request);

// Whether the bands' styles have the unit size of the building's style, each measured from the
// base units of the units folder it comes from (of i_folders, searched in order); a folder
// without base units takes the run's. False with an error line naming both styles.
bool BandUnitsMatch(const std::vector<std::string>& i_folders, const Ostrel::Buildings::Request& i_request,
                    std::string& o_error);

// The styles a request's storeys are built of: its own and its bands'.
std::vector<std::string> StylesOfRequest(const Ostrel::Buildings::Request& i_request);

}  // namespace Towerkit
