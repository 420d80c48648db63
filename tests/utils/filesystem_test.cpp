// String and folder helpers: the field rules of SplitString, atoi-like StringToInt with its
// clamping, folder listings, and files read in runs of whole lines.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include <ostrel/utils/FileSystem.h>

#include "TestSupport.h"

namespace {

using Ostrel::FileSystem::GetFilesFromFolder;
using Ostrel::FileSystem::ReadLines;
using Ostrel::FileSystem::ReadStatus;
using Ostrel::FileSystem::SplitString;
using Ostrel::FileSystem::StringToInt;
using Strings = std::vector<std::string>;

TEST(SplitString, FieldsAtEveryDelimiterButNoTrailingEmptyField) {
  const struct {
    std::string text;
    char delim;
    Strings expected;
  } cases[] = {
      {"A_ground.obj", '_', {"A", "ground.obj"}},
      {"x_y_z.obj", '_', {"x", "y", "z.obj"}},
      {".", '_', {"."}},
      {"_x.obj", '_', {"", "x.obj"}},
      {"f 1 2 3", ' ', {"f", "1", "2", "3"}},
      {"f  1", ' ', {"f", "", "1"}},
      {"f 1 ", ' ', {"f", "1"}},
      {"1//3", '/', {"1", "", "3"}},
      {"1/2", '/', {"1", "2"}},
      {"a//", '/', {"a", ""}},
      {"", ' ', {}},
      {" ", ' ', {""}},
      {"\t a\r", ' ', {"\t", "a\r"}},
  };
  for (const auto& c : cases) {
    Strings tokens;
    SplitString(c.text, c.delim, tokens);
    EXPECT_EQ(tokens, c.expected) << "'" << c.text << "'";
  }
}

TEST(SplitString, AppendsToWhatIsThere) {
  Strings tokens = {"old"};
  SplitString("a b", ' ', tokens);
  EXPECT_EQ(tokens, (Strings{"old", "a", "b"}));
}

TEST(StringToInt, ReadsLikeAtoiAndClampsOutOfRangeValues) {
  const struct {
    std::string text;
    int expected;
  } cases[] = {
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"  -7", -7},
      {"3.9", 3},
      {"+5", 5},
      {"3\r", 3},
      {"\t\n 8", 8},
      {"-", 0},
      {"+-5", 0},
      {"- 5", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", INT_MAX},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999999", INT_MAX},
      {"-99999999999999999999999999", INT_MIN},
      {"0000000000000000000000000042", 42},
  };
  for (const auto& c : cases) {
    int value = 12345;
    StringToInt(c.text, value);
    EXPECT_EQ(value, c.expected) << "'" << c.text << "'";
  }
}

TEST(GetFilesFromFolder, ListsEveryEntryAndAppends) {
  TestSupport::ScratchDir dir;
  Strings empty = {"old"};
  EXPECT_EQ(GetFilesFromFolder(dir.path.string(), empty), 0);
  std::sort(empty.begin(), empty.end());
  EXPECT_EQ(empty, (Strings{".", "..", "old"}));

  TestSupport::WriteFile(dir / "A_floor.obj", "");
  TestSupport::WriteFile(dir / ".hidden", "");
  mkdir((dir / "sub_folder").c_str(), 0700);
  Strings files;
  EXPECT_EQ(GetFilesFromFolder(dir.path.string(), files), 0);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (Strings{".", "..", ".hidden", "A_floor.obj", "sub_folder"}));
}

TEST(GetFilesFromFolder, ReturnsTheErrorNumberAndLeavesTheListAlone) {
  TestSupport::ScratchDir dir;
  TestSupport::WriteFile(dir / "file", "");
  Strings files = {"kept"};
  EXPECT_EQ(GetFilesFromFolder(dir / "missing", files), ENOENT);
  EXPECT_EQ(GetFilesFromFolder(dir / "file", files), ENOTDIR);
  EXPECT_EQ(GetFilesFromFolder("", files), ENOENT);
  EXPECT_EQ(files, Strings{"kept"});
}

TEST(ReadLines, HandsOverTheWholeTextInRunsOfWholeLinesWhateverTheBlock) {
  // Lines longer than the block, empty lines, a line feed last or not, CRLF, a NUL byte.
  TestSupport::ScratchDir dir;
  const std::string text = std::string("v 1 2 3\r\n\n\nf 1 2 3\0 tail\n") + std::string(40, 'x') + "\ny\nlast";
  for (const std::string& file : {text, text + "\n", std::string("\n"), std::string("one line")}) {
    TestSupport::WriteFile(dir / "f", file);
    for (const std::size_t block : {1, 2, 7, 64, 4096}) {
      std::string joined;
      std::vector<std::string> runs;
      const auto result = ReadLines(dir / "f", 1000, block, [&](std::string_view i_lines) {
        runs.emplace_back(i_lines);
        joined += i_lines;
      });
      EXPECT_EQ(result.status, ReadStatus::Ok);
      EXPECT_EQ(joined, file) << block;
      for (std::size_t i = 0; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i].back(), '\n') << block;
      for (const std::string& run : runs) EXPECT_FALSE(run.empty()) << block;
    }
  }
}

TEST(ReadLines, RefusesAsReadFileDoes) {
  TestSupport::ScratchDir dir;
  TestSupport::WriteFile(dir / "big", std::string(100, '\n'));
  std::size_t visits = 0;
  const auto count = [&](std::string_view) { ++visits; };
  EXPECT_EQ(ReadLines(dir / "big", 99, 16, count).status, ReadStatus::TooLarge);
  EXPECT_EQ(ReadLines(dir / "missing", 99, 16, count).status, ReadStatus::NotFound);
  EXPECT_EQ(ReadLines(dir.path.string(), 99, 16, count).status, ReadStatus::NotRegular);
  EXPECT_EQ(visits, 0u);
  EXPECT_EQ(ReadLines(dir / "big", 100, 16, count).status, ReadStatus::Ok);
  EXPECT_GT(visits, 0u);
}

}  // namespace
