// The argument loop and the help text.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
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
  EXPECT_EQ(parsed.output, Line("warning", "Second output file name 'second.obj' replaces 'first.obj'"));

  parsed = Parse({"help"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::Run);
  EXPECT_EQ(parsed.settings.outputfilename, "help");
  EXPECT_EQ(parsed.output, "");

  // An empty argument is a file name too: it empties the name and ends step-by-step mode.
  parsed = Parse({"out.obj", ""});
  EXPECT_EQ(parsed.settings.outputfilename, "");
  EXPECT_FALSE(parsed.settings.stepByStep);
  EXPECT_EQ(parsed.output, Line("warning", "Second output file name '' replaces 'out.obj'"));

  // One warning per extra name, whatever stands between them; an empty first name counts.
  parsed = Parse({"", "-s", "A", "b.obj", "c.obj"});
  EXPECT_EQ(parsed.settings.outputfilename, "c.obj");
  EXPECT_EQ(parsed.output, Line("warning", "Second output file name 'b.obj' replaces ''") +
                               Line("warning", "Second output file name 'c.obj' replaces 'b.obj'"));
}

TEST_F(OptionsTest, UnknownOptionsAreIgnoredWithAWarningAndAHintWherePlain) {
  const struct {
    std::string arg;
    std::string hint;  // after "is ignored"
  } cases[] = {
      {"-x", ""},
      {"-", ""},
      {"-H", ""},
      {"-k3", ""},  // -k takes no value
      {"--check=yes", ""},
      {"--nothing-like-it", ""},
      {"-w3", ": use '-w 3'"},
      {"-d=NC", ": use '-d NC'"},
      {"--width=4", ": use '--width 4'"},
      {"--width=", ": use '--width '"},
      {"--widht", ": did you mean '--width'?"},
      {"--HELP", ": did you mean '--help'?"},
      {"-help", ": did you mean '--help'?"},
      {"-height", ": did you mean '--height'?"},
      {"--colse", ": did you mean '--close'?"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse({c.arg});
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run) << c.arg;
    EXPECT_TRUE(parsed.settings.stepByStep) << c.arg;
    EXPECT_EQ(parsed.settings.width, 1) << c.arg;
    EXPECT_EQ(parsed.output, Line("warning", "Unknown option '" + c.arg + "' is ignored" + c.hint));
  }
  // An unknown option takes no value: the next argument is read on its own.
  const Parsed parsed = Parse({"--widht", "5", "out.obj"});
  EXPECT_EQ(parsed.settings.width, 1);
  EXPECT_EQ(parsed.settings.outputfilename, "out.obj");
  EXPECT_EQ(parsed.output, Line("warning", "Unknown option '--widht' is ignored: did you mean '--width'?") +
                               Line("warning", "Second output file name 'out.obj' replaces '5'"));
}

TEST_F(OptionsTest, ValuesTheBuildingCannotUseAreKeptWithAWarning) {
  const std::string door =
      " is not a door: give a side N, S, E or W and a place L, C or R, such as SC; no door is placed";
  const std::string balcony =
      " is not a balcony request: give a side N, S, E or W and a pattern A, E, O or C, such as NA; it adds "
      "no balcony";
  const std::string wall =
      " is not a wall request: give a side N, S, E or W and a pattern A, E, O or C, such as NA; it closes no "
      "window";
  const struct {
    Strings args;
    std::string warning;  // empty: none
  } cases[] = {
      {{"-d", "SC"}, ""},
      {{"-d", "sc"}, "Value 'sc' of option '-d'" + door},
      {{"--door", "XY"}, "Value 'XY' of option '--door'" + door},
      {{"-d", "NX"}, "Value 'NX' of option '-d'" + door},
      {{"-d", "N"}, "Value 'N' of option '-d'" + door},
      {{"-d", ""}, "Value '' of option '-d'" + door},
      {{"-d", "NCX"}, "Value 'NCX' of option '-d' has more than two letters: only 'NC' is used"},
      {{"-b", "WC"}, ""},
      {{"-b", "QQ"}, "Value 'QQ' of option '-b'" + balcony},
      {{"-b", "NL"}, "Value 'NL' of option '-b'" + balcony},
      {{"--balcony", "na"}, "Value 'na' of option '--balcony'" + balcony},
      {{"-b", "SEE"}, "Value 'SEE' of option '-b' has more than two letters: only 'SE' is used"},
      {{"-c", "EO"}, ""},
      {{"-c", "NAX"}, "Value 'NAX' of option '-c' has more than two letters: only 'NA' is used"},
      {{"--close", "A"}, "Value 'A' of option '--close'" + wall},
      {{"-w", "12"}, ""},
      {{"-w", "-3"}, ""},  // whole, but refused later as negative
      {{"-w", "+3"}, ""},
      {{"-h", "99999999999"}, ""},  // whole, but refused later as too large
      {{"-w", "3x"}, "Value '3x' of option '-w' is not a whole number: the width is 3"},
      {{"--length", "abc"}, "Value 'abc' of option '--length' is not a whole number: the length is 0"},
      {{"-h", "3.5"}, "Value '3.5' of option '-h' is not a whole number: the height is 3"},
      {{"-h", " 2"}, "Value ' 2' of option '-h' is not a whole number: the height is 2"},
      {{"-l", "-"}, "Value '-' of option '-l' is not a whole number: the length is 0"},
      {{"-w", ""}, "Value '' of option '-w' is not a whole number: the width is 0"},
      {{"--roof", "hip"}, ""},
      {{"--roof", "Gable"}, "Value 'Gable' of option '--roof' is not flat, gable or hip: the roof is flat"},
      {{"--ridge", "x"}, ""},
      {{"--ridge", "y"}, "Value 'y' of option '--ridge' is not x or z: the ridge runs along the longer side"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run) << c.args[1];
    EXPECT_EQ(parsed.output, c.warning.empty() ? "" : Line("warning", c.warning)) << c.args[1];
  }
  // The values are stored as given, exactly as without the warnings.
  const Parsed parsed = Parse({"-d", "sc", "-b", "QQ", "-c", "NAX", "-w", "3x", "-l", "abc", "-h", "3.5"});
  EXPECT_EQ(parsed.settings.door, "sc");
  EXPECT_EQ(parsed.settings.balcony, Strings{"QQ"});
  EXPECT_EQ(parsed.settings.close, Strings{"NAX"});
  EXPECT_EQ(parsed.settings.width, 3);
  EXPECT_EQ(Parse({"--roof", "hip", "--roof", "dome"}).settings.roof, Ostrel::Buildings::RoofShape::Flat);
  EXPECT_EQ(Parse({"--ridge", "z"}).settings.ridge, Ostrel::Buildings::RidgeAxis::Z);
  // Setbacks and bands are kept as given, in order: the building checks them.
  const Parsed shaped = Parse({"--setback", "2:N", "--band", "0:S", "--setback", "x"});
  EXPECT_EQ(shaped.output, "");
  EXPECT_EQ(shaped.settings.setbacks, (Strings{"2:N", "x"}));
  EXPECT_EQ(shaped.settings.bands, Strings{"0:S"});
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

// --lint takes the next argument for its style only when it does not start with '-', so it can
// stand last or before another option.
TEST_F(OptionsTest, LintTakesAStyleWhenOneFollows) {
  struct Case {
    Strings args;
    std::string lintStyle, style, output;
  };
  const Case cases[] = {
      {{"--lint"}, "", "", ""},
      {{"--lint", "A"}, "A", "", ""},
      {{"--lint", "-s", "B"}, "", "B", ""},
      {{"--lint", "A", "out.obj"}, "A", "", "out.obj"},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.args);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run) << c.args.size();
    EXPECT_TRUE(parsed.settings.lint);
    EXPECT_FALSE(parsed.settings.stepByStep);
    EXPECT_EQ(parsed.settings.lintStyle, c.lintStyle) << c.args.size();
    EXPECT_EQ(parsed.settings.style, c.style) << c.args.size();
    EXPECT_EQ(parsed.settings.outputfilename, c.output) << c.args.size();
    EXPECT_EQ(parsed.output, "");
  }
}

// --seed reads as sizes do, with a warning for what is not a whole number from 0 to 2^64 - 1;
// --vary knows storey and cell, and anything else warns and keeps storey.
TEST_F(OptionsTest, SeedAndVary) {
  const std::string seed = " is not a whole number from 0 to 18446744073709551615: the seed is ";
  const struct {
    Strings args;
    std::uint64_t seed;
    bool byCell;
    std::string warning;  // empty: none
  } cases[] = {
      {{}, 0, false, ""},
      {{"--seed", "12345"}, 12345, false, ""},
      {{"--seed", "+7"}, 7, false, ""},
      {{"--seed", "0018446744073709551615"}, 18446744073709551615u, false, ""},
      {{"--seed", "18446744073709551616"},
       18446744073709551615u,
       false,
       "Value '18446744073709551616' of option '--seed'" + seed + "18446744073709551615"},
      {{"--seed", "-1"}, 0, false, "Value '-1' of option '--seed'" + seed + "0"},
      {{"--seed", "3x"}, 3, false, "Value '3x' of option '--seed'" + seed + "3"},
      {{"--seed", ""}, 0, false, "Value '' of option '--seed'" + seed + "0"},
      {{"--vary", "cell"}, 0, true, ""},
      {{"--vary", "cell", "--vary", "storey"}, 0, false, ""},
      {{"--vary", "cell", "--vary", "Cell"},
       0,
       false,
       "Value 'Cell' of option '--vary' is not storey or cell: a variant is chosen per piece, storey and "
       "side"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse(c.args);
    const std::string shown = c.args.empty() ? "" : c.args.back();
    EXPECT_EQ(parsed.outcome, ParseOutcome::Run) << shown;
    EXPECT_EQ(parsed.settings.seed, c.seed) << shown;
    EXPECT_EQ(parsed.settings.varyByCell, c.byCell) << shown;
    EXPECT_EQ(parsed.output, c.warning.empty() ? "" : Line("warning", c.warning)) << shown;
  }
  EXPECT_EQ(Parse({"--seed"}).outcome, ParseOutcome::MissingValue);
  EXPECT_EQ(Parse({"--vary"}).outcome, ParseOutcome::MissingValue);
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

TEST_F(OptionsTest, HelpTextKeepsItsThirtyThreeLinesFirst) {
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
  // The explanation of the building comes after them, in info lines too.
  const std::string help = out.str();
  EXPECT_EQ(help.substr(0, text.size()), text);
  const std::string next = Line("info", "The building (w, l and h are the values of -w, -l and -h):");
  EXPECT_EQ(help.substr(text.size(), next.size()), next);
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
