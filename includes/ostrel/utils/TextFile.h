#pragma once
// Text read at the edge, told about in one-line messages: why a file could not be read, and
// short excerpts of what was read, safe to quote.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include <ostrel/utils/FileSystem.h>

namespace Ostrel::TextFile {

// Why a file could not be read, as the end of a sentence naming it: "does not exist", ...
std::string Describe(const FileSystem::ReadResult& i_result);

// At most about i_maxBytes of i_text for quoting in a message: control bytes become '?', and a
// cut text ends in "..." (never inside a UTF-8 sequence).
std::string Excerpt(std::string_view i_text, std::size_t i_maxBytes = 60);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

inline bool IsContinuationByte(char i_c) { return (static_cast<unsigned char>(i_c) & 0xC0) == 0x80; }

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline std::string Describe(const FileSystem::ReadResult& i_result) {
  switch (i_result.status) {
    case FileSystem::ReadStatus::Ok:
      return "was read";
    case FileSystem::ReadStatus::NotFound:
      return "does not exist";
    case FileSystem::ReadStatus::NotRegular:
      return "is not a regular file";
    case FileSystem::ReadStatus::TooLarge:
      return "is too large";
    case FileSystem::ReadStatus::Unreadable:
      break;
  }
  return std::string("cannot be read (") + std::strerror(i_result.error) + ")";
}

inline std::string Excerpt(std::string_view i_text, std::size_t i_maxBytes) {
  std::size_t length = std::min(i_text.size(), i_maxBytes);
  while (length < i_text.size() && length > 0 && detail::IsContinuationByte(i_text[length])) --length;
  std::string excerpt(i_text.substr(0, length));
  for (char& c : excerpt) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  if (length < i_text.size()) excerpt += "...";
  return excerpt;
}

}  // namespace Ostrel::TextFile
