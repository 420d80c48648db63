#pragma once
// String and folder helpers. Every output container is appended to, never cleared.

#include <dirent.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

namespace Ostrel::FileSystem {

// Cuts i_string at every i_delim. Consecutive delimiters give empty fields and a leading
// delimiter a leading empty field, but a trailing delimiter gives no trailing empty field.
inline void SplitString(const std::string& i_string, char i_delim, std::vector<std::string>& o_tokens) {
  std::string::size_type start = 0;
  while (start < i_string.size()) {
    const std::string::size_type end = i_string.find(i_delim, start);
    if (end == std::string::npos) {
      o_tokens.push_back(i_string.substr(start));
      return;
    }
    o_tokens.push_back(i_string.substr(start, end - start));
    start = end + 1;
  }
}

// Reads a decimal number the way atoi does (leading white space, an optional sign, digits up
// to the first other character, 0 when there are none), but a value beyond the range of int
// gives the nearest of INT_MIN and INT_MAX instead of undefined behaviour.
inline void StringToInt(const std::string& i_string, int& o_int) {
  std::string::size_type i = 0;
  while (i < i_string.size() && std::isspace(static_cast<unsigned char>(i_string[i]))) ++i;
  bool negative = false;
  if (i < i_string.size() && (i_string[i] == '+' || i_string[i] == '-')) {
    negative = i_string[i] == '-';
    ++i;
  }
  // Accumulate towards the limit of the sign, so that INT_MIN itself stays exact.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  for (; i < i_string.size() && i_string[i] >= '0' && i_string[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (i_string[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  o_int = static_cast<int>(negative ? -magnitude : magnitude);
}

// Appends the name of every entry of folder, in the order the system lists them, "." and ".."
// included. Returns 0, or the errno of a folder that cannot be opened (files then unchanged).
inline int GetFilesFromFolder(const std::string& folder, std::vector<std::string>& files) {
  DIR* dp = opendir(folder.c_str());
  if (dp == nullptr) return errno;
  while (const dirent* dirp = readdir(dp)) files.emplace_back(dirp->d_name);
  closedir(dp);
  return 0;
}

}  // namespace Ostrel::FileSystem
