#pragma once
// String, folder and file helpers. Every output container is appended to, never cleared.
// This is the one place where the library calls the system to read.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/utils/Numbers.h>

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
  Numbers::Clamp(Numbers::ReadLeading(i_string, i), o_int);
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

// What became of an attempt to read a whole file.
enum class ReadStatus {
  Ok,
  NotFound,    // no such file (or a dangling link)
  NotRegular,  // a folder, a FIFO, a device or a socket
  Unreadable,  // the system refused it; ReadResult::error tells why
  TooLarge,    // more bytes than the caller allows
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  int error = 0;  // the errno of an Unreadable file
};

namespace detail {

// Reads an open file to its end; stops quietly at a read error. False when it holds more than
// i_maxBytes (a file that grew after its size was taken).
inline bool ReadAll(int i_fd, std::size_t i_sizeHint, std::size_t i_maxBytes, std::string& o_text) {
  o_text.assign(std::max<std::size_t>(i_sizeHint + 1, 4096), '\0');
  std::size_t size = 0;
  for (;;) {
    if (size > i_maxBytes) return false;
    if (size == o_text.size()) o_text.resize(o_text.size() * 2);
    const ssize_t got = ::read(i_fd, o_text.data() + size, o_text.size() - size);
    if (got > 0) {
      size += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  o_text.resize(size);
  return true;
}

// Opens a regular file of at most i_maxBytes bytes to read: o_fd (the caller closes it) and its
// size; or says why not, with o_fd -1.
inline ReadResult OpenToRead(const std::string& i_path, std::uint64_t i_maxBytes, int& o_fd, std::uint64_t& o_size) {
  o_fd = -1;
  const int fd = ::open(i_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {ReadStatus::NotFound, ENOENT};
    return {ReadStatus::Unreadable, errno};
  }
  struct stat info {};
  ReadResult result;
  if (::fstat(fd, &info) != 0) {
    result = {ReadStatus::Unreadable, errno};
  } else if (!S_ISREG(info.st_mode)) {
    result = {ReadStatus::NotRegular, 0};
  } else if (static_cast<std::uint64_t>(info.st_size) > i_maxBytes) {
    result = {ReadStatus::TooLarge, 0};
  }
  if (result.status != ReadStatus::Ok) {
    ::close(fd);
    return result;
  }
  o_fd = fd;
  o_size = static_cast<std::uint64_t>(info.st_size);
  return result;
}

// Hands i_visit the whole lines among io_block's first i_filled bytes (its first i_held bytes hold
// no line feed) and moves the bytes after the last line feed to the block's start; returns how
// many bytes now wait there for the end of their line.
template <typename Visit>
std::size_t VisitWholeLines(std::string& io_block, std::size_t i_held, std::size_t i_filled, Visit& i_visit) {
  std::size_t lines = i_filled;
  while (lines > i_held && io_block[lines - 1] != '\n') --lines;
  if (lines == i_held) return i_filled;
  i_visit(std::string_view(io_block.data(), lines));
  std::copy(io_block.begin() + static_cast<std::ptrdiff_t>(lines),
            io_block.begin() + static_cast<std::ptrdiff_t>(i_filled), io_block.begin());
  return i_filled - lines;
}

}  // namespace detail

// Replaces o_text with the whole of a regular file of at most i_maxBytes bytes. Anything else
// (a missing path, a folder, a FIFO, a device, a larger file) leaves o_text empty and says why;
// a FIFO is refused without waiting for a writer, and a file that is too large is not read.
inline ReadResult ReadFile(const std::string& i_path, std::uint64_t i_maxBytes, std::string& o_text) {
  o_text.clear();
  int fd = -1;
  std::uint64_t size = 0;
  ReadResult result = detail::OpenToRead(i_path, i_maxBytes, fd, size);
  if (result.status != ReadStatus::Ok) return result;
  if (!detail::ReadAll(fd, static_cast<std::size_t>(size), static_cast<std::size_t>(i_maxBytes), o_text)) {
    result = {ReadStatus::TooLarge, 0};
    o_text.clear();
  }
  ::close(fd);
  return result;
}

// Reads a regular file of at most i_maxBytes bytes as ReadFile does, but a block at a time:
// i_visit(std::string_view) gets its text in order, in runs of whole lines (each ending in a line
// feed, but for the file's last), so that a reader keeps what it made of the text, never the
// text. A line longer than i_blockBytes is handed over whole all the same. On a failure i_visit
// may have had part of the file (one that grew past i_maxBytes while read): its status says so.
template <typename Visit>
ReadResult ReadLines(const std::string& i_path, std::uint64_t i_maxBytes, std::size_t i_blockBytes,
                     Visit&& i_visit) {
  int fd = -1;
  std::uint64_t size = 0;
  ReadResult result = detail::OpenToRead(i_path, i_maxBytes, fd, size);
  if (result.status != ReadStatus::Ok) return result;
  // A small file takes a block of its own size, a large one blocks of i_blockBytes.
  std::string block(static_cast<std::size_t>(std::min<std::uint64_t>(std::max<std::size_t>(i_blockBytes, 1), size + 1)),
                    '\0');
  std::size_t held = 0;     // bytes of block that wait for the end of their line
  std::uint64_t total = 0;  // bytes read so far
  for (;;) {
    if (held == block.size()) block.resize(block.size() * 2);
    const ssize_t got = ::read(fd, block.data() + held, block.size() - held);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or a read error: stop quietly, as ReadFile does
    total += static_cast<std::uint64_t>(got);
    if (total > i_maxBytes) {
      result = {ReadStatus::TooLarge, 0};
      break;
    }
    held = detail::VisitWholeLines(block, held, held + static_cast<std::size_t>(got), i_visit);
  }
  if (result.status == ReadStatus::Ok && held > 0) i_visit(std::string_view(block.data(), held));
  ::close(fd);
  return result;
}

// Reads bytes [i_begin, i_end) of the open file i_fd as ReadLines reads a whole file, a block at
// a time, i_begin the start of a line; the bytes after the last line feed go last. It reads with
// pread, so that threads may each read a part of one file at once. False when the file ends or
// fails before i_end (i_visit may then have had part of it).
template <typename Visit>
bool ReadLinesAt(int i_fd, std::uint64_t i_begin, std::uint64_t i_end, std::size_t i_blockBytes, Visit&& i_visit) {
  std::string block(static_cast<std::size_t>(std::min<std::uint64_t>(std::max<std::size_t>(i_blockBytes, 1),
                                                                      i_end - i_begin + 1)),
                    '\0');
  std::size_t held = 0;  // bytes of block that wait for the end of their line
  for (std::uint64_t at = i_begin; at < i_end;) {
    if (held == block.size()) block.resize(block.size() * 2);
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size() - held, i_end - at));
    const ssize_t got = ::pread(i_fd, block.data() + held, want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += static_cast<std::uint64_t>(got);
    held = detail::VisitWholeLines(block, held, held + static_cast<std::size_t>(got), i_visit);
  }
  if (held > 0) i_visit(std::string_view(block.data(), held));
  return true;
}

}  // namespace Ostrel::FileSystem
