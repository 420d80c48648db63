#pragma once
// Text files read at the edge: a whole small file into a string, never blocking on a FIFO or a
// device, and short excerpts of what was read, safe to quote in a one-line message.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

namespace Ostrel::TextFile {

enum class ReadResult { kRead, kCannotOpen, kNotRegularFile, kTooLarge };

// Replaces o_text with the bytes of the file. Refuses (o_text empty) a path that cannot be
// opened, one that is no regular file (a folder, a FIFO, a device), and a file of more than
// i_maxBytes bytes. A read error part way ends the text there.
ReadResult Read(const std::string& i_path, std::uint64_t i_maxBytes, std::string& o_text);

// The reason of a refusal as the end of a sentence naming the file: "cannot be opened", ...
const char* Describe(ReadResult i_result);

// At most about i_maxBytes of i_text for quoting in a message: control bytes become '?', and a
// cut text ends in "..." (never inside a UTF-8 sequence).
std::string Excerpt(std::string_view i_text, std::size_t i_maxBytes = 60);

// ---------------------------------------------------------------------------------------------
// Internals
// ---------------------------------------------------------------------------------------------

namespace detail {

// Reads the whole of an open file descriptor; stops quietly at a read error. False when it holds
// more than i_maxBytes (a file that grew after its size was taken).
inline bool ReadAll(int i_fd, std::size_t i_sizeHint, std::size_t i_maxBytes, std::string& o_text) {
  std::string& text = o_text;
  text.assign(std::max<std::size_t>(i_sizeHint + 1, 4096), '\0');
  std::size_t size = 0;
  for (;;) {
    if (size > i_maxBytes) return false;
    if (size == text.size()) text.resize(text.size() * 2);
    const ssize_t got = ::read(i_fd, text.data() + size, text.size() - size);
    if (got > 0) {
      size += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  text.resize(size);
  return true;
}

inline bool IsContinuationByte(char i_c) { return (static_cast<unsigned char>(i_c) & 0xC0) == 0x80; }

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

inline ReadResult Read(const std::string& i_path, std::uint64_t i_maxBytes, std::string& o_text) {
  o_text.clear();
  // Non-blocking, so that opening a FIFO cannot wait for a writer; it is refused just below.
  const int fd = ::open(i_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadResult::kCannotOpen;
  struct stat info {};
  ReadResult result = ReadResult::kRead;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = ReadResult::kNotRegularFile;
  } else if (static_cast<std::uint64_t>(info.st_size) > i_maxBytes ||
             !detail::ReadAll(fd, static_cast<std::size_t>(info.st_size), i_maxBytes, o_text)) {
    result = ReadResult::kTooLarge;
  }
  ::close(fd);
  if (result != ReadResult::kRead) o_text.clear();
  return result;
}

inline const char* Describe(ReadResult i_result) {
  switch (i_result) {
    case ReadResult::kRead:
      return "was read";
    case ReadResult::kCannotOpen:
      return "cannot be opened";
    case ReadResult::kNotRegularFile:
      return "is not a regular file";
    case ReadResult::kTooLarge:
      return "is too large";
  }
  return "cannot be read";
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
