#pragma once
// The city file of --city: a CSV table with one building a row, read a row at a time in chunks,
// so that a file of any length costs only the rows being read, and a file cut short or changed
// while it is read gives an error line rather than a crash. Every value is checked here; a value
// that cannot be built is a message naming the file, line, column and the value found.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/ext/Csv.h>
#include <ostrel/layout/Request.h>

#include "RunFlow.h"
#include "ValueChecks.h"

namespace Towerkit {

// A city file, open for reading at any offset; closed when dropped.
class CityText {
 public:
  CityText() = default;
  CityText(const CityText&) = delete;
  CityText& operator=(const CityText&) = delete;
  ~CityText();

  // False, with o_error set, when i_path is no regular file that can be read. A FIFO is refused
  // without waiting for a writer.
  bool open(const std::string& i_path, std::string& o_error);

  // A text held by the caller, read as the file i_path would be.
  void hold(std::string_view i_text, const std::string& i_path) {
    path = i_path;
    m_held = i_text;
    m_holds = true;
    m_size = i_text.size();
  }

  // Appends up to i_count bytes from i_offset to io_bytes. The bytes appended (0 at the end), or
  // -1 with errno set.
  long long read(std::uint64_t i_offset, std::size_t i_count, std::string& io_bytes) const;

  // Empty while the file is as it was opened (length and time of change) and i_read, the bytes
  // a pass read to its end, is its length; else why not, to end a message about the file.
  std::string changed(std::uint64_t i_read) const;

  std::string path;

 private:
  int m_fd = -1;
  bool m_holds = false;
  std::string_view m_held;
  std::uint64_t m_size = 0;
  long long m_seconds = 0, m_nanoseconds = 0;  // the time of the last change, when opened
};

// The columns of a city file, in the order of kCityColumns.
enum CityColumn {
  kStyle, kWidth, kLength, kHeight, kDoor, kBalcony, kClose, kX, kY, kZ, kAngle, kSeed, kId, kRoof, kSetback, kBand,
  kFootprint
};
inline constexpr const char* kCityColumns[] = {"style", "width", "length", "height", "door",  "balcony",
                                               "close", "x",     "y",      "z",      "angle", "seed",
                                               "id",    "roof",  "setback", "band",  "footprint"};
inline constexpr int kCityColumnCount = 17;
inline constexpr int kRequiredColumns = 4;  // style to height; width and length not with a footprint column

// One row of a city file, checked.
struct CityRow {
  std::uint64_t number = 0;  // 1-based among the rows after the header
  std::size_t line = 0;      // 1-based line of the file where the row starts
  std::string style;
  int width = 0, length = 0, height = 0;  // cell units, as -w, -l and -h; width and length 0 when a footprint gives them
  std::string door = "  ";                // two letters, or two blanks for no door
  std::vector<std::string> balcony;       // two letters each
  std::vector<std::string> close;         // two letters each
  double x = 0, y = 0, z = 0;             // output units
  double angle = 0;                       // degrees
  std::uint64_t seed = 0;
  std::string name;  // the id, or building_ROW
  Ostrel::Buildings::RoofShape roof = Ostrel::Buildings::RoofShape::Flat;
  std::vector<Ostrel::Buildings::Setback> setbacks;  // checked against the row's building
  std::vector<Ostrel::Buildings::Band> bands;        // the same, their styles those of the units folder
  // The row's footprint when its column gives one other than a rectangle (Request.h), shared by
  // the row's requests.
  std::shared_ptr<const Ostrel::Buildings::Footprint> footprint;
  std::int64_t cellsAlongX = 0, cellsAlongZ = 0;  // the footprint's bounds, when it has a column
};

// The request the layout builds from a row; --vary and --ridge apply to every row alike.
Ostrel::Buildings::Request RequestOf(const CityRow& i_row, bool i_varyByCell, Ostrel::Buildings::RidgeAxis i_ridge);

// Reads the rows of a city file one at a time, checking each.
class CityRows {
 public:
  // i_styles are the styles of the units folder; i_seed is mixed with a row's number when the
  // row gives no seed of its own.
  CityRows(const CityText& i_text, const Catalogue& i_styles, std::uint64_t i_seed)
      : m_text(i_text), m_styles(i_styles), m_seed(i_seed) {}

  // Reads the header. False, with o_error set, for a header that is not one of a city file.
  bool open(std::string& o_error);

  // Reads the next row into o_row. False at the end of the file (o_error empty) or for a row
  // that cannot be built (o_error set).
  bool next(CityRow& o_row, std::string& o_error);

  const std::string& path() const { return m_text.path; }

 private:
  // Bytes read from the file at a time.
  static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

  bool fill(std::string& o_error);
  bool readRow(CityRow& o_row, std::string& o_error);

  std::string where(const Csv::Field& i_field, bool i_named = true) const;
  bool fail(const Csv::Error& i_error, std::string& o_error) const;
  const Csv::Field* field(CityColumn i_column) const;
  bool refuse(const Csv::Field& i_field, const std::string& i_fault, std::string& o_error) const;
  bool readStyle(std::string& o_style, std::string& o_error) const;
  bool readSize(CityColumn i_column, int i_extra, int& o_size, std::string& o_error) const;
  // Width or length: with a footprint in the row (i_shaped) it may be empty or its column absent.
  bool readSide(CityColumn i_column, bool i_shaped, int& o_size, std::string& o_error) const;
  bool checkSide(CityColumn i_column, std::int64_t i_cells, int i_given, std::string& o_error) const;
  bool readDoor(std::string& o_door, std::string& o_error) const;
  bool readRequests(CityColumn i_column, const RequestKind& i_kind, std::vector<std::string>& o_requests,
                    std::string& o_error) const;
  bool readNumber(CityColumn i_column, double& io_value, std::string& o_error) const;
  bool readPlace(CityColumn i_column, double& io_value, std::string& o_error) const;
  bool readAngle(double& io_angle, std::string& o_error) const;
  bool readSeed(std::uint64_t& io_seed, std::string& o_error) const;
  bool readId(std::string& io_name, std::string& o_error) const;
  bool readRoof(Ostrel::Buildings::RoofShape& io_roof, std::string& o_error) const;
  // The setbacks and bands of the row, checked against its building: after its sizes.
  bool readShape(CityRow& io_row, std::string& o_error) const;
  // The row's footprint, "@FILE" relative to the city file's folder; checked with its roof and
  // setbacks, and against the row's width and length where they are given.
  bool readFootprint(CityRow& io_row, std::string& o_error) const;

  const CityText& m_text;
  const Catalogue& m_styles;
  std::uint64_t m_seed;
  Csv::Reader m_reader;
  Csv::Row m_row;
  std::vector<int> m_columns;  // the 0-based field of each column of kCityColumns, or -1
  std::uint64_t m_rows = 0;
  std::string m_buffer;        // the file's bytes from m_offset on; m_reader.text is its unread end
  std::uint64_t m_offset = 0;  // of m_buffer's first byte in the file
  bool m_end = false;          // the file's end is in m_buffer
};

// The length of the first row of i_text that is not blank, with the blank lines before it and its
// line end; 0 when i_text ends before that row does (a quoted field may hold line ends).
std::size_t WholeRowBytes(std::string_view i_text);

}  // namespace Towerkit
