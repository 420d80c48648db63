#pragma once
// An output stream over a file descriptor that keeps the reason of its first failed write,
// whichever thread made it: writers hand full buffers to the stream on threads of their own, and
// errno is each thread's, so the reason of a full disk would otherwise be lost on the way.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <streambuf>
#include <utility>
#include <vector>

namespace Towerkit {

class FileBuffer : public std::streambuf {
 public:
  FileBuffer();
  FileBuffer(const FileBuffer&) = delete;
  FileBuffer& operator=(const FileBuffer&) = delete;
  ~FileBuffer() override;

  // Takes i_fd (open for writing), to be closed by close(); any earlier one is closed first.
  void attach(int i_fd);
  bool attached() const { return m_fd >= 0; }
  // Writes what is buffered and closes the file. False when a write or the close failed.
  bool close();
  // The errno of the first failed write or close; 0 when none failed.
  int error() const { return m_error; }
  // Told the bytes written to the file so far after each write to it, on the thread that wrote.
  void onWrite(std::function<void(std::uint64_t i_bytes)> i_told) { m_onWrite = std::move(i_told); }

 protected:
  int_type overflow(int_type i_c) override;
  std::streamsize xsputn(const char* i_text, std::streamsize i_count) override;
  int sync() override;

 private:
  bool put(const char* i_text, std::size_t i_count);
  bool drain();

  int m_fd = -1;
  int m_error = 0;
  std::uint64_t m_written = 0;
  std::function<void(std::uint64_t)> m_onWrite;
  std::vector<char> m_buffer;
};

// An ostream writing into a FileBuffer.
class FileStream : public std::ostream {
 public:
  FileStream() : std::ostream(nullptr) { rdbuf(&m_buffer); }

  // Opens i_path for writing, truncated, as a file created new would be (0666 less the umask).
  // False, with errno set, when it cannot.
  bool open(const char* i_path);
  void attach(int i_fd) {
    clear();
    m_buffer.attach(i_fd);
  }
  bool is_open() const { return m_buffer.attached(); }
  // Flushes and closes; the stream fails when anything written was lost.
  void close() {
    if (!m_buffer.close()) setstate(std::ios::badbit);
  }
  int error() const { return m_buffer.error(); }
  void onWrite(std::function<void(std::uint64_t i_bytes)> i_told) { m_buffer.onWrite(std::move(i_told)); }

 private:
  FileBuffer m_buffer;
};

}  // namespace Towerkit
