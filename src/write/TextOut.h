#pragma once
// The buffer that writers collect output text in before handing it to their stream in large
// blocks, with the writing of full blocks on a second thread.

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

namespace Ostrel::Buildings::detail {

// Size of the text buffer that collects output lines before one large write.
inline constexpr std::size_t kOutputBufferBytes = std::size_t{1} << 20;

// Writes full buffers to a stream on a thread of its own, so that the system's copying of one
// buffer overlaps the making of the next. One buffer is in flight at a time, and they reach the
// stream in the order they were handed over, so the stream sees the same writes as when written
// in turn. The thread starts with the first buffer handed over and is the only one to touch the
// stream until wait() returns: call wait() before anything else writes to the stream or reads
// its state.
class BackgroundWrites {
 public:
  explicit BackgroundWrites(std::ostream& io_stream) : m_stream(io_stream) {}
  BackgroundWrites(const BackgroundWrites&) = delete;
  BackgroundWrites& operator=(const BackgroundWrites&) = delete;
  ~BackgroundWrites() {
    if (!m_thread.joinable()) return;
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }

  // Takes the first i_bytes of io_buffer to write, once the buffer handed over before is
  // written; io_buffer comes back as an empty buffer of the same size, to be filled next.
  void hand(std::vector<char>& io_buffer, std::size_t i_bytes) {
    if (!m_thread.joinable()) {
      m_spare.resize(io_buffer.size());
      m_thread = std::thread([this] { run(); });
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_bytes == 0; });
    std::swap(io_buffer, m_spare);
    io_buffer.resize(m_spare.size());
    m_bytes = i_bytes;
    ++m_handed;
    lock.unlock();
    m_changed.notify_all();
  }

  // Takes i_bytes of text at i_text to write as it is, after the buffers handed over before,
  // without copying it; returns the number that waitWritten takes to wait until it is written.
  // The text must stay unchanged until then.
  std::uint64_t lend(const char* i_text, std::size_t i_bytes) {
    if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_bytes == 0; });
    m_lent = i_text;
    m_bytes = i_bytes;
    const std::uint64_t ticket = ++m_handed;
    lock.unlock();
    m_changed.notify_all();
    return ticket;
  }

  // Returns once the text lend returned i_ticket for is written (or failed to be). Throws nothing:
  // a failure shows at the next wait().
  void waitWritten(std::uint64_t i_ticket) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_finished >= i_ticket; });
  }

  // Returns once every buffer handed over is written. A failed write shows as the stream's
  // state, with errno as the write left it, and an exception of the write is thrown here.
  void wait() {
    if (!m_thread.joinable()) return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_bytes == 0; });
    if (m_errno != 0) errno = m_errno;
    m_errno = 0;
    std::exception_ptr failure = std::exchange(m_failure, nullptr);
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_changed.wait(lock, [this] { return m_bytes != 0 || m_stop; });
      if (m_bytes == 0) return;
      const char* const text = m_lent ? m_lent : m_spare.data();
      lock.unlock();
      const bool wasGood = m_stream.good();
      std::exception_ptr failure;
      try {
        m_stream.write(text, static_cast<std::streamsize>(m_bytes));
      } catch (...) {
        failure = std::current_exception();
      }
      const int error = wasGood && !m_stream.good() ? errno : 0;
      lock.lock();
      if (error != 0) m_errno = error;
      if (failure && !m_failure) m_failure = failure;
      m_bytes = 0;
      m_lent = nullptr;
      ++m_finished;
      m_changed.notify_all();
    }
  }

  std::ostream& m_stream;
  std::vector<char> m_spare;  // the buffer being written, or the one to fill next
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::size_t m_bytes = 0;  // of m_spare or m_lent still to write; 0 when the thread is idle
  const char* m_lent = nullptr;  // text lent to write in place of m_spare's
  std::uint64_t m_handed = 0;    // buffers and texts handed over so far
  std::uint64_t m_finished = 0;  // of them written or failed
  bool m_stop = false;
  int m_errno = 0;               // of the first failed write since the last wait()
  std::exception_ptr m_failure;  // thrown by a write since the last wait()
};

// Takes a writer's text a buffer at a time in place of its stream, to pass on or keep.
class TextSink {
 public:
  // Takes the first i_bytes of io_buffer (more than none); io_buffer comes back empty, to be
  // filled next: the same buffer, or another of the same size or larger.
  virtual void take(std::vector<char>& io_buffer, std::size_t i_bytes) = 0;

 protected:
  ~TextSink() = default;
};

// Collects output text in one large buffer and hands it to the stream in big blocks. The buffer
// starts small and doubles each time it fills, up to kOutputBufferBytes, so that a small building
// does not pay for clearing a large buffer it never fills; full-size buffers are written on a second
// thread while the next one fills, so an output of less than two buffers never starts one.
class TextOut {
 public:
  explicit TextOut(std::ostream& io_stream, bool i_writeOnOwnThread = true)
      : m_stream(io_stream),
        m_buffer(kFirstBufferBytes),
        m_background(io_stream),
        m_handOver(i_writeOnOwnThread) {}
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;
  ~TextOut() { flush(); }

  // Returns where to write up to i_bytes more bytes (at most the buffer's size, unless the text
  // is collected); commit(end) then keeps them.
  // Called for every line and every face corner: the common case is kept small enough to be
  // inlined, and the making of room is a call of its own.
  char* room(std::size_t i_bytes) {
    if (m_used + i_bytes <= m_buffer.size()) return m_buffer.data() + m_used;
    return makeRoom(i_bytes);
  }
  void commit(const char* i_end) { m_used = static_cast<std::size_t>(i_end - m_buffer.data()); }

  // Appends text of any length; a text longer than the buffer goes to the stream as it is,
  // unless buffers go to a sink or to the writing thread.
  void write(const char* i_text, std::size_t i_length) {
    if (i_length > m_buffer.size() && (m_sink || m_handOver)) {
      // A sink takes buffers, never longer texts: the text goes in buffers' worth. So does it to
      // the writing thread, which then writes it while this one goes on (a large piece's normals,
      // megabytes at every placement, would otherwise be written here, the writing thread idle).
      for (std::size_t done = 0; done < i_length;) {
        const std::size_t part = std::min(i_length - done, m_buffer.size());
        char* pos = room(part);
        std::memcpy(pos, i_text + done, part);
        commit(pos + part);
        done += part;
      }
      return;
    }
    if (i_length > m_buffer.size() && !m_collect) {
      flush();
      m_stream.write(i_text, static_cast<std::streamsize>(i_length));
      m_sent += i_length;
      return;
    }
    char* pos = room(i_length);
    std::memcpy(pos, i_text, i_length);
    commit(pos + i_length);
  }

  // Whether lend hands text to the writing thread: once full buffers go to it, unless the text goes
  // to a sink or is collected.
  bool lends() const {
    return m_handOver && !m_collect && !m_sink && m_buffer.size() == kOutputBufferBytes;
  }

  // Where lends(): hands what is collected to the writing thread, then i_text itself, without a
  // copy; returns the number waitWritten takes. i_text must stay unchanged until then.
  std::uint64_t lend(const char* i_text, std::size_t i_length) {
    send();
    m_sent += i_length;
    return m_background.lend(i_text, i_length);
  }
  void waitWritten(std::uint64_t i_ticket) { m_background.waitWritten(i_ticket); }

  // Bytes written through this buffer so far, whether they reached the stream yet or not.
  std::uint64_t bytes() const { return m_sent + m_used; }

  // Hands everything collected to the stream and returns when it is written.
  void flush() {
    send();
    m_background.wait();
  }

  // From now on keeps all the text, the buffer growing as it must, until takeText hands it over;
  // the stream gets nothing more. For text made on one thread and written out by another.
  void collect() {
    flush();
    m_collect = true;
  }

  // From now on hands every full buffer, and what is left at a flush, to io_sink instead of the
  // stream, on the calling thread. For text that goes out in an order of its own.
  void sendTo(TextSink& io_sink) {
    flush();
    m_sink = &io_sink;
  }

  // Of collected text: swaps it into io_text, whose first o_bytes bytes it is, and fills the
  // buffer io_text held next, so that buffers go round without being copied or made anew.
  void takeText(std::vector<char>& io_text, std::size_t& o_bytes) {
    std::swap(m_buffer, io_text);
    o_bytes = m_used;
    m_sent += m_used;
    m_used = 0;
    if (m_buffer.size() < kFirstBufferBytes) m_buffer.resize(kFirstBufferBytes);
  }

 private:
  // Room for the longest line (a few hundred bytes) many times over.
  static constexpr std::size_t kFirstBufferBytes = std::size_t{1} << 14;

  [[gnu::noinline]] char* makeRoom(std::size_t i_bytes) {
    if (m_collect) {
      grow(i_bytes);
      return m_buffer.data() + m_used;
    }
    send();
    // Emptied, the old text need not move: a fresh buffer of twice the size. A sink chooses the
    // size of the buffers it gives back.
    if (!m_sink && m_buffer.size() < kOutputBufferBytes) m_buffer = std::vector<char>(m_buffer.size() * 2);
    return m_buffer.data() + m_used;
  }

  // A buffer of at least twice the size, with room for i_bytes more, that keeps the text.
  void grow(std::size_t i_bytes) {
    std::vector<char> larger(std::max(2 * m_buffer.size(), m_used + i_bytes));
    std::memcpy(larger.data(), m_buffer.data(), m_used);
    m_buffer.swap(larger);
  }

  // Starts the writing of the collected text and empties the buffer; keeps it when collecting.
  void send() {
    if (m_collect) return;
    if (m_sink && m_used > 0) {
      m_sink->take(m_buffer, m_used);
    } else if (m_used > 0 && m_handOver && m_buffer.size() == kOutputBufferBytes) {
      m_background.hand(m_buffer, m_used);
    } else if (m_used > 0) {
      m_stream.write(m_buffer.data(), static_cast<std::streamsize>(m_used));
    }
    m_sent += m_used;
    m_used = 0;
  }

  std::ostream& m_stream;
  std::vector<char> m_buffer;
  std::size_t m_used = 0;
  std::uint64_t m_sent = 0;  // bytes handed to the stream or to m_background
  BackgroundWrites m_background;
  bool m_handOver;             // full buffers go to m_background instead of straight to the stream
  bool m_collect = false;      // the text is kept for takeText, never written to the stream
  TextSink* m_sink = nullptr;  // takes the text in place of the stream
};

}  // namespace Ostrel::Buildings::detail
