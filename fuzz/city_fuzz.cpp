// Feeds arbitrary bytes to towerkit as a city file and checks what must hold of every row it
// accepts and every refusal: a refusal is one printable line that names the file; an accepted row
// is numbered in turn, has sizes the building can take, requests of exactly two usable letters,
// coordinates that fit a float, a one-line name, and an angle that turns by a unit direction.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <ostrel/layout/PlanCounts.h>

#include "FuzzSupport.h"
#include "towerkit/CityFile.h"

namespace {

bool Printable(std::string_view i_text) {
  for (const char c : i_text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

void CheckRequest(const std::string& i_request, const Towerkit::RequestKind& i_kind) {
  FUZZ_CHECK(Towerkit::RequestFault(i_request, i_kind).empty());
}

void CheckRow(const Towerkit::CityRow& i_row, std::uint64_t i_number) {
  FUZZ_CHECK(i_row.number == i_number);
  FUZZ_CHECK(i_row.style == "A" || i_row.style == "B");
  FUZZ_CHECK(i_row.width >= 0 && i_row.length >= 0 && i_row.height >= 0);
  FUZZ_CHECK(Towerkit::SizeFault(i_row.width, 2).empty() && Towerkit::SizeFault(i_row.height, 1).empty());
  FUZZ_CHECK(i_row.door == "  " || Towerkit::RequestFault(i_row.door, Towerkit::kDoorRequest).empty());
  for (const std::string& balcony : i_row.balcony) CheckRequest(balcony, Towerkit::kBalconyRequest);
  for (const std::string& wall : i_row.close) CheckRequest(wall, Towerkit::kWallRequest);
  for (const double place : {i_row.x, i_row.y, i_row.z}) FUZZ_CHECK(std::isfinite(static_cast<float>(place)));
  FUZZ_CHECK(!i_row.name.empty() && i_row.name.find_first_of("\r\n") == std::string::npos);
  const Ostrel::Buildings::Frame frame = Ostrel::Buildings::CityFrame(i_row.x, i_row.y, i_row.z, i_row.angle);
  const double length = std::hypot(static_cast<double>(frame.xdir), static_cast<double>(frame.zdir));
  FUZZ_CHECK(std::fabs(length - 1) < 1e-6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  Towerkit::CityText text;
  text.hold(std::string_view(reinterpret_cast<const char*>(i_data), i_size), "fuzz.csv");
  const Towerkit::Catalogue styles = {"A", "B"};
  Towerkit::CityRows rows(text, styles, 7);
  std::string error;
  if (rows.open(error)) {
    Towerkit::CityRow row;
    std::uint64_t number = 0;
    while (rows.next(row, error)) CheckRow(row, ++number);
  }
  if (!error.empty()) FUZZ_CHECK(error.rfind("City file 'fuzz.csv'", 0) == 0 && Printable(error));
  return 0;
}
