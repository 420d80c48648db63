// A file stream that keeps the reason of its first failed write.

#include "FileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Towerkit {

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 16;

}  // namespace

FileBuffer::FileBuffer() : m_buffer(kBufferBytes) { setp(m_buffer.data(), m_buffer.data() + m_buffer.size()); }

FileBuffer::~FileBuffer() { close(); }

void FileBuffer::attach(int i_fd) {
  close();
  m_fd = i_fd;
  m_error = 0;
  m_written = 0;
  setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

bool FileBuffer::put(const char* i_text, std::size_t i_count) {
  if (m_error != 0) return false;
  while (i_count > 0) {
    const ssize_t wrote = ::write(m_fd, i_text, i_count);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      m_error = wrote < 0 ? errno : EIO;
      return false;
    }
    i_text += wrote;
    i_count -= static_cast<std::size_t>(wrote);
    m_written += static_cast<std::uint64_t>(wrote);
  }
  if (m_onWrite) m_onWrite(m_written);
  return true;
}

bool FileBuffer::drain() {
  const auto bytes = static_cast<std::size_t>(pptr() - pbase());
  setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
  return put(m_buffer.data(), bytes);
}

FileBuffer::int_type FileBuffer::overflow(int_type i_c) {
  if (m_fd < 0 || !drain()) return traits_type::eof();
  if (traits_type::eq_int_type(i_c, traits_type::eof())) return traits_type::not_eof(i_c);
  *pptr() = traits_type::to_char_type(i_c);
  pbump(1);
  return i_c;
}

std::streamsize FileBuffer::xsputn(const char* i_text, std::streamsize i_count) {
  if (m_fd < 0) return 0;
  const auto count = static_cast<std::size_t>(i_count);
  if (count <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), i_text, count);
    pbump(static_cast<int>(count));
    return i_count;
  }
  // A large block goes straight to the file, after what is buffered.
  if (!drain() || !put(i_text, count)) return 0;
  return i_count;
}

int FileBuffer::sync() { return m_fd >= 0 && drain() ? 0 : -1; }

bool FileBuffer::close() {
  if (m_fd < 0) return m_error == 0;
  drain();
  if (::close(m_fd) != 0 && m_error == 0 && errno != EINTR) m_error = errno;
  m_fd = -1;
  return m_error == 0;
}

bool FileStream::open(const char* i_path) {
  const int fd = ::open(i_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  attach(fd);
  return true;
}

}  // namespace Towerkit
