// Feeds arbitrary bytes to the CSV reader and checks what must hold of any result: an error names
// a line of the text with a one-line excerpt; a table has unique trimmed column names, rows as wide
// as the header whose lines and columns lie in order within the text, and reads again into the same
// texts when written back with every field quoted. Every field goes through both number readers,
// which must agree.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include <ostrel/ext/Csv.h>

#include "FuzzSupport.h"

namespace {

std::size_t LineCount(std::string_view i_text) {
  std::size_t lines = 0;
  for (const char c : i_text) lines += c == '\n' ? 1 : 0;
  return lines + (!i_text.empty() && i_text.back() != '\n' ? 1 : 0);
}

bool Printable(std::string_view i_text) {
  for (const char c : i_text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

void CheckRow(const Csv::Row& i_row, std::size_t i_lines) {
  FUZZ_CHECK(i_row.line >= 1 && i_row.line <= i_lines);
  std::size_t line = i_row.line;
  for (std::size_t i = 0; i < i_row.fields.size(); ++i) {
    const Csv::Field& field = i_row.fields[i];
    FUZZ_CHECK(field.column == i + 1);
    FUZZ_CHECK(field.line >= line && field.line <= i_lines);
    FUZZ_CHECK(field.text.find('\0') == std::string::npos);
    line = field.line;
  }
}

// Both readers on one text: a whole number is also a number of the same value.
void CheckNumbers(const std::string& i_text) {
  int whole = 0;
  double number = 0;
  const Csv::NumberError asInt = Csv::ParseInt(i_text, whole);
  const Csv::NumberError asDouble = Csv::ParseDouble(i_text, number);
  if (asInt == Csv::NumberError::kNone) FUZZ_CHECK(asDouble == Csv::NumberError::kNone && number == whole);
  if (asDouble == Csv::NumberError::kNone) FUZZ_CHECK(std::isfinite(number));
  FUZZ_CHECK((asInt == Csv::NumberError::kEmpty) == (asDouble == Csv::NumberError::kEmpty));
}

void AppendQuoted(std::string& io_text, const std::string& i_field) {
  io_text += '"';
  for (const char c : i_field) io_text += c == '"' ? std::string("\"\"") : std::string(1, c);
  io_text += '"';
}

std::string Write(const Csv::Table& i_table) {
  std::string text;
  auto appendRow = [&text](const Csv::Row& i_row) {
    for (std::size_t i = 0; i < i_row.fields.size(); ++i) {
      if (i > 0) text += ',';
      AppendQuoted(text, i_row.fields[i].text);
    }
    text += "\r\n";
  };
  appendRow(i_table.header);
  for (const Csv::Row& row : i_table.rows) appendRow(row);
  return text;
}

bool SameTexts(const Csv::Row& i_a, const Csv::Row& i_b) {
  if (i_a.fields.size() != i_b.fields.size()) return false;
  for (std::size_t i = 0; i < i_a.fields.size(); ++i) {
    if (i_a.fields[i].text != i_b.fields[i].text) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  const std::string_view text(reinterpret_cast<const char*>(i_data), i_size);
  const std::size_t lines = LineCount(text);
  Csv::Table table;
  Csv::Error error;
  if (!Csv::Parse(text, table, error)) {
    FUZZ_CHECK(error.line >= 1 && error.line <= std::max<std::size_t>(lines, 1));
    FUZZ_CHECK(!error.message.empty() && Printable(error.message) && Printable(error.text));
    FUZZ_CHECK(table.rows.empty());
    return 0;
  }

  std::set<std::string> names;
  for (const Csv::Field& name : table.header.fields) {
    FUZZ_CHECK(!name.text.empty() && !Csv::IsBlank(name.text.front()) && !Csv::IsBlank(name.text.back()));
    FUZZ_CHECK(names.insert(name.text).second);
  }
  CheckRow(table.header, lines);
  std::size_t previous = table.header.line;
  std::size_t checked = 0;
  for (const Csv::Row& row : table.rows) {
    FUZZ_CHECK(row.fields.size() == table.header.fields.size());
    FUZZ_CHECK(row.line > previous);
    CheckRow(row, lines);
    previous = row.line;
    for (const Csv::Field& field : row.fields) {
      if (checked++ < 256) CheckNumbers(field.text);
    }
  }

  const std::string written = Write(table);
  Csv::Table again;
  FUZZ_CHECK(Csv::Parse(written, again, error));
  FUZZ_CHECK(SameTexts(again.header, table.header));
  FUZZ_CHECK(again.rows.size() == table.rows.size());
  for (std::size_t i = 0; i < table.rows.size(); ++i) FUZZ_CHECK(SameTexts(again.rows[i], table.rows[i]));
  return 0;
}
