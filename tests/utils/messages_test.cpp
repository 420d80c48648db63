// Console lines and prompts: the line format, the verbosity filter, and how the prompts read
// standard input, including its end.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <ostrel/utils/Messages.h>

#include "TestSupport.h"

namespace {

using namespace Ostrel;

// Restores the process-wide settings after each test.
class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Message::SetAppName("tk");
    Message::SetAppVersion("9.2");
    Message::SetVerbosity(3);
  }
  void TearDown() override {
    Message::SetAppName("");
    Message::SetAppVersion("");
    Message::SetVerbosity(1);
  }
};

std::string PrintAllKinds() {
  TestSupport::CaptureStdout out;
  Message::PrintError("e");
  Message::PrintWarning("w");
  Message::PrintInfo("i");
  return out.str();
}

TEST_F(MessagesTest, VerbosityAdmitsOneMoreKindPerLevel) {
  const std::string error = "[tk-9.2] error : e\n";
  const std::string warning = "[tk-9.2] warning : w\n";
  const std::string info = "[tk-9.2] info : i\n";
  const struct {
    std::uint32_t level;
    std::string expected;
  } cases[] = {
      {0, ""},
      {1, error},
      {2, error + warning},
      {3, error + warning + info},
      {4, error + warning + info},
      {UINT32_MAX, error + warning + info},
  };
  for (const auto& c : cases) {
    Message::SetVerbosity(c.level);
    EXPECT_EQ(PrintAllKinds(), c.expected) << "level " << c.level;
  }
}

TEST_F(MessagesTest, LineFormatUsesCurrentNameAndVersionAndKeepsTextAsIs) {
  Message::SetAppName("");
  Message::SetAppVersion("");
  {
    TestSupport::CaptureStdout out;
    Message::PrintWarning("x");
    EXPECT_EQ(out.str(), "[-] warning : x\n");
  }
  Message::SetAppName("towerkit");
  Message::SetAppVersion("0.1");
  TestSupport::CaptureStdout out;
  Message::PrintInfo("  'quoted' \\ %d  ");
  Message::PrintError("");
  EXPECT_EQ(out.str(), "[towerkit-0.1] info :   'quoted' \\ %d  \n[towerkit-0.1] error : \n");
}

TEST_F(MessagesTest, GetUserStringTakesOneWholeLine) {
  TestSupport::FeedStdin in("  two words \n\nlast");
  TestSupport::CaptureStdout out;
  std::string first = "old", second = "old", third = "old", fourth = "old";
  CLI::GetUserString("name", first);
  CLI::GetUserString("name", second);
  CLI::GetUserString("name", third);
  CLI::GetUserString("name", fourth);
  EXPECT_EQ(first, "  two words ");
  EXPECT_EQ(second, "");
  EXPECT_EQ(third, "last");  // the unfinished last line
  EXPECT_EQ(fourth, "");     // nothing left: an empty answer, not the old value
  EXPECT_EQ(out.str(), "[tk-9.2] name: [tk-9.2] name: [tk-9.2] name: [tk-9.2] name: ");
}

TEST_F(MessagesTest, GetUserIntAcceptsAnswersThatBeginWithANumber) {
  const struct {
    std::string answer;
    int expected;
  } cases[] = {
      {"12", 12},
      {"   7", 7},
      {"-3", -3},
      {"+5", 5},
      {"3x", 3},
      {"1 2", 1},
      {"\t4\r", 4},
      {"007", 7},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
  };
  for (const auto& c : cases) {
    TestSupport::FeedStdin in(c.answer + "\n");
    TestSupport::CaptureStdout out;
    int value = -99;
    EXPECT_TRUE(CLI::GetUserInt("n", value)) << c.answer;
    EXPECT_EQ(value, c.expected) << c.answer;
    EXPECT_EQ(out.str(), "[tk-9.2] n: ") << c.answer;
  }
}

TEST_F(MessagesTest, GetUserIntAsksAgainAfterEachInvalidAnswer) {
  TestSupport::FeedStdin in("\nabc\n  \n12345678901\n-2147483649\nx1\n8\n");
  TestSupport::CaptureStdout out;
  int value = 0;
  EXPECT_TRUE(CLI::GetUserInt("width", value));
  EXPECT_EQ(value, 8);
  const std::string prompt = "[tk-9.2] width: ";
  auto error = [](const std::string& i_input) {
    return "[tk-9.2] error : '" + i_input + "' isn't a valid number, please try again\n";
  };
  EXPECT_EQ(out.str(), prompt + error("") + prompt + error("abc") + prompt + error("  ") + prompt +
                           error("12345678901") + prompt + error("-2147483649") + prompt + error("x1") +
                           prompt);
}

TEST_F(MessagesTest, GetUserIntAtVerbosityZeroStillPromptsButReportsNothing) {
  Message::SetVerbosity(0);
  TestSupport::FeedStdin in("no\n5\n");
  TestSupport::CaptureStdout out;
  int value = 0;
  EXPECT_TRUE(CLI::GetUserInt("n", value));
  EXPECT_EQ(value, 5);
  EXPECT_EQ(out.str(), "[tk-9.2] n: [tk-9.2] n: ");
}

TEST_F(MessagesTest, GetUserIntReportsTheEndOfInputInsteadOfAskingForever) {
  const struct {
    std::string input;
    std::string expectedOutput;
  } cases[] = {
      {"", "[tk-9.2] n: "},
      {"abc", "[tk-9.2] n: [tk-9.2] error : 'abc' isn't a valid number, please try again\n[tk-9.2] n: "},
      {"x\n\n",
       "[tk-9.2] n: [tk-9.2] error : 'x' isn't a valid number, please try again\n[tk-9.2] n: "
       "[tk-9.2] error : '' isn't a valid number, please try again\n[tk-9.2] n: "},
  };
  for (const auto& c : cases) {
    TestSupport::FeedStdin in(c.input);
    TestSupport::CaptureStdout out;
    int value = 42;
    EXPECT_FALSE(CLI::GetUserInt("n", value)) << c.input;
    EXPECT_EQ(value, 42) << c.input;
    EXPECT_EQ(out.str(), c.expectedOutput) << c.input;
  }
  // A number on an unfinished last line is still an answer.
  TestSupport::FeedStdin in("6");
  TestSupport::CaptureStdout out;
  int value = 0;
  EXPECT_TRUE(CLI::GetUserInt("n", value));
  EXPECT_EQ(value, 6);
}

}  // namespace
