#pragma once
// Search paths taken from the environment the first time they are needed.

#include <cstdlib>
#include <string>
#include <vector>

#include <ostrel/utils/Messages.h>

namespace Ostrel::Core::Settings {

// Process-wide; an empty path means "not filled yet". Once filled, never filled again.
inline std::string s_units_path;
inline std::vector<std::string> s_units_path_list;
inline std::string s_plugins_path;
inline std::vector<std::string> s_plugins_path_list;
inline std::string s_shaders_path;
inline std::vector<std::string> s_shaders_path_list;

// Fills o_path with the whole value of the environment variable i_env and o_paths with its
// separate paths (split at ':' and white space, empty pieces dropped); falls back to ./units
// with two warnings when the variable is unset or empty. Does nothing once o_path is filled.
inline void UpdatePaths(const std::string& i_env, std::string& o_path, std::vector<std::string>& o_paths) {
  if (!o_path.empty()) return;

  const char* pathEnv = std::getenv(i_env.c_str());
  if (pathEnv != nullptr && *pathEnv != '\0') {
    o_path = pathEnv;
    o_paths.clear();
    std::string piece;
    for (const char c : o_path) {
      const bool separator = c == ':' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
      if (!separator) {
        piece += c;
        continue;
      }
      if (!piece.empty()) o_paths.push_back(piece);
      piece.clear();
    }
    if (!piece.empty()) o_paths.push_back(piece);
    Message::PrintInfo("Found " + std::to_string(o_paths.size()) + " paths in '" + o_path + "'");
    return;
  }

  Message::PrintWarning("Please, set env (export) '" + i_env + "' to point to your plugins paths column-separated");
  o_path = std::string(".") + "/" + "units";
  o_paths.clear();
  o_paths.push_back(o_path);
  Message::PrintWarning("Now setting undefined paths as '" + o_path + "'");
}

// Fills the units path with the one folder i_path, as if the environment had named it, unless
// the path is filled already. Prints nothing. For a program that has a folder of its own to offer
// when the environment names none.
inline void SetUnitsPath(const std::string& i_path) {
  if (!s_units_path.empty()) return;
  s_units_path = i_path;
  s_units_path_list.assign(1, i_path);
}

inline std::string& GetUnitsPath() {
  UpdatePaths("OSTREL_UNITS_PATH", s_units_path, s_units_path_list);
  return s_units_path;
}

}  // namespace Ostrel::Core::Settings
