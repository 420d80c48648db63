#pragma once
// --lint: checks the styles of the units folder for their authors, one console line per finding
// and a summary line, through the kit linter of the library (ostrel/city/KitLint.h).

#include <set>
#include <string>
#include <vector>

#include <ostrel/city/KitLint.h>
#include <ostrel/utils/Messages.h>

namespace Towerkit {

// The console line of a finding, after its tag: the file, its line when there is one, and what.
inline std::string LintLine(const Ostrel::City::LintFinding& i_finding) {
  if (i_finding.line == 0) return "'" + i_finding.file + "' " + i_finding.message;
  return "'" + i_finding.file + "', line " + std::to_string(i_finding.line) + ": " + i_finding.message;
}

inline std::string CountOf(std::size_t i_count, const char* i_noun) {
  return std::to_string(i_count) + " " + i_noun + (i_count == 1 ? "" : "s");
}

// Lints i_style, or every style of the folder's entries when it is empty, and prints what it
// finds. Returns the exit status: 1 when there is an error (or nothing to lint), 0 otherwise.
inline int LintStyles(const std::string& i_folder, const std::vector<std::string>& i_entries,
                      const std::string& i_style) {
  std::vector<std::string> styles = Ostrel::City::LintedStyles(i_entries);
  if (!i_style.empty()) {
    if (i_style.find('/') != std::string::npos || i_style == "." || i_style == "..") {
      Ostrel::Message::PrintError("Invalid style '" + i_style +
                                  "': a style cannot contain '/' or be '.' or '..'");
      return 1;
    }
    const std::string prefix = i_style + "_";
    bool known = false;
    for (const std::string& entry : i_entries) known = known || entry.compare(0, prefix.size(), prefix) == 0;
    if (!known) {
      Ostrel::Message::PrintError("Style '" + i_style + "' has no unit files in the units folder '" +
                                  i_folder + "'");
      return 1;
    }
    styles = {i_style};
  }
  if (styles.empty()) {
    Ostrel::Message::PrintError("The units folder '" + i_folder + "' holds no style to check");
    return 1;
  }

  std::size_t errors = 0, warnings = 0;
  for (const Ostrel::City::LintFinding& finding : Ostrel::City::LintKit(i_folder, styles)) {
    if (finding.severity == Ostrel::City::LintSeverity::Error) {
      ++errors;
      Ostrel::Message::PrintError(LintLine(finding));
    } else {
      ++warnings;
      Ostrel::Message::PrintWarning(LintLine(finding));
    }
  }
  std::string names;
  for (const std::string& style : styles) names += (names.empty() ? "" : ", ") + style;
  Ostrel::Message::PrintInfo("Checked " + std::string(styles.size() == 1 ? "style " : "styles ") + names +
                             " of the units folder '" + i_folder + "': " + CountOf(errors, "error") + ", " +
                             CountOf(warnings, "warning"));
  return errors > 0 ? 1 : 0;
}

}  // namespace Towerkit
