#pragma once
// The console: one line format for every report of the system, and the two prompts.
// Everything goes to standard output, errors included (or to standard error, for a program whose
// standard output is a file it writes); answers come from standard input.

#include <cstdint>
#include <iostream>
#include <locale>
#include <sstream>
#include <string>

namespace Ostrel::Message {

// Process-wide settings: one object each per process, however many files include this header.
inline std::string s_app_name;
inline std::string s_app_version;
inline std::uint32_t s_verbosity = 1;  // 0 silent, 1 errors, 2 and warnings, 3 or more everything
inline std::ostream* s_console = &std::cout;  // where lines and prompts go
// Strict: every warning is told as an error, and counted, so that a program can refuse to go on.
inline bool s_strict = false;
inline std::uint64_t s_strict_errors = 0;  // warnings told as errors so far

inline void SetAppName(const std::string& i_name) { s_app_name = i_name; }
inline void SetAppVersion(const std::string& i_version) { s_app_version = i_version; }
inline void SetVerbosity(std::uint32_t i_level) { s_verbosity = i_level; }
// Lines and prompts go to io_console from now on (std::cout at start).
inline void SetConsole(std::ostream& io_console) { s_console = &io_console; }
inline void SetStrict(bool i_strict) { s_strict = i_strict; }
// Warnings told as errors since the start, whatever the verbosity.
inline std::uint64_t StrictErrors() { return s_strict_errors; }

namespace detail {
inline void PrintLine(const char* i_tag, const std::string& i_message) {
  *s_console << '[' << s_app_name << '-' << s_app_version << i_tag << i_message << '\n' << std::flush;
}
}  // namespace detail

inline void PrintError(const std::string& i_message) {
  if (s_verbosity > 0) detail::PrintLine("] error : ", i_message);
}

inline void PrintWarning(const std::string& i_message) {
  if (s_strict) {
    ++s_strict_errors;
    return PrintError(i_message);
  }
  if (s_verbosity > 1) detail::PrintLine("] warning : ", i_message);
}

inline void PrintInfo(const std::string& i_message) {
  if (s_verbosity > 2) detail::PrintLine("] info : ", i_message);
}

// A progress line on standard error, redrawn in place: for a terminal only, and the caller's to
// decide. EndProgress moves past it, so that the next line starts afresh.
inline void ShowProgress(const std::string& i_message) {
  std::cerr << "\r[" << s_app_name << '-' << s_app_version << "] " << i_message << "\x1b[K" << std::flush;
}

inline void EndProgress() { std::cerr << '\n' << std::flush; }

}  // namespace Ostrel::Message

namespace Ostrel::CLI {

namespace detail {
inline void PrintPrompt(const std::string& i_message) {
  *Message::s_console << '[' << Message::s_app_name << '-' << Message::s_app_version << "] " << i_message
                       << ": " << std::flush;
}
}  // namespace detail

// Asks once and stores the whole answer line, blanks included. At the end of standard input the
// answer is what was left of the last line, or empty.
inline void GetUserString(const std::string& i_message, std::string& o_value) {
  detail::PrintPrompt(i_message);
  // getline leaves the string alone when the stream has already ended, so empty it first.
  o_value.clear();
  std::getline(std::cin, o_value);
}

// Asks until the answer begins with a whole number that fits an int, and stores it.
// Returns false, leaving o_value as it was, when standard input ends before such an answer:
// asking again could never succeed, and what to do then is the caller's decision.
inline bool GetUserInt(const std::string& i_message, int& o_value) {
  for (;;) {
    detail::PrintPrompt(i_message);
    std::string input;
    if (!std::getline(std::cin, input)) return false;

    std::istringstream myStream(input);
    myStream.imbue(std::locale::classic());
    int value = 0;
    if (myStream >> value) {
      o_value = value;
      return true;
    }
    Message::PrintError("'" + input + "' isn't a valid number, please try again");
  }
}

}  // namespace Ostrel::CLI
