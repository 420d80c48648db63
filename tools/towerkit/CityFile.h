#pragma once
// The city file of --city: a CSV table with one building a row, read a row at a time from the
// file mapped into memory, so that a file of any length costs only the rows being read. Every
// value is checked here; a value that cannot be built is a message naming the file, line, column
// and the value found.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/city/Request.h>
#include <ostrel/city/Variation.h>
#include <ostrel/ext/Csv.h>
#include <ostrel/utils/TextFile.h>

#include "RunFlow.h"
#include "ValueChecks.h"

namespace Towerkit {

// The text of a city file, mapped into memory for reading; unmapped when dropped.
class CityText {
 public:
  CityText() = default;
  CityText(const CityText&) = delete;
  CityText& operator=(const CityText&) = delete;
  ~CityText() {
    if (m_mapped != nullptr) munmap(m_mapped, m_text.size());
  }

  // False, with o_error set, when i_path is no regular file that can be read.
  bool open(const std::string& i_path, std::string& o_error) {
    path = i_path;
    const int fd = ::open(i_path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
      o_error = "Cannot read city file '" + i_path + "': " + std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      close(fd);
      o_error = "Cannot read city file '" + i_path + "': it is not a regular file";
      return false;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > 0) {
      void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data == MAP_FAILED) {
        o_error = "Cannot read city file '" + i_path + "': " + std::strerror(errno);
        close(fd);
        return false;
      }
      madvise(data, size, MADV_SEQUENTIAL);
      m_mapped = data;
      m_text = std::string_view(static_cast<const char*>(data), size);
    }
    close(fd);
    return true;
  }

  // A text held by the caller, read as the file i_path would be.
  void hold(std::string_view i_text, const std::string& i_path) {
    path = i_path;
    m_text = i_text;
  }

  std::string_view text() const { return m_text; }

  // Lets go of the mapped pages before i_offset (bytes into the text), which have been read:
  // they come back from the file if they are read again.
  void release(std::size_t i_offset) const {
    if (m_mapped == nullptr) return;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = i_offset / page * page;
    if (bytes > 0) madvise(m_mapped, bytes, MADV_DONTNEED);
  }

  std::string path;

 private:
  void* m_mapped = nullptr;
  std::string_view m_text;
};

// The columns of a city file, in the order of kCityColumns.
enum CityColumn { kStyle, kWidth, kLength, kHeight, kDoor, kBalcony, kClose, kX, kY, kZ, kAngle, kSeed, kId };
inline constexpr const char* kCityColumns[] = {"style", "width", "length", "height", "door", "balcony", "close",
                                               "x",     "y",     "z",      "angle",  "seed", "id"};
inline constexpr int kCityColumnCount = 13;
inline constexpr int kRequiredColumns = 4;  // style to height

// One row of a city file, checked.
struct CityRow {
  std::uint64_t number = 0;  // 1-based among the rows after the header
  std::size_t line = 0;      // 1-based line of the file where the row starts
  std::string style;
  int width = 0, length = 0, height = 0;  // cell units, as -w, -l and -h
  std::string door = "  ";                // two letters, or two blanks for no door
  std::vector<std::string> balcony;       // two letters each
  std::vector<std::string> close;         // two letters each
  double x = 0, y = 0, z = 0;             // output units
  double angle = 0;                       // degrees
  std::uint64_t seed = 0;
  std::string name;  // the id, or building_ROW
};

// The request the layout builds from a row; --vary applies to every row alike.
inline Ostrel::City::Request RequestOf(const CityRow& i_row, bool i_varyByCell) {
  Ostrel::City::Request request = Ostrel::City::MakeRequest(i_row.style, i_row.door, i_row.balcony, i_row.close,
                                                            i_row.width, i_row.length, i_row.height);
  request.seed = i_row.seed;
  request.varyByCell = i_varyByCell;
  return request;
}

// Reads the rows of a city file one at a time, checking each.
class CityRows {
 public:
  // i_styles are the styles of the units folder; i_seed is mixed with a row's number when the
  // row gives no seed of its own.
  CityRows(const CityText& i_text, const Catalogue& i_styles, std::uint64_t i_seed)
      : m_text(i_text), m_styles(i_styles), m_seed(i_seed) {}

  // Reads the header. False, with o_error set, for a header that is not one of a city file.
  bool open(std::string& o_error) {
    Csv::Error error;
    if (!Csv::Open(m_text.text(), m_reader, error)) return fail(error, o_error);
    m_columns.assign(kCityColumnCount, -1);
    const std::vector<Csv::Field>& names = m_reader.header.fields;
    for (std::size_t i = 0; i < names.size(); ++i) {
      int known = 0;
      while (known < kCityColumnCount && names[i].text != kCityColumns[known]) ++known;
      if (known == kCityColumnCount) {
        o_error = where(names[i], false) + ": unknown column '" + Ostrel::TextFile::Excerpt(names[i].text) +
                  "': the columns are style, width, length, height, door, balcony, close, x, y, z, angle, "
                  "seed and id";
        return false;
      }
      m_columns[known] = static_cast<int>(i);
    }
    for (int required = 0; required < kRequiredColumns; ++required) {
      if (m_columns[required] >= 0) continue;
      o_error = "City file '" + m_text.path + "', line " + std::to_string(m_reader.header.line) +
                ": no column '" + kCityColumns[required] + "': style, width, length and height are required";
      return false;
    }
    return true;
  }

  // Reads the next row into o_row. False at the end of the file (o_error empty) or for a row
  // that cannot be built (o_error set).
  bool next(CityRow& o_row, std::string& o_error) {
    o_error.clear();
    Csv::Error error;
    if (!Csv::Next(m_reader, m_row, error)) {
      if (!error.message.empty()) fail(error, o_error);
      return false;
    }
    // Read pages are let go a few MiB at a time, so that a long file never stays in memory.
    const std::size_t offset = m_text.text().size() - m_reader.text.size();
    if (offset - m_released > kReleaseBytes) {
      m_text.release(offset);
      m_released = offset;
    }
    o_row = CityRow{};
    o_row.number = ++m_rows;
    o_row.line = m_row.line;
    o_row.seed = Ostrel::City::MixSeed(m_seed, o_row.number);
    o_row.name = "building_" + std::to_string(o_row.number);
    return readStyle(o_row.style, o_error) && readSize(kWidth, 2, o_row.width, o_error) &&
           readSize(kLength, 2, o_row.length, o_error) && readSize(kHeight, 1, o_row.height, o_error) &&
           readDoor(o_row.door, o_error) && readRequests(kBalcony, kBalconyRequest, o_row.balcony, o_error) &&
           readRequests(kClose, kWallRequest, o_row.close, o_error) && readPlace(kX, o_row.x, o_error) &&
           readPlace(kY, o_row.y, o_error) && readPlace(kZ, o_row.z, o_error) &&
           readAngle(o_row.angle, o_error) && readSeed(o_row.seed, o_error) && readId(o_row.name, o_error);
  }

  const std::string& path() const { return m_text.path; }

 private:
  static constexpr std::size_t kReleaseBytes = std::size_t{8} << 20;

  // "City file 'c.csv', line 3, column 2 (width)"; the column's name only for a row's field.
  std::string where(const Csv::Field& i_field, bool i_named = true) const {
    std::string place = "City file '" + m_text.path + "', line " + std::to_string(i_field.line) + ", column " +
                        std::to_string(i_field.column);
    if (i_named) place += " (" + m_reader.header.fields[i_field.column - 1].text + ")";
    return place;
  }

  bool fail(const Csv::Error& i_error, std::string& o_error) const {
    o_error = "City file '" + m_text.path + "'";
    if (i_error.line > 0) o_error += ", line " + std::to_string(i_error.line);
    if (i_error.column > 0) o_error += ", column " + std::to_string(i_error.column);
    o_error += ": " + i_error.message;
    if (!i_error.text.empty()) o_error += ": '" + i_error.text + "'";
    return false;
  }

  // The field of a column, or null when the file has no such column.
  const Csv::Field* field(CityColumn i_column) const {
    const int at = m_columns[i_column];
    return at < 0 ? nullptr : &m_row.fields[static_cast<std::size_t>(at)];
  }

  // A message about the value of a field: "City file ..., column 2 (width): '-3' is negative".
  bool refuse(const Csv::Field& i_field, const std::string& i_fault, std::string& o_error) const {
    o_error = where(i_field) + ": '" + Ostrel::TextFile::Excerpt(i_field.text) + "'" + i_fault;
    return false;
  }

  bool readStyle(std::string& o_style, std::string& o_error) const {
    const Csv::Field& style = *field(kStyle);
    o_style = std::string(Csv::detail::TrimBlanks(style.text));
    if (m_styles.count(o_style) != 0) return true;
    return refuse(style, " is not a style of the units folder (-k lists them)", o_error);
  }

  bool readSize(CityColumn i_column, int i_extra, int& o_size, std::string& o_error) const {
    const Csv::Field& size = *field(i_column);
    const Csv::NumberError number = Csv::ParseInt(size.text, o_size);
    if (number != Csv::NumberError::kNone) return refuse(size, std::string(" ") + Csv::Describe(number), o_error);
    const std::string fault = SizeFault(o_size, i_extra);
    return fault.empty() || refuse(size, fault, o_error);
  }

  bool readDoor(std::string& o_door, std::string& o_error) const {
    const Csv::Field* door = field(kDoor);
    if (door == nullptr) return true;
    const std::string value(Csv::detail::TrimBlanks(door->text));
    if (value.empty()) return true;
    const std::string fault = RequestFault(value, kDoorRequest);
    if (!fault.empty()) return refuse(*door, fault, o_error);
    o_door = value;
    return true;
  }

  // Requests separated by blanks: "NC EA".
  bool readRequests(CityColumn i_column, const RequestKind& i_kind, std::vector<std::string>& o_requests,
                    std::string& o_error) const {
    const Csv::Field* requests = field(i_column);
    if (requests == nullptr) return true;
    const std::string& text = requests->text;
    for (std::size_t pos = 0; pos < text.size();) {
      if (text[pos] == ' ' || text[pos] == '\t') {
        ++pos;
        continue;
      }
      std::size_t end = pos;
      while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
      const std::string request = text.substr(pos, end - pos);
      const std::string fault = RequestFault(request, i_kind);
      if (!fault.empty()) {
        o_error = where(*requests) + ": '" + Ostrel::TextFile::Excerpt(request) + "'" + fault;
        return false;
      }
      o_requests.push_back(request);
      pos = end;
    }
    return true;
  }

  // An optional number: an empty field keeps the default.
  bool readNumber(CityColumn i_column, double& io_value, std::string& o_error) const {
    const Csv::Field* number = field(i_column);
    if (number == nullptr || Csv::detail::TrimBlanks(number->text).empty()) return true;
    const Csv::NumberError fault = Csv::ParseDouble(number->text, io_value);
    return fault == Csv::NumberError::kNone || refuse(*number, std::string(" ") + Csv::Describe(fault), o_error);
  }

  // A coordinate is written as a float.
  bool readPlace(CityColumn i_column, double& io_value, std::string& o_error) const {
    if (!readNumber(i_column, io_value, o_error)) return false;
    if (io_value >= -FLT_MAX && io_value <= FLT_MAX) return true;
    return refuse(*field(i_column), " is out of range", o_error);
  }

  bool readAngle(double& io_angle, std::string& o_error) const { return readNumber(kAngle, io_angle, o_error); }

  bool readSeed(std::uint64_t& io_seed, std::string& o_error) const {
    const Csv::Field* seed = field(kSeed);
    if (seed == nullptr) return true;
    const std::string_view text = Csv::detail::TrimBlanks(seed->text);
    if (text.empty()) return true;
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
      return refuse(*seed, " is not a whole number from 0 to 18446744073709551615", o_error);
    }
    io_seed = value;
    return true;
  }

  // An id names the building on one line of the output.
  bool readId(std::string& io_name, std::string& o_error) const {
    const Csv::Field* id = field(kId);
    if (id == nullptr) return true;
    const std::string value(Csv::detail::TrimBlanks(id->text));
    if (value.empty()) return true;
    for (const char c : value) {
      if (c == '\n' || c == '\r') return refuse(*id, " holds a line break: an id names the building on one line", o_error);
    }
    io_name = value;
    return true;
  }

  const CityText& m_text;
  const Catalogue& m_styles;
  std::uint64_t m_seed;
  Csv::Reader m_reader;
  Csv::Row m_row;
  std::vector<int> m_columns;  // the 0-based field of each column of kCityColumns, or -1
  std::uint64_t m_rows = 0;
  std::size_t m_released = 0;  // bytes of the text let go
};

}  // namespace Towerkit
