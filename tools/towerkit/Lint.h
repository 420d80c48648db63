#pragma once
// --lint: checks the styles of the units folder for their authors, one console line per finding
// and a summary line, through the kit linter of the library (ostrel/lint/KitLint.h).

#include <string>
#include <vector>

#include <ostrel/lint/KitLint.h>

namespace Towerkit {

// The console line of a finding, after its tag: the file, its line when there is one, and what.
std::string LintLine(const Ostrel::Buildings::LintFinding& i_finding);

// Lints i_style, or every style of the folder's entries when it is empty, and prints what it
// finds. Returns the exit status: 1 when there is an error (or nothing to lint), 0 otherwise.
// i_folders: every units folder of the run, for the base units; empty: i_folder alone.
int LintStyles(const std::string& i_folder, const std::vector<std::string>& i_entries,
               const std::string& i_style, const std::vector<std::string>& i_folders = {});

// --lint with several units folders: each style is checked in the folder it comes from (the
// first that has it), and folders are checked in order. i_style empty: every style of them all.
// Returns the exit status: 1 when any folder's check found an error.
int LintFolders(const std::vector<std::string>& i_folders, const std::string& i_style);

}  // namespace Towerkit
