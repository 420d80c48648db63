// The argument loop and the help text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "towerkit/Options.h"

namespace {

using namespace Towerkit;
using Strings = std::vector<std::string>;
using TestSupport::Line;

class OptionsTest : public TestSupport::ToolConsoleTest {
 protected:
  struct Parsed {
    ParseOutcome outcome;
    RunSettings settings;
    std::string output;
  };
  static Parsed Parse(const Strings& i_args) {
    Parsed parsed{ParseOutcome::Run, RunSettings{}, ""};
    TestSupport::CaptureStdout out;
    parsed.outcome = ParseArguments(i_args, parsed.settings);
    parsed.output = out.str();
    return parsed;
  }
};

TEST_F(OptionsTest, DefaultsWithoutArgumentsAskStepByStep) {
  const Parsed parsed = Parse({});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_FALSE(parsed.settings.check);
  EXPECT_EQ(parsed.settings.style, "");
  EXPECT_EQ(parsed.settings.door, "  ");
  EXPECT_TRUE(parsed.settings.balcony.empty());
  EXPECT_TRUE(parsed.settings.close.empty());
  EXPECT_EQ(parsed.settings.width, 1);
  EXPECT_EQ(parsed.settings.length, 1);
  EXPECT_EQ(parsed.settings.height, 1);
  EXPECT_EQ(parsed.settings.outputfilename, "");
  EXPECT_TRUE(parsed.settings.stepByStep);
  EXPECT_EQ(parsed.output, "");
}

TEST_F(OptionsTest, EveryOptionInShortAndLongForm) {
  for (const Strings& args :
       {Strings{"-s", "A", "-w", "3", "-l", "4", "-h", "5", "-d", "NC", "-b", "NA", "-c", "SE", "out.obj"},
        Strings{"--style", "A", "--width", "3", "--length", "4", "--height", "5", "--door", "NC", "--balcony",
                "NA", "--close", "SE", "out.obj"}}) {
    const Parsed parsed = Parse(args);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
    EXPECT_EQ(parsed.settings.style, "A");
    EXPECT_EQ(parsed.settings.width, 3);
    EXPECT_EQ(parsed.settings.length, 4);
    EXPECT_EQ(parsed.settings.height, 5);
    EXPECT_EQ(parsed.settings.door, "NC");
    EXPECT_EQ(parsed.settings.balcony, Strings{"NA"});
    EXPECT_EQ(parsed.settings.close, Strings{"SE"});
    EXPECT_EQ(parsed.settings.outputfilename, "out.obj");
    EXPECT_FALSE(parsed.settings.stepByStep);
    EXPECT_EQ(parsed.output, "");
  }
}

TEST_F(OptionsTest, ValuesAreTakenWhateverTheyLookLike) {
  Parsed parsed = Parse({"-s", "-w"});
  EXPECT_EQ(parsed.settings.style, "-w");
  EXPECT_EQ(parsed.settings.width, 1);

  parsed = Parse({"-s", "--help"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_EQ(parsed.settings.style, "--help");
  EXPECT_EQ(parsed.output, "");

  parsed = Parse({"-h", "3"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_EQ(parsed.settings.height, 3);

  parsed = Parse({"-w", "abc", "-l", "3x", "-h", "-2"});
  EXPECT_EQ(parsed.settings.width, 0);
  EXPECT_EQ(parsed.settings.length, 3);
  EXPECT_EQ(parsed.settings.height, -2);

  parsed = Parse({"-w", "99999999999", "-l", "-99999999999"});
  EXPECT_EQ(parsed.settings.width, INT_MAX);
  EXPECT_EQ(parsed.settings.length, INT_MIN);

  parsed =
      Parse({"-d", "", "-b", "NA", "-c", "WA", "-b", "SE", "-c", "NA", "-s", "A", "-s", "B", "-d", "SL"});
  EXPECT_EQ(parsed.settings.door, "SL");
  EXPECT_EQ(parsed.settings.style, "B");
  EXPECT_EQ(parsed.settings.balcony, (Strings{"NA", "SE"}));
  EXPECT_EQ(parsed.settings.close, (Strings{"WA", "NA"}));
}

TEST_F(OptionsTest, OutputFileNames) {
  Parsed parsed = Parse({"first.obj", "second.obj"});
  EXPECT_EQ(parsed.settings.outputfilename, "second.obj");
  EXPECT_FALSE(parsed.settings.stepByStep);

  parsed = Parse({"help"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_EQ(parsed.settings.outputfilename, "help");

  // An empty argument is a file name too: it empties the name and ends step-by-step mode.
  parsed = Parse({"out.obj", ""});
  EXPECT_EQ(parsed.settings.outputfilename, "");
  EXPECT_FALSE(parsed.settings.stepByStep);
}

TEST_F(OptionsTest, UnknownOptionsAreIgnoredSilently) {
  for (const Strings& args : {Strings{"-x"}, Strings{"-"}, Strings{"-w3"}, Strings{"--width=3"},
                              Strings{"-H"}, Strings{"--HELP"}, Strings{"-help"}, Strings{"-x", "-"}}) {
    const Parsed parsed = Parse(args);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run) << args[0];
    EXPECT_TRUE(parsed.settings.stepByStep) << args[0];
    EXPECT_EQ(parsed.settings.width, 1) << args[0];
    EXPECT_EQ(parsed.output, "") << args[0];
  }
  // An unknown option takes no value: the next argument is read on its own.
  const Parsed parsed = Parse({"-x", "out.obj"});
  EXPECT_EQ(parsed.settings.outputfilename, "out.obj");
}

TEST_F(OptionsTest, CheckAndHelp) {
  Parsed parsed = Parse({"-k", "--check"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_TRUE(parsed.settings.check);
  EXPECT_FALSE(parsed.settings.stepByStep);
  EXPECT_EQ(parsed.output, Line("info", "Check enabled") + Line("info", "Check enabled"));

  // Help stops the loop at once: later arguments are not looked at.
  parsed = Parse({"-k", "--help", "-k", "-w"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Help);
  EXPECT_EQ(parsed.output, Line("info", "Check enabled"));

  parsed = Parse({"out.obj", "-s", "A", "--help"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Help);
}

TEST_F(OptionsTest, AnOptionMissingItsValueIsAnErrorNamingIt) {
  for (const std::string option : {"-s", "--style", "-w", "--width", "-l", "--length", "-h", "--height", "-d",
                                   "--door", "-b", "--balcony", "-c", "--close"}) {
    const Parsed parsed = Parse({"-k", "out.obj", option});
    EXPECT_EQ(parsed.outcome, ParseOutcome::MissingValue) << option;
    EXPECT_EQ(parsed.output,
              Line("info", "Check enabled") + Line("error", "Option '" + option + "' needs a value"));
  }
  // Taken as the value of -s, "-w" does not need one itself.
  EXPECT_EQ(Parse({"-s", "-w"}).outcome, ParseOutcome::Run);
}

TEST_F(OptionsTest, HelpTextIsThirtyThreeInfoLines) {
  TestSupport::CaptureStdout out;
  showHelp();
  const std::string where = "                              where X is N(orth), S(outh), E(ast), W(est)";
  const Strings expected = {
      "Usage: towerkit [options] outputfilename",
      "       NOTE: without options and outputfile it will run in step-by-step mode",
      "             asking for options on each step",
      "Options are:",
      " --help               Shows this help",
      " -k[--check]          Checks for available styles and other settings",
      " -s[--style] string   Unit style (use check to list available styles)",
      " -w[--width] int      Building width in units",
      " -l[--length] int     Building length in units",
      " -h[--height] int     Building height in units (one per storey)",
      " -d[--door] XY        Specifies which side has the door",
      where,
      "                                and Y is L(eft), C(enter), R(ight)",
      " -b[--balcony] XY     Adds balcony to the building (use it multiple times)",
      where,
      "                                and Y is A(ll window), E(ven), O(dd), C(heckerboard)",
      " -c[--close] XY       Adds a wall instead of a window (use it multiple times)",
      where,
      "                                and Y is A(ll), E(ven), O(dd), C(heckerboard)",
      "",
      "Example usage:",
      " - to create a A-style 3-storey building of 3x3 units (each unit is a door or a window space)",
      "      towerkit -s A -w 3 -l 3 -h 3 outputfile.obj",
      "",
      " - to create a A-style 3-storey building of 3x3 units without windows on the North side",
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA outputfile.obj",
      "",
      (" - to create a A-style 3-storey building of 3x3 units without windows on the North side and a "
       "central "
       "entrance-door"),
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -d NC outputfile.obj",
      "",
      " - to create a A-style 3-storey building of 3x3 units without windows, just walls on all of the sides",
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -c SA -c EA -c WA outputfile.obj",
      "",
  };
  ASSERT_EQ(expected.size(), 33u);
  std::string text;
  for (const std::string& line : expected) text += Line("info", line);
  EXPECT_EQ(out.str(), text);
  // The option descriptions start in one column.
  for (std::size_t line : {4, 5, 6, 7, 8, 9, 10, 13, 16}) {
    EXPECT_EQ(expected[line].substr(20, 3).find_first_not_of(' '), 2u) << line + 1;
  }
}

TEST_F(OptionsTest, HelpIsInfoAndSilentBelowThatLevel) {
  Ostrel::Message::SetVerbosity(2);
  TestSupport::CaptureStdout out;
  showHelp();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
