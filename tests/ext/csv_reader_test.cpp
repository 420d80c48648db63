// The CSV table reader: quoting, line ends and blank lines, where each field and row starts, the
// errors with their line, column and text, the strict number readers, and shortened excerpts.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>

#include <ostrel/ext/Csv.h>
#include "TestSupport.h"

namespace {

using TestSupport::ScratchDir;
using TestSupport::WriteFile;
using Strings = std::vector<std::string>;

std::vector<Strings> Texts(const Csv::Table& i_table) {
  std::vector<Strings> rows;
  for (const Csv::Row& row : i_table.rows) {
    rows.emplace_back();
    for (const Csv::Field& field : row.fields) rows.back().push_back(field.text);
  }
  return rows;
}

Strings Names(const Csv::Table& i_table) {
  Strings names;
  for (const Csv::Field& field : i_table.header.fields) names.push_back(field.text);
  return names;
}

TEST(CsvReader, QuotingLineEndsAndBlankLines) {
  struct Case {
    std::string text;
    Strings header;
    std::vector<Strings> rows;
  };
  const Case cases[] = {
      {"a,b\n1,2\n", {"a", "b"}, {{"1", "2"}}},
      {"a,b\r\n1,2\r\n3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
      {"\xEF\xBB\xBF"
       "a\n1\n",
       {"a"},
       {{"1"}}},
      {" id ,\tstyle\t\n x , A \n", {"id", "style"}, {{" x ", " A "}}},
      {"a,b,c\n,,\n", {"a", "b", "c"}, {{"", "", ""}}},
      {"a,b\n\"1,5\",\"say \"\"hi\"\"\"\n", {"a", "b"}, {{"1,5", "say \"hi\""}}},
      {"a,b\n\"two\nlines\",\"cr\r\nlf\"\n", {"a", "b"}, {{"two\nlines", "cr\r\nlf"}}},
      {"a,b\n  \"x\" ,\t\"\"\t\n", {"a", "b"}, {{"x", ""}}},
      {"a,b\nx\"y,5'10\"\n", {"a", "b"}, {{"x\"y", "5'10\""}}},
      {"a,b\nx\ry,2\n", {"a", "b"}, {{"x\ry", "2"}}},
      {"\n \t\r\na\n\n1\n  \n\r\n2\n\n", {"a"}, {{"1"}, {"2"}}},
      {"a,b\n", {"a", "b"}, {}},
      {"\"a\"\"\",\"b,c\"\n1,2\n", {"a\"", "b,c"}, {{"1", "2"}}},
  };
  for (const Case& c : cases) {
    Csv::Table table;
    Csv::Error error;
    ASSERT_TRUE(Csv::Parse(c.text, table, error)) << c.text << ": " << error.message;
    EXPECT_EQ(Names(table), c.header) << c.text;
    EXPECT_EQ(Texts(table), c.rows) << c.text;
  }
}

TEST(CsvReader, FieldsAndRowsKnowWhereTheyStart) {
  Csv::Table table;
  Csv::Error error;
  ASSERT_TRUE(Csv::Parse("id,note,w\n\na,\"one\ntwo\nthree\",3\r\nb,c,4\n", table, error));
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.header.line, 1u);
  EXPECT_EQ(table.header.fields[2].column, 3u);
  const Csv::Row& first = table.rows[0];
  EXPECT_EQ(first.line, 3u);
  EXPECT_EQ(first.fields[0].line, 3u);
  EXPECT_EQ(first.fields[1].line, 3u);
  EXPECT_EQ(first.fields[2].line, 5u);
  EXPECT_EQ(first.fields[2].column, 3u);
  EXPECT_EQ(table.rows[1].line, 6u);
  EXPECT_EQ(table.rows[1].fields[1].column, 2u);

  EXPECT_EQ(Csv::FindColumn(table.header, "w"), 2);
  EXPECT_EQ(Csv::FindColumn(table.header, "W"), -1);
}

TEST(CsvReader, ErrorsNameLineColumnAndText) {
  struct Case {
    std::string text;
    std::size_t line;
    std::size_t column;
    const char* message;
    std::string found;
  };
  const Case cases[] = {
      {"", 1, 0, "no header row", ""},
      {"\n  \n", 1, 0, "no header row", ""},
      {"a,,b\n", 1, 2, "empty column name", ""},
      {"a, \t\n", 1, 2, "empty column name", ""},
      {"a,b,\" a\"\n", 1, 3, "duplicate column name, also column 1", "a"},
      {"a,b\n1,2\n3\n", 3, 2, "row has 1 field, the header has 2", ""},
      {"a,b\n1,\"x\ny\",3\n", 3, 3, "row has 3 fields, the header has 2", "3"},
      {"a,b\n1,\"2\n\n", 2, 2, "unclosed quote", "\"2??"},
      {"a,b\n1,\"2\"x y,3\n", 2, 2, "text after a closing quote", "x y"},
      {"a,b\n\"1\nz\" 2\n", 3, 1, "text after a closing quote", "2"},
      {std::string("a,b\n1,x\0y\n", 10), 2, 2, "NUL byte", "x"},
      {std::string("a,b\n1,\"x\0y\"\n", 12), 2, 2, "NUL byte", "\"x"},
      {"a\n\"" + std::string(70, 'q') + "\n", 2, 1, "unclosed quote", "\"" + std::string(59, 'q') + "..."},
  };
  for (const Case& c : cases) {
    Csv::Table table;
    table.rows.resize(3);
    Csv::Error error;
    ASSERT_FALSE(Csv::Parse(c.text, table, error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.column, c.column) << c.text;
    EXPECT_EQ(error.message, c.message) << c.text;
    EXPECT_EQ(error.text, c.found) << c.text;
    EXPECT_TRUE(table.rows.empty()) << c.text;
  }
}

TEST(CsvReader, WholeNumbers) {
  struct Case {
    const char* text;
    Csv::NumberError error;
    int value;
  };
  const Case cases[] = {
      {"42", Csv::NumberError::kNone, 42},
      {" \t-7 ", Csv::NumberError::kNone, -7},
      {"+8", Csv::NumberError::kNone, 8},
      {"007", Csv::NumberError::kNone, 7},
      {"2147483647", Csv::NumberError::kNone, INT_MAX},
      {"-2147483648", Csv::NumberError::kNone, INT_MIN},
      {"2147483648", Csv::NumberError::kOutOfRange, 0},
      {"-99999999999999999999", Csv::NumberError::kOutOfRange, 0},
      {"", Csv::NumberError::kEmpty, 0},
      {"3.5", Csv::NumberError::kNotWhole, 0},
      {"3x", Csv::NumberError::kNotWhole, 0},
      {"+", Csv::NumberError::kNotWhole, 0},
      {"+-1", Csv::NumberError::kNotWhole, 0},
      {"1 2", Csv::NumberError::kNotWhole, 0},
      {"1e3", Csv::NumberError::kNotWhole, 0},
      {"0x10", Csv::NumberError::kNotWhole, 0},
      {"\n1", Csv::NumberError::kNotWhole, 0},
  };
  for (const Case& c : cases) {
    int value = 12345;
    EXPECT_EQ(Csv::ParseInt(c.text, value), c.error) << c.text;
    EXPECT_EQ(value, c.error == Csv::NumberError::kNone ? c.value : 12345) << c.text;
  }
}

TEST(CsvReader, FiniteNumbers) {
  struct Case {
    const char* text;
    Csv::NumberError error;
    double value;
  };
  const Case cases[] = {
      {"1.5", Csv::NumberError::kNone, 1.5},       {" -0.25\t", Csv::NumberError::kNone, -0.25},
      {"+2", Csv::NumberError::kNone, 2},          {".5", Csv::NumberError::kNone, 0.5},
      {"1e3", Csv::NumberError::kNone, 1000},      {"-2.5E-1", Csv::NumberError::kNone, -0.25},
      {"", Csv::NumberError::kEmpty, 0},           {"1,5", Csv::NumberError::kNotNumber, 0},
      {"1.5m", Csv::NumberError::kNotNumber, 0},   {"0x1p3", Csv::NumberError::kNotNumber, 0},
      {"+-1", Csv::NumberError::kNotNumber, 0},    {"e5", Csv::NumberError::kNotNumber, 0},
      {"nan", Csv::NumberError::kNotFinite, 0},    {"-inf", Csv::NumberError::kNotFinite, 0},
      {"1e999", Csv::NumberError::kOutOfRange, 0},
  };
  for (const Case& c : cases) {
    double value = 12345;
    EXPECT_EQ(Csv::ParseDouble(c.text, value), c.error) << c.text;
    EXPECT_EQ(value, c.error == Csv::NumberError::kNone ? c.value : 12345) << c.text;
  }
  EXPECT_STREQ(Csv::Describe(Csv::NumberError::kNotWhole), "is not a whole number");
  EXPECT_STREQ(Csv::Describe(Csv::NumberError::kOutOfRange), "is out of range");
}

TEST(CsvReader, ReadsFilesAndNamesThoseItCannotRead) {
  ScratchDir dir;
  WriteFile(dir / "city.csv", "style,width\nA,3\n");
  Csv::Table table;
  Csv::Error error;
  ASSERT_TRUE(Csv::ReadTable(dir / "city.csv", table, error));
  EXPECT_EQ(Texts(table), (std::vector<Strings>{{"A", "3"}}));

  EXPECT_FALSE(Csv::ReadTable(dir / "missing.csv", table, error));
  EXPECT_EQ(error.line, 0u);
  EXPECT_EQ(error.message, "the file does not exist");
  EXPECT_TRUE(table.rows.empty() && table.header.fields.empty());

  ASSERT_EQ(mkfifo((dir / "fifo.csv").c_str(), 0600), 0);  // opening it must not wait for a writer
  EXPECT_FALSE(Csv::ReadTable(dir / "fifo.csv", table, error));
  EXPECT_EQ(error.message, "the file is not a regular file");

  WriteFile(dir / "huge.csv", "");
  ASSERT_EQ(truncate((dir / "huge.csv").c_str(), Csv::kMaxFileBytes + 1), 0);
  EXPECT_FALSE(Csv::ReadTable(dir / "huge.csv", table, error));
  EXPECT_EQ(error.message, "the file is too large");
}

}  // namespace
