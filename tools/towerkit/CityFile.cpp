// Reading a city file: its text in chunks, and its rows, each checked.

#include "CityFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/layout/Variation.h>
#include <ostrel/utils/Numbers.h>
#include <ostrel/utils/TextFile.h>

#include "ShapeValues.h"

namespace Towerkit {

CityText::~CityText() {
  if (m_fd >= 0) close(m_fd);
}

bool CityText::open(const std::string& i_path, std::string& o_error) {
  path = i_path;
  // Without O_NONBLOCK, opening a FIFO waits for a writer, for ever if none comes.
  const int fd = ::open(i_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
  m_fd = fd;
  m_size = static_cast<std::uint64_t>(info.st_size);
  m_seconds = info.st_mtim.tv_sec;
  m_nanoseconds = info.st_mtim.tv_nsec;
  return true;
}

long long CityText::read(std::uint64_t i_offset, std::size_t i_count, std::string& io_bytes) const {
  if (m_holds) {
    if (i_offset >= m_held.size()) return 0;
    const std::string_view part = m_held.substr(static_cast<std::size_t>(i_offset), i_count);
    io_bytes.append(part);
    return static_cast<long long>(part.size());
  }
  const std::size_t before = io_bytes.size();
  io_bytes.resize(before + i_count);
  ssize_t got = 0;
  do {
    got = pread(m_fd, &io_bytes[before], i_count, static_cast<off_t>(i_offset));
  } while (got < 0 && errno == EINTR);
  io_bytes.resize(before + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  return got;
}

std::string CityText::changed(std::uint64_t i_read) const {
  if (m_holds) return std::string();
  struct stat info {};
  if (fstat(m_fd, &info) != 0) return std::strerror(errno);
  const bool same = static_cast<std::uint64_t>(info.st_size) == m_size && i_read == m_size &&
                    info.st_mtim.tv_sec == m_seconds && info.st_mtim.tv_nsec == m_nanoseconds;
  if (same) return std::string();
  return "it changed while it was read (" + std::to_string(m_size) + " bytes when opened, " +
         std::to_string(info.st_size) + " now)";
}

namespace {

// The length of a line end at i_pos: 1 for LF, 2 for CR LF, 0 otherwise; npos when the text ends
// after a CR, which may be the start of one.
std::size_t LineEndBytes(std::string_view i_text, std::size_t i_pos) {
  if (i_pos >= i_text.size()) return 0;
  if (i_text[i_pos] == '\n') return 1;
  if (i_text[i_pos] != '\r') return 0;
  if (i_pos + 1 >= i_text.size()) return std::string_view::npos;
  return i_text[i_pos + 1] == '\n' ? 2 : 0;
}

// "a, b and c": every column a city file may have, from the one table of them.
std::string ColumnList() {
  std::string list;
  for (int i = 0; i < kCityColumnCount; ++i) {
    if (i > 0) list += i + 1 == kCityColumnCount ? " and " : ", ";
    list += kCityColumns[i];
  }
  return list;
}

}  // namespace

// The same reading as Csv's, or one that waits for more: blank lines are skipped, a field that
// starts with a quote (after blanks) runs to the quote that closes it, and a row ends at the
// first line end outside one.
std::size_t WholeRowBytes(std::string_view i_text) {
  // A byte-order mark, which Csv skips at the file's start, is passed over anywhere: asking for
  // more than a row is safe, asking for less is not.
  std::size_t pos = i_text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (;;) {
    std::size_t blanks = pos;
    while (blanks < i_text.size() && Csv::IsBlank(i_text[blanks])) ++blanks;
    const std::size_t end = LineEndBytes(i_text, blanks);
    if (blanks >= i_text.size() || end == std::string_view::npos) return 0;
    if (end == 0) break;
    pos = blanks + end;
  }
  bool fieldStart = true;
  while (pos < i_text.size()) {
    if (fieldStart) {
      while (pos < i_text.size() && Csv::IsBlank(i_text[pos])) ++pos;
      fieldStart = false;
      if (pos < i_text.size() && i_text[pos] == '"') {
        for (++pos;; pos += 2) {
          pos = i_text.find('"', pos);
          if (pos == std::string_view::npos || pos + 1 >= i_text.size()) return 0;
          if (i_text[pos + 1] != '"') break;
        }
        ++pos;
        continue;
      }
    }
    if (i_text[pos] == ',') {
      fieldStart = true;
      ++pos;
      continue;
    }
    const std::size_t end = LineEndBytes(i_text, pos);
    if (end == std::string_view::npos) return 0;
    if (end != 0) return pos + end;
    ++pos;
  }
  return 0;
}

// Unless a whole row waits already, drops the bytes the reader has read and reads chunks until
// one does or the file ends. False, with o_error set, when the file cannot be read.
bool CityRows::fill(std::string& o_error) {
  if (m_end || WholeRowBytes(m_reader.text) != 0) return true;
  const std::size_t read = m_buffer.size() - m_reader.text.size();
  m_buffer.erase(0, read);
  m_offset += read;
  while (!m_end && WholeRowBytes(m_buffer) == 0) {
    const long long got = m_text.read(m_offset + m_buffer.size(), kChunkBytes, m_buffer);
    if (got < 0) {
      o_error = "Cannot read city file '" + m_text.path + "': " + std::strerror(errno);
      return false;
    }
    m_end = got == 0;
  }
  m_reader.text = m_buffer;
  return true;
}

Ostrel::Buildings::Request RequestOf(const CityRow& i_row, bool i_varyByCell, Ostrel::Buildings::RidgeAxis i_ridge) {
  Ostrel::Buildings::Request request = Ostrel::Buildings::MakeRequest(
      i_row.style, i_row.door, i_row.balcony, i_row.close, i_row.width, i_row.length, i_row.height);
  request.seed = i_row.seed;
  request.varyByCell = i_varyByCell;
  request.ridge = i_ridge;
  request.roof = i_row.roof;
  request.setbacks = i_row.setbacks;
  request.bands = i_row.bands;
  if (i_row.cellsAlongX > 0) {
    request.cellsAlongX = i_row.cellsAlongX;
    request.cellsAlongZ = i_row.cellsAlongZ;
    request.footprint = i_row.footprint;
  }
  return request;
}

bool CityRows::open(std::string& o_error) {
  m_buffer.clear();
  m_offset = 0;
  m_end = false;
  m_reader.text = std::string_view();
  if (!fill(o_error)) return false;
  Csv::Error error;
  if (!Csv::Open(m_buffer, m_reader, error)) return fail(error, o_error);
  m_columns.assign(kCityColumnCount, -1);
  const std::vector<Csv::Field>& names = m_reader.header.fields;
  for (std::size_t i = 0; i < names.size(); ++i) {
    int known = 0;
    while (known < kCityColumnCount && names[i].text != kCityColumns[known]) ++known;
    if (known == kCityColumnCount) {
      o_error = where(names[i], false) + ": unknown column '" + Ostrel::TextFile::Excerpt(names[i].text) +
                "': the columns are " + ColumnList();
      return false;
    }
    m_columns[known] = static_cast<int>(i);
  }
  for (int required = 0; required < kRequiredColumns; ++required) {
    if (m_columns[required] >= 0) continue;
    // A file with footprints may leave out width and length: each row's footprint gives them, and
    // a row without one says so.
    if ((required == kWidth || required == kLength) && m_columns[kFootprint] >= 0) continue;
    o_error = "City file '" + m_text.path + "', line " + std::to_string(m_reader.header.line) +
              ": no column '" + kCityColumns[required] + "': style, width, length and height are required";
    return false;
  }
  return true;
}

bool CityRows::next(CityRow& o_row, std::string& o_error) {
  o_error.clear();
  if (!fill(o_error)) return false;
  if (readRow(o_row, o_error)) return true;
  // A file cut short or changed shows as a row it cannot be, or as its end too soon: say why.
  if (!m_end) return false;
  const std::string changed = m_text.changed(m_offset + m_buffer.size());
  if (!changed.empty()) o_error = "City file '" + m_text.path + "': " + changed;
  return false;
}

bool CityRows::readRow(CityRow& o_row, std::string& o_error) {
  Csv::Error error;
  if (!Csv::Next(m_reader, m_row, error)) {
    if (!error.message.empty()) fail(error, o_error);
    return false;
  }
  o_row = CityRow{};
  o_row.number = ++m_rows;
  o_row.line = m_row.line;
  o_row.seed = Ostrel::Buildings::MixSeed(m_seed, o_row.number);
  o_row.name = "building_" + std::to_string(o_row.number);
  const Csv::Field* footprint = field(kFootprint);
  const bool shaped = footprint != nullptr && !Csv::TrimBlanks(footprint->text).empty();
  return readStyle(o_row.style, o_error) && readSide(kWidth, shaped, o_row.width, o_error) &&
         readSide(kLength, shaped, o_row.length, o_error) && readSize(kHeight, 1, o_row.height, o_error) &&
         readDoor(o_row.door, o_error) && readRequests(kBalcony, kBalconyRequest, o_row.balcony, o_error) &&
         readRequests(kClose, kWallRequest, o_row.close, o_error) && readPlace(kX, o_row.x, o_error) &&
         readPlace(kY, o_row.y, o_error) && readPlace(kZ, o_row.z, o_error) &&
         readAngle(o_row.angle, o_error) && readSeed(o_row.seed, o_error) && readId(o_row.name, o_error) &&
         readRoof(o_row.roof, o_error) && readFootprint(o_row, o_error) &&
         readShape(o_row, o_error);
}

// "City file 'c.csv', line 3, column 2 (width)"; the column's name only for a row's field.
std::string CityRows::where(const Csv::Field& i_field, bool i_named) const {
  std::string place = "City file '" + m_text.path + "', line " + std::to_string(i_field.line) + ", column " +
                      std::to_string(i_field.column);
  if (i_named) place += " (" + m_reader.header.fields[i_field.column - 1].text + ")";
  return place;
}

bool CityRows::fail(const Csv::Error& i_error, std::string& o_error) const {
  o_error = "City file '" + m_text.path + "'";
  if (i_error.line > 0) o_error += ", line " + std::to_string(i_error.line);
  if (i_error.column > 0) o_error += ", column " + std::to_string(i_error.column);
  o_error += ": " + i_error.message;
  if (!i_error.text.empty()) o_error += ": '" + i_error.text + "'";
  return false;
}

// The field of a column, or null when the file has no such column.
const Csv::Field* CityRows::field(CityColumn i_column) const {
  const int at = m_columns[i_column];
  return at < 0 ? nullptr : &m_row.fields[static_cast<std::size_t>(at)];
}

// A message about the value of a field: "City file ..., column 2 (width): '-3' is negative".
bool CityRows::refuse(const Csv::Field& i_field, const std::string& i_fault, std::string& o_error) const {
  o_error = where(i_field) + ": '" + Ostrel::TextFile::Excerpt(i_field.text) + "'" + i_fault;
  return false;
}

bool CityRows::readStyle(std::string& o_style, std::string& o_error) const {
  const Csv::Field& style = *field(kStyle);
  o_style = std::string(Csv::TrimBlanks(style.text));
  if (m_styles.count(o_style) != 0) return true;
  return refuse(style, " is not a style of the units folder (-k lists them)", o_error);
}

bool CityRows::readSize(CityColumn i_column, int i_extra, int& o_size, std::string& o_error) const {
  const Csv::Field& size = *field(i_column);
  const Csv::NumberError number = Csv::ParseInt(size.text, o_size);
  if (number != Csv::NumberError::kNone)
    return refuse(size, std::string(" ") + Csv::Describe(number), o_error);
  const std::string fault = SizeFault(o_size, i_extra);
  return fault.empty() || refuse(size, fault, o_error);
}

bool CityRows::readSide(CityColumn i_column, bool i_shaped, int& o_size, std::string& o_error) const {
  const Csv::Field* side = field(i_column);
  if (i_shaped && (side == nullptr || Csv::TrimBlanks(side->text).empty())) return true;
  if (side != nullptr) return readSize(i_column, 2, o_size, o_error);
  o_error = "City file '" + m_text.path + "', line " + std::to_string(m_row.line) + ": no footprint and no column '" +
            kCityColumns[i_column] + "': a row without a footprint needs width and length";
  return false;
}

// A width or length given beside a footprint: the same as the footprint's bounds give, i_cells
// along the side's axis less the two corner cells, or an error at the field.
bool CityRows::checkSide(CityColumn i_column, std::int64_t i_cells, int i_given, std::string& o_error) const {
  const Csv::Field* side = field(i_column);
  if (side == nullptr || Csv::TrimBlanks(side->text).empty() || i_given == i_cells - 2) return true;
  const bool width = i_column == kWidth;
  const std::string size = std::to_string(i_cells - 2);
  return refuse(*side,
                std::string(" is not the footprint's ") + kCityColumns[i_column] + ": it spans " +
                    std::to_string(i_cells) + " cells from " + (width ? "north to south" : "west to east") +
                    ", which is " + kCityColumns[i_column] + " " + size + ": give " + size + " or leave it empty",
                o_error);
}

bool CityRows::readDoor(std::string& o_door, std::string& o_error) const {
  const Csv::Field* door = field(kDoor);
  if (door == nullptr) return true;
  const std::string value(Csv::TrimBlanks(door->text));
  if (value.empty()) return true;
  const std::string fault = RequestFault(value, kDoorRequest);
  if (!fault.empty()) return refuse(*door, fault, o_error);
  o_door = value;
  return true;
}

namespace {

// The words of a field, separated by blanks: requests ("NC EA"), setbacks, bands.
std::vector<std::string> Words(const std::string& i_text) {
  std::vector<std::string> words;
  for (std::size_t pos = 0; pos < i_text.size();) {
    if (i_text[pos] == ' ' || i_text[pos] == '\t') {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < i_text.size() && i_text[end] != ' ' && i_text[end] != '\t') ++end;
    words.push_back(i_text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

}  // namespace

bool CityRows::readRequests(CityColumn i_column, const RequestKind& i_kind,
                            std::vector<std::string>& o_requests, std::string& o_error) const {
  const Csv::Field* requests = field(i_column);
  if (requests == nullptr) return true;
  for (const std::string& request : Words(requests->text)) {
    const std::string fault = RequestFault(request, i_kind);
    if (!fault.empty()) {
      o_error = where(*requests) + ": '" + Ostrel::TextFile::Excerpt(request) + "'" + fault;
      return false;
    }
    o_requests.push_back(request);
  }
  return true;
}

// An optional number: an empty field keeps the default.
bool CityRows::readNumber(CityColumn i_column, double& io_value, std::string& o_error) const {
  const Csv::Field* number = field(i_column);
  if (number == nullptr || Csv::TrimBlanks(number->text).empty()) return true;
  const Csv::NumberError fault = Csv::ParseDouble(number->text, io_value);
  return fault == Csv::NumberError::kNone ||
         refuse(*number, std::string(" ") + Csv::Describe(fault), o_error);
}

// A coordinate is written as a float.
bool CityRows::readPlace(CityColumn i_column, double& io_value, std::string& o_error) const {
  if (!readNumber(i_column, io_value, o_error)) return false;
  if (io_value >= -FLT_MAX && io_value <= FLT_MAX) return true;
  return refuse(*field(i_column), " is out of range", o_error);
}

bool CityRows::readAngle(double& io_angle, std::string& o_error) const {
  return readNumber(kAngle, io_angle, o_error);
}

bool CityRows::readSeed(std::uint64_t& io_seed, std::string& o_error) const {
  const Csv::Field* seed = field(kSeed);
  if (seed == nullptr) return true;
  const std::string_view text = Csv::TrimBlanks(seed->text);
  if (text.empty()) return true;
  if (Ostrel::Numbers::ParseWhole(text, io_seed) == Ostrel::Numbers::WholeFault::None) return true;
  return refuse(*seed, " is not a whole number from 0 to 18446744073709551615", o_error);
}

// An id names the building on one line of the output.
bool CityRows::readId(std::string& io_name, std::string& o_error) const {
  const Csv::Field* id = field(kId);
  if (id == nullptr) return true;
  const std::string value(Csv::TrimBlanks(id->text));
  if (value.empty()) return true;
  for (const char c : value) {
    if (c == '\n' || c == '\r')
      return refuse(*id, " holds a line break: an id names the building on one line", o_error);
  }
  io_name = value;
  return true;
}

bool CityRows::readRoof(Ostrel::Buildings::RoofShape& io_roof, std::string& o_error) const {
  const Csv::Field* roof = field(kRoof);
  if (roof == nullptr) return true;
  const std::string value(Csv::TrimBlanks(roof->text));
  if (value.empty() || Ostrel::Buildings::RoofShapeOf(value, io_roof)) return true;
  return refuse(*roof, " is not a roof: give flat, gable or hip", o_error);
}

bool CityRows::readShape(CityRow& io_row, std::string& o_error) const {
  const Csv::Field* setbacks = field(kSetback);
  const Csv::Field* bands = field(kBand);
  if (setbacks == nullptr && bands == nullptr) return true;
  Ostrel::Buildings::Request request = RequestOf(io_row, false, Ostrel::Buildings::RidgeAxis::Longer);
  ShapeFault fault;
  if (ReadShape(setbacks ? Words(setbacks->text) : std::vector<std::string>{},
                bands ? Words(bands->text) : std::vector<std::string>{}, m_styles, request, fault)) {
    io_row.setbacks = request.setbacks;
    io_row.bands = request.bands;
    // A footprint's pitched roof stands on the cells its setbacks leave.
    const std::string roof = request.setbacks.empty() ? "" : FootprintShapeFault(request);
    if (roof.empty()) return true;
    o_error = where(*setbacks) + ": '" + Ostrel::TextFile::Excerpt(setbacks->text) + "'" + roof;
    return false;
  }
  const Csv::Field& at = std::string(fault.kind) == "setback" ? *setbacks : *bands;
  o_error = where(at) + ": '" + Ostrel::TextFile::Excerpt(fault.value) + "'" + fault.why;
  return false;
}

bool CityRows::readFootprint(CityRow& io_row, std::string& o_error) const {
  const Csv::Field* column = field(kFootprint);
  if (column == nullptr) return true;
  const std::string value(Csv::TrimBlanks(column->text));
  if (value.empty()) return true;
  const std::size_t slash = m_text.path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : m_text.path.substr(0, slash == 0 ? 1 : slash);
  Ostrel::Buildings::Request request = RequestOf(io_row, false, Ostrel::Buildings::RidgeAxis::Longer);
  std::string why;
  // Setbacks are read after the footprint, against it (readShape).
  if (ReadFootprint(value, folder, request, why)) why = FootprintShapeFault(request);
  if (!why.empty()) {
    o_error = where(*column) + ": '" + Ostrel::TextFile::Excerpt(value) + "'" + why;
    return false;
  }
  io_row.footprint = request.footprint;
  io_row.cellsAlongX = request.cellsAlongX;
  io_row.cellsAlongZ = request.cellsAlongZ;
  return checkSide(kWidth, io_row.cellsAlongX, io_row.width, o_error) &&
         checkSide(kLength, io_row.cellsAlongZ, io_row.length, o_error);
}

}  // namespace Towerkit
