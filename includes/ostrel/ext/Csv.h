#pragma once
// Comma-separated tables (RFC 4180) with a header row naming the columns, as city files are
// written by spreadsheets and scripts, and strict readers of the numbers in their fields.
//
// Fields are separated by commas and may be quoted with '"', a quote inside doubled; a quoted
// field may hold commas and line breaks. Lines end in LF or CR LF, the last one optionally. Every
// field and row keeps where it starts, so that a caller can name the line and column of a value
// it refuses. Errors come back as data; nothing is printed.
//
// Parse and ReadTable load a whole table; Open and Next read one row at a time from a text the
// caller holds, for tables too large to keep whole in memory.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Csv {

// Table files larger than this (file units: bytes) are refused unread.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

struct Field {
  std::string text;        // as written, quotes removed; blanks around an unquoted field kept
  std::size_t line = 0;    // 1-based line where the field starts
  std::size_t column = 0;  // 1-based position of the field in its row
};

struct Row {
  std::size_t line = 0;  // 1-based line where the row starts
  std::vector<Field> fields;
};

struct Table {
  Row header;             // the column names, without blanks or tabs around them
  std::vector<Row> rows;  // every other row, each with as many fields as the header
};

struct Error {
  std::size_t line = 0;    // 1-based; 0 for the file as a whole
  std::size_t column = 0;  // 1-based field position; 0 for the row or file as a whole
  std::string message;     // "unclosed quote", "row has 3 fields, the header has 4", ...
  std::string text;        // the text found there, shortened and safe to quote in a one-line message
};

// A row-at-a-time reading of a text that outlives it.
struct Reader {
  std::string_view text;  // what is left to read
  std::size_t line = 1;   // 1-based line at the start of text
  Row header;
};

// Blanks are the spaces and tabs that may stand around a field.
bool IsBlank(char i_c);

// i_text without the blanks at either end.
std::string_view TrimBlanks(std::string_view i_text);

enum class NumberError { kNone, kEmpty, kNotWhole, kNotNumber, kNotFinite, kOutOfRange };

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

// Replaces o_table with the table in i_text. A UTF-8 byte-order mark at the start is skipped, and
// so is every line that holds nothing but blanks and tabs. False, with o_error set, for a text
// without a header row, an empty or duplicate column name, an unclosed quote, text other than
// blanks after a closing quote, a NUL byte, or a row with more or fewer fields than the header.
bool Parse(std::string_view i_text, Table& o_table, Error& o_error);

// Parse on the file's text. False, with an error of line 0, when the path is no regular file that
// can be opened or the file holds more than kMaxFileBytes.
bool ReadTable(const std::string& i_path, Table& o_table, Error& o_error);

// Starts reading i_text (kept by the caller) and reads its header row into o_reader.header.
// False, with o_error set, on the errors that Parse reports for the header.
bool Open(std::string_view i_text, Reader& o_reader, Error& o_error);

// Reads the next row into o_row. False at the end of the text (o_error.message empty) or on an
// error (o_error set).
bool Next(Reader& io_reader, Row& o_row, Error& o_error);

// The 0-based position of the column named i_name in the header, or -1.
int FindColumn(const Row& i_header, std::string_view i_name);

// A whole number in the range of int: blanks and tabs around it, an optional sign, digits and
// nothing else. o_value is written only on success (kNone).
NumberError ParseInt(std::string_view i_text, int& o_value);

// A finite number as the classic locale writes it (point, optional exponent), with blanks and
// tabs around it and an optional sign, whatever the process locale. o_value is written only on
// success (kNone).
NumberError ParseDouble(std::string_view i_text, double& o_value);

// The failure as the end of a sentence about the value: "is not a whole number", ...
const char* Describe(NumberError i_error);

}  // namespace Csv
