// The writers' output buffer, whose full blocks are written on a second thread: the stream must
// see every byte in order, and a failed write must show when flushed as if written in turn.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <ios>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "write/TextOut.h"

namespace {

using Ostrel::Buildings::detail::kOutputBufferBytes;
using Ostrel::Buildings::detail::TextOut;

// Lines of different lengths, none like the one before, so that a block lost, repeated or out
// of order shows.
std::string Line(std::size_t i_number) {
  return std::to_string(i_number) + std::string(i_number % 97, 'a' + static_cast<char>(i_number % 26)) + '\n';
}

TEST(TextOut, EveryByteInOrderThroughFullBlocksLongTextsAndFlushes) {
  std::ostringstream stream;
  std::string expected;
  {
    TextOut out(stream);
    for (std::size_t i = 0; expected.size() < 5 * kOutputBufferBytes; ++i) {
      const std::string line = Line(i);
      if (i % 3 == 0) {
        out.write(line.data(), line.size());
      } else {
        char* pos = out.room(line.size());
        line.copy(pos, line.size());
        out.commit(pos + line.size());
      }
      expected += line;
      if (i == 20000) {
        // Longer than the buffer: written as it is, after everything before it.
        const std::string block(kOutputBufferBytes + 5, 'L');
        out.write(block.data(), block.size());
        expected += block;
      }
      if (i == 40000) {
        // After a flush the stream holds everything so far and may be written directly.
        out.flush();
        EXPECT_EQ(stream.str(), expected);
        stream << "direct\n";
        expected += "direct\n";
      }
    }
  }
  EXPECT_EQ(stream.str(), expected);
}

// Takes i_accepted bytes, then fails every write with ENOSPC. Accepting a full buffer lets the
// small first blocks, written in turn, through: only writes on the second thread fail.
struct FullDisk : std::streambuf {
  explicit FullDisk(std::size_t i_accepted) : accepted(i_accepted) {}
  std::size_t accepted;
  std::streamsize xsputn(const char*, std::streamsize i_count) override {
    const auto count = static_cast<std::size_t>(i_count);
    if (count <= accepted) {
      accepted -= count;
      return i_count;
    }
    errno = ENOSPC;
    return 0;
  }
  int overflow(int) override {
    errno = ENOSPC;
    return traits_type::eof();
  }
};

TEST(TextOut, AFailedBackgroundWriteShowsAtFlushWithItsErrno) {
  FullDisk disk(kOutputBufferBytes);
  std::ostream stream(&disk);
  TextOut out(stream);
  const std::string line(100, 'x');
  for (std::size_t written = 0; written < 4 * kOutputBufferBytes; written += line.size()) {
    out.write(line.data(), line.size());
  }
  errno = 0;
  out.flush();
  EXPECT_TRUE(stream.bad());
  EXPECT_EQ(errno, ENOSPC);
}

TEST(TextOut, AnExceptionOfABackgroundWriteIsThrownByFlush) {
  FullDisk disk(kOutputBufferBytes);
  std::ostream stream(&disk);
  stream.exceptions(std::ios::badbit);
  TextOut out(stream);
  const std::string line(100, 'x');
  for (std::size_t written = 0; written < 3 * kOutputBufferBytes; written += line.size()) {
    out.write(line.data(), line.size());
  }
  EXPECT_THROW(out.flush(), std::ios_base::failure);
  stream.exceptions(std::ios::goodbit);  // the failure is reported; dropping the buffer is quiet
}

// Keeps every buffer it is handed and gives a fresh one of a size of its own, as a sink that
// holds text for later does: a text longer than the buffer comes in buffers' worth, in order.
struct KeepingSink : Ostrel::Buildings::detail::TextSink {
  std::string text;
  std::size_t largest = 0;  // of the texts handed over
  void take(std::vector<char>& io_buffer, std::size_t i_bytes) override {
    text.append(io_buffer.data(), i_bytes);
    largest = std::max(largest, i_bytes);
    io_buffer = std::vector<char>(1000);
  }
};

TEST(TextOut, ASinkGetsEveryByteInOrderInBuffersOfItsOwnSize) {
  std::ostringstream stream;
  KeepingSink sink;
  std::string expected;
  {
    TextOut out(stream);
    out.sendTo(sink);
    for (std::size_t i = 0; i < 3000; ++i) {
      const std::string line = i == 1500 ? std::string(2500, 'L') : Line(i);
      out.write(line.data(), line.size());
      expected += line;
    }
    out.flush();
    EXPECT_EQ(sink.text, expected);
  }
  EXPECT_EQ(stream.str(), "");
  EXPECT_LE(sink.largest, std::size_t{16} << 10);  // the first buffer's size at most
}

}  // namespace
