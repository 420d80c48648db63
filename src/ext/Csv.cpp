// Csv: definitions.

#include <ostrel/ext/Csv.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include <ostrel/utils/Numbers.h>
#include <ostrel/utils/TextFile.h>

namespace Csv {
bool IsBlank(char i_c) { return i_c == ' ' || i_c == '\t'; }

std::string_view TrimBlanks(std::string_view i_text) {
  while (!i_text.empty() && IsBlank(i_text.front())) i_text.remove_prefix(1);
  while (!i_text.empty() && IsBlank(i_text.back())) i_text.remove_suffix(1);
  return i_text;
}

namespace detail {

std::size_t BlanksAt(std::string_view i_text, std::size_t i_pos) {
  std::size_t end = i_pos;
  while (end < i_text.size() && IsBlank(i_text[end])) ++end;
  return end - i_pos;
}

// The length of the line end at i_pos: 2 for CR LF, 1 for LF, 0 for anything else.
std::size_t LineEndAt(std::string_view i_text, std::size_t i_pos) {
  if (i_pos < i_text.size() && i_text[i_pos] == '\n') return 1;
  if (i_pos + 1 < i_text.size() && i_text[i_pos] == '\r' && i_text[i_pos + 1] == '\n') return 2;
  return 0;
}

bool Fail(std::size_t i_line, std::size_t i_column, std::string i_message, std::string_view i_text,
          Error& o_error) {
  o_error = Error{i_line, i_column, std::move(i_message), Ostrel::TextFile::Excerpt(i_text)};
  return false;
}

// Reads the quoted field whose opening quote is at io_pos, moving io_pos past the closing quote
// and io_line past the line breaks inside.
bool ReadQuoted(std::string_view i_text, std::size_t& io_pos, std::size_t& io_line, Field& io_field,
                Error& o_error) {
  const std::size_t open = io_pos;
  const std::size_t openLine = io_line;
  for (std::size_t pos = open + 1; pos < i_text.size(); ++pos) {
    const char c = i_text[pos];
    if (c == '"' && pos + 1 < i_text.size() && i_text[pos + 1] == '"') {
      io_field.text += '"';
      ++pos;
    } else if (c == '"') {
      io_pos = pos + 1;
      return true;
    } else if (c == '\0') {
      return Fail(io_line, io_field.column, "NUL byte", i_text.substr(open, pos - open), o_error);
    } else {
      if (c == '\n') ++io_line;
      io_field.text += c;
    }
  }
  return Fail(openLine, io_field.column, "unclosed quote", i_text.substr(open), o_error);
}

// Reads one field starting at io_pos, up to (not past) the comma or line end after it.
bool ReadField(std::string_view i_text, std::size_t& io_pos, std::size_t& io_line, Field& o_field,
               Error& o_error) {
  o_field.line = io_line;
  std::size_t pos = io_pos + BlanksAt(i_text, io_pos);
  if (pos < i_text.size() && i_text[pos] == '"') {
    if (!ReadQuoted(i_text, pos, io_line, o_field, o_error)) return false;
    pos += BlanksAt(i_text, pos);
    if (pos < i_text.size() && i_text[pos] != ',' && LineEndAt(i_text, pos) == 0) {
      std::size_t end = pos;
      while (end < i_text.size() && i_text[end] != ',' && LineEndAt(i_text, end) == 0) ++end;
      return Fail(io_line, o_field.column, "text after a closing quote", i_text.substr(pos, end - pos),
                  o_error);
    }
    io_pos = pos;
    return true;
  }
  for (pos = io_pos; pos < i_text.size() && i_text[pos] != ',' && LineEndAt(i_text, pos) == 0; ++pos) {
    if (i_text[pos] == '\0')
      return Fail(io_line, o_field.column, "NUL byte", i_text.substr(io_pos, pos - io_pos), o_error);
  }
  o_field.text.assign(i_text.substr(io_pos, pos - io_pos));
  io_pos = pos;
  return true;
}

// Skips lines that hold nothing but blanks and tabs; false when the text ends first.
bool SkipBlankLines(Reader& io_reader) {
  for (;;) {
    const std::size_t blanks = BlanksAt(io_reader.text, 0);
    const std::size_t end = LineEndAt(io_reader.text, blanks);
    if (end == 0) return blanks < io_reader.text.size();
    io_reader.text.remove_prefix(blanks + end);
    ++io_reader.line;
  }
}

// Reads the next row that is not blank, whatever its width.
bool ReadRow(Reader& io_reader, Row& o_row, Error& o_error) {
  o_row.fields.clear();
  o_error = Error{};
  if (!SkipBlankLines(io_reader)) return false;
  o_row.line = io_reader.line;
  std::string_view text = io_reader.text;
  std::size_t pos = 0;
  for (;;) {
    Field field;
    field.column = o_row.fields.size() + 1;
    if (!ReadField(text, pos, io_reader.line, field, o_error)) return false;
    o_row.fields.push_back(std::move(field));
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      continue;
    }
    const std::size_t end = LineEndAt(text, pos);
    if (end != 0) ++io_reader.line;
    io_reader.text.remove_prefix(pos + end);
    return true;
  }
}

bool CheckHeader(Row& io_header, Error& o_error) {
  std::unordered_map<std::string, std::size_t> columns;
  for (Field& field : io_header.fields) {
    field.text = std::string(TrimBlanks(field.text));
    if (field.text.empty()) return Fail(field.line, field.column, "empty column name", "", o_error);
    const auto [first, added] = columns.emplace(field.text, field.column);
    if (!added)
      return Fail(field.line, field.column,
                  "duplicate column name, also column " + std::to_string(first->second), field.text, o_error);
  }
  return true;
}

bool CheckWidth(const Row& i_row, std::size_t i_columns, Error& o_error) {
  const std::size_t count = i_row.fields.size();
  if (count == i_columns) return true;
  const std::string message = "row has " + std::to_string(count) + (count == 1 ? " field" : " fields") +
                              ", the header has " + std::to_string(i_columns);
  if (count > i_columns) {
    const Field& extra = i_row.fields[i_columns];
    return Fail(extra.line, extra.column, message, extra.text, o_error);
  }
  return Fail(i_row.fields.back().line, count + 1, message, "", o_error);
}

// i_text with blanks and tabs around it removed and one leading '+' taken off, which
// std::from_chars does not accept; a second sign is then refused by from_chars itself.
std::string_view NumberText(std::string_view i_text) {
  i_text = TrimBlanks(i_text);
  if (!i_text.empty() && i_text.front() == '+' && i_text.size() > 1 && i_text[1] != '-')
    i_text.remove_prefix(1);
  return i_text;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

bool Open(std::string_view i_text, Reader& o_reader, Error& o_error) {
  // Spreadsheets start UTF-8 files with a byte-order mark; it is no part of the first name.
  if (i_text.substr(0, 3) == "\xEF\xBB\xBF") i_text.remove_prefix(3);
  o_reader = Reader{i_text, 1, Row{}};
  if (!detail::ReadRow(o_reader, o_reader.header, o_error)) {
    if (o_error.message.empty()) return detail::Fail(1, 0, "no header row", "", o_error);
    return false;
  }
  return detail::CheckHeader(o_reader.header, o_error);
}

bool Next(Reader& io_reader, Row& o_row, Error& o_error) {
  if (!detail::ReadRow(io_reader, o_row, o_error)) return false;
  return detail::CheckWidth(o_row, io_reader.header.fields.size(), o_error);
}

bool Parse(std::string_view i_text, Table& o_table, Error& o_error) {
  o_table = Table{};
  Reader reader;
  if (!Open(i_text, reader, o_error)) return false;
  Row row;
  while (Next(reader, row, o_error)) o_table.rows.push_back(std::move(row));
  if (!o_error.message.empty()) {
    o_table.rows.clear();
    return false;
  }
  o_table.header = std::move(reader.header);
  return true;
}

bool ReadTable(const std::string& i_path, Table& o_table, Error& o_error) {
  std::string text;
  const Ostrel::FileSystem::ReadResult result = Ostrel::FileSystem::ReadFile(i_path, kMaxFileBytes, text);
  if (result.status != Ostrel::FileSystem::ReadStatus::Ok) {
    o_table = Table{};
    return detail::Fail(0, 0, std::string("the file ") + Ostrel::TextFile::Describe(result), "", o_error);
  }
  return Parse(text, o_table, o_error);
}

int FindColumn(const Row& i_header, std::string_view i_name) {
  for (std::size_t i = 0; i < i_header.fields.size(); ++i) {
    if (i_header.fields[i].text == i_name) return static_cast<int>(i);
  }
  return -1;
}

NumberError ParseInt(std::string_view i_text, int& o_value) {
  switch (Ostrel::Numbers::ParseWhole(TrimBlanks(i_text), o_value)) {
    case Ostrel::Numbers::WholeFault::None:
      return NumberError::kNone;
    case Ostrel::Numbers::WholeFault::Empty:
      return NumberError::kEmpty;
    case Ostrel::Numbers::WholeFault::OutOfRange:
      return NumberError::kOutOfRange;
    case Ostrel::Numbers::WholeFault::NotWhole:
      break;
  }
  return NumberError::kNotWhole;
}

NumberError ParseDouble(std::string_view i_text, double& o_value) {
  const std::string_view text = detail::NumberText(i_text);
  if (text.empty()) return NumberError::kEmpty;
  double value = 0;
  const char* const end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range && result.ptr == end) return NumberError::kOutOfRange;
  if (result.ec != std::errc() || result.ptr != end) return NumberError::kNotNumber;
  if (!std::isfinite(value)) return NumberError::kNotFinite;
  o_value = value;
  return NumberError::kNone;
}

const char* Describe(NumberError i_error) {
  switch (i_error) {
    case NumberError::kNone:
      return "is a number";
    case NumberError::kEmpty:
      return "is empty";
    case NumberError::kNotWhole:
      return "is not a whole number";
    case NumberError::kNotNumber:
      return "is not a number";
    case NumberError::kNotFinite:
      return "is not a finite number";
    case NumberError::kOutOfRange:
      return "is out of range";
  }
  return "is not a number";
}

}  // namespace Csv
