// --lint: the kit linter's findings as console lines.

#include "Lint.h"

#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Messages.h>

#include "Report.h"

namespace Towerkit {

namespace {

std::string CountOf(std::size_t i_count, const char* i_noun) {
  return std::to_string(i_count) + " " + i_noun + (i_count == 1 ? "" : "s");
}

}  // namespace

std::string LintLine(const Ostrel::Buildings::LintFinding& i_finding) {
  if (i_finding.line == 0) return "'" + i_finding.file + "' " + i_finding.message;
  return "'" + i_finding.file + "', line " + std::to_string(i_finding.line) + ": " + i_finding.message;
}

namespace {

// Lints the styles, each of which has unit files in i_folder, and prints the findings and a
// summary line.
int LintChecked(const std::string& i_folder, const std::vector<std::string>& i_styles,
                const std::vector<std::string>& i_folders) {
  std::size_t errors = 0, warnings = 0;
  const std::vector<Ostrel::Buildings::LintFinding> findings = i_folders.empty()
                                                              ? Ostrel::Buildings::LintKit(i_folder, i_styles)
                                                              : Ostrel::Buildings::LintKit(i_folder, i_styles, i_folders);
  for (const Ostrel::Buildings::LintFinding& finding : findings) {
    if (finding.severity == Ostrel::Buildings::LintSeverity::Error) {
      ++errors;
      Ostrel::Message::PrintError(LintLine(finding));
    } else {
      ++warnings;
      Ostrel::Message::PrintWarning(LintLine(finding));
    }
  }
  std::string names;
  for (const std::string& style : i_styles) names += (names.empty() ? "" : ", ") + style;
  Ostrel::Message::PrintInfo("Checked " + std::string(i_styles.size() == 1 ? "style " : "styles ") + names +
                             " of the units folder '" + i_folder + "': " + CountOf(errors, "error") + ", " +
                             CountOf(warnings, "warning"));
  return errors > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace

int LintStyles(const std::string& i_folder, const std::vector<std::string>& i_entries,
               const std::string& i_style, const std::vector<std::string>& i_folders) {
  std::vector<std::string> styles = Ostrel::Buildings::LintedStyles(i_entries);
  if (!i_style.empty()) {
    if (!CheckStyleName(i_style)) return kExitFailure;
    if (Ostrel::Buildings::StylesOf(i_entries).count(i_style) == 0) {
      Ostrel::Message::PrintError("Style '" + i_style + "' has no unit files in the units folder '" +
                                  i_folder + "'");
      return kExitFailure;
    }
    styles = {i_style};
  }
  if (styles.empty()) {
    Ostrel::Message::PrintError("The units folder '" + i_folder + "' holds no style to check");
    return kExitFailure;
  }
  return LintChecked(i_folder, styles, i_folders);
}

// A folder's styles are linted together, as with one folder: its base units and material files
// are told once, and its styles' bands are checked against each other.
int LintFolders(const std::vector<std::string>& i_folders, const std::string& i_style) {
  std::vector<std::vector<std::string>> entries(i_folders.size());
  for (std::size_t i = 0; i < i_folders.size(); ++i) Ostrel::FileSystem::GetFilesFromFolder(i_folders[i], entries[i]);
  if (!i_style.empty()) {
    const std::string folder = Ostrel::Buildings::StyleFolder(i_folders, entries, i_style);
    for (std::size_t i = 0; i < i_folders.size(); ++i) {
      if (i_folders[i] == folder) return LintStyles(folder, entries[i], i_style, i_folders);
    }
  }
  std::vector<std::string> all;
  for (const std::vector<std::string>& folder : entries) all.insert(all.end(), folder.begin(), folder.end());
  const std::vector<std::string> styles = Ostrel::Buildings::LintedStyles(all);
  int status = kExitSuccess;
  for (std::size_t i = 0; i < i_folders.size(); ++i) {
    std::vector<std::string> own;
    for (const std::string& style : styles) {
      if (Ostrel::Buildings::StyleFolder(i_folders, entries, style) == i_folders[i]) own.push_back(style);
    }
    if (!own.empty() && LintChecked(i_folders[i], own, i_folders) != kExitSuccess) status = kExitFailure;
  }
  return status;
}

}  // namespace Towerkit
