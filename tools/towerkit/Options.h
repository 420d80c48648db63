#pragma once
// The settings of one run, the loop that fills them from the command line, and the help text.
// Parsing only records what was asked for; the run flow (RunFlow.h) acts on it.

#include <string>
#include <vector>

#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>

namespace Towerkit {

// Everything one run needs, as the command line or the console dialogue left it. Values are
// stored unchecked; the run flow checks them before anything is built.
struct RunSettings {
  bool check = false;                // only list the styles of the units folder
  std::string style;                 // first part of the unit file names, "<style>_<piece>.obj"
  std::string door = "  ";           // two letters XY; two blanks: no door
  std::vector<std::string> balcony;  // two letters XY each, in the order given
  std::vector<std::string> close;    // two letters XY each, in the order given
  int width = 1;                     // in units (cells)
  int length = 1;                    // in units (cells)
  int height = 1;                    // in units, one per storey
  std::string outputfilename;        // the OBJ file to write; empty: none given
  bool stepByStep = true;            // ask for every setting on the console
};

enum class ParseOutcome {
  Run,           // go on with the run flow
  Help,          // "--help" was given: print the help text, end with status 0
  MissingValue,  // an option that takes a value stood last: already reported, status 1
};

inline void showHelp() {
  constexpr const char* kLines[] = {
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
      "                              where X is N(orth), S(outh), E(ast), W(est)",
      "                                and Y is L(eft), C(enter), R(ight)",
      " -b[--balcony] XY     Adds balcony to the building (use it multiple times)",
      "                              where X is N(orth), S(outh), E(ast), W(est)",
      "                                and Y is A(ll window), E(ven), O(dd), C(heckerboard)",
      " -c[--close] XY       Adds a wall instead of a window (use it multiple times)",
      "                              where X is N(orth), S(outh), E(ast), W(est)",
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
       "central entrance-door"),
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -d NC outputfile.obj",
      "",
      " - to create a A-style 3-storey building of 3x3 units without windows, just walls on all of the sides",
      "      towerkit -s A -w 3 -l 3 -h 3 -c NA -c SA -c EA -c WA outputfile.obj",
      "",
  };
  for (const char* line : kLines) Ostrel::Message::PrintInfo(line);
}

namespace detail {

// The options that take the next argument as their value.
enum class ValueOption { None, Style, Width, Length, Height, Door, Balcony, Close };

inline ValueOption FindValueOption(const std::string& i_arg) {
  struct Name {
    const char* shortName;
    const char* longName;
    ValueOption option;
  };
  constexpr Name kNames[] = {
      {"-s", "--style", ValueOption::Style},   {"-w", "--width", ValueOption::Width},
      {"-l", "--length", ValueOption::Length}, {"-h", "--height", ValueOption::Height},
      {"-d", "--door", ValueOption::Door},     {"-b", "--balcony", ValueOption::Balcony},
      {"-c", "--close", ValueOption::Close},
  };
  for (const Name& name : kNames) {
    if (i_arg == name.shortName || i_arg == name.longName) return name.option;
  }
  return ValueOption::None;
}

inline void ApplyValue(ValueOption i_option, const std::string& i_value, RunSettings& io_settings) {
  using Ostrel::FileSystem::StringToInt;
  switch (i_option) {
    case ValueOption::Style:
      io_settings.style = i_value;
      return;
    case ValueOption::Width:
      StringToInt(i_value, io_settings.width);
      return;
    case ValueOption::Length:
      StringToInt(i_value, io_settings.length);
      return;
    case ValueOption::Height:
      StringToInt(i_value, io_settings.height);
      return;
    case ValueOption::Door:
      io_settings.door = i_value;
      return;
    case ValueOption::Balcony:
      io_settings.balcony.push_back(i_value);
      return;
    case ValueOption::Close:
      io_settings.close.push_back(i_value);
      return;
    case ValueOption::None:
      return;
  }
}

}  // namespace detail

// Reads the arguments that follow the program's name into io_settings, which holds the defaults.
// Prints only "Check enabled" for each -k, and the error line of an option missing its value.
inline ParseOutcome ParseArguments(const std::vector<std::string>& i_args, RunSettings& io_settings) {
  for (std::size_t i = 0; i < i_args.size(); ++i) {
    const std::string& currArg = i_args[i];
    if (currArg.empty() || currArg[0] != '-') {
      io_settings.outputfilename = currArg;
      io_settings.stepByStep = false;
      continue;
    }
    if (currArg == "--help") return ParseOutcome::Help;
    if (currArg == "-k" || currArg == "--check") {
      io_settings.check = true;
      io_settings.stepByStep = false;
      Ostrel::Message::PrintInfo("Check enabled");
      continue;
    }
    const detail::ValueOption option = detail::FindValueOption(currArg);
    if (option == detail::ValueOption::None) continue;  // unknown options are ignored, silently
    if (i + 1 >= i_args.size()) {
      Ostrel::Message::PrintError("Option '" + currArg + "' needs a value");
      return ParseOutcome::MissingValue;
    }
    // The next argument is the value whatever it looks like, even "--help" or "-w".
    detail::ApplyValue(option, i_args[++i], io_settings);
    io_settings.stepByStep = false;
  }
  return ParseOutcome::Run;
}

}  // namespace Towerkit
