// The lines of a large piece, on one thread or two.

#include "write/obj/ObjDense.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <ostrel/utils/Memory.h>
#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings::detail {

// The lines of the vertices first to end (exclusive) of one placement, or a run of its faces.
// Threads that make the lines of different vertices touch different kept texts.
struct DenseLines {
  enum class Kind { Positions, Normals, Uvs, Faces };
  Kind kind = Kind::Positions;
  const Piece* piece = nullptr;
  CoordinateText* kept[3] = {nullptr, nullptr, nullptr};  // per column; null where none is kept
  PlacementFloats at{};  // positions'
  Frame frame;
  bool plainPlacing = false;  // positions placed by PlacePlainPosition
  Turn facing, building;  // normals'
  NormalStretch stretch;
  std::size_t first = 0;
  std::size_t end = 0;
  FaceLines faces;  // faces', with their own first and end
};

namespace {

// Vertices whose lines one thread makes at a time, when two share a placement: at most about
// 2 MiB of text, so that the helper's lines wait in a buffer that stays small, and at least a
// few thousand lines, so that a hand-over costs a hundredth of the work or less. A placement of
// fewer than twice the least is made by the writer's thread alone.
constexpr std::size_t kChunkVertices = std::size_t{1} << 16;
constexpr std::size_t kLeastChunkVertices = std::size_t{1} << 12;

// The fewest lines of a placement that a writer of jobs 1 makes on two threads when it may
// (ObjWriter::hugePieceHelper): two whole chunks. Halves of smaller placements are handed over
// too often: a kit of 20,000-vertex pieces took longer on two threads than on one.
constexpr std::size_t kHugePieceVertices = 2 * kChunkVertices;

static_assert(kChunkVertices * kMaxVectorLine <= kHelperTextBytes, "the helper's buffer holds a run of lines");

// The output's buffer takes text at most this long without writing it straight to the stream
// (its smallest size): the helper's lines are copied in such parts.
constexpr std::size_t kCopyBytes = std::size_t{1} << 14;

// Keeps the coordinate columns of a large piece's text that the budget allows: the height first,
// as every placement of a storey shares it, then x and z, each shared along a facade that runs
// across it. Finds too whether the piece's positions may take the plain placing.
void KeepColumns(ObjWriter& io_writer, PieceText& io_text, const Piece& i_piece) {
  io_text.columnsDecided = true;
  const auto bounded = [](const VectorF& i_p) {
    constexpr float kBound = 0x1p64f;  // also false for NaN
    return std::fabs(i_p.x) <= kBound && std::fabs(i_p.y) <= kBound && std::fabs(i_p.z) <= kBound;
  };
  io_text.boundedPositions = std::all_of(i_piece.positions.begin(), i_piece.positions.end(), bounded);
  const std::size_t vertices = i_piece.positions.size();
  if (vertices < kKeptColumnsMinVertices) return;
  const std::size_t bytes = vertices * sizeof(CoordinateText);
  for (const int column : {1, 0, 2}) {
    if (bytes > io_writer.columnBudget - std::min(io_writer.columnBytes, io_writer.columnBudget)) return;
    Memory::ReserveLarge(io_text.columns[column], vertices);
    io_text.columns[column].resize(vertices);
    io_writer.columnBytes += bytes;
  }
}

// Writes the text of i_value at o_out (room for kMaxFloatChars bytes) and returns its end: the
// kept text when it is i_value's, else new text, which is then kept. Text in plain notation is
// stored from the registers it is made in, both into the output and into the kept slot: copied
// from the output, it would be read back from stores not yet done, and wait for them.
[[gnu::always_inline]] inline char* PutCoordinate(char* o_out, CoordinateText& io_kept, float i_value) {
  const std::uint32_t bits = BitsOf(i_value);
  const std::uint8_t length = io_kept.length;
  if (io_kept.bits == bits && length != 0) {
    *o_out = '-';
    o_out += length >> 7;
    std::memcpy(o_out, io_kept.text, sizeof io_kept.text);
    return o_out + (length & CoordinateText::kLength);
  }
  Format::detail::FloatWords words;
  if (Format::detail::UnsignedPlainFloatWords(i_value, words)) {
    static_assert(sizeof io_kept.text == 11, "the kept text takes the first word and three bytes");
    const std::uint32_t negative = bits >> 31;
    io_kept.bits = bits;
    io_kept.length = static_cast<std::uint8_t>(words.length | negative << 7);  // at most 11 bytes
    std::memcpy(io_kept.text, &words.low, 8);
    std::memcpy(io_kept.text + 8, &words.high, 3);
    return Format::detail::PutUnsignedPlainWords(o_out, words, negative);
  }
  char* const end = Format::AppendFloat(o_out, i_value);
  const auto textLength = static_cast<std::size_t>(end - o_out);
  io_kept.bits = bits;
  io_kept.length = textLength <= sizeof io_kept.text ? static_cast<std::uint8_t>(textLength) : 0;
  std::memcpy(io_kept.text, o_out, sizeof io_kept.text);
  return end;
}

// Whether i_frame leaves positions where they are: no move, turn, scale or pivot, each field with
// the very bits of Frame's default (a -0 would change the sum of a zero).
bool IsPlainFrame(const Frame& i_frame) {
  const Frame plain;
  const float fields[][2] = {{i_frame.xpos, plain.xpos},       {i_frame.ypos, plain.ypos},
                             {i_frame.zpos, plain.zpos},       {i_frame.xdir, plain.xdir},
                             {i_frame.zdir, plain.zdir},       {i_frame.xscale, plain.xscale},
                             {i_frame.yscale, plain.yscale},   {i_frame.zscale, plain.zscale},
                             {i_frame.xpivot, plain.xpivot},   {i_frame.zpivot, plain.zpivot}};
  for (const auto& field : fields) {
    if (BitsOf(field[0]) != BitsOf(field[1])) return false;
  }
  return true;
}

// PlacePosition in a plain frame (IsPlainFrame) for a position that places without overflow
// (PieceText::boundedPositions), with half the arithmetic and the same bits: subtracting a +0
// pivot and scaling by 1 change nothing, and the turn by (0, 1) with the move by +0 changes a
// finite coordinate only by making a -0 a 0, as adding 0 does.
[[gnu::always_inline]] inline void PlacePlainPosition(const VectorF& i_p, const PlacementFloats& i_at, float* o_xyz) {
  o_xyz[0] = i_p.x * i_at.zd - i_p.z * i_at.xd + i_at.x + 0.0f;
  o_xyz[1] = i_p.y + i_at.y + 0.0f;
  o_xyz[2] = i_p.x * i_at.xd + i_p.z * i_at.zd + i_at.z + 0.0f;
}

// Writes a coordinate of vertex i_vertex: through its kept text when kKept, else made afresh.
template <bool kKept>
[[gnu::always_inline]] inline char* PutColumn(char* o_out, CoordinateText* i_kept, std::size_t i_vertex,
                                              float i_value) {
  if (kKept) return PutCoordinate(o_out, i_kept[i_vertex], i_value);
  return Format::AppendFloatInline(o_out, i_value);
}

// Writes the v lines of vertices i_first to i_end (exclusive) at o_out (room for kMaxVectorLine
// bytes each); returns the end. kKeptX, kKeptY and kKeptZ say which columns have kept text; the
// others are formatted afresh: a large piece's coordinates are too many for the float text
// cache, which would only miss.
template <bool kKeptX, bool kKeptY, bool kKeptZ, bool kPlain>
char* PutPositionLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  // Copies: the text is written through char pointers, which may alias anything, so values read
  // through references would be read again after every byte.
  const VectorF* const positions = i_lines.piece->positions.data();
  const PlacementFloats at = i_lines.at;
  const Frame frame = i_lines.frame;
  CoordinateText* const keptX = i_lines.kept[0];
  CoordinateText* const keptY = i_lines.kept[1];
  CoordinateText* const keptZ = i_lines.kept[2];
  char* pos = o_out;
  for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
    float placed[3];
    if (kPlain) {
      PlacePlainPosition(positions[vertex], at, placed);
    } else {
      PlacePosition(positions[vertex], at, frame, placed);
    }
    pos[0] = 'v';
    pos[1] = ' ';
    pos = PutColumn<kKeptX>(pos + 2, keptX, vertex, placed[0]);
    *pos = ' ';
    pos = PutColumn<kKeptY>(pos + 1, keptY, vertex, placed[1]);
    *pos = ' ';
    pos = PutColumn<kKeptZ>(pos + 1, keptZ, vertex, placed[2]);
    *pos++ = '\n';
  }
  return pos;
}

// Writes the vn or vt lines of i_first to i_end (exclusive) at o_out, as PutPositionLines.
char* PutAttributeLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  char* pos = o_out;
  if (i_lines.kind == DenseLines::Kind::Normals) {
    const VectorF* const normals = i_lines.piece->normals.data();
    const Turn facing = i_lines.facing;
    const Turn building = i_lines.building;
    const NormalStretch stretch = i_lines.stretch;
    for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
      const VectorF turned = PlaceNormal(normals[vertex], facing, building, stretch);
      const float values[3] = {turned.x, turned.y, turned.z};
      pos = PutVectorLineDirect(pos, "vn", 2, values, 3);
    }
    return pos;
  }
  const UV* const uvs = i_lines.piece->uvs.data();
  for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
    const float values[2] = {uvs[vertex].u, uvs[vertex].v};
    pos = PutVectorLineDirect(pos, "vt", 2, values, 2);
  }
  return pos;
}

// PutPositionLines for the columns that have kept text.
template <bool kPlain>
char* PutPositionLinesKept(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  // KeepColumns keeps y first, then x, then z, as far as the budget goes.
  if (!i_lines.kept[1]) return PutPositionLines<false, false, false, kPlain>(o_out, i_lines, i_first, i_end);
  if (!i_lines.kept[0]) return PutPositionLines<false, true, false, kPlain>(o_out, i_lines, i_first, i_end);
  if (!i_lines.kept[2]) return PutPositionLines<true, true, false, kPlain>(o_out, i_lines, i_first, i_end);
  return PutPositionLines<true, true, true, kPlain>(o_out, i_lines, i_first, i_end);
}

// Writes lines i_first to i_end (exclusive) at o_out (room for kMaxVectorLine bytes each);
// returns the end.
char* PutDenseLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  if (i_lines.kind != DenseLines::Kind::Positions) return PutAttributeLines(o_out, i_lines, i_first, i_end);
  if (i_lines.plainPlacing) return PutPositionLinesKept<true>(o_out, i_lines, i_first, i_end);
  return PutPositionLinesKept<false>(o_out, i_lines, i_first, i_end);
}

// Lines made at once into the output's buffer: a few KiB of room, so that the buffer is asked
// for room once every few hundred lines, not at every line.
constexpr std::size_t kBatchLines = 128;

void WriteLines(TextOut& io_out, const DenseLines& i_lines) {
  for (std::size_t first = i_lines.first; first < i_lines.end; first += kBatchLines) {
    const std::size_t end = std::min(i_lines.end, first + kBatchLines);
    io_out.commit(PutDenseLines(io_out.room((end - first) * kMaxVectorLine), i_lines, first, end));
  }
}

}  // namespace

// Makes the lines it is asked for into a buffer of its own while the writer's thread makes the
// lines before them; the writer then copies them into its output, so that the text keeps its
// order.
struct DenseHelper {
  std::mutex mutex;
  std::condition_variable changed;
  DenseLines asked;
  bool pending = false;  // asked lines not made yet
  bool stop = false;
  std::vector<char> text;  // the lines made, its first `bytes` bytes
  std::size_t bytes = 0;
  NumberWindows windows;  // the numbers of the faces it makes, when they are its to make
  std::thread thread;

  DenseHelper() : text(kHelperTextBytes) { thread = std::thread([this] { run(); }); }

  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return pending || stop; });
      if (!pending) return;
      const DenseLines lines = asked;
      lock.unlock();
      char* const pos = lines.kind == DenseLines::Kind::Faces
                            ? PutFaceLines(text.data(), lines.faces, windows)
                            : PutDenseLines(text.data(), lines, lines.first, lines.end);
      lock.lock();
      bytes = static_cast<std::size_t>(pos - text.data());
      pending = false;
      changed.notify_all();
    }
  }

  void ask(const DenseLines& i_lines) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      asked = i_lines;
      pending = true;
    }
    changed.notify_all();
  }

  void waitDone() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !pending; });
  }

  // Waits for the lines asked last and copies them into io_out.
  void copyInto(TextOut& io_out) {
    waitDone();
    for (std::size_t done = 0; done < bytes; done += kCopyBytes) {
      io_out.write(text.data() + done, std::min(kCopyBytes, bytes - done));
    }
  }
};

void AskHelper(ObjWriter& io_writer, const FaceLines& i_faces) {
  if (!io_writer.denseHelper) io_writer.denseHelper.reset(new DenseHelper());
  DenseLines lines;
  lines.kind = DenseLines::Kind::Faces;
  lines.faces = i_faces;
  io_writer.denseHelper->ask(lines);
}

void CopyHelped(ObjWriter& io_writer) { io_writer.denseHelper->copyInto(io_writer.out); }

HelperIdle::~HelperIdle() {
  if (writer.denseHelper) writer.denseHelper->waitDone();
}

bool TwoThreadsFor(const ObjWriter& i_writer, std::size_t i_lines) {
  return i_writer.jobs >= 2 || (i_writer.hugePieceHelper && i_lines >= kHugePieceVertices);
}

void DenseHelperEnd::operator()(DenseHelper* i_helper) const {
  {
    const std::lock_guard<std::mutex> lock(i_helper->mutex);
    i_helper->stop = true;
  }
  i_helper->changed.notify_all();
  i_helper->thread.join();
  delete i_helper;
}

namespace {

// Writes the lines 0 to i_count - 1 of one kind through io_writer, on two threads when it may use
// them and the lines are many.
void WriteDense(ObjWriter& io_writer, DenseLines lines, std::size_t i_count) {
  if (!TwoThreadsFor(io_writer, i_count) || i_count < 2 * kLeastChunkVertices) {
    lines.first = 0;
    lines.end = i_count;
    return WriteLines(io_writer.out, lines);
  }
  // Halves of a smaller placement, so that both threads have as much to do.
  const std::size_t chunk = std::min(kChunkVertices, (i_count + 1) / 2);
  if (!io_writer.denseHelper) io_writer.denseHelper.reset(new DenseHelper());
  DenseHelper& helper = *io_writer.denseHelper;
  // Should the output fail while the helper works, it ends its lines before what they read goes.
  const HelperIdle idle{io_writer};
  // The writer's thread makes every other run of lines, the helper those between.
  for (std::size_t first = 0; first < i_count; first += 2 * chunk) {
    const std::size_t middle = std::min(i_count, first + chunk);
    const std::size_t end = std::min(i_count, middle + chunk);
    DenseLines later = lines;
    later.first = middle;
    later.end = end;
    if (middle < end) helper.ask(later);
    lines.first = first;
    lines.end = middle;
    WriteLines(io_writer.out, lines);
    if (middle < end) helper.copyInto(io_writer.out);
  }
}

}  // namespace

void WriteDenseVertices(ObjWriter& io_writer, PieceId i_id, const PlacementFloats& i_at, const Frame& i_frame) {
  const Piece& piece = io_writer.kit->piece(i_id);
  PieceText& text = io_writer.texts[i_id];
  if (!text.columnsDecided) KeepColumns(io_writer, text, piece);
  DenseLines lines;
  lines.piece = &piece;
  for (int column = 0; column < 3; ++column) {
    lines.kept[column] = text.columns[column].empty() ? nullptr : text.columns[column].data();
  }
  lines.at = i_at;
  lines.frame = i_frame;
  // A placement's cell, height and facing (a unit direction) are finite, at most about 2^64.
  lines.plainPlacing = text.boundedPositions && IsPlainFrame(i_frame);
  WriteDense(io_writer, lines, piece.positions.size());
}

void WriteDenseNormals(ObjWriter& io_writer, const Piece& i_piece, const Turn& i_facing, const Turn& i_building,
                       const NormalStretch& i_stretch) {
  DenseLines lines;
  lines.kind = DenseLines::Kind::Normals;
  lines.piece = &i_piece;
  lines.facing = i_facing;
  lines.building = i_building;
  lines.stretch = i_stretch;
  WriteDense(io_writer, lines, i_piece.normals.size());
}

void WriteDenseUvs(ObjWriter& io_writer, const Piece& i_piece) {
  DenseLines lines;
  lines.kind = DenseLines::Kind::Uvs;
  lines.piece = &i_piece;
  WriteDense(io_writer, lines, i_piece.uvs.size());
}

}  // namespace Ostrel::Buildings::detail
